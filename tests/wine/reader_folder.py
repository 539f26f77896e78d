#!/usr/bin/env python3
"""Runs one UI test in a reader folder of its own, for tests of Ostrel's pages under Wine.

Sets up a fresh folder (the program folder the pages work in) with copies of the given
programs and files, writes the reader's registry values, runs the UI driver with "@DIR@"
replaced by the folder's Windows path, "@SERVER@" by the local update server's base URL and
"@HTTPS_<NAME>@" by the base URL of its TLS instance with the certificate <name>, then
checks the files the run should have left. The reader's registry key is removed afterwards;
tests using it take the CTest resource lock "reader_key".

  reader_folder.py --wine-run W --uidriver U --folder DIR [options] -- STEP...
    --copy EXE             copy a program into the folder
    --copy-as REL=FILE     copy a file into the folder under another name
    --file REL=TEXT        create a file (REL uses "/"; TEXT may contain \\r\\n)
    --publish REL=TEXT     put a file in the update server's folder
    --publish-copy REL=FILE  copy a file into the update server's folder
    --publish-signed DIR=VERSION
                           publish the files put in the server's folder DIR so far with
                           ostrel-publish (--publish-tool, signing with --publish-key): they
                           become the release, DIR the published tree with setup.exe first
    --server-edit REL=OLD>>NEW  after publishing, replace OLD by NEW in a server file
    --server-strip REL     after publishing, remove the signature line of a server manifest
    --running-reader EXE   copy the stand-in reader into the folder as Tavrel.exe and start it
                           as a running reader ("--wait") before the UI driver
    --server-state DIR     the update server's state folder (for @SERVER@ and --publish)
    --reg NAME=VALUE       a string value under HKCU\\Software\\Morvane\\Reader
    --reg-dword NAME=N     a REG_DWORD value there
    --expect-file REL=TEXT after the run the file holds exactly TEXT
    --expect-file-soon REL=TEXT  the file comes to hold exactly TEXT within 30 s (for files
                           that programs started by the run write); "@DIR@" is replaced
    --expect-reader-exit N the running reader ended with exit code N (else it is ended after
                           the run; only one test that starts a reader may run at a time)
    --expect-has REL=TEXT  after the run the file contains TEXT (--expect-lacks: does not);
                           "@DIR@" and "@SERVER@" are replaced
    --expect-listing REL=A,B...
                           after the run the folder holds exactly the files and folders A, B
                           ... (paths below it with "/", at any depth; none for an empty list)
    --expect-missing REL   after the run the file does not exist
    --expect-requests PREFIX=A,B...
                           (split at the last "=") the update server was asked, during the
                           test, for exactly PREFIX+A, PREFIX+B ... among the paths that
                           start with PREFIX, in that order; between two requests for a
                           manifest (update.htm) in any order, since the file-list page
                           fetches several files at once
    --then-reg NAME=VALUE  a string value written after the first run, before the second
    --then-file REL=TEXT   a file written in the folder after the first run, before the second
The steps may hold the word "then-run": the driver runs the steps before it, the values of
--then-reg are written, and a second driver run takes the steps after it.
    --expect-reg-dword NAME=N  after the run the value holds N
    --expect-reg NAME=TEXT after the run the string value holds TEXT (--expect-reg-missing
                           NAME: there is no such value)
"""
import argparse
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile
import time

READER_KEY = r"HKCU\Software\Morvane\Reader"


def unescape(text):
    return text.encode("utf-8").decode("unicode_escape").encode("latin-1").decode("utf-8")


def windows_path(path):
    return "Z:" + str(path).replace("/", "\\")


def split_pair(text):
    name, _, value = text.partition("=")
    return name, value


