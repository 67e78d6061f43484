#!/usr/bin/python3
"""Test release tool: builds a signed release folder from a game folder, and makes sample games.

  make_release.py build GAME_DIR RELEASE_DIR --key KEYFILE --version N [--game-exe NAME]
  make_release.py sign MANIFEST KEYFILE            (writes MANIFEST's folder/manifest.sig)
  make_release.py sample-game GAME_DIR             (a small deterministic game)
  make_release.py public-key KEYFILE               (prints the public key as hex)
  make_release.py large-manifest RELEASE_DIR --key KEYFILE --entries N [--size BYTES]
        a signed manifest of N made-up file entries (no objects), padded with blanks to BYTES

RELEASE_DIR is the folder served at the base URL (it receives manifest.json, manifest.sig and
files/xx/<sha256>.z). KEYFILE holds a 32-byte Ed25519 seed as 64 lowercase hex characters and a
line feed. Needs Debian's python3-cryptography (run with /usr/bin/python3).
"""
import argparse
import hashlib
import json
import os
import random
import sys
import zlib

from cryptography.hazmat.primitives import serialization
from cryptography.hazmat.primitives.asymmetric.ed25519 import Ed25519PrivateKey


def load_key(path):
    with open(path, "rb") as f:
        text = f.read()
    if len(text) != 65 or text[64:] != b"\n":
        sys.exit("%s: expected 64 hex characters and a line feed" % path)
    return Ed25519PrivateKey.from_private_bytes(bytes.fromhex(text[:64].decode("ascii")))


def public_hex(key):
    return key.public_key().public_bytes(serialization.Encoding.Raw,
                                         serialization.PublicFormat.Raw).hex()


def write_atomic(path, data):
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, path)


def build(game_dir, release_dir, key, version, game_exe):
    entries = []
    for folder, dirs, names in os.walk(game_dir):
        dirs.sort()
        for name in sorted(names):
            full = os.path.join(folder, name)
            rel = os.path.relpath(full, game_dir).replace(os.sep, "/")
            with open(full, "rb") as f:
                data = f.read()
            digest = hashlib.sha256(data).hexdigest()
            packed = zlib.compress(data, 9)
            obj_dir = os.path.join(release_dir, "files", digest[:2])
            os.makedirs(obj_dir, exist_ok=True)
            obj = os.path.join(obj_dir, digest + ".z")
            if not os.path.exists(obj):
                write_atomic(obj, packed)
            entries.append({"p": rel, "h": digest, "s": len(data), "c": len(packed)})
    entries.sort(key=lambda e: e["p"].encode("utf-8"))
    manifest = {"format": 1, "version": version, "game_exe": game_exe, "files": entries}
    body = json.dumps(manifest, ensure_ascii=False, indent=1).encode("utf-8")
    write_atomic(os.path.join(release_dir, "manifest.json"), body)
    write_atomic(os.path.join(release_dir, "manifest.sig"), key.sign(body))


def sample_game(game_dir):
    rng = random.Random(20240611)
    files = {
        "Play Quorvel.exe": bytes(rng.getrandbits(8) for _ in range(150000)),
        "bin/engine.dll": (b"QVENGINE" * 40000) + bytes(rng.getrandbits(8) for _ in range(5000)),
        "data/pack01.dat": bytes(rng.getrandbits(8) for _ in range(1200000)),
        "data/empty.txt": b"",
        "config/defaults.ini": b"[video]\r\nwidth=1280\r\nheight=720\r\n",
        "locale/pt/Leia-me \u00e7\u00e3o.txt":
            "Bem-vindo a Quorvel.\n".encode("utf-8"),
    }
    for rel, data in files.items():
        full = os.path.join(game_dir, *rel.split("/"))
        os.makedirs(os.path.dirname(full), exist_ok=True)
        write_atomic(full, data)


def large_manifest(release_dir, key, entries, size):
    files = []
    for i in range(entries):
        digest = hashlib.sha256(str(i).encode()).hexdigest()
        files.append({"p": "data/d%03d/file %05d.dat" % (i // 100, i), "h": digest,
                      "s": i * 3, "c": i * 2})
    body = json.dumps({"format": 1, "version": 1, "files": files}, indent=1).encode("utf-8")
    if size:
        if len(body) > size:
            sys.exit("large-manifest: %d entries take %d bytes, more than %d" % (entries, len(body), size))
        body += b" " * (size - len(body))
    os.makedirs(release_dir, exist_ok=True)
    write_atomic(os.path.join(release_dir, "manifest.json"), body)
    write_atomic(os.path.join(release_dir, "manifest.sig"), key.sign(body))


def main():
    parser = argparse.ArgumentParser()
    sub = parser.add_subparsers(dest="command", required=True)
    b = sub.add_parser("build")
    b.add_argument("game_dir")
    b.add_argument("release_dir")
    b.add_argument("--key", required=True)
    b.add_argument("--version", type=int, required=True)
    b.add_argument("--game-exe", default="Play Quorvel.exe")
    s = sub.add_parser("sign")
    s.add_argument("manifest")
    s.add_argument("key")
    g = sub.add_parser("sample-game")
    g.add_argument("game_dir")
    p = sub.add_parser("public-key")
    p.add_argument("key")
    m = sub.add_parser("large-manifest")
    m.add_argument("release_dir")
    m.add_argument("--key", required=True)
    m.add_argument("--entries", type=int, required=True)
    m.add_argument("--size", type=int, default=0)
    args = parser.parse_args()
    if args.command == "build":
        os.makedirs(args.release_dir, exist_ok=True)
        build(args.game_dir, args.release_dir, load_key(args.key), args.version, args.game_exe)
    elif args.command == "sign":
        with open(args.manifest, "rb") as f:
            body = f.read()
        write_atomic(os.path.join(os.path.dirname(args.manifest), "manifest.sig"),
                     load_key(args.key).sign(body))
    elif args.command == "sample-game":
        sample_game(args.game_dir)
    elif args.command == "large-manifest":
        large_manifest(args.release_dir, load_key(args.key), args.entries, args.size)
    elif args.command == "public-key":
        print(public_hex(load_key(args.key)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
