#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Tindrel developers
#
# One table: Tindrel against the tool a user would pick instead, each row
# measured in the same run on the same corpus (made here with sox and lame).
# Every figure is the median of RUNS runs after one unmeasured warm-up run,
# so the page cache is warm for every tool alike; peak memory is the largest
# resident size seen over those runs. The last column is Tindrel's time over
# the peer's: below 1 Tindrel is faster.
#
#   bench/table/run.sh            5 runs, a 140 MB file for the tag write,
#                                 ffprobe timed on 100 of the 1,000 files
#                                 and scaled (about 3 minutes on 2 cores)
#   RUNS=15 FULL=1 bench/table/run.sh
#                                 the longer run: 15 runs, ffprobe on all
#                                 1,000 files (about 25 minutes)
#   BIN_DIR=/some/bin bench/table/run.sh
#                                 measures the programs already built there
#                                 (an earlier build kept for comparison)
#
# A peer that is not installed is skipped with a note in the table.
set -euo pipefail
cd "$(dirname "$0")/../.."
build_dir=${BUILD_DIR:-build}
runs=${RUNS:-5}
full=${FULL:-0}
tag_mb=${TAG_MB:-140}

if [ -z "${BIN_DIR:-}" ]; then
  [ -f "$build_dir/CMakeCache.txt" ] || cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build_dir" --target tindrel tindrel-cli bench_table_decode bench_table_bare_window \
    bench_mpeg_taglib -- -j2 >/dev/null
fi
bin=$(cd "${BIN_DIR:-$build_dir/bin}" && pwd)
cli="$bin/tindrel-cli"

