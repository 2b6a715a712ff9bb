#!/usr/bin/env python3
"""Regenerates resources/CssTable.cpp, the CSS knowledge table, from npm packages.

Property names, their syntax and keyword values, the at-rules with their
descriptors and the names of the colours come from `mdn-data` (CC0); the
sRGB values of the named colours come from `color-name` (MIT), and every
colour name of the one package must be in the other. Both are fetched with
`npm pack` into a temporary folder; nothing is installed. The build uses the
committed table and never runs this script.

    scripts/update-css-data.py [--from DIR]   # DIR: already unpacked packages
"""

import json
import os
import re
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, "resources", "CssTable.cpp")
LICENCES = os.path.join(ROOT, "resources", "css-data")

# Leaf types a value check can judge: a value made only of these, keywords and
# colours is checked keyword by keyword. Any other leaf (an identifier the
# author chooses, a string, an image ...) makes the property's values unjudged.
PLAIN_LEAVES = {"length", "percentage", "number", "integer", "length-percentage",
                "hex-color", "zero", "non-negative-number", "positive-integer"}
# Names whose expansion is "a colour"; their keywords go into one shared list.
COLOR_TYPES = {"color", "color-base", "named-color", "system-color",
               "deprecated-system-color"}

F_JUDGED = 1      # the value's keywords can be checked
F_COLOR = 2       # the property takes a colour
F_OBSOLETE = 4    # the data marks it obsolete or non-standard


def fetch(package, into):
    subprocess.run(["npm", "pack", "--silent", package], cwd=into, check=True,
                   stdout=subprocess.DEVNULL)
    tgz = [f for f in os.listdir(into) if f.startswith(package + "-") and f.endswith(".tgz")]
    dest = os.path.join(into, package)
    os.makedirs(dest)
    subprocess.run(["tar", "xzf", os.path.join(into, tgz[0]), "-C", dest], check=True)
    return os.path.join(dest, "package")


TOKEN = re.compile(r"<'[^']+'>|<[^>]+>|'[^']*'|[a-zA-Z-][a-zA-Z0-9-]*\(?|\S")


class Expander:
    def __init__(self, properties, syntaxes):
        self.properties = properties
        self.syntaxes = syntaxes

    def expand(self, syntax):
        """Keywords, judgeability and colour use of one syntax text."""
        self.keywords = []
        self.judged = True
        self.color = False
        self.walk(syntax, set())
        return self.keywords, self.judged, self.color

    def walk(self, syntax, seen):
        depth = 0  # inside a function's arguments: the lint skips functions
        for tok in TOKEN.findall(syntax):
            if tok.endswith("("):
                depth += 1
                continue
            if tok == ")":
                depth = max(0, depth - 1)
                continue
            if depth:
                continue
            if tok.startswith("<'"):
                name = tok[2:-2]
                if name in seen:
                    continue
                prop = self.properties.get(name)
                if prop:
                    self.walk(prop["syntax"], seen | {name})
                else:
                    self.judged = False
                continue
            if tok.startswith("<"):
                name = re.sub(r"\s*\[.*\]", "", tok[1:-1]).strip()
                if name.endswith("()"):
                    continue
                if name in COLOR_TYPES:
                    self.color = True
                    continue
                if name in seen:
                    continue
                if name in self.syntaxes:
                    self.walk(self.syntaxes[name]["syntax"], seen | {name})
                elif name not in PLAIN_LEAVES:
                    self.judged = False
                continue
            if re.match(r"[a-zA-Z-]", tok):
                kw = tok.lower()
                if kw not in self.keywords:
                    self.keywords.append(kw)


def colour_keywords(syntaxes):
    out = []
    for name in ("color", "color-base", "system-color", "deprecated-system-color"):
        for tok in TOKEN.findall(syntaxes[name]["syntax"]):
            if re.fullmatch(r"[a-zA-Z-][a-zA-Z0-9-]*", tok) and tok.lower() not in out:
                out.append(tok.lower())
    return out


