#!/usr/bin/env bash
# Whole-process cost of `scrivlock uncomment` and `scrivlock recomment` on the
# Free Pascal sources joined into one unit (about 145 MB), side by side with
# copying that file twice, and the peak memory of each run against the unit's
# size N. Two settings, each measured in its own folder:
#
#   memory  a folder in /dev/shm, where flushing costs nothing: against plain
#           "cp; cp", limit 2;
#   disk    a folder on disk (TMPDIR): scrivlock flushes what it writes before
#           it renames it into place, so the copies are flushed too
#           ("cp; sync FILE"), limit 1.3.
#
# Memory: the peak resident size per byte of the unit (limit 2 N plus a
# constant), and what is left over 2 N.
#
# The machine's noise is large: each round runs the copies and both commands
# back to back, each figure is the median of SCRIVLOCK_ROUNDS rounds (5 unless
# set), and the fastest and slowest round are shown beside it. Give
# SCRIVLOCK_BASELINE another build's scrivlock to time it in the same rounds.
#
#   bench/source/whole_process.sh [BUILD_DIR]
#   SCRIVLOCK_SETTINGS="memory" bench/source/whole_process.sh build
set -euo pipefail
build="${1:-build}"
tool="$(cd "$build" && pwd)/apps/scrivlock/scrivlock"
baseline="${SCRIVLOCK_BASELINE:-}"
list="${SCRIVLOCK_CORPUS_LIST:-/var/lib/dpkg/info/fpc-source-3.2.2.list}"
settings="${SCRIVLOCK_SETTINGS:-memory disk}"
rounds="${SCRIVLOCK_ROUNDS:-5}"
[[ -x "$tool" ]] || { echo "no scrivlock in $build: build it first" >&2; exit 1; }
[[ -z "$baseline" || -x "$baseline" ]] || { echo "no baseline at $baseline" >&2; exit 1; }
[[ -r "$list" ]] || { echo "corpus absent: install fpc-source-3.2.2" >&2; exit 1; }

work="$(mktemp -d)"
shm=""
trap 'rm -rf "$work" ${shm:+"$shm"}' EXIT
grep -E '\.(pas|pp)$' "$list" | while read -r f; do [[ -f "$f" ]] && cat "$f"; done > "$work/Big.orig"
size=$(stat -c %s "$work/Big.orig")
echo "unit: $size bytes; $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"

# Runs "$@" in folder $run, appends "seconds peak_kib" to file $1.
measure() {
  local out="$1"
  shift
  ( cd "$run" && /usr/bin/time -f "%e %M" -o "$work/time" "$@" > /dev/null 2>&1 ) ||
    { echo "failed: $*" >&2; exit 1; }
  cat "$work/time" >> "$out"
}
median() { sort -n | sed -n "$(( ($1 + 1) / 2 ))p"; }
# "median (fastest-slowest)" of the first column of a results file.
spread() {
  local sorted
  sorted=$(cut -d' ' -f1 "$1" | sort -n)
  echo "$(median "$rounds" <<< "$sorted") ($(head -1 <<< "$sorted")-$(tail -1 <<< "$sorted"))"
}

# One setting: rounds in folder $1, copies timed by command $2, limit $3.
bench() {
  local folder="$1" copy="$2" limit="$3" name tools=("new:$tool")
  [[ -n "$baseline" ]] && tools+=("base:$baseline")
  local results="$work/results"
  rm -rf "$results" && mkdir "$results"
  run="$folder/run"
  for ((i = 0; i < rounds; i++)); do
    # Every other round the baseline goes first: what one run leaves behind
    # (pages to free, blocks to discard) weighs on the next.
    local order=("${tools[@]}")
    ((i % 2 == 1 && ${#tools[@]} == 2)) && order=("${tools[1]}" "${tools[0]}")
    for entry in "${order[@]}"; do
      name="${entry%%:*}"
      rm -rf "$run" && mkdir "$run" && cp "$work/Big.orig" "$run/Big.pas" && sync
      measure "$results/copy" sh -c "$copy"
      rm -f "$run/copy1" "$run/copy2"
      measure "$results/un.$name" "${entry#*:}" uncomment Big.pas
      measure "$results/re.$name" "${entry#*:}" recomment Big.pas
      cmp -s "$work/Big.orig" "$run/Big.pas" || { echo "round trip changed the unit" >&2; exit 1; }
    done
  done
  local c
  c=$(cut -d' ' -f1 "$results/copy" | median "$((rounds * ${#tools[@]}))")
  echo "copy twice: $(rounds=$((rounds * ${#tools[@]})) spread "$results/copy")"
  for entry in "${tools[@]}"; do
    name="${entry%%:*}"
    for command in un re; do
      local t m label
      t=$(cut -d' ' -f1 "$results/$command.$name" | median "$rounds")
      m=$(cut -d' ' -f2 "$results/$command.$name" | sort -n | tail -1)
      label=$([[ $command == un ]] && echo uncomment || echo recomment)
      awk -v l="$label" -v who="$name" -v t="$t" -v c="$c" -v s="$(spread "$results/$command.$name")" \
        -v lim="$limit" -v m="$m" -v n="$size" 'BEGIN {
        printf "  %-4s %-9s %s s  ratio %.2f (limit %s)  peak %.0f MiB = %.2f N, 2 N %+.0f MiB\n",
          who, l, s, t / c, lim, m / 1024, m * 1024 / n, (m * 1024 - 2 * n) / 1048576
      }'
    done
  done
}

for setting in $settings; do
  case "$setting" in
    memory)
      shm="$(mktemp -d /dev/shm/scrivlock-bench.XXXXXX)"
      echo "memory ($shm), medians of $rounds rounds (fastest-slowest):"
      bench "$shm" 'cp Big.pas copy1 && cp Big.pas copy2' 2
      rm -rf "$shm"
      shm=""
      ;;
    disk)
      echo "disk ($work), medians of $rounds rounds (fastest-slowest):"
      bench "$work" 'cp Big.pas copy1 && sync copy1 && cp Big.pas copy2 && sync copy2' 1.3
      ;;
    *) echo "unknown setting $setting (memory, disk)" >&2; exit 1 ;;
  esac
done
