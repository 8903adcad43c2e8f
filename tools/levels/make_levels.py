#!/usr/bin/python3
"""Builds the campaign's level records from their pattern descriptions.

Reads tools/levels/levels.txt (format described at its top), checks every property the
level catalogue promises (sizes, colours, rows, hanging, orbs, the opening) and writes
src/core/levels_data.cpp, the compiled-in array core::levels_data::kLevels.

    /usr/bin/python3 tools/levels/make_levels.py            # check and write the data file
    /usr/bin/python3 tools/levels/make_levels.py --check    # check only, write nothing
    /usr/bin/python3 tools/levels/make_levels.py --report   # per-level report as well
    /usr/bin/python3 tools/levels/make_levels.py --show 42  # one level, state by state

Standard library only. The output depends on nothing but the description file, so running
the tool twice gives the same bytes.
"""

import argparse
import os
import sys

ROWS = 14
COLS = 11
MAX_INCOMING = 16
ORBS = 3
MAX_ORB_ROW = 17
LOSS_ROW = 13
LEVELS = 100

# Marbles per level (the first block varies per level) and incoming rows per block.
FIRST_BLOCK_BUBBLES = [88, 88, 58, 55, 11, 19, 88, 88, 17, 14]
BLOCK_BUBBLES = [None, 99, 91, 81, 38, 44, 187, 198, 37, 92]
BLOCK_INCOMING = [3, 4, 6, 7, 9, 10, 12, 13, 15, 16]
LEVEL0_STRIPES = [
    "00011122233",
    "00011122233",
    "11122233300",
    "11122233300",
    "22233300011",
]

# Starting-board singles the validator allows: a level must not open with a pattern that
# leaves many lone marbles (each needs two shots of its colour) where the first shots go.
MAX_OPEN_SINGLES = 2


