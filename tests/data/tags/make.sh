#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Tindrel developers
# Makes the tag samples: a short MP3 from lame, tagged by the Debian taggers
# the tag code must agree with. Run from this folder; needs sox, lame, id3v2,
# eyeD3 and mid3v2 (python3-mutagen).
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

sox -n -r 22050 -c 1 "$work/tone.wav" synth 0.3 sine 440
lame --quiet -b 32 "$work/tone.wav" plain.mp3

# id3v2 writes a version 2.3 tag and a version 1.1 tag.
cp plain.mp3 id3v2-tool.mp3
id3v2 -t "Song Title" -a "Some Artist" -A "An Album" -y 2001 -T 3/12 -g 17 -c "hello" id3v2-tool.mp3

# The same without a track: a version 1.0 ID3v1 tag with a 30-byte comment.
cp plain.mp3 id3v2-tool-v10.mp3
id3v2 -1 -t "Title Ten" -a "Artist Ten" -c "abcdefghijklmnopqrstuvwxyz1234" -g 80 id3v2-tool-v10.mp3

# eyeD3 converted to version 2.3, ISO-8859-1 texts, with a genre name.
cp plain.mp3 eyed3-v23.mp3
eyeD3 --quiet --to-v2.3 --encoding latin1 -t "Café Song" -a "Eye Artist" -A "Eye Album" \
  -n 7 -G "Jazz" -Y 1999 -c "eye comment" eyed3-v23.mp3 >/dev/null

# mid3v2 always writes version 2.4, which Tindrel recognises but does not read.
cp plain.mp3 mid3v2-v24.mp3
mid3v2 -t "Four" -a "Artist Four" -T 9 mid3v2-v24.mp3
