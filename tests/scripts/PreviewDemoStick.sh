#!/usr/bin/env bash
# Preview, by keyboard, on a stock sound of the demo stick plays it: with SDL's disk audio
# driver the played samples land in a file, which must hold audible sound.
set -u
PROGRAM_DIR=$1
. "$(dirname "$0")/lib/desktop.sh"
work=$(mktemp -d)
trap 'stop_desktop; rm -rf "$work"' EXIT
"$PROGRAM_DIR/MakeDemoStick" "$work/stick" "AiboLife 2 (210)" "$work/SOUNDS" >/dev/null || { echo "FAIL: no demo stick"; exit 1; }
start_desktop
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/played.raw"
open_stick "$work/stick" "$PROGRAM_DIR" || exit 1
# Save -> Cancel -> tree; the first group, opened; its first sound ("Wakeup Tune").
key Tab
key Tab
key Down
key Right
key Down
# tree -> list -> Preview, and push it.
key Tab
key Tab
key space
fail=0
/usr/bin/python3 - "$work/played.raw" <<'PY' || fail=1
import array, os, sys, time
path = sys.argv[1]
deadline = time.time() + 20
peak = 0
while time.time() < deadline:
    if os.path.exists(path):
        data = open(path, 'rb').read()
        samples = array.array('h', data[: len(data) // 2 * 2])
        peak = max((abs(s) for s in samples), default=0)
        if peak > 1000:
            print('audible: %d bytes played, peak %d' % (len(data), peak))
            sys.exit(0)
    time.sleep(0.2)
print('FAIL: nothing audible was played (peak %d)' % peak)
sys.exit(1)
PY
# The sound has ended once the window answers again; Escape then closes it.
sleep 3
key Escape
wait_exit "$APP_PID" 10 || { echo "FAIL: the program did not end"; fail=1; }
APP_PID=
[ $fail -eq 0 ] && echo PASS
exit $fail
