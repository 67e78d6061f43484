#!/usr/bin/env python3
"""Writes a deterministic sample game folder for tests, the demo and the benchmark.

  make_sample_game.py create OUT_DIR [--files N] [--size SIZE] [--big K] [--big-size SIZE] [--seed S]
  make_sample_game.py change DIR [--percent P] [--seed S] [--exclude PREFIX]...

create: N files (at least the fixed set below) with SIZE bytes in all (suffixes K, M, G), nested
folders, text-like compressible files and random incompressible ones, "Quorvel.exe" and
"Play Quorvel.exe", files with identical content at two paths, names with blanks and non-ASCII
letters and an empty file. K of the files are SIZE bytes each (--big-size), taken from the total.
The same arguments always give the same bytes.

change: alters P percent of the files in DIR (at least one), chosen by the seed: half keep their
size with one byte changed, half grow by a few bytes. Paths that begin with an excluded prefix
are left alone. Prints the changed paths, one per line.
"""
import argparse
import os
import random
import sys

CHUNK = 1 << 20

WORDS = ("quorvel orsk stone gate river night ember spell quest north guild armor blade rune "
         "tower shadow crown storm field village bridge harbor keeper forest ancient silver "
         "market dragon lantern whisper mountain valley potion shield hunter raven frost "
         "region ilha cidade caminho mapa norte sul leste oeste dados jogo").split()

FOLDERS = ["data", "textures", "models", "sounds", "maps", "scripts", "locale", "ui", "effects", "music"]
TEXT_EXT = [".txt", ".lua", ".xml", ".cfg", ".json", ".csv"]
BINARY_EXT = [".pak", ".ogg", ".dds", ".bin", ".dat"]

# (path, kind, size) always present; kind "text", "random" or "empty".
FIXED = [
    ("Quorvel.exe", "random", 96 * 1024),
    ("Play Quorvel.exe", "random", 160 * 1024),
    ("readme.txt", "text", 6 * 1024),
    ("data/empty.dat", "empty", 0),
    ("Mapas/Região Norte/ilha ç.map", "random", 40 * 1024),
    ("données/été.txt", "text", 12 * 1024),
    ("Ελληνικά/κείμενο.txt", "text", 9 * 1024),
    ("日本語/テスト.bin", "random", 7 * 1024),
    ("Dados do Jogo/leia me.txt", "text", 3 * 1024),
    ("config/default.cfg", "text", 5 * 1024),
    ("sounds/ui/click.ogg", "random", 20 * 1024),
]
# Second paths with the same content as a fixed file.
DUPLICATES = [
    ("config/backup/default.cfg", "config/default.cfg"),
    ("sounds/ui/click copy.ogg", "sounds/ui/click.ogg"),
]


def parse_size(text):
    units = {"k": 1 << 10, "m": 1 << 20, "g": 1 << 30}
    text = text.strip().lower()
    if text and text[-1] in units:
        return int(float(text[:-1]) * units[text[-1]])
    return int(text)


