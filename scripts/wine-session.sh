# Sourced by scripts that run Windows programs of the build under Wine on a screen:
#   start_wine_session [SCREEN]   (SCREEN like 1280x1024, the default)
# makes a temp folder with a fresh Wine prefix (of the kind windows-arch.sh picks) (exported as FRIMBOLA_WINEPREFIX,
# which scripts/wine-run.sh uses) and a virtual display of its own (exported as
# DISPLAY; Xvfb picks a free number and writes it to the fd), and stops both and
# removes the folder when the script exits.
source "$(dirname "${BASH_SOURCE[0]}")/windows-arch.sh"
wine_session=
wine_session_xvfb=

stop_wine_session() {
  [ -n "$wine_session" ] || return 0
  WINEPREFIX=$wine_session/prefix wineserver -k 2>/dev/null || true
  [ -n "$wine_session_xvfb" ] && kill "$wine_session_xvfb" 2>/dev/null || true
  rm -rf "$wine_session"
  wine_session=
}

start_wine_session() {
  local screen=${1:-1280x1024}
  wine_session=$(mktemp -d)
  trap stop_wine_session EXIT
  Xvfb -displayfd 3 -screen 0 "${screen}x24" -nolisten tcp 3>"$wine_session/display" >/dev/null 2>&1 &
  wine_session_xvfb=$!
  for _ in $(seq 50); do [ -s "$wine_session/display" ] && break; sleep 0.1; done
  export DISPLAY=:$(cat "$wine_session/display")
  export FRIMBOLA_WINEPREFIX=$wine_session/prefix
  WINEPREFIX=$FRIMBOLA_WINEPREFIX WINEARCH=${FRIMBOLA_WINEARCH:-win32} WINEDEBUG=-all wineboot -i >/dev/null 2>&1
}
