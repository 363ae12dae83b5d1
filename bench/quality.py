#!/usr/bin/env python3
"""The quality table: both mappings of pixolune-cli on real photographs.

For every picture and both --mapping values: PSNR over RGB (pixolune-cli's own
--json figure, checked against quality_measure), SSIM on luma (quality_measure)
and butteraugli (Debian's butteraugli, on PNG copies made by ImageMagick);
then whole runs at 12 MP, paired, back to back and each after a pause: fine
against exact, and exact with --json (which measures the PSNR) against exact
alone. Standard library only.

  quality.py --cli CLI --measure QUALITY_MEASURE --corpus DIR --pictures DIR
             --scratch DIR --out DIR [--rounds N] [--pause SECONDS] [--times-only]
"""

import json
import math
import os
import shutil
import statistics
import subprocess
import sys
import time

import bench_options

from against_limit import Machine, fmt_ratio, measure, paired, verdict

CORPUS = ["mp0_3", "mp2", "mp12", "mp24", "mp50"]
PICTURES = ["brushes", "fig", "dogs", "mountains", "dragonfly", "bridge", "wine", "painting"]
FEW_COLOURS = "brushes-226"
MAPPINGS = ["exact", "fine"]
TARGETS = {"psnr": 38.0, "ssim": 0.93, "butteraugli": 6.5, "time": 1.3, "psnr_cost": 1.05}
IM = "convert-im6.q16"


def output(command):
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout


def png(source, target):
    subprocess.run([IM, source, "PNG24:" + target], check=True)


def measure_picture(args, name, path, scratch):
    """{mapping: (psnr, ssim, butteraugli)} for one picture."""
    source_png = os.path.join(scratch, name + ".png")
    png(path, source_png)
    figures = {}
    for mapping in MAPPINGS:
        out = os.path.join(scratch, mapping)
        os.makedirs(out, exist_ok=True)
        line = output([args.cli, "--json", "--mapping", mapping, "-o", out, path]).splitlines()[0]
        reported = json.loads(line)
        if reported["status"] != "written":
            sys.exit(f"quality.py: {path}: {reported['message']}")
        reduced = reported["output"]
        own_psnr, ssim = output([args.measure, path, reduced]).split()
        psnr = math.inf if reported["psnr"] is None else reported["psnr"]
        if abs(psnr - float(own_psnr)) > 0.006 and not (math.isinf(psnr) and own_psnr == "inf"):
            sys.exit(f"quality.py: {name}: --json says {psnr} dB, quality_measure {own_psnr}")
        reduced_png = os.path.join(scratch, f"{name}-{mapping}.png")
        png(reduced, reduced_png)
        butteraugli = float(output(["butteraugli", source_png, reduced_png]).split()[0])
        figures[mapping] = (psnr, float(ssim), butteraugli)
        os.remove(reduced)
        os.remove(reduced_png)
    os.remove(source_png)
    return figures


def fmt(value, digits):
    return "∞ (lossless)" if math.isinf(value) else f"{value:.{digits}f}"


def time_rows(args, machine):
    """Whole runs at 12 MP, one file at the default -j, outputs in the scratch
    folder, back to back and after a pause: the rows of the verdict table."""
    out = os.path.join(args.scratch, "timed")
    os.makedirs(out, exist_ok=True)
    os.makedirs(args.out, exist_ok=True)
    photo = os.path.join(args.corpus, "mp12.bmp")
    base = [args.cli, "--quiet", "-o", out]
    commands = {
        "exact": base + [photo],
        "fine": base + ["--mapping", "fine", photo],
        "exact-json": [args.cli, "--json", "-o", out, photo],
    }
    # CPU time too: on a shared machine a wall time also holds the waits for a core.
    rows = ["| whole run, 12 MP | wall time | CPU time | target | verdict (wall) |",
            "|---|---|---|---|---|"]
    with open(os.path.join(args.out, "quality-times.tsv"), "w") as tsv:
        for when, pause in [("back to back", 0.0), (f"after a {args.pause:g}-s pause", args.pause)]:
            print(f"  whole runs at 12 MP, {when}", file=sys.stderr)
            times = measure("whole/12", commands, args.rounds, machine, tsv, pause)
            for what, label, target in [("fine ÷ exact", "fine", "time"),
                                        ("exact with --json (PSNR measured) ÷ exact",
                                         "exact-json", "psnr_cost")]:
                wall = paired(times, label, "exact")
                cpu = statistics.median(a[2] / b[2] for a, b in zip(times[label], times["exact"]))
                rows.append(f"| {what}, {when} | {fmt_ratio(wall)} | {cpu:.2f}× "
                            f"| ≤ {TARGETS[target]:g}× | {verdict(wall[0], TARGETS[target])} |")
    return [f"the whole runs: {args.rounds} rounds, {machine.summary()}.", ""] + rows


