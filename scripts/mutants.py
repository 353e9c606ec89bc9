#!/usr/bin/env python3
"""The mutation check behind `make mutants`.

Reads the one-line faults of tests/mutants.tsv, and for each: writes it into a
copy of the source tree (build-mutants/src), rebuilds the test programs that
cover the file incrementally (build-mutants/build), runs them, and puts the
line back. A fault is killed when a test fails (or runs out of time), survived
when every test passes, "did not compile" when the build fails, and "not
applied" when its text no longer stands exactly once in the file (the code
moved on: update the list). Exits 1 when a fault survives without an
"equivalent because ..." note, or when a fault so marked is killed after all.

    scripts/mutants.py                 # every fault
    scripts/mutants.py raids           # faults whose file or rule contains "raids"
    scripts/mutants.py --list          # the faults and the tests that judge them
    scripts/mutants.py --check         # only that every fault's text stands once
    scripts/mutants.py --faults my.tsv # another list of faults

The list's format is described at its top.
"""

import argparse
import os
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
LIST = os.path.join(ROOT, "tests", "mutants.tsv")
WORK = os.path.join(ROOT, "build-mutants")
SRC = os.path.join(WORK, "src")
BUILD = os.path.join(WORK, "build")
EQUIVALENT = "equivalent because"


class Fault:
    def __init__(self, number, path, find, replace, rule, tests, note):
        self.number = number
        self.path = path
        self.find = find
        self.replace = replace
        self.rule = rule
        self.tests = tests
        self.note = note
        self.outcome = ""
        self.detail = ""


def read_list(path):
    """Faults and the default tests of each file, from the tab-separated list."""
    faults, defaults = [], []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line.strip() or line.startswith("#"):
                continue
            cols = line.split("\t")
            if cols[0] == "@tests":
                if len(cols) != 3:
                    sys.exit(f"{path}:{number}: @tests wants a file prefix and the tests")
                defaults.append((cols[1], cols[2].split()))
                continue
            if len(cols) < 4:
                sys.exit(f"{path}:{number}: a fault needs file, text, replacement and rule")
            tests, note = None, ""
            for extra in cols[4:]:
                if extra.startswith("tests:"):
                    tests = extra[len("tests:"):].split()
                elif extra.startswith(EQUIVALENT):
                    note = extra
                else:
                    sys.exit(f"{path}:{number}: unknown column {extra!r}")
            find, replace = cols[1], cols[2]
            if find == replace:
                sys.exit(f"{path}:{number}: the replacement is the text itself")
            faults.append(Fault(number, cols[0], find, replace, cols[3], tests, note))
    for fault in faults:
        if fault.tests is None:
            # The longest matching prefix names the tests of the file.
            best = None
            for prefix, tests in defaults:
                if fault.path.startswith(prefix) and (best is None or len(prefix) > len(best[0])):
                    best = (prefix, tests)
            if best is None:
                sys.exit(f"{path}:{fault.number}: no @tests line covers {fault.path}")
            fault.tests = best[1]
    return faults


def tracked_files():
    """The working tree's files as git sees them, uncommitted changes included."""
    out = subprocess.run(["git", "-C", ROOT, "ls-files", "-z", "--cached", "--others",
                          "--exclude-standard"], check=True, capture_output=True).stdout
    return sorted({p for p in out.decode().split("\0") if p and os.path.isfile(os.path.join(ROOT, p))})


def sync_copy():
    """Makes build-mutants/src equal to the working tree, touching only what differs,
    so that the build in build-mutants/build stays incremental."""
    wanted = set(tracked_files())
    copied = 0
    for rel in wanted:
        src, dst = os.path.join(ROOT, rel), os.path.join(SRC, rel)
        with open(src, "rb") as f:
            data = f.read()
        if os.path.exists(dst):
            with open(dst, "rb") as f:
                if f.read() == data:
                    continue
        os.makedirs(os.path.dirname(dst), exist_ok=True)
        with open(dst, "wb") as f:
            f.write(data)
        shutil.copymode(src, dst)
        copied += 1
    for folder, _, files in os.walk(SRC):
        for name in files:
            rel = os.path.relpath(os.path.join(folder, name), SRC)
            if rel not in wanted:
                os.remove(os.path.join(folder, name))
    return copied


def run(command, timeout=None, cwd=None):
    """Runs a command quietly; returns (status, output), status None on time-out."""
    try:
        p = subprocess.run(command, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                           timeout=timeout, start_new_session=True)
        return p.returncode, p.stdout.decode(errors="replace")
    except subprocess.TimeoutExpired as e:
        return None, (e.stdout or b"").decode(errors="replace")


def build(targets):
    return run(["cmake", "--build", BUILD, "--target", *sorted(targets)])


def split_test(program):
    name, _, pattern = program.partition(":")
    return name, pattern


def run_test(program, timeout):
    name, pattern = split_test(program)
    # The first failure decides; the rest of the program need not run.
    command = [os.path.join(BUILD, "tests", name), "--gtest_fail_fast"]
    if pattern:
        command.append("--gtest_filter=" + pattern)
    started = time.monotonic()
    status, output = run(command, timeout=timeout, cwd=os.path.join(BUILD, "tests"))
    return status, output, time.monotonic() - started


def last_lines(text, n=15):
    return "\n".join(text.rstrip().splitlines()[-n:])


