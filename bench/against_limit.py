#!/usr/bin/env python3
"""Whole pixolune-cli runs against the single-thread limit, in paired rounds.

  against_limit.py --cli CLI --limits LIMITS --corpus DIR --scratch DIR --out DIR
                   [--rounds N] [--sizes 0.3,2,12,50,100] [--batches 0.3:300,2:40]
                   [--jpeg-sizes 12,100]

LIMITS is ../shared/bench/limit_pipeline.c built with gcc -O2; CORPUS holds
mpN.bmp (mp0_3.bmp for 0.3 MP), as make_photo_corpus.sh makes them; without
an mp100.bmp, the 100 MP picture is mp50.bmp twice, one above the other, made
in the scratch folder. JPEG output (--jpeg-sizes; needs cjpeg) is measured
against a BMP run plus cjpeg of the BMP it wrote, at the CLI's default
quality. Every
command of a set runs once a round, the first one rotating from round to
round (A B, B A, ...), after one round that is not counted (page cache, the
output files' first creation). A ratio is the median of the rounds' own
ratios, so that each compares two runs made next to each other; the range of
those ratios shows how noisy the machine was.

Writes OUT/limit.tsv (set, command, round, wall us, peak RSS KiB, CPU us) and
OUT/limit.md (the tables). Standard library only.
"""

import os
import shutil
import statistics
import struct
import sys
import time

import bench_options

# The targets: whole run of one file, default -j, at most this times the limit.
WHOLE_TARGETS = {"0.3": 1.6, "2": 1.2, "12": 0.8, "50": 0.8}
# The same against the I/O floor (reading the input, writing the output's
# size), back to back and after a pause alike.
IO_TARGETS = {"12": 2.0, "50": 1.5, "100": 1.5}
BATCH_TARGET = 1.3          # cost per file ÷ (limit - limit's process start)
# Peak memory of one BMP file in and out: at most this many bytes a pixel
# plus a fixed amount, at every size the table shows.
MEMORY_TARGET_PER_PIXEL = 0.5
MEMORY_TARGET_FIXED = 8 * 1024 * 1024
MEMORY_PIXELS = 10_000_000   # sizes below are hidden under the parent's resident size
# A JPEG run, at most this times a BMP run plus cjpeg of the BMP it wrote.
JPEG_TARGETS = {"12": 0.6}
JPEG_QUALITY = 85            # pixolune-cli's default


def corpus_file(corpus, size, scratch=None):
    path = os.path.join(corpus, "mp" + size.replace(".", "_") + ".bmp")
    if size == "100" and scratch and not os.path.isfile(path):
        path = os.path.join(scratch, "mp100.bmp")
        if not os.path.isfile(path):
            stack_twice(corpus_file(corpus, "50"), path)
    return path


def stack_twice(source, target):
    """A 24- or 32-bit BMP of twice the height: the picture above itself,
    copied in pieces (this process's resident size is every child's floor)."""
    with open(source, "rb") as f:
        head = bytearray(f.read(54))
        offset, = struct.unpack_from("<I", head, 10)
        width, height = struct.unpack_from("<ii", head, 18)
        bpp, = struct.unpack_from("<H", head, 28)
        head += f.read(offset - len(head))
        size = (width * bpp + 31) // 32 * 4 * abs(height)
        struct.pack_into("<I", head, 2, offset + 2 * size)
        struct.pack_into("<i", head, 22, 2 * height)
        struct.pack_into("<I", head, 34, 2 * size)
        with open(target, "wb") as out:
            out.write(head)
            for _ in range(2):
                f.seek(offset)
                left = size
                while left:
                    piece = f.read(min(left, 1 << 20))
                    out.write(piece)
                    left -= len(piece)


def bmp_pixels(path):
    with open(path, "rb") as f:
        head = f.read(26)
    width, height = struct.unpack_from("<ii", head, 18)
    return width * abs(height)


