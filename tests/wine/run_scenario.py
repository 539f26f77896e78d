#!/usr/bin/env python3
"""Runs one UI scenario under Wine: a file of tests/wine/scenarios (docs/ui-scenarios.md).

  run_scenario.py --wine-run W --uidriver U --folder DIR [--server-state STATE]
                  [--program NAME=PATH]... [--publish-tool T --publish-key K] [--print] FILE

A scenario is read whole, then its lines run in order. Lines of the UI driver (tools/uidriver)
are handed to it, a block of them at a time; a "start" in a block that has one already begins
the next block (the next run of the driver). The lines below are this runner's.
"@NAME@" stands for the path of --program NAME and "@DIGITS*N@" for N times "0123456789" (large
files); when the line runs, "@DIR@" for the folder's Windows path, "@SERVER@" for the local
update server's base URL and "@HTTPS_<NAME>@" for the base URL of its TLS instance with the
certificate <name>. A TEXT may hold \\r, \\n, \\t, \\\\ and \\xHH (\\x20 for a blank at its end:
lines are trimmed); files are written and compared in GBK.

Settings (read by tests/wine/CMakeLists.txt too):
    reader-folder          the scenario runs in a fresh folder (DIR; the program folder of the
                           pages) with the reader's registry key HKCU\\Software\\Morvane\\Reader,
                           removed before and after (CTest resource lock "reader_key")
    needs update-key       only builds that carry an update key run it
    lock NAME              the CTest resource lock NAME (tavrel_reader_process: the test starts
                           or ends a Tavrel.exe)
    fixture NAME           the CTest fixture NAME (update_server_tls for @HTTPS_...@)
Setup (a reader folder only):
    copy PATH              copy a program into the folder
    copy-as REL=PATH       copy a file into the folder under another name
    file REL=TEXT          create a file (REL uses "/")
    publish REL=TEXT       put a file in the update server's folder
    publish-copy REL=PATH  copy a file into the update server's folder
    publish-signed DIR=VERSION
                           publish the files put in the server's folder DIR so far with
                           ostrel-publish (--publish-tool, signing with --publish-key): they
                           become the release, DIR the published tree with setup.exe first; DIR
                           is emptied before the scenario's first line
    publish-release DIR=VERSION MANIFEST
                           publish-signed DIR=VERSION in a build with an update key, else put
                           MANIFEST in the server's folder as DIR/update.htm
    server-edit REL=OLD>>NEW  replace OLD by NEW in a server file
    server-strip REL       remove the signature line of a server manifest
    running-reader PATH    copy the stand-in reader into the folder as Tavrel.exe and start it
                           as a running reader ("--wait")
    reg NAME=VALUE         a string value under the reader's key
    reg-dword NAME=N       a REG_DWORD value there
Expectations (checked where they stand, after a failed run too):
    expect-file REL=TEXT   the file holds exactly TEXT
    expect-file-soon REL=TEXT  the file comes to hold exactly TEXT within 30 s (for files that
                           programs started by the run write)
    expect-reader-exit N   the running reader ended with exit code N (else it is ended after
                           the scenario; only one test that starts a reader may run at a time)
    expect-has REL=TEXT    the file contains TEXT (expect-lacks: does not)
    expect-listing REL=A,B...  the folder holds exactly the files and folders A, B ... (paths
                           below it with "/", at any depth; none for an empty list)
    expect-missing REL     the file does not exist
    expect-requests PREFIX=A,B...
                           (split at the last "=") the update server was asked, during the
                           scenario, for exactly PREFIX+A, PREFIX+B ... among the paths that
                           start with PREFIX, in that order; between two requests for a
                           manifest (update.htm) in any order, since the file-list page
                           fetches several files at once
    expect-reg-dword NAME=N   the value holds N
    expect-reg NAME=TEXT   the string value holds TEXT (expect-reg-missing NAME: there is none)
After a run of the driver fails, the setup lines and runs after it are skipped.

--print prints what the scenario does, one action a line, the driver's steps as uidriver
--print gives them, and does nothing.
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
SETTINGS = {"reader-folder", "needs", "lock", "fixture"}
SETUP = {"copy", "copy-as", "file", "publish", "publish-copy", "publish-signed",
         "publish-release", "server-edit", "server-strip", "running-reader", "reg", "reg-dword"}
EXPECTATIONS = {"expect-file", "expect-file-soon", "expect-reader-exit", "expect-has",
                "expect-lacks", "expect-listing", "expect-missing", "expect-requests",
                "expect-reg-dword", "expect-reg", "expect-reg-missing"}


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


class Scenario:
    """A scenario as read: its settings and its actions, each (verb, value) or ("run", lines)."""

    def __init__(self, path, programs, signing):
        self.reader_folder = False
        self.actions = []
        block = None
        for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            if not line.strip() or line.lstrip().startswith("#"):
                continue
            for name, program in programs.items():
                line = line.replace(f"@{name}@", program)
            line = re.sub(r"@DIGITS\*(\d+)@", lambda match: "0123456789" * int(match[1]), line)
            line = line.strip(" \t")
            verb, value = re.match(r"(\S+)[ \t]*(.*)", line).groups()
            where = f"{path.name}:{number}"
            if verb in SETTINGS:
                self.reader_folder |= verb == "reader-folder"
                block = None
            elif verb in SETUP or verb in EXPECTATIONS:
                if verb == "publish-release":
                    release, _, manifest = value.partition(" ")
                    directory, _, version = release.partition("=")
                    if not version:
                        sys.exit(f"{where}: publish-release DIR=VERSION MANIFEST")
                    verb, value = (("publish-signed", release) if signing
                                   else ("publish", f"{directory}/update.htm={manifest}"))
                self.actions.append((verb, value))
                block = None
            else:
                if block is None or (verb == "start" and any(
                        step.split(" ")[0] == "start" for step in block)):
                    block = []
                    self.actions.append(("run", block))
                block.append(line)
        if not self.reader_folder:
            for verb, _ in self.actions:
                if verb != "run":
                    sys.exit(f"{path.name}: {verb} needs the setting reader-folder")

    def signed_folders(self):
        return [split_pair(value)[0] for verb, value in self.actions if verb == "publish-signed"]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--wine-run", required=True)
    parser.add_argument("--uidriver", required=True)
    parser.add_argument("--folder", required=True)
    parser.add_argument("--server-state")
    parser.add_argument("--program", action="append", default=[])
    parser.add_argument("--publish-tool")
    parser.add_argument("--publish-key")
    parser.add_argument("--print", action="store_true")
    parser.add_argument("scenario")
    args = parser.parse_args()
    programs = dict(split_pair(item) for item in args.program)
    scenario = Scenario(pathlib.Path(args.scenario), programs, bool(args.publish_key))

    def wine(*command, check=True):
        return subprocess.run([args.wine_run, *command], check=check,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                              errors="replace")

    def drive(steps, *options):
        # The driver reads its steps from a file: UTF-8 whatever Wine's code page.
        with tempfile.NamedTemporaryFile("w", encoding="utf-8", suffix=".steps") as file:
            file.write("".join(step + "\n" for step in steps))
            file.flush()
            return subprocess.run([args.wine_run, args.uidriver, *options, "--steps",
                                   windows_path(file.name)], stdout=subprocess.PIPE if options
                                  else None, text=True, encoding="utf-8")

    if args.print:
        for verb, value in scenario.actions:
            if verb != "run":
                print(f"{verb}\t{value}")
                continue
            printed = drive(value, "--print")
            if printed.returncode != 0:
                sys.exit(1)
            print("run")
            sys.stdout.write(printed.stdout)
        return

    folder = pathlib.Path(args.folder)
    server = ""
    state = None
    requests_log = None
    requests_seen = 0
    if args.server_state:
        state = pathlib.Path(args.server_state)
        if scenario.reader_folder:
            server = "http://127.0.0.1:" + (state / "port").read_text().strip()
        requests_log = state / "requests.log"
        requests_seen = requests_log.stat().st_size if requests_log.exists() else 0

    def https_server(match):
        port_file = state / ("tls-" + match[1].lower()) / "port"
        return "https://localhost:" + port_file.read_text().strip()

    def substitute(text):
        text = text.replace("@DIR@", windows_path(folder)).replace("@SERVER@", server)
        return re.sub(r"@HTTPS_(\w+)@", https_server, text)

    def text_of(value):
        return substitute(unescape(value)).encode("gbk")

    def wait_until(condition, seconds=30):
        deadline = time.monotonic() + seconds
        while not condition():
            if time.monotonic() > deadline:
                return False
            time.sleep(0.05)
        return True

    def server_path(relative):
        if state is None:
            sys.exit("run_scenario: no --server-state for a line of the update server")
        path = state / "root" / relative
        path.parent.mkdir(parents=True, exist_ok=True)
        return path

    reader = None
    expected_reader_exit = 1
    for verb, value in scenario.actions:
        if verb == "expect-reader-exit":
            expected_reader_exit = int(value)
    failures = []

    def set_up(verb, value):
        nonlocal reader
        if verb == "copy":
            shutil.copy(value, folder)
        elif verb in ("copy-as", "file"):
            relative, source = split_pair(value)
            (folder / relative).parent.mkdir(parents=True, exist_ok=True)
            if verb == "copy-as":
                shutil.copy(source, folder / relative)
            else:
                (folder / relative).write_bytes(text_of(source))
        elif verb == "publish":
            relative, text = split_pair(value)
            server_path(relative).write_bytes(text_of(text))
        elif verb == "publish-copy":
            relative, source = split_pair(value)
            shutil.copy(source, server_path(relative))
        elif verb == "publish-signed":
            relative, version = split_pair(value)
            published = server_path(relative)
            with tempfile.TemporaryDirectory() as release:
                shutil.rmtree(release)
                shutil.move(str(published), release)
                done = subprocess.run([args.publish_tool, "publish", release, str(published),
                                       "--version", version, "--key", args.publish_key],
                                      stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
                if done.returncode != 0:
                    sys.exit("run_scenario: ostrel-publish failed:\n" + done.stdout)
        elif verb == "server-edit":
            relative, change = split_pair(value)
            old, _, new = change.partition(">>")
            path = server_path(relative)
            content = path.read_bytes()
            if text_of(old) not in content:
                sys.exit(f"run_scenario: {relative} does not hold {old!r}")
            path.write_bytes(content.replace(text_of(old), text_of(new), 1))
        elif verb == "server-strip":
            path = server_path(value)
            lines = path.read_bytes().splitlines(keepends=True)
            if not lines or not lines[-1].startswith(b";ostrel-signature "):
                sys.exit(f"run_scenario: {value} has no signature line to strip")
            path.write_bytes(b"".join(lines[:-1]))
        elif verb == "running-reader":
            shutil.copy(value, folder / "Tavrel.exe")
            # Started and watched by a UI driver of its own: Wine reports the exit code of a
            # terminated process only inside Windows.
            reader = subprocess.Popen([args.wine_run, args.uidriver, "--timeout", "40000",
                                       "start", windows_path(folder / "Tavrel.exe") + " --wait",
                                       "expect-exit", str(expected_reader_exit)],
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            if not wait_until(lambda: (folder / "launch.rec").exists()):
                sys.exit("run_scenario: the stand-in reader did not start")
        elif verb == "reg":
            name, text = split_pair(value)
            wine("reg", "add", READER_KEY, "/v", name, "/d", substitute(text), "/f")
        elif verb == "reg-dword":
            name, number = split_pair(value)
            wine("reg", "add", READER_KEY, "/v", name, "/t", "REG_DWORD", "/d", number, "/f")

    def registry_string(name):
        query = wine("reg", "query", READER_KEY, "/v", name, check=False).stdout
        for line in query.splitlines():
            before, kind, after = line.partition("REG_SZ")
            if kind and before.strip() == name:
                return after.strip()
        return None

    def check(verb, value):
        relative, text = split_pair(value)
        path = folder / relative
        if verb in ("expect-has", "expect-lacks"):
            content = path.read_bytes() if path.is_file() else b""
            if (text_of(text) in content) != (verb == "expect-has"):
                failures.append(f"{relative} {'lacks' if verb == 'expect-has' else 'has'} "
                                f"{text!r}")
        elif verb == "expect-requests":
            # The prefix may hold "=" itself (a fault such as ~rate=2000); the names do not.
            prefix, _, names = value.rpartition("=")
            with open(requests_log, "rb") as log:
                log.seek(requests_seen)
                asked = [line.split("\t")[0] for line in log.read().decode().splitlines()]
            expected = [prefix + name for name in names.split(",") if name]
            got = [asked_path for asked_path in asked if asked_path.startswith(prefix)]
            if page_order(got) != page_order(expected):
                failures.append(f"requests under {prefix}: {got}, not {expected}")
        elif verb == "expect-file":
            if not path.is_file():
                failures.append(f"{relative} is missing")
            elif path.read_bytes() != text_of(text):
                failures.append(f"{relative} holds {path.read_bytes()!r}, not {text_of(text)!r}")
        elif verb == "expect-file-soon":
            if not wait_until(lambda: path.is_file() and path.read_bytes() == text_of(text)):
                found = path.read_bytes() if path.is_file() else "nothing"
                failures.append(f"{relative} holds {found!r}, not {text_of(text)!r}")
        elif verb == "expect-reader-exit":
            if reader is None:
                failures.append("no running reader was started")
                return
            try:
                if reader.wait(timeout=60) != 0:
                    failures.append(f"the reader did not end with exit code {value}")
            except subprocess.TimeoutExpired:
                failures.append("the reader's driver did not end")
        elif verb == "expect-listing":
            found = sorted(str(child.relative_to(path)) for child in path.rglob("*")) \
                if path.is_dir() else None
            expected = sorted(name for name in text.split(",") if name)
            if found != expected:
                failures.append(f"{relative} holds {found}, not {expected}")
        elif verb == "expect-missing":
            if (folder / value).exists():
                failures.append(f"{value} exists")
        elif verb == "expect-reg-dword":
            query = wine("reg", "query", READER_KEY, "/v", relative, check=False).stdout
            words = query.split()
            found = words[words.index("REG_DWORD") + 1] if "REG_DWORD" in words else None
            if found is None or int(found, 16) != int(text) % (1 << 32):
                failures.append(f"{relative} is {found}, not {text}")
        elif verb in ("expect-reg", "expect-reg-missing"):
            name, wanted = (relative, text) if verb == "expect-reg" else (value, None)
            found = registry_string(name)
            if found != wanted:
                failures.append(f"{name} is {found!r}, not {wanted!r}")

    if scenario.reader_folder:
        shutil.rmtree(folder, ignore_errors=True)
        folder.mkdir(parents=True)
        for relative in scenario.signed_folders():  # a tree published by an earlier run goes
            shutil.rmtree(server_path(relative), ignore_errors=True)
        wine("reg", "delete", READER_KEY, "/f", check=False)
    try:
        runs = 0
        stopped = False
        for verb, value in scenario.actions:
            if verb in EXPECTATIONS:
                check(verb, value)
            elif stopped:
                continue
            elif verb == "run":
                runs += 1
                if drive([substitute(step) for step in value]).returncode != 0:
                    failures.append(f"the UI driver failed in run {runs}")
                    stopped = True
            else:
                set_up(verb, value)
        for failure in failures:
            print("run_scenario:", failure, file=sys.stderr)
        sys.exit(1 if failures else 0)
    finally:
        if reader is not None and reader.poll() is None:
            wine("taskkill", "/f", "/im", "Tavrel.exe", check=False)
            reader.wait(timeout=60)
        if scenario.reader_folder:
            wine("reg", "delete", READER_KEY, "/f", check=False)


if __name__ == "__main__":
    main()
