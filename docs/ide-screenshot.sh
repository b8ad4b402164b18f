#!/usr/bin/env bash
# Makes docs/ide.png: scrivlock-ide on a copy of the example project with
# Greeter.pas open and the Comments window beside it, under a virtual X server
# (xvfb-run, Debian's xvfb). Needs a build with the tests (ide_driver).
#   docs/ide-screenshot.sh [BUILD-FOLDER]     (default: build)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "${1:-$here/../build}" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp "$here/../examples/demo/"* "$work/"
plugin="$(find "$build" -name libscrivlock.so -path '*lib/scrivlock*' | head -n 1)"
xvfb-run -a -s "-screen 0 1280x800x24" "$build/tests/hosts/ide_driver" "$plugin" \
  "$work/Demo.dpr" size 860 560 open Greeter.pas comments choose Greeter.pas \
  screenshot "$here/ide.png"
echo "wrote $here/ide.png"
