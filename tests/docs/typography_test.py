#!/usr/bin/env python3
"""The French texts of ours, as French is typeset: a no-break space (U+00A0
or U+202F) before ; : ? ! and inside « », "L/min" for the unit, and one name
for the result, "compte rendu" (never "rapport"). The dialogue's own texts,
quoted anywhere, stay as the program writes them, and so does code.

Usage: typography_test.py SOURCE_DIR FILE...   (FILE relative to SOURCE_DIR)
"""

import html
import json
import re
import sys
from pathlib import Path

NO_BREAK = "\u00a0\u202f"
RULES = [
    (re.compile(r"[ \t\r\n][;:?!]"), "a breaking space before ; : ? !"),
    (re.compile(rf"[^\s{NO_BREAK}(\[«][;:?!](?=[\s»)]|$)"), "no space before ; : ? !"),
    (re.compile(rf"«(?![{NO_BREAK}])"), "« without a no-break space after it"),
    (re.compile(rf"(?<![{NO_BREAK}])»"), "» without a no-break space before it"),
    (re.compile(r"L/Min"), "L/Min, which is the program's, not ours: L/min"),
    (re.compile(r"(?<!par )\brapports?\b", re.I), "the result named \"rapport\": \"compte rendu\""),
]


def dialogue_texts(source):
    """The program's own texts, from its sources, as patterns: each line of
    each literal, its numbers as any number, its blanks as any blanks."""
    patterns = []
    for name in ("consultation/dialogue.cpp", "reference/tables.hpp"):
        for literal in re.findall(r'"((?:[^"\\\n]|\\.)*)"', (source / name).read_text(encoding="utf-8")):
            for line in literal.split("\\n"):
                if re.search(r"[A-Za-z]{2}", line):
                    pattern = re.escape(line.strip()).replace("%d", r"-?\d+").replace(r"%\.1f", r"-?\d+\.\d")
                    patterns.append(pattern.replace("%c", ".").replace(r"\ ", r"\s+"))
    return re.compile("|".join(sorted(patterns, key=len, reverse=True)))


def prose(path, text):
    """The pieces of `text` that a reader reads as French: not code, markup,
    comments or identifiers."""
    if path.suffix in (".md", ".txt", ".csv"):
        text = re.sub(r"```.*?```", "", text, flags=re.S)
        return [re.sub(r"`[^`\n]*`", "", text)]
    if path.suffix == ".html":
        text = re.sub(r"<(style|script|code|pre)\b.*?</\1>", "", text, flags=re.S)
        return [html.unescape(re.sub(r"<[^>]*>", "", text))]
    if path.suffix in (".js", ".rc"):
        text = re.sub(r"^\s*//.*$", "", text, flags=re.M)
        literals = re.findall(r'"((?:[^"\\\n]|\\.)*)"|`((?:[^`\\]|\\.)*)`', text)
        return [re.sub(r"\$\{[^}]*\}", "x", a or b).replace("\\u00a0", "\u00a0") for a, b in literals]
    if path.suffix == ".wxs":
        return re.findall(r'="([^"]*)"', re.sub(r"<!--.*?-->", "", text, flags=re.S))
    if path.suffix == ".webmanifest":
        manifest = json.loads(text)
        return [manifest[key] for key in ("name", "short_name", "description")]
    if path.suffix == ".desktop":
        return re.findall(r"^(?:Name|GenericName|Comment)\[fr\]=(.*)$", text, flags=re.M)
    if path.name == "changelog":
        return re.findall(r"^  (.*)$", text, flags=re.M)
    if path.suffix == ".1":
        text = re.sub(r"^\.EX$.*?^\.EE$", "", text, flags=re.S | re.M)
        text = re.sub(r'^\.\\".*$', "", text, flags=re.M)
        text = text.replace("\\(Fo", "«").replace("\\(Fc", "»").replace("\\ ", "\u00a0")
        return [re.sub(r"^\.\S*", "", text, flags=re.M)]
    return [text]


def main(source, files):
    source = Path(source)
    dialogue = dialogue_texts(source)
    faults = []
    for name in files:
        path = source / name
        for text in prose(path, path.read_text(encoding="utf-8-sig")):
            text = dialogue.sub("", text)
            for rule, fault in RULES:
                for match in rule.finditer(text):
                    context = text[max(match.start() - 30, 0):match.end() + 10].replace("\n", " ")
                    faults.append(f"{name}: {fault}: …{context}…")
    print("\n".join(faults) or f"{len(files)} files typeset as French is")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2:]))
