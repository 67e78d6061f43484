"""An independent reading of the installer's piece rule: where the rolling gear hash cuts a file.

Used by the tests and the benchmark to check the publisher's and the installer's cuts, and to
count what a content-defined update must fetch. Written from the rule, not from the C++ code.
    gear_cut.py FILE [MIN AVG MAX]   prints one piece size per line
"""
import sys

MASK64 = (1 << 64) - 1


def gear_table():
    table, state = [], 0x51756F7276656C31
    for _ in range(256):
        state = (state + 0x9E3779B97F4A7C15) & MASK64
        z = state
        z = ((z ^ (z >> 30)) * 0xBF58476D1CE4E5B9) & MASK64
        z = ((z ^ (z >> 27)) * 0x94D049BB133111EB) & MASK64
        table.append(z ^ (z >> 31))
    return table


GEAR = gear_table()


def cut(data, lo=256 << 10, avg=1 << 20, hi=4 << 20):
    """The piece sizes of data, in order."""
    bits = avg.bit_length() - 1
    strict = (MASK64 << (64 - (bits + 2))) & MASK64
    loose = (MASK64 << (64 - (bits - 2))) & MASK64
    sizes, start = [], 0
    while start < len(data):
        n = min(len(data) - start, hi)
        size = n
        if n > lo:
            h, i, middle = 0, lo, min(n, avg)
            while i < n:
                h = ((h << 1) + GEAR[data[start + i]]) & MASK64
                if not h & (strict if i < middle else loose):
                    size = i + 1
                    break
                i += 1
        sizes.append(size)
        start += size
    return sizes


if __name__ == "__main__":
    bounds = [int(v) for v in sys.argv[2:5]] or [256 << 10, 1 << 20, 4 << 20]
    for size in cut(open(sys.argv[1], "rb").read(), *bounds):
        print(size)
