#!/usr/bin/env bash
# Prepares a Debian 12 machine (as root) for building and testing Frimbola:
# Debian packages, the i386 architecture for Wine, the ja_JP.UTF-8 locale and
# libjpeg-turbo cross-built for Windows from Debian's source package: for i686 (the
# product) and for x86_64 (the test build of hosts that cannot run 32-bit code).
# Idempotent: a second run only checks and finishes in seconds.
set -euo pipefail

cache=${FRIMBOLA_CACHE:-/var/cache/frimbola}

say() { printf 'setup: %s\n' "$*"; }

if [ "$(id -u)" -ne 0 ]; then
  echo "setup: run this as root (it installs Debian packages)" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev googletest pkg-config time file
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 nasm
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine32:i386 wine64 xvfb xauth x11-utils xdotool
  locales fonts-ipafont-gothic fonts-ipafont-mincho
  libjpeg62-turbo-dev libjpeg-turbo-progs libgif-dev imagemagick ffmpeg chromium
  dpkg-dev python3
)

added_source=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  say "adding the i386 architecture (Wine runs the 32-bit program)"
  dpkg --add-architecture i386
  added_source=1
fi
src_list=/etc/apt/sources.list.d/frimbola-deb-src.sources
if [ ! -f "$src_list" ]; then
  say "adding Debian's source archive (libjpeg-turbo is built from it)"
  cat >"$src_list" <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  added_source=1
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ "${#missing[@]}" -gt 0 ] || [ "$added_source" -eq 1 ]; then
  say "apt-get update"
  apt-get update -qq
fi
if [ "${#missing[@]}" -gt 0 ]; then
  say "installing ${missing[*]}"
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if ! locale -a 2>/dev/null | grep -qx 'ja_JP.utf8'; then
  say "generating the ja_JP.UTF-8 locale"
  sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >>/etc/locale.gen
  locale-gen >/dev/null
fi

# libjpeg-turbo for the Windows builds: the very version of the native library,
# from Debian's source package, static, with its SIMD code (nasm).
version=$(dpkg-query -W -f='${source:Version}\n' "libjpeg62-turbo:$(dpkg --print-architecture)")
build_jpeg() {  # build_jpeg ARCH (i686 or x86_64)
  local arch=$1 prefix=$cache/libjpeg-turbo-$1 work src
  [ -f "$prefix/.built-$version" ] && return
  say "cross-building libjpeg-turbo $version for $arch Windows into $prefix"
  work=$(mktemp -d)
  (cd "$work" && apt-get source -qq "libjpeg-turbo=$version" >"$work/source.log" 2>&1) || { cat "$work/source.log"; exit 1; }
  src=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'libjpeg-turbo-*' | head -n 1)
  rm -rf "$prefix"
  cmake -S "$src" -B "$work/build" -G Ninja \
    -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR="$arch" \
    -DCMAKE_C_COMPILER="$arch-w64-mingw32-gcc-posix" \
    -DCMAKE_RC_COMPILER="$arch-w64-mingw32-windres" \
    -DCMAKE_ASM_NASM_COMPILER=nasm \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS='-msse2 -mfpmath=sse' \
    -DCMAKE_EXE_LINKER_FLAGS='-static -static-libgcc' \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=ON \
    -Wno-dev >"$work/configure.log" || { cat "$work/configure.log"; exit 1; }
  cmake --build "$work/build" >"$work/build.log" || { tail -n 40 "$work/build.log"; exit 1; }
  cmake --install "$work/build" >/dev/null
  touch "$prefix/.built-$version"
  rm -rf "$work"
}
build_jpeg i686
build_jpeg x86_64

say "ready (libjpeg-turbo for Windows in $cache)"
