"""Skin artwork: window backgrounds and picture buttons of the skinned windows.

All skinned windows share one look: a deep navy body with a faint cyan glow, a header
band with the window title, light "cards" under the labels (their text is dark), dark
recessed wells under the LED readouts and the progress pictures.  The geometry of the
controls that sit on each background is listed in LAYOUT (pixels, x, y, w, h) and in
tools/art/README.md.
"""

import math
import random

from artlib import (CARD2, CARD_EDGE, CYAN, CYAN2, CYAN_HI, INDIGO, INDIGO2, INK, MUTED,
                    NAVY0, NAVY1, NAVY2, RED, RED_DK, WHITE, Canvas, bezier, ellipse_pts,
                    rgba)
import icons
import toolbar

# The words drawn into the skins, and their English for the English interface's pictures (written
# by draw.py's "english" group under an en/ folder beside the Chinese ones). LANG picks the set.
LANG = "zh"
ENGLISH = {
    "音乐瘦身": "Music on a diet",
    "让音乐更轻巧，让播放器装下更多": "Lighter music, more songs on your player",
    "MP3 · WAV · WMA · 音乐 CD": "MP3 · WAV · WMA · Music CD",
    "Sveltra  正在压缩": "Sveltra  Converting",
    "源文件": "Source",
    "输出文件": "Output",
    "文件总数": "All files",
    "当前文件": "This file",
    "Sveltra  选项": "Sveltra  Options",
    "音乐设备": "Music device",
    "音质": "Quality",
    "声音效果": "Sound",
    "数码格式": "Format",
    "确定": "OK",
    "检查新版本": "Check for a New Version",
    "下载新版本": "Download",
    "把音乐变小，装进随身播放器": "Smaller music for your portable player",
    "Sveltra 开发组": "The Sveltra team",
    "开发组": "The team",
    "谢谢使用！": "Thank you!",
}


def word(text):
    """A word of the art in the language being drawn."""
    return ENGLISH[text] if LANG == "en" else text

CORNER = 12.5  # the windows are clipped to a rounded rectangle with corner size 25

# Control rectangles (pixels) that the backgrounds were drawn for.
LAYOUT = {
    "splash": {
        "size": (480, 300),
        "lblVersion": (318, 266, 146, 20),
    },
    "monitor": {
        "size": (360, 220),
        "imgExit": (328, 8, 22, 22),
        "imgIcon": (20, 56, 48, 48),
        "Label1": (134, 52, 208, 18),
        "Label2": (134, 76, 208, 18),
        "PicFile1": (140, 112, 42, 20),
        "PicFile2": (278, 112, 42, 20),
        "ProgressPic1": (36, 158, 288, 51),
    },
    "option": {
        "size": (400, 330),
        "imgExit": (368, 8, 22, 22),
        "lblSummary": (24, 272, 262, 42),
        "imgButton0": (302, 279, 80, 28),
    },
    "update": {
        "size": (339, 277),
        "imgExit": (300, 8, 22, 22),
        "Label1": (44, 52, 245, 57),
        "Label2": (36, 116, 145, 25),
        "picVer1": (52, 132, 112, 20),
        "Label3": (36, 156, 145, 21),
        "picVer2": (52, 172, 112, 20),
        "imgDownload": (212, 116, 102, 85),
        "ProgressPic1": (20, 204, 304, 54),
    },
    "about": {
        "size": (339, 277),
        "imgExit": (296, 8, 22, 22),
        "lblVersion": (72, 152, 185, 25),
        "lblBuild": (20, 236, 117, 21),
        "Image1": (312, 248, 9, 9),
        "imgMe": (80, 76, 182, 127),
    },
}

# Options dialog groups: cell rectangles; inside each the picture, the two arrows and the label.
OPTION_GROUPS = [
    # group, caption drawn in the art, cell (x, y, w, h)
    (0, "音乐设备", (20, 50, 176, 100)),
    (1, "音质", (204, 50, 176, 100)),
    (2, "声音效果", (20, 156, 176, 100)),
    (3, "数码格式", (204, 156, 176, 100)),
]


