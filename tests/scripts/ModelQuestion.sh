#!/usr/bin/env bash
# A real robot's stick for the AiboLife 2 software, whose model file cannot be read with our key: the
# program says the software runs on several models, asks which robot the stick is for, and with
# "ERS-220" chosen by keyboard opens its window on that robot's software. The question writes
# nothing: afterwards the stick differs from before only by the one-time backup.
set -u
PROGRAM_DIR=$1
. "$(dirname "$0")/lib/desktop.sh"
work=$(mktemp -d)
trap 'stop_desktop; rm -rf "$work"' EXIT
mkdir -p "$work/Tonewright"
cp "$PROGRAM_DIR/Tonewright" "$PROGRAM_DIR/Crushkit" "$work/Tonewright/"
"$PROGRAM_DIR/MakeDemoStick" "$work/stick" "AiboLife 2 (220)" "$work/Tonewright/SOUNDS" >/dev/null || { echo "FAIL: no demo stick"; exit 1; }
# What a robot leaves there: 97 bytes scrambled with the robot's own key, which is not ours.
head -c 97 /dev/zero | tr '\0' '\252' > "$work/stick/OPEN-R/APP/DATA/P/RHAPSODY"
cp -r "$work/stick" "$work/pristine"
start_desktop

fail=0
expect() { # expect TEXT WHERE: TEXT must be in what was last shown
    grep -qF -- "$1" <<<"$SCREEN" || { echo "FAIL: $2 lacks: $1"; fail=1; }
}
cd "$work/stick" || exit 1
"$work/Tonewright/Tonewright" >/dev/null 2>&1 &
APP_PID=$!
wait_for 'dialog "Open MEMSTICK.IND file at root of OpenR directory"' 30 || exit 1
focus_window "Open MEMSTICK.IND file at root of OpenR directory"
key Return
wait_for 'This stick supports multiple AIBO models' 30 || exit 1
expect 'Please run that memory stick in your AIBO first,' "the message"
expect 'then press the chest pause button' "the message"
focus_window Tonewright
key Return
wait_for 'Which AIBO is this memory stick for?' 30 || exit 1
for button in 'push button "ERS-210"' 'push button "ERS-220"' 'push button "Cancel"'; do
    expect "$button" "the question"
done
focus_window Tonewright
for _ in 1 2 3 4; do
    grep -q 'push button "ERS-220"' <<<"$(focused)" && break
    key Tab
done
key space
wait_for 'label "AiboLife 2 (220)"' 30 || exit 1
expect 'table cell "AIBO GENERAL"' "the window"
expect 'Room on the stick after saving: ' "the window"
focus_window Tonewright
key Escape
wait_exit 15 || { echo "FAIL: the program did not end on Escape"; fail=1; }
APP_PID=

changed=$(diff -r "$work/pristine" "$work/stick")
[ "$changed" = "Only in $work/stick/OPEN-R/MW/CONF/ERS-220: ERS-220.ORG" ] ||
    { echo "FAIL: the stick changed otherwise: $changed"; fail=1; }
[ $fail -eq 0 ] && echo PASS
exit $fail
