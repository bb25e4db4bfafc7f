#!/usr/bin/env python3
"""Plants faults in a scratch copy of the tree, one at a time, and records
which tests of the suite catch each one.

    plant.py run [options] [ID|PATTERN ...]   plant the faults (all, or those named)
    plant.py check [ID|PATTERN ...]           only check that each fault's text is found
    plant.py show RESULT.json                 print the table of a run again
    plant.py compare BEFORE.json AFTER.json   faults caught before and not after

The faults are listed in faults.txt beside this script (format described
there). The scratch tree (default: build-faults/ in the repository, ignored
by git) holds a copy of the working tree, changes included, in src/ and one
build directory in build/, both reused by every fault and every run, so that
a fault only rebuilds what it touches. Standard library only.
"""

import argparse
import fnmatch
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
DEFAULT_FAULTS = os.path.join(HERE, "faults.txt")
DEFAULT_SCRATCH = os.path.join(ROOT, "build-faults")

# What became of a planted fault.
CAUGHT = "caught"
MISSED = "missed"
STALE = "stale"  # its original text is no longer found
AMBIGUOUS = "ambiguous"  # its original text is found more than once
NO_COMPILE = "does not compile"  # a bad fault: rewrite it

CMAKE_OPTIONS = [
    "-DCMAKE_BUILD_TYPE=Release",
    "-DPSFPICK_TESTS=ON",
    "-DPSFPICK_CROSSCHECK=ON",
    "-DPSFPICK_BENCH=OFF",
    "-DPSFPICK_WERROR=OFF",  # a fault that only warns is still measured
]


# ------------------------------------------------------------ fault list


class Fault:
    def __init__(self, fid, lineno):
        self.id = fid
        self.defined_at = lineno  # line of faults.txt
        self.file = None
        self.find = None
        self.plant = None
        self.what = ""
        self.line = None
        self.moving = ""


KEYS = ("file", "find", "plant", "what", "line", "moving")


def read_faults(path):
    """The faults of the list file, in order; exits on a malformed list."""
    faults, errors = [], []
    current = None
    with open(path, encoding="utf-8") as f:
        for n, raw in enumerate(f, 1):
            text = raw.rstrip("\n")
            if not text.strip() or text.startswith("#"):
                continue
            m = re.fullmatch(r"\[([A-Za-z0-9_.-]+)\]", text)
            if m:
                current = Fault(m.group(1), n)
                faults.append(current)
                continue
            m = re.fullmatch(r"([a-z]+):(?: (.*))?", text)
            if not m or m.group(1) not in KEYS or current is None:
                errors.append(f"{path}:{n}: not understood: {text!r}")
                continue
            key, value = m.group(1), m.group(2) or ""
            if key == "line":
                if not value.isdigit():
                    errors.append(f"{path}:{n}: line must be a number")
                    continue
                value = int(value)
            setattr(current, key, value)
    seen = set()
    for fault in faults:
        where = f"{path}:{fault.defined_at}: [{fault.id}]"
        if fault.id in seen:
            errors.append(f"{where} defined twice")
        seen.add(fault.id)
        for key in ("file", "find", "plant"):
            if getattr(fault, key) is None:
                errors.append(f"{where} has no {key}")
        if fault.find == "":
            errors.append(f"{where}: find is empty")
        if fault.find is not None and fault.find == fault.plant:
            errors.append(f"{where}: plant equals find")
    if errors:
        sys.exit("\n".join(errors))
    return faults


def select_faults(faults, patterns):
    if not patterns:
        return faults
    chosen = [f for f in faults if any(fnmatch.fnmatchcase(f.id, p) for p in patterns)]
    unknown = [p for p in patterns if not any(fnmatch.fnmatchcase(f.id, p) for f in faults)]
    if unknown:
        sys.exit("no fault matches: " + ", ".join(unknown))
    return chosen


