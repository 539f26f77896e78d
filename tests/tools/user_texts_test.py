#!/usr/bin/env python3
"""How tools/user_texts.py writes a text as a C literal and which tables it refuses."""
import pathlib
import subprocess
import sys
import tempfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "tools"))
import user_texts  # noqa: E402


def c_bytes(literal):
    """The bytes a C compiler makes of adjacent literals: \\x takes every hex digit after it."""
    data = bytearray()
    for piece in literal[1:-1].split('" "'):
        pos = 0
        while pos < len(piece):
            if piece.startswith("\\x", pos):
                end = pos + 2
                while end < len(piece) and piece[end] in "0123456789abcdefABCDEF":
                    end += 1
                value = int(piece[pos + 2:end], 16)
                if value > 0xFF:
                    return None  # the compiler refuses it
                data.append(value)
                pos = end
            elif piece[pos] == "\\":
                data.append(ord(piece[pos + 1]))
                pos += 2
            else:
                data.append(ord(piece[pos]))
                pos += 1
    return bytes(data)


failures = []
for text in ["读取 ", "下载 %s  失败", "\u6b63a1", "\u6b63F", 'q"\\?', ""]:
    data = text.encode("gbk")
    if c_bytes(user_texts.c_literal(data)) != data:
        failures.append(f"{text!r} -> {user_texts.c_literal(data)}")

for table in ['A "x"\nA "y"\n', 'lower "x"\n', 'A x\n', 'A "\U0001f600"\n', 'A "x" \n']:
    with tempfile.TemporaryDirectory() as folder:
        path = pathlib.Path(folder, "t.txt")
        path.write_text(table, encoding="utf-8")
        run = subprocess.run([sys.executable, user_texts.__file__, str(path),
                              str(pathlib.Path(folder, "t.h"))], capture_output=True)
        if run.returncode == 0:
            failures.append(f"table accepted: {table!r}")

print("\n".join(failures) or "ok")
sys.exit(1 if failures else 0)
