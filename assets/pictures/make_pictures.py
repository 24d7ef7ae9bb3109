#!/usr/bin/python3
"""Draws Velmora's pictures: the five category icons, the three row-button face
strips and the 21 plug-in preview pictures, each at 1x and 2x, and writes
pictures.rc naming them as RCDATA resources.

Run with Debian's interpreter (PIL from python3-pil, words in WenQuanYi Micro Hei
from fonts-wqy-microhei):

    /usr/bin/python3 assets/pictures/make_pictures.py [OUT_DIR]
    /usr/bin/python3 assets/pictures/make_pictures.py --check WORK_DIR

Without OUT_DIR it writes beside itself. --check draws into WORK_DIR and fails
when a committed file differs from what the script makes now (byte for byte),
or when a file is missing or left over.

Everything is drawn as shapes on a canvas larger than the output (anti-aliasing
by supersampling) and reduced with an area filter; nothing is random without a
fixed seed, and the files carry no timestamps."""
import math
import os
import random
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

FONT_PATH = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"
HERE = os.path.dirname(os.path.abspath(__file__))
JPEG_QUALITY = 80

_fonts = {}


def font(size):
    size = max(1, int(round(size)))
    if size not in _fonts:
        _fonts[size] = ImageFont.truetype(FONT_PATH, size, index=0)
    return _fonts[size]


def mix(a, b, t):
    """Colour between a and b (t = 0..1); keeps a's alpha when b has none."""
    a = tuple(a) + (255,) * (4 - len(a))
    b = tuple(b) + (255,) * (4 - len(b))
    return tuple(int(round(x + (y - x) * t)) for x, y in zip(a, b))


def rgba(c, alpha=None):
    if isinstance(c, int):  # a value on an 'L' mask
        return c
    c = tuple(c) + (255,) * (4 - len(c))
    return c if alpha is None else c[:3] + (int(round(alpha * 255)),)


class Canvas:
    """An RGBA canvas addressed in logical (1x) units; k canvas pixels each."""

    def __init__(self, w, h, k, bg=(0, 0, 0, 0)):
        self.w, self.h, self.k = w, h, k
        self.im = Image.new("RGBA", (int(round(w * k)), int(round(h * k))), rgba(bg))
        self.d = ImageDraw.Draw(self.im)

    def _p(self, pts):
        return [(x * self.k, y * self.k) for x, y in pts]

    def _box(self, x0, y0, x1, y1):
        return [x0 * self.k, y0 * self.k, x1 * self.k - 1, y1 * self.k - 1]

    # --- shapes (opaque onto the canvas; use layer() for translucency) ---
    def poly(self, pts, fill=None, outline=None, width=0):
        if fill is not None:
            self.d.polygon(self._p(pts), fill=rgba(fill))
        if outline is not None and width > 0:
            self.line(list(pts) + [pts[0]], outline, width)

    def line(self, pts, color, width, round_caps=True):
        p = self._p(pts)
        wk = max(1, int(round(width * self.k)))
        self.d.line(p, fill=rgba(color), width=wk, joint="curve")
        if round_caps and wk > 2:
            r = wk / 2.0
            for x, y in (p[0], p[-1]):
                self.d.ellipse([x - r, y - r, x + r, y + r], fill=rgba(color))

    def ellipse(self, cx, cy, rx, ry, fill=None, outline=None, width=0):
        box = [(cx - rx) * self.k, (cy - ry) * self.k, (cx + rx) * self.k, (cy + ry) * self.k]
        if fill is not None:
            self.d.ellipse(box, fill=rgba(fill))
        if outline is not None and width > 0:
            self.d.ellipse(box, outline=rgba(outline), width=max(1, int(round(width * self.k))))

    def circle(self, cx, cy, r, **kw):
        self.ellipse(cx, cy, r, r, **kw)

    def arc(self, cx, cy, rx, ry, a0, a1, color, width):
        """Arc from angle a0 to a1 (degrees, 0 = right, clockwise on screen)."""
        pts = [(cx + rx * math.cos(math.radians(a)), cy + ry * math.sin(math.radians(a)))
               for a in frange(a0, a1, max(8, int(abs(a1 - a0) / 2)))]
        self.line(pts, color, width, round_caps=False)

    def rect(self, x0, y0, x1, y1, fill=None, outline=None, width=0, radius=0):
        box = self._box(x0, y0, x1, y1)
        wk = max(1, int(round(width * self.k))) if outline is not None and width > 0 else 0
        self.d.rounded_rectangle(box, radius=radius * self.k, fill=rgba(fill) if fill is not None else None,
                                 outline=rgba(outline) if wk else None, width=wk)

    def text(self, x, y, s, size, fill, anchor="la", stroke=0, stroke_fill=(0, 0, 0)):
        self.d.text((x * self.k, y * self.k), s, font=font(size * self.k), fill=rgba(fill), anchor=anchor,
                    stroke_width=int(round(stroke * self.k)), stroke_fill=rgba(stroke_fill))

    def text_width(self, s, size):
        return self.d.textlength(s, font=font(size * self.k)) / self.k

    # --- fills ---
    def vgradient(self, x0, y0, x1, y1, stops, mask=None):
        """Vertical gradient through stops [(t, colour), ...] over a rectangle."""
        h = max(1, int(round((y1 - y0) * self.k)))
        w = max(1, int(round((x1 - x0) * self.k)))
        col = Image.new("RGBA", (1, h))
        col.putdata([gradient_at(stops, (i + 0.5) / h) for i in range(h)])
        band = col.resize((w, h), Image.NEAREST)
        self.paste_image(band, x0, y0, mask)

    def hgradient(self, x0, y0, x1, y1, stops, mask=None):
        h = max(1, int(round((y1 - y0) * self.k)))
        w = max(1, int(round((x1 - x0) * self.k)))
        row = Image.new("RGBA", (w, 1))
        row.putdata([gradient_at(stops, (i + 0.5) / w) for i in range(w)])
        self.paste_image(row.resize((w, h), Image.NEAREST), x0, y0, mask)

    def radial(self, cx, cy, rx, ry, inner, outer, mask=None):
        """Ellipse-shaped radial gradient from inner (centre) to outer (rim)."""
        g = Image.radial_gradient("L").resize((int(round(2 * rx * self.k)), int(round(2 * ry * self.k))),
                                               Image.BILINEAR)
        g = g.point(lambda v: min(255, int(v * 255 / 128)))
        a = Image.new("RGBA", g.size, rgba(inner))
        b = Image.new("RGBA", g.size, rgba(outer))
        self.paste_image(Image.composite(b, a, g), cx - rx, cy - ry, mask)

    def paste_image(self, img, x, y, mask=None):
        """Alpha-composites img at (x, y); mask (same size as the canvas, 'L')
        limits where it lands."""
        layer = Image.new("RGBA", self.im.size, (0, 0, 0, 0))
        layer.paste(img, (int(round(x * self.k)), int(round(y * self.k))))
        if mask is not None:
            layer.putalpha(ImageChops.multiply(layer.getchannel("A"), mask))
        self.im.alpha_composite(layer)

    # --- layers ---
    def layer(self):
        return Canvas(self.w, self.h, self.k)

    def composite(self, layer, opacity=1.0, blur=0.0):
        im = layer.im
        if blur > 0:
            im = im.filter(ImageFilter.GaussianBlur(blur * self.k))
        if opacity < 1.0:
            a = im.getchannel("A").point(lambda v: int(round(v * opacity)))
            im = im.copy()
            im.putalpha(a)
        self.im.alpha_composite(im)

    def mask(self):
        """A blank 'L' mask of the canvas size, and a drawing on it in logical units."""
        m = Canvas(self.w, self.h, self.k)
        m.im = Image.new("L", self.im.size, 0)
        m.d = ImageDraw.Draw(m.im)
        return m

    def glow_line(self, pts, color, width, glow=3.0, core=(255, 255, 255), strength=1.0):
        """A bright streak: a blurred halo, the coloured line, a whitish core."""
        halo = self.layer()
        halo.line(pts, color, width * glow)
        self.composite(halo, 0.55 * strength, blur=width * glow * 0.6)
        body = self.layer()
        body.line(pts, color, width)
        body.line(pts, mix(color, core, 0.65), width * 0.45)
        self.composite(body, strength)


def frange(a, b, n):
    return [a + (b - a) * i / n for i in range(n + 1)]


def gradient_at(stops, t):
    if t <= stops[0][0]:
        return rgba(stops[0][1])
    for (t0, c0), (t1, c1) in zip(stops, stops[1:]):
        if t <= t1:
            return mix(c0, c1, (t - t0) / (t1 - t0) if t1 > t0 else 1.0)
    return rgba(stops[-1][1])


def reduce(im, size):
    return im.resize(size, Image.BOX)


# =============================================================================
# Category icons: 35 x 35, a medal inside a ring of chain links
# =============================================================================
ICON = 35
ICON_K = 16  # canvas pixels per 1x pixel


def stadium(cx, cy, ang, length, width, n=12):
    """Outline of a rounded bar of the given length and width, centred at (cx, cy)
    and turned by ang (radians)."""
    r = width / 2.0
    half = max(0.0, length / 2.0 - r)
    local = [(half + r * math.cos(t), r * math.sin(t)) for t in frange(-math.pi / 2, math.pi / 2, n)]
    local += [(-half + r * math.cos(t), r * math.sin(t)) for t in frange(math.pi / 2, 3 * math.pi / 2, n)]
    ca, sa = math.cos(ang), math.sin(ang)
    return [(cx + u * ca - v * sa, cy + u * sa + v * ca) for u, v in local]


def chain_ring(c, cx, cy, r, links=12, metal=((246, 248, 252), (168, 174, 186), (52, 56, 66))):
    """A closed chain on a circle: links lying flat (rings with a hole) alternate
    with links seen edge-on (bars through the neighbours' holes)."""
    light, mid, dark = metal
    step = 2 * math.pi / links
    c.circle(cx, cy, r + 0.9, outline=(40, 44, 52), width=2.2)  # dark backing, seen through the holes
    for i in range(links):
        a = i * step
        x, y = cx + r * math.cos(a), cy + r * math.sin(a)
        t = a + math.pi / 2
        c.poly(stadium(x, y, t, 5.6, 3.5), fill=dark)
        c.poly(stadium(x, y, t, 4.9, 2.8), fill=mid)
        hl = stadium(x - 0.25, y - 0.25, t, 4.3, 2.2)
        c.line(hl[2:11], light, 0.5, round_caps=False) if math.sin(a) > 0 else c.line(hl[15:24], light, 0.5,
                                                                                      round_caps=False)
        c.poly(stadium(x, y, t, 2.9, 1.1), fill=(36, 38, 46))
    for i in range(links):
        a = i * step + step / 2
        x, y = cx + r * math.cos(a), cy + r * math.sin(a)
        t = a + math.pi / 2
        c.poly(stadium(x, y, t, 5.0, 1.7), fill=dark)
        c.poly(stadium(x, y, t, 4.4, 1.1), fill=mid)
        c.line(stadium(x, y, t, 3.4, 0.3)[:13], light, 0.35, round_caps=False)


