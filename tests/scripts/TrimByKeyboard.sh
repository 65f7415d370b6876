#!/usr/bin/env bash
# An owner cuts a long replacement down to the part the robot should play, by keyboard alone and
# read as a screen reader reads it: the demo stick's record gives "Wakeup Tune" a 4-second WAV
# file; Trim... opens "Trim Sound", Start and End are typed, the length is told, OK writes the
# cut as song_trim.wav, which the list then shows and the sound is replaced by; Save puts it on
# the stick. The cut and the stick are then checked byte by byte.
set -u
PROGRAM_DIR=$1
. "$(dirname "$0")/lib/desktop.sh"
work=$(mktemp -d)
trap 'stop_desktop; rm -rf "$work"' EXIT
mkdir -p "$work/Tonewright/SOUNDS" "$work/home"
cp "$PROGRAM_DIR/Tonewright" "$PROGRAM_DIR/Crushkit" "$work/Tonewright/"
"$PROGRAM_DIR/MakeDemoStick" "$work/stick" "AiboLife 2 (210)" "$work/Tonewright/SOUNDS" >/dev/null || { echo "FAIL: no demo stick"; exit 1; }
conf=OPEN-R/MW/CONF/ERS-210 data=OPEN-R/MW/DATA/P/ERS-210
sounds="$work/Tonewright/SOUNDS"
# Four seconds of a tone at 8000 Hz, 16-bit mono PCM.
/usr/bin/python3 - "$sounds/song.wav" <<'PY' || { echo "FAIL: no song.wav"; exit 1; }
import math, struct, sys
data = b''.join(struct.pack('<h', int(16000 * math.sin(2 * math.pi * 313 * i / 8000) + i % 7)) for i in range(32000))
open(sys.argv[1], 'wb').write(b'RIFF' + struct.pack('<I', 36 + len(data)) + b'WAVEfmt ' +
                              struct.pack('<IHHIIHH', 16, 1, 1, 8000, 16000, 2, 16) + b'data' + struct.pack('<I', len(data)) + data)
PY
printf 'wake*=song.wav\r\n' >"$work/stick/$conf/ERS-210.CUS"
export HOME="$work/home" SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/played.raw"
start_desktop

fail=0
expect() { # expect TEXT WHERE [TEXT-TO-SEARCH]: TEXT must be in what was last shown
    grep -qF -- "$1" <<<"${3:-$SCREEN}" || { echo "FAIL: $2 lacks: $1"; fail=1; }
}
open_stick "$work/stick" "$work/Tonewright" || exit 1
expect 'push button "Trim..."' "the window"
# Save -> Cancel -> the tree; its first group opened, and that group's first sound.
key Tab Tab Home Right Down
expect 'Wakeup Tune' "the tree's selection" "$(focused)"
wait_for 'push button "Trim..." [enabled' 10 || fail=1

key alt+t
wait_for 'dialog "Trim Sound"' 20 || exit 1
for want in 'spin button "Start"' 'spin button "End"' 'label "Length: 4.000 s (64.0 KB)"' 'push button "Play"' \
            'push button "OK"' 'push button "Cancel"'; do
    expect "$want" "Trim Sound"
done
expect 'chart "Waveform" [focused' "Trim Sound's first control" "$(focused)"
focus_window "Trim Sound"
key alt+s ctrl+a
xdotool type --delay 40 "0.5"
key Tab alt+e ctrl+a
xdotool type --delay 40 "1.75"
key Tab
wait_for 'label "Length: 1.250 s (20.0 KB)"' 10 || fail=1
key Tab
expect 'push button "OK"' "the focus after Play" "$(focused)"
key space
wait_for 'table cell "song_trim.wav"' 20 || fail=1
expect 'combo box "song_trim.wav"' "the Sound list"
/usr/bin/python3 - "$sounds/song.wav" "$sounds/song_trim.wav" <<'PY' || fail=1
import struct, sys
source, cut = (open(p, 'rb').read() for p in sys.argv[1:])
form = cut[0:4], cut[8:12], cut[12:16], struct.unpack('<HHIIHH', cut[20:36]), cut[36:40]
samples = lambda b: struct.unpack('<%dh' % ((len(b) - 44) // 2), b[44:])
s, c = samples(source), samples(cut)
# 0.5 s to 1.75 s: 10000 samples from the 4000th, the first and last 40 (5 ms) faded.
if form != (b'RIFF', b'WAVE', b'fmt ', (1, 1, 8000, 16000, 2, 16), b'data') or len(c) != 10000 \
        or c[40:-40] != s[4040:13960] or c[0] != 0 or c[-1] != 0:
    print('FAIL: song_trim.wav is not 0.5 s to 1.75 s of song.wav as 16-bit PCM: %r, %d samples' % (form, len(c)))
    sys.exit(1)
PY

focus_window Tonewright
for _ in 1 2 3 4 5 6 7; do
    grep -q 'push button "Save"' <<<"$(focused)" && break
    key Tab
done
key space
wait_for 'Try it out in your AIBO' 30 || fail=1
expect "1 custom sounds saved to AUDIO.ODA (uncompressed)" "the summary"
key Return
wait_exit 15 || { echo "FAIL: the program did not end after OK"; fail=1; }
APP_PID=

cd "$work/stick" || exit 1
cut="$sounds/song_trim.wav"
[ "$(stat -c %s $data/AUDIO.ODA)" = $((64 + 144 + $(stat -c %s "$cut"))) ] &&
    cmp -s <(tail -c +209 $data/AUDIO.ODA) "$cut" || { echo "FAIL: the archive does not hold the cut"; fail=1; }
[ "$(cat $conf/ERS-210.CUS)" = "$(printf 'wake*=song_trim.wav\r')" ] || { echo "FAIL: record: $(od -c $conf/ERS-210.CUS)"; fail=1; }
[ "$(ls "$sounds" | grep -c '^song')" = 2 ] || { echo "FAIL: SOUNDS holds: $(ls "$sounds")"; fail=1; }
leftovers=$(find . "$work/Tonewright" -name '.*.tw-*' -o -name '$TMP$*')
[ -z "$leftovers" ] || { echo "FAIL: left behind: $leftovers"; fail=1; }
[ $fail -eq 0 ] && echo PASS
exit $fail
