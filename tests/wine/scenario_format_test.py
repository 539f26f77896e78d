#!/usr/bin/env python3
"""How uidriver reads steps and run_scenario.py reads a scenario (docs/ui-scenarios.md), through
their --print modes: what a line means, and which lines are refused.

  scenario_format_test.py --wine-run W --uidriver U --runner run_scenario.py
"""
import argparse
import pathlib
import subprocess
import sys
import tempfile

# A steps file's lines and the steps uidriver reads from them (words separated by tabs).
STEP_LINES = [
    ("dialog 关于 Ostrel IDOK", "dialog\t关于 Ostrel\tIDOK"),
    ("expect-row IDC_FILE_LIST 1 ..\\evil.txt 1", "expect-row\tIDC_FILE_LIST\t1\t..\\evil.txt\t1"),
    ("expect-text IDC_PAGE_MESSAGE 下载 other.EXE  失败  ",
     "expect-text\tIDC_PAGE_MESSAGE\t下载 other.EXE  失败"),
    ("  start  @DIR@\\page_host.exe filelist 1500", "start\t@DIR@\\page_host.exe filelist 1500"),
    ("\tclick\tIDOK", "click\tIDOK"),
    ("expect-text IDC_FINISH_TEXT", "expect-text\tIDC_FINISH_TEXT\t"),
    ("timeout 20000\r", "timeout\t20000"),
    ("# a comment", None),
    ("   ", None),
]
# Lines uidriver refuses before it runs any step.
REFUSED_STEP_LINES = ["click", "gone now", "expect-row IDC_FILE_LIST 1", "frobnicate IDOK",
                      "dialog", "expect-exit"]

HEADER = "reader-folder\nneeds update-key\nlock tavrel_reader_process\n"
# Scenarios (after HEADER, unless they start with "!") and what run_scenario.py --print gives for
# them, without and with an update key.
SCENARIOS = [
    ("copy @page_host@\nstart @DIR@\\page_host.exe\nexpect-exit 1\nexpect-missing x\n",
     "copy\t/bin/page_host.exe\nrun\nstart\t@DIR@\\page_host.exe\nexpect-exit\t1\n"
     "expect-missing\tx\n", None),
    # A second start begins a second run; the lines between two runs stand between them.
    ("timeout 20000\nstart a\ngone\nstart b\nreg V=1\nstart c\n",
     "run\ntimeout\t20000\nstart\ta\ngone\nrun\nstart\tb\nreg\tV=1\nrun\nstart\tc\n", None),
    ("publish d/a.txt=@DIGITS*2@\\r\\n\npublish-release d=1.0.0.2 [main]\\r\\nversion=1.0.0.2\n",
     "publish\td/a.txt=01234567890123456789\\r\\n\n"
     "publish\td/update.htm=[main]\\r\\nversion=1.0.0.2\n",
     "publish\td/a.txt=01234567890123456789\\r\\n\npublish-signed\td=1.0.0.2\n"),
    ("!start @page_host@ finish 0\n", "run\nstart\t/bin/page_host.exe finish 0\n", None),
]
# Scenarios run_scenario.py refuses: a line of the runner needs a reader folder.
REFUSED_SCENARIOS = ["!copy @page_host@\nstart x\n", "publish-release d 1\n"]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--wine-run", required=True)
    parser.add_argument("--uidriver", required=True)
    parser.add_argument("--runner", required=True)
    args = parser.parse_args()
    failures = []
    with tempfile.TemporaryDirectory() as folder:
        steps_file = pathlib.Path(folder) / "test.steps"

        def print_steps(data):
            steps_file.write_bytes(data)
            return subprocess.run([args.wine_run, args.uidriver, "--print", "--steps",
                                   "Z:" + str(steps_file).replace("/", "\\")],
                                  stdout=subprocess.PIPE, stderr=subprocess.PIPE)

        lines = "\n".join(line for line, _ in STEP_LINES).encode("utf-8")
        expected = "".join(step + "\n" for _, step in STEP_LINES if step is not None)
        done = print_steps(lines)
        if done.returncode != 0 or done.stdout.decode("utf-8") != expected:
            failures.append(f"steps: {done.stdout.decode('utf-8')!r}, not {expected!r}")
        for line in REFUSED_STEP_LINES:
            if print_steps(("gone\n" + line + "\n").encode("utf-8")).returncode != 2:
                failures.append(f"step line {line!r} was not refused")
        if print_steps(b"window \xff\xfe\n").returncode != 2:
            failures.append("a steps file that is not UTF-8 was not refused")
        done = subprocess.run([args.wine_run, args.uidriver, "--print", "--timeout", "5", "click",
                               "IDOK"], stdout=subprocess.PIPE)
        if done.stdout.decode("utf-8") != "timeout\t5\nclick\tIDOK\n":
            failures.append(f"arguments: {done.stdout!r}")

        scenario_file = pathlib.Path(folder) / "test.scenario"

        def print_scenario(text, *options):
            text = text[1:] if text.startswith("!") else HEADER + text
            scenario_file.write_text(text, encoding="utf-8")
            return subprocess.run([sys.executable, args.runner, "--wine-run", args.wine_run,
                                   "--uidriver", args.uidriver, "--folder", folder,
                                   "--program", "page_host=/bin/page_host.exe", *options,
                                   "--print", str(scenario_file)],
                                  stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                                  encoding="utf-8")

        for text, unsigned, signed in SCENARIOS:
            for options, wanted in (((), unsigned), (("--publish-key", "k.pem"), signed)):
                done = print_scenario(text, *options)
                wanted = wanted or unsigned
                if done.returncode != 0 or done.stdout != wanted:
                    failures.append(f"scenario {text!r} {options}: {done.stdout!r}, not "
                                    f"{wanted!r} ({done.stderr.strip()})")
        for text in REFUSED_SCENARIOS:
            if print_scenario(text).returncode == 0:
                failures.append(f"scenario {text!r} was not refused")
    for failure in failures:
        print("scenario_format_test:", failure, file=sys.stderr)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
