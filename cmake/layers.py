#!/usr/bin/env python3
"""Dependencies point one way: ui -> install/uninstall -> patch -> support, with app as the entry.

The language tables and the build constants (app/languages.h, app/build_config.h) are constant
data every layer may read; the language tables themselves read only support/. The wizard's state
(app/setup_state.h) belongs to the layers that act for the wizard. Inside patch/ the modules form
a line, so no two of them depend on each other.

The rule is checked on what the compiler reported it read for every source it compiled (ninja's
record of the depfiles), so neither the spelling of an include nor a file's folder depth or
extension can hide a dependency:
  layers.py --source CHECKOUT --ninja NINJA --build BUILD_DIR [--build BUILD_DIR...]
Fails with every dependency that breaks a rule.
"""
import argparse
import os
import subprocess
import sys

LAYERS = ("support", "patch", "install", "uninstall", "ui")
# The modules of app/ that make up the language tables (sources and headers alike).
LANGUAGE_MODULES = ("app/languages", "app/texts_installer", "app/texts_launcher", "app/language_default")
SHARED_DATA = ("app/languages", "app/build_config")
ALLOWED = {
    "support": ("support",) + SHARED_DATA,
    "patch": ("patch", "support") + SHARED_DATA,
    "install": ("install", "patch", "support") + SHARED_DATA + ("app/setup_state",),
    "uninstall": ("uninstall", "install", "patch", "support") + SHARED_DATA + ("app/setup_state",),
    "ui": ("ui", "install", "uninstall", "patch", "support") + SHARED_DATA + ("app/setup_state",),
    "languages": ("support",) + LANGUAGE_MODULES,
}
# Lowest first: a module of patch/ depends only on those before it.
PATCH_ORDER = ("engine", "news", "manifest", "state", "inflate", "plan", "ahead", "download", "phases", "run")
PATCH_ALIASES = {"signature": "manifest"}  # the manifest's signature check, declared in manifest.h


def module_of(rel):
    """checkout-relative path -> its module: the path without extension and platform suffix."""
    stem, _ = os.path.splitext(rel)
    for suffix in ("_win", "_host"):
        if stem.endswith(suffix):
            stem = stem[: -len(suffix)]
    return stem


def layer_of(rel):
    """The checked layer a file belongs to, or None (app's entry, tests, the build folder...)."""
    if module_of(rel) in LANGUAGE_MODULES:
        return "languages"
    top = rel.split("/", 1)[0]
    return top if top in LAYERS and "/" in rel else None


def patch_module(rel):
    name = module_of(rel)[len("patch/"):]
    return PATCH_ALIASES.get(name, name)


def allowed(layer, rel):
    return any(rel.split("/", 1)[0] == entry or module_of(rel) == entry for entry in ALLOWED[layer])


def read_deps(ninja, build_dir):
    """ninja's record of every compiled object: [(deps mtime in ns, [paths the compiler read])]."""
    if not os.path.isfile(os.path.join(build_dir, "build.ninja")):
        sys.exit(f"layers: no build in {build_dir}: build first (./run build)")
    def tool(*args):
        return subprocess.run([ninja, "-C", build_dir, "-t", *args], check=True, capture_output=True, text=True).stdout

    # The record may still hold objects of sources the build no longer has.
    targets = {line.rsplit(": ", 1)[0] for line in tool("targets", "all").splitlines()}
    records = []
    paths = None
    for line in tool("deps").splitlines():
        if line.startswith("    "):
            if paths is not None:
                path = line.strip()
                paths.append(path if os.path.isabs(path) else os.path.join(build_dir, path))
        elif "#deps" in line:
            target, rest = line.split(": #deps", 1)
            paths = [] if target in targets else None
            if paths is not None:
                records.append((int(rest.split("deps mtime ", 1)[1].split()[0]), paths))
    return records


def check(source, records):
    """Every broken rule as a line of text, given (deps mtime, paths) records of every build."""
    source = os.path.realpath(source)
    relative = {}

    def rel(path):  # path -> checkout-relative with /, or None outside the checkout
        if path not in relative:
            real = os.path.realpath(path)
            relative[path] = os.path.relpath(real, source).replace(os.sep, "/") if real.startswith(source + os.sep) else None
        return relative[path]

    problems = []
    stale = set()
    compiled = set()
    reached = {}  # checked file -> the sources that read it
    broken = {}  # (layer, file read, why) -> sources
    for mtime, paths in records:
        if not paths:
            continue
        unit = rel(paths[0])  # the compiler names the source first
        if unit is None:
            continue
        compiled.add(unit)
        layer = layer_of(unit)
        if layer is None:
            continue
        for path in paths:
            dep = rel(path)
            if dep is None:
                continue
            if os.path.exists(path) and os.stat(path).st_mtime_ns > mtime:
                stale.add(f"  {dep} changed after {unit} was compiled: build first (./run build)")
            reached.setdefault(dep, set()).add(unit)
            why = None
            if not allowed(layer, dep):
                why = f"{layer} may not depend on it"
            elif layer == "patch" and layer_of(dep) == "patch":
                own, other = patch_module(unit), patch_module(dep)
                if own not in PATCH_ORDER or other not in PATCH_ORDER or PATCH_ORDER.index(other) > PATCH_ORDER.index(own):
                    why = "order: " + " ".join(PATCH_ORDER)
            if why:
                broken.setdefault((unit, dep, why), None)

    problems += sorted(stale)
    for unit, dep, why in broken:
        problems.append(f"  {unit} reads {dep} ({why})")
    # A file's own includes are judged through the sources of its own layer (module, in patch/)
    # that read it; one read only from elsewhere would escape its rule.
    for dep, units in sorted(reached.items()):
        layer = layer_of(dep)
        if layer is None:
            continue
        same = [u for u in units if layer_of(u) == layer and (layer != "patch" or patch_module(u) == patch_module(dep))]
        if not same:
            problems.append(f"  {dep} is read only by {', '.join(sorted(units))}: a source of its own "
                            f"{'module' if layer == 'patch' else 'layer'} must include it, so that its own includes are checked")
    # Every source of a checked layer must have been compiled, or its dependencies are unknown.
    for top in LAYERS + ("app",):
        for folder, _, names in sorted(os.walk(os.path.join(source, top))):
            for name in sorted(names):
                path = os.path.relpath(os.path.join(folder, name), source).replace(os.sep, "/")
                if name.endswith((".cpp", ".c")) and layer_of(path) and path not in compiled:
                    problems.append(f"  {path} was compiled by none of the builds, so what it reads is unknown")
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--source", required=True)
    parser.add_argument("--ninja", default="ninja")
    parser.add_argument("--build", action="append", required=True)
    args = parser.parse_args()
    records = [r for build in args.build for r in read_deps(args.ninja, build)]
    problems = check(args.source, records)
    if problems:
        print("Dependencies against the direction of the layers:\n" + "\n".join(problems))
        return 1
    print(f"layers: every dependency points down ({len(records)} compiled sources)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
