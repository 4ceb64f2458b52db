#!/usr/bin/env bash
# Builds drivelife and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh test

# The native build, then drivelife.exe under Wine: the same table runs on both.
for preset in native windows; do
	cmake --preset $preset
	cmake --build --preset $preset -j2
	ctest --preset $preset
done
