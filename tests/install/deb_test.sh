#!/bin/sh
# Makes the Debian packages, installs them with dpkg into a temporary root (so
# the machine's own packages are left alone), runs what was installed, and
# removes the packages again.
#   deb_test.sh BUILD_DIR SOURCE_DIR
set -eu
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$build" && cpack -G DEB -B "$work/out" >/dev/null)
tools=$(ls "$work"/out/scrivlock_*.deb)
ide=$(ls "$work"/out/scrivlock-ide_*.deb 2>/dev/null || true)

# The tools need no Qt; the IDE's dependencies name it. Both name the C++ run-time.
dpkg-deb -f "$tools" Depends | grep -q libstdc++
if dpkg-deb -f "$tools" Depends | grep -qi qt; then
  echo "the tools package depends on Qt" >&2
  exit 1
fi
[ -z "$ide" ] || dpkg-deb -f "$ide" Depends | grep -q libqt6widgets

root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
: >"$root/var/lib/dpkg/status"
dpkg="dpkg --root=$root --force-depends --force-not-root --force-script-chrootless --log=/dev/null"
$dpkg -i "$tools" $ide >/dev/null
"$root/usr/bin/scrivlock" --version | grep -qx "scrivlock [0-9.]*"
test -s "$root/usr/share/man/man1/scrivlock.1"
cp -R "$source/examples/demo" "$work/demo"
(cd "$work/demo" && "$root/usr/bin/scrivlock" uncomment MathUtil.pas >/dev/null &&
  "$root/usr/bin/scrivlock" recomment MathUtil.pas >/dev/null)
diff -r "$source/examples/demo" "$work/demo"
if [ -n "$ide" ]; then
  test -f "$root/usr/lib/scrivlock/libscrivlock.so"
  QT_QPA_PLATFORM=offscreen "$root/usr/bin/scrivlock-ide" --check "$work/demo/Demo.dpr" 2>/dev/null |
    grep -q "listed in Comments: 2"
  $dpkg -r scrivlock-ide >/dev/null
fi
$dpkg -r scrivlock >/dev/null
test ! -e "$root/usr/bin/scrivlock"
echo "packaged, installed, ran and removed"
