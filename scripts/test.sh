#!/usr/bin/env bash
# Builds drivelife and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh test

cmake -S . -B build -DDRIVELIFE_WERROR=ON
cmake --build build -j2
ctest --test-dir build --output-on-failure
