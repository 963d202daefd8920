#!/usr/bin/python3
"""Runs CTest in a build folder and judges what failed:

    scripts/run-ctest.py BUILD_DIR [ctest arguments...]

Fails when no test ran. A case that failed is run again, at most twice, only when its output
shows the one known cause that is not a fault of ours: libjack's "Cannot open NAME client", which
it prints when two clients of one name register at the same moment on the dummy servers of
parallel tests (the fixtures retry that themselves; this covers what is left). A case whose output
holds a sanitizer report, or that failed for any other reason, fails the run at once, and every
rerun is named in the summary.

The cases that start a JACK server run no more at once than the build folder's resource spec
(jack-resources.json, written by tests/CMakeLists.txt) has "jack" slots. With PELLMIX_CTEST_REPORT
set to a file name, the run's cases that failed at first, those run again and those that failed
in the end are written there as JSON (scripts/soak.sh reads it).
"""
import json
import os
import re
import subprocess
import sys
import xml.etree.ElementTree as ET

JACK_COLLISION = re.compile(r"^Cannot open \S+ client$", re.MULTILINE)
SANITIZER_REPORT = re.compile(r"(Address|Leak|Thread|Memory|UndefinedBehavior|Realtime)Sanitizer|runtime error:")
RERUNS = 2


def run_ctest(build, args, junit):
    if os.path.exists(junit):
        os.remove(junit)
    command = ["ctest", "--output-on-failure", "--no-tests=error", "--output-junit", junit]
    spec = os.path.join(build, "jack-resources.json")
    if os.path.exists(spec) and not any(a.startswith("--resource-spec-file") for a in args):
        command += ["--resource-spec-file", spec]
    command += args
    status = subprocess.call(command, cwd=build)
    cases = []
    if os.path.exists(junit):
        for case in ET.parse(junit).getroot().iter("testcase"):
            output = case.findtext("system-out") or ""
            cases.append((case.get("name"), case.get("status"), output))
    return status, cases


def without_name_filter(args):
    # The reruns select their cases by name; other selections (labels, exclusions) stay.
    kept, skip = [], False
    for a in args:
        if skip:
            skip = False
        elif a in ("-R", "--tests-regex"):
            skip = True
        elif not a.startswith(("-R", "--tests-regex=")):
            kept.append(a)
    return kept


def exact(names):
    # ctest -R takes a regular expression; every name is matched whole.
    return "^(" + "|".join(re.escape(n) for n in names) + ")$"


def write_report(ran, failed_first, rerun, fatal):
    path = os.environ.get("PELLMIX_CTEST_REPORT")
    if path:
        with open(path, "w") as out:
            json.dump({"ran": len(ran), "failed": failed_first, "rerun": rerun, "fatal": fatal}, out, indent=1)


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    build, args = os.path.abspath(sys.argv[1]), sys.argv[2:]
    junit = os.path.join(build, "ctest-junit.xml")

    status, cases = run_ctest(build, args, junit)
    ran = [c for c in cases if c[1] in ("run", "fail")]
    skipped = len(cases) - len(ran)
    if not ran:
        write_report(ran, [], [], ["(no test ran)"])
        print("ctest: no test ran in %s" % build)
        return 1
    failed = [c for c in cases if c[1] == "fail"]
    failed_first = [n for n, _, _ in failed]
    if status != 0 and not failed:
        write_report(ran, [], [], ["(ctest status %d with no failed case)" % status])
        print("ctest: failed (status %d) with no failed case to show; see the output above" % status)
        return 1

    rerun = []
    for attempt in range(RERUNS + 1):
        fatal = [n for n, _, out in failed if SANITIZER_REPORT.search(out) or not JACK_COLLISION.search(out)]
        if fatal or not failed:
            break
        if attempt == RERUNS:
            fatal = [n for n, _, _ in failed]
            break
        names = [n for n, _, _ in failed]
        rerun += [n for n in names if n not in rerun]
        print("ctest: running again after a JACK client-name collision: %s" % ", ".join(names))
        _, again = run_ctest(build, without_name_filter(args) + ["-R", exact(names)], junit)
        failed = [c for c in again if c[1] == "fail"]
        if not again:
            fatal = names
            break

    write_report(ran, failed_first, rerun, fatal)
    summary = "ctest: %d tests ran, %d skipped" % (len(ran), skipped)
    if rerun:
        summary += "; run again after a JACK client-name collision: %s" % ", ".join(rerun)
    if fatal:
        print(summary + "; FAILED: %s" % ", ".join(fatal))
        return 1
    print(summary + "; all passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