def locate(fault, text):
    """(offset, note) of the fault's text in the file's text, or (None, status)."""
    starts = [m.start() for m in re.finditer(re.escape(fault.find), text)]
    if not starts:
        return None, STALE
    line_of = lambda offset: text.count("\n", 0, offset) + 1
    if fault.line is not None:
        on_line = [s for s in starts if line_of(s) == fault.line]
        if len(on_line) == 1:
            return on_line[0], ""
        if len(starts) == 1:
            return starts[0], f"moved from line {fault.line} to {line_of(starts[0])}"
        return None, AMBIGUOUS
    if len(starts) > 1:
        return None, AMBIGUOUS
    return starts[0], ""


# ------------------------------------------------------------ scratch tree


def run(cmd, cwd=None, log=None, timeout=None):
    """Runs cmd; returns (exit status or None on timeout, output text)."""
    proc = subprocess.Popen(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            text=True, errors="replace", start_new_session=True)
    try:
        out, _ = proc.communicate(timeout=timeout)
        status = proc.returncode
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)  # the process group this call started
        out, _ = proc.communicate()
        status = None
    if log:
        with open(log, "w", encoding="utf-8") as f:
            f.write(out)
    return status, out


def same_content(a, b):
    if os.path.getsize(a) != os.path.getsize(b):
        return False
    with open(a, "rb") as fa, open(b, "rb") as fb:
        return fa.read() == fb.read()


def sync_tree(src):
    """Makes src a copy of the working tree (tracked and untracked files that
    git does not ignore); only files whose content differs are written, so
    that the build directory stays up to date for the rest."""
    status, out = run(["git", "-C", ROOT, "ls-files", "-z", "--cached", "--others",
                       "--exclude-standard"])
    if status != 0:
        sys.exit("git ls-files failed:\n" + out)
    wanted = {p for p in out.split("\0") if p and os.path.isfile(os.path.join(ROOT, p))}
    copied = 0
    for rel in sorted(wanted):
        a, b = os.path.join(ROOT, rel), os.path.join(src, rel)
        if os.path.isfile(b) and same_content(a, b):
            if os.stat(a).st_mode != os.stat(b).st_mode:
                shutil.copymode(a, b)
            continue
        os.makedirs(os.path.dirname(b), exist_ok=True)
        shutil.copyfile(a, b)  # a fresh modification time: make rebuilds it
        shutil.copymode(a, b)
        copied += 1
    removed = 0
    for dirpath, _, files in os.walk(src):
        for name in files:
            rel = os.path.relpath(os.path.join(dirpath, name), src)
            if rel not in wanted:
                os.remove(os.path.join(dirpath, name))
                removed += 1
    return copied, removed


def configure(src, build):
    status, out = run(["cmake", "-S", src, "-B", build] + CMAKE_OPTIONS,
                      log=os.path.join(os.path.dirname(build), "configure.log"))
    if status != 0:
        sys.exit("configuring the scratch build failed:\n" + out[-3000:])


def build_tree(build, jobs):
    """(built, the first errors, whether a test program failed to list its
    tests, which gtest_discover_tests does right after linking it)."""
    log = os.path.join(os.path.dirname(build), "build.log")
    status, out = run(["cmake", "--build", build, "-j", str(jobs)], log=log)
    if status == 0:
        return True, "", False
    errors = [l for l in out.splitlines() if "error" in l.lower()]
    return False, "\n".join(errors[:8]) or out[-2000:], "Error running test executable" in out


RESULT_LINE = re.compile(r"^\s*\d+/\d+ Test\s+#\d+: (\S+) \.*\s*(.*?)\s+[\d.]+ sec\s*$")


