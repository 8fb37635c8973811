#!/usr/bin/env python3
"""Draws the README's pictures of the screens, in the console's colours, from
the screens kept as text under tests/golden/ (each cell's character and
colour letter, and the cursor). `make golden` runs it after rewriting those
files, so the pictures show the screens as they are.

    scripts/screen-pictures.py            writes docs/screens/*.svg
    scripts/screen-pictures.py --check    only says which are out of date

The same screens always give the same bytes. Python's standard library only.
"""
import html
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
GOLDEN = ROOT / "tests" / "golden"
OUT = ROOT / "docs" / "screens"

# The console's 16 colours.
PALETTE = {
    "black": "#000000", "blue": "#0000AA", "green": "#00AA00", "cyan": "#00AAAA",
    "red": "#AA0000", "magenta": "#AA00AA", "brown": "#AA5500", "light grey": "#AAAAAA",
    "dark grey": "#555555", "light blue": "#5555FF", "light green": "#55FF55",
    "light cyan": "#55FFFF", "light red": "#FF5555", "light magenta": "#FF55FF",
    "yellow": "#FFFF55", "white": "#FFFFFF",
}

# What each colour letter of the golden screens stands for: (foreground,
# background). The legend line of every screen must say the same.
LETTERS = {
    "F": ("white", "blue"),    # frame
    "S": ("white", "black"),   # shadow
    "B": ("white", "brown"),   # banner
    "N": ("yellow", "blue"),   # entry
    "H": ("white", "red"),     # selected
}

# The pictures: screen file, picture file, what it shows.
PICTURES = [
    ("main_menu_0", "main-menu", "The main menu, Display selected"),
    ("dip_0", "dip-switches", "The DIP switch screen, Game Mode selected"),
    ("save_prompt", "save-prompt", "The question before saving"),
    ("save_failed", "save-failed", "The box shown when a save fails"),
]

CELL_W, CELL_H, FONT_SIZE, BASELINE = 9, 16, 15, 12


class BadScreen(Exception):
    pass


def read_screen(path):
    """The text rows, colour rows and cursor (column, row) or None of a golden screen."""
    lines = path.read_text(encoding="ascii").split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    if len(lines) < 4 or len(lines) % 2:
        raise BadScreen(f"{len(lines)} lines, not a legend, text rows, colour rows and a cursor")
    check_legend(lines[0])
    rows = (len(lines) - 2) // 2
    text = [strip_bar(line) for line in lines[1:1 + rows]]
    colours = [strip_bar(line) for line in lines[1 + rows:1 + 2 * rows]]
    width = len(text[0])
    for n, row in enumerate(text + colours, start=2):
        if len(row) != width:
            raise BadScreen(f"line {n} is {len(row)} cells wide, the first row {width}")
    for n, row in enumerate(colours, start=2 + rows):
        unknown = set(row) - set(LETTERS)
        if unknown:
            raise BadScreen(f"line {n}: colour letters {''.join(sorted(unknown))} this script does not know")
    m = re.fullmatch(r"cursor (\d+),(\d+) (shown|hidden)", lines[-1])
    if not m:
        raise BadScreen(f"last line {lines[-1]!r} is no cursor line")
    cursor = (int(m[1]), int(m[2])) if m[3] == "shown" else None
    return text, colours, cursor


def strip_bar(line):
    if not line.endswith("|"):
        raise BadScreen(f"row {line!r} does not end in '|'")
    return line[:-1]


def check_legend(line):
    """The legend must give each letter the colours that LETTERS gives it."""
    said = {m[1]: (m[2], m[3]) for m in re.finditer(r"(\w) \w[\w ]* \(([\w ]+) on ([\w ]+)\)", line)}
    if said != LETTERS:
        raise BadScreen(f"legend {line!r} differs from this script's table {LETTERS}")


def runs(row):
    """(start, end, value) of each run of equal values in the row."""
    start = 0
    for i in range(1, len(row) + 1):
        if i == len(row) or row[i] != row[start]:
            yield start, i, row[start]
            start = i


def svg(title, text, colours, cursor):
    width, height = len(text[0]) * CELL_W, len(text) * CELL_H
    out = [
        f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{height}" '
        f'viewBox="0 0 {width} {height}" role="img">',
        f"<title>{html.escape(title)}</title>",
        '<g shape-rendering="crispEdges">',
    ]
    # The commonest background fills the picture; the other runs go on it.
    backgrounds = [[LETTERS[letter][1] for letter in row] for row in colours]
    flat = [b for row in backgrounds for b in row]
    common = max(sorted(set(flat)), key=flat.count)
    out.append(f'<rect width="{width}" height="{height}" fill="{PALETTE[common]}"/>')
    for y, row in enumerate(backgrounds):
        for start, end, background in runs(row):
            if background != common:
                out.append(f'<rect x="{start * CELL_W}" y="{y * CELL_H}" width="{(end - start) * CELL_W}" '
                           f'height="{CELL_H}" fill="{PALETTE[background]}"/>')
    out += ["</g>", f'<g font-family="\'DejaVu Sans Mono\', Consolas, \'Courier New\', monospace" '
            f'font-size="{FONT_SIZE}" xml:space="preserve">']
    for y, (chars, row) in enumerate(zip(text, colours)):
        for start, end, letter in runs(row):
            piece = chars[start:end]
            lead = len(piece) - len(piece.lstrip(" "))
            piece = piece.strip(" ")
            if not piece:
                continue
            x = (start + lead) * CELL_W
            out.append(f'<text x="{x}" y="{y * CELL_H + BASELINE}" textLength="{len(piece) * CELL_W}" '
                       f'lengthAdjust="spacingAndGlyphs" fill="{PALETTE[LETTERS[letter][0]]}">'
                       f"{html.escape(piece, quote=False)}</text>")
    if cursor:
        column, row = cursor
        colour = PALETTE[LETTERS[colours[row][column]][0]]
        out.append(f'<rect x="{column * CELL_W}" y="{row * CELL_H + CELL_H - 3}" width="{CELL_W}" '
                   f'height="2" fill="{colour}"/>')
    out += ["</g>", "</svg>", ""]
    return "\n".join(out)


def main(args):
    check_only = args == ["--check"]
    if args and not check_only:
        print(__doc__.split("\n\n")[1], file=sys.stderr)
        return 2
    stale = []
    for screen, picture, title in PICTURES:
        source = GOLDEN / f"{screen}.txt"
        try:
            drawn = svg(title, *read_screen(source))
        except (BadScreen, OSError, UnicodeDecodeError) as e:
            print(f"screen-pictures: {source.relative_to(ROOT)}: {e}", file=sys.stderr)
            return 1
        target = OUT / f"{picture}.svg"
        if target.exists() and target.read_text(encoding="utf-8") == drawn:
            continue
        stale.append(str(target.relative_to(ROOT)))
        if not check_only:
            OUT.mkdir(parents=True, exist_ok=True)
            target.write_text(drawn, encoding="utf-8", newline="\n")
    if check_only and stale:
        print(f"screen-pictures: out of date: {' '.join(stale)} (`make golden` redraws them)", file=sys.stderr)
        return 1
    for name in stale:
        print(f"screen-pictures: drew {name}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
