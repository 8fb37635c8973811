#!/usr/bin/env python3
"""Writes the players' part of README.md (everything above its heading
"Building and testing") as plain text with Windows (CRLF) line endings: the
README.txt of the Windows .zip, which opens in Notepad. Headings are
underlined, tables laid out in columns, pictures told in words, emphasis and
code marks dropped. Python's standard library only.

    packaging/players-readme.py README.md README.txt
"""
import re
import sys
import textwrap

END = "## Building and testing"
WIDTH = 79
UNDERLINE = {1: "=", 2: "-", 3: "~"}


def inline(text):
    """The text without Markdown's marks: **strong**, *emphasis*, `code`."""
    text = re.sub(r"\*\*(.+?)\*\*", r"\1", text)
    text = re.sub(r"(?<![\w*])\*(\S(?:.*?\S)?)\*(?![\w*])", r"\1", text)
    return text.replace("`", "")


def table(rows):
    """Markdown table rows as columns of text, the widest columns wrapped so
    that each line keeps within WIDTH."""
    cells = [[inline(c.strip()) for c in row.strip().strip("|").split("|")] for row in rows]
    header, body = cells[0], cells[2:]
    widths = [max(len(r[i]) for r in [header] + body) for i in range(len(header))]
    gap = 2
    while sum(widths) + gap * (len(widths) - 1) > WIDTH:
        widths[widths.index(max(widths))] -= 1
    out = []
    for row in [header, ["-" * w for w in widths]] + body:
        wrapped = [textwrap.wrap(c, w) or [""] for c, w in zip(row, widths)]
        for k in range(max(len(w) for w in wrapped)):
            parts = [(w[k] if k < len(w) else "").ljust(widths[i]) for i, w in enumerate(wrapped)]
            out.append((" " * gap).join(parts).rstrip())
    return out


def players_part(markdown):
    lines = markdown.split("\n")
    lines = lines[: lines.index(END)] if END in lines else lines
    out, i = [], 0
    while i < len(lines):
        line = lines[i]
        heading = re.match(r"(#{1,3}) (.*)", line)
        if heading:
            title = inline(heading.group(2))
            out += [title, UNDERLINE[len(heading.group(1))] * len(title)]
        elif line.startswith("!["):
            # A picture of a screen, which the .zip does not hold: what it shows.
            alt = re.match(r"!\[(.*)\]\(", line).group(1)
            out += textwrap.wrap("(Picture: " + inline(alt) + ")", WIDTH)
        elif line.startswith("|"):
            rows = []
            while i < len(lines) and lines[i].startswith("|"):
                rows.append(lines[i])
                i += 1
            out += table(rows)
            continue
        else:
            out.append(inline(line).rstrip())
        i += 1
    while out and not out[-1]:
        out.pop()
    return "\r\n".join(out) + "\r\n"


def main():
    source, target = sys.argv[1], sys.argv[2]
    with open(source, encoding="utf-8") as f:
        text = players_part(f.read())
    with open(target, "w", encoding="utf-8", newline="") as f:
        f.write(text)


if __name__ == "__main__":
    main()
