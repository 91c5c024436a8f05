#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Tindrel developers
#
# Sets up, builds and then runs Tindrel or its test suite on Debian 12.
#   ./build.sh run    installs what is missing, builds, starts Tindrel
#   ./build.sh test   installs what is missing, builds, runs every test: the
#                     plain build, then the same suite under AddressSanitizer,
#                     UndefinedBehaviorSanitizer and LeakSanitizer, then a
#                     short fixed run of every fuzz target
# BUILD_DIR (default: build) chooses the build folder.
set -euo pipefail
cd "$(dirname "$0")"

mode=${1:-run}
build_dir=${BUILD_DIR:-build}

# Everything the build, the program and the tests need, as Debian packages.
packages=(
  # build (python3 makes the manual pages from the manual)
  cmake ninja-build g++ pkg-config python3
  # program
  qt6-base-dev libgl-dev libmpg123-dev libvorbis-dev libavformat-dev libavcodec-dev libswresample-dev
  libsdl2-dev libopenmpt-dev libkissfft-dev libebur128-dev libmp3lame-dev libfontconfig-dev
  # tests, fixtures and their cross-checks, fuzzing, packaging checks
  googletest libgtest-dev libgmock-dev clang libclang-rt-14-dev
  lame sox ffmpeg vorbis-tools id3v2 eyed3 python3-mutagen
  desktop-file-utils appstream man-db mp3gain espeak-ng strace xdotool openbox
  # benchmarks and their peers, screenshots
  libtag1-dev mp3splt mpg123 mediainfo x11-utils xvfb xauth imagemagick loudgain
)

install_missing() {
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
}

build() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja "$@"
  cmake --build "$dir"
}

run_suite() {
  (cd "$1" && ctest --output-on-failure --timeout 600 -j "$(nproc)")
}

case "$mode" in
  run)
    install_missing
    build "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo
    exec "$build_dir/bin/tindrel"
    ;;
  test)
    install_missing
    build "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo
    run_suite "$build_dir"
    build "$build_dir-sanitize" -DCMAKE_BUILD_TYPE=Debug -DTINDREL_SANITIZE=ON
    # The leak checker of Debian 12's compilers misreads the dynamic thread
    # storage table of this glibc when a process runs in the plain C locale
    # (as a bare root shell does) and crashes at exit instead of reporting;
    # not following that table keeps every other root of the leak search.
    ASAN_OPTIONS=detect_leaks=1:intercept_tls_get_addr=0 UBSAN_OPTIONS=print_stacktrace=1 \
      run_suite "$build_dir-sanitize"
    FUZZ_BUILD_DIR="$build_dir-fuzz" FUZZ_RUNS=${FUZZ_RUNS:-100000} ./fuzz/run.sh
    ;;
  *)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac
