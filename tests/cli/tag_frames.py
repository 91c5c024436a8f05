#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Tindrel developers
"""Prints the ID3v2 tag of a file as mutagen reads it, one frame a line, in a
form that does not depend on the tag's version or text encodings: the same
line for a frame means the same content. The first line is the version."""
import hashlib
import sys

from mutagen.id3 import ID3


def describe(frame):
    if frame.FrameID == "APIC":
        digest = hashlib.sha256(frame.data).hexdigest()[:16]
        return f"{frame.mime} type={int(frame.type)} desc={frame.desc!r} data={digest} ({len(frame.data)} bytes)"
    if hasattr(frame, "text"):
        texts = [frame.text] if isinstance(frame.text, str) else frame.text
        return repr([str(t) for t in texts])
    return repr(frame)


tag = ID3(sys.argv[1], load_v1=False)
print("version 2.%d" % tag.version[1])
for key in sorted(tag.keys()):
    print(key.encode("unicode_escape").decode("ascii"), describe(tag[key]))
