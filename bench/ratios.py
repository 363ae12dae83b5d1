#!/usr/bin/env python3
"""Turns one benchmark run into the ratio tables of bench/README.md.

  ratios.py dither BENCH_DITHER.json     (Google Benchmark JSON of bench_dither)
  ratios.py cli TIMES.tsv PIXELS.tsv     (written by compare_cli.sh)

Standard library only. Every figure is a median over the runs of the same
invocation, and every verdict compares two medians of that one run.
"""

import json
import statistics
import sys
from collections import defaultdict


def verdict(ok):
    return "met" if ok else "**missed**"


def by_how_much(ratio, limit, at_most=True):
    """How far a missed target is, as a percentage of the limit."""
    if at_most:
        return "" if ratio <= limit else f" ({(ratio / limit - 1) * 100:.0f}% over)"
    return "" if ratio >= limit else f" ({(1 - ratio / limit) * 100:.0f}% short)"


# ---------------------------------------------------------------- bench_dither

def dither(path):
    with open(path) as f:
        data = json.load(f)
    median = {}  # name -> (real ms, cpu ms, pixels)
    for b in data["benchmarks"]:
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        name = b.get("run_name", b["name"])
        if b.get("run_type") == "iteration" and name in median:
            continue  # a run without repetitions: its single figure is the median
        median[name] = (b["real_time"], b["cpu_time"], None, b.get("pixels", 0.0))

    sizes = sorted((name.partition("/")[2] for name in median if name.startswith("DitherTo8bpp/")),
                   key=lambda size: float(size.rstrip("MP")))

    def gbps(entry):  # 5 bytes a pixel (4 read, 1 written) over the median wall time
        return entry[3] * 5 / (entry[0] / 1e3) / 1e9

    print("| size | DitherTo8bpp | palette step | pixel loop (difference) | bandwidth pass "
          "(warm / fresh target) | loop ÷ warm | loop ÷ fresh | whole ÷ warm | target ≤ 2× (loop ÷ warm) |")
    print("|---|---|---|---|---|---|---|---|---|")
    for size in sizes:
        whole = median[f"DitherTo8bpp/{size}"]
        palette = median[f"PaletteStep/{size}"]
        warm = median[f"BandwidthWarm/{size}"]
        fresh = median[f"BandwidthFresh/{size}"]
        pixels = whole[3]
        loop_ms = whole[0] - palette[0]
        loop_gbps = pixels * 5 / (loop_ms / 1e3) / 1e9
        r_warm, r_fresh, r_whole = loop_ms / warm[0], loop_ms / fresh[0], whole[0] / warm[0]
        print(f"| {size} | {whole[0]:.2f} ms ({gbps(whole):.2f} GB/s) | {palette[0]:.2f} ms | "
              f"{loop_ms:.2f} ms ({loop_gbps:.2f} GB/s) | {warm[0]:.2f} ms ({gbps(warm):.2f} GB/s) / "
              f"{fresh[0]:.2f} ms ({gbps(fresh):.2f} GB/s) | {r_warm:.2f}× | {r_fresh:.2f}× | "
              f"{r_whole:.2f}× | {verdict(r_warm <= 2.0)}{by_how_much(r_warm, 2.0)} |")
    print()
    print("Same figures on CPU time (cross-check against preemption on the shared machine):")
    print()
    print("| size | loop ÷ warm (CPU) | whole ÷ warm (CPU) |")
    print("|---|---|---|")
    for size in sizes:
        whole = median[f"DitherTo8bpp/{size}"]
        palette = median[f"PaletteStep/{size}"]
        warm = median[f"BandwidthWarm/{size}"]
        print(f"| {size} | {(whole[1] - palette[1]) / warm[1]:.2f}× | {whole[1] / warm[1]:.2f}× |")
    if "SaveJPG/12MP" in median:
        jpg = median["SaveJPG/12MP"]
        print()
        print(f"SaveJPG/12MP (in-process, repeated): {jpg[0]:.1f} ms, "
              f"{jpg[3] / (jpg[0] / 1e3) / 1e6:.0f} Mpixel/s")


# ------------------------------------------------------------------ compare_cli