def option_controls(cell):
    """imgIcon, backward arrow, forward arrow and label rectangles inside one group cell."""
    x, y, w, h = cell
    cx = x + w // 2
    icon = (cx - 24, y + 24, 48, 48)
    back = (cx - 24 - 12 - 24, y + 36, 24, 24)
    fwd = (cx + 24 + 12, y + 36, 24, 24)
    label = (x + 8, y + 78, w - 16, 18)
    return icon, back, fwd, label


for g, _cap, cell in OPTION_GROUPS:
    icon, back, fwd, label = option_controls(cell)
    LAYOUT["option"]["imgIcon%d" % g] = icon
    LAYOUT["option"]["imgArrow%d" % (2 * g)] = fwd
    LAYOUT["option"]["imgArrow%d" % (2 * g + 1)] = back
    LAYOUT["option"]["lbl" + ["Device", "Quality", "Effect", "Format"][g]] = label


# --- shared pieces ----------------------------------------------------------------------
def window_base(c, w, h, glow=(0.7, 0.15)):
    m = c.mask_rect(0, 0, w, h)
    c.fill_gradient(m, (0, 0), (w * 0.4, h), [(0, (30, 40, 112)), (0.55, NAVY1), (1, NAVY0)])
    c.fill_radial(m, (w * glow[0], h * glow[1]), max(w, h) * 0.7,
                  [(0, rgba(CYAN, 46)), (0.5, rgba(CYAN, 12)), (1, rgba(CYAN, 0))])
    # fine diagonal hatching for texture
    for i in range(-h, w, 6):
        c.stroke([(i, h), (i + h, 0)], 0.5, rgba(WHITE, 6), caps=False)
    # edge: a light line just inside the rounded outline
    outer = c.mask_rrect(0, 0, w, h, CORNER)
    inner = c.mask_rrect(1, 1, w - 1, h - 1, CORNER - 1)
    c.fill(c.m_sub(outer, inner), rgba(CYAN_HI, 90))
    inner2 = c.mask_rrect(2, 2, w - 2, h - 2, CORNER - 2)
    c.fill(c.m_sub(inner, inner2), rgba(NAVY0, 200))


def header(c, w, title, hh=38, icon=True):
    m = c.mask_rect(2, 2, w - 2, hh)
    c.fill_gradient(m, (0, 0), (0, hh), [(0, rgba(WHITE, 26)), (1, rgba(WHITE, 4))])
    line = c.mask_rect(14, hh, w - 14, hh + 1)
    c.fill_gradient(line, (14, 0), (w - 14, 0), [(0, rgba(CYAN, 0)), (0.2, rgba(CYAN, 200)), (0.8, rgba(CYAN, 200)),
                                                  (1, rgba(CYAN, 0))])
    c.glow(line, CYAN, 2.0, 1.5)
    x = 14
    if icon:
        ic = toolbar.render_app(22)
        c.img.alpha_composite(ic.resize((int(22 * c.f), int(22 * c.f))), (int(12 * c.f), int((hh - 22) / 2 * c.f)))
        x = 40
    c.text(x, hh / 2 + 0.5, title, 14, WHITE, anchor="lm")


def card(c, x0, y0, x1, y1, r=8):
    m = c.mask_rrect(x0, y0, x1, y1, r)
    c.shadow(m, 0, 1.5, 2.5, (0, 0, 0), 140)
    c.fill_gradient(m, (0, y0), (0, y1), [(0, (240, 245, 253)), (1, CARD2)])
    c.fill(c.m_sub(m, c.mask_rrect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, r - 1)), CARD_EDGE)
    c.fill(c.m_sub(c.mask_rrect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, r - 1),
                   c.mask_rrect(x0 + 1, y0 + 2, x1 - 1, y1 - 1, r - 1)), rgba(WHITE, 200))
    return m


