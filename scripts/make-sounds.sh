#!/usr/bin/env bash
# Makes the interface sounds of the default user profile with sox:
# short, quiet (-12 dBFS peak) 16-bit PCM mono 22050 Hz wave files with soft attack and
# release, so that they never click. The output is the same on every run (no dither, no
# random sources), so the files can be kept in the repository and rebuilt at any time.
#
#   scripts/make-sounds.sh [OUTPUT_DIR]   (default: data/user/DEFAULT/sounds)
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-data/user/DEFAULT/sounds}"
command -v sox >/dev/null || { echo "make-sounds: sox is not installed (scripts/install-deps.sh)" >&2; exit 1; }
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fmt=(-D -r 22050 -b 16 -c 1 -e signed-integer)

# tone FILE SECONDS FREQ: a sine with a 10 ms attack and a release over the last third.
tone() {
  local rel
  rel=$(awk -v d="$2" 'BEGIN { printf "%.3f", d / 3 }')
  sox "${fmt[@]}" -n "$1" synth "$2" sine "$3" fade q 0.010 "$2" "$rel"
}
# tick FILE: a very short soft click that dies away quickly, padded to 60 ms.
tick() {
  sox "${fmt[@]}" -n "$1" synth 0.030 sine 1400 fade q 0.003 0.030 0.025 pad 0 0.030
}
# gap FILE SECONDS: silence between two tones.
gap() {
  sox "${fmt[@]}" -n "$1" trim 0 "$2"
}
# finish NAME PARTS...: joins the parts and sets the peak to -12 dBFS.
finish() {
  local name=$1; shift
  sox "${fmt[@]}" "$@" "$work/joined.wav"
  sox "${fmt[@]}" "$work/joined.wav" "$out/$name.wav" norm -12
  echo "make-sounds: $out/$name.wav"
}

# Main menu opens: rising fifth; closes: falling fifth.
tone "$work/a.wav" 0.070 587.33; tone "$work/b.wav" 0.100 880.00
finish MenuOn "$work/a.wav" "$work/b.wav"
tone "$work/a.wav" 0.070 880.00; tone "$work/b.wav" 0.100 587.33
finish MenuOff "$work/a.wav" "$work/b.wav"

# Quick menu: the same shape, a little higher and shorter so the two can be told apart.
tone "$work/a.wav" 0.050 783.99; tone "$work/b.wav" 0.080 1046.50
finish QmenuOn "$work/a.wav" "$work/b.wav"
tone "$work/a.wav" 0.050 1046.50; tone "$work/b.wav" 0.080 783.99
finish QmenuOff "$work/a.wav" "$work/b.wav"

# A command chosen in the quick menu: one soft tick.
tick "$work/a.wav"
finish QmenuCmd "$work/a.wav"

# Error: a low, gentle double tone.
tone "$work/a.wav" 0.080 293.66; gap "$work/g.wav" 0.030; tone "$work/b.wav" 0.080 261.63
finish error "$work/a.wav" "$work/g.wav" "$work/b.wav"
