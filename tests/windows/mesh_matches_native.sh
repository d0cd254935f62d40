#!/usr/bin/env bash
# Usage: mesh_matches_native.sh mcubes.exe NATIVE-MCUBES EMULATOR...
# The Windows build must compute the same triangles, to the last bit, as the
# native one: the meshes each writes must be the same bytes. OBJ carries
# round-trip decimal floats, binary STL the raw float bits; the last tick is
# the largest animation angle, where any double-to-float slip shows first. A
# fine grid runs the extractor's vector code (SSE2, and AVX2 where the CPU
# has it) on both builds, and the normals' arithmetic. EMULATOR is the build's
# command that runs a Windows program (scripts/wine-run with its word size and
# prefix).
set -euo pipefail
exe=$1 native=$2
shift 2
emulator=("$@")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [ ! -x "$native" ]; then
  echo "FAIL: no native mcubes at $native (build the native release preset first)" >&2
  exit 1
fi

compare() {
  local tick=$1 format=$2
  shift 2
  local name="tick $tick, $format${*:+, $*}"
  "$native" mesh --tick "$tick" --format "$format" "$@" >"$work/native"
  "${emulator[@]}" "$exe" mesh --tick "$tick" --format "$format" "$@" >"$work/windows"
  [ -s "$work/native" ] || { echo "FAIL ($name): the native mesh is empty" >&2; exit 1; }
  if ! cmp "$work/native" "$work/windows"; then
    echo "FAIL ($name): the Windows mesh differs from the native one" >&2
    exit 1
  fi
  echo "identical ($name): $(wc -c <"$work/native") bytes"
}

compare 25 obj
compare 25 stl
compare 2147483647 obj
compare -2147483648 stl --divisions 200
compare 25 obj --divisions 200 --normals --threads 3
