"""Small icons: status bar, job list, format buttons, options-dialog choices.

Each glyph draws on a Canvas whose design grid is 16 x 16 units; rendering the same
glyph at 16, 32 or 48 pixels gives the 1x, 2x and large variants.  Strokes that should
stay one pixel wide at 1x are drawn with the canvas' stroke weight `c.lw`.
"""

import math

from artlib import (AMBER, AMBER_DK, CARD, CARD2, CARD_EDGE, CYAN, CYAN2, CYAN_HI, GREEN, GREEN_DK,
                    INDIGO, INDIGO2, INK, NAVY1, NAVY2, RED, RED_DK, TEAL, TEAL_HI, WHITE,
                    Canvas, bezier, ellipse_pts, mix, rgba)

SILVER = (206, 214, 232)
SILVER_DK = (150, 160, 190)


# --- building blocks ----------------------------------------------------------------------
def body(c, x0, y0, x1, y1, r, top, bottom=None, edge=INK):
    """A filled rounded box with a one-unit outline and a soft vertical gradient."""
    m = c.mask_rrect(x0, y0, x1, y1, r)
    c.fill_gradient(m, (0, y0), (0, y1), [(0, top), (1, bottom or mix(top, (0, 0, 0), 0.25))])
    lw = c.lw
    inner = c.mask_rrect(x0 + lw, y0 + lw, x1 - lw, y1 - lw, max(0.0, r - lw))
    c.fill(c.m_sub(m, inner), edge)
    return m


def ring(c, cx, cy, r, fill, edge=INK, width=None):
    w = c.lw if width is None else width
    m = c.mask_circle(cx, cy, r)
    if fill is not None:
        c.fill(m, fill)
    c.fill(c.m_sub(m, c.mask_circle(cx, cy, r - w)), edge)
    return m


def note(c, x, y, h, color, edge=None, head=None):
    """An eighth note whose head centre is at (x, y) and whose stem is h units tall."""
    hw = head or h * 0.30
    head_pts = ellipse_pts(x, y, hw, hw * 0.74, -24)
    sx = x + hw * 0.86
    stem = [(sx - 0.55 * c.lw * 1.4, y - h), (sx + 0.55 * c.lw * 1.4, y - h),
            (sx + 0.55 * c.lw * 1.4, y - 0.3), (sx - 0.55 * c.lw * 1.4, y - 0.3)]
    flag = bezier((sx, y - h), (sx + h * 0.18, y - h * 0.55), (sx + h * 0.55, y - h * 0.60),
                  (sx + h * 0.28, y - h * 0.20), n=16)
    flag_back = bezier((sx + h * 0.30, y - h * 0.28), (sx + h * 0.40, y - h * 0.48),
                       (sx + h * 0.10, y - h * 0.56), (sx, y - h * 0.70), n=16)
    m = c.m_add(c.mask_poly(head_pts), c.mask_poly(stem))
    m = c.m_add(m, c.mask_poly(flag + flag_back))
    if edge is not None:
        c.fill(c.m_grow(m, 0.5 * c.lw), edge)
    c.fill(m, color)
    return m


def beamed_notes(c, x0, y0, x1, y1, h, color, edge=None):
    """Two beamed eighth notes: heads at (x0, y0) and (x1, y1), stems h tall."""
    hw = h * 0.27
    m = c.new_mask()
    tops = []
    for (x, y) in ((x0, y0), (x1, y1)):
        m = c.m_add(m, c.mask_poly(ellipse_pts(x, y, hw, hw * 0.74, -24)))
        sx = x + hw * 0.86
        sw = 0.6 * c.lw * 1.3
        m = c.m_add(m, c.mask_poly([(sx - sw, y - h), (sx + sw, y - h), (sx + sw, y), (sx - sw, y)]))
        tops.append((sx, y - h))
    (ax, ay), (bx, by) = tops
    bw = h * 0.26
    m = c.m_add(m, c.mask_poly([(ax - 0.6, ay), (bx + 0.6, by), (bx + 0.6, by + bw), (ax - 0.6, ay + bw)]))
    if edge is not None:
        c.fill(c.m_grow(m, 0.5 * c.lw), edge)
    c.fill(m, color)
    return m