def well(c, x, y, w, h, pad=3, r=4, light_edge=True):
    """A dark recess around a control rectangle (LED readouts, progress picture)."""
    x0, y0, x1, y1 = x - pad, y - pad, x + w + pad, y + h + pad
    m = c.mask_rrect(x0, y0, x1, y1, r)
    c.fill(m, (4, 6, 18))
    if light_edge:
        c.fill(c.m_sub(c.mask_rrect(x0 - 1, y0 - 1, x1 + 1, y1 + 1, r + 1), m), rgba(WHITE, 150))
    c.fill(c.m_sub(m, c.mask_rrect(x0, y0 + 1.2, x1, y1, r)), rgba((0, 0, 0), 255))
    c.fill(c.m_sub(m, c.mask_rrect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, r - 1)), rgba(INDIGO, 160))
    # the control's own area stays pure black
    c.fill(c.mask_rect(x, y, x + w, y + h), (0, 0, 0))


def small_caption(c, x, y, text, color=INK, size=12, anchor="lm"):
    c.text(x, y, text, size, color, anchor=anchor)


def wave_band(c, x0, x1, yc, amp0, amp1, color, n=90, seed=3):
    rnd = random.Random(seed)
    step = (x1 - x0) / n
    for i in range(n):
        t = i / (n - 1)
        amp = amp0 + (amp1 - amp0) * (t ** 0.9)
        v = 0.35 + 0.65 * abs(math.sin(i * 0.37) * math.cos(i * 0.11 + 1.3)) * (0.7 + 0.3 * rnd.random())
        hgt = max(1.0, amp * v)
        x = x0 + i * step
        c.fill(c.mask_rrect(x, yc - hgt, x + step * 0.55, yc + hgt, step * 0.27), rgba(color, int(70 + 120 * (1 - t))))


# --- splash -------------------------------------------------------------------------------------
def splash():
    W, H = LAYOUT["splash"]["size"]
    c = Canvas(W, H)
    window_base(c, W, H, glow=(0.25, 0.35))
    # sound waveform: wide on the left, slimmed on the right
    wave_band(c, 30, 450, 214, 26, 5, CYAN)
    c.fill(c.mask_rect(30, 213.5, 450, 214.5), rgba(CYAN_HI, 120))
    # the app icon and the wordmark
    ic = toolbar.render_app(112)
    big = ic.resize((int(112 * c.f), int(112 * c.f)))
    c.img.alpha_composite(big, (int(40 * c.f), int(50 * c.f)))
    wm = c.mask_text(170, 98, "Sveltra", 64, anchor="ls", stroke=0.6)
    c.glow(wm, CYAN, 6, 0.8)
    c.fill_gradient(wm, (0, 44), (0, 100), [(0, WHITE), (1, CYAN_HI)])
    sub = c.mask_text(173, 132, word("音乐瘦身"), 26, anchor="ls", stroke=0.3)
    c.fill(sub, CYAN)
    c.text(174, 156, word("让音乐更轻巧，让播放器装下更多"), 13, rgba((200, 212, 245), 230), anchor="ls")
    c.text(30, 256, word("MP3 · WAV · WMA · 音乐 CD"), 11, rgba(MUTED, 255), anchor="ls")
    # version label plate, bottom right (lblVersion sits inside)
    x, y, w, h = LAYOUT["splash"]["lblVersion"]
    plate = c.mask_rrect(x - 4, y - 3, x + w + 4, y + h + 3, 6)
    c.fill(plate, rgba(NAVY0, 170))
    c.fill(c.m_sub(plate, c.mask_rrect(x - 3, y - 2, x + w + 3, y + h + 2, 5)), rgba(CYAN, 80))
    return c.result()


