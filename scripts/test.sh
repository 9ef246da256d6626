#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
# the host tests under ASan and UBSan with a bounded fuzzing run, the shipped
# 32-bit updater's build, and the Windows tests under Wine.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/setup.sh
source scripts/display.sh

cmake --workflow --preset host
cmake --workflow --preset windows
cmake --workflow --preset windows-x64
