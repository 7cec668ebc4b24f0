#!/usr/bin/env python3
"""Checks every row of every committed data file of a soak run against what
the simulated unit says it sent.

    check_rows.py --label NAME --data DIR --sent FILE [--faults FILE]
                  [--margin SECONDS] [--end SECONDS] [--step AT DELTA]...

DIR is the folder holding the year folders (<base>/Velrix). FILE is the unit's
--sent-log: one line "<unit second> <count>" per count frame, every unit that
played the run appending to it. The faults file holds the windows in which the
run disturbed the unit on purpose, one "FROM TO WHAT" line each, in unit
seconds since 1970; the tight faults file (--tight-faults) the same for
windows that are not widened by the margin, such as the moments the machine
stalled. Each --step says that the programs' calendar clock was set DELTA
seconds on at unit second AT (the units' clocks never step). TZ names the
programs' time zone.

What must hold:
- every file lies in its dated folder, is CP932 with CR LF on every line, has
  the five header lines and rows "hh:mm:ss,count,retry,power";
- rows run second by second, each labelled with the local time of its
  second: a file's first row stands at the instant its label names (of the
  two instants of an hour repeated in autumn, the one that continues the
  file before), every later row one second on; the files follow each other
  with no second between them once the declared steps are taken out: a file
  begun at midnight ("-000000") starts at 00:00:00 after a file that ends at
  23:59:59, any other file at the second it is named after (or a few seconds
  later), and only the first one begins the measurement; the others continue
  it where the labels break (a daylight-saving change, or a declared clock
  step, taken within the margin of its second); so over the whole run each
  second is there exactly once, in order; rows are compared with the unit's
  seconds with the steps taken out;
- a counted row (retry 0) carries the count of one frame the unit sent, the
  frames are taken in the order they were sent and none twice, and the row
  stands at the second the frame was sent in (or a few seconds later); the
  soak's units play counts that repeat only after an hour of frames, so a
  count names its frame; inside a fault window two frames may have been
  added into one second, as the cycle does for a unit that runs ahead, and
  the first frames after a gap may land a little early;
- a missing second (retry 1, count 0) and a frame sent but never recorded
  occur only inside a fault window: a window the run declared, or a second in
  which the unit sent no frame or an extra one, widened by the margin (the
  link's time-outs are real milliseconds, which an accelerated clock turns
  into many seconds).

Prints a summary; exits 1 with the reasons when something does not hold.
"""

import argparse
import bisect
import collections
import datetime
import os
import re
import sys
import time
import zoneinfo

ROW = re.compile(r"^(\d\d):(\d\d):(\d\d),(\d{4,}\.\d{3}),(\d+),(\d+)$")
NAME = re.compile(r"^(\d\d)(\d\d)(\d\d)-(\d\d)(\d\d)(\d\d)\.csv$")
TITLES = "時刻,カウント値,リトライ,電源ステータス"
# How far a row's second may lie after (LAG_BEHIND) or before (LAG_AHEAD) the
# unit second of the frame it holds: the first row is anchored a tick or two
# after the first frame arrived, and the link lets the samples run up to two
# seconds behind and one ahead of the clock before it inserts or drops.
LAG_BEHIND = 10
LAG_AHEAD = 3
# A row whose frame lies further than this from it is taken for a wrong count
# rather than a frame an hour of counts later.
FAR = 900
# A file's first row may come this many seconds after the second in its name.
FIRST_ROW_SLACK = 5
MAX_REPORTED = 12


class Failures:
    def __init__(self, label):
        self.label = label
        self.items = []
        self.kinds = collections.Counter()

    def add(self, kind, text):
        self.kinds[kind] += 1
        if self.kinds[kind] <= MAX_REPORTED:
            self.items.append(text)
        elif self.kinds[kind] == MAX_REPORTED + 1:
            self.items.append(f"... more of: {kind}")


