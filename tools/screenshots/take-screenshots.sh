#!/usr/bin/env bash
# Takes the screenshots of the README and the user's guide: the real program on a private X
# display, on a demo stick, driven by keyboard as a user would.
# Usage: tools/screenshots/take-screenshots.sh [BUILD-DIR] [OUTPUT-DIR]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=$(cd "${1:-$ROOT/build}" && pwd)
OUT=$(mkdir -p "${2:-$ROOT/docs/images}" && cd "${2:-$ROOT/docs/images}" && pwd)
PROGRAM="$BUILD/Tonewright"
. "$ROOT/tests/scripts/lib/desktop.sh"

work=$(mktemp -d)
trap 'stop_desktop; rm -rf "$work"' EXIT
"$PROGRAM/MakeDemoStick" "$work/stick" "AiboLife 2 (210)" "$PROGRAM/SOUNDS" >/dev/null
# A program folder of its own, so the sound brought in below does not stay in the build's SOUNDS.
mkdir -p "$work/program" "$work/home/Music"
cp "$PROGRAM/Tonewright" "$PROGRAM/Crushkit" "$work/program/"
cp -r "$PROGRAM/SOUNDS" "$work/program/SOUNDS"
# Recordings as an owner has them: CD rate, stereo.
sox -n -r 44100 -c 2 "$work/home/Music/Dog Bark.flac" synth 0.8 sine 300-900 fade 0.02 0.8 0.2
sox -n -r 44100 -c 2 "$work/home/Music/Doorbell.wav" synth 1.2 sine 660 sine 880 fade 0.01 1.2 0.6
export HOME="$work/home"
start_desktop

shot() { # window-title file: the newest visible window of that title
    local wid
    xdotool search --sync --onlyvisible --limit 1 --name "^$1\$" >/dev/null
    wid=$(xdotool search --onlyvisible --name "^$1\$" | sort -n | tail -n 1)
    sleep 0.4
    import -window "$wid" "$OUT/$2"
    echo "wrote $OUT/$2"
}
key() { xdotool key --clearmodifiers "$@"; sleep 0.25; }

cd "$work/stick"
"$work/program/Tonewright" &
APP_PID=$!
wait_for 'dialog "Open MEMSTICK.IND file at root of OpenR directory"' 30
shot "Open MEMSTICK.IND file at root of OpenR directory" open-stick.png
key Return
wait_for 'label "Software:"' 30
# Tab from Save to Cancel to the tree; open the first group and choose its second sound.
key Tab
key Tab
key Down
key Right
key Down
key Down
shot Tonewright customize.png
key Tab
key Down
key Down
shot Tonewright customize-assigned.png
# Add Sounds (Alt+A) opens in ~/Music; the file's name and Return bring it in for the selected sound.
key alt+a
wait_for 'dialog "Add Sounds"' 30
shot "Add Sounds" add-sounds.png
xdotool type --delay 30 "Dog Bark.flac"
key Return
sleep 1
focus_window Tonewright
shot Tonewright customize-added.png
# Tab on to Preview, Add Sounds and round to Save; Space pushes it. The summary comes up in a
# message box.
key Tab
key Tab
key Tab
key space
sleep 2
shot Tonewright save-summary.png
key Return
wait_exit 10 || kill "$APP_PID" 2>/dev/null || true
APP_PID=
