#!/usr/bin/env python3
"""The layers rule refuses every way of spelling or placing a dependency against it.

Each case builds a tiny tree of layers with the real compiler and ninja, changes one file and
runs the checker on ninja's record of what was read.
  layers_test.py LAYERS_PY NINJA CXX
"""
import os
import subprocess
import sys
import tempfile
import time

# A tree that keeps the rule: each layer reads the ones below it.
BASE = {
    "support/text.h": "#pragma once\nint Text();\n",
    "support/text.cpp": '#include "support/text.h"\nint Text() { return 1; }\n',
    "app/languages.h": '#pragma once\n#include "support/text.h"\n',
    "app/languages.cpp": '#include "app/languages.h"\n',
    "app/build_config.h": "#pragma once\n",
    "app/setup_state.h": "#pragma once\n",
    "patch/engine.h": '#pragma once\n#include "support/text.h"\n#include "app/languages.h"\n',
    "patch/engine.cpp": '#include "patch/engine.h"\n',
    "patch/run.h": '#pragma once\n#include "patch/engine.h"\n',
    "patch/run.cpp": '#include "patch/run.h"\n#include "app/build_config.h"\n',
    "install/folder.h": '#pragma once\n#include "patch/run.h"\n#include "app/setup_state.h"\n',
    "install/folder.cpp": '#include "install/folder.h"\n',
    "ui/window.h": '#pragma once\n#include "install/folder.h"\n',
    "ui/window.cpp": '#include "ui/window.h"\n#include "app/languages.h"\n',
    "app/main.cpp": '#include "ui/window.h"\nint main() { return 0; }\n',
}
SUPPORT = "support/text.cpp"
# (what the case tries, files it adds or appends to, what the checker must name)
CASES = [
    ("the tree as it is", {}, None),
    ("a path through ..", {SUPPORT: '#include "../ui/window.h"\n'}, "support/text.cpp reads ui/window.h"),
    ("angle brackets", {SUPPORT: "#include <ui/window.h>\n"}, "support/text.cpp reads ui/window.h"),
    ("spaces after #", {SUPPORT: '#  include "ui/window.h"\n'}, "support/text.cpp reads ui/window.h"),
    ("two spaces", {SUPPORT: '#include  "ui/window.h"\n'}, "support/text.cpp reads ui/window.h"),
    ("a name from a macro", {SUPPORT: '#define QV_H "ui/window.h"\n#include QV_H\n'}, "support/text.cpp reads ui/window.h"),
    ("a header in a sub-folder", {"ui/parts/panel.h": "#pragma once\n", SUPPORT: '#include "ui/parts/panel.h"\n'},
     "support/text.cpp reads ui/parts/panel.h"),
    (".inl", {"ui/window.inl": "", SUPPORT: '#include "ui/window.inl"\n'}, "support/text.cpp reads ui/window.inl"),
    ("the language tables reading a layer", {"app/languages.h": '#include "ui/window.h"\n'},
     "app/languages.cpp reads ui/window.h"),
    ("the language tables reading other app data", {"app/languages.h": '#include "app/build_config.h"\n'},
     "app/languages.cpp reads app/build_config.h (languages may not"),
    ("a header read only from a higher layer", {"support/extra.h": '#include "ui/window.h"\n',
                                                 "ui/window.cpp": '#include "support/extra.h"\n'},
     "support/extra.h is read only by ui/window.cpp"),
    ("a later module of patch/", {"patch/engine.h": '#include "patch/run.h"\n'}, "patch/engine.cpp reads patch/run.h (order"),
    ("a source the build leaves out", {"support/more/extra.cpp": '#include "ui/window.h"\n'},
     "support/more/extra.cpp was compiled by none"),
    ("a header changed after the build", {}, "changed after"),
]


def build(root, cxx, ninja):
    """Compiles root's one-level sources, as the real build globs them, recording depfiles."""
    sources = sorted(f"{top}/{name}" for top in ("app", "support", "patch", "install", "uninstall", "ui")
                     if os.path.isdir(os.path.join(root, top))
                     for name in os.listdir(os.path.join(root, top)) if name.endswith(".cpp"))
    lines = [f"rule cxx\n  command = {cxx} -std=c++20 -I{root} -MD -MF $out.d -c $in -o $out\n"
             "  depfile = $out.d\n  deps = gcc\n"]
    lines += [f"build obj/{s}.o: cxx {root}/{s}\n" for s in sources]
    os.makedirs(os.path.join(root, "build"))
    with open(os.path.join(root, "build", "build.ninja"), "w") as f:
        f.write("".join(lines))
    subprocess.run([ninja, "-C", os.path.join(root, "build")], check=True, capture_output=True)


def run_case(layers_py, ninja, cxx, name, changes, expected):
    with tempfile.TemporaryDirectory() as root:
        for rel, text in list(BASE.items()) + list(changes.items()):
            path = os.path.join(root, rel)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "a") as f:
                f.write(text)
        build(root, cxx, ninja)
        if name == "a header changed after the build":
            stamp = time.time_ns() + 10**10
            os.utime(os.path.join(root, "support/text.h"), ns=(stamp, stamp))
        result = subprocess.run([sys.executable, layers_py, "--source", root, "--ninja", ninja,
                                 "--build", os.path.join(root, "build")], capture_output=True, text=True)
    out = result.stdout + result.stderr
    if expected is None:
        return result.returncode == 0 or f"refused: {out}"
    if result.returncode == 0:
        return f"passed: {out}"
    return expected in out or f"did not name '{expected}': {out}"


def main():
    layers_py, ninja, cxx = sys.argv[1:4]
    failures = 0
    for name, changes, expected in CASES:
        verdict = run_case(layers_py, ninja, cxx, name, changes, expected)
        print(f"{'ok  ' if verdict is True else 'FAIL'} {name}" + ("" if verdict is True else f": {verdict}"))
        failures += verdict is not True
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
