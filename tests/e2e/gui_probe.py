#!/usr/bin/python3
"""Pixel probes on screenshots of the wizard (PNG files), for the screen tests.

  gui_probe.py pixel FILE X Y                      prints R G B of one pixel
  gui_probe.py near FILE X Y RRGGBB TOL            exit 0 if every channel is within TOL
  gui_probe.py count FILE L T R B RRGGBB TOL       prints how many pixels of the box are near
  gui_probe.py mean FILE L T R B                   prints the mean R G B of the box
  gui_probe.py same FILE1 FILE2                    exit 0 if both images are pixel-identical
  gui_probe.py crop FILE L T R B OUT               writes the box as OUT
  gui_probe.py contrast FILE L T R B               prints the contrast ratio of the box's
                                                   brightest pixel (the text) to its median
                                                   luminance (the background)

Coordinates are pixels of the file; the box excludes R and B.
"""
import sys

from PIL import Image, ImageChops


def rgb(path):
    return Image.open(path).convert("RGB")


def parse_colour(text):
    return tuple(int(text[i:i + 2], 16) for i in (0, 2, 4))


def near(p, c, tol):
    return all(abs(a - b) <= tol for a, b in zip(p, c))


def luminance(p):
    """Relative luminance of an sRGB pixel (WCAG 2)."""
    def channel(v):
        v /= 255.0
        return v / 12.92 if v <= 0.04045 else ((v + 0.055) / 1.055) ** 2.4
    r, g, b = (channel(v) for v in p)
    return 0.2126 * r + 0.7152 * g + 0.0722 * b


def main(argv):
    cmd = argv[1]
    if cmd == "pixel":
        print(*rgb(argv[2]).getpixel((int(argv[3]), int(argv[4]))))
        return 0
    if cmd == "near":
        p = rgb(argv[2]).getpixel((int(argv[3]), int(argv[4])))
        ok = near(p, parse_colour(argv[5]), int(argv[6]))
        if not ok:
            print("pixel (%s, %s) is %02x%02x%02x" % (argv[3], argv[4], *p))
        return 0 if ok else 1
    if cmd == "count":
        img = rgb(argv[2])
        l, t, r, b = (int(v) for v in argv[3:7])
        c, tol = parse_colour(argv[7]), int(argv[8])
        print(sum(1 for y in range(t, b) for x in range(l, r) if near(img.getpixel((x, y)), c, tol)))
        return 0
    if cmd == "mean":
        img = rgb(argv[2])
        l, t, r, b = (int(v) for v in argv[3:7])
        px = [img.getpixel((x, y)) for y in range(t, b) for x in range(l, r)]
        print(*(round(sum(p[i] for p in px) / len(px), 1) for i in range(3)))
        return 0
    if cmd == "same":
        a, b = rgb(argv[2]), rgb(argv[3])
        return 0 if a.size == b.size and ImageChops.difference(a, b).getbbox() is None else 1
    if cmd == "crop":
        l, t, r, b = (int(v) for v in argv[3:7])
        rgb(argv[2]).crop((l, t, r, b)).save(argv[7])
        return 0
    if cmd == "contrast":
        img = rgb(argv[2])
        l, t, r, b = (int(v) for v in argv[3:7])
        px = [img.getpixel((x, y)) for y in range(t, b) for x in range(l, r)]
        levels = sorted(luminance(p) for p in px)
        hi, lo = levels[-1], levels[len(levels) // 2]
        print("%.2f" % ((hi + 0.05) / (lo + 0.05)))
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
