#!/usr/bin/python3
"""Draws the setup's pictures and program icon into this folder.

    /usr/bin/python3 resources/make_art.py

Writes background.jpg, logo.png, ui_stone.png, ui_btn1.png, ui_btn2.png, ui_btn3.png and
quorvel.ico. Needs only Pillow (Debian: python3-pil) and the fonts of fonts-liberation2. Every
random choice comes from a fixed seed, so a run on the same Pillow gives the same files. The
results are committed: the build itself needs no image tools.

The window shows these pictures at fixed places on a 900 x 560 canvas:
- background.jpg covers the whole canvas under a 50 % shade; mostly hidden by the panels, only
  its borders and the gap between side bar and page show.
- ui_stone.png is stretched (not tiled) into every panel, 216 x 520, 628 x 520 and 460 x 184,
  then darkened; its grain is therefore drawn narrower than tall, and it has no hard border.
- ui_btn*.png are drawn as nine-slices with 6-pixel corners into buttons of 120..150 x 38..40;
  everything that must not stretch lies within 6 pixels of the edge.
  ui_btn1 is the normal face, ui_btn2 the hovered one (warmer, brighter rim), ui_btn3 the
  pressed one (sunk, dark), which the window also shows at 60 % for a disabled button.
- logo.png is shown 150 high in the side bar (about a third of its size) without filtering, so
  its strokes are thick and its details coarse: a gold-rimmed shield with an engraved Q on dark
  red enamel, crossed swords behind it, and the name QUORVEL in bevelled gold below.
- quorvel.ico holds the same shield in seven PNG-compressed sizes; the swords appear from 128
  pixels up, the enamel texture from 48 up, and the smallest sizes get a heavier Q.
"""

import io
import math
import os
import random
import struct
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont, ImageMath

HERE = os.path.dirname(os.path.abspath(__file__))
SERIF_BOLD = "/usr/share/fonts/truetype/liberation2/LiberationSerif-Bold.ttf"

# The window's accent gold, so that the pictures sit in its palette.
GOLD = (0xC9, 0xA4, 0x75)

# Polished gold, from the deepest shadow to the brightest glint.
GOLD_RAMP = [
    (0.00, (0x1C, 0x11, 0x08)),
    (0.22, (0x4E, 0x34, 0x18)),
    (0.42, (0x86, 0x62, 0x33)),
    (0.58, (0xB4, 0x8D, 0x55)),
    (0.72, (0xD6, 0xB5, 0x7C)),
    (0.86, (0xEE, 0xD8, 0xA8)),
    (1.00, (0xFF, 0xF5, 0xD8)),
]


# ---- Float image helpers (mode "F", values 0..1 unless said otherwise) ------------------

def mix(expr, **images):
    return ImageMath.eval(expr, **images)


def to_f(img):
    return mix("a / 255.0", a=img.convert("L").convert("F"))


def to_l(f):
    return mix("convert(a * 255.0 + 0.5, 'L')", a=f)


def clamp(f, lo=0.0, hi=1.0):
    return mix("min(max(a, lo), hi)", a=f, lo=lo, hi=hi)


def normalize(f):
    lo, hi = f.getextrema()
    return mix("(a - lo) / (hi - lo)", a=f, lo=lo, hi=max(hi, lo + 1e-6))


def shift(f, dx, dy):
    """The picture moved by (dx, dy), wrapping around the edges."""
    return ImageChops.offset(f, dx, dy)


def box_blur(f, r, passes=3):
    """Close to a Gaussian of about r pixels; wraps around, which keeps tileable pictures so."""
    if r <= 0:
        return f
    n = 2 * r + 1
    for _ in range(passes):
        for axis in (0, 1):
            acc = f
            for k in range(1, r + 1):
                a = shift(f, k, 0) if axis == 0 else shift(f, 0, k)
                b = shift(f, -k, 0) if axis == 0 else shift(f, 0, -k)
                acc = mix("s + a + b", s=acc, a=a, b=b)
            f = mix("s / n", s=acc, n=float(n))
    return f


