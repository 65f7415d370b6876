#!/usr/bin/env bash
# An owner's MP3 (44.1 kHz stereo) brought in by keyboard alone: with a sound selected in the tree,
# Alt+A opens Add Sounds in the owner's Music folder, the file's name and Return take it, and the
# new WAV, in the form the robot plays, is listed, chosen for that sound and shown beside it.
set -u
PROGRAM_DIR=$1
BIN_DIR=$2
. "$(dirname "$0")/lib/desktop.sh"
work=$(mktemp -d)
trap 'stop_desktop; rm -rf "$work"' EXIT
"$PROGRAM_DIR/MakeDemoStick" "$work/stick" "AiboLife 2 (210)" "$work/SOUNDS" >/dev/null || { echo "FAIL: no demo stick"; exit 1; }
mkdir -p "$work/home/Music" "$work/Tonewright/SOUNDS"
"$BIN_DIR/MakeSoundFile" "$work/home/Music/Dog Bark.mp3" 1.5 || { echo "FAIL: no MP3 to import"; exit 1; }
cp "$PROGRAM_DIR/Tonewright" "$PROGRAM_DIR/Crushkit" "$work/Tonewright/"
export HOME="$work/home"
start_desktop
open_stick "$work/stick" "$work/Tonewright" || exit 1
fail=0
# Save -> Cancel -> tree; the first group, opened; its first sound ("Wakeup Tune").
key Tab
key Tab
key Home
key Right
key Down
key alt+a
out=$($ATSPI wait-window Tonewright "Add Sounds" 20) || { echo "$out"; echo "FAIL: no Add Sounds dialog"; exit 1; }
grep -qF 'Dog Bark.mp3' <<<"$out" || { echo "FAIL: the dialog does not start in ~/Music"; fail=1; }
focus_window "Add Sounds"
xdotool type --delay 40 "Dog Bark.mp3"
key Return
wait_for 'table cell "dog_bark.wav"' || { echo "$SCREEN" | head -40; echo "FAIL: the tree does not show the new sound"; fail=1; }
grep -qF 'combo box "dog_bark.wav"' <<<"$SCREEN" || { echo "FAIL: the list does not show the new sound"; fail=1; }
grep -qE 'table cell "Wakeup Tune" \[.*selected' <<<"$SCREEN" || { echo "FAIL: the sound chosen for is not selected"; fail=1; }
/usr/bin/python3 - "$work/Tonewright/SOUNDS/dog_bark.wav" <<'PY' || fail=1
import struct, sys
data = open(sys.argv[1], 'rb').read()
riff, wave, fmt = data[0:4], data[8:12], data[12:16]
tag, channels, rate = struct.unpack('<HHI', data[20:28])
bits = struct.unpack('<H', data[34:36])[0]
frames = (len(data) - 44) // 2
ok = (riff, wave, fmt) == (b'RIFF', b'WAVE', b'fmt ') and (tag, channels, rate, bits) == (1, 1, 8000, 16)
print('%s: %s %s %s, tag %d, %d channel(s), %d Hz, %d bits, %.2f s' % (sys.argv[1].rsplit('/', 1)[1], riff, wave, fmt, tag, channels, rate, bits, frames / 8000))
if not ok or abs(frames / 8000 - 1.5) > 0.05:
    print('FAIL: not the robot\'s form, or not the recording\'s length')
    sys.exit(1)
PY
# Escape asks, since a sound was chosen; Yes (the default) ends the program without saving.
focus_window Tonewright || echo "no window to focus"
key Escape
wait_for 'Cancel and ignore changes?' 10 || { echo "FAIL: no question"; fail=1; }
key Return
wait_exit "$APP_PID" 10 || { echo "FAIL: the program did not end"; fail=1; }
APP_PID=
[ $fail -eq 0 ] && echo PASS
exit $fail