def disc(c, cx, cy, r, sheen=True):
    """A compact disc: silver face with a cyan-violet sheen and a clear hub."""
    m = c.mask_circle(cx, cy, r)
    c.fill_gradient(m, (cx - r, cy - r), (cx + r, cy + r),
                    [(0, (235, 240, 252)), (0.5, SILVER), (1, (170, 180, 214))])
    if sheen:
        for a0, col in ((200, CYAN), (20, (170, 120, 255))):
            wedge = [(cx, cy)] + [(cx + r * math.cos(math.radians(a)), cy + r * math.sin(math.radians(a)))
                                  for a in range(a0, a0 + 50, 5)]
            c.fill(c.m_mul(c.mask_poly(wedge), m), rgba(col, 120))
    ring(c, cx, cy, r, None)
    hub = r * 0.36
    c.fill(c.mask_circle(cx, cy, hub), (240, 244, 252))
    ring(c, cx, cy, hub, None, edge=SILVER_DK)
    # punch the centre hole through
    hole = c.mask_circle(cx, cy, r * 0.16)
    a = c.img.getchannel("A")
    from PIL import ImageChops
    c.img.putalpha(ImageChops.subtract(a, hole))
    ring(c, cx, cy, r * 0.16 + c.lw * 0.9, None, edge=SILVER_DK, width=c.lw * 0.9)
    return m


def document(c, band_color, x0=2.5, y0=0.5, x1=13.5, y1=15.5, fold=4.0):
    """A page with a folded corner and a coloured band at its foot."""
    lw = c.lw
    outer = [(x0, y0), (x1 - fold, y0), (x1, y0 + fold), (x1, y1), (x0, y1)]
    m = c.mask_poly(outer)
    c.fill_gradient(m, (0, y0), (0, y1), [(0, WHITE), (1, CARD2)])
    band = c.m_mul(m, c.mask_rect(x0, y1 - 4.5, x1, y1))
    c.fill_gradient(band, (0, y1 - 4.5), (0, y1), [(0, band_color), (1, mix(band_color, (0, 0, 0), 0.25))])
    inner = c.mask_poly([(x0 + lw, y0 + lw), (x1 - fold - lw * 0.4, y0 + lw), (x1 - lw, y0 + fold + lw * 0.4),
                         (x1 - lw, y1 - lw), (x0 + lw, y1 - lw)])
    c.fill(c.m_sub(m, inner), INK)
    fold_m = c.mask_poly([(x1 - fold, y0), (x1 - fold, y0 + fold), (x1, y0 + fold)])
    c.fill(fold_m, CARD_EDGE)
    c.stroke([(x1 - fold, y0), (x1 - fold, y0 + fold), (x1, y0 + fold)], lw, INK, caps=False)
    return m


def status_circle(c, color, dark):
    m = c.mask_circle(8, 8, 7.5)
    c.fill_gradient(m, (8, 0.5), (8, 15.5), [(0, mix(color, WHITE, 0.25)), (1, color)])
    c.fill(c.m_sub(m, c.mask_circle(8, 8, 7.5 - c.lw)), dark)
    return m


# --- status bar pictures (ImgLstStatusbar) --------------------------------------------------
def g_mp3_player(c):
    body(c, 3.5, 0.5, 12.5, 15.5, 2, INDIGO2, INDIGO)
    scr = c.mask_rrect(5, 2, 11, 7, 0.6)
    c.fill_gradient(scr, (0, 2), (0, 7), [(0, CYAN_HI), (1, CYAN2)])
    c.fill(c.m_sub(scr, c.mask_rrect(5 + c.lw * 0.5, 2 + c.lw * 0.5, 11 - c.lw * 0.5, 7 - c.lw * 0.5, 0.4)),
           rgba(INK, 160))
    ring(c, 8, 11.2, 2.8, (226, 232, 248))
    c.fill(c.mask_circle(8, 11.2, 1.0), INDIGO)
    note(c, 7.3, 5.6, 2.6, INK, head=0.9)


