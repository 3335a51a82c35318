#!/usr/bin/env bash
# Runs a Windows program of the build under Wine, as ctest's emulator and for scripts:
# a prefix of its own (FRIMBOLA_WINEPREFIX, default build/wineprefix beside the
# build folders), Japanese locale so the ANSI code page is 932, Wine's chatter off.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$here/scripts/windows-arch.sh"
export WINEPREFIX=${FRIMBOLA_WINEPREFIX:-$here/build/wineprefix}
export WINEARCH=${FRIMBOLA_WINEARCH:-win32}
export WINEDEBUG=${WINEDEBUG:--all}
export LANG=${FRIMBOLA_WINE_LANG:-ja_JP.UTF-8}
export LC_ALL=$LANG
exec wine "$@"
