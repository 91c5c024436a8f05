#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Tindrel developers
# Makes the engine's sample files with Debian's encoders (sox, lame, oggenc,
# ffmpeg). Tones are 1 kHz sines so that the tests can find their peak.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# 1.0 s, stereo 44.1 kHz, amplitude 0.5.
sox -n -b 16 -r 44100 -c 2 "$tmp/tone.wav" synth 1.0 sine 1000 vol 0.5
lame --quiet --noreplaygain -b 96 "$tmp/tone.wav" tone1k.mp3
# 0.5 s: Ogg Vorbis stereo 44.1 kHz.
sox -n -b 16 -r 44100 -c 2 "$tmp/half.wav" synth 0.5 sine 1000 vol 0.5
oggenc -Q -q 0 "$tmp/half.wav" -o tone1k.ogg
# 0.5 s, mono 22.05 kHz WAV: also needs the mixer's resampling and mono path.
sox -n -b 16 -r 22050 -c 1 tone1k_mono22k.wav synth 0.5 sine 1000 vol 0.5
# 0.5 s WMA (ASF), only for the add-on.
ffmpeg -v error -y -i "$tmp/half.wav" -c:a wmav2 -b:a 64k tone1k.wma
# A quiet second and a half, then a loud half second, so that a seek's
# landing point shows in the output as the step between the two.
sox -n -b 16 -r 44100 -c 2 "$tmp/quiet.wav" synth 1.5 sine 1000 vol 0.1
sox -n -b 16 -r 44100 -c 2 "$tmp/loud.wav" synth 0.5 sine 1000 vol 0.8
sox "$tmp/quiet.wav" "$tmp/loud.wav" "$tmp/step.wav"
lame --quiet --noreplaygain -b 64 "$tmp/step.wav" step_at_1500ms.mp3
# The same step in the other formats, for their seeks: Ogg Vorbis, a mono
# 22.05 kHz WAV (small) and WMA.
oggenc -Q -q 2 "$tmp/step.wav" -o step_at_1500ms.ogg
sox "$tmp/step.wav" -b 16 -r 22050 -c 1 step_at_1500ms.wav
ffmpeg -v error -y -i "$tmp/step.wav" -c:a wmav2 -b:a 64k step_at_1500ms.wma
# The codings of WAV the core library reads itself: 0.1 s of a 1 kHz tone
# at half scale, 8 kHz, whose every sample is known: 16384 x the sine of
# n x 45 degrees, rounded (sox's own sine generator is a little off that).
python3 -c 'import math, struct, sys; sys.stdout.buffer.write(b"".join(
    struct.pack("<h", round(16384 * math.sin(n * math.pi / 4))) for n in range(800)))' >"$tmp/tone8k.raw"
exact=(-D -t s16 -r 8000 -c 1 "$tmp/tone8k.raw")
sox "${exact[@]}" -b 8 -e unsigned-integer wav_u8.wav
sox "${exact[@]}" -b 24 wav_s24.wav
sox "${exact[@]}" -b 32 -e floating-point wav_f32.wav
sox "${exact[@]}" -e a-law wav_alaw.wav
sox "${exact[@]}" -e u-law wav_mulaw.wav
sox "${exact[@]}" -c 2 -e ms-adpcm wav_msadpcm_stereo.wav
# Six channels (the extensible format record): mixed down to stereo.
sox "${exact[@]}" -c 6 -b 16 wav_6ch.wav
# 5.1 in WAV order (FL FR FC LFE BL BR), 0.1 s at 8 kHz, a tone of its own
# in each channel (whole cycles in the 800 samples), so that the down-mix's
# routing of every channel shows in which side holds which tone.
sox -n -b 16 -r 8000 -c 6 wav_51_tones.wav synth 0.1 sine 200 sine 300 sine 500 sine 60 sine 700 sine 1100 vol 0.5
