#!/usr/bin/env bash
# Creates the Wine prefix once ($WINEPREFIX), reporting Windows 10 so that the
# setup program's version gate and manifest can be checked. Safe to call from
# several processes: creation is serialised by a lock file.
set -euo pipefail
: "${WINEPREFIX:?}"
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
mkdir -p "$(dirname "$WINEPREFIX")"
exec 9>"$WINEPREFIX.lock"
flock 9
if [ ! -f "$WINEPREFIX/.nimbo-ready" ]; then
    echo "== creating Wine prefix $WINEPREFIX" >&2
    timeout 300 wineboot -i >/dev/null 2>&1
    timeout 120 wine winecfg -v win10 >/dev/null 2>&1
    timeout 60 wineserver -w || true
    touch "$WINEPREFIX/.nimbo-ready"
fi
