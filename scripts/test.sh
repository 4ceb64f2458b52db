#!/usr/bin/env bash
# Builds drivelife and runs every test: the end-to-end table on the native
# build, on a build with AddressSanitizer and UndefinedBehaviorSanitizer, and
# on drivelife.exe under Wine; then 30 seconds of fuzzing the report reader.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh test

for preset in native sanitize windows fuzz; do
	echo "=== $preset"
	cmake --preset $preset
	cmake --build --preset $preset -j2
	ctest --preset $preset
done