def g_palm(c):
    body(c, 2.5, 0.5, 13.5, 15.5, 2, (236, 240, 250), SILVER)
    scr = c.mask_rect(4, 2, 12, 9.5)
    c.fill_gradient(scr, (0, 2), (0, 9.5), [(0, (190, 236, 214)), (1, (120, 200, 176))])
    c.fill(c.m_sub(scr, c.mask_rect(4 + c.lw * 0.5, 2 + c.lw * 0.5, 12 - c.lw * 0.5, 9.5 - c.lw * 0.5)),
           rgba(INK, 170))
    # text lines on the screen
    for y in (4, 6, 8):
        c.fill(c.mask_rect(5, y - 0.5, 10.5 if y != 8 else 8.5, y + 0.5), rgba(GREEN_DK, 200))
    # four hard buttons
    for x in (4.8, 7, 9, 11.2):
        c.fill(c.mask_circle(x, 12.6, 0.95), INDIGO)


def g_pocketpc(c):
    body(c, 2.5, 0.5, 13.5, 15.5, 1.5, NAVY2, NAVY1)
    scr = c.mask_rect(4, 2, 12, 11)
    c.fill_gradient(scr, (0, 2), (0, 11), [(0, CYAN_HI), (1, (60, 140, 230))])
    c.fill(c.mask_rect(4, 2, 12, 3.5), INDIGO)        # title bar
    c.fill(c.mask_rect(5, 5, 8, 7), rgba(WHITE, 210))  # two tiles
    c.fill(c.mask_rect(9, 5, 11, 7), rgba(WHITE, 150))
    c.fill(c.mask_rect(5, 8, 11, 9.5), rgba(WHITE, 120))
    ring(c, 8, 13.3, 1.5, CYAN2, edge=CARD)
    c.fill(c.mask_rrect(3.8, 12.6, 5.6, 14.0, 0.5), INDIGO2)
    c.fill(c.mask_rrect(10.4, 12.6, 12.2, 14.0, 0.5), INDIGO2)


def g_phone(c):
    c.fill(c.mask_rrect(9.5, 0, 11, 3.5, 0.6), INK)  # antenna
    body(c, 4.5, 2.5, 11.5, 15.5, 1.8, INDIGO2, INDIGO)
    scr = c.mask_rect(6, 4, 10, 8)
    c.fill_gradient(scr, (0, 4), (0, 8), [(0, CYAN_HI), (1, CYAN2)])
    for j, y in enumerate((9.7, 11.6, 13.5)):
        for x in (6.5, 8, 9.5):
            c.fill(c.mask_rect(x - 0.55, y - 0.5, x + 0.55, y + 0.5), (226, 232, 248))


def g_headphones(c):
    lw = c.lw
    band = c.mask_arc(8, 8.5, 5.6, 180, 360, 1.7, caps=True)
    c.fill(c.m_grow(band, 0.5 * lw), INK)
    c.fill(band, INDIGO2)
    for x0 in (1.0, 11.0):
        body(c, x0, 8, x0 + 4, 15.5, 1.6, TEAL_HI, TEAL)
    c.fill(c.mask_rect(2.2, 9.8, 3.8, 13.8), rgba(WHITE, 90))
    c.fill(c.mask_rect(12.2, 9.8, 13.8, 13.8), rgba(WHITE, 90))


def g_cd_quality(c):
    disc(c, 8, 8, 7.5)
    # a small sparkle for "quality"
    s = [(13.2, 0.2), (13.9, 1.9), (15.6, 2.6), (13.9, 3.3), (13.2, 5.0), (12.5, 3.3), (10.8, 2.6), (12.5, 1.9)]
    c.fill(c.m_grow(c.mask_poly(s), 0.5 * c.lw), INK)
    c.fill(c.mask_poly(s), AMBER)


