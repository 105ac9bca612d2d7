#!/usr/bin/env bash
# Builds the benchmarks and prints all their figures as one markdown table.
# Every program that the `bench` target builds into build/bench/ is run in
# turn; each prints rows of `| figure | value | goal |`. Progress goes to stderr.
set -euo pipefail
cd "$(dirname "$0")/.."
# The benchmarks start the same servers as the tests.
./scripts/install-deps.sh test
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTONVELO_BENCH=ON >/dev/null
cmake --build build --target bench -j "$(nproc)" >/dev/null

status=0
rows=""
for program in build/bench/*; do
  [ -f "$program" ] && [ -x "$program" ] || continue
  echo "running $(basename "$program") ..." >&2
  if ! output=$("$program"); then
    status=1
  fi
  # Keep the rows, not any header or rule a program prints of its own.
  rows+=$(printf '%s\n' "$output" | grep '^|' | grep -v -e '^| *figure *|' -e '^|[-:| ]*$' || true)
  rows+=$'\n'
done

echo "| figure | value | goal |"
echo "|---|---|---|"
printf '%s' "$rows" | grep -v '^$' || true
exit $status
