#!/usr/bin/env python3
"""Converts the table of user texts (UTF-8, cmake/user_texts.txt) into a C++ header of GBK
constants: user_texts.py TABLE HEADER. A line is NAME "TEXT"; blank lines and lines starting
with "#" are skipped. Anything else, a repeated name or a text GBK cannot hold fails the build."""
import re
import sys

LINE = re.compile(r'^([A-Z][A-Za-z0-9]*) "([^"]*)"$')


def read_table(path):
    texts = {}
    with open(path, encoding="utf-8") as table:
        for number, line in enumerate(table, 1):
            line = line.rstrip("\n")
            if not line.strip() or line.startswith("#"):
                continue
            match = LINE.match(line)
            if not match or match.group(1) in texts:
                sys.exit(f"{path}:{number}: not NAME \"TEXT\", or a name given twice: {line}")
            texts[match.group(1)] = match.group(2)
    return texts


def c_literal(data):
    """Every byte outside printable ASCII as \\xNN; a literal is split where a hex digit would
    otherwise continue the escape before it."""
    out, escaped = [], False
    for byte in data:
        char = chr(byte)
        if 0x20 <= byte < 0x7F and char not in '"\\?':
            if escaped and char in "0123456789abcdefABCDEF":
                out.append('" "')
            out.append(char)
            escaped = False
        else:
            out.append(f"\\x{byte:02x}")
            escaped = True
    return '"' + "".join(out) + '"'


def main():
    table, header = sys.argv[1], sys.argv[2]
    lines = [
        "// Generated from cmake/user_texts.txt by tools/user_texts.py: edit the table, not this.",
        "// Every text the user reads, in GBK, the code page it is shown in.",
        "#pragma once",
        "",
        "namespace texts {",
        "",
    ]
    for name, text in read_table(table).items():
        try:
            data = text.encode("gbk")
        except UnicodeEncodeError as error:
            sys.exit(f"{table}: {name} cannot be written in GBK: {error}")
        lines += [f"// {text}", f"inline constexpr char k{name}[] = {c_literal(data)};"]
    lines += ["", "}  // namespace texts", ""]
    content = "\n".join(lines)
    try:
        with open(header, encoding="utf-8") as old:
            if old.read() == content:
                return  # unchanged: nothing that includes it is rebuilt
    except FileNotFoundError:
        pass
    with open(header, "w", encoding="utf-8") as out:
        out.write(content)


if __name__ == "__main__":
    main()
