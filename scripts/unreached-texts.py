#!/usr/bin/env python3
"""Lists string-table texts that the code raises but no test reaches.

A text counts as used when its name appears in the sources outside the string
table; it counts as reached when a test source or a test data file names it or
holds its longest literal piece (the text between format conversions). Each line says where the text lives:
"core" (reachable headless), "qt" (used only by the Qt build) or "defensive" (a guard no
input can trip). Exit code 1 when a core text is unreached, so the list can gate a step.
"""
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CODE_DIRS = ["app", "cli", "css", "dialogs", "editor", "highlight", "platform", "resources", "widgets"]
SKIP_INC = {"All.inc"}
# Texts used only here belong to the Qt build; their tests run in tests/qt.
QT_DIRS = ("app/", "dialogs/", "widgets/", "platform/qt/")
# Guards no input can trip: a regular-expression program the compiler never emits, and a file
# that reads short after its size was taken (it shrank, or the disk failed).
DEFENSIVE = {"SREInternalError", "SAdvReadFile"}
QSTR = re.compile(r'QSTR\(\s*(\d+)\s*,\s*(\w+)\s*,\s*"((?:[^"\\]|\\.)*)"\s*\)')
CONVERSION = re.compile(r"%[-+ #0]*\d*(?:\.\d+)?[sduxXc]")


def read_tree(dirs, text_only=True):
    blobs = {}
    for d in dirs:
        base = os.path.join(ROOT, d)
        for folder, _, files in os.walk(base):
            for name in files:
                path = os.path.join(folder, name)
                try:
                    with open(path, "rb") as f:
                        data = f.read()
                except OSError:
                    continue
                if text_only and b"\0" in data[:4096]:
                    continue
                blobs[os.path.relpath(path, ROOT)] = data.decode("utf-8", "replace")
    return blobs


def unescape(text):
    table = {"n": "\n", "r": "\r", "t": "\t"}
    return re.sub(r"\\(.)", lambda m: table.get(m.group(1), m.group(1)), text)


def literal_pieces(text):
    # A text shown without formatting keeps its "%%"; a formatted one shows "%".
    out = []
    # The raw form is how a C++ test spells it, escapes and all.
    for form in (text, unescape(text), unescape(text).replace("%%", "%")):
        pieces = [p.strip() for p in CONVERSION.split(form)]
        pieces = [p for p in pieces if p]
        if pieces:
            out.append(max(pieces, key=len))
    return out


def main():
    texts = []
    inc_dir = os.path.join(ROOT, "resources", "strings")
    for name in sorted(os.listdir(inc_dir)):
        if not name.endswith(".inc") or name in SKIP_INC:
            continue
        with open(os.path.join(inc_dir, name), encoding="utf-8") as f:
            for m in QSTR.finditer(f.read()):
                texts.append((int(m.group(1)), m.group(2), m.group(3), name))

    code = {p: t for p, t in read_tree(CODE_DIRS).items() if not p.startswith("resources/strings/")}
    tests = read_tree(["tests"])
    code_all = "\n".join(code.values())
    core_all = "\n".join(t for p, t in code.items() if not p.startswith(QT_DIRS))
    tests_all = "\n".join(tests.values())

    unreached = []
    for number, sname, text, inc in sorted(texts):
        if not re.search(r"\b%s\b" % re.escape(sname), code_all):
            continue  # not raised anywhere (a command name, a caption, or unused)
        named = re.search(r"\b%s\b" % re.escape(sname), tests_all)
        held = any(len(p) >= 4 and p in tests_all for p in literal_pieces(text))
        if not named and not held:
            where = "core" if re.search(r"\b%s\b" % re.escape(sname), core_all) else "qt"
            if sname in DEFENSIVE:
                where = "defensive"
            unreached.append((number, sname, text, inc, where))

    for number, sname, text, inc, where in unreached:
        print("%d\t%s\t%s\t%s\t%s" % (number, sname, inc, where, text))
    core = [u for u in unreached if u[4] == "core"]
    print("%d unreached, %d of them in the core and not defensive" % (len(unreached), len(core)),
          file=sys.stderr)
    return 1 if core else 0


if __name__ == "__main__":
    sys.exit(main())