def main():
    options = bench_options.parser(__doc__, "--measure", "--pictures")
    options.add_argument("--pause", type=float, default=3.0,
                         help="seconds before each whole run of the rounds after a pause")
    options.add_argument("--times-only", action="store_true",
                         help="only the whole runs, no quality table")
    args = options.parse_args()
    if args.times_only:
        return print("\n".join(time_rows(args, Machine())))
    for tool in [IM, "butteraugli"]:
        if shutil.which(tool) is None:
            sys.exit(f"quality.py: {tool} is missing (apt-get install imagemagick butteraugli)")

    pictures = [(n, os.path.join(args.corpus, n + ".bmp"), "corpus") for n in CORPUS]
    pictures += [(n, os.path.join(args.pictures, n + ".bmp"), "other") for n in PICTURES]
    pictures.append((FEW_COLOURS, os.path.join(args.pictures, FEW_COLOURS + ".bmp"), "few"))
    for _, path, _ in pictures:
        if not os.path.isfile(path):
            sys.exit(f"quality.py: {path} is missing")
    os.makedirs(args.out, exist_ok=True)
    started = time.gmtime()

    rows = []
    for name, path, kind in pictures:
        print(f"  quality of {name}", file=sys.stderr)
        rows.append((name, kind, measure_picture(args, name, path, args.scratch)))

    machine = Machine()
    times = time_rows(args, machine)

    with open(os.path.join(args.out, "quality.tsv"), "w") as tsv:
        tsv.write("picture\tkind\tmapping\tpsnr\tssim\tbutteraugli\n")
        for name, kind, figures in rows:
            for mapping, (p, s, b) in figures.items():
                tsv.write(f"{name}\t{kind}\t{mapping}\t{p}\t{s}\t{b}\n")

    md = [f"quality.py: {time.strftime('%Y-%m-%d %H:%M UTC', started)}; the whole runs: "
          f"{args.rounds} rounds, {machine.summary()}.", ""]
    md.append("PSNR over RGB (dB), SSIM on luma, butteraugli (lower is better), "
              "of the 8-bit BMP against its source:")
    md.append("")
    md.append("| picture | MP | exact PSNR | fine PSNR | exact SSIM | fine SSIM "
              "| exact butteraugli | fine butteraugli |")
    md.append("|---|---|---|---|---|---|---|---|")
    for (name, kind, f), (_, path, _) in zip(rows, pictures):
        with open(path, "rb") as bmp:
            head = bmp.read(26)
        mp = int.from_bytes(head[18:22], "little") * abs(int.from_bytes(head[22:26], "little",
                                                                         signed=True)) / 1e6
        label = name + (" (226 colours)" if kind == "few" else "")
        md.append(f"| {label} | {mp:.1f} | {fmt(f['exact'][0], 2)} | {fmt(f['fine'][0], 2)} "
                  f"| {f['exact'][1]:.4f} | {f['fine'][1]:.4f} | {f['exact'][2]:.2f} "
                  f"| {f['fine'][2]:.2f} |")
    photos = [f for _, kind, f in rows if kind != "few"]
    means = {m: [statistics.mean(f[m][i] for f in photos) for i in range(3)] for m in MAPPINGS}
    md.append(f"| **mean of the {len(photos)} photographs** | | {means['exact'][0]:.2f} "
              f"| {means['fine'][0]:.2f} | {means['exact'][1]:.4f} | {means['fine'][1]:.4f} "
              f"| {means['exact'][2]:.2f} | {means['fine'][2]:.2f} |")
    md.append("")
    fine = means["fine"]
    md.append("| fine mapping | measured | target | verdict |")
    md.append("|---|---|---|---|")
    md.append(f"| mean PSNR | {fine[0]:.2f} dB | ≥ 38 dB | "
              f"{'met' if fine[0] >= TARGETS['psnr'] else '**missed**'} |")
    md.append(f"| mean SSIM on luma | {fine[1]:.4f} | ≥ 0.93 | "
              f"{'met' if fine[1] >= TARGETS['ssim'] else '**missed**'} |")
    md.append(f"| mean butteraugli | {fine[2]:.2f} | ≤ 6.5 | "
              f"{'met' if fine[2] <= TARGETS['butteraugli'] else '**missed**'} |")
    md += [""] + times[2:]
    md.append("")
    few = rows[-1][2]
    md.append(f"The {FEW_COLOURS} picture (at most 256 colours) comes out "
              f"{'lossless' if math.isinf(few['fine'][0]) else 'with losses'} in the fine mapping.")
    with open(os.path.join(args.out, "quality.md"), "w") as f:
        f.write("\n".join(md) + "\n")
    print("\n".join(md))


if __name__ == "__main__":
    main()
