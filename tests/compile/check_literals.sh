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
out=$("$cxx" -std=c++20 -fsyntax-only -I "$root" "$here/literal_unmappable.cpp" 2>&1)
if [ $? -eq 0 ]; then
  echo "check_literals: a literal with no Windows-1252 byte compiled"
  exit 1
fi
if ! grep -q "NoWindows1252ByteFor" <<<"$out"; then
  echo "check_literals: the unmappable literal failed for another reason:"
  echo "$out" | head -20
  exit 1
fi
out=$("$cxx" -std=c++20 -fsyntax-only -I "$root" "$here/literal_overlong.cpp" 2>&1)
if [ $? -eq 0 ]; then
  echo "check_literals: a literal with an overlong UTF-8 form compiled"
  exit 1
fi
if ! grep -q "BrokenUtf8InLiteral" <<<"$out"; then
  echo "check_literals: the overlong literal failed for another reason:"
  echo "$out" | head -20
  exit 1
fi
echo "check_literals: mappable literal compiles, unmappable and overlong literals are refused"
