#!/usr/bin/python3
"""Signed test fixtures that quorvel-publish does not make, signed by an Ed25519 implementation
independent of the program's (python3-cryptography; run with /usr/bin/python3).

  make_fixtures.py public-key KEYFILE              (prints the public key as hex)
  make_fixtures.py large-manifest RELEASE_DIR --key KEYFILE --entries N [--size BYTES]
        a signed manifest of N made-up file entries (no objects), padded with blanks to BYTES
  make_fixtures.py delete-list RELEASE_DIR --key KEYFILE --entries N --deletes M
        a compact signed manifest of N made-up file entries and M delete paths of 20 bytes

RELEASE_DIR is the folder served at a base URL (it receives manifest.json and manifest.sig).
KEYFILE holds a 32-byte Ed25519 seed as 64 lowercase hex characters and a line feed.
"""
import argparse
import hashlib
import json
import os
import sys

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


def write_release(release_dir, key, body):
    os.makedirs(release_dir, exist_ok=True)
    write_atomic(os.path.join(release_dir, "manifest.json"), body)
    write_atomic(os.path.join(release_dir, "manifest.sig"), key.sign(body))


def delete_list(release_dir, key, entries, deletes):
    files = [{"p": "data/maps/tile_%05d.pak" % i, "h": hashlib.sha256(str(i).encode()).hexdigest(),
              "s": 1000 + i, "c": 700 + i} for i in range(entries)]
    doc = {"format": 1, "version": 1, "files": files, "delete": ["data/old/f%06d.bin" % i for i in range(deletes)]}
    write_release(release_dir, key, json.dumps(doc, separators=(",", ":")).encode("utf-8"))


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
    write_release(release_dir, key, body)


def main():
    parser = argparse.ArgumentParser()
    sub = parser.add_subparsers(dest="command", required=True)
    p = sub.add_parser("public-key")
    p.add_argument("key")
    m = sub.add_parser("large-manifest")
    m.add_argument("release_dir")
    m.add_argument("--key", required=True)
    m.add_argument("--entries", type=int, required=True)
    m.add_argument("--size", type=int, default=0)
    d = sub.add_parser("delete-list")
    d.add_argument("release_dir")
    d.add_argument("--key", required=True)
    d.add_argument("--entries", type=int, required=True)
    d.add_argument("--deletes", type=int, required=True)
    args = parser.parse_args()
    if args.command == "large-manifest":
        large_manifest(args.release_dir, load_key(args.key), args.entries, args.size)
    elif args.command == "delete-list":
        delete_list(args.release_dir, load_key(args.key), args.entries, args.deletes)
    elif args.command == "public-key":
        print(public_hex(load_key(args.key)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
