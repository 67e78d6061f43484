#!/usr/bin/env python3
"""README, --help and the program agree: the same options, the same exit codes.

docs_check.py SOURCE_DIR [HELP_FILE]: without HELP_FILE the help is read from HelpText's source;
with it, from what the real program printed. Exit 1 with every difference printed."""
import re
import sys
from pathlib import Path


def option_names(cell):
    # "--dir=FOLDER, --keep=0" -> {"--dir=", "--keep="}; "--help, /?" -> {"--help", "/?"}
    return {re.sub(r"=.*", "=", t.strip().strip("`")) for t in cell.split(",") if t.strip()}


def table_rows(text, header):
    rows = text.split(header, 1)[1].split("\n\n", 1)[0].splitlines()[2:]
    return [row.split("|")[1].strip() for row in rows if row.startswith("|")]


def help_sections(help_text):
    options, codes = set(), set()
    part = help_text.split("Options:", 1)[1]
    opts, exits = part.split("Exit codes:", 1)
    for line in opts.splitlines():
        m = re.match(r"  ([-/][^\s,]*(?:, [-/][^\s,]*)*)", line)
        if m:
            options |= option_names(m.group(1))
    codes = {int(m) for m in re.findall(r"^  (\d+)  ", exits, re.M)}
    return options, codes


def main():
    root = Path(sys.argv[1])
    readme = (root / "README.md").read_text(encoding="utf-8")
    cmdline = (root / "app/command_line.cpp").read_text(encoding="utf-8")
    if len(sys.argv) > 2:
        help_text = Path(sys.argv[2]).read_text(encoding="utf-8", errors="replace").replace("\r", "")
    else:
        body = cmdline.split("std::wstring HelpText()", 1)[1].split("\n}", 1)[0]
        help_text = "".join(re.findall(r'L"((?:[^"\\]|\\.)*)"', body))
        help_text = help_text.replace("\\r", "").replace("\\n", "\n").replace("\\\\", "\\")

    accepted = set()
    for table in ("kWhole", "kPrefixed"):
        block = re.search(table + r"\[\] = \{(.*?)\};", cmdline, re.S).group(1)
        accepted |= set(re.findall(r'L"([^"]*)"', block))
    program_codes = set()
    state = (root / "app/setup_state.h").read_text(encoding="utf-8")
    enum = re.search(r"enum class ExitCode[^{]*\{(.*?)\};", state, re.S).group(1)
    program_codes |= {int(v) for v in re.findall(r"=\s*(\d+)", enum)}
    for header in list(root.glob("app/*.h")) + list(root.glob("uninstall/*.h")):
        program_codes |= {int(v) for v in re.findall(r"constexpr int kExit\w+ = (\d+);", header.read_text())}

    readme_options = set().union(*(option_names(c) for c in table_rows(readme, "| option | meaning |")))
    readme_codes = {int(c) for c in table_rows(readme, "| exit code | meaning |")}
    help_options, help_codes = help_sections(help_text)

    problems = []
    for name, found in (("README's option table", readme_options), ("--help", help_options)):
        if found != accepted:
            problems.append(f"{name} lists {sorted(found - accepted)} that the program does not accept, "
                            f"and lacks {sorted(accepted - found)}")
    for name, found in (("README's exit-code table", readme_codes), ("--help", help_codes)):
        if found != program_codes:
            problems.append(f"{name} has exit codes {sorted(found)}; the program has {sorted(program_codes)}")
    for p in problems:
        print("docs_check:", p)
    if not problems:
        print(f"docs_check: {len(accepted)} options and exit codes {sorted(program_codes)} agree")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
