#!/usr/bin/env bash
# Installs what is needed, builds, and runs JexUI.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default
cmake --build --preset default
./build/default/bin/jexui