def g_radio(c):
    c.stroke([(4, 5.5), (12.8, 0.9)], 1.0 * c.lw, INK)
    c.fill(c.mask_circle(12.8, 0.9, 0.9), INK)
    body(c, 0.5, 5, 15.5, 15, 1.8, INDIGO2, INDIGO)
    ring(c, 5, 10, 3.0, NAVY1, edge=INK)
    for (dx, dy) in ((-1.1, -1.1), (0, -1.1), (1.1, -1.1), (-1.1, 0), (0, 0), (1.1, 0), (-1.1, 1.1), (0, 1.1),
                     (1.1, 1.1)):
        c.fill(c.mask_circle(5 + dx, 10 + dy, 0.42), CYAN_HI)
    dial = c.mask_rect(9.5, 7, 14, 10)
    c.fill(dial, CYAN2)
    c.fill(c.mask_rect(11.5, 7, 12.2, 10), RED)
    c.fill(c.mask_circle(10.5, 12.4, 1.0), (226, 232, 248))
    c.fill(c.mask_circle(13.2, 12.4, 1.0), (226, 232, 248))


def g_tape(c):
    body(c, 0.5, 2.5, 15.5, 13.5, 1.5, INDIGO2, INDIGO)
    lab = c.mask_rrect(2, 4, 14, 9.8, 0.8)
    c.fill(lab, CARD)
    c.fill(c.mask_rect(2, 4, 14, 5.2), AMBER)
    window = c.mask_rrect(4.2, 6, 11.8, 8.8, 1.3)
    c.fill(window, NAVY1)
    for x in (5.8, 10.2):
        ring(c, x, 7.4, 1.15, (226, 232, 248), edge=CYAN)
    c.fill(c.mask_poly([(3.5, 13.5), (4.8, 10.8), (11.2, 10.8), (12.5, 13.5)]), NAVY1)
    for x in (5.8, 10.2):
        c.fill(c.mask_circle(x, 12.3, 0.6), CARD_EDGE)


def g_telephone(c):
    lw = c.lw
    # base
    base = c.mask_poly([(3.5, 7.5), (12.5, 7.5), (15, 15), (1, 15)])
    c.fill(c.m_grow(base, 0.6 * lw), INK)
    c.fill_gradient(base, (0, 7.5), (0, 15), [(0, INDIGO2), (1, INDIGO)])
    for y in (10.2, 12.6):
        for x in (6, 8, 10):
            c.fill(c.mask_rect(x - 0.6, y - 0.55, x + 0.6, y + 0.55), CARD)
    # handset
    hs = c.mask_stroke(bezier((2.6, 5.6), (4, 1.2), (12, 1.2), (13.4, 5.6), n=24), 2.0, caps=False)
    hs = c.m_add(hs, c.mask_rrect(0.5, 3.8, 5, 7, 1.4))
    hs = c.m_add(hs, c.mask_rrect(11, 3.8, 15.5, 7, 1.4))
    c.fill(c.m_grow(hs, 0.6 * lw), INK)
    c.fill_gradient(hs, (0, 1), (0, 7), [(0, CYAN_HI), (1, CYAN2)])


def speaker(c, x0, y0, x1, y1):
    body(c, x0, y0, x1, y1, 1.2, INDIGO2, INDIGO)
    cx = (x0 + x1) / 2
    h = y1 - y0
    w = x1 - x0
    ring(c, cx, y0 + h * 0.24, w * 0.16, CYAN_HI, edge=NAVY1)
    r = w * 0.32
    ring(c, cx, y1 - h * 0.32, r, CYAN2, edge=NAVY1)
    c.fill(c.mask_circle(cx, y1 - h * 0.32, r * 0.38), NAVY1)


def g_stereo(c):
    speaker(c, 0.5, 2.5, 7.5, 14.5)
    speaker(c, 8.5, 2.5, 15.5, 14.5)