def read_file(path, fail):
    """Returns (header lines, rows as (seconds of day, count text, retry,
    power)) or None when the file cannot be taken apart."""
    raw = open(path, "rb").read()
    if not raw.endswith(b"\r\n"):
        fail.add("line ends", f"{path}: does not end with CR LF")
        return None
    lines = raw[:-2].split(b"\r\n")
    for n, line in enumerate(lines, 1):
        if b"\r" in line or b"\n" in line:
            fail.add("line ends", f"{path}: line {n} holds a bare CR or LF")
            return None
    try:
        text = [line.decode("cp932") for line in lines]
    except UnicodeDecodeError as e:
        fail.add("encoding", f"{path}: not CP932: {e}")
        return None
    if len(text) < 5:
        fail.add("header", f"{path}: only {len(text)} lines, no full header")
        return None
    header = text[:5]
    if header[0] != "2.00":
        fail.add("header", f"{path}: version line {header[0]!r}, not 2.00")
    if header[4] != TITLES:
        fail.add("header", f"{path}: column titles {header[4]!r}")
    rows = []
    for n, line in enumerate(text[5:], 6):
        m = ROW.match(line)
        if not m:
            fail.add("row form", f"{path}: line {n} {line!r} is not a data row")
            return None
        h, mi, s = int(m.group(1)), int(m.group(2)), int(m.group(3))
        if h > 23 or mi > 59 or s > 59:
            fail.add("row form", f"{path}: line {n} {line!r} is not a time of day")
            return None
        rows.append((h * 3600 + mi * 60 + s, m.group(4), int(m.group(5)), int(m.group(6))))
    return header, rows


class DataFile:
    """One committed file: its folder's date, the second of the day in its
    name, its rows as (label second of day, count text, retry, power)."""

    def __init__(self, path, date, named, rows):
        self.path, self.date, self.named, self.rows = path, date, named, rows
        self.midnight = named == 0


def wall(zone, t):
    """The local date and second of the day of instant t."""
    d = datetime.datetime.fromtimestamp(t, zone)
    return (d.year, d.month, d.day), d.hour * 3600 + d.minute * 60 + d.second


def local_instants(zone, date, sec):
    """The instants whose local time is `sec` of `date`, earliest first: none
    in an hour skipped in spring, two in the hour repeated in autumn."""
    found = []
    for fold in (0, 1):
        t = int(datetime.datetime(*date, sec // 3600, sec // 60 % 60, sec % 60, fold=fold,
                                  tzinfo=zone).timestamp())
        if wall(zone, t) == (date, sec) and t not in found:
            found.append(t)
    return sorted(found)


def next_label(date, sec):
    if sec < 86399:
        return date, sec + 1
    d = datetime.date(*date) + datetime.timedelta(days=1)
    return (d.year, d.month, d.day), 0


class Steps:
    """The clock steps the run declared, (unit second, seconds) each, in
    order: once the programs took the first j of them, their calendar stands
    offset(j) seconds from the unit's."""

    def __init__(self, steps, margin):
        self.steps = sorted(steps)
        self.margin = margin

    def offset(self, j):
        return sum(delta for _at, delta in self.steps[:j])

    def unit_starts(self, instant):
        """(unit second, steps taken) for each number of steps that can be
        in force at calendar second `instant`; a program takes a step at the
        first row it writes after it, a little before or after its second."""
        for j in range(len(self.steps) + 1):
            u = instant - self.offset(j)
            if ((j == 0 or self.steps[j - 1][0] <= u + self.margin)
                    and (j == len(self.steps) or u < self.steps[j][0] + self.margin)):
                yield u, j


def read_files(data, fail):
    """The data files under DIR with their rows, in the order of their names,
    after the checks of each file on its own."""
    files = []
    for root, _dirs, names in os.walk(data):
        for name in names:
            files.append(os.path.join(root, name))
    parsed = []
    for path in files:
        rel = os.path.relpath(path, data).split(os.sep)
        m = NAME.match(rel[-1])
        if len(rel) != 4 or not m:
            fail.add("stray file", f"{path}: not a data file in a YYYY/MM/DD folder")
            continue
        year, month, day = int(rel[0]), int(rel[1]), int(rel[2])
        if (year % 100, month, day) != (int(m.group(1)), int(m.group(2)), int(m.group(3))):
            fail.add("folder", f"{path}: name does not match its folder")
            continue
        named = int(m.group(4)) * 3600 + int(m.group(5)) * 60 + int(m.group(6))
        parsed.append(((year, month, day), named, path))
    parsed.sort()
    out = []
    for index, (date, named, path) in enumerate(parsed):
        got = read_file(path, fail)
        if got is None:
            continue
        rows = got[1]
        if not rows:
            if index != len(parsed) - 1:
                fail.add("empty file", f"{path}: no rows, yet a later file follows")
            continue
        for (a, *_), (b, *_) in zip(rows, rows[1:]):
            if b != a + 1:
                kind = "duplicate second" if b <= a else "hole"
                fail.add(kind, f"{path}: row {hms(b)} follows {hms(a)}")
        out.append(DataFile(path, date, named, rows))
    return out, len(parsed)


