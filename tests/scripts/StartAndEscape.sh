#!/usr/bin/env bash
# As `make run` starts it: the program opens its file dialog on the stick it is started in,
# Return picks the preselected memstick.ind (here spelled MEMSTICK.IND, as a stick copied to a
# case-sensitive disk may spell it), the window titled "Tonewright" shows the stick's
# software and sounds with the focus on Save, and Escape closes it and ends the program.
set -u
PROGRAM_DIR=$1
. "$(dirname "$0")/lib/desktop.sh"
work=$(mktemp -d)
trap 'stop_desktop; rm -rf "$work"' EXIT
"$PROGRAM_DIR/MakeDemoStick" "$work/stick" "Explorer (220)" "$work/SOUNDS" >/dev/null || { echo "FAIL: no demo stick"; exit 1; }
mv "$work/stick/memstick.ind" "$work/stick/MEMSTICK.IND"
start_desktop
open_stick "$work/stick" "$PROGRAM_DIR" || exit 1
fail=0
out=$MAIN_WINDOW
echo "$out" | head -30
for want in 'label "Explorer (220)"' 'tree "Aibo Sounds"' 'table cell "AIBO GENERAL"' \
            'table cell "AIBO MOODS - not yet implemented"' 'push button "Save" [focused' 'combo box "Sound"' \
            'push button "Preview"' 'push button "Cancel"'; do
    grep -qF -- "$want" <<<"$out" || { echo "FAIL: window lacks $want"; fail=1; }
done
key Escape
if ! wait_exit "$APP_PID" 10; then echo "FAIL: Escape did not end the program"; fail=1; fi
APP_PID=
[ $fail -eq 0 ] && echo PASS
exit $fail