def cli(times_path, pixels_path):
    runs = defaultdict(list)   # (size, name) -> [seconds]
    rss = defaultdict(list)    # (size, name) -> [KB]
    sizes = []
    with open(times_path) as f:
        for line in f:
            size, name, _run, value, kb = line.rstrip("\n").split("\t")
            if size not in sizes:
                sizes.append(size)
            runs[(size, name)].append(int(value) / 1e6)
            if kb:
                rss[(size, name)].append(int(kb))
    pixels = {}
    with open(pixels_path) as f:
        for line in f:
            size, count = line.split()
            pixels[size] = int(count)

    def med(size, name):
        values = runs.get((size, name))
        return statistics.median(values) if values else None

    def n_of(size, name):
        return len(runs.get((size, name), []))

    photo_sizes = [s for s in sizes if s in pixels]
    competitors = [("min", "minimal pipeline"), ("pillow", "Pillow FASTOCTREE"),
                   ("imagemagick", "ImageMagick -colors 256"), ("pngquant", "pngquant (PNG)")]

    print("Median wall time of whole runs (seconds; process start-up included):")
    print()
    print("| size | runs | pixolune-cli -j 1 | " + " | ".join(label for _, label in competitors) + " |")
    print("|---|---|---|" + "---|" * len(competitors))
    for size in photo_sizes:
        cells = []
        for name, _ in competitors:
            m = med(size, name)
            cells.append("—" if m is None else f"{m:.3f}")
        print(f"| {size} MP | {n_of(size, 'pix')} | {med(size, 'pix'):.3f} | " + " | ".join(cells) + " |")
    print()

    print("| size | pixolune ÷ minimal (target ≤ 2.5× at 12, 50 MP) | pixolune ÷ Pillow (target < 1) | "
          "pixolune ÷ ImageMagick | pixolune ÷ pngquant |")
    print("|---|---|---|---|---|")
    for size in photo_sizes:
        pix = med(size, "pix")
        cells = []
        for name, limit in (("min", 2.5), ("pillow", 1.0), ("imagemagick", None), ("pngquant", None)):
            m = med(size, name)
            if m is None:
                cells.append("—")
                continue
            r = pix / m
            if name == "min" and size in ("12", "50"):
                cells.append(f"{r:.2f}× {verdict(r <= limit)}{by_how_much(r, limit)}")
            elif name == "pillow":
                cells.append(f"{r:.2f}× {verdict(r < limit)}{by_how_much(r, limit)}")
            else:
                cells.append(f"{r:.2f}×")
        print(f"| {size} MP | " + " | ".join(cells) + " |")
    print()

    print("Peak memory (largest max RSS over the runs) in bytes per pixel:")
    print()
    print("| size | pixels | pixolune-cli | target ≤ 9 (12, 50 MP) | minimal | Pillow | ImageMagick | pngquant |")
    print("|---|---|---|---|---|---|---|---|")
    for size in photo_sizes:
        px = pixels[size]

        def per_pixel(name):
            kb = rss.get((size, name))
            return None if not kb else max(kb) * 1024 / px

        pix = per_pixel("pix")
        target = f"{verdict(pix <= 9)}{by_how_much(pix, 9)}" if size in ("12", "50") else "—"
        others = []
        for name in ("min", "pillow", "imagemagick", "pngquant"):
            v = per_pixel(name)
            others.append("—" if v is None else f"{v:.2f}")
        print(f"| {size} MP | {px} | {pix:.2f} ({max(rss[(size, 'pix')]) / 1024:.1f} MiB) | {target} | "
              + " | ".join(others) + " |")
    print()

    if runs.get(("jpg", "savejpg")):
        save, cj = med("jpg", "savejpg"), med("jpg", "cjpeg")
        r = save / cj
        print("JPEG at quality 85 on the 12-MP reduced image (median of", n_of("jpg", "savejpg"), "runs):")
        print()
        print("| SaveJPG alone (in process) | cjpeg -quality 85 (whole process) | ratio | target ≤ 1.3× |"
              " savejpg_timer process | pixolune-cli -t jpg -j 1 (whole run) |")
        print("|---|---|---|---|---|---|")
        print(f"| {save * 1e3:.1f} ms | {cj * 1e3:.1f} ms | {r:.2f}× | {verdict(r <= 1.3)}{by_how_much(r, 1.3)} | "
              f"{med('jpg', 'savejpg_process') * 1e3:.1f} ms | {med('jpg', 'cli_jpg') * 1e3:.1f} ms |")
        print()

    if runs.get(("batch", "j1")):
        j1, j2 = med("batch", "j1"), med("batch", "j2")
        s = j1 / j2
        print("Batch of 20 copies of the 2-MP photograph (median of", n_of("batch", "j1"), "runs):")
        print()
        print("| -j 1 | -j 2 | speed-up | target ≥ 1.7× |")
        print("|---|---|---|---|")
        print(f"| {j1:.3f} s | {j2:.3f} s | {s:.2f}× | {verdict(s >= 1.7)}{by_how_much(s, 1.7, at_most=False)} |")


def main(argv):
    if len(argv) == 3 and argv[1] == "dither":
        dither(argv[2])
    elif len(argv) == 4 and argv[1] == "cli":
        cli(argv[2], argv[3])
    else:
        sys.stderr.write(__doc__)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
