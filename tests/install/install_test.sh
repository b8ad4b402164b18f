#!/bin/sh
# Installs the build into a temporary prefix and runs what was installed, as a
# user would: the tool on a copy of the example, the IDE with the plug-in it
# finds on its own.
#   install_test.sh BUILD_DIR SOURCE_DIR
set -eu
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
unset SCRIVLOCK_PLUGIN

"$prefix/bin/scrivlock" --version | grep -qx "scrivlock [0-9.]*"
"$prefix/bin/scrivlock-codec" --version | grep -qx "scrivlock-codec [0-9.]*"
for page in scrivlock scrivlock-codec; do test -s "$prefix/share/man/man1/$page.1"; done
test -s "$prefix/share/doc/scrivlock/README.md"
# The core's C library, where the loader finds it, and its header.
test -n "$(find "$prefix" -name libscrivlock-core.so)"
test -s "$prefix/include/scrivlock.h"

cp -R "$source/examples/demo" "$work/demo"
(cd "$work/demo" && "$prefix/bin/scrivlock" uncomment Greeter.pas >/dev/null &&
  "$prefix/bin/scrivlock" recomment Greeter.pas >/dev/null)
diff -r "$source/examples/demo" "$work/demo"

if [ -x "$prefix/bin/scrivlock-ide" ]; then
  test -f "$prefix/lib/scrivlock/libscrivlock.so"
  test -s "$prefix/share/man/man1/scrivlock-ide.1"
  # Nothing of the build tree is baked in: a moved install still finds its plug-in.
  mv "$prefix" "$work/moved"
  QT_QPA_PLATFORM=offscreen "$work/moved/bin/scrivlock-ide" --check "$work/demo/Demo.dpr" 2>/dev/null |
    grep -q "listed in Comments: 2"
fi
echo "installed and ran"
