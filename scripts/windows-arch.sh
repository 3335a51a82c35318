# Sourced by the scripts that run Windows programs under Wine: which Windows build
# runs here. The product is i686 and runs under 32-bit Wine; a host whose kernel
# does not execute 32-bit programs (execve of an i386 binary fails) runs the same
# sources built for x86_64 under 64-bit Wine instead. Exports
#   FRIMBOLA_WIN_ARCH   i686 or x86_64 (set it beforehand to choose)
#   FRIMBOLA_WINEARCH   win32 or win64, the Wine prefix's kind
#   FRIMBOLA_WIN_BUILD  the build folder under build/ that the tests run: windows or windows64
# and for x86_64 puts scripts/wine64 (wine meaning 64-bit Wine) first in PATH.
if [ -z "${FRIMBOLA_WIN_ARCH:-}" ]; then
  if /usr/lib/wine/wine --version >/dev/null 2>&1; then
    FRIMBOLA_WIN_ARCH=i686
  else
    FRIMBOLA_WIN_ARCH=x86_64
  fi
fi
if [ "$FRIMBOLA_WIN_ARCH" = i686 ]; then
  FRIMBOLA_WINEARCH=win32
  FRIMBOLA_WIN_BUILD=windows
else
  FRIMBOLA_WINEARCH=win64
  FRIMBOLA_WIN_BUILD=windows64
  wine64_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/wine64" && pwd)
  case ":$PATH:" in *":$wine64_dir:"*) ;; *) PATH=$wine64_dir:$PATH ;; esac
  export PATH
fi
export FRIMBOLA_WIN_ARCH FRIMBOLA_WINEARCH FRIMBOLA_WIN_BUILD
