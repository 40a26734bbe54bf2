"""Ten decorative 300 x 50 strips for the progress picture.

Each new fill uncovers the next strip over the previous one, so neighbours differ
clearly in colour and pattern while keeping to the navy / cyan family.
"""

import math
import random

from artlib import (CYAN, CYAN_HI, INDIGO, INDIGO2, NAVY0, NAVY1, NAVY2, TEAL, TEAL_HI,
                    WHITE, Canvas, mix, rgba)

W, H = 300, 50
VIOLET = (150, 90, 255)
MAGENTA = (236, 72, 190)
ORANGE = (255, 150, 60)


def base(c, stops, p0=(0, 0), p1=(W, 0)):
    c.fill_gradient(c.mask_rect(0, 0, W, H), p0, p1, stops)


def ribbon(c, y0, amp, freq, phase, thick, color, alpha):
    top, bot = [], []
    for i in range(0, 121):
        x = i * W / 120
        y = y0 + amp * math.sin(x / W * 2 * math.pi * freq + phase)
        t = thick * (0.6 + 0.4 * math.sin(x / W * math.pi * 2 + phase * 0.7))
        top.append((x, y - t / 2))
        bot.append((x, y + t / 2))
    m = c.mask_poly(top + bot[::-1])
    c.fill(c.m_blur(m, 1.2), rgba(color, alpha))


def s_aurora(c):
    base(c, [(0, NAVY0), (1, (10, 40, 70))], (0, 0), (0, H))
    ribbon(c, 24, 10, 1.2, 0.3, 16, TEAL_HI, 120)
    ribbon(c, 30, 8, 1.8, 2.0, 10, CYAN, 110)
    ribbon(c, 20, 6, 2.4, 4.0, 6, (140, 255, 200), 120)
    rnd = random.Random(1)
    for _ in range(40):
        c.fill(c.mask_circle(rnd.uniform(0, W), rnd.uniform(0, 18), rnd.uniform(0.3, 0.8)), rgba(WHITE, 150))


def s_equalizer(c):
    base(c, [(0, (8, 14, 40)), (1, NAVY2)], (0, 0), (0, H))
    rnd = random.Random(2)
    n = 30
    for i in range(n):
        x = 4 + i * 9.9
        h = 8 + 34 * abs(math.sin(i * 0.45 + 0.5)) * (0.6 + 0.4 * rnd.random())
        m = c.mask_rrect(x, H - 4 - h, x + 7, H - 4, 1.5)
        c.fill_gradient(m, (0, H - 4), (0, 6), [(0, TEAL), (0.6, CYAN), (1, CYAN_HI)])
        c.fill(c.mask_rect(x, H - 6 - h - 2.5, x + 7, H - 6 - h - 1), rgba(WHITE, 200))
    for y in range(6, H, 4):
        c.fill(c.mask_rect(0, y, W, y + 1), rgba(NAVY0, 90))


def s_waveform(c):
    base(c, [(0, INDIGO), (0.5, NAVY1), (1, INDIGO)])
    pts = []
    for i in range(0, 601):
        x = i * W / 600
        env = 0.35 + 0.65 * abs(math.sin(x / W * math.pi * 3))
        y = 25 + 18 * env * math.sin(x * 0.42) * math.cos(x * 0.05)
        pts.append((x, y))
    m = c.mask_stroke(pts, 1.4)
    c.glow(m, CYAN, 3, 1.4)
    c.fill(m, CYAN_HI)
    c.fill(c.mask_rect(0, 24.6, W, 25.4), rgba(CYAN, 60))


def s_bokeh(c):
    base(c, [(0, (30, 20, 80)), (1, (10, 30, 70))])
    rnd = random.Random(4)
    for _ in range(34):
        x, y, r = rnd.uniform(0, W), rnd.uniform(0, H), rnd.uniform(4, 16)
        col = rnd.choice([CYAN, VIOLET, TEAL_HI, INDIGO2])
        m = c.mask_circle(x, y, r)
        c.fill(c.m_blur(m, 0.8), rgba(col, rnd.randint(40, 90)))
        c.fill(c.m_sub(m, c.mask_circle(x, y, r - 0.8)), rgba(col, 60))


def s_dusk(c):
    base(c, [(0, (40, 20, 90)), (0.55, MAGENTA), (0.8, ORANGE), (1, (255, 210, 120))], (0, 0), (0, H))
    c.fill(c.mask_circle(210, 40, 13), rgba((255, 236, 180), 230))
    c.glow(c.mask_circle(210, 40, 13), (255, 200, 120), 6, 1.0)
    for layer, (col, y0, amp) in enumerate(((NAVY2, 36, 6), (NAVY1, 41, 5), (NAVY0, 46, 3))):
        pts = [(0, H)]
        for i in range(0, 61):
            x = i * W / 60
            pts.append((x, y0 - amp * math.sin(x / 40 + layer * 2.1) - amp * 0.5 * math.sin(x / 13 + layer)))
        pts.append((W, H))
        c.fill(c.mask_poly(pts), col)


