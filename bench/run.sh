#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Tindrel developers
# Builds the benchmarks and runs each one; every script prints its own table
# against its peer, measured in the same run.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
for script in bench/*/run.sh; do
  [ -x "$script" ] || continue
  echo "== $script"
  BUILD_DIR="$build_dir" "$script" "$@"
done