def run_tests(build, jobs, timeout):
    """(failing test names, whether ctest finished in time, seconds)."""
    start = time.monotonic()
    status, out = run(["ctest", "-j", str(jobs), "--no-tests=error"], cwd=build,
                      log=os.path.join(os.path.dirname(build), "ctest.log"), timeout=timeout)
    failed, seen = set(), 0
    for line in out.splitlines():
        m = RESULT_LINE.match(line)
        if m:
            seen += 1
            if m.group(2) != "Passed":
                failed.add(m.group(1))
    if status is not None and status != 0 and not failed:
        failed.add("ctest: exit status %d" % status)  # e.g. no tests found
    if status is None:
        failed.add("ctest: timed out after %d s" % timeout)
    return failed, status is not None, time.monotonic() - start


TEST_DEFINITION = re.compile(r"^\s*(?:TEST|TEST_F|TEST_P|TYPED_TEST)\(\s*(\w+)\s*,\s*(\w+)\s*\)",
                             re.MULTILINE)


def test_folders(src):
    """Suite.Name -> the folder of tests/ that defines the test (its layer)."""
    folders = {}
    tests = os.path.join(src, "tests")
    for dirpath, _, files in os.walk(tests):
        for name in files:
            if not name.endswith(".cpp"):
                continue
            with open(os.path.join(dirpath, name), encoding="utf-8", errors="replace") as f:
                for m in TEST_DEFINITION.finditer(f.read()):
                    folders[m.group(1) + "." + m.group(2)] = os.path.relpath(dirpath, tests)
    return folders


def layer_counts(names, folders):
    """The folders of tests/ that hold the failing tests, with counts: "apps 3, select 1"."""
    counts = {}
    for n in names:
        folder = folders.get(re.sub(r"/\d+$", "", n.split("/", 1)[-1]), "?")
        counts[folder] = counts.get(folder, 0) + 1
    return ", ".join(f"{k} {v}" for k, v in sorted(counts.items()))


# ------------------------------------------------------------ output


def wrap_names(names, width=100, indent="      "):
    lines, line = [], indent
    for name in names:
        piece = name + ", "
        if len(line) + len(piece) > width and line.strip():
            lines.append(line.rstrip(", "))
            line = indent
        line += piece
    if line.strip():
        lines.append(line.rstrip(", "))
    return lines


def short_names(names, limit=12):
    """The failing tests by name; beyond limit, grouped by test suite."""
    names = sorted(names)
    if len(names) <= limit:
        return names
    suites = {}
    for n in names:
        suites.setdefault(n.split(".")[0], []).append(n)
    return [f"{s}.* ({len(v)})" if len(v) > 1 else v[0] for s, v in sorted(suites.items())]


def print_result(r, out=sys.stdout):
    mark = {CAUGHT: "yes", MISSED: "NO"}.get(r["status"], r["status"])
    tests = r.get("failing", [])
    count = f"{len(tests)} test{'s' if len(tests) != 1 else ''}" if tests else ""
    print(f"{r['id']:<32} {mark:<16} {count:>10}  {r['what']}", file=out)
    if r.get("note"):
        print("      note: " + r["note"], file=out)
    if r.get("moving"):
        print("      may move: " + r["moving"], file=out)
    if r["status"] == CAUGHT:
        if r.get("layers"):
            print("      layers: " + r["layers"], file=out)
        for line in wrap_names(short_names(tests)):
            print(line, file=out)
    if r.get("errors"):
        for line in r["errors"].splitlines():
            print("      | " + line[:160], file=out)
    out.flush()


def print_table(data, out=sys.stdout):
    print(f"{'fault':<32} {'caught':<16} {'by':>10}  what goes wrong", file=out)
    for r in data["results"]:
        print_result(r, out)
    print_summary(data, out)


def print_summary(data, out=sys.stdout):
    results = data["results"]
    count = lambda s: sum(1 for r in results if r["status"] == s)
    print(file=out)
    print(f"{len(results)} faults: {count(CAUGHT)} caught, {count(MISSED)} missed, "
          f"{count(STALE)} stale, {count(AMBIGUOUS)} ambiguous, "
          f"{count(NO_COMPILE)} do not compile", file=out)
    missed = [r["id"] for r in results if r["status"] == MISSED]
    if missed:
        print("missed: " + ", ".join(missed), file=out)
    bad = [r["id"] for r in results if r["status"] not in (CAUGHT, MISSED)]
    if bad:
        print("to rewrite: " + ", ".join(bad), file=out)
    if "seconds" in data:
        print(f"time: {data['seconds'] / 60:.1f} min (baseline build and tests "
              f"{data['baseline_seconds']:.0f} s, tests alone {data['baseline_test_seconds']:.0f} s)",
              file=out)


