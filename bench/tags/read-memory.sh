#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Tindrel developers
# Memory while reading a huge tag: a short MP3 with a PICTURE_MB picture in
# its ID3v2 tag (versions 2.3 and 2.4, the latter with the picture's text
# in UTF-8, so that it is converted), read by `tindrel-cli info` and
# rewritten by `tindrel-cli tag --v2-title`. The goal: peak memory at most
# the tag's size plus a few MB (here: plus 8 MB), so a picture is never held
# twice.
#
#   bench/tags/read-memory.sh [PICTURE_MB]     (default 50)
set -euo pipefail
cd "$(dirname "$0")/../.."
build_dir=${BUILD_DIR:-build}
picture_mb=${1:-50}
[ -f "$build_dir/CMakeCache.txt" ] || cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build_dir" --target tindrel-cli >/dev/null
cli="$build_dir/bin/tindrel-cli"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

sox -D -n -r 44100 -c 2 -b 16 "$work/short.wav" synth 4 sine 440 gain -6
lame --quiet --nohist -b 128 "$work/short.wav" "$work/audio.mp3"
# The tag by hand: a title and one APIC frame of random bytes.
python3 - "$work" "$picture_mb" <<'PY'
import os, sys
work, mb = sys.argv[1], int(sys.argv[2])
picture = os.urandom(mb * 1048576)
audio = open(os.path.join(work, "audio.mp3"), "rb").read()
def size(n, synchsafe):
    if synchsafe:
        return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])
    return n.to_bytes(4, "big")
for major, encoding in ((3, 0), (4, 3)):
    def frame(frame_id, content):
        return frame_id + size(len(content), major == 4) + b"\0\0" + content
    body = frame(b"TIT2", bytes([encoding]) + b"Big") + \
        frame(b"APIC", bytes([encoding]) + b"image/jpeg\0\3\0" + picture)
    header = b"ID3" + bytes([major, 0, 0]) + size(len(body), True)
    with open(os.path.join(work, f"v2{major}.mp3"), "wb") as out:
        out.write(header + body + audio)
PY

printf '%-34s %12s %12s %8s\n' "${picture_mb} MB picture" "peak memory" "tag size" "over"
for major in 3 4; do
  file="$work/v2$major.mp3"
  tag_kib=$(( ($(stat -c %s "$file") - $(stat -c %s "$work/audio.mp3")) / 1024 ))
  for what in info tag; do
    cp "$file" "$work/song.mp3"
    if [ "$what" = info ]; then
      /usr/bin/time -f '%M' -o "$work/mem" "$cli" info "$work/song.mp3" >/dev/null
    else
      /usr/bin/time -f '%M' -o "$work/mem" "$cli" tag "$work/song.mp3" --v2-title X >/dev/null
    fi
    peak=$(tail -1 "$work/mem")
    awk -v w="tindrel-cli $what, ID3v2.$major" -v p="$peak" -v t="$tag_kib" 'BEGIN{
      printf "%-34s %9.1f MB %9.1f MB %5.1f MB\n", w, p/1024, t/1024, (p-t)/1024 }'
  done
done
echo "goal: peak memory at most the tag size + 8 MB"