def medal(c, disc_inner, disc_outer, rim=(214, 172, 70)):
    cx = cy = ICON / 2
    # Shadow under the whole medal, so it reads on a white list row.
    sh = c.layer()
    sh.circle(cx + 0.5, cy + 0.8, 16.6, fill=(0, 0, 0))
    c.composite(sh, 0.35, blur=0.8)
    chain_ring(c, cx, cy, 14.6)
    c.circle(cx, cy, 12.4, fill=(60, 44, 14))
    c.circle(cx, cy, 12.0, fill=rim)
    c.circle(cx, cy, 11.0, fill=mix(rim, (90, 64, 20), 0.55))
    m = c.mask()
    m.circle(cx, cy, 10.6, fill=255)
    c.radial(cx - 3, cy - 3.5, 16, 16, disc_inner, disc_outer, mask=m.im)
    return m.im


def shine(c, clip):
    """A soft highlight across the top of the disc."""
    cx = cy = ICON / 2
    hl = c.layer()
    hl.ellipse(cx - 1.5, cy - 6.5, 8.5, 4.5, fill=(255, 255, 255))
    hl.im.putalpha(ImageChops.multiply(hl.im.getchannel("A"), clip))
    c.composite(hl, 0.22, blur=1.2)


def outlined(c, pts, fill, edge, w=0.9):
    c.poly(pts, fill=edge)
    c.line(list(pts) + [pts[0]], edge, w)
    c.poly(pts, fill=fill)


def icon_aiming(c):
    clip = medal(c, (176, 182, 190), (76, 82, 92))
    bolt = [(20.6, 7.6), (12.0, 19.0), (17.0, 19.0), (13.6, 28.2), (23.4, 15.6), (18.2, 15.6), (21.8, 7.6)]
    sh = c.layer()
    sh.poly([(x + 0.6, y + 0.7) for x, y in bolt], fill=(0, 0, 0))
    c.composite(sh, 0.45, blur=0.5)
    c.line(bolt + [bolt[0]], (110, 70, 10), 1.3)
    m = c.mask()
    m.poly(bolt, fill=255)
    c.vgradient(10, 7, 25, 29, [(0, (255, 246, 170)), (0.45, (250, 200, 50)), (1, (206, 128, 18))], mask=m.im)
    c.line([(20.0, 9.2), (14.2, 17.6)], (255, 252, 220), 0.7)
    shine(c, clip)


def icon_techtree(c):
    clip = medal(c, (255, 178, 84), (206, 86, 10))
    pole = (11.2, 7.8, 12.9, 28.0)
    c.rect(pole[0] - 0.3, pole[1] - 0.3, pole[2] + 0.3, pole[3] + 0.3, fill=(70, 40, 10), radius=0.6)
    c.hgradient(pole[0], pole[1], pole[2], pole[3], [(0, (250, 250, 252)), (1, (120, 126, 136))])
    c.circle(12.05, 7.8, 1.4, fill=(70, 40, 10))
    c.circle(12.05, 7.8, 1.0, fill=(236, 238, 244))
    top = [(12.9 + t * 12.6, 9.2 + 1.3 * math.sin(t * 2 * math.pi)) for t in frange(0, 1, 24)]
    bottom = [(12.9 + t * 12.6, 18.8 + 1.3 * math.sin(t * 2 * math.pi)) for t in frange(1, 0, 24)]
    flag = top + bottom
    sh = c.layer()
    sh.poly([(x + 0.6, y + 0.8) for x, y in flag], fill=(0, 0, 0))
    c.composite(sh, 0.4, blur=0.5)
    c.line(flag + [flag[0]], (80, 60, 50), 1.1)
    m = c.mask()
    m.poly(flag, fill=255)
    c.hgradient(12.9, 7, 26, 21, [(0, (250, 251, 253)), (0.25, (196, 202, 212)), (0.5, (246, 248, 250)),
                                  (0.75, (170, 176, 188)), (1, (226, 230, 236))], mask=m.im)
    shine(c, clip)


def leaf(c, x, y, ang, length, width, fill, edge):
    """An almond-shaped leaf from (x, y) pointing along ang."""
    ca, sa = math.cos(ang), math.sin(ang)
    pts = [(t * length, width / 2 * math.sin(math.pi * t)) for t in frange(0, 1, 12)]
    pts += [(t * length, -width / 2 * math.sin(math.pi * t)) for t in frange(1, 0, 12)][1:-1]
    pts = [(x + u * ca - v * sa, y + u * sa + v * ca) for u, v in pts]
    c.line(pts + [pts[0]], edge, 0.5)
    c.poly(pts, fill=fill)


def laurel(c, cx, cy, r, side, leaf_fill=(236, 196, 86), edge=(100, 66, 10)):
    """A branch of laurel along the inside of the disc on one side (-1 left, 1 right),
    from the bottom up."""
    c.arc(cx, cy, r, r, 90 + side * 22, 90 + side * 150, edge, 0.8)
    for i in range(6):
        a = math.radians(90 + side * (28 + i * 22))
        x, y = cx + r * math.cos(a), cy + r * math.sin(a)
        up = a + side * math.pi / 2  # along the branch, towards its tip
        leaf(c, x, y, up + side * 0.75, 3.3, 1.6, leaf_fill, edge)  # outer leaf
        leaf(c, x, y, up - side * 0.55, 3.0, 1.5, leaf_fill, edge)  # inner leaf


def small_ship(c, x, y, s, color, outline=None):
    """A warship in profile, bow to the right, waterline at y, length 20*s."""
    hull = [(x, y - 1.6 * s), (x + 20 * s, y - 2.4 * s), (x + 17.2 * s, y + 1.6 * s), (x + 1.6 * s, y + 1.6 * s)]
    upper = [(x + 5 * s, y - 1.9 * s), (x + 5 * s, y - 4.2 * s), (x + 8 * s, y - 4.2 * s), (x + 8.6 * s, y - 7.8 * s),
             (x + 10.6 * s, y - 7.8 * s), (x + 11.2 * s, y - 4.2 * s), (x + 14 * s, y - 4.2 * s), (x + 14 * s, y - 2.1 * s)]
    gun_f = [(x + 14.2 * s, y - 2.6 * s), (x + 16 * s, y - 3.6 * s), (x + 19 * s, y - 3.8 * s), (x + 19 * s, y - 3.2 * s),
             (x + 16 * s, y - 2.6 * s)]
    gun_a = [(x + 4.8 * s, y - 2.4 * s), (x + 3.4 * s, y - 3.4 * s), (x + 1.2 * s, y - 3.5 * s), (x + 1.2 * s, y - 2.9 * s),
             (x + 3.2 * s, y - 2.4 * s)]
    mast = [(x + 9.4 * s, y - 7.8 * s), (x + 9.4 * s, y - 11 * s)]
    if outline is not None:
        for p in (hull, upper, gun_f, gun_a):
            c.line(p + [p[0]], outline, 0.9 * s + 0.3)
        c.line(mast, outline, 0.5 * s + 0.8)
    for p in (hull, upper, gun_f, gun_a):
        c.poly(p, fill=color)
    c.line(mast, color, 0.5 * s + 0.1)
    return (x + 9.4 * s, y - 11 * s)


def icon_icons(c):
    clip = medal(c, (70, 110, 176), (16, 34, 84))
    cx = cy = ICON / 2
    laurel(c, cx, cy + 0.4, 7.6, -1)
    laurel(c, cx, cy + 0.4, 7.6, 1)
    top = small_ship(c, 11.0, 22.4, 0.66, (236, 240, 248), outline=(20, 30, 60))
    fx, fy = top
    flag = [(fx, fy), (fx + 4.6, fy + 0.4), (fx + 3.8, fy + 1.4), (fx + 4.8, fy + 2.6), (fx, fy + 2.6)]
    c.line(flag + [flag[0]], (60, 10, 10), 0.8)
    c.poly(flag, fill=(226, 36, 36))
    c.line([(11.5, 24.9), (23.5, 24.9)], (140, 180, 230), 0.7)
    shine(c, clip)


def icon_shells(c):
    clip = medal(c, (240, 92, 80), (140, 14, 18))
    cx = cy = ICON / 2
    ang = math.radians(-35)
    ux, uy = math.cos(ang), math.sin(ang)
    nx, ny = -uy, ux

    def at(t, n):
        return (cx + 1.5 + ux * t + nx * n, cy + 1.0 + uy * t + ny * n)

    for i, (n, t0, t1) in enumerate([(-2.2, -12, -5.5), (0, -13.5, -6.5), (2.2, -11.5, -5.5)]):
        c.line([at(t0, n), at(t1, n)], (255, 230, 200), 0.9)
    body = [at(-5.5, -2.0), at(2.2, -2.0)] + [at(2.2 + 5.6 * math.sin(a), -2.0 * math.cos(a))
                                            for a in frange(0, math.pi / 2, 10)][1:]
    body += [at(2.2 + 5.6 * math.sin(a), 2.0 * math.cos(a)) for a in frange(math.pi / 2, 0, 10)][1:]
    body += [at(-5.5, 2.0)]
    sh = c.layer()
    sh.poly([(x + 0.6, y + 0.8) for x, y in body], fill=(0, 0, 0))
    c.composite(sh, 0.45, blur=0.5)
    c.line(body + [body[0]], (70, 30, 0), 1.1)
    m = c.mask()
    m.poly(body, fill=255)
    lo = c.layer()
    lo.poly(body, fill=(200, 140, 40))
    c.composite(lo)
    hl = c.layer()
    hl.line([at(-5, -1.0), at(4, -1.0)], (255, 236, 150), 1.0)
    c.composite(hl, 0.9)
    # Driving band and the darker nose.
    c.line([at(-3.8, -2.0), at(-3.8, 2.0)], (150, 70, 20), 0.9)
    nose = [at(4.6 + 3.2 * math.sin(a), 1.55 * math.cos(a) * (1 if s > 0 else -1))
            for s in (1, -1) for a in (frange(0, math.pi / 2, 8) if s > 0 else frange(math.pi / 2, 0, 8))]
    c.poly(nose, fill=(120, 124, 132))
    c.line([at(-5.5, -2.0), at(-5.5, 2.0)], (110, 60, 10), 0.9)
    shine(c, clip)


def burst(c, cx, cy, r_out, r_in, spikes, colors, rot=0.0):
    pts = []
    for i in range(spikes * 2):
        r = r_out if i % 2 == 0 else r_in
        a = math.radians(rot + i * 180.0 / spikes)
        pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    c.poly(pts, fill=colors)


def icon_other(c):
    clip = medal(c, (70, 150, 156), (10, 56, 64))
    cx, cy = 17.5, 12.8
    g = c.layer()
    g.circle(cx, cy, 6.5, fill=(255, 200, 80))
    c.composite(g, 0.7, blur=1.4)
    burst(c, cx, cy, 7.2, 3.4, 9, (150, 50, 0), rot=-10)
    burst(c, cx, cy, 6.3, 3.0, 9, (255, 140, 30), rot=-10)
    burst(c, cx, cy, 4.0, 2.0, 7, (255, 220, 90), rot=8)
    c.circle(cx, cy, 1.5, fill=(255, 252, 230))
    small_ship(c, 10.6, 24.4, 0.7, (232, 236, 244), outline=(10, 30, 36))
    m = c.mask()
    m.rect(6, 25.2, 29, 30, fill=255)
    m.im = ImageChops.multiply(m.im, clip)
    c.vgradient(6, 25.2, 29, 30, [(0, (60, 140, 170)), (1, (20, 70, 100))], mask=m.im)
    c.line([(9.5, 25.6), (25.5, 25.6)], (190, 230, 240), 0.6)
    shine(c, clip)


