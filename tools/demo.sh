#!/bin/sh
# The main job of scrivlock on the bundled example project, on a copy in a
# temporary folder: uncomment two units, show the status and a stripped unit
# with its commenting module, re-comment them, and check that the copy is the
# example again, byte for byte.
#
# Usage: tools/demo.sh [path/to/scrivlock]   (default: build/apps/scrivlock/scrivlock)
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
tool=${1:-}
if [ -z "$tool" ]; then
  for candidate in "$root"/build/apps/scrivlock/scrivlock "$root"/build-*/apps/scrivlock/scrivlock; do
    if [ -x "$candidate" ]; then tool=$candidate; break; fi
  done
fi
if [ -z "$tool" ] || [ ! -x "$tool" ]; then
  echo "demo.sh: build scrivlock first (cmake -S . -B build && cmake --build build), or pass its path" >&2
  exit 2
fi
# The work is done in a temporary folder: a path given relative to here must
# still name the tool from there.
tool=$(cd "$(dirname "$tool")" && pwd)/$(basename "$tool")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$root/examples/demo" "$work/demo"
cd "$work/demo"

step() { printf '\n==> %s\n' "$*"; }
show() { tr -d '\r' < "$1"; }

step "scrivlock uncomment Greeter.pas MathUtil.pas"
"$tool" uncomment Greeter.pas MathUtil.pas

step "scrivlock status"
"$tool" status

step "Greeter.pas, without its comments"
show Greeter.pas

step "Unit1.pas, the commenting module of Greeter.pas"
show Unit1.pas
echo

step "scrivlock uncomment Greeter.pas (again: refused)"
"$tool" uncomment Greeter.pas || echo "(exit status $?)"

step "scrivlock recomment Greeter.pas MathUtil.pas"
"$tool" recomment Greeter.pas MathUtil.pas

step "scrivlock status"
"$tool" status

step "compare with the example"
if diff -r "$root/examples/demo" "$work/demo"; then
  echo "identical: every comment is back in place and the commenting modules are gone"
else
  echo "the copy differs from the example" >&2
  exit 1
fi
