#!/usr/bin/env python3
"""PellwickLink.exe in a copy of the project's Wine prefix, as an installer and a browser use it.

Registers the handler from a folder whose name holds a blank and a quote; opens links minted
with the build's launch key through the shell (ShellExecuteExW, as a browser does) under code
pages 936 and 932, and checks that the stand-in reader got exactly the ticket's values, each as
one argument; starts the handler with every kind of refused link and checks that it started
nothing, showed its message and logged why; unregisters and checks that none of its keys is
left. The copy of the prefix is removed afterwards.

  link_handler_test.py --wine-run W --handler EXE --open-link EXE --reader-stub EXE
                       --uidriver EXE --mint TOOL --key KEY.pem
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

# Waits grow where programs run emulated (the 32-bit build: tools/wine32-run).
TIME_FACTOR = int(os.environ.get("TAVREL_WINE_TIME_FACTOR", "1"))

FOLDER = "C:\\Tavrel's Files"
READER = "C:\\Reader"
# The handler's message and caption, as the user reads them.
MESSAGE = "图书链接无效或已过期，请回到网页重新打开。"
CAPTION = "提示"
STATIC_TEXT_ID = "65535"  # the text of a message box

failures = []


def fail(what):
    print("FAIL: " + what)
    failures.append(what)


class Prefix:
    def __init__(self, args, work):
        self.args = args
        self.env = dict(os.environ, WINEPREFIX=os.path.join(work, "prefix"))
        shared = subprocess.run([args.wine_run, "--prefix"], capture_output=True, text=True,
                                check=True).stdout.strip()
        # Hard links are enough: Wine writes its registry files anew and renames them.
        subprocess.run(["cp", "-al", shared, self.env["WINEPREFIX"]], check=True)
        self.drive = os.path.join(self.env["WINEPREFIX"], "drive_c")

    def run(self, *command, locale=None, timeout=120 * TIME_FACTOR):
        env = dict(self.env)
        if locale:
            env["TAVREL_WINE_LOCALE"] = locale
        return subprocess.run([self.args.wine_run, *command], env=env, capture_output=True,
                              timeout=timeout)

    def host(self, windows_path):
        return os.path.join(self.drive, *windows_path[3:].split("\\"))

    def key_exists(self, key):
        return self.run("reg", "query", key).returncode == 0

    def value(self, key, name=None):
        query = ["reg", "query", key] + (["/v", name] if name else ["/ve"])
        out = self.run(*query).stdout.decode("utf-8", "replace")
        for line in out.replace("\r", "").split("\n"):
            if "REG_SZ" in line:
                return line.split("REG_SZ", 1)[1].strip()
        return None

    def stop(self):
        subprocess.run(["wineserver", "-k"], env=self.env, capture_output=True)


def mint(args, signing_key=None, **fields):
    command = [args.mint, "mint", "--signing-key", signing_key or args.key,
               "--site", "https://www.morvane.net/book/A1"]
    defaults = {"url": "http://books.morvane.net/data", "id": "A1", "type": "2", "page": "15",
                "key": "k", "name": "n"}
    defaults.update(fields)
    for name, value in defaults.items():
        command += ["--" + name.replace("_", "-"), value]
    return subprocess.run(command, check=True, capture_output=True,
                          text=True).stdout.strip()


def mint_by_hand(key_pem, form, fields):
    """A link made from the README's description of the ticket alone, signed by the openssl
    command as any web server's ECDSA library would, as a check of that description."""
    import base64
    import hashlib
    import struct

    public = subprocess.run(["openssl", "pkey", "-in", key_pem, "-pubout", "-outform", "DER"],
                            check=True, capture_output=True).stdout
    key_id = hashlib.sha256(public[-64:]).digest()[:8]

    def text(value):
        data = value.encode("utf-8")
        return struct.pack(">H", len(data)) + data

    payload = b"TVL1" + key_id + struct.pack(">Q", int(time.time()) + 300) + os.urandom(16)
    payload += bytes([form]) + text("https://www.morvane.net/read.htm")
    payload += text(fields["url"]) + text(fields["id"])
    payload += struct.pack(">ii", int(fields["type"]), int(fields["page"]))
    payload += text(fields["key"]) + text(fields["name"])
    if form >= 2:
        payload += struct.pack(">i", int(fields["user"]))
    if form == 3:
        payload += struct.pack(">i", int(fields["down_day"]))
    der = subprocess.run(["openssl", "dgst", "-sha256", "-sign", key_pem], input=payload,
                         check=True, capture_output=True).stdout
    # SEQUENCE { INTEGER r, INTEGER s } into r || s, 32 bytes each.
    pos = 2 if der[1] < 0x80 else 3
    numbers = []
    for _ in range(2):
        length = der[pos + 1]
        numbers.append(int.from_bytes(der[pos + 2:pos + 2 + length], "big"))
        pos += 2 + length
    signature = b"".join(n.to_bytes(32, "big") for n in numbers)
    return "tavrel-read:" + base64.urlsafe_b64encode(payload + signature).decode().rstrip("=")