def order_files(files, zone, steps):
    """The files in the measurement's order, each with where it begins: (file,
    unit second, calendar second, steps taken, continues). A file continues
    the one before when its first row is the unit second after that file's
    last, taking the declared steps into account. The first file is one that
    no other file leads into; each next one is the file that begins earliest
    after the end of the one before, which is the file that continues it when
    there is one, and that also picks between the two instants of a repeated
    hour."""
    starts = {id(f): [(u, c, j) for c in local_instants(zone, f.date, f.rows[0][0])
                      for u, j in steps.unit_starts(c)] for f in files}
    ends = {(u + len(f.rows), id(f)) for f in files for u, _c, _j in starts[id(f)]}
    led_into = {id(g) for g in files for u, _c, _j in starts[id(g)]
                if any(e == u and fid != id(g) for e, fid in ends)}
    left = [f for f in files if starts[id(f)]]
    placed = []
    end, taken = None, 0
    while left:
        choices = [(u, j, n, c) for n, f in enumerate(left) for u, c, j in starts[id(f)] if j >= taken]
        if end is None:
            heads = [x for x in choices if id(left[x[2]]) not in led_into]
            choices = heads or choices
        else:
            choices = [x for x in choices if x[0] > end] or choices
        if not choices:
            break
        u, j, n, c = min(choices)
        f = left.pop(n)
        placed.append((f, u, c, j, end is not None and u == end + 1))
        end, taken = u + len(f.rows) - 1, j
    return placed, [f for f in files if all(f is not p[0] for p in placed)]


def collect_rows(data, zone, steps, fail):
    """All rows of the run in the measurement's order as (unit second, count,
    retry, power, file), after the per-file and between-file checks, with
    how many files began where."""
    files, nfiles = read_files(data, fail)
    placed, unplaced = order_files(files, zone, steps)
    for f in unplaced:
        fail.add("file start", f"{f.path}: its first row {hms(f.rows[0][0])} names no local time "
                               "of that day that the declared clock steps leave")
    out = []
    begun = collections.Counter()
    taken = 0
    prev = None
    for f, u, c, j, continues in placed:
        start = f.rows[0][0]
        if prev is None or not (continues or f.midnight):
            begun["a start"] += 1
        if f.midnight and prev is not None:
            begun["midnight"] += 1
            if start != 0:
                fail.add("file start", f"{f.path}: begun at midnight but its first row is {hms(start)}")
            if next_label(prev.date, prev.rows[-1][0]) != (f.date, start):
                fail.add("file end", f"{prev.path}: ends at {hms(prev.rows[-1][0])}, not 23:59:59, "
                                     "yet a later file follows")
        elif not f.midnight and not (f.named <= start <= f.named + FIRST_ROW_SLACK):
            fail.add("file start", f"{f.path}: first row {hms(start)} for a file named {hms(f.named)}")
        if continues and not f.midnight:
            if j > taken:
                begun["a clock step"] += 1
            elif next_label(prev.date, prev.rows[-1][0]) == (f.date, start):
                fail.add("needless file", f"{f.path}: begins with the label that follows {prev.path}; "
                                          "no change of local time explains a new file")
            else:
                begun["a daylight-saving change"] += 1
        for at, delta in steps.steps[taken:j]:
            if u > at + steps.margin:
                fail.add("clock step", f"{f.path}: the labels took the clock step of {delta:+d} s at "
                                       f"{stamp(at)} only at {stamp(u)}")
        # Each row one second after the one before, labelled with the local
        # time of its second; a hole or a repeated label (reported above)
        # stands where its label puts it.
        offset = steps.offset(j)
        for i, (sec, count, retry, power) in enumerate(f.rows):
            if i > 0:
                step = sec - f.rows[i - 1][0]
                c += step
                if step == 1 and wall(zone, c) != (f.date, sec):
                    fail.add("label", f"{f.path}: row {hms(sec)} is not the local time of its second "
                                      f"({stamp(c)})")
            out.append((c - offset, count, retry, power, f.path))
        prev, taken = f, j
    if begun["a start"] > 1:
        fail.add("restart", f"{begun['a start']} measurements began (files that do not continue "
                            "the one before); the run should have been one measurement")
    if out:
        for at, delta in steps.steps[taken:]:
            if at < out[-1][0] - steps.margin:
                fail.add("clock step", f"the labels never followed the clock step of {delta:+d} s at "
                                       f"{stamp(at)}")
    # Within a file the seconds were checked above; here where files meet.
    for i in range(1, len(out)):
        if out[i][4] != out[i - 1][4] and out[i][0] != out[i - 1][0] + 1:
            fail.add("between files", f"{out[i][4]}: first second {stamp(out[i][0])} does not follow "
                                      f"{stamp(out[i - 1][0])} of the file before")
    return [r[:4] for r in out], nfiles, begun


