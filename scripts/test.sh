#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test, then each fuzzer briefly.
# Exits non-zero when anything fails.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset default
cmake --build --preset default
ctest --preset default --output-on-failure -j2 2>&1 | tee build/ctest-summary.log

# Each fuzzer runs for a short time on every test run; longer runs: scripts/fuzz.sh SECONDS
if ls fuzz/*.cpp >/dev/null 2>&1; then
  bash scripts/fuzz.sh "${JEX_FUZZ_SECONDS:-20}"
fi

# The test run's closing line, after the fuzzers' output.
grep -E "tests passed|tests failed" build/ctest-summary.log | tail -n 1
