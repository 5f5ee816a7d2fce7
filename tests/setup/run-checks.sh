#!/usr/bin/env bash
# make test's entry for the setup program's Wine checks. They install and
# remove devices, so they run in a prefix of their own, not the shared one.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
export WINEPREFIX=${NIMBO_SETUP_WINEPREFIX:-$repo/build/wineprefix-setup}
exec "$here/wine-setup-checks.sh" "$@"
