#!/usr/bin/env bash
# Runs a Windows program under Wine with the project's settings: a private
# prefix (created on first use), no debug channels, no Mono/Gecko prompts, and
# a time limit so that a hung program cannot hang the run.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$here/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
"$here/scripts/wine-prefix.sh"
exec timeout "${NIMBO_WINE_TIMEOUT:-600}" wine "$@"
