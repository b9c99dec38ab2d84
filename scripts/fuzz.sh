#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and sanitizers and runs each for SECONDS (default 60).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
cmake --preset fuzz >/dev/null
# Only the fuzz targets and what they link: the rest of the tree is not needed here.
targets=()
for src in fuzz/*.cpp; do targets+=("fuzz_$(basename "$src" .cpp)"); done
cmake --build --preset fuzz --target "${targets[@]}"
for name in "${targets[@]}"; do
  f="build/fuzz/fuzz/$name"
  corpus="build/fuzz/corpus/$name"
  mkdir -p "$corpus"
  seeds="fuzz/seeds/${name#fuzz_}"
  built="build/fuzz/seeds/${name#fuzz_}"  # seeds the build makes (type libraries by widl)
  echo "fuzz: running $name for ${seconds}s"
  QT_QPA_PLATFORM=offscreen "$f" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
    "$corpus" $( [ -d "$seeds" ] && echo "$seeds" ) $( [ -d "$built" ] && echo "$built" ) 2>&1 | tail -n 3
  test "${PIPESTATUS[0]}" -eq 0
done
echo "fuzz: all fuzzers ran clean"