def judge(fault, baseline):
    path = os.path.join(SRC, fault.path)
    if not os.path.exists(path):
        fault.outcome, fault.detail = "not applied", "no such file"
        return
    with open(path, encoding="utf-8", newline="") as f:
        original = f.read()
    count = original.count(fault.find)
    if count != 1:
        fault.outcome = "not applied"
        fault.detail = "text not found" if count == 0 else f"text found {count} times"
        return
    try:
        with open(path, "w", encoding="utf-8", newline="") as f:
            f.write(original.replace(fault.find, fault.replace))
        status, output = build({split_test(t)[0] for t in fault.tests})
        if status != 0:
            fault.outcome, fault.detail = "did not compile", last_lines(output, 5)
            return
        for program in fault.tests:
            # A fault that makes a test hang is caught as a real run would be.
            timeout = max(60.0, 10 * baseline[program])
            status, output, _ = run_test(program, timeout)
            if status is None:
                fault.outcome, fault.detail = "killed", f"by {program} (time-out)"
                return
            if status != 0:
                failed = [l[len("[  FAILED  ]"):].split()[0] for l in output.splitlines()
                          if l.startswith("[  FAILED  ]")]
                fault.outcome = "killed"
                fault.detail = f"by {program}" + (f" ({failed[0]})" if failed else f" (status {status})")
                return
        fault.outcome = "survived"
    finally:
        with open(path, "w", encoding="utf-8", newline="") as f:
            f.write(original)


def area(path):
    top = path.split("/")[0]
    return {"level": "level files", "tools": "level checker"}.get(top, top + "/")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("only", nargs="*", help="run the faults whose file or rule contains a word")
    parser.add_argument("--list", action="store_true", help="show the faults and exit")
    parser.add_argument("--check", action="store_true",
                        help="check that each fault's text stands exactly once in the working tree")
    parser.add_argument("--faults", default=LIST, help="the list of faults (default: %(default)s)")
    args = parser.parse_args()

    faults = read_list(args.faults)
    if args.only:
        faults = [f for f in faults if any(w in f.path or w in f.rule for w in args.only)]
    if args.list:
        for f in faults:
            print(f"{f.path}:{f.number}  {f.rule}  [{' '.join(f.tests)}]")
        return 0
    if not faults:
        sys.exit("no fault matches")
    if args.check:
        stale = []
        for f in faults:
            path = os.path.join(ROOT, f.path)
            text = open(path, encoding="utf-8", newline="").read() if os.path.exists(path) else None
            found = 0 if text is None else text.count(f.find)
            if found != 1:
                stale.append(f"{f.path}:{f.number}  text found {found} times  {f.rule}")
        print("\n".join(stale) if stale else f"mutants: all {len(faults)} texts stand once")
        return 1 if stale else 0

    started = time.monotonic()
    load_before = os.getloadavg()
    print(f"mutants: {len(faults)} faults; load average {load_before[0]:.2f} on "
          f"{os.cpu_count()} cores", flush=True)
    os.makedirs(SRC, exist_ok=True)
    print(f"mutants: copied {sync_copy()} changed files into {os.path.relpath(SRC, ROOT)}",
          flush=True)
    if not os.path.exists(os.path.join(BUILD, "build.ninja")):
        status, output = run(["cmake", "-S", SRC, "-B", BUILD, "-G", "Ninja"])
        if status != 0:
            sys.exit("mutants: cmake failed\n" + output)
    programs = sorted({t for f in faults for t in f.tests})
    status, output = build({split_test(t)[0] for t in programs})
    if status != 0:
        sys.exit("mutants: the unchanged tree does not build\n" + last_lines(output))

    # The tests must pass on the unchanged tree, or every fault would look killed.
    baseline = {}
    for program in programs:
        status, output, seconds = run_test(program, 900)
        if status != 0:
            sys.exit(f"mutants: {program} fails on the unchanged tree\n" + last_lines(output))
        baseline[program] = seconds
    print(f"mutants: the {len(programs)} test runs pass unchanged "
          f"({sum(baseline.values()):.0f} s)", flush=True)

    for k, fault in enumerate(faults, 1):
        begun = time.monotonic()
        judge(fault, baseline)
        line = (f"[{k}/{len(faults)}] {fault.outcome:15} {time.monotonic() - begun:4.0f} s  "
                f"{fault.path}:{fault.number}  {fault.rule}")
        if fault.detail and fault.outcome != "did not compile":
            line += f"  -- {fault.detail}"
        print(line, flush=True)
        if fault.outcome == "did not compile":
            print("    " + fault.detail.replace("\n", "\n    "), flush=True)

    # The build tree keeps the objects of the last fault; rebuild the clean ones.
    build({split_test(t)[0] for t in programs})

    failures = []
    for f in faults:
        if f.outcome == "survived" and not f.note:
            failures.append(f"survived: {f.path}:{f.number}  {f.rule}")
        if f.outcome == "killed" and f.note:
            failures.append(f"killed although marked equivalent: {f.path}:{f.number}  {f.rule}")

    print("\nmutants: by area (killed / faults)")
    areas = {}
    for f in faults:
        entry = areas.setdefault(area(f.path), [0, 0])
        entry[0] += f.outcome == "killed"
        entry[1] += 1
    for name, (killed, total) in sorted(areas.items()):
        print(f"    {name:15} {killed:3} / {total}")
    for f in faults:
        if f.note:
            print(f"    equivalent ({f.outcome}): {f.path}:{f.number}  {f.rule}: {f.note}")
    counts = {o: sum(f.outcome == o for f in faults)
              for o in ("killed", "survived", "did not compile", "not applied")}
    minutes = (time.monotonic() - started) / 60
    load_after = os.getloadavg()
    print(f"mutants: {counts['killed']}/{len(faults)} killed, {counts['survived']} survived "
          f"({sum(1 for f in faults if f.note)} marked equivalent), "
          f"{counts['did not compile']} did not compile, {counts['not applied']} not applied; "
          f"{minutes:.1f} min, load average {load_before[0]:.2f} before, "
          f"{load_after[0]:.2f} / {load_after[1]:.2f} / {load_after[2]:.2f} after")
    for line in failures:
        print("mutants: " + line)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
