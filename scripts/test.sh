#!/usr/bin/env bash
# Builds both builds and runs every test: the native unit and interop tests, the
# same under AddressSanitizer + UndefinedBehaviorSanitizer, the engine tests as
# Windows programs under Wine (in a Wine prefix of this run's own), and a short
# smoke run of each fuzz target. Set-up (scripts/setup.sh) runs first.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
fuzz_seconds=${FRIMBOLA_FUZZ_SECONDS:-}  # when set, every fuzz target runs this long

say() { printf '\n== %s\n' "$*"; }

bash scripts/setup.sh

configure() {
  local dir=$1
  shift
  cmake -S "$root" -B "build/$dir" -G Ninja -DFRIMBOLA_WERROR=ON "$@" >"build/$dir.configure.log" 2>&1 ||
    { cat "build/$dir.configure.log"; exit 1; }
}
build() {
  local dir=$1
  cmake --build "build/$dir" >"build/$dir.build.log" 2>&1 || { tail -n 60 "build/$dir.build.log"; exit 1; }
}
mkdir -p build

say "native build"
configure native
build native

say "sanitizer build (AddressSanitizer + UndefinedBehaviorSanitizer)"
configure asan -DFRIMBOLA_SANITIZE=ON
build asan

say "Windows build (i686, mingw-w64)"
configure windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DFRIMBOLA_NATIVE_BUILD="$root/build/native"
build windows

source scripts/windows-arch.sh
if [ "$FRIMBOLA_WIN_ARCH" = x86_64 ]; then
  say "Windows test build (x86_64: this host does not run 32-bit programs, so Wine is 64-bit)"
  configure windows64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DFRIMBOLA_NATIVE_BUILD="$root/build/native"
  build windows64
fi

say "fuzz targets (clang, libFuzzer)"
CC=clang CXX=clang++ configure fuzz -DFRIMBOLA_FUZZ=ON
build fuzz

say "native tests"
ctest --test-dir build/native --output-on-failure

say "tests under the sanitizers"
ctest --test-dir build/asan --output-on-failure

say "Windows tests under Wine (engine, tool, program modules, exe checks, end to end)"
# The program's own tests open windows and read the screen: a display and a Wine
# prefix of this run's own.
source scripts/wine-session.sh
start_wine_session
if [ "$FRIMBOLA_WIN_BUILD" = windows ]; then
  ctest --test-dir build/windows --output-on-failure
else
  # The product's own checks read the i686 file; everything that runs is the x86_64 build.
  ctest --test-dir build/windows --output-on-failure -R exe_checks
  ctest --test-dir build/windows64 --output-on-failure -E exe_checks
fi

say "fuzz smoke run"
# target:seconds. The text readers are small and short inputs reach all of them quickly.
for entry in gif_reader_fuzz:20 frame_layout_fuzz:20 command_line_fuzz:10 settings_text_fuzz:10 exec_list_fuzz:10; do
  target=${entry%:*}
  seconds=${fuzz_seconds:-${entry#*:}}
  echo "$target: ${seconds} s"
  corpus=$(mktemp -d)
  [ "$target" = gif_reader_fuzz ] && cp tests/fuzz/corpus/gif/* "$corpus"/
  "build/fuzz/tests/$target" -max_total_time="$seconds" -print_final_stats=0 "$corpus" 2>"build/fuzz/$target.log" ||
    { tail -n 60 "build/fuzz/$target.log"; rm -rf "$corpus"; exit 1; }
  tail -n 1 "build/fuzz/$target.log"
  rm -rf "$corpus"
done

say "all tests passed"
