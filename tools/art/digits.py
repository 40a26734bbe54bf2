"""The LED glyph strip: 18 cells of 14 x 20 pixels, drawn pixel by pixel.

Four colours only: black background, cyan lit segments, and unlit segments as a dotted
outline of alternating greys (102 and 153) with every other pixel left black.  The
seven-segment figures lean to the right and stay within columns 0-12 and rows 1-18 of
their cell; column 13 and rows 0 and 19 stay black except for the dot of cells 16, 17.

Cells: 0-9 digits, 10 blank (all unlit), 11 lit colon, 12 unlit colon, 13 bare lit bar,
14 empty, 15 unlit frame with the middle bar lit, 16 lit dot, 17 unlit dot.
"""

from PIL import Image

CELL_W, CELL_H, CELLS = 14, 20, 18

BLACK, CYAN, GREY_DK, GREY_LT = 0, 1, 2, 3
PALETTE = [(0, 0, 0), (0, 255, 255), (102, 102, 102), (153, 153, 153)]

# Upright segment shapes on a 10 x 18 box (columns 0-9, rows 1-18); the slant is
# applied afterwards.  Each segment is a set of (column, row).
def _h_segment(row_outer, row_inner):
    return {(x, row_outer) for x in range(2, 8)} | {(x, row_inner) for x in range(3, 7)}


def _v_segment(col_outer, col_inner, r0, r1):
    return {(col_outer, y) for y in range(r0, r1 + 1)} | {(col_inner, y) for y in range(r0 + 1, r1)}


SEGMENTS = {
    "a": _h_segment(1, 2),
    "d": _h_segment(18, 17),
    # the middle bar is a small parallelogram that follows the slant
    "g": {(x, 9) for x in range(2, 8)} | {(x, 10) for x in range(1, 7)},
    "f": _v_segment(0, 1, 3, 8),
    "b": _v_segment(9, 8, 3, 8),
    "e": _v_segment(0, 1, 11, 16),
    "c": _v_segment(9, 8, 11, 16),
}

DIGITS = {
    "0": "abcdef", "1": "bc", "2": "abdeg", "3": "abcdg", "4": "bcfg",
    "5": "acdfg", "6": "acdefg", "7": "abc", "8": "abcdefg", "9": "abcdfg",
}


# Rightward shift of each row (the italic lean): 3 pixels at the top, none at the foot.
# The steps fall in the middle of the upright segments so that each one leans evenly.
_SLANT = {1: 3, 2: 3, 3: 3, 4: 3, 5: 3, 6: 2, 7: 2, 8: 2, 9: 2, 10: 2,
          11: 1, 12: 1, 13: 1, 14: 0, 15: 0, 16: 0, 17: 0, 18: 0}


def slant(row):
    return _SLANT.get(row, 0)


def _put_lit(px, ox, cells):
    for (x, y) in cells:
        px[ox + x + slant(y), y] = CYAN


def _put_unlit(px, ox, cells):
    for (x, y) in cells:
        X = x + slant(y)
        if (X + y) % 2:
            continue  # every other pixel stays black
        px[ox + X, y] = GREY_LT if ((X + y) // 2) % 2 else GREY_DK


def _seven(px, ox, lit):
    for name, cells in SEGMENTS.items():
        if name in lit:
            _put_lit(px, ox, cells)
        else:
            _put_unlit(px, ox, cells)


def _colon(px, ox, lit):
    # two dots of 3 x 3 pixels; the lower one sits further left, following the slant
    for x0, rows in ((6, range(5, 8)), (4, range(13, 16))):
        for y in rows:
            for x in range(x0, x0 + 3):
                if lit:
                    px[ox + x, y] = CYAN
                else:
                    px[ox + x, y] = GREY_LT if (x + y) % 2 else GREY_DK


def glyph_strip():
    img = Image.new("P", (CELL_W * CELLS, CELL_H), BLACK)
    pal = []
    for c in PALETTE:
        pal.extend(c)
    pal.extend([0, 0, 0] * (256 - len(PALETTE)))
    img.putpalette(pal)
    px = img.load()
    for k in range(10):
        _seven(px, k * CELL_W, DIGITS[str(k)])
    _seven(px, 10 * CELL_W, "")                 # " "  blank digit frame
    _colon(px, 11 * CELL_W, True)               # ":"  lit colon
    _colon(px, 12 * CELL_W, False)              # ";"  unlit colon
    _put_lit(px, 13 * CELL_W, SEGMENTS["g"])    # "-"  bare lit bar
    # cell 14 ("'") stays black
    _seven(px, 15 * CELL_W, "g")                # "."  frame with the middle bar lit
    px[16 * CELL_W + 6, 18] = CYAN              # ","  lit dot, column 6, rows 18-19
    px[16 * CELL_W + 6, 19] = CYAN
    px[17 * CELL_W + 6, 18] = GREY_LT           # unlit dot (selected by no character)
    px[17 * CELL_W + 6, 19] = GREY_DK
    return img
