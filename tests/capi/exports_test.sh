#!/bin/sh
# Fails unless the library exports the scrivlock_* functions and nothing else,
# each under the interface's version node.
#   exports_test.sh LIBRARY
set -eu
library=$1
symbols=$(nm -D --defined-only "$library" | awk '{ print $3 }')
others=$(printf '%s\n' "$symbols" | grep -v '^scrivlock_[a-z_0-9]*@@SCRIVLOCK_CORE_1$' |
  grep -vx 'SCRIVLOCK_CORE_1' || true)
if [ -n "$others" ]; then
  echo "exported besides the interface:"
  printf '%s\n' "$others"
  exit 1
fi
for name in api_version version uncomment recomment is_module_of foresee_skip_problem free; do
  printf '%s\n' "$symbols" | grep -qx "scrivlock_$name@@SCRIVLOCK_CORE_1" ||
    { echo "scrivlock_$name is not exported"; exit 1; }
done
printf '%s\n' "$symbols"
