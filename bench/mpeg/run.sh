#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Tindrel developers
# MP3 analysis throughput: Tindrel's analysis against a TagLib program over
# the same folder of 1,000 short MP3 files, in one run. Prints files per
# second for both (best of the rounds) and the bytes each reads per file.
#   bench/mpeg/run.sh [rounds]
set -euo pipefail
cd "$(dirname "$0")/../.."
build_dir=${BUILD_DIR:-build}
rounds=${1:-3}
[ -f "$build_dir/CMakeCache.txt" ] || cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build_dir" --target bench_mpeg_tindrel bench_mpeg_taglib -- -j2 >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Five kinds of short file (CBR, VBR with a Xing header, tagged, MPEG 2,
# mono), 200 copies of each, each copy a file of its own.
sox -D -n -r 44100 -c 2 -b 16 "$work/src.wav" synth 4 sine 440 sine 660 gain -6
lame="lame --quiet --nohist"
$lame -b 128 "$work/src.wav" "$work/cbr.mp3"
$lame -V 4 "$work/src.wav" "$work/vbr.mp3"
$lame -b 192 --add-id3v2 --tt Title --ta Artist "$work/src.wav" "$work/tagged.mp3"
$lame -b 64 --resample 22.05 "$work/src.wav" "$work/mpeg2.mp3"
$lame -b 96 -m m "$work/src.wav" "$work/mono.mp3"
mkdir "$work/files"
for kind in cbr vbr tagged mpeg2 mono; do
  for i in $(seq -w 1 200); do cp "$work/$kind.mp3" "$work/files/${kind}_$i.mp3"; done
done
# One unmeasured pass each, so both find the files in the page cache.
"$build_dir/bin/bench_mpeg_tindrel" "$work/files" 1 >/dev/null
"$build_dir/bin/bench_mpeg_taglib" "$work/files" 1 >/dev/null
tindrel=$("$build_dir/bin/bench_mpeg_tindrel" "$work/files" "$rounds")
taglib=$("$build_dir/bin/bench_mpeg_taglib" "$work/files" "$rounds")
echo "$tindrel"
echo "$taglib"
t=$(awk '{print $4}' <<<"$tindrel")
l=$(awk '{print $4}' <<<"$taglib")
awk -v t="$t" -v l="$l" 'BEGIN { printf "Tindrel / TagLib: %.2fx\n", t / l }'
