"""Small drawing toolkit shared by the Sveltra artwork generators.

Everything is drawn on a supersampled RGBA canvas (SS times the target size) and
reduced with LANCZOS at the end, which gives clean antialiased edges.  Coordinates
are given in *design units*: a canvas made for a 16-unit design grid and rendered at
32 pixels maps one unit to two pixels, so the same drawing code makes the 1x and 2x
pictures.  Every primitive is drawn on its own transparent layer and composited, so
translucent colours blend correctly.
"""

import math
import os

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

SS = 4  # supersampling factor
FONT_PATH = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"

# --- the one palette -------------------------------------------------------------
NAVY0 = (7, 11, 34)        # deepest background
NAVY1 = (13, 20, 56)
NAVY2 = (22, 32, 84)
INDIGO = (49, 56, 148)
INDIGO2 = (84, 94, 200)
INK = (28, 38, 100)        # outline colour of small glyphs
CYAN = (0, 229, 255)       # the LED cyan
CYAN2 = (34, 200, 238)
CYAN_HI = (150, 240, 255)
TEAL = (16, 178, 160)
TEAL_HI = (94, 234, 212)
WHITE = (255, 255, 255)
CARD = (232, 239, 250)     # light panels under labels
CARD2 = (214, 225, 244)
CARD_EDGE = (156, 176, 222)
MUTED = (120, 136, 190)
RED = (236, 64, 92)
RED_DK = (150, 24, 52)
AMBER = (250, 186, 40)
AMBER_DK = (170, 100, 10)
GREEN = (24, 190, 120)
GREEN_DK = (8, 110, 70)


def rgba(c, a=255):
    if len(c) == 4:
        return c
    return (c[0], c[1], c[2], a)


def mix(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(len(a)))


def font(px):
    return ImageFont.truetype(FONT_PATH, max(1, int(round(px))))


