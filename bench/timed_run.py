#!/usr/bin/env python3
"""Runs one command and appends its wall time and peak memory to a TSV row.

  timed_run.py TSV SIZE RUN NAME STDOUT_FILE STDERR_FILE COMMAND...

Row: size, name, run, wall microseconds, maximum resident set size in KiB.
The wall time is read from the monotonic clock around the whole process
(start-up included), so a wall-clock step of the machine cannot distort it.
The peak memory is the child's ru_maxrss from wait4, the figure GNU time -v
prints as "Maximum resident set size". Exits with the command's status.
"""

import os
import subprocess
import sys
import time


def main(argv):
    if len(argv) < 8:
        sys.stderr.write(__doc__)
        return 2
    tsv, size, run, name, out_path, err_path = argv[1:7]
    command = argv[7:]
    with open(out_path, "wb") as out, open(err_path, "wb") as err:
        start = time.perf_counter_ns()
        child = subprocess.Popen(command, stdout=out, stderr=err, stdin=subprocess.DEVNULL)
        _, status, usage = os.wait4(child.pid, 0)
        elapsed_us = (time.perf_counter_ns() - start) // 1000
    child.returncode = os.waitstatus_to_exitcode(status)  # already reaped: keep Popen from waiting
    if child.returncode != 0:
        return child.returncode if child.returncode > 0 else 1
    with open(tsv, "a") as f:
        f.write(f"{size}\t{name}\t{run}\t{elapsed_us}\t{usage.ru_maxrss}\n")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
