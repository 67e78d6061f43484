#!/usr/bin/python3
"""The pictures, icon, manifest and version data that QuorvelSetup.exe carries.

Checks the committed source pictures and then every built setup executable (product, test and
demo variants), reading its resource section directly from the PE file. Environment:
QV_SOURCE_DIR (the checkout) and QV_BUILD_DIR (the Windows build folder).
"""

import io
import os
import struct
import sys
import xml.etree.ElementTree as ET

from PIL import Image

SOURCE = os.environ.get("QV_SOURCE_DIR") or os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
BUILD = os.environ.get("QV_BUILD_DIR") or os.path.join(SOURCE, "build", "windows")

RT_ICON, RT_RCDATA, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 10, 14, 16, 24

# name: (file in resources/, format, width, height, needs alpha)
PICTURES = {
    "BACKGROUND": ("background.jpg", "JPEG", 1600, 900, False),
    "LOGO": ("logo.png", "PNG", 397, 420, True),
    "UI_STONE": ("ui_stone.png", "PNG", 350, 1080, False),
    "UI_BTN1": ("ui_btn1.png", "PNG", 175, 45, True),
    "UI_BTN2": ("ui_btn2.png", "PNG", 175, 45, True),
    "UI_BTN3": ("ui_btn3.png", "PNG", 175, 45, True),
}
ICON_SIZES = [16, 24, 32, 48, 64, 128, 256]
PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"
JPEG_SOI = b"\xff\xd8\xff"
VERSION_STRINGS = {
    "ProductName": "Quorvel Setup",
    "CompanyName": "Quorvel",
    "FileDescription": "Quorvel Setup",
    "OriginalFilename": "QuorvelSetup.exe",
    "FileVersion": "1.0.0.0",
    "ProductVersion": "1.0.0.0",
}

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
    return ok


# ---- Pictures -----------------------------------------------------------------------------------

def check_picture(label, data, fmt, width, height, alpha):
    signature = JPEG_SOI if fmt == "JPEG" else PNG_SIGNATURE
    if not check(data.startswith(signature), "%s: does not start with the %s signature" % (label, fmt)):
        return
    try:
        img = Image.open(io.BytesIO(data))
        img.load()
    except Exception as e:  # any decoding failure is the finding
        check(False, "%s: cannot be decoded: %s" % (label, e))
        return
    check(img.format == fmt, "%s: format %s, expected %s" % (label, img.format, fmt))
    check(img.size == (width, height), "%s: %dx%d, expected %dx%d" % ((label,) + img.size + (width, height)))
    if alpha:
        has_alpha = img.mode in ("RGBA", "LA") or "transparency" in img.info
        if check(has_alpha, "%s: has no alpha channel (mode %s)" % (label, img.mode)):
            lo, hi = img.convert("RGBA").getchannel("A").getextrema()
            check(lo < 255, "%s: alpha channel is opaque everywhere" % label)


def check_icon_images(label, images):
    """images: list of (directory width, directory height, bytes) in directory order."""
    check(len(images) == len(ICON_SIZES), "%s: %d icon images, expected %d" % (label, len(images), len(ICON_SIZES)))
    seen = []
    for w, h, data in images:
        size = w or 256
        check(w == h, "%s: icon entry %dx%d is not square" % (label, w, h))
        if not check(data.startswith(PNG_SIGNATURE), "%s: %d-pixel icon is not PNG-compressed" % (label, size)):
            continue
        img = Image.open(io.BytesIO(data))
        img.load()
        check(img.size == (size, size), "%s: %d-pixel entry holds a %dx%d picture" % ((label, size) + img.size))
        check(img.mode == "RGBA", "%s: %d-pixel icon is %s, not RGBA" % (label, size, img.mode))
        seen.append(size)
    check(sorted(seen) == ICON_SIZES, "%s: icon sizes %s, expected %s" % (label, sorted(seen), ICON_SIZES))


def read_ico(path):
    data = open(path, "rb").read()
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    check(reserved == 0 and kind == 1, "%s: not an icon file" % path)
    images = []
    for i in range(count):
        w, h, _, _, planes, bits, size, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        check(planes == 1 and bits == 32, "%s: entry %d has planes %d, bits %d" % (path, i, planes, bits))
        images.append((w, h, data[offset:offset + size]))
    return images


