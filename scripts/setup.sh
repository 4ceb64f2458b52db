#!/usr/bin/env bash
# Installs from Debian's packages what drivelife needs and this machine lacks:
#   scripts/setup.sh demo   to build and run the tool
#   scripts/setup.sh test   to build and run every test (the default)
set -euo pipefail

packages=(cmake make g++ python3)
if [ "${1:-test}" = test ]; then
	packages+=(smartmontools g++-mingw-w64-x86-64 wine wine64 clang libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
	dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=
[ "$(id -u)" -eq 0 ] || sudo=sudo
echo "setup: installing ${missing[*]}"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