work=$(mktemp -d)
cleanup() {
  if [ -n "${xvfb_pid:-}" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

have() { command -v "$1" >/dev/null 2>&1; }

# ---- corpus -------------------------------------------------------------
echo "making the corpus in $work ..." >&2
sox -D -n -r 44100 -c 2 -b 16 "$work/src.wav" synth 300 sine 220 sine 330 tremolo 3 40 gain -9
lame --quiet --nohist --cbr -b 128 "$work/src.wav" "$work/long.mp3"
id3v2 -t "Long" -a "Tindrel Bench" -A "Corpus" -y 2026 "$work/long.mp3"
# Ten inputs of about 4.8 MB for the join.
for i in $(seq -w 1 10); do cp "$work/long.mp3" "$work/join_$i.mp3"; done
# The tag write's file: the long file repeated up to the size asked for.
copies=$(((tag_mb * 1048576 + 4799999) / 4800000))
for _ in $(seq 1 "$copies"); do cat "$work/long.mp3"; done >"$work/big.mp3"
truncate -s $((tag_mb * 1048576)) "$work/big.mp3"
# 1,000 short files of five kinds for the analysis.
sox -D -n -r 44100 -c 2 -b 16 "$work/short.wav" synth 4 sine 440 sine 660 gain -6
lame --quiet --nohist -b 128 "$work/short.wav" "$work/cbr.mp3"
lame --quiet --nohist -V 4 "$work/short.wav" "$work/vbr.mp3"
lame --quiet --nohist -b 192 --add-id3v2 --tt Title --ta Artist "$work/short.wav" "$work/tagged.mp3"
lame --quiet --nohist -b 64 --resample 22.05 "$work/short.wav" "$work/mpeg2.mp3"
lame --quiet --nohist -b 96 -m m "$work/short.wav" "$work/mono.mp3"
mkdir "$work/many" "$work/out"
for kind in cbr vbr tagged mpeg2 mono; do
  for i in $(seq -w 1 200); do cp "$work/$kind.mp3" "$work/many/${kind}_$i.mp3"; done
done
rm "$work/src.wav" "$work/short.wav"
# The corpus goes to disk now, not while the first rows flush their outputs.
sync

# ---- measuring -----------------------------------------------------------
# The rows of the table: "task|tool|median seconds|peak KiB|note".
rows=()
task=""
tindrel_median=""

# Runs "$@" once unmeasured, then $runs times; before each run the shell
# function named by $setup (if any) puts the files back as they were.
# Prints "median_seconds peak_kib".
timed_runs() {
  local setup=$1
  shift
  local times=() peak=0 start end kib
  for run in $(seq 0 "$runs"); do
    [ -n "$setup" ] && "$setup"
    start=$(date +%s%N)
    /usr/bin/time -f '%M' -o "$work/mem" "$@" >/dev/null 2>"$work/err" || {
      echo "failed: $* ($(tail -1 "$work/err"))" >&2
      return 1
    }
    end=$(date +%s%N)
    [ "$run" -eq 0 ] && continue
    times+=("$(((end - start) / 1000))")
    kib=$(tail -1 "$work/mem")
    [ "$kib" -gt "$peak" ] && peak=$kib
  done
  printf '%s\n' "${times[@]}" | sort -n | awk -v peak="$peak" '
    { t[NR] = $1 }
    END { m = (NR % 2) ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2; printf "%.4f %d\n", m / 1e6, peak }'
}

# row TOOL SETUP [SCALE] -- command...: one line of the current task. The
# first row of a task is Tindrel's; the others are compared with it. Called
# as "goal=N row ...", the line notes that Tindrel's time over this peer's
# should be at most N.
row() {
  local tool=$1 setup=$2 scale=1 note=""
  shift 2
  if [ "$1" != "--" ]; then scale=$1; note="x$1 of a sample"; shift; fi
  shift
  if [ -n "${goal:-}" ]; then note="${note:+$note; }goal: at most $goal"; fi
  if ! have "$1"; then
    rows+=("$task|$tool|-|-|skipped: $1 is not installed")
    return
  fi
  local result
  if ! result=$(timed_runs "$setup" "$@"); then
    rows+=("$task|$tool|-|-|failed")
    return
  fi
  local secs kib
  read -r secs kib <<<"$result"
  secs=$(awk -v s="$secs" -v k="$scale" 'BEGIN { printf "%.4f", s * k }')
  [ -z "$tindrel_median" ] && tindrel_median=$secs
  rows+=("$task|$tool|$secs|$kib|$note")
}

begin_task() {
  task=$1
  tindrel_median=""
  echo "measuring: $task" >&2
}

# ---- the rows -------------------------------------------------------------
long="$work/long.mp3"
out="$work/out"
clean_out() { rm -rf "$out" && mkdir "$out"; }

begin_task "time-range cut 01:00-02:00 of a 5 min 128 kbit/s file"
row "tindrel-cli split" clean_out -- "$cli" split "$long" --start 01:00.000 --end 02:00.000 -o "$out/piece.mp3"
# The same bytes as Tindrel's cut: 128 kbit/s from 59.850 s to 119.850 s.
row "dd" clean_out -- dd if="$long" of="$out/piece.mp3" bs=61440 iflag=skip_bytes,count_bytes skip=957600 \
  count=960000 status=none
# Tindrel flushes the piece to disk before it reports success; dd leaves it
# in the page cache. This row makes dd's copy as durable.
goal=1.5 row "dd conv=fsync" clean_out -- dd if="$long" of="$out/piece.mp3" bs=61440 \
  iflag=skip_bytes,count_bytes skip=957600 count=960000 conv=fsync status=none
row "ffmpeg -ss/-to -c copy" clean_out -- ffmpeg -v error -y -ss 60 -to 120 -i "$long" -c copy "$out/piece.mp3"
row "mp3splt" clean_out -- mp3splt -q -d "$out" -o piece "$long" 1.00 2.00

begin_task "10 equal parts of a 5 min 128 kbit/s file"
row "tindrel-cli split --parts 10" clean_out -- "$cli" split "$long" --parts 10 -d "$out"
row "mp3splt -S 10" clean_out -- mp3splt -q -d "$out" -S 10 "$long"
row "ffmpeg -f segment -c copy" clean_out -- ffmpeg -v error -y -i "$long" -f segment -segment_time 30 -c copy \
  "$out/part%02d.mp3"

begin_task "join of 10 files of 4.8 MB"
join_inputs=("$work"/join_*.mp3)
printf "file '%s'\n" "${join_inputs[@]}" >"$work/concat.txt"
row "tindrel-cli join" clean_out -- "$cli" join -o "$out/joined.mp3" "${join_inputs[@]}"
row "cat" clean_out -- sh -c 'cat "$@" >"$0"' "$out/joined.mp3" "${join_inputs[@]}"
# Tindrel flushes the joined file to disk before it reports success; cat
# leaves it in the page cache. This row makes cat's output as durable.
goal=1.3 row "cat + sync of the output" clean_out -- sh -c 'cat "$@" >"$0" && sync "$0"' "$out/joined.mp3" \
  "${join_inputs[@]}"
row "ffmpeg concat -c copy" clean_out -- ffmpeg -v error -y -f concat -safe 0 -i "$work/concat.txt" -c copy \
  "$out/joined.mp3"

# The exact, gapless mode: one walk of the frame headers on top of the copy.
begin_task "exact cut 01:00-02:00 (--exact, gapless)"
row "tindrel-cli split --exact" clean_out -- "$cli" split "$long" --start 01:00.000 --end 02:00.000 --exact \
  -o "$out/piece.mp3"
row "mp3splt" clean_out -- mp3splt -q -d "$out" -o piece "$long" 1.00 2.00
row "ffmpeg -ss/-to -c copy" clean_out -- ffmpeg -v error -y -ss 60 -to 120 -i "$long" -c copy "$out/piece.mp3"

begin_task "exact 10 equal parts (--exact, gapless)"
row "tindrel-cli split --parts 10 --exact" clean_out -- "$cli" split "$long" --parts 10 --exact -d "$out"
row "mp3splt -S 10" clean_out -- mp3splt -q -d "$out" -S 10 "$long"
row "ffmpeg -f segment -c copy" clean_out -- ffmpeg -v error -y -i "$long" -f segment -segment_time 30 -c copy \
  "$out/part%02d.mp3"

begin_task "exact join of 10 files of 4.8 MB (--exact)"
row "tindrel-cli join --exact" clean_out -- "$cli" join --exact -o "$out/joined.mp3" "${join_inputs[@]}"
row "ffmpeg concat -c copy" clean_out -- ffmpeg -v error -y -f concat -safe 0 -i "$work/concat.txt" -c copy \
  "$out/joined.mp3"
rows+=("$task|mp3splt|-|-|skipped: mp3splt cuts but does not join")

# An hour of the long file's frames, for the edit: three ranges removed
# (02:00, 01:30 and 05:00 long), the rest copied frame by frame.
begin_task "edit: 3 deletions from a 60-minute file"
hour="$work/hour.mp3"
if [ ! -f "$hour" ] && have ffmpeg; then
  printf "file '%s'\n" $(for _ in $(seq 1 12); do echo "$long"; done) >"$work/hour.txt"
  ffmpeg -v error -y -f concat -safe 0 -i "$work/hour.txt" -c copy "$hour"
fi
row "tindrel-cli edit" clean_out -- "$cli" edit "$hour" -o "$out/edited.mp3" --delete 10:00.000-12:00.000 \
  --delete 25:00.000-26:30.000 --delete 40:00.000-45:00.000
# ffmpeg's way: the four kept stretches copied out, then joined.
ffmpeg_edit() {
  local hour=$1 out=$2
  ffmpeg -v error -y -i "$hour" -t 600 -c copy "$out/p1.mp3" &&
    ffmpeg -v error -y -ss 720 -i "$hour" -t 780 -c copy "$out/p2.mp3" &&
    ffmpeg -v error -y -ss 1590 -i "$hour" -t 810 -c copy "$out/p3.mp3" &&
    ffmpeg -v error -y -ss 2700 -i "$hour" -c copy "$out/p4.mp3" &&
    printf "file '%s'\n" "$out"/p[1-4].mp3 >"$out/parts.txt" &&
    ffmpeg -v error -y -f concat -safe 0 -i "$out/parts.txt" -c copy "$out/edited.mp3"
}
export -f ffmpeg_edit
row "ffmpeg segment copy + concat" clean_out -- bash -c 'have() { :; }; ffmpeg_edit "$0" "$1"' "$hour" "$out"
row "cat (the whole file)" clean_out -- sh -c 'cat "$0" >"$1"' "$hour" "$out/edited.mp3"
# The edited file is flushed to disk before Tindrel reports success, as the
# joined one is: this row makes cat's copy as durable.
goal=1.5 row "cat + sync of the output" clean_out -- sh -c 'cat "$0" >"$1" && sync "$1"' "$hour" "$out/edited.mp3"

begin_task "ID3v2 tag write on a $tag_mb MB file"
target="$work/target.mp3"
# The copy is flushed before the run, so that a tool that makes its change
# durable does not also pay for writing back the copy just made.
fresh_target() { cp "$work/big.mp3" "$target" && sync "$target"; }
no_target() { rm -f "$target"; }
row "tindrel-cli tag" fresh_target -- "$cli" tag "$target" --v2-title "Benchmark"
row "cp (the whole file)" no_target -- cp "$work/big.mp3" "$target"
row "id3v2" fresh_target -- id3v2 -t "Benchmark" "$target"
row "eyeD3" fresh_target -- eyeD3 --quiet -t "Benchmark" "$target"
row "mid3v2" fresh_target -- mid3v2 -t "Benchmark" "$target"

begin_task "analysis of 1,000 files"
many=("$work"/many/*.mp3)
row "tindrel-cli info" "" -- "$cli" info "${many[@]}"
row "TagLib (audio properties)" "" -- "$bin/bench_mpeg_taglib" "$work/many" 1
row "mediainfo" "" -- mediainfo "$work/many"
if [ "$full" = 1 ]; then
  row "ffprobe (a process a file)" "" -- sh -c 'for f; do ffprobe -v error -show_format -show_streams "$f"; done' sh \
    "${many[@]}"
else
  row "ffprobe (a process a file)" "" 10 -- sh -c \
    'for f; do ffprobe -v error -show_format -show_streams "$f"; done' sh "${many[@]:0:100}"
fi

# Twelve one-minute MP3 files of different sounds and rates, as an album.
mkdir "$work/album"
for i in $(seq 1 12); do
  sox -R -D -n -r $((i % 2 ? 44100 : 48000)) -c 2 -b 16 "$work/track.wav" synth 60 sine $((110 * i)) \
    pinknoise tremolo "$i" 50 gain -$((4 + i / 2))
  lame --quiet --nohist -V 2 "$work/track.wav" "$work/album/track_$(printf %02d "$i").mp3"
done
rm "$work/track.wav"
album=("$work"/album/*.mp3)

begin_task "loudness scan of an album of 12 one-minute MP3 files"
row "tindrel-cli loudness --album" "" -- "$cli" loudness --album "${album[@]}"
row "loudgain -a" "" -- loudgain -a "${album[@]}"
row "mp3gain -s s (album analysis)" "" -- mp3gain -q -s s "${album[@]}"

begin_task "lossless gain change of -1.5 dB on a $tag_mb MB file"
row "tindrel-cli loudness --apply" fresh_target -- "$cli" loudness "$target" --apply -1.5
row "mp3gain -g -1" fresh_target -- mp3gain -q -g -1 "$target"
# Tindrel's change is on disk when it reports success; mp3gain's is still in
# the page cache. This row makes mp3gain's change as durable.
row "mp3gain -g -1 + sync of the file" fresh_target -- sh -c 'mp3gain -q -g -1 "$0" && sync "$0"' "$target"

begin_task "decoding a 5 min file to PCM"
row "tindrel engine" "" -- "$bin/bench_table_decode" "$long"
row "mpg123 -t" "" -- mpg123 -q -t "$long"

begin_task "program start to window shown"
if have Xvfb && have xwininfo; then
  # A display of this run's own: another run at the same time (a second
  # work tree) would otherwise see this run's windows, or take them down.
  display=":$((100 + $$ % 800))"
  Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  sleep 1
  # start_to_window PROGRAM TITLE: starts the program, waits until its
  # window of that title is mapped, ends it; a program that ends or shows
  # nothing within 20 s fails the run.
  # Now and then Xvfb refuses a connection just after a client was killed;
  # such a start is made again (at most twice), any other end fails the run.
  start_to_window() {
    local program=$1 title=$2 tries=0
    while :; do
      DISPLAY=$display SDL_AUDIODRIVER=dummy "$program" >/dev/null 2>"$work/start.err" &
      local pid=$! deadline=$((SECONDS + 20))
      until DISPLAY=$display xwininfo -name "$title" 2>/dev/null | grep -q 'IsViewable'; do
        if ! kill -0 "$pid" 2>/dev/null || [ "$SECONDS" -ge "$deadline" ]; then
          kill -9 "$pid" 2>/dev/null
          wait "$pid" 2>/dev/null
          tries=$((tries + 1))
          if [ "$tries" -le 2 ] && grep -q 'could not connect to display' "$work/start.err"; then
            continue 2
          fi
          return 1
        fi
        sleep 0.005
      done
      break
    done
    # Ended at once: only the start is measured.
    kill -9 "$pid"
    wait "$pid" 2>/dev/null || true
  }
  export -f start_to_window
  export display work
  row "tindrel" "" -- bash -c 'start_to_window "$0" "$1"' "$bin/tindrel" "Tindrel V3.1"
  # The floor: an empty Qt Widgets window of Tindrel's size, shown and ended
  # the same way.
  goal=1.2 row "bare Qt window" "" -- bash -c 'start_to_window "$0" "$1"' "$bin/bench_table_bare_window" \
    "Bare Qt window"
else
  rows+=("$task|tindrel|-|-|skipped: Xvfb or xwininfo is not installed")
fi

# ---- the table -------------------------------------------------------------
echo
echo "Tindrel against its peers: median of $runs runs, peak resident memory"
echo "machine: $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2/1048576}' /proc/meminfo)," \
  "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'); shared with other work, so noisy"
printf '%-52s %-30s %10s %9s %13s  %s\n' "task" "tool" "median s" "peak MB" "tindrel/peer" "note"
last_task=""
tindrel_secs=""
for line in "${rows[@]}"; do
  IFS='|' read -r t tool secs kib note <<<"$line"
  if [ "$t" != "$last_task" ]; then
    last_task=$t
    tindrel_secs=$secs
    shown_task=$t
  else
    shown_task=""
  fi
  ratio="-"
  if [ "$secs" != "-" ] && [ "$tindrel_secs" != "-" ] && [ "$tool" != "${tool#tindrel}" ]; then
    ratio=""
  elif [ "$secs" != "-" ] && [ "$tindrel_secs" != "-" ]; then
    ratio=$(awk -v t="$tindrel_secs" -v p="$secs" 'BEGIN { if (p > 0) printf "%.3g", t / p; else print "-" }')
  fi
  mb="-"
  [ "$kib" != "-" ] && mb=$(awk -v k="$kib" 'BEGIN { printf "%.1f", k / 1024 }')
  printf '%-52s %-30s %10s %9s %13s  %s\n' "$shown_task" "$tool" "$secs" "$mb" "$ratio" "$note"
done
