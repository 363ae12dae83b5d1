#!/usr/bin/env python3
"""PNG and JPEG input: whole pixolune-cli runs against Pillow, in paired rounds.

  decoders.py --cli CLI --corpus DIR --scratch DIR --out DIR --python PY
              [--rounds N] [--size 12] [--quality 90] [--before CLI]

The photo of the corpus at SIZE MP as PNG (mpN.png), as a JPEG that cjpeg
makes of its BMP at QUALITY (4:2:0, into SCRATCH) and as the BMP itself.
Each is reduced to an 8-bit BMP by pixolune-cli and by Pillow (PY, a python3
with Pillow: Image.open(p).quantize(256).save(out)), once a round, the first
command rotating from round to round, back to back and with a 3-s pause
before each command. A ratio is the median of the rounds' own ratios.
--before names another pixolune-cli (an earlier build) to compare with.

Writes OUT/decoders.tsv (pause, command, round, wall us) and OUT/decoders.md.
Outputs go to SCRATCH (put it in /dev/shm). Standard library only.
"""

import os
import statistics
import subprocess
import sys
import time

import bench_options

# pixolune-cli at most this times Pillow's run on the same file.
TARGETS = {"png": 0.35, "jpg": 0.25}
PILLOW = "import sys\nfrom PIL import Image\nImage.open(sys.argv[1]).quantize(256).save(sys.argv[2])"


def wall_us(command, pause):
    if pause:
        time.sleep(pause)
    start = time.perf_counter_ns()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return (time.perf_counter_ns() - start) // 1000


def main():
    options = bench_options.parser(__doc__, "--python")
    options.add_argument("--size", default="12")
    options.add_argument("--quality", default="90")
    options.add_argument("--before")
    args = options.parse_args()
    stem = "mp" + args.size.replace(".", "_")
    os.makedirs(args.scratch, exist_ok=True)
    os.makedirs(args.out, exist_ok=True)
    bmp = os.path.join(args.corpus, stem + ".bmp")
    inputs = {"png": os.path.join(args.corpus, stem + ".png"),
              "jpg": os.path.join(args.scratch, stem + ".jpg"), "bmp": bmp}
    with open(inputs["jpg"], "wb") as jpeg:
        subprocess.run(["cjpeg", "-quality", args.quality, bmp], check=True, stdout=jpeg)
    out = os.path.join(args.scratch, "out")
    os.makedirs(out, exist_ok=True)
    commands = {}
    for form, path in inputs.items():
        commands["pixolune " + form] = [args.cli, "--quiet", "-o", out, path]
        commands["Pillow " + form] = [args.python, "-c", PILLOW, path,
                                      os.path.join(out, "pillow-" + form + ".bmp")]
        if args.before:
            commands["before " + form] = [args.before, "--quiet", "-o", out, path]
    names = list(commands)
    rows = []
    for pause in (0, 3):
        for name in names:  # one round not counted: page cache, first creation of outputs
            wall_us(commands[name], 0)
        for round_ in range(args.rounds):
            shift = round_ % len(names)
            for name in names[shift:] + names[:shift]:
                rows.append((pause, name, round_, wall_us(commands[name], pause)))
    with open(os.path.join(args.out, "decoders.tsv"), "w") as tsv:
        for row in rows:
            tsv.write("\t".join(map(str, row)) + "\n")

    def ratios(pause, a, b):
        by = {(n, r): us for p, n, r, us in rows if p == pause}
        return [by[(a, r)] / by[(b, r)] for r in range(args.rounds)]

    lines = [f"One {args.size} MP photo, {args.rounds} paired rounds "
             f"(median, range); JPEG made by cjpeg -quality {args.quality}.", "",
             "| input | pause | pixolune ÷ Pillow | target | pixolune ÷ pixolune on the BMP |"
             " pixolune ÷ before | pixolune ms |", "|---|---|---|---|---|---|---|"]
    for form in ("png", "jpg"):
        for pause in (0, 3):
            vs = ratios(pause, "pixolune " + form, "Pillow " + form)
            bmpRatio = ratios(pause, "pixolune " + form, "pixolune bmp")
            ms = statistics.median(us for p, n, _, us in rows
                                   if p == pause and n == "pixolune " + form) / 1000
            before = "–"
            if args.before:
                b = ratios(pause, "pixolune " + form, "before " + form)
                before = f"{statistics.median(b):.2f} ({min(b):.2f}–{max(b):.2f})"
            verdict = "met" if statistics.median(vs) <= TARGETS[form] else "MISSED"
            lines.append(f"| {form.upper()} | {'3 s' if pause else 'none'} | "
                         f"{statistics.median(vs):.3f} ({min(vs):.3f}–{max(vs):.3f}) | "
                         f"≤ {TARGETS[form]} {verdict} | {statistics.median(bmpRatio):.2f} | "
                         f"{before} | {ms:.0f} |")
    report = "\n".join(lines) + "\n"
    with open(os.path.join(args.out, "decoders.md"), "w") as md:
        md.write(report)
    sys.stdout.write(report)


if __name__ == "__main__":
    main()