ICONS = [("mz", icon_aiming), ("kjs", icon_techtree), ("tb", icon_icons), ("pd", icon_shells), ("qt", icon_other)]


def draw_icon(fn):
    c = Canvas(ICON, ICON, ICON_K)
    fn(c)
    return {1: reduce(c.im, (ICON, ICON)), 2: reduce(c.im, (2 * ICON, 2 * ICON))}


# =============================================================================
# Row-button face strips: 63 x 69, three states of 63 x 23 (rest, hover, pressed)
# =============================================================================
FACE_W, FACE_H = 63, 23
FACE_K = 8

FACE_STYLES = {
    # border, fill top, fill bottom
    "blue": [((104, 142, 188), (255, 255, 255), (222, 232, 244)),
             ((52, 128, 222), (246, 251, 255), (196, 222, 250)),
             ((40, 96, 170), (184, 206, 234), (226, 236, 248))],
    "orange": [((226, 122, 28), (255, 252, 244), (253, 228, 196)),
               ((246, 140, 30), (255, 250, 236), (255, 212, 150)),
               ((190, 96, 14), (248, 196, 132), (254, 232, 204))],
    "grey": [((166, 166, 166), (246, 246, 246), (218, 218, 218)),
             ((96, 168, 104), (250, 253, 250), (208, 236, 212)),
             ((70, 130, 78), (190, 218, 194), (232, 242, 233))],
}


def arrow(c, x, y, up, color, dark):
    """A block arrow 9 wide and 11 high with its top-left at (x, y)."""
    if up:
        pts = [(x + 4.5, y), (x + 9, y + 5), (x + 6.2, y + 5), (x + 6.2, y + 11), (x + 2.8, y + 11), (x + 2.8, y + 5),
               (x, y + 5)]
    else:
        pts = [(x + 2.8, y), (x + 6.2, y), (x + 6.2, y + 6), (x + 9, y + 6), (x + 4.5, y + 11), (x, y + 6),
               (x + 2.8, y + 6)]
    c.line(pts + [pts[0]], dark, 0.9)
    m = c.mask()
    m.poly(pts, fill=255)
    c.vgradient(x - 1, y - 1, x + 10, y + 12, [(0, mix(color, (255, 255, 255), 0.45)), (1, color)], mask=m.im)


def face_state(kind, state):
    """One state (0 rest, 1 under the mouse, 2 pressed) of a face, drawn at 1x
    logical size on a supersampled canvas; the words are drawn separately so
    they stay crisp (see draw_face)."""
    style = {"details": "blue", "upgrade": "orange", "installed": "grey"}[kind]
    border, top, bottom = FACE_STYLES[style][state]
    c = Canvas(FACE_W, FACE_H, FACE_K)
    if state == 1:  # a soft glow around the highlighted button
        g = c.layer()
        g.rect(0, 0, FACE_W, FACE_H, fill=border, radius=4)
        c.composite(g, 0.35)
    inset = 1
    frame = 2 if kind == "upgrade" else 1
    c.rect(inset, inset, FACE_W - inset, FACE_H - inset, fill=border, radius=3.5)
    m = c.mask()
    m.rect(inset + frame, inset + frame, FACE_W - inset - frame, FACE_H - inset - frame, fill=255,
           radius=3.5 - frame * 0.8)
    c.vgradient(0, inset + frame, FACE_W, FACE_H - inset - frame, [(0, top), (1, bottom)], mask=m.im)
    if state != 2:  # a light line under the top edge: raised
        hl = c.layer()
        hl.line([(inset + frame + 2, inset + frame + 0.5), (FACE_W - inset - frame - 2, inset + frame + 0.5)],
                (255, 255, 255), 1, round_caps=False)
        c.composite(hl, 0.8)
    else:  # a shadow inside the top edge: pressed in
        sh = c.layer()
        sh.rect(inset + frame, inset + frame, FACE_W - inset - frame, inset + frame + 2.2, fill=(0, 0, 0))
        sh.im.putalpha(ImageChops.multiply(sh.im.getchannel("A"), m.im))
        c.composite(sh, 0.16, blur=0.6)
    return c


FACE_CONTENT = {
    # (arrow: None / "up" / "down", arrow colour, arrow edge, words, word colour) per state
    "details": [("down", (40, 110, 214), (16, 58, 130), "详细", (22, 66, 132)),
                ("down", (30, 120, 240), (10, 60, 150), "详细", (10, 70, 170)),
                ("down", (30, 100, 200), (10, 50, 120), "详细", (16, 56, 120))],
    "upgrade": [("up", (246, 132, 24), (150, 66, 0), "升级", (170, 76, 4)),
                ("up", (255, 146, 30), (160, 70, 0), "升级", (196, 86, 0)),
                ("up", (230, 118, 16), (140, 60, 0), "升级", (150, 66, 0))],
    "installed": [(None, None, None, "已安装", (128, 128, 128)),
                  ("down", (46, 168, 62), (16, 96, 30), "重装", (24, 110, 40)),
                  ("down", (40, 150, 56), (14, 84, 26), "重装", (20, 96, 34))],
}


def draw_face(kind):
    out = {}
    for scale in (1, 2):
        strip = Image.new("RGBA", (FACE_W * scale, FACE_H * 3 * scale), (0, 0, 0, 0))
        for state in range(3):
            c = face_state(kind, state)
            shift = 1 if state == 2 else 0
            arrow_kind, col, edge, words, wcol = FACE_CONTENT[kind][state]
            size = 12
            tw = c.text_width(words, size)
            gap = 4
            total = tw + (9 + gap if arrow_kind else 0)
            x = (FACE_W - total) / 2 + shift
            if arrow_kind:
                arrow(c, round(x), 6 + shift, arrow_kind == "up", col, edge)
                x += 9 + gap
            img = reduce(c.im, (FACE_W * scale, FACE_H * scale))
            # Words drawn straight at the output size: hinted glyphs stay sharp.
            tx = round(x * scale)
            ty = (FACE_H / 2 + shift) * scale
            words_layer = Image.new("RGBA", img.size, (0, 0, 0, 0))
            ImageDraw.Draw(words_layer).text((tx, ty), words, font=font(size * scale), fill=rgba(wcol),
                                             anchor="lm")
            img.alpha_composite(words_layer)
            strip.paste(img, (0, state * FACE_H * scale))
        out[scale] = strip
    return out


FACES = ["details", "upgrade", "installed"]


# =============================================================================
# Preview pictures: 405 x 245, what each plug-in changes in the game
# =============================================================================
PW, PH = 405, 245
PREVIEW_K = 4  # the 2x picture is this canvas halved, the 1x quartered

SKY = [(0, (118, 158, 196)), (0.7, (186, 206, 222)), (1, (214, 222, 226))]
SEA = [(0, (70, 104, 130)), (0.25, (46, 82, 112)), (1, (18, 44, 70))]


def sea_scene(c, seed, horizon=104, sky=SKY, sea=SEA, islands=True, waves=140):
    rng = random.Random(seed)
    c.vgradient(0, 0, c.w, horizon, sky)
    if islands:
        for i in range(3):
            x0 = rng.random() * c.w * 0.9 - 20
            wdt = 40 + rng.random() * 70
            hgt = 4 + rng.random() * 7
            pts = [(x0 + wdt * t, horizon - hgt * math.sin(math.pi * t) ** 0.6 *
                    (0.75 + 0.25 * math.sin(7 * t + i))) for t in frange(0, 1, 30)]
            c.poly(pts + [(x0 + wdt, horizon + 1), (x0, horizon + 1)], fill=mix(sky[-1][1], (90, 110, 120), 0.5))
    c.vgradient(0, horizon, c.w, c.h, sea)
    crest, trough = c.layer(), c.layer()
    for _ in range(waves):
        depth = rng.random() ** 1.6  # more waves near the horizon, larger nearer
        y = horizon + 2 + depth * (c.h - horizon)
        x = rng.random() * c.w
        ln = (2 + depth * 16) * (0.4 + 1.4 * rng.random() ** 2)
        bow = (0.2 + depth * 1.2) * (0.5 + rng.random())
        w = 0.3 + depth * 0.9
        pts = [(x + ln * t, y - bow * math.sin(math.pi * t)) for t in frange(0, 1, 8)]
        crest.line(pts, mix((170, 200, 222), (230, 240, 248), rng.random()), w * (0.6 + 0.6 * rng.random()))
        trough.line([(px, py + w * 1.4) for px, py in pts], (6, 20, 36), w * 1.2)
    c.composite(trough, 0.25, blur=0.4)
    c.composite(crest, 0.3)
    c.line([(0, horizon), (c.w, horizon)], mix(sky[-1][1], (255, 255, 255), 0.4), 0.6, round_caps=False)


SHIP_GREY = {"hull": (78, 84, 94), "upper": (150, 156, 166), "deck": (118, 110, 96), "dark": (40, 44, 50),
             "light": (196, 202, 210), "boot": (150, 40, 36)}
SHIP_COLOUR = {"hull": (64, 78, 104), "upper": (196, 200, 204), "deck": (178, 138, 88), "dark": (30, 34, 42),
               "light": (236, 240, 244), "boot": (196, 44, 36)}


def ship_parts(kind):
    """Polygons of a warship in profile on a 100-long hull, waterline at y = 0, up
    negative, bow at x = 100. Each part: (role, points)."""
    parts = []
    if kind == "cv":
        parts.append(("hull", [(0, -6), (100, -8), (96, 1.5), (5, 1.5), (0, -1)]))
        parts.append(("deck", [(-2, -9.5), (102, -9.5), (101, -7.8), (0, -7.8)]))
        parts.append(("upper", [(62, -9.5), (62, -17), (66, -17), (67, -23), (72, -23), (72, -17), (76, -17),
                                (76, -9.5)]))
        parts.append(("dark", [(68, -23), (71, -23), (71.5, -26), (68, -26)]))
        return parts
    if kind == "dd":
        parts.append(("hull", [(0, -3.5), (60, -4), (88, -5), (100, -7), (97, 1.2), (4, 1.2), (0, -0.5)]))
        parts.append(("upper", [(60, -4), (60, -10), (66, -10), (69, -14), (73, -14), (74, -5)]))
        parts.append(("upper", [(40, -4), (40, -7), (56, -7), (56, -4)]))
        for fx in (44, 51):
            parts.append(("upper", [(fx, -7), (fx + 1, -13), (fx + 4, -13), (fx + 4, -7)]))
        parts += turret(82, -5, 5, 2.6, 1, 7, 1)
        parts += turret(16, -3.6, 5, 2.6, -1, 7, 1)
        parts.append(("dark", [(26, -4), (26, -5.5), (36, -5.5), (36, -4)]))  # torpedo tubes
        parts.append(("mast", [(70, -14), (70, -24)]))
        return parts
    big = kind == "bb"
    parts.append(("hull", [(0, -5.5), (30, -6), (70, -6.5), (92, -8.5), (100, -10), (96, 1.5), (4, 1.5),
                           (0, -1)]))
    parts.append(("upper", [(34, -6.2), (34, -11), (62, -11), (62, -6.4)]))
    if big:
        parts.append(("upper", [(51, -11), (52, -19), (55, -21), (59, -21), (60, -11)]))
        parts.append(("upper", [(53, -21), (53.5, -25), (57.5, -25), (58, -21)]))
        parts.append(("upper", [(43, -11), (44, -18), (49, -18), (49, -11)]))
        parts.append(("dark", [(44, -17.2), (49, -17.2), (49, -18), (44, -18)]))
        parts.append(("upper", [(36, -11), (36, -15), (40, -15), (40, -11)]))
        parts.append(("mast", [(55.5, -25), (55.5, -33)]))
        parts += turret(74, -6.8, 9, 3.8, 1, 12, 3)
        parts += turret(64, -10.6, 9, 3.6, 1, 11, 3)
        parts += turret(28, -6.2, 9, 3.8, -1, 12, 3)
    else:
        parts.append(("upper", [(52, -11), (53, -17), (58, -17), (59, -11)]))
        for fx in (40, 46):
            parts.append(("upper", [(fx, -11), (fx + 1, -17), (fx + 4, -17), (fx + 4, -11)]))
        parts.append(("mast", [(55.5, -17), (55.5, -27)]))
        parts += turret(74, -6.8, 7, 3.0, 1, 9, 3)
        parts += turret(66, -10.6, 7, 3.0, 1, 8, 3)
        parts += turret(26, -6.2, 7, 3.0, -1, 9, 3)
        parts += turret(18, -6.0, 7, 3.0, -1, 8, 3)
    return parts