def g_mono(c):
    speaker(c, 4, 1.5, 12, 15)


def g_fmt_mp3(c):
    document(c, CYAN2)
    note(c, 6.6, 8.6, 5.2, INDIGO, head=1.5)


def g_fmt_wma(c):
    document(c, AMBER)
    # a small waveform
    pts = []
    for i in range(0, 41):
        x = 4.2 + i * 0.17
        y = 6.8 + 2.3 * math.sin(i / 40 * 2 * math.pi * 2) * math.sin(i / 40 * math.pi)
        pts.append((x, y))
    c.stroke(pts, 1.1 * c.lw, INDIGO)


def g_fmt_wav(c):
    document(c, TEAL)
    for i, hgt in enumerate((2, 4, 6, 3.5, 5, 2.5)):
        x = 4.6 + i * 1.45
        c.fill(c.mask_rrect(x - 0.5, 7 - hgt / 2, x + 0.5, 7 + hgt / 2, 0.4), INDIGO)


def g_music_cd(c):
    disc(c, 7.4, 8.6, 6.9)
    note(c, 11.6, 13.3, 6.5, CYAN2, edge=INK, head=1.9)


def g_note(c):
    beamed_notes(c, 4.3, 12.8, 11.3, 11.3, 9.5, CYAN2, edge=INK)


def g_sysinfo(c):
    m = c.mask_circle(8, 8, 7.5)
    c.fill_gradient(m, (8, 0.5), (8, 15.5), [(0, (70, 200, 250)), (1, INDIGO)])
    c.fill(c.m_sub(m, c.mask_circle(8, 8, 7.5 - c.lw)), INK)
    c.fill(c.mask_circle(8, 4.6, 1.25), WHITE)
    c.fill(c.mask_rrect(6.9, 6.8, 9.1, 12.6, 0.5), WHITE)
    c.fill(c.mask_rect(6.2, 11.4, 9.8, 12.6), WHITE)


STATUSBAR = [
    (1, g_mp3_player, "device 1: MP3 player"),
    (2, g_palm, "device 2: Palm PDA"),
    (3, g_pocketpc, "device 3: Pocket PC"),
    (4, g_phone, "device 4: mobile phone"),
    (5, g_headphones, "device 5: other MP3 device"),
    (6, g_cd_quality, "quality 1: CD quality"),
    (7, g_radio, "quality 2: FM broadcast quality"),
    (8, g_tape, "quality 3: tape quality"),
    (9, g_telephone, "quality 4: telephone quality"),
    (10, g_stereo, "channels 1: stereo"),
    (11, g_mono, "channels 2: mono"),
    (12, g_fmt_mp3, "format 1: MP3"),
    (13, g_fmt_wma, "format 2: WMA"),
    (14, g_music_cd, "format 3: music CD"),
    (15, g_note, "spare (not referenced): music note"),
    (16, g_sysinfo, "message panel (system information)"),
]


# --- job list status icons (ImageList1) --------------------------------------------------
def g_job_working(c):
    status_circle(c, CYAN2, INK)
    c.arc(8, 8, 4.0, 200, 330, 1.6, WHITE)
    c.arc(8, 8, 4.0, 20, 150, 1.6, WHITE)
    c.fill(c.mask_poly([(10.3, 2.4), (13.6, 4.6), (10.2, 6.4)]), WHITE)
    c.fill(c.mask_poly([(5.7, 13.6), (2.4, 11.4), (5.8, 9.6)]), WHITE)


def g_job_paused(c):
    status_circle(c, AMBER, AMBER_DK)
    c.fill(c.mask_rrect(5.2, 4.5, 7.2, 11.5, 0.4), WHITE)
    c.fill(c.mask_rrect(8.8, 4.5, 10.8, 11.5, 0.4), WHITE)


def g_job_failed(c):
    status_circle(c, RED, RED_DK)
    c.stroke([(5.2, 5.2), (10.8, 10.8)], 2.0, WHITE)
    c.stroke([(10.8, 5.2), (5.2, 10.8)], 2.0, WHITE)