def write_one_pixel_bmp(path):
    """A 1 x 1 24-bit BMP: a run on it is the process start and little else."""
    pixels = b"\x80\x80\x80\x00"
    info = struct.pack("<IiiHHIIiiII", 40, 1, 1, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    with open(path, "wb") as f:
        f.write(head + info + pixels)


class Machine:
    """CPU time the rest of the machine used while we measured."""

    def __init__(self):
        self.start = self.busy_idle()
        self.ours = 0.0
        self.load_start = self.loadavg()
        self.wall_start = time.monotonic()

    @staticmethod
    def busy_idle():
        with open("/proc/stat") as f:
            fields = [int(v) for v in f.readline().split()[1:]]
        idle = fields[3] + fields[4]
        return sum(fields[:8]) - idle, idle

    @staticmethod
    def loadavg():
        with open("/proc/loadavg") as f:
            return " ".join(f.read().split()[:3])

    def summary(self):
        busy0, _ = self.start
        busy1, _ = self.busy_idle()
        tick = os.sysconf("SC_CLK_TCK")
        cores = os.cpu_count() or 1
        wall = time.monotonic() - self.wall_start
        others = max(0.0, (busy1 - busy0) / tick - self.ours - sum(os.times()[:2]))
        return (f"{cores} cores; load average {self.load_start} at the start, {self.loadavg()} "
                f"at the end; other work on the machine used {others / wall / cores * 100:.0f} % "
                f"of its CPU time during the {wall:.0f} s of measuring")


DEVNULL = os.open(os.devnull, os.O_RDWR)


HUGE_PAGES = "LIMITS_HUGEPAGE=1"  # an argv[0] of this form sets the variable for the limit


def run(command, machine):
    """Wall microseconds, peak RSS (KiB), CPU microseconds of one process."""
    env = os.environ
    if command[0] == HUGE_PAGES:
        env = dict(os.environ, LIMITS_HUGEPAGE="1")
        command = command[1:]
    actions = [(os.POSIX_SPAWN_DUP2, DEVNULL, 0), (os.POSIX_SPAWN_DUP2, DEVNULL, 1),
               (os.POSIX_SPAWN_DUP2, DEVNULL, 2)]
    start = time.perf_counter_ns()
    pid = os.posix_spawn(command[0], command, env, file_actions=actions)
    _, status, usage = os.wait4(pid, 0)
    wall = (time.perf_counter_ns() - start) // 1000
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"against_limit.py: failed ({os.waitstatus_to_exitcode(status)}): {' '.join(command)}")
    cpu = usage.ru_utime + usage.ru_stime
    machine.ours += cpu
    return wall, usage.ru_maxrss, int(cpu * 1e6)


def alone_peak_kib(command, report):
    """Peak RSS (KiB) of one run of command started by GNU time (its figure
    written to the file report), or None without it: a child this script forks starts from the script's own
    resident size, which the kernel counts in the child's peak, while time's
    small process leaves the child its own."""
    timer = shutil.which("time")
    if timer is None:
        return None
    run([timer, "-f", "%M", "-o", report] + command, Machine())
    with open(report) as f:
        kib = int(f.read().split()[-1])
    os.remove(report)
    return kib


def measure(name, commands, rounds, machine, tsv, pause=0.0):
    """commands: {label: argv}. Returns {label: [(wall, rss, cpu)] per round}.
    With a pause, each run comes that many seconds after the one before, as a
    person runs one file: memory freed by the last run has gone back by then."""
    labels = list(commands)
    for label in labels:  # the round that does not count
        run(commands[label], machine)
    results = {label: [] for label in labels}
    for r in range(rounds):
        for k in range(len(labels)):
            label = labels[(k + r) % len(labels)]
            time.sleep(pause)
            result = run(commands[label], machine)
            results[label].append(result)
            tsv.write(f"{name}\t{label}\t{r + 1}\t{result[0]}\t{result[1]}\t{result[2]}\n")
    tsv.flush()
    return results


def med(values):
    return statistics.median(values)


def paired(results, numerator, denominator, num_scale=1.0, den_offset=None):
    """Per-round ratios numerator / denominator: median, lowest, highest."""
    ratios = []
    for r, (a, b) in enumerate(zip(results[numerator], results[denominator])):
        den = b[0] - (den_offset[r][0] if den_offset else 0)
        if den > 0:  # a round whose limit ran faster than its own start says nothing
            ratios.append(a[0] * num_scale / den)
    if not ratios:
        return float("nan"), float("nan"), float("nan")
    return med(ratios), min(ratios), max(ratios)


