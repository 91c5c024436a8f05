#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Tindrel developers
# Installs the build into a scratch prefix and runs the installed tool
# through its link in bin/: it must find the engine in its program folder.
# Usage: install_test.sh BUILD_DIR SAMPLE
set -euo pipefail
build_dir=$1
sample=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build_dir" --prefix "$prefix" >/dev/null
for path in bin/tindrel bin/tindrel-cli libexec/tindrel/tindrel libexec/tindrel/tindrel-cli libexec/tindrel/libbass.so \
  libexec/tindrel/libbasswma.so libexec/tindrel/tindrel-cli-player.so share/applications/org.tindrel.Tindrel.desktop \
  share/icons/hicolor/scalable/apps/org.tindrel.Tindrel.svg share/metainfo/org.tindrel.Tindrel.metainfo.xml \
  share/man/man1/tindrel.1.gz share/man/man1/tindrel-cli.1.gz share/doc/tindrel/copyright \
  share/doc/tindrel/changelog.gz; do
  [ -e "$prefix/$path" ] || { echo "not installed: $path"; exit 1; }
done
[ -d "$prefix/libexec/tindrel/Plugins" ] || { echo "no Plugins folder"; exit 1; }

# The manual pages are read by man without a complaint and name the program.
for page in tindrel tindrel-cli; do
  text=$(MANWIDTH=80 man --warnings -l "$prefix/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
  [ -z "$text" ] || { echo "man complains about $page.1: $text"; exit 1; }
  zcat "$prefix/share/man/man1/$page.1.gz" | grep -qF "${page//-/\\-} \\- " ||
    { echo "$page.1 has no NAME line"; exit 1; }
done

report=$(cd / && "$prefix/bin/tindrel-cli" info "$sample")
grep -q '^Player bit rate: 128 kbit/s$' <<<"$report" || { echo "the installed tool has no player:"; echo "$report"; exit 1; }

if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix/share/applications/org.tindrel.Tindrel.desktop"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$prefix/share/metainfo/org.tindrel.Tindrel.metainfo.xml" >/dev/null
fi
echo "installed and ran from $prefix"
