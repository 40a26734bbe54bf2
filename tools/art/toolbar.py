"""Main toolbar pictures (ImgLstToolbarOn, 32 x 32) and the application icon.

Toolbar pictures are rounded navy tiles with a light glyph, drawn on a 32-unit grid.
The application icon is drawn on a 256-unit grid and rendered at every size.
"""

from artlib import (AMBER, CARD2, CYAN, CYAN2, CYAN_HI, INDIGO, NAVY0, NAVY1, NAVY2,
                    RED, TEAL, WHITE, Canvas, bezier, ellipse_pts, mix, rgba)
import icons

GLYPH = (244, 248, 255)


def tile(c, top=INDIGO, bottom=NAVY1, accent=CYAN):
    m = c.mask_rrect(1, 1, 31, 31, 7)
    c.shadow(m, 0, 0.6, 0.8, (0, 0, 0), 90)
    c.fill_gradient(m, (0, 1), (0, 31), [(0, top), (1, bottom)])
    # soft glow of the accent colour from the lower edge
    c.fill_radial(m, (16, 34), 20, [(0, rgba(accent, 70)), (1, rgba(accent, 0))])
    # top highlight and edge
    c.fill(c.m_sub(m, c.mask_rrect(1, 2, 31, 31, 7)), rgba(WHITE, 70))
    inner = c.mask_rrect(1.7, 1.7, 30.3, 30.3, 6.3)
    c.fill(c.m_sub(m, inner), rgba(NAVY0, 150))
    return m


def badge(c, cx, cy, r, color, sign):
    m = c.mask_circle(cx, cy, r)
    c.shadow(m, 0, 0.5, 0.6, (0, 0, 0), 120)
    c.fill_gradient(m, (cx, cy - r), (cx, cy + r), [(0, mix(color, WHITE, 0.3)), (1, color)])
    c.fill(c.m_sub(c.mask_circle(cx, cy, r + 0.9), m), rgba(NAVY1, 230))
    s = r * 0.55
    c.stroke([(cx - s, cy), (cx + s, cy)], 2.0, WHITE, caps=False)
    if sign == "+":
        c.stroke([(cx, cy - s), (cx, cy + s)], 2.0, WHITE, caps=False)


def glyph_note(c, x=13, y=21, h=13):
    icons.note(c, x, y, h, GLYPH, head=3.3)


def t_add(c):
    tile(c)
    glyph_note(c, 12, 20.5, 13)
    badge(c, 22.5, 22.5, 5.2, TEAL, "+")


def t_remove(c):
    tile(c)
    glyph_note(c, 12, 20.5, 13)
    badge(c, 22.5, 22.5, 5.2, RED, "-")


def t_clear(c):
    tile(c)
    # bin body
    body = c.mask_poly([(9.5, 11), (22.5, 11), (21.3, 26), (10.7, 26)])
    c.fill_gradient(body, (0, 11), (0, 26), [(0, GLYPH), (1, CARD2)])
    for x in (13.3, 16, 18.7):
        c.stroke([(x, 13.5), (x, 23.5)], 1.2, INDIGO)
    # lid
    c.fill(c.mask_rrect(7.5, 7.5, 24.5, 10, 1.2), GLYPH)
    c.fill(c.mask_rrect(13, 5, 19, 8.5, 1.0), GLYPH)
    c.fill(c.mask_rrect(14.6, 6.4, 17.4, 7.6, 0.3), INDIGO)


def t_output(c):
    tile(c, accent=AMBER)
    back = c.mask_poly([(6, 9), (13, 9), (15, 11), (26, 11), (26, 25), (6, 25)])
    c.fill(back, mix(AMBER, (0, 0, 0), 0.15))
    front = c.mask_poly([(6, 14), (26, 14), (26, 25), (6, 25)])
    c.fill_gradient(front, (0, 14), (0, 25), [(0, (255, 214, 110)), (1, AMBER)])
    # arrow leaving the folder
    c.stroke([(12, 20), (19.5, 20)], 2.6, NAVY1, caps=False)
    c.fill(c.mask_poly([(18.5, 15.8), (23.5, 20), (18.5, 24.2)]), NAVY1)


def t_layout(c):
    tile(c)
    lw = 1.6
    c.rrect(6, 7, 26, 25, 2, fill=rgba(GLYPH, 40), outline=GLYPH, width=lw)
    c.fill(c.mask_rect(6, 7, 26, 10.5), GLYPH)
    c.fill(c.mask_rect(13, 10, 14.6, 25), GLYPH)
    c.fill(c.mask_rect(14, 17, 26, 18.5), GLYPH)
    # swap arrows in the corner
    c.fill(c.mask_circle(23.5, 24, 6.0), NAVY1)
    c.arc(23.5, 24, 3.6, 200, 340, 1.5, CYAN)
    c.arc(23.5, 24, 3.6, 20, 160, 1.5, CYAN)
    c.fill(c.mask_poly([(25.6, 18.8), (28.6, 21.2), (25.2, 22.4)]), CYAN)
    c.fill(c.mask_poly([(21.4, 29.2), (18.4, 26.8), (21.8, 25.6)]), CYAN)