def paired_sum(results, numerator, denominators):
    """Per-round ratios numerator / (sum of denominators): median, lowest, highest."""
    ratios = [rounds[0][0] / sum(r[0] for r in rounds[1:])
              for rounds in zip(results[numerator], *(results[d] for d in denominators))]
    return med(ratios), min(ratios), max(ratios)


def verdict(ratio, target):
    if target is None:
        return "—"
    return "met" if ratio <= target else f"**missed** ({(ratio / target - 1) * 100:.0f} % over)"


def fmt_ratio(r):
    return f"{r[0]:.2f}× ({r[1]:.2f}–{r[2]:.2f})"


def main():
    parser = bench_options.parser(__doc__, "--limits")
    parser.add_argument("--sizes", default="0.3,2,12,50,100")
    parser.add_argument("--jpeg-sizes", default="12,100")
    parser.add_argument("--batches", default="0.3:300,2:40")
    parser.add_argument("--pause", type=float, default=3.0,
                        help="seconds before each run of the one-file rounds after a pause")
    args = parser.parse_args()

    sizes = [s for s in args.sizes.split(",") if s]
    batches = [(b.split(":")[0], int(b.split(":")[1])) for b in args.batches.split(",") if b]
    cjpeg = shutil.which("cjpeg")
    jpeg_sizes = [s for s in args.jpeg_sizes.split(",") if s] if cjpeg else []
    if not cjpeg:
        print("against_limit.py: no cjpeg (libjpeg-turbo-progs): no JPEG table", file=sys.stderr)
    wanted = set(sizes) | set(jpeg_sizes) | {b[0] for b in batches}
    if "100" in wanted and not os.path.isfile(corpus_file(args.corpus, "100")):
        wanted.add("50")  # stacked into the 100 MP picture
    for size in wanted:
        if size != "100" and not os.path.isfile(corpus_file(args.corpus, size)):
            sys.exit(f"against_limit.py: {corpus_file(args.corpus, size)} is missing")

    os.makedirs(args.out, exist_ok=True)
    out = os.path.join(args.scratch, "out")
    os.makedirs(out, exist_ok=True)
    one = os.path.join(args.scratch, "one-pixel.bmp")
    write_one_pixel_bmp(one)
    limit_out = os.path.join(args.scratch, "limit.bmp")
    cli, limits = os.path.abspath(args.cli), os.path.abspath(args.limits)

    def limit_cmd(path, mode="floor"):
        return [limits, mode, path, limit_out]

    def cli_cmd(path, jobs=None, jpeg=False):
        return ([cli] + (["-j", str(jobs)] if jobs else []) +
                (["-t", "jpg", "-q", str(JPEG_QUALITY)] if jpeg else []) +
                ["--quiet", "-o", out, path])

    machine = Machine()
    tsv = open(os.path.join(args.out, "limit.tsv"), "w")
    md = []

    # Process start: a run on one pixel.
    start = measure("start", {"limit": limit_cmd(one), "cli": cli_cmd(one)}, args.rounds, machine, tsv)

    # One file, whole runs.
    whole = {}
    for size in sizes:
        path = corpus_file(args.corpus, size, args.scratch)
        print(f"  whole run, {size} MP", file=sys.stderr)
        whole[size] = (bmp_pixels(path), measure(
            f"whole/{size}",
            {"limit": limit_cmd(path), "cli": cli_cmd(path),
             "limit-huge": [HUGE_PAGES] + limit_cmd(path), "io": limit_cmd(path, "io")},
            args.rounds, machine, tsv))
    paused = {}
    if args.pause > 0:
        for size in sizes:
            path = corpus_file(args.corpus, size, args.scratch)
            print(f"  whole run, {size} MP, after a {args.pause:g}-s pause", file=sys.stderr)
            paused[size] = measure(
                f"paused/{size}",
                {"limit": limit_cmd(path), "cli": cli_cmd(path), "io": limit_cmd(path, "io")},
                args.rounds, machine, tsv, args.pause)

    # JPEG output against a BMP run and cjpeg of the BMP that run writes.
    jpeg = {}
    for size in jpeg_sizes:
        path = corpus_file(args.corpus, size, args.scratch)
        written = os.path.join(out, os.path.basename(path)[:-len(".bmp")] + "-reduced.bmp")
        print(f"  JPEG output, {size} MP", file=sys.stderr)
        jpeg[size] = measure(
            f"jpeg/{size}",
            {"cli-jpg": cli_cmd(path, jpeg=True), "cli-bmp": cli_cmd(path),
             "cjpeg": [cjpeg, "-quality", str(JPEG_QUALITY), "-outfile",
                       os.path.join(args.scratch, "cjpeg.jpg"), written]},
            args.rounds, machine, tsv)

    # Batches of one photograph under many names.
    batch = {}
    for size, count in batches:
        path = corpus_file(args.corpus, size)
        folder = os.path.join(args.scratch, f"batch-{size}x{count}")
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        for i in range(count):
            name = os.path.join(folder, f"photo{i:04d}.bmp")
            # Copies, not links: pixolune-cli converts a file given twice once.
            shutil.copyfile(path, name)
        print(f"  batch of {count} x {size} MP", file=sys.stderr)
        batch[(size, count)] = measure(
            f"batch/{size}x{count}",
            {"limit": limit_cmd(path), "limit-start": limit_cmd(one),
             "cli-j1": cli_cmd(folder, 1), "cli": cli_cmd(folder)},
            args.rounds, machine, tsv)
        shutil.rmtree(folder)
    tsv.close()

    jobs = os.cpu_count() or 1
    md.append(f"against_limit.py: {time.strftime('%Y-%m-%d %H:%M UTC', time.gmtime())}, "
              f"{args.rounds} rounds; {machine.summary()}.")
    md.append("")
    md.append("Process start (a run on a 1 × 1 BMP), median wall time:")
    md.append("")
    md.append("| limits floor | pixolune-cli |")
    md.append("|---|---|")
    md.append(f"| {med([r[0] for r in start['limit']]) / 1e3:.2f} ms | "
              f"{med([r[0] for r in start['cli']]) / 1e3:.2f} ms |")
    md.append("")
    md.append(f"One file, whole run (process start included), pixolune-cli at its default -j "
              f"(one file: all {jobs} cores on it). Ratio: median of the rounds' paired ratios "
              "(lowest–highest):")
    md.append("")
    md.append("| size | limits floor | pixolune-cli | ÷ limit | target | verdict | "
              "limits floor, huge pages | pixolune-cli ÷ that |")
    md.append("|---|---|---|---|---|---|---|---|")
    for size, (pixels, res) in whole.items():
        r = paired(res, "cli", "limit")
        rh = paired(res, "cli", "limit-huge")
        target = WHOLE_TARGETS.get(size)
        md.append(f"| {size} MP | {med([x[0] for x in res['limit']]) / 1e3:.1f} ms | "
                  f"{med([x[0] for x in res['cli']]) / 1e3:.1f} ms | {fmt_ratio(r)} | "
                  f"{'≤ %.1f×' % target if target else '—'} | {verdict(r[0], target)} | "
                  f"{med([x[0] for x in res['limit-huge']]) / 1e3:.1f} ms | {fmt_ratio(rh)} |")
    md.append("")
    md.append("(The limit with LIMITS_HUGEPAGE=1, its own switch, puts its two images in huge "
              "pages as pixolune-cli once did: the same work with few page faults.)")
    md.append("")
    md.append("One file back to back and after a pause (each run of the paused rounds comes "
              f"{args.pause:g} s after the one before), against the limit and against the I/O "
              "floor (`limits io`: the input read, a file of the output's size written):")
    md.append("")
    md.append("| size | ÷ limit, back to back | ÷ limit, after a pause | ÷ I/O floor, back to back | "
              "÷ I/O floor, after a pause | target (÷ I/O floor) | verdict |")
    md.append("|---|---|---|---|---|---|---|")
    for size, (pixels, res) in whole.items():
        later = paused.get(size)
        io_now = paired(res, "cli", "io")
        io_later = paired(later, "cli", "io") if later else (float("nan"),) * 3
        target = IO_TARGETS.get(size)
        worst = max(io_now[0], io_later[0]) if later else io_now[0]
        md.append(f"| {size} MP | {fmt_ratio(paired(res, 'cli', 'limit'))} | "
                  f"{fmt_ratio(paired(later, 'cli', 'limit')) if later else '—'} | "
                  f"{fmt_ratio(io_now)} | {fmt_ratio(io_later) if later else '—'} | "
                  f"{'≤ %.1f×' % target if target else '—'} | {verdict(worst, target)} |")
    md.append("")
    if jpeg:
        md.append(f"JPEG output at quality {JPEG_QUALITY}: a pixolune-cli run writing the JPEG "
                  "against a run writing the 8-bit BMP plus `cjpeg` of that BMP, both measured "
                  "in the same rounds:")
        md.append("")
        md.append("| size | JPEG run | BMP run | cjpeg of it | ÷ (BMP run + cjpeg) | target | "
                  "verdict |")
        md.append("|---|---|---|---|---|---|---|")
        for size, res in jpeg.items():
            r = paired_sum(res, "cli-jpg", ["cli-bmp", "cjpeg"])
            target = JPEG_TARGETS.get(size)
            md.append(f"| {size} MP | {med([x[0] for x in res['cli-jpg']]) / 1e3:.1f} ms | "
                      f"{med([x[0] for x in res['cli-bmp']]) / 1e3:.1f} ms | "
                      f"{med([x[0] for x in res['cjpeg']]) / 1e3:.1f} ms | {fmt_ratio(r)} | "
                      f"{'≤ %.1f×' % target if target else '—'} | {verdict(r[0], target)} |")
        md.append("")
    if batch:
        md.append("Batches (one pixolune-cli call over a folder), cost per file against the "
                  "limit's time for that image minus the limit's process start, both measured "
                  "in the same rounds:")
        md.append("")
        md.append("| batch | limit − its start | -j 1, per file | ÷ limit | default -j, per file | ÷ limit | target | verdict |")
        md.append("|---|---|---|---|---|---|---|---|")
        for (size, count), res in batch.items():
            net = med([a[0] - b[0] for a, b in zip(res["limit"], res["limit-start"])])
            r1 = paired(res, "cli-j1", "limit", 1.0 / count, res["limit-start"])
            rj = paired(res, "cli", "limit", 1.0 / count, res["limit-start"])
            worst = max(r1[0], rj[0])
            md.append(f"| {count} × {size} MP | {net / 1e3:.2f} ms | "
                      f"{med([x[0] for x in res['cli-j1']]) / count / 1e3:.2f} ms | {fmt_ratio(r1)} | "
                      f"{med([x[0] for x in res['cli']]) / count / 1e3:.2f} ms | {fmt_ratio(rj)} | "
                      f"≤ {BATCH_TARGET}× | {verdict(worst, BATCH_TARGET)} |")
        md.append("")
    md.append("Peak memory per pixel: the largest peak RSS over the rounds, the whole process; "
              "a child's peak is never counted below its parent's resident size (this "
              "script's, about 15 MiB), so the verdict takes the peak of one more run started "
              "by GNU time (`time`), where there is one:")
    md.append("")
    md.append("| size | pixolune-cli | alone (time) | bytes/pixel | target | verdict "
              "| limits floor bytes/pixel |")
    md.append("|---|---|---|---|---|---|---|")
    for size, (pixels, res) in whole.items():
        if pixels < MEMORY_PIXELS:
            continue
        rounds_peak = max(x[1] for x in res["cli"]) * 1024
        alone = alone_peak_kib(cli_cmd(corpus_file(args.corpus, size, args.scratch)),
                               os.path.join(args.scratch, "peak.txt"))
        peak = rounds_peak if alone is None else alone * 1024
        alone_text = "—" if alone is None else f"{alone / 1024:.1f} MiB"
        target = MEMORY_TARGET_PER_PIXEL * pixels + MEMORY_TARGET_FIXED
        md.append(f"| {size} MP | {rounds_peak / 2**20:.1f} MiB | {alone_text} | {peak / pixels:.2f} | "
                  f"≤ {target / 2**20:.1f} MiB | {verdict(peak, target)} | "
                  f"{max(x[1] for x in res['limit']) * 1024 / pixels:.2f} |")
    text = "\n".join(md) + "\n"
    with open(os.path.join(args.out, "limit.md"), "w") as f:
        f.write(text)
    sys.stdout.write(text)


if __name__ == "__main__":
    main()
