#!/usr/bin/env python3
"""Prints what failed in a build folder's last ctest run, briefly.

    ctest-failures.py BUILD_FOLDER

A run's log can be long enough that only its end is kept where it is read
(a CI summary): this repeats each failed test's name with the lines around
its failures, its sanitizer report or its last lines, so the cause stands at
the end of the log. Reads <BUILD_FOLDER>/Testing/Temporary/LastTest.log."""

import pathlib
import sys

# Enough to show an assertion with its operands and a sanitizer's first
# frames; a line as long as a whole data file is cut.
LINES_PER_TEST = 40
CHARS_PER_LINE = 600
MARKERS = ("Failure", "ERROR: ", "runtime error:", "WARNING: ThreadSanitizer",
           "Timeout", "Exception", "terminate called")


def blocks(log):
    """(name, output lines, passed) of each test in the log."""
    name, lines, inside = None, [], False
    for line in log.splitlines():
        if line.startswith("Output:"):
            inside, lines = True, []
        elif line == "<end of output>":
            inside = False
        elif inside:
            lines.append(line)
        elif " Test: " in line and name is None:
            name = line.split(" Test: ", 1)[1].strip()
        elif line in ("Test Passed.", "Test Failed."):
            yield name, lines, line == "Test Passed."
            name, lines = None, []


def excerpt(lines):
    marked = [i for i, line in enumerate(lines) if any(m in line for m in MARKERS)]
    if not marked:
        return lines[-LINES_PER_TEST:]
    picked, seen = [], set()
    for i in marked:
        for j in range(max(0, i - 2), min(len(lines), i + 8)):
            if j not in seen:
                seen.add(j)
                picked.append(lines[j])
        if len(picked) >= LINES_PER_TEST:
            break
    return picked[:LINES_PER_TEST]


def main():
    log_path = pathlib.Path(sys.argv[1]) / "Testing" / "Temporary" / "LastTest.log"
    if not log_path.exists():
        print(f"ctest-failures: no log at {log_path}")
        return
    log = log_path.read_text(encoding="utf-8", errors="replace")
    failed = [(n, l) for n, l, passed in blocks(log) if not passed]
    print(f"ctest-failures: {len(failed)} failed in {sys.argv[1]}")
    for name, lines in failed:
        print(f"--- {name}")
        for line in excerpt(lines):
            print(line[:CHARS_PER_LINE] + (" ..." if len(line) > CHARS_PER_LINE else ""))


if __name__ == "__main__":
    main()
