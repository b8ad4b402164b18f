#!/bin/sh
# Whole-process timings of the scrivlock tool in a project folder of 10,000
# units of about 20 KB: uncomment then recomment of one unit, and status, side
# by side with a peer that reads the same first chunks (8092 bytes of every
# unit) with plain reads in one process (head). Prints the best of several rounds.
#
# Usage: bench/commands/whole_process.sh [path/to/scrivlock] [units] [rounds]
set -eu

root=$(cd "$(dirname "$0")/../.." && pwd)
tool=${1:-$root/build/apps/scrivlock/scrivlock}
units=${2:-10000}
rounds=${3:-5}
[ -x "$tool" ] || { echo "whole_process.sh: no scrivlock at $tool" >&2; exit 2; }
tool=$(cd "$(dirname "$tool")" && pwd)/$(basename "$tool")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 - "$work" "$units" <<'PY'
import sys
folder, units = sys.argv[1], int(sys.argv[2])
body = "procedure Step;  // one step of the work\r\nbegin\r\n  Inc(Counter); { count it }\r\nend;\r\n\r\n"
for i in range(units):
    text = "unit Part%d;\r\n\r\ninterface\r\n\r\nimplementation\r\n\r\n" % i
    text += body * (20000 // len(body) + 1) + "end.\r\n"
    with open("%s/Part%d.pas" % (folder, i), "w", newline="") as f:
        f.write(text)
PY
cd "$work"
cat Part*.pas > /dev/null  # warm the page cache, as for the peer

now() { date +%s.%N; }
best() { sort -n | head -1; }
seconds() { awk "BEGIN { printf \"%.3f\", $2 - $1 }"; }

: > un.times; : > re.times; : > st.times; : > peer.times
i=0
while [ "$i" -lt "$rounds" ]; do
  t0=$(now); "$tool" uncomment Part0.pas > /dev/null; t1=$(now)
  "$tool" status > /dev/null; t2=$(now)
  "$tool" recomment Part0.pas > /dev/null; t3=$(now)
  head -q -c 8092 -- *.pas > /dev/null
  t4=$(now)
  seconds "$t0" "$t1" >> un.times; echo >> un.times
  seconds "$t1" "$t2" >> st.times; echo >> st.times
  seconds "$t2" "$t3" >> re.times; echo >> re.times
  seconds "$t3" "$t4" >> peer.times; echo >> peer.times
  i=$((i + 1))
done

echo "scrivlock on $units units of about 20 KB, best of $rounds rounds (seconds):"
printf '  %-34s %s\n' "uncomment Part0.pas" "$(grep . un.times | best)"
printf '  %-34s %s\n' "recomment Part0.pas" "$(grep . re.times | best)"
printf '  %-34s %s\n' "status" "$(grep . st.times | best)"
printf '  %-34s %s\n' "peer: head -c 8092 of every unit" "$(grep . peer.times | best)"