def read_record(path):
    """The stand-in reader's arguments after its own name."""
    with open(path, "rb") as record:
        units = record.read().decode("utf-16-le").split("\0")
    return units[2:-1]  # the raw line, the program's name, ..., the empty tail


def expected_arguments(fields, form):
    arguments = ["-url", fields["url"], "-id", fields["id"], "-t", fields["type"], "-g",
                 fields["page"], "-key", fields["key"], "-n", fields["name"]]
    if form >= 2:
        arguments += ["-user", fields["user"]]
    if form == 3:
        arguments += ["-downDay", fields["down_day"]]
    return arguments


def opened_cases():
    """(what, locale, form, fields): valid links that must open with exactly these values."""
    hostile = {"url": "http://books.morvane.net/data", "id": "A 1\" -key x",
               "type": "-2", "page": "15", "key": "k\\\"", "name": "书名\" -url file:"}
    return [
        ("plain, PassReadInfoDirect", None, 1,
         {"url": "root", "id": "A1", "type": "2", "page": "15", "key": "", "name": "书名"}),
        ("hostile values, ...New", None, 2, dict(hostile, user="3")),
        ("hostile values, ...New3", None, 3, dict(hostile, user="3", down_day="-1")),
        ("by hand, from the README's description", None, 2,
         {"url": "root", "id": "B2", "type": "1", "page": "-3", "key": "k", "name": "n",
          "user": "4"}),
        ("code page 932, trail byte 0x5C", "ja_JP.UTF-8", 3,
         {"url": "root", "id": "表", "type": "0", "page": "0", "key": "表\\",
          "name": "ｱ\" -n x", "user": "0", "down_day": "7"}),
    ]


def main():
    parser = argparse.ArgumentParser()
    for option in ("wine-run", "handler", "open-link", "reader-stub", "uidriver", "mint", "key"):
        parser.add_argument("--" + option, required=True)
    args = parser.parse_args()
    work = tempfile.mkdtemp()
    prefix = Prefix(args, work)
    try:
        run_cases(args, prefix, work)
    finally:
        prefix.stop()
        shutil.rmtree(work, ignore_errors=True)
    print("%d passed, %d failed" % (checks_passed, len(failures)))
    return 1 if failures else 0


checks_passed = 0


def check(condition, what):
    global checks_passed
    if condition:
        checks_passed += 1
    else:
        fail(what)