def hms(sec):
    return f"{sec // 3600:02d}:{sec // 60 % 60:02d}:{sec % 60:02d}"


def stamp(epoch):
    # With the zone's name: the autumn hour shows twice.
    return time.strftime("%Y-%m-%d %H:%M:%S %Z", time.localtime(epoch))


def read_sent(path):
    sent = []
    with open(path, encoding="ascii") as f:
        for n, line in enumerate(f, 1):
            parts = line.split()
            if len(parts) != 2:
                raise SystemExit(f"{path}: line {n} is not '<second> <count>'")
            sent.append((int(parts[0]), int(parts[1])))
    return sent


def read_windows(path):
    windows = []
    if path:
        with open(path, encoding="utf-8") as f:
            for line in f:
                parts = line.split(None, 2)
                if len(parts) >= 2:
                    what = parts[2].strip() if len(parts) > 2 else "fault"
                    windows.append((int(parts[0]), int(parts[1]), what))
    return windows


def fault_windows(faults_path, sent, margin, tight_path=None):
    """Windows (from, to, what): the declared ones and the unit's own gaps
    widened by the margin, the tight ones as they are."""
    windows = read_windows(faults_path)
    # What the unit itself did: seconds without a frame (silence, unplugged,
    # a slow unit clock) and seconds with two (a fast unit clock).
    for (a, _), (b, _) in zip(sent, sent[1:]):
        if b >= a + 2:
            windows.append((a + 1, b - 1, "unit sent nothing"))
        elif b == a:
            windows.append((a, a, "unit sent an extra frame"))
        elif b < a:
            windows.append((b, a, "unit clock went back"))
    widened = [(lo - margin, hi + margin, what) for lo, hi, what in windows]
    return sorted(widened + read_windows(tight_path))


