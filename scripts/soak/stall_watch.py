#!/usr/bin/env python3
"""Notes when the machine stops running this process for a while.

    stall_watch.py FILE THRESHOLD_MS [CPU]

With CPU it stays on that processor: a virtual machine can stop one of its
processors while the other runs on, and a watcher elsewhere would not see it,
so the soak run starts one watcher per processor.

Sleeps 2 ms at a time and appends "<real ms since 1970> <ms late>" to FILE
whenever a sleep came back more than THRESHOLD_MS late, until it is ended by
a signal. On an accelerated clock a real pause of a few tens of milliseconds
is seconds of clock: a link thread held up that long reads a count frame late
and, as it keeps its samples in step with the clock, counts the second as
missing and lets the late frame fall. The soak run declares the stalls this
process saw (it runs beside the programs under the same load) as faults of
the machine, so that they are told apart from seconds the programs lose on
their own."""

import os
import signal
import sys
import time


def main():
    path, threshold = sys.argv[1], float(sys.argv[2]) / 1000.0
    if len(sys.argv) > 3:
        os.sched_setaffinity(0, {int(sys.argv[3])})
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    with open(path, "a", encoding="ascii") as out:
        before = time.monotonic()
        while True:
            time.sleep(0.002)
            now = time.monotonic()
            late = now - before - 0.002
            if late > threshold:
                # The stall began when the sleep should have ended.
                began_ms = int(time.time() * 1000 - late * 1000)
                out.write(f"{began_ms} {int(late * 1000)}\n")
                out.flush()
            before = now


if __name__ == "__main__":
    main()