def expected_bubbles(i):
    return FIRST_BLOCK_BUBBLES[i] if i < 10 else BLOCK_BUBBLES[i // 10]


def expected_incoming(i):
    return BLOCK_INCOMING[i // 10]


def expected_colors(i):
    return min(4 + i // 20, 6)


def expected_board_rows(i):
    return 4 if i == 9 else 5


def shots_per_descent(i):
    return max(6 - i // 20, 3)


OBSTACLES = [
    "none",
    "1 stone",
    "2 stones",
    "1 bumper",
    "2 stones, 1 bumper",
    "1 bumper, 2 stones, 1 puddle",
    "2 bumpers, 1 puddle",
    "2 stones, 1 bumper, 2 puddles",
    "2 bumpers, 2 stones, 1 puddle",
    "2 stones, 3 bumpers, 1 puddle",
]


class DescError(Exception):
    pass


class Level:
    """One parsed description.

    picture: the whole level as it hangs once every incoming row has entered, top line
    first: the incoming rows (last to enter on top), then the starting board rows.
    Cells are -1 or a colour; orbs are (picture line, column) pairs of the marked cells.
    """

    def __init__(self, index, name, line):
        self.index = index
        self.name = name
        self.line = line
        self.incoming_lines = []
        self.board_lines = []
        self.orb_cells = []
        self.seen_separator = False

    def finish(self):
        """Derives the record's fields once the picture is complete."""
        self.incoming_count = len(self.incoming_lines)
        self.picture = self.incoming_lines + self.board_lines
        n = self.incoming_count
        # incoming[0] enters first, so it is the line just above the separator.
        self.incoming = list(reversed(self.incoming_lines))
        self.board = [row[:] for row in self.board_lines]
        while len(self.board) < ROWS:
            self.board.append([-1] * COLS)
        # An orb marked on picture line p rests on that marble once all n rows are in:
        # its field row is then p, so its record row is p + n (orbs rise one row per entry).
        self.orbs = [(p + n, c) for (p, c) in self.orb_cells]
        self.bubbles = sum(1 for row in self.picture for v in row if v >= 0)
        self.num_colors = expected_colors(self.index)


def parse_cells(text, where):
    cells = []
    orbs = []
    for c, ch in enumerate(text):
        if ch == ".":
            cells.append(-1)
        elif "0" <= ch <= "5":
            cells.append(ord(ch) - ord("0"))
        elif "a" <= ch <= "f":
            cells.append(ord(ch) - ord("a"))
            orbs.append(c)
        else:
            raise DescError(f"{where}: unexpected character {ch!r}")
    if len(cells) != COLS:
        raise DescError(f"{where}: a row has {COLS} cells, this one {len(cells)}")
    return cells, orbs


def parse(path):
    levels = []
    cur = None
    with open(path, encoding="utf-8") as f:
        for lineno, raw in enumerate(f, 1):
            where = f"{path}:{lineno}"
            text = raw.split("#", 1)[0].strip()
            if not text:
                continue
            if text.startswith("level "):
                parts = text.split(None, 2)
                if len(parts) < 3 or not parts[1].isdigit():
                    raise DescError(f"{where}: expected 'level <index> <name>'")
                index = int(parts[1])
                if index != len(levels):
                    raise DescError(f"{where}: level {index} out of order, expected {len(levels)}")
                if cur is not None:
                    cur.finish()
                cur = Level(index, parts[2].strip(), lineno)
                levels.append(cur)
                continue
            if cur is None:
                raise DescError(f"{where}: picture line before the first 'level'")
            if set(text) == {"-"}:
                if cur.seen_separator:
                    raise DescError(f"{where}: second separator in level {cur.index}")
                cur.seen_separator = True
                continue
            cells, orb_cols = parse_cells(text.split()[0], where)
            if not cur.seen_separator:
                p = len(cur.incoming_lines)
                cur.incoming_lines.append(cells)
            else:
                p = len(cur.incoming_lines) + len(cur.board_lines)
                cur.board_lines.append(cells)
            cur.orb_cells.extend((p, c) for c in orb_cols)
    if cur is not None:
        cur.finish()
    for lv in levels:
        if not lv.seen_separator:
            raise DescError(f"{path}:{lv.line}: level {lv.index} has no '-----' line")
    return levels


# ---- hex rules (as in src/core/grid) ----------------------------------------------------


def neighbors(r, c, parity=0):
    """A row sits half a cell to the right when its index plus the grid's parity is odd.
    Pictures count from the starting board's first row (parity 0), so a grid that starts
    k rows higher in the picture has parity k & 1: the lattice never shears."""
    if (r + parity) & 1:
        return [(r, c - 1), (r, c + 1), (r - 1, c), (r - 1, c + 1), (r + 1, c), (r + 1, c + 1)]
    return [(r, c - 1), (r, c + 1), (r - 1, c - 1), (r - 1, c), (r + 1, c - 1), (r + 1, c)]


def cell(grid, r, c):
    if 0 <= r < len(grid) and 0 <= c < COLS:
        return grid[r][c]
    return -1


def floating(grid, parity=0):
    """Occupied cells not connected to the first occupied row (core::floatingBubbles)."""
    anchor = next((r for r, row in enumerate(grid) if any(v != -1 for v in row)), None)
    if anchor is None:
        return []
    seen = {(anchor, c) for c in range(COLS) if grid[anchor][c] != -1}
    todo = list(seen)
    while todo:
        r, c = todo.pop()
        for n in neighbors(r, c, parity):
            if n not in seen and cell(grid, *n) != -1:
                seen.add(n)
                todo.append(n)
    return [(r, c) for r, row in enumerate(grid) for c, v in enumerate(row)
            if v != -1 and (r, c) not in seen]


def groups(grid, parity=0):
    """Same-colour groups (lists of cells) of a grid whose row 0 is a field row 0."""
    seen = set()
    out = []
    for r, row in enumerate(grid):
        for c, v in enumerate(row):
            if v < 0 or (r, c) in seen:
                continue
            group = [(r, c)]
            seen.add((r, c))
            i = 0
            while i < len(group):
                for n in neighbors(*group[i], parity):
                    if n not in seen and cell(grid, *n) == v:
                        seen.add(n)
                        group.append(n)
                i += 1
            out.append(group)
    return out


def open_cells(grid):
    """Occupied cells a first shot can touch: next to an empty cell that is reachable
    through empty cells from the bottom of the field."""
    rows = max(len(grid), ROWS)
    free = set()
    todo = [(rows - 1, c) for c in range(COLS) if cell(grid, rows - 1, c) == -1]
    free.update(todo)
    while todo:
        r, c = todo.pop()
        for n in neighbors(r, c):
            if 0 <= n[0] < rows and 0 <= n[1] < COLS and n not in free and cell(grid, *n) == -1:
                free.add(n)
                todo.append(n)
    return {(r, c) for r, row in enumerate(grid) for c, v in enumerate(row)
            if v >= 0 and any(n in free for n in neighbors(r, c))}


def stack(lv, k):
    """The level as it hangs after k incoming rows have entered (nothing popped); its
    parity is k & 1."""
    n = lv.incoming_count
    return [row[:] for row in lv.picture[n - k:]]


def orb_track(lv, orb):
    """Per entered-row count k = 0..n: (field row, marble source or None)."""
    r0, c = orb
    n = lv.incoming_count
    out = []
    for k in range(n + 1):
        row = r0 - k
        src = None
        if 0 <= row < ROWS:
            line = row + n - k  # picture line now at that field row
            if line < len(lv.picture) and lv.picture[line][c] >= 0:
                src = ("B", line - n) if line >= n else ("I", n - 1 - line)
        out.append((row, src))
    return out


# ---- validation ------------------------------------------------------------------------


def validate(levels):
    errors = []

    def err(lv, msg):
        errors.append(f"level {lv.index} ({lv.name}): {msg}")

    if len(levels) != LEVELS:
        errors.append(f"{len(levels)} levels described, {LEVELS} needed")
    for lv in levels:
        i = lv.index
        n = lv.incoming_count
        if n != expected_incoming(i):
            err(lv, f"{n} incoming rows, the table says {expected_incoming(i)}")
        if n > MAX_INCOMING:
            continue
        if lv.bubbles != expected_bubbles(i):
            err(lv, f"{lv.bubbles} marbles, the table says {expected_bubbles(i)}")
        br = expected_board_rows(i)
        if len(lv.board_lines) != br:
            err(lv, f"starting board has {len(lv.board_lines)} rows, it must fill exactly {br}")
        for r, row in enumerate(lv.board_lines):
            if all(v < 0 for v in row):
                err(lv, f"starting board row {r} is empty")
        for j, row in enumerate(lv.incoming):
            if all(v < 0 for v in row):
                err(lv, f"incoming row {j} is empty")
        for row in lv.picture:
            for v in row:
                if v >= lv.num_colors:
                    err(lv, f"colour {v} at or above the level's {lv.num_colors} colours")
        used = {v for row in lv.picture for v in row if v >= 0}
        if len(used) != lv.num_colors:
            err(lv, f"uses {len(used)} of its {lv.num_colors} colours")
        if i == 0:
            want = [[int(ch) for ch in s] for s in LEVEL0_STRIPES]
            if lv.board_lines != want:
                err(lv, "level 0's starting board must be the four-colour stripes")
        # Hanging: after every entry (and at the start) everything hangs from row 0.
        for k in range(n + 1):
            loose = floating(stack(lv, k), k & 1)
            if loose:
                err(lv, f"after {k} incoming rows, {len(loose)} marbles hang loose, e.g. "
                        f"field cell {loose[0]}")
        # Star orbs.
        if len(lv.orbs) != ORBS:
            err(lv, f"{len(lv.orbs)} star orbs marked, {ORBS} needed")
        if len(set(lv.orbs)) != len(lv.orbs):
            err(lv, "two star orbs share a cell")
        for orb in lv.orbs:
            r0, c = orb
            if not (0 <= r0 <= MAX_ORB_ROW and 0 <= c < COLS):
                err(lv, f"star orb {orb} outside rows 0..{MAX_ORB_ROW}, columns 0..10")
                continue
            rest = r0 - n
            if not (0 <= rest < LOSS_ROW):
                err(lv, f"star orb {orb} ends at field row {rest}, outside rows 0..12")
            track = orb_track(lv, orb)
            if track[-1][1] is None:
                err(lv, f"star orb {orb} rests on no marble once all rows are in")
        # The opening: few lone marbles where the first shots land.
        board = [row[:] for row in lv.board_lines]
        singles = {g[0] for g in groups(board) if len(g) == 1}
        open_singles = singles & open_cells(board)
        if len(open_singles) > MAX_OPEN_SINGLES:
            err(lv, f"{len(open_singles)} lone marbles open to the first shots "
                    f"(at most {MAX_OPEN_SINGLES}): {sorted(open_singles)}")
        if len(singles) * 8 > sum(1 for row in board for v in row if v >= 0):
            err(lv, f"{len(singles)} lone marbles on the starting board (more than one in eight)")
    return errors


# ---- report ----------------------------------------------------------------------------


def group_stats(grid, parity=0):
    sizes = [len(g) for g in groups(grid, parity)]
    return {
        "singles": sum(1 for s in sizes if s == 1),
        "pairs": sum(1 for s in sizes if s == 2),
        "triples": sum(1 for s in sizes if s == 3),
        "larger": sum(1 for s in sizes if s > 3),
        "largest": max(sizes) if sizes else 0,
        "mean": (sum(sizes) / len(sizes)) if sizes else 0.0,
    }


def describe_track(lv, orb):
    track = orb_track(lv, orb)
    marks = []
    for row, src in track:
        if row >= ROWS:
            marks.append("_")
        elif row < 0:
            marks.append("^")
        elif src is None:
            marks.append("o")
        else:
            marks.append(src[0])
    row, src = track[-1]
    kind = "board row" if src[0] == "B" else "incoming row"
    return (f"orb ({orb[0]:2},{orb[1]:2}): k=0..{len(track) - 1} {''.join(marks)}  "
            f"rests on {kind} {src[1]} at field row {row}")


def report(lv):
    board = [row[:] for row in lv.board_lines]
    mix = [sum(1 for row in lv.picture for v in row if v == col) for col in range(lv.num_colors)]
    st = group_stats(board)
    whole = group_stats(lv.picture, lv.incoming_count & 1)
    onboard = sum(1 for row in board for v in row if v >= 0)
    out = [
        f"level {lv.index:2} ({lv.index + 1:3}) {lv.name}: {lv.bubbles} marbles = "
        f"{onboard} on the board + {lv.bubbles - onboard} in {lv.incoming_count} incoming rows; "
        f"{lv.num_colors} colours, descent every {shots_per_descent(lv.index)} shots, "
        f"obstacles: {OBSTACLES[lv.index // 10]}",
        "    colour mix " + " ".join(f"{c}:{m}" for c, m in enumerate(mix)),
        f"    start: {st['singles']} singles, {st['pairs']} pairs, {st['triples']} triples, "
        f"{st['larger']} larger (largest {st['largest']}, mean {st['mean']:.2f}); "
        f"whole level mean group {whole['mean']:.2f}",
    ]
    out += ["    " + describe_track(lv, orb) for orb in lv.orbs]
    return "\n".join(out)


def show(lv):
    """The level state by state in hex layout, for designing."""
    out = [report(lv), ""]
    n = lv.incoming_count
    for k in (0, n):
        out.append(f"  after {k} incoming rows:")
        grid = stack(lv, k)
        orbs_now = {(r0 - k, c) for r0, c in lv.orbs}
        for r, row in enumerate(grid):
            cells = []
            for c, v in enumerate(row):
                ch = "." if v < 0 else str(v)
                cells.append(f"[{ch}]" if (r, c) in orbs_now else f" {ch} ")
            out.append(f"  {r:2} " + (" " if (r + k) & 1 else "") + "".join(cells).rstrip())
        out.append("")
    return "\n".join(out)


# ---- output ----------------------------------------------------------------------------


def fmt_row(row):
    return "{" + ", ".join(f"{v:2}" for v in row) + "}"


def emit(levels, src_name):
    lines = [
        "// Generated by tools/levels/make_levels.py from " + src_name + ". Do not edit by hand:",
        "// change the level's description there and run",
        "//     /usr/bin/python3 tools/levels/make_levels.py",
        "// Record i is flat level i (shown as i + 1).",
        '#include "core/levels_data.h"',
        "",
        "namespace core::levels_data {",
        "",
        "// clang-format off",
        "const Level kLevels[kLevelCount] = {",
    ]
    empty = [-1] * COLS
    for lv in levels:
        lines.append(f"    // [{lv.index}] level {lv.index + 1}: {lv.name}")
        lines.append("    {")
        lines.append("        {  // board")
        for row in lv.board:
            lines.append("            " + fmt_row(row) + ",")
        lines.append("        },")
        lines.append("        {  // incoming, first to enter first")
        for j in range(MAX_INCOMING):
            row = lv.incoming[j] if j < lv.incoming_count else empty
            lines.append("            " + fmt_row(row) + ",")
        lines.append("        },")
        lines.append(f"        {lv.incoming_count},")
        orbs = ", ".join("{" + f"{r}, {c}" + "}" for r, c in lv.orbs)
        lines.append("        {" + orbs + "},")
        lines.append(f"        {len(lv.orbs)},")
        lines.append(f"        {lv.bubbles},")
        lines.append(f"        {lv.num_colors},")
        lines.append("    },")
    lines += ["};", "// clang-format on", "", "}  // namespace core::levels_data", ""]
    return "\n".join(lines)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    root = os.path.dirname(os.path.dirname(here))
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--input", default=os.path.join(here, "levels.txt"))
    ap.add_argument("--output", default=os.path.join(root, "src", "core", "levels_data.cpp"))
    ap.add_argument("--check", action="store_true", help="check only, write nothing")
    ap.add_argument("--report", action="store_true", help="print the per-level report")
    ap.add_argument("--show", type=int, nargs="*", default=[], help="levels to draw")
    args = ap.parse_args()
    try:
        levels = parse(args.input)
    except (OSError, DescError) as e:
        print(f"make_levels: {e}", file=sys.stderr)
        return 2
    for i in args.show:
        if 0 <= i < len(levels):
            print(show(levels[i]))
    if args.report:
        for lv in levels:
            print(report(lv))
    errors = validate(levels)
    for e in errors:
        print("make_levels: " + e, file=sys.stderr)
    if errors:
        print(f"make_levels: {len(errors)} problems, nothing written", file=sys.stderr)
        return 1
    if args.check:
        return 0
    text = emit(levels, os.path.relpath(args.input, root))
    with open(args.output, "w", encoding="utf-8") as f:
        f.write(text)
    print(f"make_levels: wrote {len(levels)} levels to {os.path.relpath(args.output, root)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