# --- exit buttons -------------------------------------------------------------------------------
def exit_button(pressed=False):
    c = Canvas(22, 22)
    m = c.mask_circle(11, 11, 10)
    if pressed:
        c.fill_gradient(m, (0, 1), (0, 21), [(0, RED), (1, RED_DK)])
    else:
        c.fill_gradient(m, (0, 1), (0, 21), [(0, rgba(INDIGO2, 255)), (1, rgba(NAVY2, 255))])
    c.fill(c.m_sub(m, c.mask_circle(11, 11, 9)), rgba(CYAN_HI, 200) if not pressed else rgba(WHITE, 200))
    d = 3.6
    off = 0.5 if pressed else 0
    c.stroke([(11 - d, 11 - d + off), (11 + d, 11 + d + off)], 2.0, WHITE)
    c.stroke([(11 + d, 11 - d + off), (11 - d, 11 + d + off)], 2.0, WHITE)
    return c.result()


# --- progress monitor -----------------------------------------------------------------------
def monitor_bg():
    L = LAYOUT["monitor"]
    W, H = L["size"]
    c = Canvas(W, H)
    window_base(c, W, H)
    header(c, W, word("Sveltra  正在压缩"))
    card(c, 10, 44, 350, 144)
    x, y, w, h = L["imgIcon"]
    well(c, x, y, w, h, pad=3, r=9)
    small_caption(c, 80, 61, word("源文件"), INK, 12)
    small_caption(c, 80, 85, word("输出文件"), INK, 12)
    # thin rules under the two path lines
    for yy in (71, 95):
        c.fill(c.mask_rect(134, yy, 342, yy + 1), rgba(CARD_EDGE, 200))
    x, y, w, h = L["PicFile1"]
    small_caption(c, 80, y + h / 2, word("文件总数"), INK, 12)
    well(c, x, y, w, h)
    x, y, w, h = L["PicFile2"]
    small_caption(c, 218, y + h / 2, word("当前文件"), INK, 12)
    well(c, x, y, w, h)
    x, y, w, h = L["ProgressPic1"]
    well(c, x, y, w, h, pad=4, r=6)
    return c.result()


def monitor_frames():
    """Eight 48 x 48 activity frames: 1-4 a spinning disc (idle, ripping), 5-8 squeezing (encoding)."""
    out = []
    for k in range(8):
        c = Canvas(48, 48)
        m = c.mask_rrect(0, 0, 48, 48, 9)
        c.fill_gradient(m, (0, 0), (0, 48), [(0, INDIGO), (1, NAVY1)])
        c.fill_radial(m, (24, 30), 30, [(0, rgba(CYAN, 60)), (1, rgba(CYAN, 0))])
        if k < 4:
            cx, cy, r = 24, 24, 18
            icons.disc(c, cx, cy, r, sheen=False)
            for a0, col in ((k * 90 + 200, CYAN), (k * 90 + 20, (170, 120, 255))):
                wedge = [(cx, cy)] + [(cx + r * math.cos(math.radians(a)), cy + r * math.sin(math.radians(a)))
                                      for a in range(a0, a0 + 56, 4)]
                ring_m = c.m_sub(c.mask_poly(wedge), c.mask_circle(cx, cy, r * 0.38))
                c.fill(c.m_mul(ring_m, c.mask_circle(cx, cy, r - 0.8)), rgba(col, 150))
            # a small reading beam that blinks
            if k % 2 == 0:
                c.fill(c.mask_circle(38, 38, 2.2), rgba(RED, 255))
                c.glow(c.mask_circle(38, 38, 2.2), RED, 2.0, 1.2)
        else:
            j = k - 4
            icons.note(c, 20.5, 32, 20, WHITE, head=5.0)
            d = 19.5 - j * 1.6
            a = 255
            for sgn in (-1, 1):
                base = 24 + sgn * (d + 2)
                tip = 24 + sgn * (d - 4)
                ch = c.mask_stroke([(base, 16), (tip, 24), (base, 32)], 3.0)
                c.glow(ch, CYAN, 2.0, 1.0)
                c.fill(ch, rgba(CYAN_HI, a))
            # level dots along the bottom
            for i in range(5):
                on = i <= j + 1
                c.fill(c.mask_circle(12 + i * 6, 43, 1.4), rgba(CYAN if on else INDIGO2, 255))
        out.append(c.result())
    return out