class Canvas:
    """A supersampled RGBA drawing surface.

    w, h   design size (units)
    px     pixel size of one unit in the final picture (default 1)
    """

    def __init__(self, w, h, px=1.0, bg=None, ss=SS):
        self.w, self.h, self.px, self.ss = w, h, px, ss
        self.f = px * ss
        self.size = (int(round(w * self.f)), int(round(h * self.f)))
        self.img = Image.new("RGBA", self.size, rgba(bg) if bg else (0, 0, 0, 0))
        self.lw = 1.0  # stroke weight multiplier used by glyph code

    # -- coordinate helpers ----------------------------------------------------
    def p(self, x, y):
        return (x * self.f, y * self.f)

    def pts(self, pts):
        return [self.p(x, y) for (x, y) in pts]

    def box(self, x0, y0, x1, y1):
        return [x0 * self.f, y0 * self.f, x1 * self.f - 1, y1 * self.f - 1]

    def new_layer(self):
        return Image.new("RGBA", self.size, (0, 0, 0, 0))

    def new_mask(self):
        return Image.new("L", self.size, 0)

    def comp(self, layer):
        self.img = Image.alpha_composite(self.img, layer)

    # -- masks -------------------------------------------------------------------
    def mask_rrect(self, x0, y0, x1, y1, r):
        m = self.new_mask()
        ImageDraw.Draw(m).rounded_rectangle(self.box(x0, y0, x1, y1), radius=r * self.f, fill=255)
        return m

    def mask_rect(self, x0, y0, x1, y1):
        m = self.new_mask()
        ImageDraw.Draw(m).rectangle(self.box(x0, y0, x1, y1), fill=255)
        return m

    def mask_ellipse(self, x0, y0, x1, y1):
        m = self.new_mask()
        ImageDraw.Draw(m).ellipse(self.box(x0, y0, x1, y1), fill=255)
        return m

    def mask_circle(self, cx, cy, r):
        return self.mask_ellipse(cx - r, cy - r, cx + r, cy + r)

    def mask_poly(self, pts):
        m = self.new_mask()
        ImageDraw.Draw(m).polygon(self.pts(pts), fill=255)
        return m

    def mask_stroke(self, pts, width, caps=True):
        m = self.new_mask()
        d = ImageDraw.Draw(m)
        P = self.pts(pts)
        wpx = width * self.f
        d.line(P, fill=255, width=max(1, int(round(wpx))), joint="curve")
        if caps:
            r = wpx / 2
            for (x, y) in (P[0], P[-1]):
                d.ellipse([x - r, y - r, x + r, y + r], fill=255)
        return m

    def mask_arc(self, cx, cy, r, a0, a1, width, caps=True):
        m = self.new_mask()
        d = ImageDraw.Draw(m)
        wpx = width * self.f
        R = (r + width / 2) * self.f
        C = self.p(cx, cy)
        d.arc([C[0] - R, C[1] - R, C[0] + R, C[1] + R], a0, a1, fill=255, width=max(1, int(round(wpx))))
        if caps:
            for a in (a0, a1):
                x = C[0] + r * self.f * math.cos(math.radians(a))
                y = C[1] + r * self.f * math.sin(math.radians(a))
                d.ellipse([x - wpx / 2, y - wpx / 2, x + wpx / 2, y + wpx / 2], fill=255)
        return m

    def mask_text(self, x, y, text, size, anchor="la", stroke=0):
        m = self.new_mask()
        ImageDraw.Draw(m).text(self.p(x, y), text, font=font(size * self.f), fill=255, anchor=anchor,
                               stroke_width=int(round(stroke * self.f)), stroke_fill=255)
        return m

    @staticmethod
    def m_sub(a, b):
        return ImageChops.subtract(a, b)

    @staticmethod
    def m_add(a, b):
        return ImageChops.add(a, b)

    @staticmethod
    def m_mul(a, b):
        return ImageChops.multiply(a, b)

    def m_grow(self, m, units):
        k = int(round(units * self.f)) * 2 + 1
        return m.filter(ImageFilter.MaxFilter(k)) if k > 1 else m

    def m_shrink(self, m, units):
        k = int(round(units * self.f)) * 2 + 1
        return m.filter(ImageFilter.MinFilter(k)) if k > 1 else m

    def m_blur(self, m, units):
        return m.filter(ImageFilter.GaussianBlur(units * self.f))

    # -- painting with masks -------------------------------------------------------
    def fill(self, mask, color, alpha=255):
        c = rgba(color)
        a = c[3] * alpha // 255
        layer = Image.new("RGBA", self.size, (c[0], c[1], c[2], 0))
        layer.putalpha(mask.point(lambda v: v * a // 255))
        self.comp(layer)

    def fill_gradient(self, mask, p0, p1, stops, alpha=255):
        g = fast_linear(self, p0, p1, stops)
        a = g.getchannel("A")
        g.putalpha(ImageChops.multiply(a, mask if alpha == 255 else mask.point(lambda v: v * alpha // 255)))
        self.comp(g)

    def fill_radial(self, mask, c, r, stops, alpha=255):
        g = fast_radial(self, c, r, stops)
        a = g.getchannel("A")
        g.putalpha(ImageChops.multiply(a, mask if alpha == 255 else mask.point(lambda v: v * alpha // 255)))
        self.comp(g)

    def glow(self, mask, color, radius, strength=1.0):
        b = self.m_blur(mask, radius)
        if strength != 1.0:
            b = b.point(lambda v: min(255, int(v * strength)))
        self.fill(b, color)

    def shadow(self, mask, dx, dy, blur, color=(0, 0, 0), alpha=120):
        m = ImageChops.offset(mask, int(round(dx * self.f)), int(round(dy * self.f)))
        m = self.m_blur(m, blur)
        self.fill(m, rgba(color, alpha))

    # -- convenience shapes ---------------------------------------------------------
    def rrect(self, x0, y0, x1, y1, r, fill=None, outline=None, width=1.0):
        m = self.mask_rrect(x0, y0, x1, y1, r)
        if fill is not None:
            self.fill(m, fill)
        if outline is not None:
            inner = self.mask_rrect(x0 + width, y0 + width, x1 - width, y1 - width, max(0, r - width))
            self.fill(self.m_sub(m, inner), outline)
        return m

    def ellipse(self, x0, y0, x1, y1, fill=None, outline=None, width=1.0):
        m = self.mask_ellipse(x0, y0, x1, y1)
        if fill is not None:
            self.fill(m, fill)
        if outline is not None:
            inner = self.mask_ellipse(x0 + width, y0 + width, x1 - width, y1 - width)
            self.fill(self.m_sub(m, inner), outline)
        return m

    def circle(self, cx, cy, r, fill=None, outline=None, width=1.0):
        return self.ellipse(cx - r, cy - r, cx + r, cy + r, fill, outline, width)

    def poly(self, pts, fill=None, outline=None, width=1.0):
        m = self.mask_poly(pts)
        if fill is not None:
            self.fill(m, fill)
        if outline is not None:
            self.fill(self.mask_stroke(list(pts) + [pts[0]], width), outline)
        return m

    def stroke(self, pts, width, color, caps=True):
        m = self.mask_stroke(pts, width, caps)
        self.fill(m, color)
        return m

    def arc(self, cx, cy, r, a0, a1, width, color, caps=True):
        m = self.mask_arc(cx, cy, r, a0, a1, width, caps)
        self.fill(m, color)
        return m

    def text(self, x, y, text, size, color, anchor="la", stroke=0):
        m = self.mask_text(x, y, text, size, anchor, stroke)
        self.fill(m, color)
        return m

    # -- output ------------------------------------------------------------------
    def result(self):
        W = int(round(self.w * self.px))
        H = int(round(self.h * self.px))
        return self.img.resize((W, H), Image.LANCZOS)


def stop_color(stops, t):
    t = min(1.0, max(0.0, t))
    for i in range(len(stops) - 1):
        t0, c0 = stops[i]
        t1, c1 = stops[i + 1]
        if t <= t1:
            u = 0 if t1 == t0 else (t - t0) / (t1 - t0)
            return mix(rgba(c0), rgba(c1), u)
    return rgba(stops[-1][1])


def _ramp_lut(stops, n=256):
    cols = [stop_color(stops, i / (n - 1)) for i in range(n)]
    luts = []
    for ch in range(4):
        luts.append([c[ch] for c in cols])
    return luts


def _apply_ramp(param_L, stops):
    luts = _ramp_lut(stops)
    bands = [param_L.point(lut) for lut in luts]
    return Image.merge("RGBA", bands)


def fast_linear(cv, p0, p1, stops):
    """Linear gradient image for a canvas, 256 levels (plenty after downsampling)."""
    W, H = cv.size
    x0, y0 = cv.p(*p0)
    x1, y1 = cv.p(*p1)
    dx, dy = x1 - x0, y1 - y0
    L = math.hypot(dx, dy) or 1.0
    # build a large horizontal ramp, rotate it, and crop: param = projection on (dx,dy)
    diag = int(math.hypot(W, H)) * 2 + 4
    row = []
    for i in range(diag):
        # i - diag/2 is the signed distance (pixels) from the anchor along the direction
        t = (i - diag / 2) / L
        row.append(int(round(min(1.0, max(0.0, t)) * 255)))
    line = Image.new("L", (diag, 1))
    line.putdata(row)
    ramp = line.resize((diag, diag), Image.NEAREST)
    ang = math.degrees(math.atan2(dy, dx))
    rot = ramp.rotate(-ang, resample=Image.BILINEAR, center=(diag / 2, diag / 2))
    # anchor (diag/2, diag/2) of rot must land on (x0, y0)
    ox = int(round(diag / 2 - x0))
    oy = int(round(diag / 2 - y0))
    param = rot.crop((ox, oy, ox + W, oy + H))
    return _apply_ramp(param, stops)


_RADIAL = None


def _radial_base():
    global _RADIAL
    if _RADIAL is None:
        n = 512
        data = []
        for y in range(n):
            dy = y - n / 2 + 0.5
            for x in range(n):
                dx = x - n / 2 + 0.5
                data.append(min(255, int(math.hypot(dx, dy) / (n / 2) * 255)))
        _RADIAL = Image.new("L", (n, n))
        _RADIAL.putdata(data)
    return _RADIAL


def fast_radial(cv, c, r, stops):
    """Radial gradient image: stop 0 at the centre c, stop 1 at radius r (design units)."""
    W, H = cv.size
    cx, cy = cv.p(*c)
    R = max(1, int(round(r * cv.f)))
    big = _radial_base().resize((2 * R, 2 * R), Image.BILINEAR)
    param = Image.new("L", (W, H), 255)
    param.paste(big, (int(round(cx - R)), int(round(cy - R))))
    return _apply_ramp(param, stops)


def save(img, path):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    img.save(path, optimize=True)


# --- extra shape helpers -------------------------------------------------------------
def ellipse_pts(cx, cy, rx, ry, angle=0.0, n=48):
    a = math.radians(angle)
    ca, sa = math.cos(a), math.sin(a)
    out = []
    for i in range(n):
        t = 2 * math.pi * i / n
        x, y = rx * math.cos(t), ry * math.sin(t)
        out.append((cx + x * ca - y * sa, cy + x * sa + y * ca))
    return out


def bezier(p0, p1, p2, p3=None, n=24):
    """Quadratic (3 points) or cubic (4 points) Bezier as a point list."""
    out = []
    for i in range(n + 1):
        t = i / n
        if p3 is None:
            x = (1 - t) ** 2 * p0[0] + 2 * (1 - t) * t * p1[0] + t * t * p2[0]
            y = (1 - t) ** 2 * p0[1] + 2 * (1 - t) * t * p1[1] + t * t * p2[1]
        else:
            x = ((1 - t) ** 3 * p0[0] + 3 * (1 - t) ** 2 * t * p1[0] + 3 * (1 - t) * t * t * p2[0]
                 + t ** 3 * p3[0])
            y = ((1 - t) ** 3 * p0[1] + 3 * (1 - t) ** 2 * t * p1[1] + 3 * (1 - t) * t * t * p2[1]
                 + t ** 3 * p3[1])
        out.append((x, y))
    return out


def rotate_pts(pts, cx, cy, deg):
    a = math.radians(deg)
    ca, sa = math.cos(a), math.sin(a)
    return [(cx + (x - cx) * ca - (y - cy) * sa, cy + (x - cx) * sa + (y - cy) * ca) for (x, y) in pts]
