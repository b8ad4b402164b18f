#!/bin/sh
# Compiles the Lazarus package as a user's Lazarus does, with lazbuild. lazbuild
# compiles every package the package needs that is not compiled yet into that
# package's own folder, so it works on a private copy of Lazarus's tree and a
# configuration of its own, never on the system's.
#   lazarus_package_test.sh PACKAGE_DIR LAZARUS_DIR
set -eu
package=$1
lazarus=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -a "$lazarus" "$work/lazarus"
cp -R "$package" "$work/package"
lazbuild --lazarusdir="$work/lazarus" --pcp="$work/config" "$work/package/scrivlock_lazarus.lpk"
test -f "$work/package/lib/"*/scrivlockcommands.ppu
echo "package compiled"
