#!/usr/bin/env bash
# A copy of the program folder under a path with a space shows the refusal message, captioned
# with the program's file name (a dot in it is part of the name), never opens its window, and
# ends when OK is pressed.
set -u
PROGRAM_DIR=$1
export APP_NAME=Tonewright-2.0
. "$(dirname "$0")/lib/desktop.sh"
tmp=$(mktemp -d)
trap 'stop_desktop; rm -rf "$tmp"' EXIT
mkdir -p "$tmp/My Tools/Tonewright"
cp "$PROGRAM_DIR/Tonewright" "$tmp/My Tools/Tonewright/Tonewright-2.0"
start_desktop
cd "$tmp"
"$tmp/My Tools/Tonewright/Tonewright-2.0" >/dev/null 2>&1 &
APP_PID=$!
wait_for 'push button "OK"' 30 || exit 1
fail=0
for line in 'alert "Tonewright-2.0"' "Can not run Tonewright from that directory" \
            "Installation directory name contains spaces" "Please reinstall in a simpler folder" \
            '(suggestion C:\AIBO\Tonewright)'; do
    grep -qF -- "$line" <<<"$SCREEN" || { echo "FAIL: the message lacks: $line"; fail=1; }
done
grep -q 'Aibo Sounds' <<<"$SCREEN" && { echo "FAIL: the window opened"; fail=1; }
focus_window Tonewright-2.0
key Return
wait_exit 10 || { echo "FAIL: the program did not end after OK"; fail=1; }
APP_PID=
[ $fail -eq 0 ] && echo PASS
exit $fail
