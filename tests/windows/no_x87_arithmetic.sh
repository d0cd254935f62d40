#!/usr/bin/env bash
# Usage: no_x87_arithmetic.sh OBJDUMP LIBRARY-OR-OBJECT...
# The isosurface, math, mesh and engine code gives the same bits on every
# build only where each operation is rounded once, as written: SSE2 scalar
# arithmetic. An x87 arithmetic instruction keeps its result in an 80-bit
# register and rounds it again where it is stored, so the compiled code must
# hold none: no fadd, fsub(r), fmul, fdiv(r) in any form (popping, integer
# operand), no fsqrt, fprem(1), nor the x87's rounding, scaling and
# transcendental instructions. Loads, stores, exchanges and compares stay
# legal: the 32-bit calling convention returns floating-point values in st(0).
# Reads the disassembly only, so it needs no Windows and no Wine. A file may
# hold data only (the isosurface case tables: the isosurface code is inline,
# compiled into its users), but the files together must hold code.
set -euo pipefail
if [ $# -lt 2 ]; then
  sed -n '2s/^# \{0,1\}//p' "$0" >&2
  exit 2
fi
objdump=$1
shift

status=0 total=0
for file in "$@"; do
  # Intel syntax: bare mnemonics, no operand-size suffixes to strip.
  listing=$("$objdump" -d --no-show-raw-insn -M intel "$file")
  report=$(awk '
    /^In archive / { next }
    /file format/ { member = $1; sub(/:$/, "", member); next }
    /^[0-9a-f]+ <.*>:$/ { function_ = substr($2, 2, length($2) - 3); next }
    /^ +[0-9a-f]+:\t/ {
      instructions++
      split($0, field, "\t")
      split(field[2], word, " ")
      if (word[1] ~ /^(fi?(add|sub|subr|mul|div|divr)p?|fsqrt|fprem1?|frndint|fscale|fxtract|f2xm1|fyl2x|fyl2xp1|fsin|fcos|fsincos|fptan|fpatan)$/)
        printf "  %s, %s: %s\n", member, function_, field[2]
    }
    END { printf "instructions %d\n", instructions }' <<<"$listing")
  count=$(sed -n 's/^instructions //p' <<<"$report")
  found=$(grep -v '^instructions ' <<<"$report" || true)
  total=$((total + count))
  if [ -n "$found" ]; then
    echo "FAIL: $(wc -l <<<"$found") x87 arithmetic instructions in $file:" >&2
    echo "$found" >&2
    status=1
  else
    echo "ok: $count instructions in $(basename "$file"), no x87 arithmetic"
  fi
done
if [ "$total" -eq 0 ]; then
  echo "FAIL: no instructions disassembled in $*" >&2
  status=1
fi
exit "$status"