def turret(x, deck, w, h, facing, barrel, guns):
    """A gun house on the deck at x, barrels pointing to the bow (1) or stern (-1)."""
    parts = [("upper", [(x - w / 2, deck), (x - w / 2 + 0.6, deck - h), (x + w / 2 - 0.6, deck - h),
                        (x + w / 2, deck)])]
    front = x + facing * w / 2
    y = deck - h * 0.55
    parts.append(("dark", [(front, y - 0.5), (front + facing * barrel, y - 0.9), (front + facing * barrel, y - 0.2),
                           (front, y + 0.5)]))
    return parts


def warship(c, x, y, length, kind="bb", facing=1, palette=SHIP_GREY, tint=None):
    """Draws a ship with its waterline from (x, y), bow towards facing."""
    s = length / 100.0

    def tx(pts):
        if facing > 0:
            return [(x + u * s, y + v * s) for u, v in pts]
        return [(x + length - u * s, y + v * s) for u, v in pts]

    pal = dict(palette)
    if tint is not None:
        pal = {k: mix(v, tint[0], tint[1]) for k, v in pal.items()}
    for role, pts in ship_parts(kind):
        if role == "mast":
            c.line(tx(pts), pal["dark"], max(0.4, 0.7 * s), round_caps=False)
            continue
        c.poly(tx(pts), fill=pal[role if role in pal else "upper"])
        if role == "upper":  # lit top edge
            top = sorted(pts, key=lambda p: p[1])[:2]
            c.line(tx(sorted(top)), pal["light"], max(0.3, 0.35 * s), round_caps=False)
    # Boot topping along the waterline and portholes along the hull.
    c.poly(tx([(3, -0.6), (97, -0.6), (96.6, 0.6), (3.6, 0.6)]), fill=pal["boot"])
    for i in range(10, 90, 6):
        px, py = tx([(i, -3)])[0]
        c.circle(px, py, max(0.25, 0.35 * s), fill=pal["dark"])


def foam(c, x, y, length, facing=1, wake=40):
    f = c.layer()
    bow = x + length if facing > 0 else x
    stern = x if facing > 0 else x + length
    f.ellipse(bow - facing * length * 0.02, y + 0.4, length * 0.06, length * 0.014, fill=(240, 246, 250))
    spread = length * 0.012
    f.poly([(stern, y - spread), (stern - facing * wake, y + 0.6), (stern, y + spread * 1.5)], fill=(226, 238, 246))
    f.line([(x + 2, y + 0.5), (x + length - 2, y + 0.5)], (220, 234, 242), length * 0.008)
    c.composite(f, 0.6, blur=max(0.5, length * 0.006))


def target_scene(c, seed, ship_kind="bb", ship_x=210, ship_len=92, horizon=112, facing=-1):
    """A sniper's view: sea, islands and an enemy ship near the middle."""
    sea_scene(c, seed, horizon=horizon)
    warship(c, ship_x, horizon + 8, ship_len, ship_kind, facing=facing)
    foam(c, ship_x, horizon + 8, ship_len, facing=facing, wake=30)


def label(c, x, y, s, size, fill=(255, 255, 255), anchor="la", shadow=True):
    if shadow:
        sh = c.layer()
        sh.text(x + 0.6, y + 0.8, s, size, (0, 0, 0), anchor=anchor)
        c.composite(sh, 0.7, blur=0.5)
    c.text(x, y, s, size, fill, anchor=anchor)


def translucent_rect(c, x0, y0, x1, y1, color, opacity, radius=0, outline=None):
    l = c.layer()
    l.rect(x0, y0, x1, y1, fill=color, radius=radius)
    c.composite(l, opacity)
    if outline is not None:
        c.rect(x0, y0, x1, y1, outline=outline, width=0.6, radius=radius)


