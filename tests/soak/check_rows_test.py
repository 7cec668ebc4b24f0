#!/usr/bin/env python3
"""Checks that scripts/soak/check_rows.py passes a sound run and catches each
fault it is there to catch, on small data files made here. Run by hand:

    python3 tests/soak/check_rows_test.py

(not part of ctest; the soak itself is not either)."""

import os
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
CHECKER = os.path.join(HERE, "..", "..", "scripts", "soak", "check_rows.py")
HEADER = "2.00\r\nPC\r\n0001\r\nauto\r\n時刻,カウント値,リトライ,電源ステータス\r\n"
ENV = dict(os.environ, TZ="UTC")


def utc(y, mo, d, h, mi, s):
    return int(time.mktime((y, mo, d, h, mi, s, 0, 0, -1)))


class Run:
    """A measurement from 23:59:40 for 40 seconds, through midnight into the
    next year's folder; the unit sent the frame for second t at t + 1 with
    count 100 + i."""

    def __init__(self):
        os.environ["TZ"] = "UTC"
        time.tzset()
        self.start = utc(2026, 12, 31, 23, 59, 40)
        self.rows = []  # [epoch, count text, retry]
        self.sent = []
        for i in range(40):
            self.rows.append([self.start + i, f"{100 + i:08.3f}", 0])
            self.sent.append((self.start + i + 1, 100 + i))
        self.faults = []
        self.line_end = "\r\n"

    def write(self, folder):
        files = {}
        for epoch, count, retry in self.rows:
            t = time.gmtime(epoch)
            key = (t.tm_year, t.tm_mon, t.tm_mday)
            files.setdefault(key, []).append(f"{t.tm_hour:02d}:{t.tm_min:02d}:{t.tm_sec:02d},{count},{retry},0")
        first = True
        for (y, mo, d), lines in sorted(files.items()):
            day = os.path.join(folder, "Velrix", f"{y:04d}", f"{mo:02d}", f"{d:02d}")
            os.makedirs(day, exist_ok=True)
            name = f"{y % 100:02d}{mo:02d}{d:02d}-" + (lines[0][:8].replace(":", "") if first else "000000") + ".csv"
            first = False
            text = HEADER + "".join(line + "\r\n" for line in lines)
            with open(os.path.join(day, name), "wb") as f:
                f.write(text.replace("\r\n", self.line_end).encode("cp932"))
        with open(os.path.join(folder, "sent.log"), "w") as f:
            f.writelines(f"{s} {c}\n" for s, c in self.sent)
        with open(os.path.join(folder, "faults"), "w") as f:
            f.writelines(f"{a} {b} {what}\n" for a, b, what in self.faults)

    def check(self):
        with tempfile.TemporaryDirectory() as folder:
            self.write(folder)
            done = subprocess.run(
                [sys.executable, CHECKER, "--label", "t", "--data", os.path.join(folder, "Velrix"),
                 "--sent", os.path.join(folder, "sent.log"), "--faults", os.path.join(folder, "faults"),
                 "--margin", "2"],
                env=ENV, capture_output=True, text=True)
            return done.returncode, done.stdout


class CheckRowsTest(unittest.TestCase):
    def assertFails(self, run, text):
        code, out = run.check()
        self.assertEqual(code, 1, out)
        self.assertIn(text, out)

    def test_a_sound_run_through_midnight_passes(self):
        code, out = Run().check()
        self.assertEqual(code, 0, out)
        self.assertIn("2 files, 40 rows", out)
        self.assertIn("no lost second", out)

    def test_missing_seconds_pass_only_inside_a_fault(self):
        run = Run()
        for i in (10, 11):
            run.rows[i][1:] = ["0000.000", 1]
        run.sent = run.sent[:10] + run.sent[12:]
        code, out = run.check()
        self.assertEqual(code, 0, out)  # the unit sent nothing then: its own gap
        self.assertIn("2 missing seconds inside: unit sent nothing", out)

        run = Run()
        run.rows[30][1:] = ["0000.000", 1]
        run.sent[30] = (run.sent[30][0], 999)
        self.assertFails(run, "missing second outside every fault window")
        run.faults.append((run.start + 28, run.start + 32, "stray bytes"))
        code, out = run.check()
        self.assertEqual(code, 0, out)
        self.assertIn("1 missing seconds inside: stray bytes", out)

    def test_a_second_twice_or_a_hole_fails(self):
        run = Run()
        run.rows.insert(21, list(run.rows[20]))
        self.assertFails(run, "follows 00:00:00")
        run = Run()
        del run.rows[25]
        self.assertFails(run, "row 00:00:06 follows 00:00:04")

    def test_a_frame_recorded_twice_or_never_fails(self):
        run = Run()
        run.rows[16][1] = run.rows[15][1]
        self.assertFails(run, "a frame recorded twice")
        # A frame the program let fall: the rows after it hold the frames
        # sent a second later, which a link still within its slack allows.
        run = Run()
        run.sent = run.sent[:5] + [(run.sent[5][0], 555)] + [(s + 1, c) for s, c in run.sent[5:]]
        self.assertFails(run, "the unit sent count 555 at 2026-12-31 23:59:46; no row holds it")

    def test_a_count_the_unit_never_sent_fails(self):
        run = Run()
        run.rows[33][1] = "0042.000"
        self.assertFails(run, "count 42 was not sent")

    def test_rows_that_stand_at_the_wrong_second_fail(self):
        run = Run()
        run.sent = [(s + 120, c) for s, c in run.sent]
        self.assertFails(run, "40 rows from 2026-12-31 23:59:40 to 2027-01-01 00:00:19 stand 121 s before")

    def test_a_day_file_that_ends_early_fails(self):
        run = Run()
        del run.rows[19]  # 23:59:59
        self.assertFails(run, "ends at 23:59:58, not 23:59:59")

    def test_line_ends_other_than_cr_lf_fail(self):
        run = Run()
        run.line_end = "\n"
        self.assertFails(run, "does not end with CR LF")


if __name__ == "__main__":
    unittest.main()
