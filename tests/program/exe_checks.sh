#!/usr/bin/env bash
# exe_checks.sh EXE: checks the built frimbola.exe as a file, without running it.
#   - a 32-bit GUI program for i386 that may use more than 2 GiB (256 large frames do);
#   - it imports only DLLs that every Windows has, so the single file runs anywhere
#     (no libstdc++, libgcc, libwinpthread or libjpeg DLL left to ship);
#   - its resources: the icons, the two dialogs that come from this folder's
#     resource script, the version block, the manifest and the default credit template.
# Prints every failure, then exits 1 if there was one.
set -euo pipefail

exe=${1:?usage: exe_checks.sh EXE}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
pe() { python3 "$here/pe_resources.py" "$@"; }

failures=0
fail() { printf 'FAIL: %s\n' "$*"; failures=$((failures + 1)); }
pass() { printf 'ok:   %s\n' "$*"; }

headers=$("$objdump" -p "$exe")
file_header=$("$objdump" -f "$exe")

# --- Headers.
grep -q 'file format pei-i386' <<<"$file_header" && grep -q 'architecture: i386' <<<"$file_header" \
  && pass 'PE32 for i386' || fail "not an i386 PE file: $(head -3 <<<"$file_header" | tr '\n' ' ')"
grep -Eq '^Magic[[:space:]]+010b' <<<"$headers" && pass 'optional header is PE32' \
  || fail 'optional header is not PE32 (magic 010b)'
grep -Eq '^Subsystem[[:space:]]+00000002' <<<"$headers" && pass 'subsystem Windows GUI' \
  || fail "subsystem is not Windows GUI (2): $(grep -E '^Subsystem' <<<"$headers")"
characteristics=$(awk '/^Characteristics/ { print $2; exit }' <<<"$headers")
if [ -n "$characteristics" ] && (( characteristics & 0x20 )); then
  pass 'large address aware'
else
  fail "IMAGE_FILE_LARGE_ADDRESS_AWARE (0x20) not set: characteristics ${characteristics:-missing}"
fi

# --- Imports: Windows' own DLLs only. msvcrt is the system's C runtime, which every
# Windows has; the versioned runtimes and the universal CRT's forwarders are not allowed.
allowed=' kernel32.dll user32.dll gdi32.dll shell32.dll shlwapi.dll ole32.dll comctl32.dll comdlg32.dll advapi32.dll msvcrt.dll '
dlls=$(awk -F': ' '/DLL Name:/ { print $2 }' <<<"$headers")
[ -n "$dlls" ] || fail 'no imported DLLs found (objdump output changed?)'
foreign=0
while read -r dll; do
  [ -n "$dll" ] || continue
  lower=${dll,,}
  if [[ $allowed != *" $lower "* ]]; then
    fail "imports $dll, which is not one of Windows' own DLLs"
    foreign=1
  fi
done <<<"$dlls"
[ "$foreign" -eq 1 ] || pass "imports only system DLLs: $(tr '\n' ' ' <<<"$dlls")"

# --- Resources.
for id in 101 102 103 104 105 106 107 108 109; do
  if ! images=$(pe icongroup "$exe" "$id" 2>&1); then
    fail "icon group $id: $images"
  elif grep -qx '16x16 32' <<<"$images" && grep -qx '32x32 32' <<<"$images"; then
    pass "icon group $id with 16x16 and 32x32 images of 32 bits"
  else
    fail "icon group $id lacks a 16x16 or 32x32 image of 32 bits: $(tr '\n' ' ' <<<"$images")"
  fi
done

# Dialog templates as the program's code expects them, down to the control positions.
check_dialog() {
  local id=$1 expected=$2 actual
  if ! actual=$(pe dialog "$exe" "$id" 2>&1); then
    fail "dialog $id: $actual"
  elif [ "$actual" = "$expected" ]; then
    pass "dialog $id"
  else
    fail "dialog $id differs:"
    diff <(printf '%s\n' "$expected") <(printf '%s\n' "$actual") | sed 's/^/      /' || true
  fi
}
# The tray menu's anchor: WS_POPUP | WS_VISIBLE | DS_SETFOREGROUND, WS_EX_TRANSPARENT, 8x9.
check_dialog 107 "style 0x90000200 exstyle 0x20
size 0,0,8,9
caption "
# The about box: WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT.
check_dialog 155 "style 0x80c800c0 exstyle 0x0
size 0,0,253,137
caption 『Frimbola』について
font 8 MS Shell Dlg
control -1 Static 7,7,21,20 style 0x50000003 exstyle 0x0 text #101
control -1 Static 38,10,104,8 style 0x50020000 exstyle 0x0 text Frimbola - アニメGIF作成プログラム
control -1 Static 16,43,47,8 style 0x50020000 exstyle 0x0 text バージョン番号
control -1 Static 69,42,24,12 style 0x50020002 exstyle 0x0 text 1.01
control 2 Button 196,116,50,14 style 0x50010000 exstyle 0x0 text 閉じる"

if ! versions=$(pe version "$exe" 2>&1); then
  fail "version resource: $versions"
elif [ "$versions" = '1.0.1.0 1.0.1.0' ]; then
  pass 'file and product version 1.0.1.0'
else
  fail "file and product version are $versions, not 1.0.1.0"
fi

if ! manifest=$(pe get "$exe" 24 1 2>&1); then
  fail "manifest (RT_MANIFEST 1): $manifest"
else
  for needed in 'level="asInvoker"' 'PerMonitor' 'Microsoft.Windows.Common-Controls'; do
    grep -q -- "$needed" <<<"$manifest" && pass "manifest names $needed" \
      || fail "manifest lacks $needed"
  done
fi

# The default credit template (RCDATA 201), byte for byte the committed res/frame.gif.
if cmp -s <(pe get "$exe" 10 201 2>/dev/null) "$here/../../res/frame.gif"; then
  pass 'credit template RCDATA 201 is res/frame.gif'
else
  fail 'RCDATA 201 is missing or differs from res/frame.gif'
fi

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed for $exe"
  exit 1
fi
echo "all checks passed for $exe"
