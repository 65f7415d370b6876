#!/bin/sh
# Fills the program folder's SOUNDS with the demo sounds at build time:
#   make-demo-sounds.sh SOUNDS MAKE_DEMO_SOUNDS [SOX [ESPEAK]]
# Spoken words come from espeak-ng and chirps from sox, all converted to what the robot plays
# (8000 Hz, mono, 16-bit PCM); the MIDI tunes come from the generator. A sound already in the
# folder is left as it is, so the user's own files are never overwritten.
set -u
sounds=$1
generator=$2
sox=${3:-}
espeak=${4:-}
mkdir -p "$sounds" || exit 1

if [ ! -x "$sox" ]; then
    echo "make-demo-sounds: sox not found; writing plain tones instead"
    exec "$generator" "$sounds" --tones
fi
"$generator" "$sounds" || exit 1

tmp=$(mktemp -d) || exit 1
trap 'rm -rf "$tmp"' EXIT

# to_robot IN OUT [EFFECTS...]: converts IN to the robot's format as OUT, unless OUT exists.
to_robot() {
    in=$1 out=$2
    shift 2
    [ -e "$sounds/$out" ] && return 0
    "$sox" "$in" -r 8000 -c 1 -b 16 -e signed-integer "$tmp/$out" "$@" && mv "$tmp/$out" "$sounds/$out"
}

if [ -x "$espeak" ]; then
    "$espeak" -v en -s 130 -p 70 -w "$tmp/woof-raw.wav" "woof! woof!" && to_robot "$tmp/woof-raw.wav" woof.wav
    "$espeak" -v en -s 150 -w "$tmp/hello-raw.wav" "hello" && to_robot "$tmp/hello-raw.wav" hello.wav
    "$espeak" -v en -s 120 -p 30 -w "$tmp/goodnight-raw.wav" "good night" && to_robot "$tmp/goodnight-raw.wav" goodnight.wav
else
    echo "make-demo-sounds: espeak-ng not found; no spoken sounds"
fi
to_robot -n chirp.wav synth 0.6 sine 600-2400 vol 0.5 fade 0.02 0.6 0.05
to_robot -n beep.wav synth 0.25 square 880 vol 0.25 fade 0.01 0.25 0.02
to_robot -n purr.wav synth 1.2 brownnoise tremolo 22 90 vol 0.6 fade 0.1 1.2 0.3
exit 0
