#!/bin/sh
# Builds a Lazarus of its own with the package and its self-test package
# installed, and runs it under Xvfb on a copy of the demo project: the self-test
# uncomments Greeter.pas, a unit of tabs and trailing blanks and a 1 MB unit of
# RTL code through the package's commands, checks Undo and Redo in the editor,
# saves, re-comments, checks the files on disk, logs the large unit's times and
# closes Lazarus (tests/integrations/lazarus_selftest). Rebuilding Lazarus rewrites its tree,
# so all of it happens on a private copy with a configuration of its own.
#   lazarus_ide_test.sh SOURCE_DIR LAZARUS_DIR CORE_LIBRARY
set -eu
source=$1
lazarus=$2
core=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -a "$lazarus" "$work/lazarus"
cp -R "$source/integrations/lazarus" "$work/package"
cp -R "$source/tests/integrations/lazarus_selftest" "$work/selftest"
build() {
  lazbuild --lazarusdir="$work/lazarus" --pcp="$work/config" "$@" > "$work/lazbuild.log" 2>&1 ||
    { tail -40 "$work/lazbuild.log"; exit 1; }
}
build "$work/package/scrivlock_lazarus.lpk"
build --add-package "$work/package/scrivlock_lazarus.lpk" \
  --add-package "$work/selftest/scrivlock_selftest.lpk" --build-ide=

# Lazarus asks its first-start questions unless its configuration is complete:
# its own version and folder, and an fppkg set-up that finds the compiler's
# packages (Debian's lists no "rtl" package, so a private one adds it).
options="$work/config/environmentoptions.xml"
version=$(lazbuild --version)
sed -i -e "s|<Version Value=\"\([0-9]*\)\" Lazarus=\"[^\"]*\"|<Version Value=\"\1\" Lazarus=\"$version\"|" \
  -e "s|<LazarusDirectory Value=\"[^\"]*\"|<LazarusDirectory Value=\"$work/lazarus/\"|" \
  -e "s|<Debugger>|<FppkgConfigFile Value=\"$work/fppkg/fppkg.cfg\"/><Debugger>|" "$options"
fpc_version=$(fpc -iV)
fpc_dir=$(dirname "$(dirname "$(fpc -PB)")")/lib
for candidate in /usr/lib/*/fpc/"$fpc_version" /usr/lib/fpc/"$fpc_version" /usr/local/lib/fpc/"$fpc_version"; do
  if [ -d "$candidate/fpmkinst" ]; then fpc_dir=$candidate; break; fi
done
target=$(fpc -iTP)-$(fpc -iTO)
installed="$work/fpc/$fpc_version"
mkdir -p "$installed/fpmkinst/$target" "$work/fppkg/config"
ln -s "$fpc_dir/units" "$installed/units"
for package in "$fpc_dir/fpmkinst/$target/"*.fpm; do ln -s "$package" "$installed/fpmkinst/$target/"; done
[ -e "$installed/fpmkinst/$target/rtl.fpm" ] ||
  printf 'Name=rtl\nVersion=%s\nCPU=%s\nOS=%s\n' "$fpc_version" "$(fpc -iTP)" "$(fpc -iTO)" \
    > "$installed/fpmkinst/$target/rtl.fpm"
cat > "$work/fppkg/fppkg.cfg" <<CFG
[Defaults]
ConfigVersion=5
LocalRepository=$work/fppkg/
BuildDir={LocalRepository}build/
ArchivesDir={LocalRepository}archives/
CompilerConfigDir={LocalRepository}config/
CompilerConfig=default
FPMakeCompilerConfig=default
Downloader=FPC

[Repository]
Name=fpc
Description=The compiler's packages
Path=$work/fpc/{CompilerVersion}/
Prefix=/usr
CFG
printf '[Defaults]\nConfigVersion=5\nCompiler=%s\nOS=%s\nCPU=%s\nVersion=%s\n' \
  "$(command -v fpc)" "$(fpc -iTO)" "$(fpc -iTP)" "$fpc_version" > "$work/fppkg/config/default"

mkdir "$work/demo"
cp "$source/examples/demo/Greeter.pas" "$source/examples/demo/MathUtil.pas" "$work/demo/"
cp "$source/examples/demo/Demo.dpr" "$work/demo/Demo.lpr"
cp "$work/selftest/demo.lpi" "$work/demo/"
# About 1 MB of real code for the timing: whole RTL files, one after another.
rtl=/usr/share/fpcsrc/$fpc_version/rtl/objpas
if [ -d "$rtl" ]; then
  for unit in "$rtl"/*.pp "$rtl"/sysutils/*.inc "$rtl"/classes/*.inc; do
    [ "$(wc -c < "$work/demo/Large.pas" 2>/dev/null || echo 0)" -lt 1048576 ] || break
    { tr -d '\r' < "$unit"; echo; } >> "$work/demo/Large.pas"
  done
fi
SCRIVLOCK_CORE="$core" SCRIVLOCK_SELFTEST="$work/selftest.log" HOME="$work" \
  timeout 300 xvfb-run -a "$work/lazarus/lazarus" --pcp="$work/config" --no-splash-screen \
  "$work/demo/demo.lpi" > "$work/lazarus.log" 2>&1 || true
if [ ! -f "$work/selftest.log" ]; then
  echo "Lazarus wrote no self-test log:"
  tail -40 "$work/lazarus.log"
  exit 1
fi
cat "$work/selftest.log"
cmp "$source/examples/demo/Greeter.pas" "$work/demo/Greeter.pas"
cmp "$source/examples/demo/Demo.dpr" "$work/demo/Demo.lpr"
grep -qx "selftest passed" "$work/selftest.log"
echo "the package's commands ran in Lazarus"
