#!/usr/bin/env python3
"""Checks that scripts/soak/check_rows.py passes a sound run and catches each
fault it is there to catch, on small data files made here. Run by hand:

    python3 tests/soak/check_rows_test.py

(not part of ctest; the soak itself is not either)."""

import datetime
import os
import subprocess
import sys
import tempfile
import unittest
import zoneinfo

HERE = os.path.dirname(os.path.abspath(__file__))
CHECKER = os.path.join(HERE, "..", "..", "scripts", "soak", "check_rows.py")
HEADER = "2.00\r\nPC\r\n0001\r\nauto\r\n時刻,カウント値,リトライ,電源ステータス\r\n"
NEW_YORK_AUTUMN = dict(zone="America/New_York", begin=(2026, 11, 1, 1, 59, 40))
BERLIN_SPRING = dict(zone="Europe/Berlin", begin=(2026, 3, 29, 1, 59, 40))


class Run:
    """A measurement of `seconds` seconds from the local time `begin` in
    `zone` (by default from 23:59:40 for 40 seconds, through midnight into the
    next year's folder); the unit sent the frame for second t at t + 1 with
    count 100 + i. `steps` are (seconds after the start, seconds) settings of
    the programs' calendar clock, declared to the check; the files take
    `applied` (the same unless a test changes it) and are labelled in
    `label_zone` (the zone unless a test changes it)."""

    def __init__(self, zone="UTC", begin=(2026, 12, 31, 23, 59, 40), seconds=40, steps=()):
        self.zone = zone
        self.label_zone = zoneinfo.ZoneInfo(zone)
        self.start = int(datetime.datetime(*begin, tzinfo=self.label_zone).timestamp())
        self.rows = []  # [unit second, count text, retry]
        self.sent = []
        for i in range(seconds):
            self.rows.append([self.start + i, f"{100 + i:08.3f}", 0])
            self.sent.append((self.start + i + 1, 100 + i))
        self.faults = []
        self.steps = [(self.start + after, delta) for after, delta in steps]
        self.applied = self.steps
        self.split_at = None  # a row that begins a file of its own
        self.line_end = "\r\n"

    def write(self, folder):
        # As the writer does: a new file where the date or the labels'
        # relation to the unit's seconds changes, "-000000" at midnight.
        files = []  # [date, name, lines]
        relation = None
        for n, (second, count, retry) in enumerate(self.rows):
            shift = sum(delta for at, delta in self.applied if second >= at)
            t = datetime.datetime.fromtimestamp(second + shift, self.label_zone)
            date, label = (t.year, t.month, t.day), t.strftime("%H:%M:%S")
            if (date, shift + t.utcoffset().total_seconds()) != relation or n == self.split_at:
                midnight = files and label == "00:00:00" and date != files[-1][0]
                files.append([date, "000000" if midnight else label.replace(":", ""), []])
                relation = (date, shift + t.utcoffset().total_seconds())
            files[-1][2].append(f"{label},{count},{retry},0")
        for (y, mo, d), name, lines in files:
            day = os.path.join(folder, "Velrix", f"{y:04d}", f"{mo:02d}", f"{d:02d}")
            os.makedirs(day, exist_ok=True)
            text = HEADER + "".join(line + "\r\n" for line in lines)
            with open(os.path.join(day, f"{y % 100:02d}{mo:02d}{d:02d}-{name}.csv"), "wb") as f:
                f.write(text.replace("\r\n", self.line_end).encode("cp932"))
        with open(os.path.join(folder, "sent.log"), "w") as f:
            f.writelines(f"{s} {c}\n" for s, c in self.sent)
        with open(os.path.join(folder, "faults"), "w") as f:
            f.writelines(f"{a} {b} {what}\n" for a, b, what in self.faults)

    def check(self):
        with tempfile.TemporaryDirectory() as folder:
            self.write(folder)
            steps = [arg for at, delta in self.steps for arg in ("--step", str(at), str(delta))]
            done = subprocess.run(
                [sys.executable, CHECKER, "--label", "t", "--data", os.path.join(folder, "Velrix"),
                 "--sent", os.path.join(folder, "sent.log"), "--faults", os.path.join(folder, "faults"),
                 "--margin", "2"] + steps,
                env=dict(os.environ, TZ=self.zone), capture_output=True, text=True)
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

    def test_rows_placed_at_their_instants_across_changes_of_local_time_pass(self):
        worlds = [
            (NEW_YORK_AUTUMN, "a daylight-saving change x1, a start x1"),
            (BERLIN_SPRING, "a daylight-saving change x1"),
            (dict(begin=(2026, 6, 1, 12, 0, 0), steps=((10, 600), (25, -600))), "a clock step x2"),
            # Set back into the repeated hour: the label names both of its
            # instants, and only the earlier one continues the file before.
            (dict(NEW_YORK_AUTUMN, steps=((30, -600),)), "a clock step x1, a daylight-saving change x1"),
        ]
        for world, begun in worlds:
            with self.subTest(**world):
                code, out = Run(**world).check()
                self.assertEqual(code, 0, out)
                self.assertIn(f"files begun at {begun}", out)
                self.assertIn("40 counted rows matched the 40 frames", out)

    def test_labels_that_do_not_follow_local_time_or_the_declared_steps_fail(self):
        def one_file_through_the_change(run):
            run.label_zone = datetime.timezone(datetime.timedelta(hours=-4))

        def a_file_in_the_skipped_hour(run):
            run.label_zone = datetime.timezone(datetime.timedelta(hours=1))
            run.split_at = 25

        def step_never_taken(run):
            run.applied = []

        def step_taken_late(run):
            run.applied = [(run.start + 25, 600)]

        def step_of_another_size(run):
            run.applied = [(run.start + 10, 601)]

        def new_file_without_a_change(run):
            run.split_at = 15

        def restart_after_a_gap(run):
            run.split_at = 15
            run.rows = run.rows[:15] + [[s + 3, c, r] for s, c, r in run.rows[15:]]
            run.sent = run.sent[:15] + [(s + 3, c) for s, c in run.sent[15:]]

        plus_600 = dict(begin=(2026, 6, 1, 12, 0, 0), steps=((10, 600),))
        cases = [
            (NEW_YORK_AUTUMN, one_file_through_the_change, "row 02:00:00 is not the local time of its second "
                                                           "(2026-11-01 01:00:00 EST)"),
            (BERLIN_SPRING, a_file_in_the_skipped_hour, "first row 02:00:05 names no local time"),
            (plus_600, step_never_taken, "never followed the clock step of +600 s at 2026-06-01 12:00:10 UTC"),
            (plus_600, step_taken_late, "took the clock step of +600 s at 2026-06-01 12:00:10 UTC only at "
                                        "2026-06-01 12:00:25 UTC"),
            (plus_600, step_of_another_size, "first second 2026-06-01 12:00:11 UTC does not follow"),
            ({}, new_file_without_a_change, "no change of local time explains a new file"),
            ({}, restart_after_a_gap, "2 measurements began"),
        ]
        for world, mutate, text in cases:
            with self.subTest(mutate.__name__):
                run = Run(**world)
                mutate(run)
                self.assertFails(run, text)

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
        self.assertFails(run, "the unit sent count 555 at 2026-12-31 23:59:46 UTC; no row holds it")

    def test_a_count_the_unit_never_sent_fails(self):
        run = Run()
        run.rows[33][1] = "0042.000"
        self.assertFails(run, "count 42 was not sent")

    def test_rows_that_stand_at_the_wrong_second_fail(self):
        run = Run()
        run.sent = [(s + 120, c) for s, c in run.sent]
        self.assertFails(run, "40 rows from 2026-12-31 23:59:40 UTC to 2027-01-01 00:00:19 UTC stand 121 s before")

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