# --- options dialog -----------------------------------------------------------------------------
def option_bg():
    L = LAYOUT["option"]
    W, H = L["size"]
    c = Canvas(W, H)
    window_base(c, W, H)
    header(c, W, word("Sveltra  选项"))
    card(c, 10, 44, 390, 322)
    for g, cap, cell in OPTION_GROUPS:
        x, y, w, h = cell
        m = c.mask_rrect(x, y, x + w, y + h, 7)
        c.fill(m, rgba(WHITE, 150))
        c.fill(c.m_sub(m, c.mask_rrect(x + 1, y + 1, x + w - 1, y + h - 1, 6)), rgba(CARD_EDGE, 220))
        c.fill(c.mask_rrect(x + 8, y + 7, x + 11, y + 19, 1.5), CYAN2)
        c.text(x + 15, y + 13, word(cap), 12, INK, anchor="lm")
        icon, back, fwd, label = option_controls(cell)
        ix, iy, iw, ih = icon
        disc_m = c.mask_circle(ix + iw / 2, iy + ih / 2, 28)
        c.fill_radial(disc_m, (ix + iw / 2, iy + ih / 2), 28,
                      [(0, rgba(CYAN, 70)), (0.8, rgba(CYAN, 25)), (1, rgba(CYAN, 0))])
        lx, ly, lw_, lh = label
        c.fill(c.mask_rrect(lx, ly, lx + lw_, ly + lh, 4), rgba(INDIGO, 22))
    # summary panel and the OK button's place
    x, y, w, h = L["lblSummary"]
    m = c.mask_rrect(x - 6, y - 5, x + w + 6, y + h + 5, 6)
    c.fill(m, rgba(CYAN, 36))
    c.fill(c.m_sub(m, c.mask_rrect(x - 5, y - 4, x + w + 5, y + h + 4, 5)), rgba(CYAN2, 140))
    c.fill(c.mask_rect(x - 6, y - 5, x - 3, y + h + 5), CYAN2)
    return c.result()


def option_arrow(forward=True, pressed=False, disabled=False):
    c = Canvas(24, 24)
    m = c.mask_circle(12, 12, 11)
    c.shadow(m, 0, 1.0 if not pressed else 0.3, 1.0, (0, 0, 0), 110)
    if disabled:
        top, bot, edge, arrow = (210, 216, 230), (170, 178, 200), (150, 158, 184), (236, 240, 248)
    elif pressed:
        top, bot, edge, arrow = CYAN2, (14, 120, 170), INK, WHITE
    else:
        top, bot, edge, arrow = INDIGO2, INDIGO, INK, WHITE
    c.fill_gradient(m, (0, 1), (0, 23), [(0, top), (1, bot)])
    c.fill(c.m_sub(m, c.mask_circle(12, 12, 10.2)), edge)
    if not pressed and not disabled:
        c.fill(c.m_sub(c.mask_circle(12, 12, 10.2), c.mask_circle(12, 12.8, 10.2)), rgba(WHITE, 90))
    dy = 0.6 if pressed else 0
    s = 1 if forward else -1
    tri = [(12 - s * 3.2, 6.8 + dy), (12 + s * 4.6, 12 + dy), (12 - s * 3.2, 17.2 + dy)]
    tm = c.mask_poly(tri)
    c.fill(c.m_grow(tm, 0.4), arrow)
    return c.result()


