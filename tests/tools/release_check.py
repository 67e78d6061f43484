#!/usr/bin/python3
"""Checks a published release against its game folder with code independent of the tool:
python3-cryptography for Ed25519, hashlib for SHA-256, Python's zlib for the objects.

  release_check.py RELEASE_DIR GAME_DIR PUBLIC_KEY_HEX [--version N] [--launcher P] [--game-exe P]
                   [--keep P]... [--delete P]... [--news FILE] [--links FILE]

Prints each failure and exits 1 if there is any.
"""
import argparse
import hashlib
import json
import os
import sys
import zlib

from cryptography.exceptions import InvalidSignature
from cryptography.hazmat.primitives.asymmetric.ed25519 import Ed25519PublicKey


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("release")
    ap.add_argument("game")
    ap.add_argument("public_key")
    ap.add_argument("--version", type=int)
    ap.add_argument("--launcher")
    ap.add_argument("--game-exe")
    ap.add_argument("--keep", action="append", default=[])
    ap.add_argument("--delete", action="append", default=[])
    ap.add_argument("--news")
    ap.add_argument("--links")
    a = ap.parse_args()
    failures = []

    raw = open(os.path.join(a.release, "manifest.json"), "rb").read()
    sig = open(os.path.join(a.release, "manifest.sig"), "rb").read()
    key = Ed25519PublicKey.from_public_bytes(bytes.fromhex(a.public_key))
    try:
        key.verify(sig, raw)
    except InvalidSignature:
        failures.append("signature does not verify")
    # The check above must be able to fail: one changed byte has to break it.
    try:
        key.verify(sig, raw[:-1] + bytes([raw[-1] ^ 1]))
        failures.append("signature also verifies a changed manifest")
    except InvalidSignature:
        pass
    if len(sig) != 64:
        failures.append(f"manifest.sig is {len(sig)} bytes")

    m = json.loads(raw.decode("utf-8"))
    if m.get("format") != 1:
        failures.append("format is not 1")
    if a.version is not None and m.get("version") != a.version:
        failures.append(f"version {m.get('version')} != {a.version}")

    game = {}
    for root, dirs, names in os.walk(a.game):
        for name in names:
            full = os.path.join(root, name)
            rel = os.path.relpath(full, a.game).replace(os.sep, "/")
            game[rel] = open(full, "rb").read()

    entries = {e["p"]: e for e in m["files"]}
    if len(entries) != len(m["files"]):
        failures.append("a path is listed twice")
    expected = set(game) - ({a.launcher} if a.launcher else set())
    if set(entries) != expected:
        failures.append(f"listed paths differ from the game: missing {sorted(expected - set(entries))[:5]}, "
                        f"extra {sorted(set(entries) - expected)[:5]}")
    all_entries = list(m["files"])
    if a.launcher:
        launcher = m.get("launcher")
        if not launcher or launcher.get("p") != a.launcher:
            failures.append(f"launcher entry is {launcher}")
        else:
            all_entries.append(launcher)
    elif "launcher" in m:
        failures.append("unexpected launcher entry")

    hashes = set()
    for e in all_entries:
        p = e["p"]
        data = game.get(p)
        if data is None:
            continue
        h = hashlib.sha256(data).hexdigest()
        if e.get("h") != h or e.get("s") != len(data):
            failures.append(f"{p}: h/s do not describe the file")
            continue
        hashes.add(h)
        obj = os.path.join(a.release, "files", h[:2], h + ".z")
        if not os.path.isfile(obj):
            failures.append(f"{p}: no object")
            continue
        blob = open(obj, "rb").read()
        if e.get("c") != len(blob):
            failures.append(f"{p}: c is {e.get('c')}, object is {len(blob)} bytes")
        d = zlib.decompressobj(15)  # RFC 1950 only
        try:
            out = d.decompress(blob) + d.flush()
        except zlib.error as ex:
            failures.append(f"{p}: object does not inflate ({ex})")
            continue
        if not d.eof or d.unused_data or out != data:
            failures.append(f"{p}: object is not exactly one zlib stream of the file")
        want_keep = p in a.keep
        if bool(e.get("k")) != want_keep or ("k" in e and e["k"] != 1):
            failures.append(f"{p}: k is {e.get('k')}")

    objects = set()
    for root, dirs, names in os.walk(os.path.join(a.release, "files")):
        for name in names:
            if not name.endswith(".z") or os.path.basename(root) != name[:2]:
                failures.append(f"stray file in files/: {name}")
            objects.add(name[:-2])
    if not hashes <= objects:
        failures.append("objects missing")
    leftovers = [n for n in os.listdir(a.release) if n not in ("manifest.json", "manifest.sig", "files")]
    if leftovers:
        failures.append(f"stray files in the release folder: {leftovers}")

    if a.game_exe is not None and m.get("game_exe") != a.game_exe:
        failures.append(f"game_exe is {m.get('game_exe')!r}")
    if m.get("delete", []) != a.delete:
        failures.append(f"delete is {m.get('delete')}")
    if a.news and m.get("news") != json.load(open(a.news, encoding="utf-8")):
        failures.append("news differ from the news file")
    if a.links and m.get("links") != json.load(open(a.links, encoding="utf-8")):
        failures.append("links differ from the links file")

    for f in failures:
        print("release_check:", f)
    print(f"release_check: {len(all_entries)} entries, {len(hashes)} distinct contents, "
          f"{len(objects)} objects, {'OK' if not failures else 'FAILED'}")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
