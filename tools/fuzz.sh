#!/bin/bash
# Runs the libFuzzer targets for longer than the test command's smoke.
#
#   tools/fuzz.sh [-b BUILD] [-r RUNS | -t SECONDS] [-c CORPORA] [TARGET...]
#
# BUILD is a build configured with -DSCRIVLOCK_FUZZ=ON and clang (default
# build-fuzz); TARGETs are names such as source_roundtrip (default: all). Each
# target keeps its corpus in CORPORA/<name> (default fuzz-corpora), so a second
# run goes on from the first; the seeds are only read. Each run's log is
# CORPORA/<name>.log. Exits non-zero when any target finds something.
set -u
build=build-fuzz runs= seconds=600 corpora=fuzz-corpora
while getopts "b:r:t:c:h" option; do
  case $option in
    b) build=$OPTARG ;;
    r) runs=$OPTARG seconds= ;;
    t) seconds=$OPTARG runs= ;;
    c) corpora=$OPTARG ;;
    *) sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
list=$build/fuzz-targets.tsv
if [ ! -f "$list" ]; then
  echo "fuzz.sh: $list not found: configure $build with -DSCRIVLOCK_FUZZ=ON" >&2
  exit 2
fi
limit=(-max_total_time="$seconds")
[ -n "$runs" ] && limit=(-runs="$runs")

status=0 found=0
while IFS=$'\t' read -r name program seeds_line; do
  if [ $# -gt 0 ] && ! printf '%s\n' "$@" | grep -qx "$name"; then continue; fi
  found=$((found + 1))
  IFS=$'\t' read -r -a seeds <<<"$seeds_line"
  mkdir -p "$corpora/$name"
  echo "== $name: ${runs:+$runs runs}${seconds:+$seconds s}, log $corpora/$name.log"
  # Findings (crash-*, timeout-*, leak-*) land beside the log.
  if "$program" "${limit[@]}" -timeout=10 -rss_limit_mb=4096 -print_final_stats=1 \
      -artifact_prefix="$corpora/$name-" "$corpora/$name" "${seeds[@]}" \
      >"$corpora/$name.log" 2>&1; then
    grep -E '^(Done|stat::number_of_executed_units)' "$corpora/$name.log" | tail -2
  else
    echo "   FINDING: see $corpora/$name.log" >&2
    status=1
  fi
done <"$list"
if [ "$found" -eq 0 ]; then
  echo "fuzz.sh: no target named ${*:-at all} in $list" >&2
  exit 2
fi
exit $status