def ticks(c, cx, y, half, step, color, long_every=5, size=3, big=6, numbers=None, width=0.6):
    n = int(half / step)
    for i in range(-n, n + 1):
        x = cx + i * step
        h = big if i % long_every == 0 else size
        c.line([(x, y - h / 2), (x, y + h / 2)], color, width, round_caps=False)
        if numbers and i % long_every == 0 and i != 0:
            c.text(x, y + big / 2 + 1.5, str(abs(i) // long_every * numbers), 5.5, color, anchor="mt")


# --- aiming ---------------------------------------------------------------------
def preview_wgmz(c):
    target_scene(c, 11, "bb", ship_x=226, ship_len=96)
    cx, cy = 202, 122
    ov = c.layer()
    white = (240, 246, 240)
    for i in range(-9, 10):  # the mesh of the grid sight
        x = cx + i * 9
        ov.line([(x, cy - 63), (x, cy + 63)], white, 0.35 if i % 3 else 0.6, round_caps=False)
    for j in range(-7, 8):
        y = cy + j * 9
        ov.line([(cx - 81, y), (cx + 81, y)], white, 0.35 if j % 3 else 0.6, round_caps=False)
    c.composite(ov, 0.55)
    ov = c.layer()
    ov.arc(cx, cy + 150, 190, 190, 244, 296, white, 0.9)  # the arc scale above the centre
    for a in range(246, 295, 2):
        r0 = 190 if a % 10 else 186
        ca, sa = math.cos(math.radians(a)), math.sin(math.radians(a))
        ov.line([(cx + r0 * ca, cy + 150 + r0 * sa), (cx + 194 * ca, cy + 150 + 194 * sa)], white,
                0.6 if a % 10 else 0.9, round_caps=False)
        if a % 10 == 0:
            ov.text(cx + 200 * ca, cy + 150 + 200 * sa, str(abs(a - 270) // 2), 5.5, white, anchor="mm")
    ov.arc(cx, cy - 150, 190, 190, 64, 116, white, 0.9)
    ov.line([(cx - 90, cy), (cx - 8, cy)], white, 1.0)
    ov.line([(cx + 8, cy), (cx + 90, cy)], white, 1.0)
    ov.line([(cx, cy + 8), (cx, cy + 70)], white, 1.0)
    ov.circle(cx, cy, 2.2, outline=white, width=0.8)
    c.composite(ov, 0.95)
    label(c, 10, 226, "12.6 km", 9, (255, 255, 255))
    label(c, 395, 226, "x 8.0", 9, anchor="ra")


def preview_ckmz(c):
    target_scene(c, 12, "ca", ship_x=248, ship_len=86, facing=1)
    cx, cy = 202, 120
    ov = c.layer()
    white = (255, 255, 255)
    for i, (rx, ry) in enumerate([(26, 7), (52, 14), (84, 23), (124, 34), (170, 47)]):
        ov.ellipse(cx, cy + ry * 0.2, rx, ry, outline=white, width=0.7)
        ov.text(cx + rx + 2, cy + ry * 0.2 - 1, str(i + 1), 6, white, anchor="lm")
    ov.line([(4, cy), (cx - 6, cy)], white, 0.9, round_caps=False)
    ov.line([(cx + 6, cy), (401, cy)], white, 0.9, round_caps=False)
    ticks(ov, cx, cy, 196, 4.5, white, long_every=5, size=2.5, big=6, numbers=4)
    ov.line([(cx, cy + 4), (cx, cy + 50)], white, 0.9)
    for j in range(1, 5):
        ov.line([(cx - 5 + j, cy + j * 10), (cx + 5 - j, cy + j * 10)], white, 0.7)
    c.composite(ov, 0.9)
    label(c, 10, 10, "偏航参考", 9)
    label(c, 10, 226, "9.8 km", 9)


def preview_lsmz(c):
    sea_scene(c, 13, horizon=116, sky=[(0, (60, 86, 116)), (1, (150, 172, 190))],
              sea=[(0, (40, 70, 96)), (1, (10, 26, 44))])
    warship(c, 176, 124, 104, "bb", facing=1)
    foam(c, 176, 124, 104, facing=1)
    cyan = (60, 230, 255)
    cx, cy = 202, 118
    vign = c.layer()  # the eagle-eye tube: dark outside a wide circle
    vign.rect(0, 0, PW, PH, fill=(0, 12, 24))
    vign.ellipse(cx, cy, 170, 118, fill=(0, 0, 0, 0))
    c.composite(vign, 0.6, blur=8)
    ov = c.layer()
    for a0 in range(0, 360, 45):
        ov.arc(cx, cy, 62, 62, a0 + 6, a0 + 39, cyan, 1.0)
    for a0 in range(0, 360, 90):
        ov.arc(cx, cy, 96, 96, a0 + 20, a0 + 70, cyan, 1.6)
    for a in range(0, 360, 5):
        r0 = 100 if a % 15 else 97
        ca, sa = math.cos(math.radians(a)), math.sin(math.radians(a))
        ov.line([(cx + r0 * ca, cy + r0 * sa), (cx + 104 * ca, cy + 104 * sa)], cyan, 0.5, round_caps=False)
    for sx in (-1, 1):  # brackets and the horizontal rail
        ov.line([(cx + sx * 20, cy - 10), (cx + sx * 26, cy - 10), (cx + sx * 26, cy + 10), (cx + sx * 20, cy + 10)],
                cyan, 1.0)
        ov.line([(cx + sx * 34, cy), (cx + sx * 150, cy)], cyan, 0.8, round_caps=False)
        for i in range(1, 12):
            x = cx + sx * (34 + i * 10)
            ov.line([(x, cy - (4 if i % 2 else 7)), (x, cy)], cyan, 0.6, round_caps=False)
    ov.line([(cx, cy + 14), (cx, cy + 56)], cyan, 0.8)
    ov.poly([(cx - 3, cy + 6), (cx + 3, cy + 6), (cx, cy + 2)], fill=cyan)
    ov.text(cx + 110, cy - 26, "RNG 11.2km", 6.5, cyan)
    ov.text(cx + 110, cy - 17, "SPD 30kn", 6.5, cyan)
    ov.text(cx - 150, cy - 26, "ZOOM x12", 6.5, cyan)
    ov.text(cx - 150, cy - 17, "LOCK ◆", 6.5, cyan)
    glow = ov.im.filter(ImageFilter.GaussianBlur(2.5 * c.k))
    c.im.alpha_composite(glow)
    c.composite(ov)


def preview_htmz(c):
    target_scene(c, 14, "ca", ship_x=150, ship_len=84, facing=-1)
    cx, cy = 202, 124
    ov = c.layer()
    white = (255, 255, 255)
    ov.line([(2, cy), (403, cy)], white, 0.7, round_caps=False)  # the long ruler across the view
    for i in range(-44, 45):
        x = cx + i * 4.5
        h = 7 if i % 10 == 0 else (4.5 if i % 5 == 0 else 2.5)
        ov.line([(x, cy), (x, cy + h)], white, 0.55, round_caps=False)
        if i % 10 == 0 and i:
            ov.text(x, cy + 9, str(abs(i) // 10), 6, white, anchor="mt")
    ov.line([(cx, cy - 14), (cx, cy - 4)], white, 0.8)
    ov.line([(cx, cy + 10), (cx, cy + 40)], white, 0.6)
    ov.circle(cx, cy, 1.1, fill=white)
    c.composite(ov, 0.92)
    label(c, 10, 226, "11.4 km", 8.5)


def preview_lvmz(c):
    target_scene(c, 15, "dd", ship_x=214, ship_len=96, facing=-1)
    green = (90, 255, 110)
    cx, cy = 202, 120
    ov = c.layer()
    ov.circle(cx, cy, 78, outline=green, width=0.8)
    ov.circle(cx, cy, 40, outline=green, width=0.5)
    for a in (0, 90, 180, 270):
        ca, sa = math.cos(math.radians(a)), math.sin(math.radians(a))
        ov.line([(cx + 44 * ca, cy + 44 * sa), (cx + 90 * ca, cy + 90 * sa)], green, 1.3)
    for i in range(1, 8):  # stadia ticks on the lower arm
        w = 9 if i % 2 == 0 else 5
        ov.line([(cx - w, cy + i * 10), (cx + w, cy + i * 10)], green, 0.7)
    for sx in (-1, 1):
        for i in range(1, 8):
            x = cx + sx * i * 10
            ov.line([(x, cy - 3), (x, cy + 3)], green, 0.7)
        ov.poly([(cx + sx * 8, cy), (cx + sx * 16, cy - 4), (cx + sx * 16, cy + 4)], fill=green)
    ov.text(cx + 84, cy + 48, "8.4", 8, green)
    ov.text(cx - 104, cy + 48, "x6", 8, green)
    glow = ov.im.filter(ImageFilter.GaussianBlur(1.8 * c.k))
    c.im.alpha_composite(glow)
    c.composite(ov)


# --- tech trees -------------------------------------------------------------------
ROMAN = ["I", "II", "III", "IV", "V", "VI", "VII", "VIII", "IX", "X"]
HAIR = [(250, 214, 120), (70, 46, 36), (214, 96, 70), (200, 214, 236), (120, 80, 170), (40, 44, 60),
        (250, 170, 190), (110, 170, 220), (230, 140, 40), (90, 60, 40)]
EYES = [(60, 120, 220), (180, 40, 60), (60, 160, 90), (140, 70, 190), (220, 140, 30), (40, 110, 150)]


def portrait(c, x0, y0, w, h, n, bg=None):
    """A stylised character bust filling the rectangle: card n picks the hair,
    eyes, hairstyle and hat. Drawn in a unit box scaled to the card."""
    rng = random.Random(1000 + n)
    hair = HAIR[n % len(HAIR)]
    eye = EYES[(n * 5 + 1) % len(EYES)]
    style = n % 4
    s = min(w / 50.0, h / 46.0)
    cx = x0 + w / 2 + (rng.random() - 0.5) * w * 0.1
    top = y0 + h * 0.08

    def P(u, v):
        return (cx + u * s, top + v * s)

    dark_hair = mix(hair, (0, 0, 0), 0.35)
    skin = (255, 226, 206)
    # Hair behind the head: long, twin tails or short.
    if style in (0, 2):
        c.poly([P(-16, 10), P(-18, 36), P(-10, 46), P(10, 46), P(18, 36), P(16, 10)], fill=dark_hair)
    if style == 1:
        for sx in (-1, 1):
            c.poly([P(sx * 13, 8), P(sx * 24, 18), P(sx * 22, 40), P(sx * 16, 44), P(sx * 15, 24)], fill=dark_hair)
    # Shoulders in a uniform with a sailor collar.
    uni = [(255, 255, 255), (40, 56, 110), (30, 30, 40), (120, 20, 30)][(n // 2) % 4]
    c.poly([P(-22, 46), P(-19, 33), P(-7, 28), P(7, 28), P(19, 33), P(22, 46)], fill=uni)
    collar = (36, 60, 140) if uni == (255, 255, 255) else (240, 240, 246)
    c.poly([P(-12, 30), P(0, 42), P(12, 30), P(8, 29), P(0, 36), P(-8, 29)], fill=collar)
    c.poly([P(-2, 38), P(2, 38), P(3.5, 43), P(0, 41.5), P(-3.5, 43)], fill=(220, 40, 50))  # scarf knot
    c.poly([P(-4, 22), P(4, 22), P(4, 30), P(0, 33), P(-4, 30)], fill=mix(skin, (200, 150, 130), 0.3))
    # Face.
    c.ellipse(cx, top + 15 * s, 11 * s, 12.5 * s, fill=skin)
    c.poly([P(-10, 16), P(0, 29), P(10, 16)], fill=skin)
    # Eyes: large, with a highlight.
    for sx in (-1, 1):
        ex, ey = P(sx * 4.6, 16.5)
        c.ellipse(ex, ey, 2.5 * s, 3.2 * s, fill=(255, 255, 255))
        c.ellipse(ex, ey + 0.4 * s, 2.0 * s, 2.8 * s, fill=eye)
        c.ellipse(ex, ey + 0.8 * s, 1.0 * s, 1.4 * s, fill=mix(eye, (0, 0, 0), 0.6))
        c.ellipse(ex - 0.7 * s, ey - 0.8 * s, 0.7 * s, 0.7 * s, fill=(255, 255, 255))
        c.line([(ex - 2.6 * s, ey - 3.2 * s), (ex + 2.6 * s, ey - 3.4 * s)], (50, 30, 30), 0.5 * s)
    c.line([P(-1.2, 24), P(1.2, 24)], (200, 90, 90), 0.5 * s)
    c.ellipse(*P(-7.5, 20.5), 1.6 * s, 0.8 * s, fill=(255, 180, 180))
    c.ellipse(*P(7.5, 20.5), 1.6 * s, 0.8 * s, fill=(255, 180, 180))
    # Hair in front: a cap of hair with bangs.
    bangs = [P(-12.5, 16), P(-12, 6), P(-6, 0), P(0, -1.5), P(6, 0), P(12, 6), P(12.5, 16), P(9.5, 9), P(6, 12),
             P(4, 7), P(0.5, 11), P(-2.5, 6), P(-6, 11.5), P(-9, 8)]
    c.poly(bangs, fill=hair)
    c.line([P(-6, 2.5), P(-1, 1.2)], mix(hair, (255, 255, 255), 0.5), 0.6 * s)
    if style == 3:  # a ponytail tie and a side lock
        c.poly([P(12, 8), P(18, 12), P(17, 30), P(13, 26)], fill=hair)
    if n % 3 == 0:  # a naval cap
        c.poly([P(-13, 3), P(-11, -4), P(0, -7), P(11, -4), P(13, 3)], fill=(250, 250, 252))
        c.poly([P(-13, 3), P(13, 3), P(12, 5.5), P(-12, 5.5)], fill=(30, 36, 60))
        c.ellipse(*P(0, 0), 2.2 * s, 1.6 * s, fill=(230, 180, 50))
    elif n % 3 == 1:  # a hair ornament
        c.circle(*P(-9, 4), 2.3 * s, fill=(240, 70, 90))
        c.circle(*P(-9, 4), 1.0 * s, fill=(255, 220, 230))


def tree_background(c, flag=False):
    c.vgradient(0, 0, PW, PH, [(0, (24, 40, 62)), (1, (10, 18, 30))])
    grid = c.layer()
    for x in range(0, PW, 12):
        grid.line([(x, 0), (x, PH)], (70, 110, 150), 0.3, round_caps=False)
    for y in range(0, PH, 12):
        grid.line([(0, y), (PW, y)], (70, 110, 150), 0.3, round_caps=False)
    c.composite(grid, 0.25)


def flag_background(c, x0, y0, x1, y1, n):
    """A simple national-style flag of our own: stripes, a cross or a tricolour."""
    w, h = x1 - x0, y1 - y0
    kind = n % 4
    if kind == 0:  # stripes with a canton of stars
        for i in range(7):
            c.rect(x0, y0 + i * h / 7, x1, y0 + (i + 1) * h / 7, fill=(200, 40, 50) if i % 2 == 0 else (245, 245, 245))
        c.rect(x0, y0, x0 + w * 0.45, y0 + h * 4 / 7, fill=(40, 60, 130))
        for i in range(3):
            for j in range(4):
                burst(c, x0 + 4 + j * w * 0.1, y0 + 4 + i * h * 0.17, 1.4, 0.6, 5, (255, 255, 255), rot=-90)
    elif kind == 1:  # a Nordic cross
        c.rect(x0, y0, x1, y1, fill=(30, 90, 170))
        c.rect(x0 + w * 0.3, y0, x0 + w * 0.42, y1, fill=(250, 210, 30))
        c.rect(x0, y0 + h * 0.42, x1, y0 + h * 0.58, fill=(250, 210, 30))
    elif kind == 2:  # a vertical tricolour
        for i, col in enumerate([(30, 70, 160), (245, 245, 245), (210, 40, 50)]):
            c.rect(x0 + i * w / 3, y0, x0 + (i + 1) * w / 3, y1, fill=col)
    else:  # a horizontal tricolour with a disc
        for i, col in enumerate([(30, 30, 30), (210, 30, 40), (250, 200, 40)]):
            c.rect(x0, y0 + i * h / 3, x1, y0 + (i + 1) * h / 3, fill=col)
        c.circle(x0 + w / 2, y0 + h / 2, h * 0.16, fill=(255, 255, 255))
    veil = c.layer()
    veil.rect(x0, y0, x1, y1, fill=(255, 255, 255))
    c.composite(veil, 0.18)


TREE_NAMES_EN = ["Erie", "Chester", "St.Louis", "Phoenix", "Omaha", "Pensacola", "NewOrleans", "Baltimore",
                 "Buffalo", "DesMoines"]
TREE_NAMES_ZH = ["伊利", "切斯特", "圣路易斯", "凤凰", "奥马哈", "彭萨科拉", "新奥尔良", "巴尔的摩", "布法罗",
                 "得梅因"]


def tech_tree(c, card, names=None, flags=False, rows=2, title=None, name_size=6.5,
              card_bg=((80, 110, 150), (30, 44, 70))):
    """A nation's tech tree: tiers I-X across, cards joined by research lines;
    card(c, x0, y0, x1, y1, n) draws each card's picture."""
    tree_background(c)
    cols = 5
    cw, ch = 62, 68
    gapx = (PW - 20 - cols * cw) / (cols - 1)
    top = 32
    for t in range(cols):
        x = 10 + t * (cw + gapx) + cw / 2
        c.text(x, 12, ROMAN[t + (5 if rows == 1 else 0)] if rows == 1 else ROMAN[t * 2] + "-" + ROMAN[t * 2 + 1],
               7.5, (220, 200, 140), anchor="mm")
    c.line([(6, 20), (PW - 6, 20)], (90, 120, 150), 0.5, round_caps=False)
    n = 0
    for r in range(rows):
        y0 = top + r * (ch + 32) + (40 if rows == 1 else 0)
        for t in range(cols):
            x0 = 10 + t * (cw + gapx)
            if t < cols - 1:
                ly = y0 + ch / 2
                c.line([(x0 + cw + 1, ly), (x0 + cw + gapx - 4, ly)], (190, 200, 210), 0.9, round_caps=False)
                c.poly([(x0 + cw + gapx - 1, ly), (x0 + cw + gapx - 5, ly - 2.5), (x0 + cw + gapx - 5, ly + 2.5)],
                       fill=(190, 200, 210))
            c.rect(x0 - 0.8, y0 - 0.8, x0 + cw + 0.8, y0 + ch + 0.8, fill=(180, 190, 200), radius=2)
            m = c.mask()
            m.rect(x0, y0, x0 + cw, y0 + ch, fill=255, radius=1.5)
            inner = c.layer()
            if flags:
                flag_background(inner, x0, y0, x0 + cw, y0 + ch, n)
            else:
                inner.vgradient(x0, y0, x0 + cw, y0 + ch, [(0, card_bg[0]), (1, card_bg[1])])
            card(inner, x0, y0, x0 + cw, y0 + ch - 14, n)
            inner.im.putalpha(ImageChops.multiply(inner.im.getchannel("A"), m.im))
            c.composite(inner)
            band = c.layer()
            band.rect(x0, y0 + ch - 14, x0 + cw, y0 + ch, fill=(8, 14, 24))
            band.im.putalpha(ImageChops.multiply(band.im.getchannel("A"), m.im))
            c.composite(band, 0.78)
            tier = t * 2 + 1 + r if rows == 2 else t + 6
            c.text(x0 + 3, y0 + 2.5, ROMAN[min(tier, 10) - 1], 6.5, (255, 230, 150), stroke=0.5, stroke_fill=(0, 0, 0))
            if names:
                c.text(x0 + cw / 2, y0 + ch - 7, names[n % len(names)], name_size, (240, 244, 248), anchor="mm")
            n += 1
        if rows == 2 and r == 0:
            for t in range(cols):  # each tier leads down too
                x = 10 + t * (cw + gapx) + cw / 2
                c.line([(x, y0 + ch + 2), (x, y0 + ch + 28)], (150, 160, 170), 0.6, round_caps=False)
    if title:
        label(c, PW - 8, PH - 12, title, 7.5, (200, 210, 220), anchor="ra")


def character_card(c, x0, y0, x1, y1, n):
    portrait(c, x0 + 2, y0 + 2, x1 - x0 - 4, y1 - y0, n)
    warship(c, x1 - 26, y1 - 4, 22, ["dd", "ca", "bb", "cv"][n % 4], palette=SHIP_COLOUR)


def preview_pg(c):
    tech_tree(c, character_card, names=TREE_NAMES_EN, title="Pacific Girls",
              card_bg=((90, 190, 210), (30, 80, 120)))


def preview_jcjn(c):
    def card(cc, x0, y0, x1, y1, n):
        character_card(cc, x0, y0, x1, y1, n + 3)
    tech_tree(c, card, names=[n.upper() for n in TREE_NAMES_EN[3:] + TREE_NAMES_EN[:3]], name_size=5.8,
              card_bg=((236, 150, 170), (110, 50, 90)))


def preview_jc1(c):
    def card(cc, x0, y0, x1, y1, n):
        character_card(cc, x0, y0, x1, y1, n + 6)
    tech_tree(c, card, names=TREE_NAMES_ZH, name_size=7.5, card_bg=((150, 130, 200), (50, 40, 90)))


def preview_jc2(c):
    def card(cc, x0, y0, x1, y1, n):
        portrait(cc, x0 + 2, y0 + 2, x1 - x0 - 4, y1 - y0, n + 2)
    tech_tree(c, card, names=TREE_NAMES_EN, flags=True)


def preview_hh(c):
    kinds = ["dd", "ca", "bb", "cv", "ca"]
    names = ["驱逐舰 · 法拉格特", "巡洋舰 · 克利夫兰", "战列舰 · 科罗拉多", "航空母舰 · 列克星敦", "巡洋舰 · 巴尔的摩",
             "驱逐舰 · 马汉", "巡洋舰 · 新奥尔良", "战列舰 · 北卡罗来纳", "航空母舰 · 埃塞克斯", "战列舰 · 衣阿华"]

    def card(cc, x0, y0, x1, y1, n):
        cc.vgradient(x0, y0, x1, y1, [(0, (110, 150, 190)), (1, (60, 90, 130))])
        warship(cc, x0 + 4, y1 - 12, x1 - x0 - 8, kinds[n % 5], palette=SHIP_COLOUR)
        cc.text(x0 + (x1 - x0) / 2, y1 - 5, names[n].split(" · ")[0], 7, (255, 236, 170), anchor="mm", stroke=0.5,
                stroke_fill=(0, 0, 0))

    tech_tree(c, card, names=[n.split(" · ")[1] for n in names], name_size=6.6)


# --- icons ------------------------------------------------------------------------
CLASS_COLOURS = {"cv": (236, 196, 40), "dd": (70, 190, 80), "ca": (220, 60, 50), "bb": (60, 120, 220)}


def class_symbol(c, cx, cy, s, kind, color):
    """The class marks used on the battle screens: a shape per class, about 2s wide."""
    if kind == "dd":
        c.poly([(cx - s, cy - s * 0.55), (cx + s, cy), (cx - s, cy + s * 0.55), (cx - s * 0.45, cy)], fill=color)
    elif kind == "ca":
        c.poly([(cx - s, cy - s * 0.6), (cx + s * 0.2, cy - s * 0.6), (cx + s, cy), (cx + s * 0.2, cy + s * 0.6),
                (cx - s, cy + s * 0.6)], fill=color)
    elif kind == "bb":
        c.poly([(cx - s, cy - s * 0.7), (cx + s * 0.3, cy - s * 0.7), (cx + s, cy), (cx + s * 0.3, cy + s * 0.7),
                (cx - s, cy + s * 0.7)], fill=color)
        c.rect(cx - s * 0.8, cy - s * 0.2, cx + s * 0.25, cy + s * 0.2, fill=mix(color, (0, 0, 0), 0.5))
    else:
        c.poly([(cx - s, cy - s * 0.35), (cx + s, cy - s * 0.35), (cx + s * 0.7, cy + s * 0.45),
                (cx - s * 0.7, cy + s * 0.45)], fill=color)
        c.rect(cx + s * 0.2, cy - s * 0.85, cx + s * 0.55, cy - s * 0.35, fill=color)


def battle_backdrop(c, seed):
    sea_scene(c, seed, horizon=70, waves=60)
    veil = c.layer()
    veil.rect(0, 0, PW, PH, fill=(6, 12, 22))
    c.composite(veil, 0.72)


def preview_xbb(c):
    battle_backdrop(c, 21)
    kinds = ["cv", "dd", "ca", "bb"]
    names = ["航母", "驱逐", "巡洋", "战列"]
    for i, k in enumerate(kinds):  # the four tiles of the legend, large
        x0 = 26 + i * 92
        c.rect(x0, 16, x0 + 74, 72, fill=CLASS_COLOURS[k], radius=6)
        c.rect(x0 + 2, 18, x0 + 72, 42, fill=mix(CLASS_COLOURS[k], (255, 255, 255), 0.25), radius=5)
        class_symbol(c, x0 + 30, 44, 16, k, (255, 255, 255))
        c.text(x0 + 68, 68, "X", 13, (255, 255, 255), anchor="rb", stroke=0.8, stroke_fill=mix(CLASS_COLOURS[k],
                                                                                             (0, 0, 0), 0.5))
        label(c, x0 + 37, 80, names[i], 8.5, anchor="mt")
    rng = random.Random(22)
    for row in range(3):  # a field of small icons with tier numbers, as in battle
        for col in range(9):
            k = kinds[int(rng.random() * 4)]
            tier = 4 + int(rng.random() * 7)
            x0 = 22 + col * 41
            y0 = 112 + row * 40
            c.rect(x0, y0, x0 + 34, y0 + 22, fill=CLASS_COLOURS[k], radius=3)
            class_symbol(c, x0 + 10, y0 + 11, 6.5, k, (255, 255, 255))
            c.text(x0 + 31, y0 + 11.5, str(tier), 9, (255, 255, 255), anchor="rm", stroke=0.6,
                   stroke_fill=mix(CLASS_COLOURS[k], (0, 0, 0), 0.5))


TEAM = [("bb", 10, "衣阿华"), ("ca", 9, "布法罗"), ("dd", 10, "基林"), ("cv", 8, "列克星敦"), ("ca", 10, "得梅因"),
        ("dd", 8, "本森"), ("bb", 9, "密苏里"), ("ca", 8, "巴尔的摩")]
ENEMY = [("bb", 10, "大和"), ("dd", 9, "阳炎"), ("ca", 10, "扎奥"), ("cv", 9, "大凤"), ("bb", 8, "天城"),
         ("dd", 10, "岛风"), ("ca", 9, "伊吹"), ("bb", 9, "出云")]
PLAYERS = ["Nimitz_07", "SeaWolf", "北港舰长", "Anchor88", "晨风", "Tidewater", "Kestrel", "蓝鲸"]


def team_panel(c, x0, team, side_colour, row_fn):
    c.rect(x0, 24, x0 + 186, 234, fill=(14, 22, 34), radius=3)
    c.rect(x0, 24, x0 + 186, 40, fill=side_colour, radius=3)
    c.rect(x0, 36, x0 + 186, 40, fill=side_colour)
    for i, entry in enumerate(team):
        y = 46 + i * 23.5
        if i % 2 == 0:
            translucent_rect(c, x0 + 2, y - 2, x0 + 184, y + 20, (255, 255, 255), 0.05)
        row_fn(c, x0, y, i, entry)


def preview_jx(c):
    battle_backdrop(c, 23)

    def row(cc, x0, y, i, entry):
        k, tier, name = entry
        cc.rect(x0 + 6, y, x0 + 30, y + 18, fill=CLASS_COLOURS[k], radius=2)
        cc.text(x0 + 18, y + 9.5, ROMAN[tier - 1], 8, (255, 255, 255), anchor="mm", stroke=0.6,
                stroke_fill=mix(CLASS_COLOURS[k], (0, 0, 0), 0.55))
        cc.text(x0 + 38, y + 9.5, PLAYERS[(i + (3 if x0 > 200 else 0)) % 8], 7.5, (200, 208, 216), anchor="lm")
        cc.text(x0 + 178, y + 9.5, name, 8, (240, 240, 240), anchor="rm")

    team_panel(c, 10, TEAM, (50, 140, 80), row)
    team_panel(c, 209, ENEMY, (170, 50, 44), row)
    c.text(103, 32, "我方", 8, (255, 255, 255), anchor="mm")
    c.text(302, 32, "敌方", 8, (255, 255, 255), anchor="mm")
    legend = [("cv", "航母"), ("dd", "驱逐"), ("ca", "巡洋"), ("bb", "战列")]
    for i, (k, t) in enumerate(legend):
        x = 110 + i * 48
        c.rect(x, 8, x + 10, 16, fill=CLASS_COLOURS[k], radius=1.5)
        label(c, x + 13, 12, t, 7, anchor="lm")


def preview_al(c):
    battle_backdrop(c, 24)
    colours = {"bb": (110, 170, 255), "ca": (255, 120, 100), "dd": (120, 230, 120), "cv": (255, 214, 80)}

    def row(cc, x0, y, i, entry):
        k, tier, name = entry
        col = colours[k]
        warship(cc, x0 + 6, y + 13, 30, k, palette={kk: mix(col, (0, 0, 0), 0.15 if kk != "dark" else 0.6)
                                                    for kk in SHIP_GREY})
        cc.text(x0 + 44, y + 9.5, ROMAN[tier - 1], 7.5, (230, 230, 230), anchor="mm")
        cc.text(x0 + 56, y + 9.5, name, 8.5, col, anchor="lm")
        cc.text(x0 + 180, y + 9.5, PLAYERS[(i + (5 if x0 > 200 else 0)) % 8], 7, (170, 178, 186), anchor="rm")

    team_panel(c, 10, TEAM, (50, 140, 80), row)
    team_panel(c, 209, ENEMY, (170, 50, 44), row)
    c.text(103, 32, "我方", 8, (255, 255, 255), anchor="mm")
    c.text(302, 32, "敌方", 8, (255, 255, 255), anchor="mm")


# --- shells -----------------------------------------------------------------------
def tracer_scene(c, seed, colours, labels=None):
    """Shells in flight from our guns (lower left) to a ship on the horizon."""
    sea_scene(c, seed, horizon=100, sky=[(0, (74, 100, 134)), (0.8, (160, 176, 192)), (1, (190, 198, 204))])
    warship(c, 258, 108, 64, "ca", facing=-1)
    foam(c, 258, 108, 64, facing=-1, wake=20)
    rng = random.Random(seed)
    paths = []
    for i in range(6):
        sx = -10 + i * 16 + rng.random() * 6
        sy = 250 - i * 4
        ex = 262 + rng.random() * 56
        ey = 104 + rng.random() * 4
        peak = 18 + rng.random() * 22
        prog = 0.55 + 0.4 * rng.random()  # how far the shell has flown
        pts = []
        for t in frange(0, prog, 40):
            x = sx + (ex - sx) * t
            y = sy + (ey - sy) * t - 4 * peak * t * (1 - t) * (1 + (sy - ey) / 120)
            pts.append((x, y))
        paths.append((pts, colours[i % len(colours)], prog))
    for pts, col, prog in paths:
        tail = pts[int(len(pts) * 0.35):]
        c.glow_line(tail, col, 1.5, glow=3.2)
        hx, hy = tail[-1]
        g = c.layer()
        g.circle(hx, hy, 3.6, fill=col)
        c.composite(g, 0.8, blur=2)
        c.circle(hx, hy, 1.2, fill=(255, 255, 255))
    for x, h in ((270, 16), (300, 22), (318, 13)):  # splashes of the shells that have landed
        sp = c.layer()
        sp.ellipse(x, 108, 7, 2.2, fill=(236, 244, 248))
        sp.poly([(x - 4.5, 108), (x - 2.5, 108 - h * 0.7), (x - 0.8, 108 - h), (x + 1, 108 - h * 0.9),
                 (x + 2.8, 108 - h * 0.6), (x + 4.5, 108)], fill=(236, 244, 248))
        c.composite(sp, 0.6, blur=1.2)
        c.composite(sp, 0.6, blur=0.3)
    if labels:
        for (x, y, s, col) in labels:
            c.rect(x - 1, y - 1, x + 52, y + 15, fill=(10, 16, 26), radius=3)
            c.rect(x + 3, y + 5, x + 15, y + 9, fill=col, radius=2)
            c.text(x + 19, y + 7, s, 8, (255, 255, 255), anchor="lm")


def preview_lpx(c):
    tracer_scene(c, 31, [(60, 150, 255), (90, 190, 255)])


def preview_hpx(c):
    tracer_scene(c, 32, [(255, 60, 40), (255, 110, 60)])


def preview_aphe(c):
    tracer_scene(c, 33, [(60, 150, 255), (255, 60, 40)],
                 labels=[(10, 10, "AP 穿甲", (60, 150, 255)), (10, 30, "HE 高爆", (255, 60, 40))])


def flame(c, x, y, h, w, seed, outer, mid, inner):
    rng = random.Random(seed)
    lean = (rng.random() - 0.2) * 0.5

    def shape(scale):
        pts = []
        for t in frange(0, 1, 24):
            yy = y - h * scale * t
            half = w * scale * math.sin(math.pi * min(1, t * 1.25 + 0.08)) ** 0.8 * (1 - t) ** 0.4
            wob = math.sin(t * 9 + seed) * w * 0.12 * scale
            pts.append((x + lean * h * t * t - half + wob, yy))
        for t in frange(1, 0, 24):
            yy = y - h * scale * t
            half = w * scale * math.sin(math.pi * min(1, t * 1.25 + 0.08)) ** 0.8 * (1 - t) ** 0.4
            wob = math.sin(t * 7 + seed * 2) * w * 0.12 * scale
            pts.append((x + lean * h * t * t + half + wob, yy))
        return pts

    g = c.layer()
    g.poly(shape(1.25), fill=outer)
    c.composite(g, 0.6, blur=w * 0.5)
    c.poly(shape(1.0), fill=outer)
    c.poly([(px, py + h * 0.04) for px, py in shape(0.72)], fill=mid)
    c.poly([(px, py + h * 0.08) for px, py in shape(0.42)], fill=inner)


def preview_lh(c):
    sea_scene(c, 41, horizon=118, sky=[(0, (20, 28, 48)), (0.8, (64, 70, 96)), (1, (96, 96, 112))],
              sea=[(0, (34, 44, 66)), (1, (8, 12, 24))])
    smoke = c.layer()
    rng = random.Random(42)
    for i in range(26):
        t = i / 25
        smoke.circle(190 + t * 190 + rng.random() * 10, 96 - t * 80 + rng.random() * 10, 10 + t * 26,
                     fill=mix((40, 44, 54), (90, 96, 110), rng.random()))
    c.composite(smoke, 0.75, blur=5)
    warship(c, 92, 162, 230, "bb", facing=1)
    foam(c, 92, 162, 230, facing=1)
    glow = c.layer()
    glow.ellipse(200, 140, 120, 40, fill=(40, 140, 255))
    c.composite(glow, 0.35, blur=20)
    for i, (x, y, h, w) in enumerate([(150, 150, 40, 10), (182, 146, 56, 13), (214, 140, 66, 14),
                                      (246, 146, 48, 12), (276, 150, 34, 9), (126, 152, 24, 7)]):
        flame(c, x, y, h, w, i + 3, (20, 80, 230), (60, 190, 255), (220, 250, 255))
    sp = c.layer()
    for i in range(40):
        sp.circle(150 + rng.random() * 140, 70 + rng.random() * 70, 0.8, fill=(150, 220, 255))
    c.composite(sp, 0.8)
    refl = c.layer()
    refl.ellipse(212, 178, 96, 10, fill=(60, 150, 255))
    c.composite(refl, 0.35, blur=6)


# --- other ------------------------------------------------------------------------
def map_base(c, x0, y0, size, seed, grid=10):
    """A battle map: sea, islands and the lettered grid."""
    c.vgradient(x0, y0, x0 + size, y0 + size, [(0, (40, 86, 120)), (1, (26, 64, 96))])
    rng = random.Random(seed)
    m = c.mask()
    m.rect(x0, y0, x0 + size, y0 + size, fill=255)
    isl = c.layer()
    for i in range(7):
        cx = x0 + size * (0.15 + 0.7 * rng.random())
        cy = y0 + size * (0.15 + 0.7 * rng.random())
        r = size * (0.04 + 0.06 * rng.random())
        pts = [(cx + r * (1 + 0.35 * math.sin(3 * a + i)) * math.cos(a),
                cy + r * (1 + 0.3 * math.cos(2 * a + i)) * 0.8 * math.sin(a)) for a in frange(0, 2 * math.pi, 40)]
        isl.poly([(px + r * 0.08, py + r * 0.08) for px, py in pts], fill=(200, 190, 150))
        isl.poly(pts, fill=(120, 140, 90))
        isl.poly([(cx + (px - cx) * 0.55, cy + (py - cy) * 0.55) for px, py in pts], fill=(150, 160, 110))
    isl.im.putalpha(ImageChops.multiply(isl.im.getchannel("A"), m.im))
    c.composite(isl)
    g = c.layer()
    step = size / grid
    for i in range(1, grid):
        g.line([(x0 + i * step, y0), (x0 + i * step, y0 + size)], (200, 220, 240), 0.35, round_caps=False)
        g.line([(x0, y0 + i * step), (x0 + size, y0 + i * step)], (200, 220, 240), 0.35, round_caps=False)
    c.composite(g, 0.5)
    c.rect(x0, y0, x0 + size, y0 + size, outline=(180, 200, 220), width=0.8)
    return step


def marker(c, x, y, heading, colour, s=4.0):
    a = math.radians(heading)
    pts = [(x + s * 1.5 * math.cos(a), y + s * 1.5 * math.sin(a)),
           (x + s * math.cos(a + 2.5), y + s * math.sin(a + 2.5)),
           (x + s * 0.4 * math.cos(a + math.pi), y + s * 0.4 * math.sin(a + math.pi)),
           (x + s * math.cos(a - 2.5), y + s * math.sin(a - 2.5))]
    c.poly(pts, fill=(10, 10, 10))
    c.poly([(x + (px - x) * 0.8, y + (py - y) * 0.8) for px, py in pts], fill=colour)


GREEN, RED, WHITE = (90, 230, 110), (255, 80, 70), (255, 255, 255)


def preview_xdtzq(c):
    sea_scene(c, 51, horizon=90)
    warship(c, 20, 150, 150, "bb", facing=1)
    x0, y0, size = 170, 12, 222
    c.rect(x0 - 4, y0 - 4, x0 + size + 4, y0 + size + 4, fill=(10, 16, 24), radius=3)
    step = map_base(c, x0, y0, size, 52)
    for i in range(10):
        c.text(x0 + (i + 0.5) * step, y0 + 1, str(i + 1), 5, (220, 230, 240), anchor="mt")
        c.text(x0 + 1.5, y0 + (i + 0.5) * step, "ABCDEFGHIJ"[i], 5, (220, 230, 240), anchor="lm")
    cone = c.layer()
    mx, my = x0 + 70, y0 + 160
    cone.poly([(mx, my), (mx + 60, my - 50), (mx + 80, my - 22)], fill=(255, 255, 255))
    c.composite(cone, 0.18)
    ships = [(mx, my, -40, WHITE, "衣阿华"), (x0 + 40, y0 + 150, -60, GREEN, "基林"),
             (x0 + 100, y0 + 184, -30, GREEN, "得梅因"), (x0 + 30, y0 + 196, -80, GREEN, "中途岛"),
             (x0 + 150, y0 + 60, 140, RED, "大和"), (x0 + 180, y0 + 94, 170, RED, "岛风"),
             (x0 + 120, y0 + 36, 110, RED, "伊吹"), (x0 + 196, y0 + 140, 200, RED, "出云")]
    for x, y, hd, col, name in ships:
        marker(c, x, y, hd, col, 3.6)
        label(c, x + 6, y - 6, name, 6.5, col)
    label(c, x0 + size - 4, y0 + size - 10, "15:42", 7, anchor="ra")


def preview_ddtxt(c):
    c.rect(0, 0, PW, PH, fill=(12, 18, 28))
    x0, y0, size = 96, 14, 218
    step = map_base(c, x0, y0, size, 61)
    for i in range(10):
        c.text(x0 + (i + 0.5) * step, y0 - 7, str(i + 1), 6, (200, 210, 220), anchor="mm")
        c.text(x0 - 7, y0 + (i + 0.5) * step, "ABCDEFGHIJ"[i], 6, (200, 210, 220), anchor="mm")
    allies = [(x0 + 40, y0 + 170, "bb"), (x0 + 70, y0 + 190, "ca"), (x0 + 26, y0 + 130, "dd"), (x0 + 90, y0 + 200, "cv")]
    enemies = [(x0 + 150, y0 + 50, "bb", 0.82), (x0 + 176, y0 + 80, "dd", 0.34), (x0 + 120, y0 + 30, "ca", 0.6),
               (x0 + 190, y0 + 130, "bb", 0.15), (x0 + 146, y0 + 104, "ca", 0.95)]
    for x, y, k in allies:
        class_symbol(c, x, y, 5, k, GREEN)
    for x, y, k, hp in enemies:
        class_symbol(c, x, y, 5, k, RED)
        c.rect(x - 11, y + 7, x + 11, y + 10.5, fill=(0, 0, 0), radius=0.8)
        fill = (80, 220, 90) if hp > 0.6 else ((240, 200, 50) if hp > 0.3 else (240, 70, 50))
        c.rect(x - 10.3, y + 7.7, x - 10.3 + 20.6 * hp, y + 9.8, fill=fill)
        c.text(x, y + 13, str(int(hp * 52400)), 5.2, (230, 230, 230), anchor="mt")
    # Side panels: the team lists of the battle map.
    for side, col, x in ((0, GREEN, 6), (1, RED, 322)):
        c.rect(x, 14, x + 77, 232, fill=(20, 28, 40), radius=3)
        for i, (k, tier, name) in enumerate((TEAM if side == 0 else ENEMY)[:8]):
            y = 22 + i * 26
            class_symbol(c, x + 9, y + 5, 4.5, k, col)
            c.text(x + 17, y + 5, name, 7, (230, 230, 230), anchor="lm")
            if side == 1:
                hp = [0.82, 0.34, 0.6, 0.15, 0.95, 1.0, 0.7, 0.5][i]
                c.rect(x + 17, y + 12, x + 72, y + 15, fill=(0, 0, 0))
                c.rect(x + 17, y + 12, x + 17 + 55 * hp, y + 15, fill=(80, 220, 90) if hp > 0.6 else
                       ((240, 200, 50) if hp > 0.3 else (240, 70, 50)))


def preview_zljsj(c):
    for i, (x0, cam) in enumerate(((0, 0), (204, 1))):
        pane = Canvas(201, PH, c.k)
        horizon = 70 if cam == 0 else 112
        sea_scene(pane, 71, horizon=horizon)
        # Before: the camera sits low and close, the ship hides the target.
        # After: higher and further back, the target is in view over the bow.
        warship(pane, 120, horizon + 6, 40, "ca", facing=-1)
        if cam == 0:
            warship(pane, -40, 222, 270, "bb", facing=1)
        else:
            warship(pane, 10, 200, 170, "bb", facing=1)
            foam(pane, 10, 200, 170, facing=1)
        pane.line([(100, horizon - 8), (100, horizon + 16)], (255, 255, 255), 0.6)
        pane.line([(88, horizon + 4), (112, horizon + 4)], (255, 255, 255), 0.6)
        c.paste_image(pane.im, x0, 0)
    c.rect(201, 0, 204, PH, fill=(16, 20, 28))
    for x0, t in ((6, "调整前"), (210, "调整后")):
        c.rect(x0, 6, x0 + 46, 22, fill=(10, 16, 26), radius=3)
        c.text(x0 + 23, 14, t, 8.5, (255, 255, 255), anchor="mm")
    c.circle(202.5, 122, 11, fill=(230, 150, 40))
    c.poly([(197, 116), (209, 122), (197, 128)], fill=(255, 255, 255))


def preview_csyl(c):
    c.vgradient(0, 0, PW, PH, [(0, (40, 54, 72)), (1, (16, 22, 32))])
    tree_background(c)
    for x0, colour, t in ((14, False, "默认：未研发为灰色"), (210, True, "安装后：彩色预览")):
        c.rect(x0, 36, x0 + 181, 196, fill=(160, 170, 180), radius=4)
        m = c.mask()
        m.rect(x0 + 1, 37, x0 + 180, 195, fill=255, radius=3.5)
        card = c.layer()
        if colour:
            card.vgradient(x0, 36, x0 + 181, 196, [(0, (120, 170, 214)), (0.6, (200, 216, 226)), (1, (60, 100, 130))])
            warship(card, x0 + 12, 150, 158, "bb", facing=1, palette=SHIP_COLOUR)
        else:
            card.vgradient(x0, 36, x0 + 181, 196, [(0, (92, 96, 102)), (1, (54, 58, 64))])
            warship(card, x0 + 12, 150, 158, "bb", facing=1, palette=SHIP_GREY, tint=((40, 42, 46), 0.55))
        card.im.putalpha(ImageChops.multiply(card.im.getchannel("A"), m.im))
        c.composite(card)
        c.rect(x0 + 1, 170, x0 + 180, 195, fill=(10, 16, 24))
        c.text(x0 + 90, 183, "VIII  北卡罗来纳", 9, (240, 240, 240), anchor="mm")
        c.text(x0 + 90, 212, t, 9, (230, 220, 180) if colour else (170, 176, 184), anchor="mm")
        if not colour:  # the padlock of an unresearched ship
            lx, ly = x0 + 160, 52
            c.arc(lx, ly, 5, 5, 180, 360, (230, 230, 230), 1.6)
            c.rect(lx - 7, ly, lx + 7, ly + 10, fill=(230, 230, 230), radius=1.5)
            c.rect(lx - 1, ly + 3, lx + 1, ly + 7, fill=(60, 60, 60))
        else:
            c.rect(x0 + 118, 44, x0 + 174, 58, fill=(200, 60, 40), radius=3)
            c.text(x0 + 146, 51, "未研发", 7.5, (255, 255, 255), anchor="mm")
    c.text(PW / 2, 18, "科技树  ·  美国  ·  战列舰", 9, (220, 200, 140), anchor="mm")


PREVIEWS = [("wgmz", preview_wgmz), ("ckmz", preview_ckmz), ("lsmz", preview_lsmz), ("htmz", preview_htmz),
            ("lvmz", preview_lvmz), ("pg", preview_pg), ("jcjn", preview_jcjn), ("jc1", preview_jc1),
            ("jc2", preview_jc2), ("xbb", preview_xbb), ("jx", preview_jx), ("al", preview_al), ("lh", preview_lh),
            ("lpx", preview_lpx), ("hpx", preview_hpx), ("aphe", preview_aphe), ("hh", preview_hh),
            ("xdtzq", preview_xdtzq), ("ddtxt", preview_ddtxt), ("zljsj", preview_zljsj), ("csyl", preview_csyl)]


def draw_preview(fn):
    c = Canvas(PW, PH, PREVIEW_K, bg=(0, 0, 0))
    fn(c)
    im = c.im.convert("RGB")
    return {1: reduce(im, (PW, PH)), 2: reduce(im, (2 * PW, 2 * PH))}


# =============================================================================
# Output
# =============================================================================
def pictures():
    """(resource name, file stem, extension, {scale: image}) of every picture."""
    for stem, fn in ICONS:
        yield "ICON_" + stem.upper(), "icon_" + stem, "png", draw_icon(fn)
    for kind in FACES:
        yield "FACE_" + kind.upper(), "face_" + kind, "png", draw_face(kind)
    for stem, fn in PREVIEWS:
        yield "PREVIEW_" + stem.upper(), "preview_" + stem, "jpg", draw_preview(fn)


def file_name(stem, ext, scale):
    return f"{stem}{'@2x' if scale == 2 else ''}.{ext}"


RC_HEADER = """// Generated by make_pictures.py; do not edit. The program's pictures as RCDATA
// resources: NAME is drawn at its own size, NAME_2X at twice it for high DPI.
"""


def write_all(out_dir):
    os.makedirs(out_dir, exist_ok=True)
    rc = [RC_HEADER]
    files = []
    for name, stem, ext, images in pictures():
        for scale in (1, 2):
            fname = file_name(stem, ext, scale)
            path = os.path.join(out_dir, fname)
            if ext == "png":
                images[scale].save(path, "PNG", optimize=True)
            else:
                images[scale].save(path, "JPEG", quality=JPEG_QUALITY, optimize=True)
            rc.append(f'{name}{"_2X" if scale == 2 else ""} RCDATA "{fname}"\n')
            files.append(fname)
    with open(os.path.join(out_dir, "pictures.rc"), "w", newline="\n") as f:
        f.write("".join(rc))
    return files + ["pictures.rc"]


def pixels(path):
    with Image.open(path) as im:
        return im.format, im.mode, im.size, im.tobytes()


def check(work_dir):
    """Draws into work_dir and compares with the committed files beside this script."""
    made = write_all(work_dir)
    faults = []
    for fname in made:
        committed = os.path.join(HERE, fname)
        if not os.path.exists(committed):
            faults.append(f"{fname}: not committed")
        elif open(committed, "rb").read() != open(os.path.join(work_dir, fname), "rb").read():
            # Bytes are the test (the output is byte-for-byte repeatable); the
            # pixels only tell whether the drawing or merely an encoder changed.
            same = not fname.endswith(".rc") and pixels(committed) == pixels(os.path.join(work_dir, fname))
            faults.append(f"{fname}: differs" + (" (same pixels: an encoder changed)" if same else ""))
    for fname in sorted(os.listdir(HERE)):
        if fname.endswith((".png", ".jpg", ".rc")) and fname not in made:
            faults.append(f"{fname}: committed but no longer drawn")
    for f in faults:
        print("make_pictures --check:", f, file=sys.stderr)
    if faults:
        print("Run /usr/bin/python3 assets/pictures/make_pictures.py and commit its output.", file=sys.stderr)
        return 1
    print(f"make_pictures --check: {len(made)} files match")
    return 0


def main(argv):
    if len(argv) == 3 and argv[1] == "--check":
        return check(argv[2])
    if len(argv) > 2:
        print(__doc__, file=sys.stderr)
        return 2
    out = argv[1] if len(argv) == 2 else HERE
    for fname in write_all(out):
        print(fname, os.path.getsize(os.path.join(out, fname)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
