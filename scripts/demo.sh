#!/usr/bin/env bash
# Builds drivelife and runs it on a bundled sample report. No drive is read:
# a stand-in smartctl prints the report of a real SATA SSD, and the answer
# "C" is typed for you. In a UTF-8 terminal drivelife shows its messages in
# UTF-8 itself; piped or redirected, they stay GBK bytes.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh demo
cmake --preset native >/dev/null
cmake --build --preset native -j2 --target drivelife >/dev/null

stand_in=$(mktemp -d)
trap 'rm -rf "$stand_in"' EXIT
printf '#!/bin/sh\ncat "%s"\n' "$PWD/tests/reports/classic-ssd-1.txt" >"$stand_in/smartctl"
chmod +x "$stand_in/smartctl"

printf 'C\n\n' | PATH="$stand_in:$PATH" build/drivelife
