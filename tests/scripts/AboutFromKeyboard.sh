#!/usr/bin/env bash
# The About entry is reached from the keyboard: Shift+F10 (or the Menu key) opens the window's
# context menu, the entry opens "About Tonewright", and its OK (Enter) returns to the main window
# unchanged.
set -u
PROGRAM_DIR=$1
. "$(dirname "$0")/lib/desktop.sh"
work=$(mktemp -d)
trap 'stop_desktop; rm -rf "$work"' EXIT
"$PROGRAM_DIR/MakeDemoStick" "$work/stick" "AiboLife 1" "$work/SOUNDS" >/dev/null || { echo "FAIL: no demo stick"; exit 1; }
start_desktop
open_stick "$work/stick" "$PROGRAM_DIR" || exit 1
fail=0
# The About entry is the menu's last: Up from the top wraps round to it.
key shift+F10
key Up
key Return
out=$($ATSPI wait-window Tonewright "About Tonewright" 15) || { echo "$out"; echo "FAIL: no About window"; exit 1; }
echo "$out"
grep -qF 'label "Tonewright Version 2.0.02"' <<<"$out" || { echo "FAIL: no version text"; fail=1; }
grep -qF 'push button "OK"' <<<"$out" || { echo "FAIL: no OK button"; fail=1; }
key Return
if $ATSPI wait-window Tonewright "About Tonewright" 1 >/dev/null 2>&1; then echo "FAIL: About stayed open"; fail=1; fi
key Menu
key Up
key Return
$ATSPI wait-window Tonewright "About Tonewright" 15 >/dev/null || { echo "FAIL: the Menu key does not reach About"; fail=1; }
key Return
$ATSPI wait-window Tonewright Tonewright 5 | grep -qF 'label "AiboLife 1"' || { echo "FAIL: main window changed"; fail=1; }
key Escape
wait_exit "$APP_PID" 10 || { echo "FAIL: the program did not end"; fail=1; }
APP_PID=
[ $fail -eq 0 ] && echo PASS
exit $fail