def c_string(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"').replace("\n", " ") + '"'


def generate(mdn, colors_js):
    css = os.path.join(mdn, "css")
    properties = json.load(open(os.path.join(css, "properties.json"), encoding="utf-8"))
    syntaxes = json.load(open(os.path.join(css, "syntaxes.json"), encoding="utf-8"))
    at_rules = json.load(open(os.path.join(css, "at-rules.json"), encoding="utf-8"))
    mdn_version = json.load(open(os.path.join(mdn, "package.json")))["version"]
    color_version = json.load(open(os.path.join(os.path.dirname(colors_js), "package.json")))["version"]

    values = {}
    for name, r, g, b in re.findall(r"(\w+):\s*\[(\d+),\s*(\d+),\s*(\d+)\]", open(colors_js).read()):
        values[name] = (int(r) << 16) | (int(g) << 8) | int(b)
    names = [t for t in syntaxes["named-color"]["syntax"].split(" | ") if t != "transparent"]
    missing = [n for n in names if n not in values]
    if missing:
        sys.exit("update-css-data: no sRGB value for " + ", ".join(missing))

    ex = Expander(properties, syntaxes)
    rows = []
    for name in sorted(properties):
        prop = properties[name]
        keywords, judged, color = ex.expand(prop["syntax"])
        flags = (F_JUDGED if judged else 0) | (F_COLOR if color else 0)
        if prop.get("status") in ("obsolete", "nonstandard"):
            flags |= F_OBSOLETE
        rows.append("    {%s, %s, %s, %d}," % (c_string(name), c_string(prop["syntax"]),
                                              c_string(" ".join(keywords)), flags))

    at_rows = []
    for name in sorted(at_rules):
        descriptors = sorted(at_rules[name].get("descriptors", {}))
        at_rows.append("    {%s, %s}," % (c_string(name[1:]), c_string(" ".join(descriptors))))

    color_rows = ["    {%s, 0x%06X}," % (c_string(n), values[n]) for n in sorted(names)]

    text = f"""// The CSS knowledge table. Generated by scripts/update-css-data.py from
// mdn-data {mdn_version} (CC0) and color-name {color_version} (MIT); run the script
// again to update it, do not edit by hand. Licences: resources/css-data/.
#include "resources/CssTable.h"

#include <iterator>

namespace quillet::res {{

const char* const CssDataVersion = "mdn-data {mdn_version}, color-name {color_version}";

const TCssPropertyRow CssPropertyRows[] = {{
{chr(10).join(rows)}
}};
const std::size_t CssPropertyCount = std::size(CssPropertyRows);

const TCssAtRuleRow CssAtRuleRows[] = {{
{chr(10).join(at_rows)}
}};
const std::size_t CssAtRuleCount = std::size(CssAtRuleRows);

const TCssColorRow CssColorRows[] = {{
{chr(10).join(color_rows)}
}};
const std::size_t CssColorCount = std::size(CssColorRows);

const char* const CssColorKeywords = {c_string(" ".join(colour_keywords(syntaxes)))};

}}  // namespace quillet::res
"""
    with open(OUT, "w", encoding="utf-8") as f:
        f.write(text)
    os.makedirs(LICENCES, exist_ok=True)
    for pkg, src in (("mdn-data", mdn), ("color-name", os.path.dirname(colors_js))):
        with open(os.path.join(src, "LICENSE"), encoding="utf-8") as f:
            lic = f.read()
        with open(os.path.join(LICENCES, pkg + ".LICENSE"), "w", encoding="utf-8") as f:
            f.write(lic)
    print(f"update-css-data: {len(rows)} properties, {len(at_rows)} at-rules, "
          f"{len(color_rows)} colours from mdn-data {mdn_version}")


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--from":
        base = sys.argv[2]
        generate(os.path.join(base, "mdn-data", "package"),
                 os.path.join(base, "color-name", "package", "index.js"))
        return
    with tempfile.TemporaryDirectory() as tmp:
        mdn = fetch("mdn-data", tmp)
        colors = fetch("color-name", tmp)
        generate(mdn, os.path.join(colors, "index.js"))


if __name__ == "__main__":
    main()
