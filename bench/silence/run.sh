#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Tindrel developers
#
# Looking for pauses in a 60-minute MP3 (128 kbit/s, a tone broken by a
# pause of 0.5 to 3 s every 20 s or so): tindrel-cli against mp3splt's
# silence mode on the same file, in the same run, with the same settings
# (-48 dB, 0.3 s). Each tool splits the file into the pieces between the
# pauses (by the byte rule, and exactly); Tindrel's dry run (the scan alone, nothing written) is a row of
# its own. Writing 180 pieces is mostly waiting for the disk: Tindrel
# flushes each piece before it takes its name. Every figure is the median of RUNS runs (default 3) after one
# unmeasured warm-up run, so the page cache is warm for both alike.
#   bench/silence/run.sh
set -euo pipefail
cd "$(dirname "$0")/../.."
build_dir=${BUILD_DIR:-build}
runs=${RUNS:-3}
[ -f "$build_dir/CMakeCache.txt" ] || cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build_dir" --target tindrel-cli -- -j2 >/dev/null
cli=$(cd "$build_dir/bin" && pwd)/tindrel-cli

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo "making the 60-minute file in $work ..." >&2
# Five minutes of tone and pauses, encoded once without the encoder's
# first-frame note and repeated twelve times: a valid 60-minute stream.
parts=()
for i in $(seq 1 15); do
  pause=$(awk -v i="$i" 'BEGIN { printf "%.1f", 0.5 + (i % 6) * 0.5 }')
  sox -D -n -r 44100 -c 2 -b 16 "$work/tone$i.wav" synth 18 sine $((200 + 20 * i)) gain -9
  sox -D -n -r 44100 -c 2 -b 16 "$work/pause$i.wav" trim 0 "$pause"
  parts+=("$work/tone$i.wav" "$work/pause$i.wav")
done
sox "${parts[@]}" "$work/five.wav" trim 0 300
lame --quiet --nohist -t --cbr -b 128 "$work/five.wav" "$work/five.mp3"
for _ in $(seq 1 12); do cat "$work/five.mp3"; done >"$work/long.mp3"
rm -f "$work"/*.wav "$work/five.mp3"
mkdir "$work/out"

# Prints the median wall time of $runs runs of "$@", in seconds.
median() {
  local times=() start end
  for run in $(seq 0 "$runs"); do
    # mp3splt keeps the pauses it found in mp3splt.log in the working
    # folder and reads them back instead of decoding again: every run
    # starts without it.
    rm -rf "$work/out" "$work/mp3splt.log" && mkdir "$work/out"
    start=$(date +%s%N)
    "$@" >/dev/null 2>"$work/err" || { echo "failed: $* ($(tail -1 "$work/err"))" >&2; echo "-"; return; }
    end=$(date +%s%N)
    [ "$run" -eq 0 ] || times+=("$(((end - start) / 1000))")
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{ t[NR] = $1 }
    END { m = (NR % 2) ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2; printf "%.3f\n", m / 1e6 }'
}

echo "measuring ..." >&2
cd "$work"
scan=$(median "$cli" split "$work/long.mp3" --silences -d "$work/out" --dry-run)
tindrel=$(median "$cli" split "$work/long.mp3" --silences -d "$work/out")
tindrel_pieces=$(ls "$work/out" | wc -l)
exact=$(median "$cli" split "$work/long.mp3" --silences --exact -d "$work/out")
peer="-"
peer_pieces="-"
if command -v mp3splt >/dev/null 2>&1; then
  peer=$(median mp3splt -q -s -p th=-48,min=0.3 -d "$work/out" "$work/long.mp3")
  peer_pieces=$(ls "$work/out" | grep -c '\.mp3$' || true)
fi

echo
echo "Pauses in a 60-minute 128 kbit/s MP3: median of $runs runs"
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'); shared, so noisy"
printf '%-44s %10s %12s %8s %14s\n' "tool" "median s" "x real time" "pieces" "tindrel/peer"
row() {
  local speed="-" ratio="-"
  [ "$2" != "-" ] && speed=$(awk -v s="$2" 'BEGIN { printf "%.0f", 3600 / s }')
  [ "$2" != "-" ] && [ "$peer" != "-" ] && ratio=$(awk -v t="$2" -v p="$peer" 'BEGIN { printf "%.3f", t / p }')
  [ "${4-x}" = "" ] && ratio=""
  printf '%-44s %10s %12s %8s %14s\n' "$1" "$2" "$speed" "$3" "$ratio"
}
row "tindrel-cli split --silences" "$tindrel" "$tindrel_pieces"
row "tindrel-cli split --silences --exact" "$exact" "$tindrel_pieces"
row "tindrel-cli split --silences --dry-run (scan)" "$scan" "-"
row "mp3splt -s -p th=-48,min=0.3" "$peer" "$peer_pieces" ""
echo "goal: tindrel/peer at most 1.0, and at least 300 x real time"
