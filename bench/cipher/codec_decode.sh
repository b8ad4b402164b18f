#!/usr/bin/env bash
# Whole-process cost of `scrivlock-codec decode` of an encoded text of 16 MiB,
# side by side with `openssl enc -d -bf-cbc -a` of an encoded text of the same
# size (Blowfish in CBC mode from base64, the nearest peer). Prints the median
# of SCRIVLOCK_ROUNDS rounds (5 unless set) with the fastest and slowest, the
# ratio (limit 1.5) and the peak memory of each.
#
#   bench/cipher/codec_decode.sh [BUILD_DIR]
set -euo pipefail
build="${1:-build}"
codec="$(cd "$build" && pwd)/apps/scrivlock-codec/scrivlock-codec"
rounds="${SCRIVLOCK_ROUNDS:-5}"
[[ -x "$codec" ]] || { echo "no scrivlock-codec in $build: build it first" >&2; exit 1; }
command -v openssl > /dev/null || { echo "openssl absent" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
# 12 MiB of plain bytes: both encoded texts come to about 16 MiB.
head -c $((12 << 20)) /dev/urandom > plain
"$codec" encode --key "bench key" --mode cbc --iv 0001020304050607 < plain > ours.txt
peer=(openssl enc -bf-cbc -a -K 000102030405060708090a0b0c0d0e0f -iv 0001020304050607)
# Blowfish is in OpenSSL 3's legacy provider.
if "${peer[@]}" -provider legacy -provider default < /dev/null > /dev/null 2>&1; then
  peer+=(-provider legacy -provider default)
fi
"${peer[@]}" -in plain -out peer.txt
echo "encoded: ours $(stat -c %s ours.txt) bytes, peer $(stat -c %s peer.txt) bytes;" \
  "$(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"

median() { sort -n | sed -n "$(( ($1 + 1) / 2 ))p"; }
: > ours; : > theirs
for ((i = 0; i < rounds; i++)); do
  /usr/bin/time -f "%e %M" -a -o ours "$codec" decode --key "bench key" < ours.txt > out1
  /usr/bin/time -f "%e %M" -a -o theirs "${peer[@]}" -d -in peer.txt -out out2
  cmp -s out1 plain && cmp -s out2 plain || { echo "a decoding differs from the plain bytes" >&2; exit 1; }
done
spread() {
  local sorted
  sorted=$(cut -d' ' -f1 "$1" | sort -n)
  echo "$(median "$rounds" <<< "$sorted") s ($(head -1 <<< "$sorted")-$(tail -1 <<< "$sorted"))"
}
o=$(cut -d' ' -f1 ours | median "$rounds")
t=$(cut -d' ' -f1 theirs | median "$rounds")
echo "medians of $rounds rounds (fastest-slowest):"
echo "  scrivlock-codec decode  $(spread ours)  peak $(( $(cut -d' ' -f2 ours | sort -n | tail -1) / 1024 )) MiB"
echo "  openssl enc -d          $(spread theirs)  peak $(( $(cut -d' ' -f2 theirs | sort -n | tail -1) / 1024 )) MiB"
awk -v o="$o" -v t="$t" 'BEGIN { printf "  ratio %.2f (limit 1.5)\n", o / t }'