def ok_button(pressed=False):
    w, h = LAYOUT["option"]["imgButton0"][2:]
    c = Canvas(w, h)
    m = c.mask_rrect(0.5, 0.5, w - 0.5, h - 0.5, 7)
    if pressed:
        c.fill_gradient(m, (0, 0), (0, h), [(0, (10, 120, 130)), (1, (20, 170, 170))])
    else:
        c.fill_gradient(m, (0, 0), (0, h), [(0, (60, 214, 200)), (1, (12, 128, 140))])
        c.fill(c.m_sub(c.mask_rrect(1.5, 1.5, w - 1.5, h - 1.5, 6), c.mask_rrect(1.5, 2.5, w - 1.5, h - 1.5, 6)),
               rgba(WHITE, 120))
    c.fill(c.m_sub(m, c.mask_rrect(1.5, 1.5, w - 1.5, h - 1.5, 6)), rgba(NAVY1, 230))
    dy = 0.8 if pressed else 0
    c.text(w / 2, h / 2 + dy + 0.5, word("确定"), 14, (0, 40, 60, 120), anchor="mm")
    c.text(w / 2, h / 2 + dy - 0.3, word("确定"), 14, WHITE, anchor="mm")
    return c.result()


def hand_cursor():
    """32 x 32 pointing hand; the hot spot is the tip of the index finger at (11, 1)."""
    c = Canvas(32, 32)
    edge = NAVY0

    def part(m, shade=True):
        c.fill(c.m_grow(m, 0.9), edge)
        c.fill(m, WHITE)
        if shade:
            c.fill_gradient(m, (0, 0), (26, 30), [(0, rgba(CARD2, 0)), (1, rgba(CARD2, 255))])

    part(c.mask_poly(ellipse_pts(7.2, 16.2, 4.3, 1.9, 58)))             # thumb
    part(c.mask_rrect(8, 12.5, 23.5, 24.5, 4.5))                        # palm
    part(c.mask_rrect(20, 10.8, 23.5, 17.5, 1.7))                       # little finger
    part(c.mask_rrect(16.6, 9.6, 20.4, 16.6, 1.9))                      # ring finger
    part(c.mask_rrect(13.2, 8.6, 17.0, 16.0, 1.9))                      # middle finger
    part(c.mask_rrect(9, 0.9, 13.5, 16.5, 2.25))                        # index finger
    cuff = c.mask_rrect(9, 23.5, 22.5, 27.5, 1.2)
    c.fill(c.m_grow(cuff, 0.9), edge)
    c.fill_gradient(cuff, (0, 23.5), (0, 27.5), [(0, CYAN_HI), (1, CYAN2)])
    return c.result()


# --- update window ------------------------------------------------------------------------------
def update_bg():
    L = LAYOUT["update"]
    W, H = L["size"]
    c = Canvas(W, H)
    window_base(c, W, H)
    header(c, W, word("检查新版本"))
    card(c, 10, 46, 329, 268)
    # a faint globe behind the status text
    x, y, w, h = L["imgDownload"]
    gx, gy, gr = x + w / 2, y + h / 2 - 1, 34
    g_m = c.mask_circle(gx, gy, gr)
    c.fill(c.m_sub(g_m, c.mask_circle(gx, gy, gr - 1.2)), rgba(INDIGO2, 60))
    for rx in (gr * 0.35, gr * 0.72):
        e = c.mask_poly(ellipse_pts(gx, gy, rx, gr))
        c.fill(c.m_mul(c.m_sub(e, c.mask_poly(ellipse_pts(gx, gy, rx - 1.1, gr - 1.1))), g_m), rgba(INDIGO2, 50))
    for yy in (-gr * 0.5, 0, gr * 0.5):
        c.fill(c.m_mul(c.mask_rect(gx - gr, gy + yy - 0.55, gx + gr, gy + yy + 0.55), g_m), rgba(INDIGO2, 50))
    # readout wells
    for key in ("picVer1", "picVer2"):
        x, y, w, h = L[key]
        well(c, x, y, w, h, pad=2, r=3)
    x, y, w, h = L["ProgressPic1"]
    well(c, x, y, w, h, pad=2, r=4)
    return c.result()


