#!/usr/bin/env bash
# The compile proof: every unit that Free Pascal compiles on its own must
# compile, once uncommented with scrivlock's defaults, to the same object file
# (the same .ppu where it makes none); and its commenting module must compile
# too, unless Uncomment warned that it would not. Then the unit is
# re-commented and must come back byte for byte.
#
#   tools/fpc-proof.sh [-j JOBS] [-s SCRIVLOCK] [-k] (-l LIST | UNIT...)
#
# LIST holds one unit path a line (default: every .pas and .pp file of the
# Free Pascal sources). -k keeps the work folder. Prints one line per unit
# that is not proved, then the counts; exits 1 when a unit compiled on its own
# and its stripped text did not give the same object, did not come back, or a
# module failed to build without a warning. An object that differs only
# because a comment spanning lines moved the lines after it (an Assert embeds
# its line) is counted apart: no setting keeps those lines.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
jobs="$(nproc)"
scrivlock="$here/../build/apps/scrivlock/scrivlock"
list=""
keep=0
while getopts "j:s:l:k" option; do
  case "$option" in
    j) jobs="$OPTARG" ;;
    s) scrivlock="$OPTARG" ;;
    l) list="$OPTARG" ;;
    k) keep=1 ;;
    *) exit 2 ;;
  esac
done
shift $((OPTIND - 1))
# 77: nothing to prove here (a test runner's "skipped").
command -v fpc >/dev/null || { echo "fpc-proof: fpc is not installed" >&2; exit 77; }
[ -x "$scrivlock" ] || { echo "fpc-proof: no scrivlock at $scrivlock" >&2; exit 2; }
scrivlock="$(cd "$(dirname "$scrivlock")" && pwd)/$(basename "$scrivlock")"

work="$(mktemp -d "${TMPDIR:-/tmp}/fpc-proof.XXXXXX")"
[ "$keep" = 1 ] || trap 'rm -rf "$work"' EXIT
if [ -n "$list" ]; then
  grep -v '^\s*\(#.*\)\?$' "$list" >"$work/units"
elif [ $# -gt 0 ]; then
  printf '%s\n' "$@" >"$work/units"
else
  grep -iE '\.(pas|pp)$' /var/lib/dpkg/info/fpc-source-3.2.2.list >"$work/units" || true
fi
while read -r unit; do if [ -f "$unit" ]; then echo "$unit"; fi; done <"$work/units" >"$work/present"
mv "$work/present" "$work/units"
[ -s "$work/units" ] || { echo "fpc-proof: none of the units is here" >&2; exit 77; }

# One unit: prints "<verdict> <path> [detail]".
prove() {
  local unit="$1" n="$2" scrivlock="$3" work="$4"
  local dir="$work/$n" name
  name="$(basename "$unit")"
  mkdir -p "$dir/a" "$dir/b"
  cp "$unit" "$dir/a/$name"
  cp "$unit" "$dir/b/$name"
  local fpc=(fpc -v0 -Fi"$(dirname "$unit")")
  if ! (cd "$dir/a" && "${fpc[@]}" "$name" >/dev/null 2>&1); then
    echo "alone-fails $unit"
    rm -rf "$dir"
    return
  fi
  local out
  if ! out="$(cd "$dir/b" && "$scrivlock" uncomment "$name" 2>&1)"; then
    echo "refused $unit ${out//$'\n'/ }"
    rm -rf "$dir"
    return
  fi
  local warned=0
  case "$out" in *Warning.*) warned=1 ;; esac
  local module
  module="$(cd "$dir/b" && ls Unit*.pas | head -1)"
  local verdict="proved"
  # The unit file's time goes into the .ppu: the stripped copy keeps the original's.
  touch -r "$dir/a/$name" "$dir/b/$name"
  if ! (cd "$dir/b" && "${fpc[@]}" "$name" >/dev/null 2>&1); then
    verdict="stripped-fails"
  else
    # The object file; a unit with no code (constants, types) makes only a .ppu.
    local object
    object="$(cd "$dir/a" && ls | grep -ix "${name%.*}.o" || ls | grep -ix "${name%.*}.ppu" || true)"
    if [ -z "$object" ] || ! cmp -s "$dir/a/$object" "$dir/b/$object"; then
      verdict="object-differs"
      # A comment that spans lines takes its line breaks into the module in
      # any setting, which moves the lines after it (Assert embeds them).
      if [ "$(wc -l <"$unit")" != "$(wc -l <"$dir/b/$name")" ]; then
        verdict="object-differs-lines-moved"
      fi
    fi
  fi
  local moduleBuilds=1
  (cd "$dir/b" && "${fpc[@]}" -Cn "$module" >/dev/null 2>&1) || moduleBuilds=0
  if [ "$moduleBuilds" = 0 ] && [ "$warned" = 0 ]; then
    verdict="module-fails-untold"
  elif [ "$moduleBuilds" = 1 ] && [ "$warned" = 1 ] && [ "$verdict" = proved ]; then
    verdict="proved-warned-needlessly"
  elif [ "$warned" = 1 ] && [ "$verdict" = proved ]; then
    verdict="proved-module-told"
  fi
  if ! (cd "$dir/b" && "$scrivlock" recomment "$name" >/dev/null 2>&1) || ! cmp -s "$unit" "$dir/b/$name"; then
    verdict="not-restored"
  fi
  echo "$verdict $unit"
  rm -rf "$dir"
}
export -f prove

export SCRIVLOCK_BIN="$scrivlock" PROOF_WORK="$work"
awk '{ print NR, $0 }' "$work/units" |
  xargs -P "$jobs" -n 2 bash -c 'prove "$1" "$0" "$SCRIVLOCK_BIN" "$PROOF_WORK"' >"$work/results"
sort -o "$work/results" "$work/results"

grep -v -E '^(proved|proved-module-told|alone-fails|object-differs-lines-moved) ' "$work/results" || true
total="$(wc -l <"$work/units")"
alone="$(grep -c '^alone-fails ' "$work/results" || true)"
proved="$(grep -c '^proved ' "$work/results" || true)"
told="$(grep -c '^proved-module-told ' "$work/results" || true)"
needless="$(grep -c '^proved-warned-needlessly ' "$work/results" || true)"
moved="$(grep -c '^object-differs-lines-moved ' "$work/results" || true)"
bad="$(grep -c -E '^(stripped-fails|object-differs|module-fails-untold|not-restored|refused) ' "$work/results" || true)"
echo "units: $total; compile on their own: $((total - alone)); identical objects: $((proved + told + needless))" \
     "(of which the module was told not to build: $told; told needlessly: $needless);" \
     "objects that differ because comments spanning lines moved lines: $moved; not proved: $bad"
[ "$bad" = 0 ]