def g_job_done(c):
    status_circle(c, GREEN, GREEN_DK)
    c.stroke([(4.4, 8.3), (7.0, 10.9), (11.8, 5.4)], 2.0, WHITE)


def g_job_damaged(c):
    status_circle(c, AMBER, AMBER_DK)
    c.stroke([(8, 4.0), (8, 9.0)], 2.0, WHITE)
    c.fill(c.mask_circle(8, 11.9, 1.15), WHITE)


def g_job_queued(c):
    status_circle(c, INDIGO2, INK)
    face = c.mask_circle(8, 8, 5.0)
    c.fill(face, (236, 242, 255))
    c.stroke([(8, 8), (8, 4.6)], 1.3, INDIGO)
    c.stroke([(8, 8), (10.6, 9.4)], 1.3, INDIGO)
    c.fill(c.mask_circle(8, 8, 0.9), CYAN2)


JOBLIST = [
    (1, g_job_working, "spare (not used by the list): working"),
    (2, g_job_paused, "spare (not used by the list): paused"),
    (3, g_job_failed, "status 3: failed"),
    (4, g_job_done, "status 4: done"),
    (5, g_job_queued, "status 5: queued"),
    (6, g_job_damaged, "status 6: converted from a damaged source"),
]


# --- format filter buttons (ImageList3) ---------------------------------------------------
def g_fmt_all(c):
    lw = c.lw
    # two pages behind, one in front
    for (x0, y0) in ((5.5, 0.5), (3.8, 2.2)):
        m = c.mask_rect(x0, y0, x0 + 9, y0 + 11.5)
        c.fill(m, (236, 240, 250))
        c.fill(c.m_sub(m, c.mask_rect(x0 + lw, y0 + lw, x0 + 9 - lw, y0 + 11.5 - lw)), INK)
    m = c.mask_rect(2, 4, 11.5, 15.5)
    c.fill_gradient(m, (0, 4), (0, 15.5), [(0, WHITE), (1, CARD2)])
    c.fill(c.m_sub(m, c.mask_rect(2 + lw, 4 + lw, 11.5 - lw, 15.5 - lw)), INK)
    # an asterisk: every file
    for a in (90, 30, 150):
        dx, dy = 3.0 * math.cos(math.radians(a)), 3.0 * math.sin(math.radians(a))
        c.stroke([(6.75 - dx, 9.75 - dy), (6.75 + dx, 9.75 + dy)], 1.4, INDIGO)


FORMATS = [
    (1, g_fmt_mp3, "button 1, key MP3: MP3 files"),
    (2, g_fmt_wav, "button 2, key WAV: WAVE files"),
    (3, g_music_cd, "button 3, key CD: CD tracks"),
    (4, g_fmt_all, "button 4, key ALL: all files"),
]


# --- options dialog choice pictures (ilstIcon, 48 x 48) ----------------------------------------
OPTION_ICONS = [
    (1, g_stereo, "channels 1: stereo"),
    (2, g_mono, "channels 2: mono"),
    (3, g_cd_quality, "quality 1: CD quality"),
    (4, g_radio, "quality 2: FM broadcast quality"),
    (5, g_tape, "quality 3: tape quality"),
    (6, g_telephone, "quality 4: telephone quality"),
    (7, g_mp3_player, "device 1: MP3 player"),
    (8, g_palm, "device 2: Palm PDA"),
    (9, g_pocketpc, "device 3: Pocket PC"),
    (10, g_phone, "device 4: mobile phone"),
    (11, g_headphones, "device 5: other MP3 device"),
    (12, g_fmt_mp3, "format 1: MP3"),
    (13, g_fmt_wma, "format 2: WMA"),
    (14, g_music_cd, "format 3: music CD"),
]


def render(glyph, px, lw=None):
    c = Canvas(16, 16, px=px / 16.0)
    if lw is not None:
        c.lw = lw
    glyph(c)
    return c.result()
