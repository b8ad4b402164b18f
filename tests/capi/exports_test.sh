#!/bin/sh
# Fails unless the library exports the scrivlock_* functions and nothing else,
# each under the version node of the interface that brought it.
#   exports_test.sh LIBRARY
set -eu
library=$1
symbols=$(nm -D --defined-only "$library" | awk '{ print $3 }')
others=$(printf '%s\n' "$symbols" |
  grep -vE '^scrivlock_[a-z_0-9]*@@SCRIVLOCK_CORE_1(\.1)?$' |
  grep -vxE 'SCRIVLOCK_CORE_1(\.1)?' || true)
if [ -n "$others" ]; then
  echo "exported besides the interface:"
  printf '%s\n' "$others"
  exit 1
fi
expect() {
  printf '%s\n' "$symbols" | grep -qx "scrivlock_$1@@$2" ||
    { echo "scrivlock_$1 is not exported under $2"; exit 1; }
}
for name in api_version version uncomment recomment is_module_of foresee_skip_problem free; do
  expect "$name" SCRIVLOCK_CORE_1
done
for name in message message_at; do
  expect "$name" SCRIVLOCK_CORE_1.1
done
printf '%s\n' "$symbols"