def run_cases(args, prefix, work):
    os.makedirs(prefix.host(FOLDER))
    os.makedirs(prefix.host(READER))
    shutil.copy(args.handler, prefix.host(FOLDER + "\\PellwickLink.exe"))
    shutil.copy(args.open_link, prefix.host(FOLDER + "\\open_link.exe"))
    shutil.copy(args.reader_stub, prefix.host(READER + "\\Tavrel.exe"))
    handler = FOLDER + "\\PellwickLink.exe"
    open_link = FOLDER + "\\open_link.exe"
    record = prefix.host(READER + "\\launch.rec")
    prefix.run("reg", "add", "HKCU\\Software\\Morvane\\Reader", "/ve", "/d", READER, "/f")

    check(prefix.run(handler, "/register").returncode == 0, "/register failed")
    check(prefix.value("HKCR\\tavrel-read\\shell\\open\\command") ==
          '"%s" "%%1"' % handler, "the command is not the handler with the link quoted")
    check(prefix.value("HKCR\\tavrel-read", "URL Protocol") == "", "no URL Protocol value")
    check(prefix.value("HKCR\\tavrel-read\\DefaultIcon") == '%s,0' % handler,
          "no DefaultIcon")

    valid = None
    for what, locale, form, fields in opened_cases():
        extra = {}
        if form >= 2:
            extra["user"] = fields["user"]
        if form == 3:
            extra["down_day"] = fields["down_day"]
        base = {k: v for k, v in fields.items() if k not in ("user", "down_day")}
        if what.startswith("by hand"):
            link = mint_by_hand(args.key, form, fields)
        else:
            link = mint(args, **base, **extra)
        valid = valid or link
        if os.path.exists(record):
            os.remove(record)
        result = prefix.run(open_link, link, locale=locale)
        check(result.returncode == 0, "%s: the shell's start ended with %d"
              % (what, result.returncode))
        # The handler ends once the shell has started the reader, which then writes its record.
        deadline = time.monotonic() + 30 * TIME_FACTOR
        while not os.path.exists(record) and time.monotonic() < deadline:
            time.sleep(0.05)
        if not os.path.exists(record):
            fail("%s: the reader did not start" % what)
            continue
        got = read_record(record)
        check(got == expected_arguments(fields, form),
              "%s: the reader got %r" % (what, got))

    # Refused links, each given to the handler as its one argument, the way the shell does.
    other_key = os.path.join(work, "other")
    subprocess.run([args.mint, "keygen", other_key], check=True, capture_output=True)
    ticket_text = valid.split(":", 1)[1]
    middle = len(ticket_text) // 2
    flipped = ticket_text[:middle] + ("B" if ticket_text[middle] == "A" else "A") + \
        ticket_text[middle + 1:]
    # (what, the handler's arguments, its exit code: 2 for a wrong number of arguments)
    refused = [
        ("replayed", [valid], 1),
        ("a changed character", ["tavrel-read:" + flipped], 1),
        ("unknown key",
         [mint(args, signing_key=os.path.join(other_key, "launch-key.pem"))], 1),
        ("expired", [mint(args, expiry=str(int(time.time()) - 3600))], 1),
        ("oversized", [mint(args) + "A" * 2100], 1),
        ("extra text", [mint(args) + "AAAA"], 1),
        ("extra argument", [mint(args), "-url", "x"], 2),
        ("a file url", [mint(args, url="file:///c:/windows")], 1),
        ("an id read as an option", [mint(args, id="-t")], 1),
    ]
    for what, arguments, exit_code in refused:
        if os.path.exists(record):
            os.remove(record)
        # The message's quiet spell is over, so each refusal shows it.
        prefix.run("reg", "add", "HKCU\\Software\\Morvane\\Reader\\Link Handler", "/v",
                   "Last Warning", "/t", "REG_BINARY", "/d", "0000000000000000", "/f")
        command = " ".join('"%s"' % part for part in [handler] + arguments)
        driven = prefix.run(args.uidriver, "--timeout", "30000", "start", command,
                            "window", CAPTION, "expect-text", STATIC_TEXT_ID, MESSAGE,
                            "command", "IDOK", "gone", "expect-exit", str(exit_code),
                            timeout=180 * TIME_FACTOR)
        check(driven.returncode == 0, "%s: %s" % (what, driven.stderr.decode("utf-8",
                                                                             "replace")))
        # The handler has ended: whatever it had started would have been started by now, but
        # the reader writes its record a moment later; give it that moment.
        time.sleep(1)
        check(not os.path.exists(record), "%s: the reader started" % what)

    log = prefix.run("cmd", "/c", "type", "%TEMP%\\PellwickLink.log").stdout.decode(
        "gbk", "replace")
    for reason in ("used before", "no built-in launch key", "expired", "not a tavrel-read",
                   "exactly one argument", "command-line rules"):
        check(reason in log, "the log does not say '%s'" % reason)

    check(prefix.run(handler, "/unregister").returncode == 0, "/unregister failed")
    check(not prefix.key_exists("HKCR\\tavrel-read"), "the scheme's key is left")


if __name__ == "__main__":
    sys.exit(main())