# ------------------------------------------------------------ commands


def cmd_check(args):
    faults = select_faults(read_faults(args.faults), args.ids)
    problems = 0
    for fault in faults:
        path = os.path.join(ROOT, fault.file)
        if not os.path.isfile(path):
            status, note = STALE, "no file " + fault.file
        else:
            with open(path, encoding="utf-8") as f:
                offset, note = locate(fault, f.read())
            status = "ok" if offset is not None else note
            note = note if offset is not None else ""
        if status != "ok" or note:
            problems += status != "ok"
            print(f"{fault.id:<32} {status:<10} {fault.file} {note}")
    print(f"{len(faults)} faults, {problems} not found or ambiguous")
    return 1 if problems else 0


def cmd_run(args):
    if args.nice:
        os.nice(args.nice)
    faults = select_faults(read_faults(args.faults), args.ids)
    args.json = args.json or os.path.join(args.scratch, "faults.json")
    src = os.path.join(args.scratch, "src")
    build = os.path.join(args.scratch, "build")
    os.makedirs(src, exist_ok=True)
    began = time.monotonic()

    copied, removed = sync_tree(src)
    print(f"scratch tree {src}: {copied} files copied, {removed} removed", flush=True)
    configure(src, build)
    ok, errors, _ = build_tree(build, args.jobs)
    if not ok:
        sys.exit("the unchanged tree does not build:\n" + errors)
    baseline_failed, finished, test_seconds = run_tests(build, args.jobs, args.suite_timeout)
    if not finished:
        sys.exit("the unchanged suite did not finish within %d s" % args.suite_timeout)
    if baseline_failed:
        print("warning: these tests fail on the unchanged tree and are not counted:\n  " +
              "\n  ".join(sorted(baseline_failed)), flush=True)
    baseline_seconds = time.monotonic() - began
    print(f"baseline: built and tested in {baseline_seconds:.0f} s "
          f"(tests {test_seconds:.0f} s)\n", flush=True)
    print(f"{'fault':<32} {'caught':<16} {'by':>10}  what goes wrong", flush=True)

    folders = test_folders(src)
    results = []
    for fault in faults:
        t0 = time.monotonic()
        r = {"id": fault.id, "file": fault.file, "what": fault.what, "status": None,
             "failing": [], "note": "", "moving": fault.moving}
        path = os.path.join(src, fault.file)
        original = None
        if os.path.isfile(path):
            with open(path, encoding="utf-8") as f:
                original = f.read()
        offset, note = locate(fault, original) if original is not None else (None, STALE)
        if offset is None:
            r["status"] = note
        else:
            r["note"] = note
            planted = original[:offset] + fault.plant + original[offset + len(fault.find):]
            with open(path, "w", encoding="utf-8") as f:
                f.write(planted)
            try:
                ok, errors, discovery = build_tree(build, args.jobs)
                if not ok and not discovery:
                    r["status"] = NO_COMPILE
                    r["errors"] = errors
                else:
                    failed = {"test discovery failed"} if not ok else set()
                    if ok:
                        failed, _, _ = run_tests(build, args.jobs, args.suite_timeout)
                    failed -= baseline_failed
                    r["failing"] = sorted(failed)
                    r["layers"] = layer_counts(failed, folders)
                    r["status"] = CAUGHT if failed else MISSED
            finally:
                # Written anew (a new modification time), so the next build
                # compiles the original again.
                with open(path, "w", encoding="utf-8") as f:
                    f.write(original)
        r["seconds"] = round(time.monotonic() - t0, 1)
        results.append(r)
        print_result(r)

    # Leave the scratch build matching the tree.
    build_tree(build, args.jobs)
    data = {
        "tree": git_description(),
        "date": time.strftime("%Y-%m-%d %H:%M:%S"),
        "seconds": round(time.monotonic() - began),
        "baseline_seconds": round(baseline_seconds),
        "baseline_test_seconds": round(test_seconds),
        "baseline_failing": sorted(baseline_failed),
        "results": results,
    }
    with open(args.json, "w", encoding="utf-8") as f:
        json.dump(data, f, indent=1)
        f.write("\n")
    print_summary(data)
    print(f"results: {args.json}")
    return 0


