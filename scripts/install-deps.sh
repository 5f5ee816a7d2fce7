#!/usr/bin/env bash
# Installs the Debian packages the build and the test suites need, only when
# something is missing, so repeated runs cost a few dpkg queries.
set -euo pipefail

native=(cmake ninja-build g++ make libgtest-dev libgmock-dev libbenchmark-dev
        g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64
        wine wine64
        libstb-dev python3)  # the demo's PNG writer; its checks decode the PNGs
i386=(wine32:i386)
# The benchmark table (python3) and the fuzz targets (clang with libFuzzer).
native+=(python3 clang libclang-rt-14-dev)

missing=()
for p in "${native[@]}" "${i386[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: missing packages: ${missing[*]} (run as root to install them)" >&2
    exit 1
fi
echo "== installing Debian packages: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