def page_order(paths):
    """The paths with each stretch between manifest requests sorted: the file-list page asks for
    its files side by side, and the server logs them as they arrive."""
    ordered, stretch = [], []
    for path in paths:
        if path.endswith("update.htm"):
            ordered += sorted(stretch) + [path]
            stretch = []
        else:
            stretch.append(path)
    return ordered + sorted(stretch)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--wine-run", required=True)
    parser.add_argument("--uidriver", required=True)
    parser.add_argument("--folder", required=True)
    parser.add_argument("--server-state")
    for option in ("--copy", "--copy-as", "--file", "--publish", "--publish-copy", "--reg",
                   "--reg-dword", "--expect-file", "--expect-file-soon", "--expect-missing",
                   "--expect-reg-dword", "--expect-has", "--expect-lacks", "--expect-requests",
                   "--expect-listing", "--then-reg", "--publish-signed", "--server-edit",
                   "--server-strip", "--then-file", "--expect-reg", "--expect-reg-missing"):
        parser.add_argument(option, action="append", default=[])
    parser.add_argument("--publish-tool")
    parser.add_argument("--publish-key")
    parser.add_argument("--running-reader")
    parser.add_argument("--expect-reader-exit", type=int)
    parser.add_argument("steps", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    steps = args.steps[1:] if args.steps[:1] == ["--"] else args.steps

    folder = pathlib.Path(args.folder)
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir(parents=True)
    for program in args.copy:
        shutil.copy(program, folder)
    for item in args.copy_as:
        relative, source = split_pair(item)
        (folder / relative).parent.mkdir(parents=True, exist_ok=True)
        shutil.copy(source, folder / relative)
    for item in args.file:
        relative, text = split_pair(item)
        (folder / relative).parent.mkdir(parents=True, exist_ok=True)
        (folder / relative).write_bytes(unescape(text).encode("gbk"))
    server = ""
    requests_log = None
    requests_seen = 0
    if args.server_state:
        state = pathlib.Path(args.server_state)
        server = "http://127.0.0.1:" + (state / "port").read_text().strip()
        requests_log = state / "requests.log"
        requests_seen = requests_log.stat().st_size if requests_log.exists() else 0
        for item in args.publish_signed:  # a tree published by an earlier run goes
            shutil.rmtree(state / "root" / split_pair(item)[0], ignore_errors=True)
        for item in args.publish:
            relative, text = split_pair(item)
            (state / "root" / relative).parent.mkdir(parents=True, exist_ok=True)
            (state / "root" / relative).write_bytes(unescape(text).encode("gbk"))
        for item in args.publish_copy:
            relative, source = split_pair(item)
            (state / "root" / relative).parent.mkdir(parents=True, exist_ok=True)
            shutil.copy(source, state / "root" / relative)
        for item in args.publish_signed:
            relative, version = split_pair(item)
            published = state / "root" / relative
            with tempfile.TemporaryDirectory() as release:
                shutil.rmtree(release)
                shutil.move(str(published), release)
                done = subprocess.run([args.publish_tool, "publish", release, str(published),
                                       "--version", version, "--key", args.publish_key],
                                      stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
                if done.returncode != 0:
                    sys.exit("reader_folder: ostrel-publish failed:\n" + done.stdout)
        for item in args.server_edit:
            relative, change = split_pair(item)
            old, _, new = change.partition(">>")
            path = state / "root" / relative
            content = path.read_bytes()
            if unescape(old).encode("gbk") not in content:
                sys.exit(f"reader_folder: {relative} does not hold {old!r}")
            path.write_bytes(content.replace(unescape(old).encode("gbk"),
                                             unescape(new).encode("gbk"), 1))
        for relative in args.server_strip:
            path = state / "root" / relative
            lines = path.read_bytes().splitlines(keepends=True)
            if not lines or not lines[-1].startswith(b";ostrel-signature "):
                sys.exit(f"reader_folder: {relative} has no signature line to strip")
            path.write_bytes(b"".join(lines[:-1]))

    def wine(*command, check=True):
        return subprocess.run([args.wine_run, *command], check=check,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                              errors="replace")

    def https_server(match):
        port_file = pathlib.Path(args.server_state) / ("tls-" + match[1].lower()) / "port"
        return "https://localhost:" + port_file.read_text().strip()

    def substitute(text):
        text = text.replace("@DIR@", windows_path(folder)).replace("@SERVER@", server)
        return re.sub(r"@HTTPS_(\w+)@", https_server, text)

    def wait_until(condition, seconds=30):
        deadline = time.monotonic() + seconds
        while not condition():
            if time.monotonic() > deadline:
                return False
            time.sleep(0.05)
        return True

    wine("reg", "delete", READER_KEY, "/f", check=False)
    reader = None
    try:
        if args.running_reader:
            shutil.copy(args.running_reader, folder / "Tavrel.exe")
            # Started and watched by a UI driver of its own: Wine reports the exit code of a
            # terminated process only inside Windows.
            exit_code = 1 if args.expect_reader_exit is None else args.expect_reader_exit
            reader = subprocess.Popen([args.wine_run, args.uidriver, "--timeout", "40000",
                                       "start", windows_path(folder / "Tavrel.exe") + " --wait",
                                       "expect-exit", str(exit_code)],
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            if not wait_until(lambda: (folder / "launch.rec").exists()):
                sys.exit("reader_folder: the stand-in reader did not start")
        for item in args.reg:
            name, value = split_pair(item)
            wine("reg", "add", READER_KEY, "/v", name, "/d", substitute(value), "/f")
        for item in args.reg_dword:
            name, value = split_pair(item)
            wine("reg", "add", READER_KEY, "/v", name, "/t", "REG_DWORD", "/d", value, "/f")
        runs = [[]]
        for step in steps:
            if step == "then-run":
                runs.append([])
            else:
                runs[-1].append(step)
        failures = []
        for number, run in enumerate(runs):
            if number == 1:
                for item in args.then_reg:
                    name, value = split_pair(item)
                    wine("reg", "add", READER_KEY, "/v", name, "/d", substitute(value), "/f")
                for item in args.then_file:
                    relative, text = split_pair(item)
                    (folder / relative).write_bytes(unescape(text).encode("gbk"))
            driver = subprocess.run([args.wine_run, args.uidriver, *map(substitute, run)])
            if driver.returncode != 0:
                failures.append(f"the UI driver failed in run {number + 1}")
                break
        for option, wanted in (("has", True), ("lacks", False)):
            for item in getattr(args, "expect_" + option):
                relative, text = split_pair(item)
                path = folder / relative
                content = path.read_bytes() if path.is_file() else b""
                if (substitute(unescape(text)).encode("gbk") in content) != wanted:
                    failures.append(f"{relative} {'lacks' if wanted else 'has'} {text!r}")
        if args.expect_requests:
            with open(requests_log, "rb") as log:
                log.seek(requests_seen)
                asked = [line.split("\t")[0] for line in log.read().decode().splitlines()]
            for item in args.expect_requests:
                # The prefix may hold "=" itself (a fault such as ~rate=2000); the names do not.
                prefix, _, names = item.rpartition("=")
                expected = [prefix + name for name in names.split(",") if name]
                got = [path for path in asked if path.startswith(prefix)]
                if page_order(got) != page_order(expected):
                    failures.append(f"requests under {prefix}: {got}, not {expected}")
        for item in args.expect_file:
            relative, text = split_pair(item)
            path = folder / relative
            expected = unescape(text).encode("gbk")
            if not path.is_file():
                failures.append(f"{relative} is missing")
            elif path.read_bytes() != expected:
                failures.append(f"{relative} holds {path.read_bytes()!r}, not {expected!r}")
        for item in args.expect_file_soon:
            relative, text = split_pair(item)
            path = folder / relative
            expected = substitute(unescape(text)).encode("gbk")
            if not wait_until(lambda: path.is_file() and path.read_bytes() == expected):
                found = path.read_bytes() if path.is_file() else "nothing"
                failures.append(f"{relative} holds {found!r}, not {expected!r}")
        if args.expect_reader_exit is not None:
            try:
                if reader.wait(timeout=60) != 0:
                    failures.append(f"the reader did not end with exit code "
                                    f"{args.expect_reader_exit}")
            except subprocess.TimeoutExpired:
                failures.append("the reader's driver did not end")
        for item in args.expect_listing:
            relative, names = split_pair(item)
            base = folder / relative
            found = sorted(str(path.relative_to(base)) for path in base.rglob("*")) \
                if base.is_dir() else None
            expected = sorted(name for name in names.split(",") if name)
            if found != expected:
                failures.append(f"{relative} holds {found}, not {expected}")
        for relative in args.expect_missing:
            if (folder / relative).exists():
                failures.append(f"{relative} exists")
        for item in args.expect_reg_dword:
            name, value = split_pair(item)
            query = wine("reg", "query", READER_KEY, "/v", name, check=False).stdout
            words = query.split()
            found = words[words.index("REG_DWORD") + 1] if "REG_DWORD" in words else None
            if found is None or int(found, 16) != int(value) % (1 << 32):
                failures.append(f"{name} is {found}, not {value}")
        expected_strings = [split_pair(item) for item in args.expect_reg]
        expected_strings += [(name, None) for name in args.expect_reg_missing]
        for name, wanted in expected_strings:
            query = wine("reg", "query", READER_KEY, "/v", name, check=False).stdout
            found = None
            for line in query.splitlines():
                before, kind, after = line.partition("REG_SZ")
                if kind and before.strip() == name:
                    found = after.strip()
            if found != wanted:
                failures.append(f"{name} is {found!r}, not {wanted!r}")
        for failure in failures:
            print("reader_folder:", failure, file=sys.stderr)
        sys.exit(1 if failures else 0)
    finally:
        if reader is not None and reader.poll() is None:
            wine("taskkill", "/f", "/im", "Tavrel.exe", check=False)
            reader.wait(timeout=60)
        wine("reg", "delete", READER_KEY, "/f", check=False)


if __name__ == "__main__":
    main()
