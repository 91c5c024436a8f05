#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Tindrel developers
"""Writes the tindrel(1) and tindrel-cli(1) manual pages from the manual.

    make-man.py MANUAL.md VERSION OUTDIR

The manual is the one source: tindrel(1) gets every section but the one on
the command-line tool, tindrel-cli(1) gets that one and the one on files.
Only the Markdown the manual uses is understood: headings, paragraphs, "- "
lists, indented code blocks, `code` and **bold**. The pages are written
gzip-compressed, with no time stamp, so a build is reproducible.
"""

import gzip
import re
import sys

CLI_SECTION = "The command-line tool"

PAGES = {
    "tindrel": {
        "summary": "cut, join and tag MP3 files",
        "synopsis": [".B tindrel", r"[\fIFILE\fR ...]"],
        "sections": lambda title: title != CLI_SECTION,
        "see": r".BR tindrel\-cli (1)",
    },
    "tindrel-cli": {
        "summary": "cut, join and tag MP3 files from scripts",
        "synopsis": [".B tindrel\\-cli", r"\fICOMMAND\fR [\fIOPTIONS\fR] [\fIFILE\fR ...]"],
        "sections": lambda title: title in (CLI_SECTION, "Files"),
        "see": r".BR tindrel (1)",
    },
}


def escape(text):
    text = text.replace("\\", r"\e").replace("-", r"\-")
    return text


def inline(text):
    """Escapes a line of text and turns `code` and **bold** into bold."""
    out = []
    for part in re.split(r"(`[^`]*`|\*\*[^*]*\*\*)", text):
        if part.startswith("`") and part.endswith("`") and len(part) >= 2:
            out.append(r"\fB" + escape(part[1:-1]) + r"\fR")
        elif part.startswith("**") and part.endswith("**") and len(part) >= 4:
            out.append(r"\fB" + escape(part[2:-2]) + r"\fR")
        else:
            out.append(escape(part))
    line = "".join(out)
    # A line starting with a dot or an apostrophe would be read as a request.
    if line.startswith((".", "'")):
        line = r"\&" + line
    return line


def sections(markdown):
    """The manual as (intro lines, [(title, lines)]) of its "## " sections."""
    intro, parts, current = [], [], None
    for line in markdown.splitlines():
        if line.startswith("# "):
            continue
        if line.startswith("## "):
            current = (line[3:].strip(), [])
            parts.append(current)
        elif current is None:
            intro.append(line)
        else:
            current[1].append(line)
    return intro, parts


def body(lines):
    """Roff for the lines of one section."""
    out = []
    paragraph = []
    code = []
    in_item = False

    def flush():
        nonlocal paragraph
        if paragraph:
            out.extend(inline(p) for p in paragraph)
            paragraph = []

    def flush_code():
        nonlocal code
        if code:
            out.extend([".PP", ".RS 4", ".nf"])
            out.extend(inline(c) for c in code)
            out.extend([".fi", ".RE"])
            code = []

    for line in lines + [""]:
        if line.startswith("    ") and not in_item:
            flush()
            code.append(line[4:])
            continue
        flush_code()
        stripped = line.strip()
        if not stripped:
            flush()
            in_item = False
            continue
        if line.startswith("### "):
            flush()
            out.append(".SS " + inline(line[4:].strip()))
            in_item = False
        elif line.startswith("- "):
            flush()
            out.extend([r".IP \(bu 2"])
            paragraph.append(line[2:].strip())
            in_item = True
        elif in_item and line.startswith("  "):
            paragraph.append(stripped)
        else:
            if not paragraph:
                if in_item:
                    in_item = False
                out.append(".PP")
            paragraph.append(stripped)
    flush_code()
    return out


def page(name, markdown, version):
    page_info = PAGES[name]
    intro, parts = sections(markdown)
    out = [
        '.TH %s 1 "" "Tindrel %s" "User Commands"' % (name.upper().replace("-", r"\-"), version),
        ".SH NAME",
        "%s \\- %s" % (name.replace("-", r"\-"), page_info["summary"]),
        ".SH SYNOPSIS",
    ]
    out.extend(page_info["synopsis"])
    if name == "tindrel":
        out.append(".SH DESCRIPTION")
        out.extend(body(intro))
    for title, lines in parts:
        if page_info["sections"](title):
            heading = "DESCRIPTION" if title == CLI_SECTION else title.upper()
            out.append(".SH " + inline(heading))
            out.extend(body(lines))
    out.extend([".SH SEE ALSO", page_info["see"]])
    return "\n".join(out) + "\n"


def main(argv):
    if len(argv) != 4:
        sys.stderr.write(__doc__)
        return 2
    manual, version, outdir = argv[1], argv[2], argv[3]
    with open(manual, encoding="utf-8") as f:
        markdown = f.read()
    for name in PAGES:
        text = page(name, markdown, version).encode("utf-8")
        with open("%s/%s.1.gz" % (outdir, name), "wb") as raw:
            with gzip.GzipFile(filename="", mode="wb", fileobj=raw, compresslevel=9, mtime=0) as out:
                out.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