def text_block(rng, size):
    # Drawn in one call: per-word calls would make the small-file game slow to generate.
    words = rng.choices(WORDS, k=size // 6 + 16)
    for i in range(rng.randint(3, 12), len(words), 11):
        words[i] += ".\n"
    return " ".join(words).replace("\n ", "\n").encode()[:size]


def write_content(path, rel, kind, size, seed):
    rng = random.Random(f"{seed}:{rel}")
    with open(path, "wb") as out:
        if kind == "random":
            left = size
            while left:
                n = min(left, CHUNK)
                out.write(rng.randbytes(n))
                left -= n
        elif kind == "text":
            # A 64 KiB block of text repeated with a numbered header; deflate's 32 KiB
            # window cannot see the repetition, so the ratio stays that of the text.
            block = text_block(rng, min(size, 65536))
            written, n = 0, 0
            while written < size:
                piece = (b"-- part %d of %s --\n" % (n, rel.encode())) + block
                piece = piece[: size - written]
                out.write(piece)
                written += len(piece)
                n += 1


def plan(files, total, big, big_size, seed):
    rng = random.Random(f"{seed}:plan")
    entries = list(FIXED)
    fixed_bytes = sum(size for _, _, size in FIXED) + sum(
        next(s for p, _, s in FIXED if p == src) for _, src in DUPLICATES)
    count = max(files, len(FIXED) + len(DUPLICATES) + big) - len(FIXED) - len(DUPLICATES)
    budget = max(0, total - fixed_bytes)
    for i in range(big):
        size = min(big_size, budget)
        budget -= size
        entries.append((f"data/archives/bundle{i + 1:02d}.pak", "random" if i % 2 == 0 else "text", size))
    rest = count - big
    weights = [rng.lognormvariate(0, 1.5) for _ in range(rest)]
    scale = budget / sum(weights) if rest else 0
    used = set(p for p, _, _ in entries)
    assigned = 0
    for i, w in enumerate(weights):
        size = int(w * scale) if i < rest - 1 else max(0, budget - assigned)
        assigned += size
        depth = rng.randint(1, 4)
        folders = [rng.choice(FOLDERS)] + [f"{rng.choice(WORDS)}_{rng.randint(0, 40):02d}" for _ in range(depth - 1)]
        kind = "text" if rng.random() < 0.5 else "random"
        ext = rng.choice(TEXT_EXT if kind == "text" else BINARY_EXT)
        name = f"{rng.choice(WORDS)}{' ' if rng.random() < 0.1 else '_'}{i:06d}{ext}"
        rel = "/".join(folders + [name])
        assert rel not in used
        used.add(rel)
        entries.append((rel, kind, size))
    return entries


def create(args):
    entries = plan(args.files, parse_size(args.size), args.big, parse_size(args.big_size), args.seed)
    total = 0
    made = set()
    for rel, kind, size in entries:
        path = os.path.join(args.dir, rel)
        folder = os.path.dirname(path)
        if folder not in made:
            os.makedirs(folder, exist_ok=True)
            made.add(folder)
        write_content(path, rel, kind, size, args.seed)
        total += size
    for rel, source in DUPLICATES:
        path = os.path.join(args.dir, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(os.path.join(args.dir, source), "rb") as src, open(path, "wb") as dst:
            data = src.read()
            dst.write(data)
            total += len(data)
    print(f"{args.dir}: {len(entries) + len(DUPLICATES)} files, {total} bytes")


def change(args):
    paths = []
    for root, dirs, names in os.walk(args.dir):
        dirs.sort()
        for name in sorted(names):
            rel = os.path.relpath(os.path.join(root, name), args.dir).replace(os.sep, "/")
            if not any(rel.startswith(prefix) for prefix in args.exclude):
                paths.append(rel)
    rng = random.Random(f"{args.seed}:change")
    count = max(1, round(len(paths) * args.percent / 100))
    for i, rel in enumerate(sorted(rng.sample(paths, count))):
        path = os.path.join(args.dir, rel)
        size = os.path.getsize(path)
        with open(path, "r+b") as f:
            if i % 2 == 0 and size > 0:
                f.seek(size // 2)
                byte = f.read(1)[0]
                f.seek(size // 2)
                f.write(bytes([byte ^ 0x5A]))
            else:
                f.seek(0, os.SEEK_END)
                f.write(b"changed %d\n" % i)
        print(rel)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = parser.add_subparsers(dest="command", required=True)
    c = sub.add_parser("create")
    c.add_argument("dir")
    c.add_argument("--files", type=int, default=40)
    c.add_argument("--size", default="4M")
    c.add_argument("--big", type=int, default=0)
    c.add_argument("--big-size", default="100M")
    c.add_argument("--seed", default="1")
    m = sub.add_parser("change")
    m.add_argument("dir")
    m.add_argument("--percent", type=float, default=1.0)
    m.add_argument("--seed", default="1")
    m.add_argument("--exclude", action="append", default=[])
    args = parser.parse_args()
    if args.command == "create":
        if os.path.exists(args.dir) and os.listdir(args.dir):
            sys.exit(f"{args.dir} exists and is not empty")
        create(args)
    else:
        change(args)


if __name__ == "__main__":
    main()
