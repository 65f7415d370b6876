#!/usr/bin/env bash
# Takes the screenshots of the README and the user's guide: the real program on a private X
# display, on a demo stick, driven by keyboard as a user would. The pictures show what an owner
# sees, a home folder and a stick the desktop mounted, so they are taken in a mount namespace of
# their own where /home/owner and /media/owner/AIBO are fresh folders (root, and unshare, needed).
# Usage: tools/screenshots/take-screenshots.sh [BUILD-DIR] [OUTPUT-DIR]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=$(cd "${1:-$ROOT/build}" && pwd)
OUT=$(mkdir -p "${2:-$ROOT/docs/images}" && cd "${2:-$ROOT/docs/images}" && pwd)
if [ -z "${TW_SCREENSHOT_NAMESPACE:-}" ]; then
    exec env TW_SCREENSHOT_NAMESPACE=1 unshare -m --propagation private "$0" "$BUILD" "$OUT"
fi
PROGRAM="$BUILD/Tonewright"
. "$ROOT/tests/scripts/lib/desktop.sh"

home=/home/owner stick=/media/owner/AIBO
mount -t tmpfs tmpfs /home
mkdir -p /media
mount -t tmpfs tmpfs /media
mkdir -p "$home/Music" "$home/Tonewright" "$stick"
# The stick a mount of its own, as the desktop mounts a card.
mount -t tmpfs -o size=8m tmpfs "$stick"
trap 'stop_desktop' EXIT
"$PROGRAM/MakeDemoStick" /media/made "AiboLife 2 (210)" "$PROGRAM/SOUNDS" >/dev/null
cp -a /media/made/. "$stick/"
rm -rf /media/made
# The program folder as `make install` lays it out, so the sounds brought in below do not stay in
# the build's SOUNDS.
cp "$PROGRAM/Tonewright" "$PROGRAM/Crushkit" "$home/Tonewright/"
cp -r "$PROGRAM/SOUNDS" "$home/Tonewright/SOUNDS"
# Recordings as an owner has them: CD rate, stereo, longer than the robot needs.
sox -n -r 44100 -c 2 "$home/Music/Dog Bark.flac" synth 0.8 sine 300-900 fade 0.02 0.8 0.2
sox -n -r 44100 -c 2 "$home/Music/Doorbell.wav" synth 1.2 sine 660 sine 880 fade 0.01 1.2 0.6
sox -n -r 44100 -c 2 "$home/Music/Birthday Song.flac" synth 6 sine 440 sine 554 tremolo 1.5 80 fade 0.2 6 1
export HOME="$home"
start_desktop

shot() { # window-title file: the newest visible window of that title
    local wid
    xdotool search --sync --onlyvisible --limit 1 --name "^$1\$" >/dev/null
    wid=$(xdotool search --onlyvisible --name "^$1\$" | sort -n | tail -n 1)
    sleep 0.6
    import -window "$wid" "$OUT/$2"
    echo "wrote $OUT/$2"
}

# Started from the desktop's menu, the program opens its stick dialog on the mounted stick.
cd "$home"
"$home/Tonewright/Tonewright" &
APP_PID=$!
wait_for 'dialog "Open MEMSTICK.IND file at root of OpenR directory"' 30
shot "Open MEMSTICK.IND file at root of OpenR directory" open-stick.png
focus_window "Open MEMSTICK.IND file at root of OpenR directory"
key Return
wait_for 'label "Software:"' 30
focus_window Tonewright
# Tab from Save to Cancel to the tree; open the first group and choose its second sound.
key Tab Tab Down Right Down Down
shot Tonewright customize.png
# The list: the first of the demo sounds.
key Tab Down Down
shot Tonewright customize-assigned.png
# Add Sounds (Alt+A) opens in ~/Music; the file's name and Return bring it in for the selected sound.
key alt+a
wait_for 'dialog "Add Sounds"' 30
shot "Add Sounds" add-sounds.png
focus_window "Add Sounds"
xdotool type --delay 30 "Birthday Song.flac"
key Return
wait_for 'birthday_song.wav' 30
focus_window Tonewright
shot Tonewright customize-added.png
# Trim (Alt+T): the second and a half that says it.
key alt+t
wait_for 'dialog "Trim Sound"' 30
focus_window "Trim Sound"
key alt+s ctrl+a
xdotool type --delay 30 "1.5"
key alt+e ctrl+a
xdotool type --delay 30 "3"
key Tab
shot "Trim Sound" trim.png
# Back to End, where Enter is the dialog's OK.
key shift+Tab Return
wait_for 'birthday_song_trim.wav' 30
focus_window Tonewright
# Round to Save; Space pushes it. The summary comes up in a message box.
tab_to 'push button "Save"'
key space
wait_for 'Try it out in your AIBO' 30
shot Tonewright save-summary.png
key Return
wait_exit 10 || kill "$APP_PID" 2>/dev/null || true
APP_PID=
