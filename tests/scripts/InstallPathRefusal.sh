#!/usr/bin/env bash
# A copy of the program folder under a path with a space shows the refusal message, captioned
# with the program's file name (a dot in it is part of the name), and never opens its window.
set -u
PROGRAM_DIR=$1
. "$(dirname "$0")/lib/desktop.sh"
start_desktop
trap stop_desktop EXIT

tmp=$(mktemp -d)
trap 'stop_desktop; rm -rf "$tmp"' EXIT
mkdir -p "$tmp/My Tools"
cp -r "$PROGRAM_DIR" "$tmp/My Tools/Tonewright"
mv "$tmp/My Tools/Tonewright/Tonewright" "$tmp/My Tools/Tonewright/Tonewright-2.0"
cd "$tmp"
"$tmp/My Tools/Tonewright/Tonewright-2.0" &
APP_PID=$!

out=$($ATSPI wait-window Tonewright-2.0 Tonewright-2.0 30) || { echo "$out"; echo "FAIL: no message box"; exit 1; }
echo "$out"
fail=0
for line in "Can not run Tonewright from that directory" "Installation directory name contains spaces" \
            "Please reinstall in a simpler folder" '(suggestion C:\AIBO\Tonewright)'; do
    grep -qF -- "$line" <<<"$out" || { echo "FAIL: message lacks: $line"; fail=1; }
done
grep -q 'push button "OK"' <<<"$out" || { echo "FAIL: no OK button"; fail=1; }
if grep -q 'Aibo Sounds' <<<"$($ATSPI dump Tonewright-2.0)"; then echo "FAIL: the dialog opened"; fail=1; fi

# OK, by keyboard, ends the program.
wid=$(xdotool search --sync --limit 1 --name '^Tonewright-2\.0$' 2>/dev/null | head -n 1)
[ -n "$wid" ] && xdotool windowactivate --sync "$wid" 2>/dev/null; xdotool key --clearmodifiers Return
if ! wait_exit "$APP_PID" 10; then echo "FAIL: program still running after OK"; fail=1; fi
APP_PID=
[ $fail -eq 0 ] && echo "PASS"
exit $fail
