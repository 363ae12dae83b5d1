#!/usr/bin/env python3
"""Turns one benchmark run into the ratio tables of bench/README.md.

  ratios.py dither BENCH_DITHER.json     (Google Benchmark JSON of bench_dither)
  ratios.py load BENCH_LOAD.json         (Google Benchmark JSON of bench_load)
  ratios.py cli TIMES.tsv PIXELS.tsv     (written by peers.sh)

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

def medians(path):
    """name ("DitherTo8bpp/50MP/threads:2") -> (real ms, cpu ms, pixels)"""
    with open(path) as f:
        data = json.load(f)
    median = {}
    for b in data["benchmarks"]:
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        name = b.get("run_name", b["name"])
        if b.get("run_type") == "iteration" and name in median:
            continue  # a run without repetitions: its single figure is the median
        median[name] = (b["real_time"], b["cpu_time"], b.get("pixels", 0.0))
    return median


def dither(path):
    median = medians(path)

    def get(kind, size, threads):
        return median.get(f"{kind}/{size}/threads:{threads}")

    sizes = sorted({name.split("/")[1] for name in median if name.startswith("DitherTo8bpp/")},
                   key=lambda size: float(size.rstrip("MP")))
    counts = sorted({int(name.rpartition(":")[2]) for name in median
                     if name.startswith("DitherTo8bpp/")})
    many = counts[-1]

    def gbps(pixels, ms):  # 5 bytes a pixel (4 read, 1 written)
        return pixels * 5 / (ms / 1e3) / 1e9

    print(f"Median wall time; the pixel loop is DitherTo8bpp minus the palette step (which "
          f"runs on one thread); {many} threads = every core here.")
    print()
    print(f"| size | threads | DitherTo8bpp | pixel loop | bandwidth pass, warm target | "
          f"bandwidth pass, fresh target | loop ÷ warm | loop speed-up (1 → {many}) | "
          f"warm pass speed-up |")
    print("|---|---|---|---|---|---|---|---|---|")
    for size in sizes:
        palette = get("PaletteStep", size, 1)
        for threads in counts:
            whole = get("DitherTo8bpp", size, threads)
            warm = get("BandwidthWarm", size, threads)
            fresh = get("BandwidthFresh", size, threads)
            if not (whole and warm and fresh and palette):
                continue
            pixels = whole[2]
            loop = whole[0] - palette[0]
            speedup = warm_speedup = "—"
            if threads != 1 and get("DitherTo8bpp", size, 1):
                loop1 = get("DitherTo8bpp", size, 1)[0] - palette[0]
                speedup = f"{loop1 / loop:.2f}×"
                warm_speedup = f"{get('BandwidthWarm', size, 1)[0] / warm[0]:.2f}×"
            print(f"| {size} | {threads} | {whole[0]:.2f} ms | {loop:.2f} ms "
                  f"({gbps(pixels, loop):.2f} GB/s) | {warm[0]:.2f} ms ({gbps(pixels, warm[0]):.2f} GB/s) | "
                  f"{fresh[0]:.2f} ms ({gbps(pixels, fresh[0]):.2f} GB/s) | {loop / warm[0]:.2f}× | "
                  f"{speedup} | {warm_speedup} |")
    print()
    print(f"Palette step (sample, octree, inverse map; one thread): " +
          ", ".join(f"{get('PaletteStep', size, 1)[0]:.2f} ms at {size}" for size in sizes
                    if get("PaletteStep", size, 1)))
    jpg = next((v for k, v in median.items() if k.startswith("SaveJPG/12MP")), None)
    if jpg:
        print()
        print(f"SaveJPG/12MP (in process, repeated): {jpg[0]:.1f} ms, "
              f"{jpg[2] / (jpg[0] / 1e3) / 1e6:.0f} Mpixel/s")


# ------------------------------------------------------------------ bench_load

def load(path):
    median = medians(path)
    sizes = sorted({name.split("/")[1] for name in median if name.startswith("LoadNative/")},
                   key=lambda size: float(size.rstrip("MP")))
    counts = sorted({int(name.rpartition(":")[2]) for name in median if name.startswith("LoadNative/")})
    many = counts[-1]
    print("The load stage (BMP file in the page cache to the 32-bpp image), median wall time:")
    print()
    print(f"| size | native, 1 thread | native, {many} threads | speed-up | Qt's reader | "
          f"Qt ÷ native ({many} threads) |")
    print("|---|---|---|---|---|---|")
    for size in sizes:
        one = median.get(f"LoadNative/{size}/threads:1")
        all_ = median.get(f"LoadNative/{size}/threads:{many}")
        qt = median.get(f"LoadQt/{size}/threads:{many}")
        if not (one and all_ and qt):
            continue
        mbps = lambda ms: one[2] * 3 / (ms / 1e3) / 1e9  # GB/s of the 24-bit file
        print(f"| {size} | {one[0]:.2f} ms ({mbps(one[0]):.2f} GB/s) | {all_[0]:.2f} ms "
              f"({mbps(all_[0]):.2f} GB/s) | {one[0] / all_[0]:.2f}× | {qt[0]:.2f} ms | "
              f"{qt[0] / all_[0]:.2f}× |")


# ------------------------------------------------------------------------ peers

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
    competitors = [("limit", "limits floor"), ("pillow", "Pillow FASTOCTREE"),
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

    print("| size | pixolune ÷ limit | pixolune ÷ Pillow (target < 1) | "
          "pixolune ÷ ImageMagick | pixolune ÷ pngquant |")
    print("|---|---|---|---|---|")
    for size in photo_sizes:
        pix = med(size, "pix")
        cells = []
        for name, limit in (("limit", None), ("pillow", 1.0), ("imagemagick", None), ("pngquant", None)):
            m = med(size, name)
            if m is None:
                cells.append("—")
                continue
            r = pix / m
            if name == "pillow":
                cells.append(f"{r:.2f}× {verdict(r < limit)}{by_how_much(r, limit)}")
            else:
                cells.append(f"{r:.2f}×")
        print(f"| {size} MP | " + " | ".join(cells) + " |")
    print()

    print("Peak memory (largest max RSS over the runs) in bytes per pixel:")
    print()
    print("| size | pixels | pixolune-cli | limits floor | Pillow | ImageMagick | pngquant |")
    print("|---|---|---|---|---|---|---|")
    for size in photo_sizes:
        px = pixels[size]

        def per_pixel(name):
            kb = rss.get((size, name))
            return None if not kb else max(kb) * 1024 / px

        pix = per_pixel("pix")
        others = []
        for name in ("limit", "pillow", "imagemagick", "pngquant"):
            v = per_pixel(name)
            others.append("—" if v is None else f"{v:.2f}")
        print(f"| {size} MP | {px} | {pix:.2f} ({max(rss[(size, 'pix')]) / 1024:.1f} MiB) | "
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


def main(argv):
    if len(argv) == 3 and argv[1] == "dither":
        dither(argv[2])
    elif len(argv) == 3 and argv[1] == "load":
        load(argv[2])
    elif len(argv) == 4 and argv[1] == "cli":
        cli(argv[2], argv[3])
    else:
        sys.stderr.write(__doc__)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