def download_button():
    w, h = LAYOUT["update"]["imgDownload"][2:]
    c = Canvas(w, h)
    b = h - 3  # leave a little air above the progress track that follows the button
    m = c.mask_rrect(0.5, 0.5, w - 0.5, b, 10)
    c.shadow(m, 0, 1, 1.2, NAVY0, 90)
    c.fill_gradient(m, (0, 0), (0, b), [(0, (70, 220, 205)), (1, (10, 110, 130))])
    c.fill_radial(m, (w / 2, 30), 40, [(0, rgba(WHITE, 70)), (1, rgba(WHITE, 0))])
    c.fill(c.m_sub(m, c.mask_rrect(1.5, 1.5, w - 1.5, b - 1, 9)), rgba(NAVY1, 230))
    c.fill(c.m_sub(c.mask_rrect(1.5, 1.5, w - 1.5, b - 1, 9), c.mask_rrect(1.5, 2.5, w - 1.5, b - 1, 9)),
           rgba(WHITE, 140))
    # arrow into a tray
    cx = w / 2
    arrow = c.m_add(c.mask_rect(cx - 4.5, 10, cx + 4.5, 30), c.mask_poly([(cx - 13, 27), (cx + 13, 27), (cx, 42)]))
    tray = c.mask_stroke([(cx - 20, 38), (cx - 20, 48), (cx + 20, 48), (cx + 20, 38)], 4.0)
    c.shadow(c.m_add(arrow, tray), 0, 1.2, 1.0, NAVY0, 120)
    c.fill(arrow, WHITE)
    c.fill(tray, CYAN_HI)
    c.text(cx, 67, word("下载新版本"), 15, (0, 40, 60, 120), anchor="mm")
    c.text(cx, 66, word("下载新版本"), 15, WHITE, anchor="mm")
    return c.result()


# --- About box ----------------------------------------------------------------------------------
def about_bg():
    L = LAYOUT["about"]
    W, H = L["size"]
    c = Canvas(W, H)
    window_base(c, W, H, glow=(0.3, 0.25))
    wave_band(c, 24, 316, 196, 14, 3, CYAN, n=70, seed=11)
    ic = toolbar.render_app(72)
    c.img.alpha_composite(ic.resize((int(72 * c.f), int(72 * c.f))), (int(26 * c.f), int(34 * c.f)))
    wm = c.mask_text(108, 80, "Sveltra", 44, anchor="ls", stroke=0.5)
    c.glow(wm, CYAN, 4, 0.8)
    c.fill_gradient(wm, (0, 42), (0, 82), [(0, WHITE), (1, CYAN_HI)])
    c.text(110, 106, word("音乐瘦身"), 18, CYAN, anchor="ls", stroke=0.2)
    c.text(110, 128, word("把音乐变小，装进随身播放器"), 12, rgba((200, 212, 245), 230), anchor="ls")
    # version plate (lblVersion, yellow text)
    x, y, w, h = L["lblVersion"]
    plate = c.mask_rrect(x - 8, y - 3, x + w + 8, y + h + 3, 8)
    c.fill(plate, rgba(NAVY0, 180))
    c.fill(c.m_sub(plate, c.mask_rrect(x - 7, y - 2, x + w + 7, y + h + 2, 7)), rgba(CYAN, 90))
    # light band at the foot (lblBuild, dark text)
    band = c.m_mul(c.mask_rect(0, 224, W, H), c.mask_rrect(2, 2, W - 2, H - 2, CORNER - 2))
    c.fill_gradient(band, (0, 224), (0, H), [(0, (240, 245, 253)), (1, CARD2)])
    c.fill(c.mask_rect(2, 224, W - 2, 225), rgba(CYAN2, 255))
    c.glow(c.mask_rect(2, 223, W - 2, 225), CYAN, 2, 1.0)
    c.text(300, 268, word("Sveltra 开发组"), 11, rgba(MUTED, 255), anchor="rs")
    return c.result()


