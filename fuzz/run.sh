#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Tindrel developers
# Builds every fuzz target with clang and runs each for the given number of
# seconds (default 30), seeded with the committed sample files. Prints the
# executions of each target and stops with an error on any finding.
# FUZZ_RUNS=N runs each target for N inputs from a fixed seed instead, so a
# run in CI explores the same inputs every time, for at most FUZZ_SECONDS
# (default 45) a target: a target that decodes its samples runs slower.
# The seeds are the sample files under 64 KiB (find counts -1M in whole
# MiB, which would keep only empty files).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
build_dir=${FUZZ_BUILD_DIR:-build-fuzz}
CC=clang CXX=clang++ cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTINDREL_FUZZ=ON -DTINDREL_BUILD_TESTS=OFF >/dev/null
targets=$(cmake --build "$build_dir" --target help | sed -n 's/^\(fuzz_[a-z0-9_]*\): .*/\1/p' | grep -v _autogen || true)
[ -n "$targets" ] || { echo "no fuzz targets"; exit 0; }
# shellcheck disable=SC2086
cmake --build "$build_dir" --target $targets
status=0
printf '%-28s %12s  %s\n' target executions findings
for t in $targets; do
  corpus=$(mktemp -d)
  find tests/data -type f -size -64k -exec cp {} "$corpus" \; 2>/dev/null || true
  log=$(mktemp)
  if [ -n "${FUZZ_RUNS:-}" ]; then
    limit=(-runs="$FUZZ_RUNS" -seed=1 -max_total_time="${FUZZ_SECONDS:-45}")
  else
    limit=(-max_total_time="$seconds")
  fi
  if "$build_dir/fuzz/$t" "${limit[@]}" -print_final_stats=1 -rss_limit_mb=2048 -artifact_prefix="$build_dir/fuzz/$t-" \
      "$corpus" >"$log" 2>&1; then
    findings=none
  else
    findings="see $log"; status=1
  fi
  runs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | awk '{print $2}' | tail -1)
  [ -n "$runs" ] || runs=$(grep -oE '^#[0-9]+' "$log" | tail -1 | tr -d '#')
  printf '%-28s %12s  %s\n' "$t" "${runs:-?}" "$findings"
  rm -rf "$corpus"
done
exit $status