def git_description():
    status, out = run(["git", "-C", ROOT, "describe", "--always", "--dirty"])
    return out.strip() if status == 0 else "unknown"


def load(path):
    with open(path, encoding="utf-8") as f:
        return json.load(f)


def cmd_show(args):
    print_table(load(args.result))
    return 0


def cmd_compare(args):
    before, after = load(args.before), load(args.after)
    now = {r["id"]: r for r in after["results"]}
    lost, unmeasured = [], []
    for r in before["results"]:
        if r["status"] != CAUGHT:
            continue
        a = now.get(r["id"])
        if a is None or a["status"] not in (CAUGHT, MISSED):
            unmeasured.append((r, a["status"] if a else "not planted"))
        elif a["status"] == MISSED:
            lost.append(r)
    for r in lost:
        print(f"{r['id']:<32} caught before by {len(r['failing'])} tests, now missed: {r['what']}")
        for line in wrap_names(short_names(r["failing"])):
            print(line)
    for r, status in unmeasured:
        print(f"{r['id']:<32} caught before, now {status}: rewrite the fault and run again")
    gained = [r["id"] for r in after["results"] if r["status"] == CAUGHT and
              any(b["id"] == r["id"] and b["status"] == MISSED for b in before["results"])]
    caught_before = sum(1 for r in before["results"] if r["status"] == CAUGHT)
    print(f"{caught_before} faults caught before ({args.before}); "
          f"{len(lost)} of them missed after ({args.after}), {len(unmeasured)} not measured")
    if gained:
        print("caught after, missed before: " + ", ".join(gained))
    return 1 if lost or unmeasured else 0


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0],
                                formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = p.add_subparsers(dest="command", required=True)

    r = sub.add_parser("run", help="plant the faults and run the suite for each")
    r.add_argument("ids", nargs="*", help="fault ids or shell patterns (default: all)")
    r.add_argument("--faults", default=DEFAULT_FAULTS, help="fault list [%(default)s]")
    r.add_argument("--scratch", default=DEFAULT_SCRATCH, help="scratch folder [%(default)s]")
    r.add_argument("--json", help="result file [SCRATCH/faults.json]")
    r.add_argument("--jobs", type=int, default=2, help="build and test jobs [%(default)s]")
    r.add_argument("--suite-timeout", type=int, default=900,
                   help="seconds the whole suite may take per fault (a hang is a catch) "
                        "[%(default)s]")
    r.add_argument("--nice", type=int, default=10,
                   help="lower the priority by this much, 0: not [%(default)s]")
    r.set_defaults(func=cmd_run)

    c = sub.add_parser("check", help="check that every fault's text is found, without building")
    c.add_argument("ids", nargs="*")
    c.add_argument("--faults", default=DEFAULT_FAULTS)
    c.set_defaults(func=cmd_check)

    s = sub.add_parser("show", help="print the table of a result file")
    s.add_argument("result")
    s.set_defaults(func=cmd_show)

    m = sub.add_parser("compare", help="list faults caught in BEFORE and not in AFTER")
    m.add_argument("before")
    m.add_argument("after")
    m.set_defaults(func=cmd_compare)

    args = p.parse_args()
    sys.exit(args.func(args))


if __name__ == "__main__":
    main()
