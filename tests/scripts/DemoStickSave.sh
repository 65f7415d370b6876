#!/usr/bin/env bash
# The demo stick as `make run` meets it, driven by keyboard alone: the program starts inside a copy
# of the demo stick, Return in the open-file dialog takes the preselected memstick.ind, the window
# shows the demo's robot software, one stock sound gets a replacement, Save writes the stick and
# reports it, and OK ends the program. The stick is then checked file by file.
set -u
PROGRAM_DIR=$1
[ -x "$PROGRAM_DIR/MakeDemoStick" ] || { echo "skipped: MakeDemoStick is not built"; exit 77; }
for tool in gzip cmp; do
    command -v $tool >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
. "$(dirname "$0")/lib/desktop.sh"
start_desktop

tmp=$(mktemp -d)
trap 'stop_desktop; rm -rf "$tmp"' EXIT
# The program copied, not linked: it finds its compressor and SOUNDS beside its own real path.
mkdir -p "$tmp/Tonewright"
cp "$PROGRAM_DIR/Tonewright" "$PROGRAM_DIR/Crushkit" "$tmp/Tonewright/"
cp -r "$PROGRAM_DIR/SOUNDS" "$tmp/Tonewright/SOUNDS"
"$PROGRAM_DIR/MakeDemoStick" "$tmp/demo-stick" "AiboLife 2 (210)" "$tmp/Tonewright/SOUNDS" || exit 1
cp -r "$tmp/demo-stick" "$tmp/pristine"
first_sound=$(ls "$tmp/Tonewright/SOUNDS" | LC_ALL=C sort -f | head -n 1)
[ -n "$first_sound" ] || { echo "FAIL: no demo sounds"; exit 1; }

fail=0
check() { # check TEXT-TO-FIND IN-TEXT DESCRIPTION
    grep -qF -- "$1" <<<"$2" || { echo "FAIL: $3 lacks: $1"; fail=1; }
}
key() { # key WINDOW-NAME-REGEX KEY...: sends keys to the named window
    local wid
    wid=$(xdotool search --sync --limit 1 --name "$1" 2>/dev/null | head -n 1)
    shift
    [ -n "$wid" ] && xdotool windowfocus --sync "$wid" 2>/dev/null
    xdotool key --clearmodifiers --delay 80 "$@"
    sleep 0.3
}
focused() { $ATSPI focused Tonewright; }

cd "$tmp/demo-stick"
"$tmp/Tonewright/Tonewright" >"$tmp/program.log" 2>&1 &
APP_PID=$!

title="Open MEMSTICK.IND file at root of OpenR directory"
out=$($ATSPI wait-window Tonewright "$title" 60) || { echo "$out"; echo "FAIL: no open-file dialog"; exit 1; }
check "memstick.ind" "$out" "the open-file dialog"
key "^$title\$" Return

out=$($ATSPI wait-window Tonewright Tonewright 30) || { echo "$out"; echo "FAIL: no customization window"; exit 1; }
# The software's name is what tells the user which stick was recognised; a screen reader must
# be able to read it.
check "AiboLife 2 (210)" "$out" "the customization window (as a screen reader reads it)"
check "Aibo Sounds" "$out" "the customization window"
[ $fail -eq 0 ] || echo "$out"

# Save has the focus; Tab twice reaches the tree. Home, Right and Down open the first category
# and select its first sound; Tab reaches the Sound list, where Down picks the first sound file.
key '^Tonewright$' Tab Tab
check "Aibo Sounds" "$(focused)" "the focus after two Tabs"
key '^Tonewright$' Home Right Down
check "Wakeup Tune" "$(focused)" "the tree's selection"
key '^Tonewright$' Tab Down
check "$first_sound" "$(focused)" "the Sound list"
for _ in 1 2 3 4; do
    grep -q 'push button "Save"' <<<"$(focused)" && break
    key '^Tonewright$' Tab
done
check 'push button "Save"' "$(focused)" "the focus before saving"
key '^Tonewright$' space

summary=""
for _ in $(seq 50); do
    summary=$($ATSPI dump Tonewright)
    grep -q "Saved Custom Sounds" <<<"$summary" && break
    sleep 0.2
done
echo "$summary" | grep -A3 -i "saved custom sounds"
check "Saved Custom Sounds" "$summary" "the summary"
check "1 custom sounds saved to AUDIO.ODA (uncompressed)" "$summary" "the summary"
check 'modified entries saved to OPEN-R\MW\CONF\ERS-210\ERS-210.MWC (compressed)' "$summary" "the summary"
check 'customization info saved in OPEN-R\MW\CONF\ERS-210\ERS-210.CUS' "$summary" "the summary"
check "Try it out in your AIBO" "$summary" "the summary"
grep -qE '2 modified entries' <<<"$summary" || { echo "FAIL: wake* is named by two records of the demo"; fail=1; }

# OK ends the program: a successful save closes the window.
key '^Tonewright$' Return
if ! wait_exit "$APP_PID" 15; then echo "FAIL: program still running after OK"; fail=1; fi
APP_PID=

conf=OPEN-R/MW/CONF/ERS-210
data=OPEN-R/MW/DATA/P/ERS-210
cmp -s "$tmp/pristine/$conf/ERS-210.MWC" "$conf/ERS-210.ORG" || { echo "FAIL: the backup is not the stock configuration"; fail=1; }
gzip -t "$conf/ERS-210.MWC" || { echo "FAIL: the configuration is no gzip stream"; fail=1; }
# wake* is named by the sound records wake_nxs and wake2_tcs; a record of another kind carries
# wake_nxs too and keeps it.
count() { gzip -dc "$1" | grep -ao -- "$2" | wc -l; }
custom=$(tr 'A-Z' 'a-z' <<<"u_${first_sound%%.*}")
[ "$(count "$conf/ERS-210.MWC" "$custom")" = 2 ] || { echo "FAIL: $custom is not named twice"; fail=1; }
[ "$(count "$conf/ERS-210.ORG" wake_nxs)" = 2 ] && [ "$(count "$conf/ERS-210.MWC" wake_nxs)" = 1 ] &&
    [ "$(count "$conf/ERS-210.MWC" wake2_tcs)" = 0 ] || { echo "FAIL: the stock names were not replaced"; fail=1; }
[ "$(head -c 4 "$data/AUDIO.ODA")" = ODAR ] || { echo "FAIL: no archive"; fail=1; }
size=$(stat -c %s "$data/AUDIO.ODA")
want=$((64 + 144 + $(stat -c %s "$tmp/Tonewright/SOUNDS/$first_sound")))
[ "$size" = "$want" ] || { echo "FAIL: the archive has $size bytes, not $want"; fail=1; }
cmp -s <(tail -c +209 "$data/AUDIO.ODA") "$tmp/Tonewright/SOUNDS/$first_sound" || { echo "FAIL: the archive does not hold the sound"; fail=1; }
[ "$(cat "$conf/ERS-210.CUS")" = "$(printf 'wake*=%s\r' "$first_sound")" ] || { echo "FAIL: record: $(od -c "$conf/ERS-210.CUS")"; fail=1; }
leftovers=$(find . "$tmp/Tonewright" -name '.*.??????' -o -name '$TMP$*')
[ -z "$leftovers" ] || { echo "FAIL: left behind: $leftovers"; fail=1; }

[ $fail -eq 0 ] && echo "PASS"
exit $fail