def s_stars(c):
    base(c, [(0, NAVY0), (0.7, NAVY2), (1, (40, 70, 140))], (0, 0), (0, H))
    rnd = random.Random(6)
    for _ in range(140):
        x, y = rnd.uniform(0, W), rnd.uniform(0, H)
        r = rnd.choice([0.3, 0.4, 0.5, 0.7, 1.0])
        c.fill(c.mask_circle(x, y, r), rgba(rnd.choice([WHITE, CYAN_HI, (200, 200, 255)]), rnd.randint(120, 255)))
    band = c.mask_poly([(0, 40), (W, 5), (W, 25), (0, 55)])
    c.fill(c.m_blur(band, 6), rgba((120, 140, 255), 50))
    for (x, y) in ((60, 14), (230, 30)):
        m = c.mask_circle(x, y, 1.3)
        c.glow(m, CYAN_HI, 2.5, 1.3)
        c.fill(m, WHITE)


def s_ocean(c):
    base(c, [(0, (20, 110, 160)), (1, (6, 30, 70))], (0, 0), (0, H))
    for k in range(6):
        y0 = 8 + k * 8
        pts = [(0, H)]
        for i in range(0, 121):
            x = i * W / 120
            pts.append((x, y0 + 3 * math.sin(x / 18 + k * 1.7) + 1.5 * math.sin(x / 7 + k)))
        pts.append((W, H))
        col = mix(TEAL_HI, NAVY1, k / 6)
        c.fill(c.mask_poly(pts), rgba(col, 150))
        crest = [(x, y + 0) for (x, y) in pts[1:-1]]
        c.fill(c.mask_stroke(crest, 0.6, caps=False), rgba(WHITE, 90 - k * 10))


def s_grid(c):
    base(c, [(0, (20, 10, 60)), (0.5, (60, 20, 110)), (1, NAVY0)], (0, 0), (0, H))
    hor = 20
    c.fill(c.m_blur(c.mask_rect(0, hor - 1, W, hor + 1), 2), rgba(MAGENTA, 200))
    for i in range(-20, 21):
        x_far = W / 2 + i * 9
        x_near = W / 2 + i * 48
        c.fill(c.mask_stroke([(x_far, hor), (x_near, H + 4)], 0.7, caps=False), rgba(CYAN, 170))
    y = hor
    d = 1.5
    while y < H:
        c.fill(c.mask_rect(0, y, W, y + 0.7), rgba(CYAN, 170))
        y += d
        d *= 1.45
    sun = c.m_mul(c.mask_circle(W / 2, hor, 15), c.mask_rect(0, 0, W, hor))
    c.fill_gradient(sun, (0, hor - 15), (0, hor), [(0, (255, 220, 120)), (1, MAGENTA)])


def s_grooves(c):
    base(c, [(0, (16, 16, 24)), (1, (28, 30, 52))])
    cx, cy = 150, 160
    for r in range(112, 180, 2):
        c.fill(c.mask_arc(cx, cy, r, 180, 360, 0.5, caps=False), rgba((110, 124, 170), 170 if r % 4 else 100))
    sheen = c.mask_poly([(90, 0), (130, 0), (200, H), (150, H)])
    c.fill(c.m_blur(sheen, 8), rgba(CYAN, 80))
    sheen2 = c.mask_poly([(200, 0), (215, 0), (260, H), (240, H)])
    c.fill(c.m_blur(sheen2, 6), rgba(VIOLET, 70))


def s_spectrum(c):
    base(c, [(0, CYAN), (0.33, INDIGO2), (0.66, VIOLET), (1, MAGENTA)])
    for i in range(-10, 40):
        x = i * 12
        m = c.mask_poly([(x, 0), (x + 6, 0), (x - 10, H), (x - 16, H)])
        c.fill(m, rgba(WHITE, 28))
    c.fill_gradient(c.mask_rect(0, 0, W, H), (0, 0), (0, H),
                    [(0, rgba(WHITE, 60)), (0.45, rgba(WHITE, 0)), (1, rgba(NAVY0, 110))])


STRIPS = [s_aurora, s_equalizer, s_waveform, s_bokeh, s_dusk, s_stars, s_ocean, s_grid, s_grooves, s_spectrum]
NAMES = ["aurora", "equalizer bars", "glowing waveform", "bokeh lights", "dusk over hills", "starfield",
         "ocean waves", "neon grid", "record grooves", "spectrum stripes"]


def strips():
    out = []
    for fn in STRIPS:
        c = Canvas(W, H)
        fn(c)
        out.append(c.result().convert("RGB"))
    return out
