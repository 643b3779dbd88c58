#!/usr/bin/env python3
"""Lists the functions longer than a page in the C++ sources.

Usage: scripts/long-functions.py [--max N] [PATH...]
        (defaults: 60 lines, the folders src and cli)

A function's length is the count of lines from the one holding its opening brace to the one
holding its closing brace. Functions are found by their braces: a body opened directly inside a
namespace, a class or the file, after a parameter list. Lambdas and local classes count towards
the function that holds them. Each function longer than the maximum is printed as
`file:line: name (N lines)`, and the exit status is then 1.
"""

import argparse
import pathlib
import re
import sys

CONTAINERS = re.compile(r"\b(namespace|class|struct|union|enum)\b|\bextern\s*\"[^\"]*\"\s*$")
CONTROL = re.compile(r"\b(if|for|while|switch|catch|do|else|try)\s*$")


def strip(text):
    """The text with comments, string and character literals blanked (newlines kept)."""
    out = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            out.append(" " * (j - i))
            i = j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            out.append(re.sub(r"[^\n]", " ", text[i:j]))
            i = j
        elif c == "R" and text.startswith('R"', i) and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == "_")):
            m = re.match(r'R"([^(\s]*)\(', text[i:])
            end = text.find(")" + m.group(1) + '"', i) if m else -1
            j = n if end < 0 else end + len(m.group(1)) + 2
            out.append(re.sub(r"[^\n]", " ", text[i:j]))
            i = j
        elif c in "\"'":
            j = i + 1
            while j < n and text[j] != c:
                j += 2 if text[j] == "\\" else 1
            j = min(j + 1, n)
            out.append(c + " " * (j - i - 2) + c if j - i >= 2 else text[i:j])
            i = j
        else:
            out.append(c)
            i += 1
    return "".join(out)


def head_of(text, pos):
    """The text before the brace at `pos`, back to the previous statement or block boundary."""
    start = max(text.rfind(";", 0, pos), text.rfind("{", 0, pos), text.rfind("}", 0, pos))
    head = text[start + 1 : pos]
    # Preprocessor lines are not part of the declaration.
    return "\n".join(l for l in head.split("\n") if not l.lstrip().startswith("#")).strip()


def function_name(head):
    """The function's name in a declaration head, or None when the head declares none."""
    depth = 0
    # The parameter list is the last top-level parenthesised group before any initializer list.
    close = None
    for k in range(len(head) - 1, -1, -1):
        ch = head[k]
        if ch == ")":
            if depth == 0 and close is None:
                close = k
            depth += 1
        elif ch == "(":
            depth -= 1
            if depth == 0 and close is not None:
                before = head[:k].rstrip()
                m = re.search(r"(~?[A-Za-z_]\w*(?:\s*::\s*~?[A-Za-z_]\w*)*|operator\s*\S+)$", before)
                if not m:
                    return None
                name = re.sub(r"\s+", "", m.group(1))
                # A constructor's initializer list: keep looking left for the real parameter list.
                if re.search(r"(^|[^:]):\s*$|,\s*$", before[: m.start()]):
                    close = None
                    continue
                if CONTROL.search(before) or name.split("::")[-1] in ("if", "for", "while", "switch", "catch"):
                    return None
                # `: member_{value}`: a brace of the initializer list, not the body.
                if re.search(r"(^|[^:]):([^:]|$)", head[close + 1 :]) and re.search(r"\w$", head):
                    return ("init", name)
                return name
    return None


def functions(path):
    text = strip(path.read_text(encoding="utf-8", errors="replace"))
    # A default argument in braces (`= {}`) belongs to the parameter list, not to a block.
    text = re.sub(r"=\s*\{[^{}]*\}(?=\s*[,)])", lambda m: re.sub(r"[^\n]", " ", m.group()), text)
    line_at = lambda pos: text.count("\n", 0, pos) + 1
    stack = []  # per open brace: "container", "function", "init" (a member's braces) or "other"
    found = []
    # The constructor whose initializer list gave a member its value in braces, until its body.
    pending = None
    for m in re.finditer(r"[{}]", text):
        pos = m.start()
        if m.group() == "}":
            if stack:
                kind, name, start = stack.pop()
                if kind == "init":
                    pending = name
                    continue
                if kind == "function":
                    found.append((start, name, line_at(pos) - start + 1))
            continue
        if any(k == "function" for k, _, _ in stack) or (stack and stack[-1][0] in ("other", "init")):
            stack.append(("other", None, 0))
            continue
        head = head_of(text, pos)
        if pending and (head == "" or head.startswith(",")):
            if re.search(r"\w$", head):
                stack.append(("init", pending, 0))
            else:
                stack.append(("function", pending, line_at(pos)))
            pending = None
            continue
        pending = None
        if CONTAINERS.search(head) and "(" not in head.split("=")[0]:
            stack.append(("container", None, 0))
            continue
        name = function_name(head)
        if isinstance(name, tuple):
            stack.append(name + (0,))
        elif name and not head.rstrip().endswith("="):
            stack.append(("function", name, line_at(pos)))
        else:
            stack.append(("other", None, 0))
    return found


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--max", type=int, default=60)
    parser.add_argument("paths", nargs="*", default=["src", "cli"])
    args = parser.parse_args()
    files = []
    for p in map(pathlib.Path, args.paths):
        files += sorted(f for f in p.rglob("*") if f.suffix in (".cpp", ".hpp", ".h")) if p.is_dir() else [p]
    status = 0
    for f in files:
        for start, name, length in functions(f):
            if length > args.max:
                print(f"{f}:{start}: {name} ({length} lines)")
                status = 1
    return status


if __name__ == "__main__":
    sys.exit(main())
