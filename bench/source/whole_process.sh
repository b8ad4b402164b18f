#!/usr/bin/env bash
# Whole-process cost of `scrivlock uncomment` and `scrivlock recomment` on the
# Free Pascal sources joined into one unit (about 145 MB), side by side with
# copying that file twice, and the peak memory of each run against the unit's
# size. Prints the ratios; the limits are 1.5 (time) and 3 (memory per byte).
# scrivlock flushes what it writes to disk before it renames it into place, so
# the copies are timed flushed too ("cp; sync FILE"); plain cp is shown beside.
#
# The machine's noise is large: each figure is the median of SCRIVLOCK_ROUNDS
# rounds (5 unless set), and the fastest and slowest round are shown beside it.
#
#   bench/source/whole_process.sh [BUILD_DIR]
set -euo pipefail
build="${1:-build}"
tool="$(cd "$build" && pwd)/apps/scrivlock/scrivlock"
list="${SCRIVLOCK_CORPUS_LIST:-/var/lib/dpkg/info/fpc-source-3.2.2.list}"
[[ -x "$tool" ]] || { echo "no scrivlock in $build: build it first" >&2; exit 1; }
[[ -r "$list" ]] || { echo "corpus absent: install fpc-source-3.2.2" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
grep -E '\.(pas|pp)$' "$list" | while read -r f; do [[ -f "$f" ]] && cat "$f"; done > "$work/Big.orig"
size=$(stat -c %s "$work/Big.orig")
echo "unit: $size bytes"

# Runs "$@" in $work/run, prints "seconds peak_kib".
measure() {
  ( cd "$work/run" && /usr/bin/time -f "%e %M" -o "$work/time" "$@" > /dev/null )
  cat "$work/time"
}
median() { sort -n | sed -n "$(( ($1 + 1) / 2 ))p"; }

rounds="${SCRIVLOCK_ROUNDS:-5}"
: > "$work/copy"; : > "$work/plain"; : > "$work/un"; : > "$work/re"
for ((i = 0; i < rounds; i++)); do
  rm -rf "$work/run" && mkdir "$work/run" && cp "$work/Big.orig" "$work/run/Big.pas" && sync
  measure sh -c 'cp Big.pas copy1 && cp Big.pas copy2' >> "$work/plain"
  rm -f "$work/run/copy1" "$work/run/copy2"
  measure sh -c 'cp Big.pas copy1 && sync copy1 && cp Big.pas copy2 && sync copy2' >> "$work/copy"
  rm -f "$work/run/copy1" "$work/run/copy2"
  measure "$tool" uncomment Big.pas >> "$work/un"
  measure "$tool" recomment Big.pas >> "$work/re"
  cmp -s "$work/Big.orig" "$work/run/Big.pas" || { echo "round trip changed the unit" >&2; exit 1; }
done

# "median (min-max)" of the first column of a results file.
spread() {
  local sorted
  sorted=$(cut -d' ' -f1 "$1" | sort -n)
  echo "$(median $rounds <<< "$sorted") ($(head -1 <<< "$sorted")-$(tail -1 <<< "$sorted"))"
}
copy=$(cut -d' ' -f1 "$work/copy" | median $rounds)
plain=$(cut -d' ' -f1 "$work/plain" | median $rounds)
un=$(cut -d' ' -f1 "$work/un" | median $rounds)
re=$(cut -d' ' -f1 "$work/re" | median $rounds)
un_mem=$(cut -d' ' -f2 "$work/un" | sort -n | tail -1)
re_mem=$(cut -d' ' -f2 "$work/re" | sort -n | tail -1)
echo "medians of $rounds rounds, (fastest-slowest):"
echo "  copy twice flushed $(spread "$work/copy"), uncomment $(spread "$work/un"), recomment $(spread "$work/re")"
awk -v p="$plain" -v c="$copy" -v u="$un" -v r="$re" -v um="$un_mem" -v rm="$re_mem" -v n="$size" 'BEGIN {
  printf "copy twice: %.2f s flushed, %.2f s plain\n", c, p
  printf "uncomment:  %.2f s  ratio %.2f (limit 1.5)  peak %.0f MiB = %.2f x unit (limit 3)\n", u, u / c, um / 1024, um * 1024 / n
  printf "recomment:  %.2f s  ratio %.2f (limit 1.5)  peak %.0f MiB = %.2f x unit (limit 3)\n", r, r / c, rm / 1024, rm * 1024 / n
}'
