#!/usr/bin/env bash
# check_literals.sh <c++ compiler> <source root>: a literal whose characters all have a
# Windows-1252 byte compiles, one with a character that has none stops the compilation at the
# conversion (not at some unrelated error), and so does one with an overlong UTF-8 form.
set -u
cxx=$1
root=$2
here=$(cd "$(dirname "$0")" && pwd)
if ! "$cxx" -std=c++20 -fsyntax-only -I "$root" "$here/literal_mappable.cpp"; then
  echo "check_literals: the mappable literal did not compile"
  exit 1
fi
# refused <file> <the conversion's error name> <what the literal holds>
refused() {
  local out
  if out=$("$cxx" -std=c++20 -fsyntax-only -I "$root" "$here/$1" 2>&1); then
    echo "check_literals: a literal with $3 compiled"
    exit 1
  fi
  if ! grep -q "$2" <<<"$out"; then
    echo "check_literals: the literal with $3 failed for another reason:"
    echo "$out" | head -20
    exit 1
  fi
}
refused literal_unmappable.cpp NoWindows1252ByteFor "no Windows-1252 byte"
refused literal_overlong.cpp BrokenUtf8InLiteral "an overlong UTF-8 form"
echo "check_literals: mappable literal compiles, unmappable and overlong literals are refused"