def t_options(c):
    tile(c)
    for y, k in ((10, 20), (16, 11), (22, 17)):
        c.stroke([(7.5, y), (24.5, y)], 1.8, rgba(GLYPH, 200))
        c.fill(c.mask_circle(k, y, 3.0), NAVY1)
        m = c.mask_circle(k, y, 2.5)
        c.fill_gradient(m, (k, y - 2.5), (k, y + 2.5), [(0, CYAN_HI), (1, CYAN2)])


def t_stop(c):
    tile(c)
    m = c.mask_rrect(10, 10, 22, 22, 2)
    c.fill_gradient(m, (0, 10), (0, 22), [(0, GLYPH), (1, CARD2)])


def t_play(c):
    tile(c)
    pts = [(12, 8.5), (24, 16), (12, 23.5)]
    m = c.mask_poly(pts)
    m = c.m_shrink(c.m_grow(m, 1.0), 0.0)
    c.fill_gradient(m, (0, 8), (0, 24), [(0, GLYPH), (1, CARD2)])


def t_diet(c):
    tile(c, top=(24, 170, 170), bottom=(10, 70, 98), accent=CYAN_HI)
    icons.note(c, 14.2, 21.8, 13.5, GLYPH, head=3.4)
    # squeeze chevrons from both sides, the motif of the application icon
    for sgn in (-1, 1):
        base = 16 + sgn * 12.2
        tip = 16 + sgn * 8.2
        ch = c.mask_stroke([(base, 11.5), (tip, 16), (base, 20.5)], 2.2)
        c.fill(c.m_grow(ch, 0.6), rgba(NAVY1, 120))
        c.fill(ch, CYAN_HI)


def t_refresh(c):
    tile(c)
    icons.disc(c, 16, 16, 8.2)
    c.arc(16, 16, 11.3, 210, 320, 2.0, CYAN)
    c.arc(16, 16, 11.3, 30, 140, 2.0, CYAN)
    c.fill(c.mask_poly([(24.6, 5.2), (28.2, 10.6), (22.4, 11.0)]), CYAN)
    c.fill(c.mask_poly([(7.4, 26.8), (3.8, 21.4), (9.6, 21.0)]), CYAN)


TOOLBAR = [
    (1, t_add, "Add (添加)"),
    (2, t_remove, "Remove (移除)"),
    (3, t_clear, "Clear (全部清除)"),
    (4, t_output, "Output (输出)"),
    (5, t_layout, "layout (界面)"),
    (6, t_options, "Options (选项)"),
    (7, t_stop, "not used by a button: stop"),
    (8, t_play, "not used by a button: play"),
    (9, t_diet, "Diet (开始压缩)"),
    (10, t_refresh, "refresh (刷新 CD)"),
]


def render_tool(fn, px):
    c = Canvas(32, 32, px=px / 32.0)
    fn(c)
    return c.result()


# --- application icon ---------------------------------------------------------------
def app_icon(c, small=False, tiny=False):
    m = c.mask_rrect(12, 12, 244, 244, 56)
    c.shadow(m, 0, 4, 6, (0, 0, 0), 110)
    c.fill_gradient(m, (0, 12), (0, 244), [(0, (40, 52, 150)), (0.55, NAVY2), (1, NAVY0)])
    c.fill_radial(m, (128, 150), 130, [(0, rgba(CYAN, 95)), (0.6, rgba(CYAN, 20)), (1, rgba(CYAN, 0))])
    c.fill(c.m_sub(m, c.mask_rrect(12, 16, 244, 244, 56)), rgba(WHITE, 60))
    if not small:
        # faint level bars in the back: a waveform pinched at the waist
        for i in range(11):
            x = 44 + i * 16.8
            d = abs(i - 5) / 5.0
            h = 30 + 120 * d ** 1.4
            c.fill(c.mask_rrect(x - 5, 128 - h / 2, x + 5, 128 + h / 2, 5), rgba(CYAN, 46))
    # the note
    if tiny:
        head = c.mask_poly(ellipse_pts(104, 180, 42, 31, -24))
        stem = c.mask_rect(132, 44, 152, 176)
        flag = c.mask_poly(bezier((142, 44), (166, 96), (222, 92), (190, 164), n=30)
                           + bezier((182, 150), (192, 118), (166, 110), (142, 96), n=30))
    else:
        head = c.mask_poly(ellipse_pts(110, 176, 31, 23, -24))
        stem = c.mask_rect(132, 62, 146, 172)
        flag = c.mask_poly(bezier((139, 62), (158, 100), (204, 100), (180, 154), n=30)
                           + bezier((174, 146), (186, 120), (162, 112), (140, 100), n=30))
    nm = c.m_add(c.m_add(head, stem), flag)
    c.glow(nm, CYAN, 10, 1.2)
    c.fill_gradient(nm, (0, 60), (0, 200), [(0, WHITE), (1, CYAN_HI)])
    # squeeze chevrons at the waist
    if not tiny:
        for sgn in (-1, 1):
            base = 128 + sgn * 100
            tip = 128 + sgn * 62
            ch = c.mask_stroke([(base, 98), (tip, 128), (base, 158)], 13 if not small else 18, caps=True)
            c.glow(ch, CYAN, 6, 1.0)
            c.fill(ch, CYAN)


def render_app(px):
    c = Canvas(256, 256, px=px / 256.0)
    app_icon(c, small=px <= 32, tiny=px <= 16)
    return c.result()