def check_sources():
    res = os.path.join(SOURCE, "resources")
    for name, (file, fmt, width, height, alpha) in PICTURES.items():
        path = os.path.join(res, file)
        if check(os.path.isfile(path), "resources/%s is missing" % file):
            check_picture("resources/" + file, open(path, "rb").read(), fmt, width, height, alpha)
    ico = os.path.join(res, "quorvel.ico")
    if check(os.path.isfile(ico), "resources/quorvel.ico is missing"):
        check_icon_images("resources/quorvel.ico", read_ico(ico))


# ---- PE resource section ------------------------------------------------------------------------

class PeResources:
    """The resource tree of a PE file: {type: {name or id: bytes of the first language}}."""

    def __init__(self, path):
        self.data = open(path, "rb").read()
        d = self.data
        if d[:2] != b"MZ":
            raise ValueError("not an MZ executable")
        pe = struct.unpack_from("<I", d, 0x3C)[0]
        if d[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE header")
        machine, sections, _, _, _, opt_size, _ = struct.unpack_from("<HHIIIHH", d, pe + 4)
        if machine != 0x8664:
            raise ValueError("machine 0x%x is not x64" % machine)
        opt = pe + 24
        if struct.unpack_from("<H", d, opt)[0] != 0x20B:
            raise ValueError("not a PE32+ image")
        self.rsrc_rva, self.rsrc_size = struct.unpack_from("<II", d, opt + 112 + 2 * 8)
        self.sections = []
        for i in range(sections):
            s = opt + opt_size + 40 * i
            vsize, va, rawsize, rawptr = struct.unpack_from("<IIII", d, s + 8)
            self.sections.append((va, max(vsize, rawsize), rawptr, rawsize))
        if not self.rsrc_rva:
            raise ValueError("no resource section")
        self.base = self.offset(self.rsrc_rva)
        self.tree = {}
        for type_key, type_off in self.entries(0):
            names = {}
            for name_key, name_off in self.entries(type_off):
                langs = self.entries(name_off)
                if langs:
                    rva, size = struct.unpack_from("<II", d, self.base + langs[0][1])
                    start = self.offset(rva)
                    names[name_key] = d[start:start + size]
            self.tree[type_key] = names

    def offset(self, rva):
        for va, vsize, rawptr, rawsize in self.sections:
            if va <= rva < va + vsize and rva - va < rawsize:
                return rawptr + rva - va
        raise ValueError("address 0x%x lies in no section" % rva)

    def entries(self, dir_off):
        d, at = self.data, self.base + dir_off
        named, ids = struct.unpack_from("<HH", d, at + 12)
        out = []
        for i in range(named + ids):
            key, value = struct.unpack_from("<II", d, at + 16 + 8 * i)
            if key & 0x80000000:
                n = self.base + (key & 0x7FFFFFFF)
                length = struct.unpack_from("<H", d, n)[0]
                key = d[n + 2:n + 2 + 2 * length].decode("utf-16-le")
            out.append((key, value & 0x7FFFFFFF))
        return out


def version_strings(blob):
    """StringFileInfo values and the fixed file version of a VS_VERSIONINFO block."""

    def node(at):
        length, value_len, kind = struct.unpack_from("<HHH", blob, at)
        end = at + length
        p = at + 6
        key_end = p
        while blob[key_end:key_end + 2] != b"\0\0":
            key_end += 2
        key = blob[p:key_end].decode("utf-16-le")
        p = (key_end + 2 + 3) & ~3
        value_bytes = value_len * 2 if kind == 1 else value_len
        value = blob[p:p + value_bytes]
        p = (p + value_bytes + 3) & ~3
        children = []
        while p < end:
            child, p = node(p)
            children.append(child)
            p = (p + 3) & ~3
        return (key, kind, value, children), end

    root, _ = node(0)
    key, _, fixed, children = root
    strings = {}
    version = None
    if key == "VS_VERSION_INFO" and len(fixed) >= 52:
        sig, _, ms, ls = struct.unpack_from("<IIII", fixed, 0)
        if sig == 0xFEEF04BD:
            version = (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
    for ckey, _, _, tables in children:
        if ckey != "StringFileInfo":
            continue
        for _, _, _, values in tables:
            for vkey, _, vbytes, _ in values:
                strings[vkey] = vbytes.decode("utf-16-le").rstrip("\0")
    return version, strings


def check_manifest(label, blob):
    try:
        root = ET.fromstring(blob)
    except ET.ParseError as e:
        check(False, "%s: manifest is not well-formed XML: %s" % (label, e))
        return
    by_tag = {}
    for el in root.iter():
        by_tag.setdefault(el.tag.split("}")[-1], []).append(el)
    levels = by_tag.get("requestedExecutionLevel", [])
    check(len(levels) == 1 and levels[0].get("level") == "asInvoker" and levels[0].get("uiAccess") == "false",
          "%s: manifest does not request asInvoker without uiAccess" % label)
    aware = [el.text.strip().lower() for el in by_tag.get("dpiAware", []) if el.text]
    check(aware == ["true"], "%s: manifest dpiAware is %s, expected true" % (label, aware))
    check("dpiAwareness" not in by_tag, "%s: manifest declares dpiAwareness (per-monitor modes)" % label)
    oses = {el.get("Id", "").lower() for el in by_tag.get("supportedOS", [])}
    wanted = {"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
              "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}
    check(oses == wanted, "%s: supportedOS %s, expected Windows 7, 8, 8.1 and 10" % (label, sorted(oses)))
    controls = [el for el in by_tag.get("assemblyIdentity", [])
                if el.get("name") == "Microsoft.Windows.Common-Controls"]
    check(len(controls) == 1 and controls[0].get("version", "").startswith("6."),
          "%s: manifest has no dependency on common controls 6" % label)


def check_executable(path):
    label = os.path.basename(path)
    try:
        pe = PeResources(path)
    except (ValueError, struct.error) as e:
        check(False, "%s: %s" % (label, e))
        return
    tree = pe.tree

    groups = tree.get(RT_GROUP_ICON, {})
    icons = tree.get(RT_ICON, {})
    if check(1 in groups, "%s: no icon group with id 1" % label):
        g = groups[1]
        _, kind, count = struct.unpack_from("<HHH", g, 0)
        check(kind == 1, "%s: icon group 1 is not an icon directory" % label)
        images = []
        for i in range(count):
            w, h, _, _, planes, bits, size, icon_id = struct.unpack_from("<BBBBHHIH", g, 6 + 14 * i)
            data = icons.get(icon_id)
            if check(data is not None, "%s: icon group names missing icon %d" % (label, icon_id)):
                check(len(data) == size, "%s: icon %d is %d bytes, group says %d" % (label, icon_id, len(data), size))
                images.append((w, h, data))
        check_icon_images(label, images)

    rcdata = tree.get(RT_RCDATA, {})
    for name, (file, fmt, width, height, alpha) in PICTURES.items():
        if check(name in rcdata, "%s: no RCDATA resource named %s" % (label, name)):
            check_picture("%s %s" % (label, name), rcdata[name], fmt, width, height, alpha)
            source = os.path.join(SOURCE, "resources", file)
            if os.path.isfile(source):
                check(rcdata[name] == open(source, "rb").read(),
                      "%s: %s differs from resources/%s" % (label, name, file))

    manifests = tree.get(RT_MANIFEST, {})
    if check(list(manifests) == [1], "%s: manifest ids %s, expected exactly [1]" % (label, list(manifests))):
        check_manifest(label, manifests[1])

    versions = tree.get(RT_VERSION, {})
    if check(1 in versions, "%s: no version resource" % label):
        fixed, strings = version_strings(versions[1])
        check(fixed == (1, 0, 0, 0), "%s: file version %s, expected 1.0.0.0" % (label, fixed))
        for key, value in VERSION_STRINGS.items():
            check(strings.get(key) == value, "%s: version %s is %r, expected %r" % (label, key, strings.get(key), value))


def main():
    check_sources()
    # A missing executable is a failure: the build has to produce all three.
    for name in ["QuorvelSetup.exe", "QuorvelSetup-e2e.exe", "QuorvelSetup-demo.exe"]:
        path = os.path.join(BUILD, name)
        if check(os.path.isfile(path), "%s was not built (looked in %s)" % (name, BUILD)):
            check_executable(path)
            print("test_resources: checked %s" % name)
    for f in failures:
        print("FAIL: " + f)
    if failures:
        return 1
    print("test_resources: all resources present with the right formats, sizes, manifest and version")
    return 0


if __name__ == "__main__":
    sys.exit(main())