def soft_blur(f, r):
    """A wide blur made by shrinking and growing again; cheap for large radii."""
    w, h = f.size
    k = max(1, int(r / 2))
    small = f.resize((max(1, w // k), max(1, h // k)), Image.BILINEAR, reducing_gap=None)
    small = box_blur(small, 1, 2)
    return small.resize((w, h), Image.BICUBIC)


def value_noise(w, h, cell_x, cell_y, rng):
    """Smooth random values on a grid of the given cell size, wrapping at the edges."""
    gw = max(2, round(w / cell_x))
    gh = max(2, round(h / cell_y))
    grid = Image.frombytes("L", (gw, gh), rng.randbytes(gw * gh))
    tiled = Image.new("L", (gw * 3, gh * 3))
    for i in range(3):
        for j in range(3):
            tiled.paste(grid, (i * gw, j * gh))
    big = tiled.convert("F").resize((w * 3, h * 3), Image.BICUBIC)
    return mix("a / 255.0", a=big.crop((w, h, 2 * w, 2 * h)))


def fbm(w, h, cell_x, cell_y, octaves, rng, gain=0.5, lacunarity=2.0):
    """Fractal sum of value noise, normalised to 0..1."""
    total = Image.new("F", (w, h), 0.0)
    amp = 1.0
    for _ in range(octaves):
        n = value_noise(w, h, cell_x, cell_y, rng)
        total = mix("t + n * a", t=total, n=n, a=amp)
        amp *= gain
        cell_x = max(1.0, cell_x / lacunarity)
        cell_y = max(1.0, cell_y / lacunarity)
    return normalize(total)


def ridges(f, sharpness=8.0):
    """1 on the lines where a noise crosses its middle, falling off to 0 away from them."""
    return mix("max(1.0 - abs(a - 0.5) * s, 0.0)", a=f, s=sharpness)


def emboss(height, depth=1):
    """Light from the upper left on a height field: positive where a slope faces the light."""
    return mix("a - b", a=shift(height, -depth, -depth), b=shift(height, depth, depth))


def ramp_palette(stops):
    pal = []
    for i in range(256):
        t = i / 255.0
        for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
            if p0 <= t <= p1:
                u = (t - p0) / (p1 - p0) if p1 > p0 else 0.0
                u = u * u * (3 - 2 * u)
                pal.extend(round(c0[k] + (c1[k] - c0[k]) * u) for k in range(3))
                break
    return pal


def colour_ramp(f, stops):
    """An RGB picture that maps 0..1 onto the colour stops."""
    l = to_l(clamp(f))
    p = Image.frombytes("P", l.size, l.tobytes())
    p.putpalette(ramp_palette(stops))
    return p.convert("RGB")


def multiply_rgb(rgb, f):
    """Each channel times f (which may exceed 1)."""
    chans = [to_l(mix("a * m", a=to_f(c), m=f)) for c in rgb.split()]
    return Image.merge("RGB", chans)


def add_rgb(rgb, colour, f):
    """Adds colour weighted by f (0..1) to each channel."""
    chans = [to_l(mix("a + m * c", a=to_f(ch), m=f, c=colour[k] / 255.0))
             for k, ch in enumerate(rgb.split())]
    return Image.merge("RGB", chans)


def lerp_rgb(a, b, f):
    """a where f is 0, b where f is 1."""
    return Image.composite(b, a, to_l(clamp(f)))


def radial(w, h, cx, cy, rx, ry):
    """Distance from (cx, cy) in units of the radii, as a float picture."""
    xs = Image.new("F", (w, 1))
    ys = Image.new("F", (1, h))
    xs.putdata([((x + 0.5 - cx) / rx) ** 2 for x in range(w)])
    ys.putdata([((y + 0.5 - cy) / ry) ** 2 for y in range(h)])
    return mix("(a + b) ** 0.5", a=xs.resize((w, h), Image.NEAREST), b=ys.resize((w, h), Image.NEAREST))


def ramp_x(w, h, values):
    """A picture whose value depends only on x (values: one float per column)."""
    row = Image.new("F", (w, 1))
    row.putdata(values)
    return row.resize((w, h), Image.NEAREST)


def ramp_y(w, h, values):
    col = Image.new("F", (1, h))
    col.putdata(values)
    return col.resize((w, h), Image.NEAREST)


def smoothstep(e0, e1, x):
    t = min(1.0, max(0.0, (x - e0) / (e1 - e0)))
    return t * t * (3 - 2 * t)


def grain(w, h, rng, amount):
    """Fine noise around 1.0 for film grain and mineral speckle."""
    n = value_noise(w, h, 1.0, 1.0, rng)
    return mix("1.0 + (a - 0.5) * s", a=n, s=amount * 2)


# ---- Metal: bevelled gold, steel or leather over a shape mask -------------------------------

def metal(mask, bevel, light=1.6, sheen_top=0.10, sheen_bottom=-0.12, ramp=GOLD_RAMP):
    """A rounded bevel over the opaque part of mask (mode L), coloured by ramp (gold unless
    given: steel and leather use it too); returns RGBA."""
    w, h = mask.size
    m = to_f(mask)
    height = box_blur(m, bevel, 3)
    height = mix("h * h * (3 - 2 * h)", h=clamp(height))
    lit = emboss(height, max(1, bevel // 3))
    # The brightness falls from top to bottom like a polished face under a high light.
    vert = ramp_y(w, h, [sheen_top + (sheen_bottom - sheen_top) * (y / max(1, h - 1)) for y in range(h)])
    tone = mix("0.56 + l * k + v", l=lit, k=light, v=vert)
    rgb = colour_ramp(tone, ramp)
    out = rgb.convert("RGBA")
    out.putalpha(mask)
    return out


def glow(mask, radius, colour, strength):
    """A soft coloured halo around the mask, as RGBA."""
    f = soft_blur(to_f(mask), radius) if radius > 6 else box_blur(to_f(mask), radius, 3)
    a = to_l(clamp(mix("a * s", a=f, s=strength)))
    out = Image.new("RGBA", mask.size, colour + (0,))
    out.putalpha(a)
    return out


def shadow(mask, radius, dx, dy, strength, colour=(0, 0, 0)):
    m = ImageChops.offset(mask, dx, dy)
    return glow(m, radius, colour, strength)


def over(*layers):
    out = layers[0]
    for layer in layers[1:]:
        out = Image.alpha_composite(out, layer)
    return out


# ---- Stone panel texture ------------------------------------------------------------------

def make_stone():
    w, h = 350, 1080
    rng = random.Random(0x51071E)
    # The panels stretch this picture about 2.2 times more across than down (216 x 520,
    # 628 x 520, 460 x 184 from 350 x 1080), so the grain is drawn that much narrower than tall.
    sx = 1.0 / 2.2
    big = fbm(w, h, 300 * sx, 300, 3, rng)
    mid = fbm(w, h, 90 * sx, 90, 4, rng)
    fine = fbm(w, h, 6 * sx, 6, 2, rng)
    # Hairline cracks: where a rough noise crosses its middle, only in some patches of the slab.
    long_cracks = mix("r ** 2 * min(max((p - 0.45) * 4.0, 0.0), 1.0)",
                      r=ridges(fbm(w, h, 260 * sx, 260, 7, rng, gain=0.62), 22.0), p=fbm(w, h, 400 * sx, 400, 2, rng))
    short_cracks = mix("r ** 3 * 0.5 * min(max((p - 0.55) * 4.0, 0.0), 1.0)",
                       r=ridges(fbm(w, h, 120 * sx, 120, 6, rng, gain=0.6), 26.0), p=fbm(w, h, 300 * sx, 300, 2, rng))
    cracks = mix("max(a, b)", a=long_cracks, b=short_cracks)
    height = mix("big * 0.35 + mid * 0.45 + fine * 0.2 - c * 0.25", big=big, mid=mid, fine=fine, c=cracks)
    lit = emboss(box_blur(height, 1, 1), 1)
    tone = mix("0.27 + big * 0.30 + mid * 0.16 + fine * 0.08 + lit * 2.2 - c * 0.25",
               big=big, mid=mid, fine=fine, lit=lit, c=cracks)
    rgb = colour_ramp(tone, [
        (0.00, (0x0E, 0x0B, 0x09)),
        (0.25, (0x22, 0x1C, 0x18)),
        (0.45, (0x33, 0x2B, 0x24)),
        (0.65, (0x47, 0x3D, 0x33)),
        (0.85, (0x5E, 0x51, 0x43)),
        (1.00, (0x7A, 0x6A, 0x58)),
    ])
    rgb = add_rgb(rgb, (0x2A, 0x12, 0x00), clamp(mix("(0.5 - big) * 0.5", big=big)))  # warmer hollows
    rgb = multiply_rgb(rgb, grain(w, h, rng, 0.05))
    # Soft darkening towards every border survives any stretch, unlike a drawn bevel.
    ex = [0.78 + 0.22 * smoothstep(0, 34, min(x, w - 1 - x)) for x in range(w)]
    ey = [0.78 + 0.22 * smoothstep(0, 70, min(y, h - 1 - y)) for y in range(h)]
    return multiply_rgb(rgb, mix("a * b", a=ramp_x(w, h, ex), b=ramp_y(w, h, ey)))


# ---- Buttons -------------------------------------------------------------------------------

BUTTON_W, BUTTON_H = 175, 45


def chamfer_mask(w, h, inset, cut, scale=4):
    """A rectangle with cut corners, drawn large and reduced for smooth diagonals."""
    big = Image.new("L", (w * scale, h * scale), 0)
    d = ImageDraw.Draw(big)
    l, t, r, b = inset * scale, inset * scale, (w - inset) * scale, (h - inset) * scale
    c = cut * scale
    d.polygon([(l + c, t), (r - c, t), (r, t + c), (r, b - c), (r - c, b), (l + c, b), (l, b - c), (l, t + c)],
              fill=255)
    return big.resize((w, h), Image.LANCZOS)


def make_button(state):
    """state: 'normal', 'hover' or 'pressed' (the pressed face also serves as disabled)."""
    w, h = BUTTON_W, BUTTON_H
    rng = random.Random({"normal": 11, "hover": 12, "pressed": 13}[state])
    outer = chamfer_mask(w, h, 0, 4)
    rim = chamfer_mask(w, h, 1, 3.5)
    face = chamfer_mask(w, h, 3, 2.5)

    # The face: dark leather-brown stone, lighter at the top when raised, at the bottom when pressed.
    faces = {
        "normal": ((0x3E, 0x33, 0x2A), (0x1E, 0x18, 0x14)),
        "hover": ((0x5E, 0x48, 0x32), (0x2C, 0x21, 0x18)),
        "pressed": ((0x14, 0x10, 0x0D), (0x25, 0x1E, 0x19)),
    }
    top, bottom = faces[state]
    t = [smoothstep(0, h - 1, y) for y in range(h)]
    grad = ramp_y(w, h, t)
    face_rgb = lerp_rgb(Image.new("RGB", (w, h), top), Image.new("RGB", (w, h), bottom), grad)
    texture = fbm(w, h, 9, 6, 3, rng)
    face_rgb = multiply_rgb(face_rgb, mix("0.9 + a * 0.2", a=texture))
    if state == "hover":
        # Warm light rising from the lower edge, as if the stone were lit from inside.
        inner = ramp_y(w, h, [0.35 * smoothstep(h * 0.35, h - 4, y) for y in range(h)])
        face_rgb = add_rgb(face_rgb, (0x6A, 0x3E, 0x12), inner)
    if state == "pressed":
        # A shadow along the upper inside edge makes the face look sunk.
        inner = ramp_y(w, h, [0.55 * (1 - smoothstep(3, 12, y)) for y in range(h)])
        face_rgb = multiply_rgb(face_rgb, mix("1.0 - a", a=inner))
    # A thin highlight right under the rim on raised faces.
    if state != "pressed":
        hl = ramp_y(w, h, [0.18 if y == 4 else (0.07 if y == 5 else 0.0) for y in range(h)])
        face_rgb = add_rgb(face_rgb, (0xFF, 0xE8, 0xC0), hl)

    # The rim: a narrow band of metal, brightest on top.
    rims = {
        "normal": [(0.0, (0x2A, 0x1E, 0x12)), (0.45, (0x6E, 0x56, 0x3A)), (0.75, (0xA8, 0x88, 0x5E)),
                   (1.0, (0xD8, 0xBC, 0x8C))],
        "hover": [(0.0, (0x4A, 0x34, 0x1A)), (0.4, (0x9E, 0x7A, 0x46)), (0.75, (0xDA, 0xB8, 0x7E)),
                  (1.0, (0xFF, 0xEE, 0xC4))],
        "pressed": [(0.0, (0x1A, 0x13, 0x0C)), (0.5, (0x4C, 0x3C, 0x2A)), (0.8, (0x6E, 0x5A, 0x42)),
                    (1.0, (0x86, 0x70, 0x52))],
    }
    if state == "pressed":
        rim_tone = ramp_y(w, h, [0.25 + 0.6 * (y / (h - 1)) for y in range(h)])
    else:
        rim_tone = ramp_y(w, h, [0.95 - 0.75 * (y / (h - 1)) for y in range(h)])
    rim_rgb = colour_ramp(rim_tone, rims[state])

    black = Image.new("RGBA", (w, h), (0x08, 0x06, 0x04, 0))
    black.putalpha(to_l(mix("a * 0.92", a=to_f(outer))))
    rim_l = rim_rgb.convert("RGBA")
    rim_l.putalpha(rim)
    # A dark line between rim and face keeps them apart at any size.
    sep = Image.new("RGBA", (w, h), (0x0A, 0x07, 0x05, 0))
    sep.putalpha(chamfer_mask(w, h, 2.5, 3))
    face_l = face_rgb.convert("RGBA")
    face_l.putalpha(face)
    out = over(Image.new("RGBA", (w, h), (0, 0, 0, 0)), black, rim_l, sep, face_l)
    if state == "hover":
        g = Image.new("RGBA", (w, h), GOLD + (0,))
        ring = mix("max(r - f, 0.0)", r=to_f(rim), f=to_f(chamfer_mask(w, h, 2, 3)))
        g.putalpha(to_l(mix("a * 0.45", a=ring)))
        out = Image.alpha_composite(out, g)
    return out


# ---- Emblem: a shield with the Q, crossed swords behind it ------------------------------------

def shield_points(cx, top, width, height, steps=48):
    """Outline of a heater shield: arched top, straight flanks, curved sides meeting in a point."""
    hw = width / 2
    arch = height * 0.045
    flank = top + height * 0.46
    tip = top + height
    pts = []
    for i in range(steps + 1):  # top edge, left to right, rising towards the middle
        u = i / steps
        x = cx - hw + width * u
        pts.append((x, top + arch - arch * math.sin(math.pi * u)))
    pts.append((cx + hw, flank))
    for i in range(1, steps + 1):  # right side down to the point (quadratic curve)
        u = i / steps
        p0, p1, p2 = (cx + hw, flank), (cx + hw, top + height * 0.80), (cx, tip)
        pts.append(((1 - u) ** 2 * p0[0] + 2 * u * (1 - u) * p1[0] + u * u * p2[0],
                    (1 - u) ** 2 * p0[1] + 2 * u * (1 - u) * p1[1] + u * u * p2[1]))
    for i in range(1, steps + 1):  # left side back up
        u = i / steps
        p0, p1, p2 = (cx, tip), (cx - hw, top + height * 0.80), (cx - hw, flank)
        pts.append(((1 - u) ** 2 * p0[0] + 2 * u * (1 - u) * p1[0] + u * u * p2[0],
                    (1 - u) ** 2 * p0[1] + 2 * u * (1 - u) * p1[1] + u * u * p2[1]))
    return pts


def inset_points(pts, d):
    """The outline moved inwards by d along each corner's mean normal (the outline is convex)."""
    n = len(pts)
    area = sum(pts[i][0] * pts[(i + 1) % n][1] - pts[(i + 1) % n][0] * pts[i][1] for i in range(n))
    sign = 1.0 if area > 0 else -1.0
    out = []
    for i in range(n):
        (x0, y0), (x1, y1), (x2, y2) = pts[i - 1], pts[i], pts[(i + 1) % n]
        tx, ty = x2 - x0, y2 - y0
        ln = math.hypot(tx, ty) or 1.0
        nx, ny = -ty / ln * sign, tx / ln * sign
        out.append((x1 + nx * d, y1 + ny * d))
    return out


def polygon_mask(size, pts):
    img = Image.new("L", size, 0)
    ImageDraw.Draw(img).polygon(pts, fill=255)
    return img


def sword_masks(size, tip, pommel, blade_w, guard_w):
    """Blade, grip and gold fittings (guard, pommel) of a sword from point to pommel, as masks."""
    (tx, ty), (px, py) = tip, pommel
    length = math.hypot(px - tx, py - ty)
    ux, uy = (px - tx) / length, (py - ty) / length  # along the sword, towards the hilt
    vx, vy = -uy, ux                                 # across it

    def at(a, b):
        return (tx + ux * a + vx * b, ty + uy * a + vy * b)

    guard_at = length * 0.74
    hb = blade_w / 2
    blade = polygon_mask(size, [at(0, 0), at(blade_w * 2.2, hb), at(guard_at, hb * 1.15),
                                at(guard_at, -hb * 1.15), at(blade_w * 2.2, -hb)])
    gr = blade_w * 0.42
    grip = polygon_mask(size, [at(guard_at, -gr), at(length - blade_w * 1.3, -gr * 0.8),
                               at(length - blade_w * 1.3, gr * 0.8), at(guard_at, gr)])
    fittings = Image.new("L", size, 0)
    d = ImageDraw.Draw(fittings)
    gw, gt = guard_w / 2, blade_w * 0.55
    d.polygon([at(guard_at - gt, -gw), at(guard_at - gt * 1.8, -gw - gt * 0.6), at(guard_at + gt, -gw),
               at(guard_at + gt * 0.8, 0), at(guard_at + gt, gw), at(guard_at - gt * 1.8, gw + gt * 0.6),
               at(guard_at - gt, gw), at(guard_at - gt * 1.6, 0)], fill=255)
    pr = blade_w * 0.78
    c = at(length - pr, 0)
    d.ellipse((c[0] - pr, c[1] - pr, c[0] + pr, c[1] + pr), fill=255)
    return blade, grip, fittings


def steel(mask, bevel):
    """Blued steel with a bright edge, for blades."""
    ramp = [(0.0, (0x0C, 0x0C, 0x0E)), (0.35, (0x3A, 0x3C, 0x42)), (0.6, (0x7A, 0x7E, 0x86)),
            (0.85, (0xC4, 0xC8, 0xD0)), (1.0, (0xF4, 0xF6, 0xFA))]
    return metal(mask, bevel, light=2.2, ramp=ramp)


def enamel_field(mask, rng, light_xy, radius):
    """The shield's field: dark oxblood enamel over worn stone, lit from the upper middle."""
    w, h = mask.size
    f = fbm(w, h, w / 6, w / 6, 6, rng, gain=0.55)
    lit = emboss(box_blur(f, max(1, w // 400), 2), max(1, w // 400))
    v = radial(w, h, light_xy[0], light_xy[1], radius, radius)
    tone = mix("(0.42 + f * 0.25 + l * 2.5) * (1.15 - 0.7 * min(v, 1.3))", f=f, l=lit, v=v)
    rgb = colour_ramp(tone, [(0.0, (0x06, 0x03, 0x03)), (0.35, (0x22, 0x0B, 0x09)), (0.6, (0x44, 0x16, 0x10)),
                             (0.8, (0x66, 0x26, 0x18)), (1.0, (0x8A, 0x44, 0x2C))])
    out = rgb.convert("RGBA")
    out.putalpha(mask)
    return out


def emblem_layers(size, cx, top, width, height, rng, swords=None, detail=True, q_scale=0.62):
    """The shield crest as RGBA layers (back to front) and the mask of everything in it.

    swords: None, or (tip across, tip down, pommel across, pommel down): where the crossed
    swords behind the shield end, across in shield widths from the middle, down in shield
    heights from the top.
    """
    outline = shield_points(cx, top, width, height)
    border = width * 0.085
    shape = polygon_mask(size, outline)
    field = polygon_mask(size, inset_points(outline, border))
    rim = ImageChops.subtract(shape, field)
    line = ImageChops.subtract(polygon_mask(size, inset_points(outline, border + width * 0.025)),
                               polygon_mask(size, inset_points(outline, border + width * 0.04)))

    q = Image.new("L", size, 0)
    qfont = ImageFont.truetype(SERIF_BOLD, int(width * q_scale * 1.45))
    ImageDraw.Draw(q).text((cx, top + height * 0.43), "Q", font=qfont, fill=255, anchor="mm")
    if not detail:
        q = q.filter(ImageFilter.MaxFilter(max(3, int(width * 0.03)) | 1))

    bevel = max(1, int(width * 0.03))
    layers = []
    everything = shape
    if swords:
        tip_x, tip_y, end_x, end_y = swords
        parts = [Image.new("L", size, 0) for _ in range(3)]
        for side in (-1, 1):
            tip = (cx + side * tip_x * width, top + tip_y * height)
            end = (cx - side * end_x * width, top + end_y * height)
            for k, m in enumerate(sword_masks(size, tip, end, width * 0.085, width * 0.42)):
                parts[k] = ImageChops.lighter(parts[k], m)
        blade, grip, fittings = parts
        sword = ImageChops.lighter(ImageChops.lighter(blade, grip), fittings)
        everything = ImageChops.lighter(everything, sword)
        leather = [(0.0, (0x0A, 0x06, 0x04)), (0.5, (0x2E, 0x1C, 0x12)), (1.0, (0x6A, 0x48, 0x30))]
        layers.append(shadow(sword, bevel, bevel // 2, bevel, 1.4))
        layers.append(steel(blade, max(1, bevel // 2)))
        layers.append(metal(grip, max(1, bevel // 2), light=1.4, ramp=leather))
        layers.append(metal(fittings, max(1, bevel // 2), light=1.6))
    layers.append(shadow(shape, bevel * 2, 0, bevel, 1.6))
    if detail:
        layers.append(enamel_field(field, rng, (cx, top + height * 0.32), width * 0.62))
    else:
        flat = Image.new("RGBA", size, (0x3A, 0x12, 0x0E, 0))
        flat.putalpha(field)
        layers.append(flat)
    layers.append(metal(rim, bevel, light=1.7))
    if detail:
        layers.append(metal(line, max(1, bevel // 3), light=1.0))
        layers.append(shadow(q, bevel, bevel // 2, bevel, 1.8, (0x02, 0x00, 0x00)))
        layers.append(glow(q, bevel * 3, (0xF2, 0xA0, 0x3C), 0.40))
    layers.append(metal(q, bevel, light=1.9))
    return layers, everything


def text_mask(size, text, font, xy, tracking=0):
    """Text drawn letter by letter with extra spacing, centred on xy (a point of the baseline)."""
    img = Image.new("L", size, 0)
    d = ImageDraw.Draw(img)
    widths = [d.textlength(ch, font=font) for ch in text]
    x = xy[0] - (sum(widths) + tracking * (len(text) - 1)) / 2
    for ch, cw in zip(text, widths):
        d.text((x, xy[1]), ch, font=font, fill=255, anchor="ls")
        x += cw + tracking
    return img


def make_logo():
    S = 2  # drawn at twice the size, reduced at the end
    w, h = 397 * S, 420 * S
    size = (w, h)
    rng = random.Random(0x10C0)
    cx = w / 2
    crest, crest_mask = emblem_layers(size, cx, 34 * S, 176 * S, 222 * S, rng, swords=(0.80, -0.02, 0.84, 1.06))

    wfont = ImageFont.truetype(SERIF_BOLD, 64 * S)
    word = text_mask(size, "QUORVEL", wfont, (cx, 352 * S), tracking=3 * S)
    rule = Image.new("L", size, 0)
    d = ImageDraw.Draw(rule)
    ry = 378 * S
    d.polygon([(cx - 160 * S, ry), (cx - 16 * S, ry - 2.5 * S), (cx - 16 * S, ry + 2.5 * S)], fill=255)
    d.polygon([(cx + 160 * S, ry), (cx + 16 * S, ry - 2.5 * S), (cx + 16 * S, ry + 2.5 * S)], fill=255)
    d.polygon([(cx, ry - 8 * S), (cx + 8 * S, ry), (cx, ry + 8 * S), (cx - 8 * S, ry)], fill=255)
    marks = ImageChops.lighter(word, rule)

    everything = ImageChops.lighter(crest_mask, marks)
    layers = [Image.new("RGBA", size, (0, 0, 0, 0)),
              glow(everything, 16 * S, (0xD8, 0x7A, 0x22), 0.50)]
    layers += crest
    layers.append(shadow(marks, 3 * S, 0, 3 * S, 1.8, (0x02, 0x01, 0x00)))
    layers.append(metal(word, 3 * S, light=2.0, sheen_top=0.16, sheen_bottom=-0.14))
    layers.append(metal(rule, 2 * S, light=1.0))
    out = over(*layers)
    return out.resize((397, 420), Image.LANCZOS)


# ---- Background ----------------------------------------------------------------------------

def ridge_line(w, rng, base, amp, cells, octaves=5, gain=0.48, sharp=0.7):
    """Heights of a mountain crest, one per column: pointed peaks, rounder valleys."""
    total = [0.0] * w
    a = 1.0
    c = cells
    for _ in range(octaves):
        n = int(w / c) + 3
        vals = [rng.random() for _ in range(n)]
        for x in range(w):
            p = x / c
            i = int(p)
            u = p - i
            u = u * u * (3 - 2 * u)
            v = vals[i] * (1 - u) + vals[i + 1] * u
            v = 1 - abs(v * 2 - 1) * sharp
            total[x] += v * a
        a *= gain
        c = max(2.0, c / 2.2)
    lo, hi = min(total), max(total)
    return [base - (t - lo) / (hi - lo) * amp for t in total]


def fill_below(w, h, line):
    """Mask of everything under the crest line."""
    img = Image.new("L", (w, h), 0)
    d = ImageDraw.Draw(img)
    d.polygon([(0, h)] + [(x, line[x]) for x in range(w)] + [(w - 1, h)], fill=255)
    return img


def make_background():
    w, h = 1600, 900
    rng = random.Random(0xBAC6)
    horizon = 600
    sun_x = 1010
    # Night sky over a smouldering horizon, the glow's core low behind the far range.
    sky_stops = [(0.0, (0x04, 0x05, 0x08)), (0.30, (0x0E, 0x0D, 0x10)), (0.55, (0x2A, 0x18, 0x12)),
                 (0.75, (0x7A, 0x3A, 0x18)), (0.88, (0xC0, 0x66, 0x26)), (1.0, (0xF0, 0xA8, 0x58))]
    sky = colour_ramp(ramp_y(w, h, [min(1.0, y / horizon) for y in range(h)]), sky_stops)
    sun = radial(w, h, sun_x, horizon - 20, 560, 260)
    sky = add_rgb(sky, (0xE0, 0x78, 0x2C), mix("max(1.0 - v, 0.0) ** 2.2 * 0.8", v=sun))
    core = radial(w, h, sun_x, horizon - 10, 140, 70)
    sky = add_rgb(sky, (0xFF, 0xD0, 0x90), mix("max(1.0 - v, 0.0) ** 2 * 0.6", v=core))
    # Long cloud banks, dark above and lit along their undersides.
    clouds = fbm(w, h, 520, 70, 6, rng, gain=0.55)
    cl = clamp(mix("(c - 0.5) * 3.0", c=clouds))
    low = ramp_y(w, h, [smoothstep(60, horizon, y) for y in range(h)])
    sky = multiply_rgb(sky, mix("1.0 - cl * (0.85 - 0.45 * lo)", cl=cl, lo=low))
    under = clamp(mix("max(e, 0.0) * 5.0", e=mix("a - b", a=shift(cl, 0, -4), b=cl)))
    sky = add_rgb(sky, (0xF0, 0x90, 0x40), mix("u * lo * (1.2 - min(v, 1.0))", u=under, lo=low, v=sun))
    d = ImageDraw.Draw(sky)
    for _ in range(320):
        x, y = rng.random() * w, rng.random() ** 1.5 * 420
        c = int(60 + 170 * rng.random() * (1 - y / 440))
        d.point((x, y), fill=(c, c, min(255, int(c * 1.08))))

    # Four ranges from far to near: hazy and warm far away, nearly black close by, each with a
    # rim of light along its crest and mist in the valleys in front of it.
    out = sky
    glow_side = radial(w, h, sun_x, horizon, 900, 500)
    ranges = [  # base line, height, peak spacing, colour at the crest, colour lower down, rim light
        (610, 230, 300, (0x6A, 0x3C, 0x28), (0x4A, 0x2A, 0x1E), 0.9),
        (680, 250, 220, (0x32, 0x1E, 0x17), (0x1E, 0x12, 0x0E), 0.7),
        (770, 230, 170, (0x17, 0x10, 0x0D), (0x0D, 0x09, 0x07), 0.45),
        (880, 190, 130, (0x08, 0x06, 0x05), (0x04, 0x03, 0x02), 0.25),
    ]
    keep_line = None
    for i, (base, amp, cells, ctop, cbot, rim) in enumerate(ranges):
        line = ridge_line(w, rng, base, amp, cells)
        if i == 2:
            keep_line = line
        m = fill_below(w, h, line)
        g = ramp_y(w, h, [smoothstep(min(line), base + 60, y) for y in range(h)])
        layer = lerp_rgb(Image.new("RGB", (w, h), ctop), Image.new("RGB", (w, h), cbot), g)
        tex = fbm(w, h, 90, 50, 5, rng)
        layer = multiply_rgb(layer, mix("0.85 + t * 0.3", t=tex))
        lit = emboss(box_blur(mix("t * 30.0", t=tex), 1, 1), -1)
        layer = add_rgb(layer, (0x60, 0x2C, 0x10),
                        clamp(mix("max(l, 0.0) * r * 0.5 * (1.0 - min(v, 1.0))", l=lit, r=rim, v=glow_side)))
        out = Image.composite(layer, out, m)
        crest = box_blur(to_f(ImageChops.subtract(m, ImageChops.offset(m, 0, 3))), 1, 1)
        out = add_rgb(out, (0xFF, 0x9A, 0x48),
                      clamp(mix("e * r * 0.6 * (1.3 - min(v, 1.0))", e=crest, r=rim, v=glow_side)))
        if i < 3:
            band = [0.45 * smoothstep(base - amp * 0.3, base + 30, y) * (1 - smoothstep(base + 30, base + 150, y))
                    for y in range(h)]
            mist = mix("m * (0.3 + f) * k", m=ramp_y(w, h, band), f=fbm(w, h, 380, 30, 5, rng), k=0.8 - 0.25 * i)
            out = lerp_rgb(out, Image.new("RGB", (w, h), (0x70, 0x44, 0x2C)), clamp(mist))

    # A keep with lit windows on a crag rising from the third range.
    kx = 470
    ky = int(min(keep_line[kx - 40:kx + 40])) - 30
    crag = Image.new("L", (w, h), 0)
    d = ImageDraw.Draw(crag)
    left, right = [], []
    for y in range(ky + 4, h + 16, 16):
        spread = 62 + 150 * ((y - ky) / 200.0) ** 1.4
        left.append((kx - spread - rng.random() * 22, y))
        right.append((kx + spread * 1.1 + rng.random() * 22, y))
    d.polygon([(kx - 64, ky + 4)] + left + list(reversed(right)) + [(kx + 60, ky + 4)], fill=255)
    rock = multiply_rgb(Image.new("RGB", (w, h), (0x14, 0x0E, 0x0B)), mix("0.7 + t * 0.6", t=fbm(w, h, 40, 24, 5, rng)))
    out = Image.composite(rock, out, crag)
    keep = Image.new("L", (w, h), 0)
    d = ImageDraw.Draw(keep)
    towers = [(-62, 12, 58), (-36, 17, 100), (0, 22, 140), (34, 15, 88), (58, 10, 62)]  # offset, half width, height
    for dx, half, tall in towers:
        x0, x1, top = kx + dx - half, kx + dx + half, ky - tall
        d.rectangle((x0, top, x1, ky + 20), fill=255)
        d.polygon([(x0 - 3, top), (kx + dx, top - half * 2.6), (x1 + 3, top)], fill=255)
    d.rectangle((kx - 62, ky - 34, kx + 58, ky + 20), fill=255)
    for k in range(-60, 56, 8):
        d.rectangle((kx + k, ky - 40, kx + k + 4, ky - 34), fill=255)
    spire = ky - 140 - 22 * 2.6
    d.line([(kx, spire), (kx, spire - 26)], fill=255, width=2)
    d.polygon([(kx, spire - 26), (kx + 16, spire - 21), (kx, spire - 16)], fill=255)
    out = Image.composite(Image.new("RGB", (w, h), (0x10, 0x0B, 0x09)), out, keep)
    outline = ImageChops.lighter(crag, keep)
    out = add_rgb(out, (0xC0, 0x6A, 0x30), mix("e * 0.25", e=to_f(ImageChops.subtract(outline, ImageChops.offset(outline, 2, 2)))))
    win = Image.new("L", (w, h), 0)
    d = ImageDraw.Draw(win)
    for dx, dy in [(-36, 70), (0, 108), (0, 78), (34, 56), (-62, 38), (10, 28), (-16, 18), (-36, 40)]:
        d.rectangle((kx + dx - 2, ky - dy, kx + dx + 2, ky - dy + 7), fill=255)
    out = Image.composite(Image.new("RGB", (w, h), (0xFF, 0xC0, 0x70)), out, win)
    out = Image.alpha_composite(out.convert("RGBA"), glow(win, 6, (0xFF, 0x88, 0x28), 1.4))

    # Embers drifting up from below.
    embers = Image.new("L", (w, h), 0)
    d = ImageDraw.Draw(embers)
    for _ in range(150):
        x = rng.random() * w
        y = h - (rng.random() ** 1.7) * 640
        r = 0.7 + rng.random() ** 2 * 2.6
        d.ellipse((x - r, y - r * 1.5, x + r, y + r), fill=int(110 + rng.random() * 145))
    out = Image.alpha_composite(out, glow(embers, 5, (0xFF, 0x6A, 0x1C), 2.4))
    ember_core = Image.new("RGBA", (w, h), (0xFF, 0xD8, 0xA0, 0))
    ember_core.putalpha(embers)
    out = Image.alpha_composite(out, ember_core).convert("RGB")

    v = radial(w, h, w / 2, h * 0.56, w * 0.70, h * 0.80)
    out = multiply_rgb(out, mix("1.0 - min(max(v - 0.5, 0.0), 1.0) * 0.9", v=v))
    return multiply_rgb(out, grain(w, h, rng, 0.035))


# ---- Program icon ----------------------------------------------------------------------------

ICON_SIZES = (16, 24, 32, 48, 64, 128, 256)


def make_icon_image(size):
    """The crest: swords from 128 pixels up, texture from 48 up, a heavier Q below that."""
    S = 8 if size <= 64 else 4
    w = size * S
    rng = random.Random(0x1C0 + size)
    if size >= 128:
        layers, _ = emblem_layers((w, w), w / 2, w * 0.05, w * 0.60, w * 0.78, rng,
                                  swords=(0.73, 0.0, 0.72, 1.15))
    elif size >= 48:
        layers, _ = emblem_layers((w, w), w / 2, w * 0.02, w * 0.86, w * 0.96, rng, q_scale=0.66)
    else:
        layers, _ = emblem_layers((w, w), w / 2, w * 0.01, w * 0.90, w * 0.98, rng, detail=False, q_scale=0.68)
    img = over(Image.new("RGBA", (w, w), (0, 0, 0, 0)), *layers)
    return img.resize((size, size), Image.LANCZOS)


def png_bytes(img):
    buf = io.BytesIO()
    img.save(buf, "PNG", optimize=True)
    return buf.getvalue()


def write_ico(path, images):
    """An icon file whose every entry is a PNG (planes 1, 32 bits per pixel)."""
    blobs = [png_bytes(img) for img in images]
    head = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    for img, blob in zip(images, blobs):
        w, h = img.size
        entries += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    with open(path, "wb") as f:
        f.write(head + entries + b"".join(blobs))


def main():
    """make_art.py [FOLDER [NAME...]]: all pictures, or the named ones, into FOLDER."""
    out = sys.argv[1] if len(sys.argv) > 1 else HERE
    wanted = set(sys.argv[2:])

    def want(name):
        return not wanted or name in wanted

    if want("background"):
        make_background().save(os.path.join(out, "background.jpg"), "JPEG", quality=90, optimize=True,
                               subsampling=0)
    if want("logo"):
        make_logo().save(os.path.join(out, "logo.png"), "PNG", optimize=True)
    if want("stone"):
        make_stone().save(os.path.join(out, "ui_stone.png"), "PNG", optimize=True)
    if want("buttons"):
        for n, state in ((1, "normal"), (2, "hover"), (3, "pressed")):
            make_button(state).save(os.path.join(out, "ui_btn%d.png" % n), "PNG", optimize=True)
    if want("icon"):
        write_ico(os.path.join(out, "quorvel.ico"), [make_icon_image(s) for s in ICON_SIZES])


if __name__ == "__main__":
    main()
