#!/usr/bin/python3
"""A patch run killed in the middle of its downloads leaves nothing wrong under a final name,
and the next run resumes from the pieces its temporary files hold.

Publishes a game of about 260 MB of incompressible data (its large files in pieces), installs it
with qv_patch_driver.exe in a wine process of its own, kills that process by its id once about a
third of the bytes has arrived, checks the folder, runs again and checks that no piece a
temporary file held whole was fetched again, that at most one piece per transfer was fetched
twice, that nothing compressed was kept on disk, and that every file ends with its manifest hash.
"""
import hashlib
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import time

DATA = os.environ["QV_TEST_DATA"]
BUILD = os.environ["QV_BUILD_DIR"]
ENV = dict(line.split("=", 1) for line in open(os.path.join(DATA, "servers.env")).read().split("\n") if "=" in line)
WORK = os.path.join(DATA, "crash_resume")
RELEASE = os.path.join(ENV["QV_WWW"], "crash_resume", "patch")
BASE_URL = ENV["QV_NGINX_URL"] + "crash_resume/patch/"
ACCESS_LOG = os.path.join(DATA, "nginx", "access.log")
DRIVER = os.path.join(BUILD, "qv_patch_driver.exe")
GAME = os.path.join(WORK, "game")
INSTALL = os.path.join(WORK, "install")
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL:", message)


def wine_path(path):
    return "Z:" + path.replace("/", "\\")


def sha256_file(path):
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


def make_game():
    files = {"bin/Play Quorvel.exe": 3_000_000, "data/small.cfg": 4_000, "data/empty.txt": 0}
    for i in range(4):
        files["data/pack%02d.dat" % i] = 64 << 20
    for rel, size in files.items():
        path = os.path.join(GAME, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(os.urandom(size))


def start_driver():
    command = ["wine", DRIVER, "--dir=" + wine_path(INSTALL), "--url=" + BASE_URL,
               "--key=" + ENV["QV_PUBLIC_KEY"], "--progress-ms=20"]
    return subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL)


def read_until_final(process, kill_at=None):
    """Reads the driver's lines; with kill_at (a fraction), kills it by its id once that part of
    the download has arrived. Returns the final line, or None after a kill."""
    for raw in process.stdout:
        line = raw.decode("utf-8", "replace").rstrip("\r\n")
        if line.startswith("final "):
            return line
        fields = line.split()
        if kill_at is not None and len(fields) == 6 and fields[0] == "progress" and fields[1] == "4":
            done, total = int(fields[2]), int(fields[3])
            if total > 0 and done >= total * kill_at:
                os.kill(process.pid, signal.SIGKILL)
                process.wait()
                print("killed process %d at %d of %d compressed bytes" % (process.pid, done, total))
                return None
    return None


def main():
    shutil.rmtree(WORK, ignore_errors=True)
    shutil.rmtree(os.path.dirname(RELEASE), ignore_errors=True)
    os.makedirs(INSTALL)
    make_game()
    subprocess.run([ENV["QV_PUBLISH"], "build", GAME, RELEASE, "--key", ENV["QV_SIGNING_KEY"],
                    "--version", "3", "--level", "1"], check=True, stdout=subprocess.DEVNULL)
    manifest = json.load(open(os.path.join(RELEASE, "manifest.json"), "rb"))
    entries = manifest["files"]

    # ---- the run that is killed -------------------------------------------------------
    first = start_driver()
    final = read_until_final(first, kill_at=0.3)
    check(final is None, "the first run ended before it could be killed: %s" % final)

    complete = 0
    for entry in entries:
        path = os.path.join(INSTALL, entry["p"])
        if os.path.exists(path):
            complete += 1
            check(sha256_file(path) == entry["h"], "after the kill %s has wrong content" % entry["p"])
    # A run that never finished records only the version it accepted, never one as installed.
    ini = os.path.join(INSTALL, "config", "patcher.ini")
    ini_lines = open(ini, encoding="latin-1").read().split() if os.path.exists(ini) else []
    check(not any(line.lower().startswith("version=") for line in ini_lines),
          "patcher.ini has an installed version written by a run that never finished")
    check("accepted=3" in ini_lines, "the run that was killed did not record version 3 as accepted")
    parts_dir = os.path.join(INSTALL, "patcher_parts")
    check(not os.path.isdir(parts_dir) or not os.listdir(parts_dir), "compressed copies were written to disk")
    # The pieces each large file's temporary file held whole when the run was killed.
    held = {}
    for entry in entries:
        temp = os.path.join(INSTALL, entry["p"] + ".ap_tmp")
        if not entry.get("x") or not os.path.exists(temp):
            continue
        size, at = os.path.getsize(temp), 0
        for piece in entry["x"]:
            if at + piece["s"] > size:
                break
            at += piece["s"]
            held[piece["h"]] = entry["p"]
    print("after the kill: %d of %d files in place, %d whole pieces in temporary files"
          % (complete, len(entries), len(held)))
    check(held, "no temporary file holds a piece to resume from")

    # ---- the run that resumes ------------------------------------------------------------
    # nginx logs the killed run's requests once it sees their connections close: wait until it
    # has logged the request of every partial object, so that none is taken for the second run's.
    deadline = time.monotonic() + 30
    while time.monotonic() < deadline:
        with open(ACCESS_LOG, "rb") as f:
            logged = f.read().decode("utf-8", "replace")
        if all("/%s.z " % h in logged for h in held):
            break
        time.sleep(0.1)
    with open(ACCESS_LOG, "rb") as f:
        first_run = set(re.findall(r"/crash_resume/patch/files/\w\w/(\w{64})\.z ", f.read().decode("utf-8", "replace")))
    log_offset = os.path.getsize(ACCESS_LOG)
    started = time.monotonic()
    second = start_driver()
    final = read_until_final(second)
    second.wait(timeout=60)
    seconds = time.monotonic() - started
    check(final is not None and final.startswith("final 8 "), "second run did not finish: %s" % final)
    check(second.returncode == 0, "second run exit code %s" % second.returncode)
    for entry in entries:
        path = os.path.join(INSTALL, entry["p"])
        check(os.path.exists(path) and sha256_file(path) == entry["h"], "%s wrong after resuming" % entry["p"])
    check(not os.path.exists(parts_dir), "part files left after a complete run")

    with open(ACCESS_LOG, "rb") as f:
        f.seek(log_offset)
        lines = f.read().decode("utf-8", "replace").splitlines()
    answers = {}
    pattern = re.compile(r'"GET /crash_resume/patch/files/\w\w/(\w{64})\.z HTTP/[\d.]+" (\d+) (\d+)')
    for line in lines:
        m = pattern.search(line)
        if m:
            answers.setdefault(m.group(1), []).append((int(m.group(2)), int(m.group(3))))
    again = [h for h in answers if h in held]
    check(not again, "pieces a temporary file held were fetched again: %s" % [h[:12] for h in again])
    twice = [h for h in answers if h in first_run]
    check(len(twice) <= 4, "%d objects fetched again, more than one per transfer" % len(twice))
    total = sum(e["s"] for e in entries)
    print("second run: %.1f s for the rest of %.0f MB" % (seconds, total / 1e6))

    if failures:
        print("%d check(s) failed" % len(failures))
        return 1
    shutil.rmtree(WORK, ignore_errors=True)
    shutil.rmtree(os.path.dirname(RELEASE), ignore_errors=True)
    print("crash and resume: ok")
    return 0


if __name__ == "__main__":
    sys.exit(main())
