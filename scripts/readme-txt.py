#!/usr/bin/env python3
"""Writes README.txt for the release zip: the user's part of README.md as
plain text with CR LF line ends, for Notepad.

The user's part is the README's first paragraph (what Tarnvik is) and every
level-2 section from "## Using Tarnvik" up to the one that begins with
"## Building". It is found by those headings, so text added to or moved
within the user's part comes along without a change here.

Usage: readme-txt.py README.md VERSION OUTPUT
"""
import re
import sys

USER_START = "## Using Tarnvik"
USER_END = "## Building"

IMAGE_LINE = re.compile(r"^\s*!\[[^\]]*\]\([^)]*\)\s*$")
LINK = re.compile(r"\[([^\]]+)\]\(([^)]+)\)")
CODE_SPAN = re.compile(r"(`+)(.+?)\1")
EMPHASIS = re.compile(r"(\*\*|\*)(?=\S)(.+?)(?<=\S)\1")
ESCAPE = re.compile(r"\\([\\`*_{}\[\]()#+\-.!|<>])")


def fail(message):
    sys.exit("readme-txt.py: " + message)


def user_part(lines):
    """The description paragraph and the user's sections, as Markdown lines."""
    starts = [i for i, l in enumerate(lines) if l.startswith(USER_START)]
    if not starts:
        fail('no "%s" heading in the README' % USER_START)
    start = starts[0]
    ends = [i for i, l in enumerate(lines) if i > start and l.startswith(USER_END)]
    if not ends:
        fail('no "%s" heading after "%s" in the README' % (USER_END, USER_START))
    return description(lines[:start]) + lines[start:ends[0]]


def description(intro):
    """The first paragraph of text under the title, without its pictures."""
    paragraph = []
    for line in intro:
        if line.startswith("#") or IMAGE_LINE.match(line):
            if paragraph:
                break
            continue
        if not line.strip():
            if paragraph:
                break
            continue
        paragraph.append(line)
    return paragraph + [""] if paragraph else []


def inline(text):
    """Markdown's inline marks removed; code spans stay exactly as written."""
    pieces = []
    last = 0
    for m in CODE_SPAN.finditer(text):
        pieces.append(plain(text[last:m.start()]))
        pieces.append(m.group(2))
        last = m.end()
    pieces.append(plain(text[last:]))
    return "".join(pieces)


def plain(text):
    text = LINK.sub(lambda m: "%s (%s)" % (m.group(1), m.group(2)), text)
    previous = None
    while previous != text:  # **bold** around *italic* needs two passes
        previous = text
        text = EMPHASIS.sub(r"\2", text)
    return ESCAPE.sub(r"\1", text)


def heading(line):
    level = len(line) - len(line.lstrip("#"))
    title = inline(line[level:].strip())
    rule = "=" if level <= 1 else "-" if level == 2 else "~"
    return [title, rule * len(title)]


def to_text(lines, version):
    out = ["Tarnvik " + version, "=" * len("Tarnvik " + version), ""]
    in_fence = False
    for line in lines:
        line = line.rstrip()
        if line.lstrip().startswith("```"):
            in_fence = not in_fence  # fenced code: kept, without its fences
            continue
        if in_fence or line.startswith("    ") and (not out[-1] or out[-1].startswith("    ")):
            out.append(line)  # code blocks stay as written
        elif IMAGE_LINE.match(line):
            continue
        elif re.match(r"^#{1,6} ", line):
            if out[-1]:
                out.append("")
            out.extend(heading(line))
        else:
            out.append(inline(line))
    text = "\n".join(out)
    text = re.sub(r"\n{3,}", "\n\n", text).strip("\n") + "\n"
    return text.replace("\n", "\r\n")


def main():
    if len(sys.argv) != 4:
        fail("usage: readme-txt.py README.md VERSION OUTPUT")
    with open(sys.argv[1], encoding="utf-8") as f:
        lines = f.read().splitlines()
    text = to_text(user_part(lines), sys.argv[2])
    # The byte-order mark makes every Notepad read the dashes and arrows as UTF-8.
    with open(sys.argv[3], "w", encoding="utf-8-sig", newline="") as f:
        f.write(text)


if __name__ == "__main__":
    main()