def about_hotspot():
    c = Canvas(9, 9)
    star = [(4.5, 0), (5.6, 3.4), (9, 4.5), (5.6, 5.6), (4.5, 9), (3.4, 5.6), (0, 4.5), (3.4, 3.4)]
    c.fill(c.mask_poly(star), INDIGO2)
    c.fill(c.mask_circle(4.5, 4.5, 1.3), CYAN2)
    return c.result()


def about_me():
    """The hidden picture (182 x 127): the team's mascot, a note wearing headphones."""
    w, h = LAYOUT["about"]["imgMe"][2:]
    c = Canvas(w, h)
    m = c.mask_rrect(0.5, 0.5, w - 0.5, h - 0.5, 10)
    c.fill_gradient(m, (0, 0), (w, h), [(0, (46, 58, 160)), (1, NAVY0)])
    c.fill_radial(m, (56, 70), 70, [(0, rgba(CYAN, 80)), (1, rgba(CYAN, 0))])
    rnd = random.Random(5)
    for i in range(26):
        x, y = rnd.uniform(6, w - 6), rnd.uniform(6, h - 6)
        c.fill(c.mask_circle(x, y, rnd.uniform(0.4, 1.1)), rgba(WHITE, rnd.randint(60, 180)))
    # mascot: a big round note head with a face, a stem and a flag, and headphones
    hx, hy = 52, 84
    head = c.mask_poly(ellipse_pts(hx, hy, 27, 21, -18))
    stem = c.mask_rect(hx + 19, 18, hx + 27, hy - 4)
    flag = c.mask_poly(bezier((hx + 23, 18), (hx + 32, 36), (hx + 50, 38), (hx + 40, 64), n=30)
                       + bezier((hx + 37, 58), (hx + 42, 46), (hx + 34, 44), (hx + 24, 40), n=30))
    body_m = c.m_add(c.m_add(head, stem), flag)
    c.glow(body_m, CYAN, 5, 1.0)
    c.fill_gradient(body_m, (0, 18), (0, 106), [(0, WHITE), (1, CYAN_HI)])
    # face
    for ex in (hx - 9, hx + 5):
        c.fill(c.mask_circle(ex, hy - 3, 2.6), NAVY1)
        c.fill(c.mask_circle(ex + 0.8, hy - 3.8, 0.9), WHITE)
    c.arc(hx - 2, hy + 2, 6.5, 25, 155, 1.8, NAVY1)
    c.fill(c.mask_circle(hx - 16, hy + 4, 3), rgba((255, 120, 160), 110))
    c.fill(c.mask_circle(hx + 12, hy + 4, 3), rgba((255, 120, 160), 110))
    # headphones
    c.arc(hx - 2, hy - 4, 25, 200, 340, 3.2, INDIGO2)
    for x0 in (hx - 30, hx + 19):
        pad = c.mask_rrect(x0, hy - 14, x0 + 9, hy + 4, 4)
        c.fill(pad, INDIGO2)
        c.fill(c.mask_rrect(x0 + 2, hy - 11, x0 + 7, hy + 1, 2.5), CYAN2)
    # texts
    c.text(136, 52, "Sveltra", 20, WHITE, anchor="mm", stroke=0.2)
    c.text(136, 74, word("开发组"), 14, CYAN_HI, anchor="mm")
    c.text(136, 100, word("谢谢使用！"), 13, rgba((214, 224, 250), 255), anchor="mm")
    for i in range(5):
        x = 112 + i * 11
        hh = [6, 11, 16, 9, 5][i]
        c.fill(c.mask_rrect(x, 116 - hh, x + 6, 116, 2), rgba(CYAN, 160))
    c.fill(c.m_sub(m, c.mask_rrect(1.5, 1.5, w - 1.5, h - 1.5, 9)), rgba(CYAN_HI, 160))
    return c.result()
