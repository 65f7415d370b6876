#!/usr/bin/env bash
# An owner's session with the real program, by keyboard alone and read as a screen reader reads
# it: started in the demo stick's folder (its marker file spelled MEMSTICK.IND, as a stick copied
# to a case-sensitive disk may spell it), Return takes the preselected file; About opens from
# Shift+F10's menu; a stock sound is previewed (SDL's disk driver stands in for the
# loudspeaker); an MP3 from ~/Music is brought in with Add Sounds and becomes that sound's
# replacement; Save writes the stick and says so, and OK ends the program. The stick is then
# checked file by file.
set -u
PROGRAM_DIR=$1
BIN_DIR=$2
. "$(dirname "$0")/lib/desktop.sh"
work=$(mktemp -d)
trap 'stop_desktop; rm -rf "$work"' EXIT
for tool in gzip cmp; do command -v $tool >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }; done
# The program copied, not linked: it finds its compressor and SOUNDS beside its own real path.
mkdir -p "$work/Tonewright" "$work/home/Music"
cp "$PROGRAM_DIR/Tonewright" "$PROGRAM_DIR/Crushkit" "$work/Tonewright/"
"$PROGRAM_DIR/MakeDemoStick" "$work/stick" "AiboLife 2 (210)" "$work/Tonewright/SOUNDS" >/dev/null || { echo "FAIL: no demo stick"; exit 1; }
mv "$work/stick/memstick.ind" "$work/stick/MEMSTICK.IND"
cp -r "$work/stick" "$work/pristine"
"$BIN_DIR/MakeSoundFile" "$work/home/Music/Dog Bark.mp3" 1.5 || { echo "FAIL: no MP3 to bring in"; exit 1; }
export HOME="$work/home" SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/played.raw"
start_desktop

fail=0
expect() { # expect TEXT WHERE [TEXT-TO-SEARCH]: TEXT must be in what was last shown
    grep -qF -- "$1" <<<"${3:-$SCREEN}" || { echo "FAIL: $2 lacks: $1"; fail=1; }
}
open_stick "$work/stick" "$work/Tonewright" || exit 1
expect 'MEMSTICK.IND' "the file dialog" "$FILE_DIALOG"
for want in 'label "AiboLife 2 (210)"' 'tree "Aibo Sounds"' 'table cell "AIBO GENERAL"' 'push button "Save" [focused' \
            'push button "Cancel"' 'push button "Preview"' 'push button "Add Sounds..."'; do
    expect "$want" "the window"
done

# The window's menu; About is its last entry.
key shift+F10
key Up
key Return
wait_for 'label "Tonewright Version 2.0.02"' 10 || fail=1
expect 'push button "OK"' "About"
key Return
focus_window Tonewright
# Save -> Cancel -> the tree; its first group opened, and that group's first sound.
key Tab Tab Home Right Down
expect 'Wakeup Tune' "the tree's selection" "$(focused)"
# The list -> Preview, pushed.
key Tab Tab space
audible() { # what SDL's disk driver has written so far peaks above 1000
    /usr/bin/python3 -c 'import array, sys; d = open(sys.argv[1], "rb").read()
sys.exit(max(map(abs, array.array("h", d[: len(d) // 2 * 2])), default=0) <= 1000)' "$work/played.raw" 2>/dev/null
}
poll 20 audible || { echo "FAIL: the preview played nothing audible"; fail=1; }

# Keys typed while the sound plays wait their turn.
key alt+a
wait_for 'dialog "Add Sounds"' 30 || exit 1
expect 'Dog Bark.mp3' "Add Sounds, which starts in ~/Music"
focus_window "Add Sounds"
xdotool type --delay 40 "Dog Bark.mp3"
key Return
wait_for 'table cell "dog_bark.wav"' 30 || fail=1
expect 'combo box "dog_bark.wav"' "the Sound list"

focus_window Tonewright
save_focused() { grep -q 'push button "Save"' <<<"$(focused)" || { key Tab && false; }; }
poll 10 save_focused || { echo "FAIL: Tab never reached Save"; fail=1; }
key space
wait_for 'Try it out in your AIBO' 30 || fail=1
for line in "Saved Custom Sounds" "1 custom sounds saved to AUDIO.ODA (uncompressed)" \
            '2 modified entries saved to OPEN-R\MW\CONF\ERS-210\ERS-210.MWC (compressed)' \
            'customization info saved in OPEN-R\MW\CONF\ERS-210\ERS-210.CUS'; do
    expect "$line" "the summary"
done
key Return
wait_exit 15 || { echo "FAIL: the program did not end after OK"; fail=1; }
APP_PID=

cd "$work/stick" || exit 1
conf=OPEN-R/MW/CONF/ERS-210 data=OPEN-R/MW/DATA/P/ERS-210 sound="$work/Tonewright/SOUNDS/dog_bark.wav"
cmp -s "$work/pristine/$conf/ERS-210.MWC" "$conf/ERS-210.ORG" || { echo "FAIL: the backup is not the stock configuration"; fail=1; }
gzip -t "$conf/ERS-210.MWC" || { echo "FAIL: the configuration is no gzip stream"; fail=1; }
# wake* names the sound records wake_nxs and wake2_tcs; a record of another kind names wake_nxs too
# and keeps it.
count() { gzip -dc "$1" | grep -ao -- "$2" | wc -l; }
[ "$(count $conf/ERS-210.MWC u_dog_bark)" = 2 ] && [ "$(count $conf/ERS-210.ORG wake_nxs)" = 2 ] &&
    [ "$(count $conf/ERS-210.MWC wake_nxs)" = 1 ] && [ "$(count $conf/ERS-210.MWC wake2_tcs)" = 0 ] ||
    { echo "FAIL: the configuration does not name the new sound where the stock one was"; fail=1; }
[ "$(stat -c %s $data/AUDIO.ODA)" = $((64 + 144 + $(stat -c %s "$sound"))) ] &&
    cmp -s <(tail -c +209 $data/AUDIO.ODA) "$sound" || { echo "FAIL: the archive does not hold the sound"; fail=1; }
[ "$(cat $conf/ERS-210.CUS)" = "$(printf 'wake*=dog_bark.wav\r')" ] || { echo "FAIL: record: $(od -c $conf/ERS-210.CUS)"; fail=1; }
leftovers=$(find . "$work/Tonewright" -name '.*.tw-*' -o -name '$TMP$*')
[ -z "$leftovers" ] || { echo "FAIL: left behind: $leftovers"; fail=1; }
[ $fail -eq 0 ] && echo PASS
exit $fail
