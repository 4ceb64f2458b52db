#!/usr/bin/env bash
# Builds drivelife and runs it on a bundled sample report. No drive is read:
# a stand-in smartctl prints the report of a real SATA SSD, and the answer
# "C" is typed for you. The GBK output is shown as UTF-8 through iconv.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh demo
cmake -S . -B build >/dev/null
cmake --build build -j2 --target drivelife >/dev/null

stand_in=$(mktemp -d)
trap 'rm -rf "$stand_in"' EXIT
printf '#!/bin/sh\ncat "%s"\n' "$PWD/tests/reports/classic-ssd-1.txt" >"$stand_in/smartctl"
chmod +x "$stand_in/smartctl"

printf 'C\n\n' | PATH="$stand_in:$PATH" build/drivelife | iconv -f GBK -t UTF-8
