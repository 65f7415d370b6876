#!/usr/bin/env bash
# An owner's session with the real program, by keyboard alone and read as a screen reader reads
# it: started in the folder of a stick for the AiboLife 2 software (its marker file spelled
# MEMSTICK.IND, as a stick copied to a case-sensitive disk may spell it, and its model file
# scrambled as a real robot's is, with a key not ours), Return takes the preselected file; the
# program says the software runs on several models and asks which robot the stick is for, and
# "ERS-220" opens the window on "AiboLife 2 (220)", with nothing written but the one-time backup;
# About opens from
# Shift+F10's menu; a stock sound is previewed (SDL's disk driver stands in for the
# loudspeaker); an MP3 from ~/Music is brought in with Add Sounds and becomes that sound's
# replacement; Trim... cuts it down to the part typed as Start and End, and the cut replaces the
# sound; Save writes the stick and says so, and OK ends the program. The cut's length is then
# checked, and the stick file by file.
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
"$PROGRAM_DIR/MakeDemoStick" "$work/stick" "AiboLife 2 (220)" "$work/Tonewright/SOUNDS" >/dev/null || { echo "FAIL: no demo stick"; exit 1; }
mv "$work/stick/memstick.ind" "$work/stick/MEMSTICK.IND"
head -c 97 /dev/zero | tr '\0' '\252' > "$work/stick/OPEN-R/APP/DATA/P/RHAPSODY"
cp -r "$work/stick" "$work/pristine"
"$BIN_DIR/MakeSoundFile" "$work/home/Music/Dog Bark.mp3" 1.5 || { echo "FAIL: no MP3 to bring in"; exit 1; }
export HOME="$work/home" SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/played.raw"
start_desktop

fail=0
expect() { # expect TEXT WHERE [TEXT-TO-SEARCH]: TEXT must be in what was last shown
    grep -qF -- "$1" <<<"${3:-$SCREEN}" || { echo "FAIL: $2 lacks: $1"; fail=1; }
}
cd "$work/stick" || exit 1
"$work/Tonewright/Tonewright" >/dev/null 2>&1 &
APP_PID=$!
wait_for 'dialog "Open MEMSTICK.IND file at root of OpenR directory"' 30 || exit 1
expect 'MEMSTICK.IND' "the file dialog"
focus_window "Open MEMSTICK.IND file at root of OpenR directory"
key Return
wait_for 'This stick supports multiple AIBO models' 30 || exit 1
expect 'Please run that memory stick in your AIBO first,' "the message"
expect 'then press the chest pause button' "the message"
focus_window Tonewright
key Return
wait_for 'Which AIBO is this memory stick for?' 30 || exit 1
for button in 'push button "ERS-210"' 'push button "ERS-220"' 'push button "Cancel"'; do expect "$button" "the question"; done
focus_window Tonewright
tab_to 'push button "ERS-220"' || { echo "FAIL: Tab never reached ERS-220"; fail=1; }
key space
wait_for 'label "AiboLife 2 (220)"' 30 || exit 1
for want in 'tree "Aibo Sounds"' 'table cell "AIBO GENERAL"' 'push button "Save" [focused' 'push button "Cancel"' \
            'push button "Preview"' 'push button "Add Sounds..."' 'Room on the stick after saving: '; do
    expect "$want" "the window"
done
conf=OPEN-R/MW/CONF/ERS-220 data=OPEN-R/MW/DATA/P/ERS-220
[ "$(diff -r "$work/pristine" "$work/stick")" = "Only in $work/stick/$conf: ERS-220.ORG" ] ||
    { echo "FAIL: opening changed the stick otherwise: $(diff -r "$work/pristine" "$work/stick")"; fail=1; }
focus_window Tonewright

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

# The 1.5 s recording (about that once its ends are trimmed of silence) cut to 0.25 s to 1 s.
focus_window Tonewright
key alt+t
wait_for 'dialog "Trim Sound"' 20 || exit 1
for want in 'spin button "Start"' 'spin button "End"' 'label "Length: 1.' 'push button "Play"' \
            'push button "OK"' 'push button "Cancel"'; do
    expect "$want" "Trim Sound"
done
expect 'chart "Waveform" [focused' "Trim Sound's first control" "$(focused)"
focus_window "Trim Sound"
key alt+s ctrl+a
xdotool type --delay 40 "0.25"
key Tab alt+e ctrl+a
xdotool type --delay 40 "1"
key Tab
wait_for 'label "Length: 0.750 s (12.0 KB)"' 10 || fail=1
key Tab
expect 'push button "OK"' "the focus after Play" "$(focused)"
key space
wait_for 'table cell "dog_bark_trim.wav"' 20 || fail=1
expect 'combo box "dog_bark_trim.wav"' "the Sound list"
# 0.25 s to 1 s: 6000 samples of 16 bits after the 44-byte header (TrimTest compares the samples).
[ "$(stat -c %s "$work/Tonewright/SOUNDS/dog_bark_trim.wav")" = 12044 ] || { echo "FAIL: the cut is not 0.750 s long"; fail=1; }

focus_window Tonewright
tab_to 'push button "Save"' || { echo "FAIL: Tab never reached Save"; fail=1; }
key space
wait_for 'Try it out in your AIBO' 30 || fail=1
for line in "Saved Custom Sounds" "1 custom sounds saved to AUDIO.ODA (uncompressed)" \
            '2 modified entries saved to OPEN-R\MW\CONF\ERS-220\ERS-220.MWC (compressed)' \
            'customization info saved in OPEN-R\MW\CONF\ERS-220\ERS-220.CUS'; do
    expect "$line" "the summary"
done
key Return
wait_exit 15 || { echo "FAIL: the program did not end after OK"; fail=1; }
APP_PID=

cd "$work/stick" || exit 1
sound="$work/Tonewright/SOUNDS/dog_bark_trim.wav"
cmp -s "$work/pristine/$conf/ERS-220.MWC" "$conf/ERS-220.ORG" || { echo "FAIL: the backup is not the stock configuration"; fail=1; }
gzip -t "$conf/ERS-220.MWC" || { echo "FAIL: the configuration is no gzip stream"; fail=1; }
# so1_wake* names the sound records so1_wake_nxs and so1_wake2_tcs; a record of another kind names
# so1_wake_nxs too and keeps it.
count() { gzip -dc "$1" | grep -ao -- "$2" | wc -l; }
[ "$(count $conf/ERS-220.MWC u_dog_bark_trim)" = 2 ] && [ "$(count $conf/ERS-220.ORG so1_wake_nxs)" = 2 ] &&
    [ "$(count $conf/ERS-220.MWC so1_wake_nxs)" = 1 ] && [ "$(count $conf/ERS-220.MWC so1_wake2_tcs)" = 0 ] ||
    { echo "FAIL: the configuration does not name the new sound where the stock one was"; fail=1; }
[ "$(stat -c %s $data/AUDIO.ODA)" = $((64 + 144 + $(stat -c %s "$sound"))) ] &&
    cmp -s <(tail -c +209 $data/AUDIO.ODA) "$sound" || { echo "FAIL: the archive does not hold the sound"; fail=1; }
[ "$(cat $conf/ERS-220.CUS)" = "$(printf 'so1_wake*=dog_bark_trim.wav\r')" ] || { echo "FAIL: record: $(od -c $conf/ERS-220.CUS)"; fail=1; }
leftovers=$(find . "$work/Tonewright" -name '.*.tw-*' -o -name '$TMP$*')
[ -z "$leftovers" ] || { echo "FAIL: left behind: $leftovers"; fail=1; }
[ $fail -eq 0 ] && echo PASS
exit $fail
