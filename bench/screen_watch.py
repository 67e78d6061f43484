#!/usr/bin/python3
"""Watches points of the X screen ($DISPLAY) and prints when each first changed colour.

  screen_watch.py SECONDS [map:WIDTH,HEIGHT] X,Y[,RRGGBB,TOL] ...

Each point is read about every millisecond (XGetImage of that one pixel). Without a colour the
time printed is when the point first differed from what it showed at the start; with one, when
it first came within TOL of that colour on every channel. Prints one line per point:
"X,Y EPOCH_SECONDS RRGGBB" (the time and the colour it then had), or "X,Y - -" if it never did.
With map:WIDTH,HEIGHT the first line is "map EPOCH_SECONDS WIDTHxHEIGHT": when a window of that
size was mapped on the screen (as a window manager learns it), or "map - -".
"""
import ctypes
import ctypes.util
import sys
import time


class XImage(ctypes.Structure):
    pass


def main(argv):
    x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XDefaultRootWindow.restype = ctypes.c_ulong
    x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x11.XGetImage.restype = ctypes.POINTER(XImage)
    x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                              ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
    x11.XGetPixel.restype = ctypes.c_ulong
    x11.XGetPixel.argtypes = [ctypes.POINTER(XImage), ctypes.c_int, ctypes.c_int]
    x11.XDestroyImage = None  # a macro in Xlib; XFree of the data and the struct does the same
    x11.XFree.argtypes = [ctypes.c_void_p]
    display = x11.XOpenDisplay(None)
    if not display:
        print("no X display", file=sys.stderr)
        return 2
    root = x11.XDefaultRootWindow(display)
    # A window may go before it is asked about: such errors are no reason to stop watching.
    handler_type = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
    ignore = handler_type(lambda d, e: 0)
    x11.XSetErrorHandler.argtypes = [handler_type]
    x11.XSetErrorHandler(ignore)
    all_planes, z_pixmap = 0xFFFFFFFF, 2

    def read(x, y):
        image = x11.XGetImage(display, root, x, y, 1, 1, all_planes, z_pixmap)
        if not image:
            return None
        value = x11.XGetPixel(image, 0, 0) & 0xFFFFFF
        # The image's data pointer is the field after width, height, xoffset, format.
        data = ctypes.cast(image, ctypes.POINTER(ctypes.c_void_p))[2]
        x11.XFree(data)
        x11.XFree(image)
        return value

    x11.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
    x11.XPending.argtypes = [ctypes.c_void_p]
    x11.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
    x11.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_void_p]
    x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    limit = float(argv[1])
    args = argv[2:]
    mapped = None
    if args and args[0].startswith("map:"):
        w, h = (int(v) for v in args[0][4:].split(","))
        mapped = {"size": (w, h), "at": None}
        x11.XSelectInput(display, root, 1 << 19)  # SubstructureNotifyMask
        x11.XSync(display, 0)
        args = args[1:]
    event = (ctypes.c_ubyte * 192)()
    attributes = (ctypes.c_ubyte * 256)()

    def take_events():
        while mapped is not None and mapped["at"] is None and x11.XPending(display) > 0:
            x11.XNextEvent(display, event)
            now = time.time()
            if ctypes.c_int.from_buffer(event, 0).value != 19:  # MapNotify
                continue
            window = ctypes.c_ulong.from_buffer(event, 40).value
            if not x11.XGetWindowAttributes(display, window, attributes):
                continue
            size = (ctypes.c_int.from_buffer(attributes, 8).value, ctypes.c_int.from_buffer(attributes, 12).value)
            if size == mapped["size"]:
                mapped["at"] = now

    points = []
    for arg in args:
        parts = arg.split(",")
        target = int(parts[2], 16) if len(parts) > 2 else None
        tol = int(parts[3]) if len(parts) > 3 else 0
        points.append({"x": int(parts[0]), "y": int(parts[1]), "target": target, "tol": tol, "at": None})
    for p in points:
        p["start"] = read(p["x"], p["y"])

    def near(a, b, tol):
        return all(abs(((a >> s) & 0xFF) - ((b >> s) & 0xFF)) <= tol for s in (0, 8, 16))

    end = time.time() + limit
    while time.time() < end and (any(p["at"] is None for p in points) or (mapped and mapped["at"] is None)):
        take_events()
        for p in points:
            if p["at"] is not None:
                continue
            now = time.time()
            value = read(p["x"], p["y"])
            if value is None:
                continue
            hit = near(value, p["target"], p["tol"]) if p["target"] is not None else value != p["start"]
            if hit:
                p["at"], p["colour"] = now, value
        time.sleep(0.0005)
    if mapped is not None:
        w, h = mapped["size"]
        print("map - -" if mapped["at"] is None else "map %.3f %dx%d" % (mapped["at"], w, h))
    for p in points:
        if p["at"] is None:
            print("%d,%d - -" % (p["x"], p["y"]))
        else:
            print("%d,%d %.3f %06x" % (p["x"], p["y"], p["at"], p["colour"]))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
