#!/usr/bin/env python3
"""Applies each mutant of tools/mutants/ to a scratch copy of the tree, builds
it, runs the tests its header names and says whether they caught it.

    tools/mutants/run.py [--baseline] [NN ...]

NN selects mutants by the start of their file name (also MUTANTS="03 07").
The copy lives in $BUILD/mutants/tree (default build/mutants/tree) with one
persistent build folder inside it, so each mutant is an incremental build;
the real tree is never written. --baseline runs the same tests without the
mutants, which must all pass. Exits non-zero if any mutant survived, did not
build or did not apply.
"""

import os
import re
import shutil
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
MUTANTS = Path(os.environ.get("MUTANTS_DIR") or ROOT / "tools" / "mutants").resolve()
SCRATCH = (ROOT / os.environ.get("BUILD", "build")).resolve() / "mutants"
TREE = SCRATCH / "tree"
BUILD = TREE / "build"
JOBS = os.environ.get("JOBS") or str(os.cpu_count() or 2)
NICE = ["nice", "-n", os.environ.get("MUTANTS_NICE", "10")]


def tracked_files():
    out = subprocess.run(
        ["git", "ls-files", "-z", "--cached", "--others", "--exclude-standard"],
        cwd=ROOT, check=True, capture_output=True).stdout
    return {Path(p.decode()) for p in out.split(b"\0") if p and (ROOT / p.decode()).is_file()}


def sync():
    """Makes the copy equal to the real tree. A file is written only when its
    content differs, and then with a fresh time, so that undoing a mutant
    rebuilds what the mutant touched and nothing else."""
    wanted = tracked_files()
    for rel in wanted:
        src, dst = ROOT / rel, TREE / rel
        data = src.read_bytes()
        if dst.is_file() and dst.read_bytes() == data:
            continue
        dst.parent.mkdir(parents=True, exist_ok=True)
        dst.write_bytes(data)
        shutil.copymode(src, dst)
    for path in TREE.rglob("*"):
        rel = path.relative_to(TREE)
        if rel.parts[0] == "build" or not path.is_file():
            continue
        if rel not in wanted:
            path.unlink()


def header(patch):
    tests, about = None, ""
    for line in patch.read_text().splitlines():
        if line.startswith("diff --git") or line.startswith("--- "):
            break
        if line.startswith("Tests:"):
            tests = line.split(":", 1)[1].strip()
        elif line.strip() and not about:
            about = line.strip()
    return tests, about


def run(cmd, log, **kw):
    with open(log, "w") as f:
        return subprocess.run(cmd, stdout=f, stderr=subprocess.STDOUT, **kw).returncode


def apply(patch, log):
    # Outside any repository (the copy sits inside the worktree's build
    # folder): git apply then works on plain files like patch(1).
    env = dict(os.environ, GIT_CEILING_DIRECTORIES=str(SCRATCH))
    return run(["git", "apply", "--whitespace=nowarn", str(patch)], log, cwd=TREE,
               env=env) == 0


def tests_matching(regex):
    out = subprocess.run(["ctest", "-N", "-R", regex], cwd=BUILD, capture_output=True,
                         text=True).stdout
    return re.findall(r"^\s*Test\s+#\d+: (\S+)$", out, re.M)


def targets_for(names):
    targets = set()
    for name in names:
        folder = name.split(".", 1)[0]
        targets |= {"pendra"} if folder == "session" else {"test_" + folder}
    return sorted(targets)


def build(targets, log):
    cmd = NICE + ["cmake", "--build", str(BUILD), "-j", JOBS]
    for t in targets:
        cmd += ["--target", t]
    return run(cmd, log) == 0


def failed_tests(regex, log):
    rc = run(NICE + ["ctest", "-R", regex, "--output-on-failure", "--timeout", "600"], log,
             cwd=BUILD)
    text = Path(log).read_text(errors="replace")
    failed = re.findall(r"^\s*\d+ - (\S+) \((?:Failed|Timeout|SEGFAULT|Subprocess aborted|"
                        r"Exception|Not Run|[^)]*)\)", text, re.M)
    if rc != 0 and not failed:
        failed = ["ctest exit %d" % rc]
    return failed


def short(names):
    return ", ".join(names[:3]) + (" and %d more" % (len(names) - 3) if len(names) > 3 else "")


def main(argv):
    baseline = "--baseline" in argv
    wanted = [a for a in argv if a != "--baseline"] + os.environ.get("MUTANTS", "").split()
    wanted = [w for part in wanted for w in part.split(",") if w]
    patches = sorted(p for p in MUTANTS.glob("*.patch")
                     if not wanted or any(p.name.startswith(w) for w in wanted))
    if not patches:
        print("no mutants match", " ".join(wanted))
        return 2
    logs = SCRATCH / "logs"
    logs.mkdir(parents=True, exist_ok=True)
    started = time.monotonic()
    sync()
    if not (BUILD / "CMakeCache.txt").exists():
        if run(["cmake", "-S", str(TREE), "-B", str(BUILD)], logs / "configure.log") != 0:
            print("the scratch copy does not configure: see", logs / "configure.log")
            return 2
    if not build([], logs / "build.log"):
        print("the scratch copy does not build without mutants: see", logs / "build.log")
        return 2

    counts = {"caught": 0, "SURVIVED": 0, "DID NOT BUILD": 0, "patch does not apply": 0,
              "NO TESTS": 0}
    for patch in patches:
        t0 = time.monotonic()
        name = patch.stem
        tests, about = header(patch)
        log = logs / name
        sync()
        names = tests_matching(tests) if tests else []
        if not names:
            verdict = "NO TESTS"
            line = "NO TESTS match %r" % tests
        elif not baseline and not apply(patch, str(log) + ".apply.log"):
            verdict = line = "patch does not apply"
        elif not build(targets_for(names), str(log) + ".build.log"):
            verdict = line = "DID NOT BUILD"
        else:
            failed = failed_tests(tests, str(log) + ".ctest.log")
            if baseline:
                verdict = "caught" if not failed else "SURVIVED"
                line = ("passes: %d test(s)" % len(names) if not failed else
                        "FAILS WITHOUT THE MUTANT: " + short(failed))
            else:
                verdict = "caught" if failed else "SURVIVED"
                line = "caught by " + short(failed) if failed else "SURVIVED"
        counts[verdict] += 1
        print("%-40s %s  (%ds)" % (name, line, time.monotonic() - t0), flush=True)
        if not baseline and verdict != "caught":
            print("    %s; logs: %s.*" % (about, log), flush=True)
    sync()
    elapsed = int(time.monotonic() - started)
    bad = sum(v for k, v in counts.items() if k != "caught")
    if baseline:
        print("baseline: %d mutants' tests, passing %d, failing %d, did not build %d, no tests %d"
              " (%d:%02d)" % (len(patches), counts["caught"], counts["SURVIVED"],
                              counts["DID NOT BUILD"], counts["NO TESTS"], elapsed // 60,
                              elapsed % 60))
    else:
        print("mutants: %d, caught %d, survived %d, did not build %d, did not apply %d, no tests %d"
              " (%d:%02d)" % (len(patches), counts["caught"], counts["SURVIVED"],
                              counts["DID NOT BUILD"], counts["patch does not apply"],
                              counts["NO TESTS"], elapsed // 60, elapsed % 60))
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
