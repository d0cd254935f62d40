#!/usr/bin/env bash
# Usage: system_dlls_only.sh OBJDUMP FORMAT marching-cubes.exe mcubes.exe
# The programs must start on a bare Windows: they are executables of the
# build's kind (FORMAT as objdump names it: pei-i386 for 32-bit x86, PE32;
# pei-x86-64 for x86-64, PE32+), every DLL they import is one the system
# ships (the runtime is linked in), and the demo is a GUI-subsystem program,
# so starting it opens no console of its own.
set -euo pipefail
objdump=$1 expected=$2 demo=$3 tool=$4
allowed=" gdi32.dll glu32.dll kernel32.dll msvcrt.dll opengl32.dll user32.dll "

status=0
for exe in "$demo" "$tool"; do
  format=$("$objdump" -f "$exe" 2>&1 || true)
  if [[ $format != *"file format $expected"* ]]; then
    echo "FAIL: $(basename "$exe") is not a $expected executable: $format" >&2
    status=1
  fi
  for dll in $("$objdump" -p "$exe" | awk '/DLL Name:/ { print tolower($3) }'); do
    case "$allowed" in
      *" $dll "*) ;;
      *) echo "FAIL: $(basename "$exe") imports $dll" >&2; status=1 ;;
    esac
  done
done
# Read the headers whole first: grep -q stops early, and under pipefail the
# objdump killed by the closed pipe would fail the check.
headers=$("$objdump" -p "$demo")
if ! grep -q '^Subsystem.*(Windows GUI)' <<<"$headers"; then
  echo "FAIL: $(basename "$demo") is not a GUI-subsystem program" >&2
  status=1
fi
exit "$status"