class WindowIndex:
    def __init__(self, windows):
        self.windows = windows
        self.starts = [w[0] for w in windows]
        # Running maximum of the ends, so one bisect answers "inside any".
        self.reach = []
        best = None
        for w in windows:
            best = w if best is None or w[1] > best[1] else best
            self.reach.append(best)

    def find(self, second):
        i = bisect.bisect_right(self.starts, second) - 1
        if i < 0:
            return None
        w = self.reach[i]
        return w if w[1] >= second else None


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--label", required=True)
    ap.add_argument("--data", required=True)
    ap.add_argument("--sent", required=True)
    ap.add_argument("--faults")
    ap.add_argument("--tight-faults", help="windows like --faults, taken without the margin")
    ap.add_argument("--margin", type=int, default=30)
    ap.add_argument("--end", type=int, help="unit second at which the program was told to stop")
    ap.add_argument("--step", nargs=2, type=int, action="append", default=[], metavar=("AT", "DELTA"),
                    help="the programs' calendar clock was set DELTA seconds on at unit second AT")
    a = ap.parse_args()

    tz = os.environ.get("TZ", "").lstrip(":")
    if not tz:
        raise SystemExit("TZ must name the programs' time zone")
    zone = zoneinfo.ZoneInfo(tz)
    fail = Failures(a.label)
    rows, nfiles, begun = collect_rows(a.data, zone, Steps(a.step, a.margin), fail)
    sent = read_sent(a.sent)
    windows = WindowIndex(fault_windows(a.faults, sent, a.margin, a.tight_faults))

    missing_by = collections.Counter()
    unrecorded_by = collections.Counter()
    lags = collections.Counter()
    merges = 0
    counted = 0
    # Where each count was sent: the run's counts repeat only after an hour of
    # frames, so a row's count names the frame it holds.
    where = collections.defaultdict(list)
    for index, (_s, c) in enumerate(sent):
        where[c].append(index)

    def next_frame(count, after):
        places = where.get(count, [])
        i = bisect.bisect_left(places, after)
        return places[i] if i < len(places) else None

    # The unit counts from the measurement's StartCount on, and the link only
    # opens the collection with the first frame it gets; a frame or two before
    # the first row is therefore never recorded.
    before_first = 0
    started = False
    j = 0
    misdated = []  # runs [first row second, last row second, lag, rows]

    def skip_to(limit):
        # Frames before `limit` that no row took.
        nonlocal j, before_first
        while j < limit:
            s, c = sent[j]
            if not started:
                before_first += 1
            else:
                w = windows.find(s)
                if w is None:
                    fail.add("lost frame", f"the unit sent count {c} at {stamp(s)}; no row holds it "
                                           "and no fault explains it")
                else:
                    unrecorded_by[w[2]] += 1
            j += 1

    for t, count_text, retry, _power in rows:
        value = float(count_text)
        if retry == 1:
            started = True
            w = windows.find(t)
            if value != 0.0:
                fail.add("missing with count", f"{stamp(t)}: missing second with count {count_text}")
            if w is None:
                fail.add("lost second", f"{stamp(t)}: missing second outside every fault window")
            else:
                missing_by[w[2]] += 1
            continue
        if retry != 0:
            fail.add("retry", f"{stamp(t)}: retry {retry}")
            continue
        w = windows.find(t)
        if value != int(value) or value == 0:
            # A filled-in second (the cycle's moving average, which may be
            # 0): no frame of the unit. The midnight rollover's fill is
            # marked missing and handled above.
            if w is None:
                fail.add("filled second", f"{stamp(t)}: count {count_text} is no frame's count "
                                          "(a filled-in second) outside every fault window")
            else:
                missing_by[w[2] + " (filled in)"] += 1
            continue
        value = int(value)
        k, n = next_frame(value, j), 1
        if w is not None and (k is None or abs(sent[k][0] - t) > 4 * LAG_BEHIND):
            # Two frames added into one second, as the cycle does for a unit
            # that runs ahead.
            for m in range(j, min(j + 4 * LAG_BEHIND, len(sent) - 1)):
                if sent[m][1] + sent[m + 1][1] == value:
                    k, n = m, 2
                    break
        if k is None or abs(sent[k][0] - t) > FAR:
            fail.add("wrong count", f"{stamp(t)}: count {value} was not sent by the unit near that "
                                    "second after the frame the row before took (a frame "
                                    "recorded twice, out of order, or never sent)")
            continue
        skip_to(k)
        started = True
        lag = t - sent[k][0]
        lags[lag] += 1
        # Outside a fault the row's second is the frame's, or a few seconds
        # later (the first row is anchored a tick or two after its frame);
        # inside one the first frames after a gap land a little early.
        low = -LAG_AHEAD if w is None else -(max(t, w[1]) - t) - LAG_AHEAD
        if not low <= lag <= LAG_BEHIND:
            if misdated and misdated[-1][2] == lag and misdated[-1][1] >= t - 60:
                misdated[-1][1] = t
                misdated[-1][3] += 1
            else:
                misdated.append([t, t, lag, 1])
        if n == 2:
            merges += 1
        j = k + n
        counted += 1

    for first, last, lag, n in misdated:
        fail.add("misdated", f"{n} rows from {stamp(first)} to {stamp(last)} stand {abs(lag)} s "
                             f"{'before' if lag < 0 else 'after'} the second the unit sent their count")
    if before_first > 3:
        fail.add("start", f"{before_first} frames came before the first row (at most 3 expected)")
    if rows:
        last = rows[-1][0]
        limit = j
        while limit < len(sent) and sent[limit][0] < last - LAG_BEHIND:
            limit += 1
        skip_to(limit)
        if a.end is not None and last < a.end - a.margin:
            fail.add("early end", f"the last row is {stamp(last)}, the run went on to {stamp(a.end)}")
    else:
        fail.add("no rows", "no data row at all")

    print(f"[{a.label}] {nfiles} files, {len(rows)} rows", end="")
    if rows:
        print(f" from {stamp(rows[0][0])} to {stamp(rows[-1][0])}", end="")
    print(f"; {counted} counted rows matched the {len(sent)} frames the unit sent "
          f"({before_first} before the first row, {len(sent) - j} after the last)")
    print(f"[{a.label}] files begun at " + ", ".join(f"{what} x{n}" for what, n in sorted(begun.items())))
    print(f"[{a.label}] row second minus unit second: "
          + ", ".join(f"{k:+d}s x{v}" for k, v in sorted(lags.items())))
    if merges:
        print(f"[{a.label}] {merges} seconds hold two frames added (a unit running ahead)")
    for what, n in sorted(missing_by.items()):
        print(f"[{a.label}] {n} missing seconds inside: {what}")
    for what, n in sorted(unrecorded_by.items()):
        print(f"[{a.label}] {n} frames sent but not recorded inside: {what}")
    if fail.items:
        for text in fail.items:
            print(f"[{a.label}] FAIL: {text}")
        return 1
    print(f"[{a.label}] every second present once and in order, no duplicate, no lost second")
    return 0


if __name__ == "__main__":
    sys.exit(main())
