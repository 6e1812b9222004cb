#!/usr/bin/env python3
"""The benchmark's table and chart from its CSV.

usage: report.py bench.csv table.txt chart.png flavour
The chart is drawn by ImageMagick (/usr/bin/convert)."""
import csv
import subprocess
import sys

MB = 1048576.0


def load(path):
    rows = {}
    with open(path) as f:
        for r in csv.DictReader(f):
            rows[(r["measure"], r["case"], int(r["scale"]))] = r
    return rows


def med(rows, case, scale):
    r = rows.get(("time", case, scale))
    return float(r["median"]) if r else None


def table(rows, flavour):
    out = []
    put = out.append
    scales = sorted({k[2] for k in rows if k[0] == "time" and k[1] == "setup"})
    noop = rows[("time", "noop", 0)]
    fixed = float(noop["median"])
    put("Installation benchmark (Wine, build flavour %s; wall time of one program start, "
        "min / median / max over the timed runs, after one warm-up run)" % flavour)
    put("")
    put("Time                          min      median   max      beyond fixed cost")
    put("  do-nothing program          %-8s %-8s %-8s" % (noop["min"], noop["median"], noop["max"]))
    for scale in scales:
        for case, label in (("setup", "setup.exe /quiet"), ("nsis-zlib", "NSIS /S (zlib)"), ("nsis-lzma", "NSIS /S (LZMA)")):
            r = rows.get(("time", case, scale))
            if not r:
                continue
            put("  x%-3d %-22s %-8s %-8s %-8s %.3f" % (scale, label, r["min"], r["median"], r["max"],
                                                      float(r["median"]) - fixed))
    put("")
    put("Ratios setup.exe / NSIS (median wall time; in brackets: beyond the fixed cost)")
    for scale in scales:
        s = med(rows, "setup", scale)
        parts = []
        for case in ("nsis-zlib", "nsis-lzma"):
            n = med(rows, case, scale)
            if n:
                beyond = (n - fixed)
                parts.append("%s %.2f (%.2f)" % (case[5:], s / n, (s - fixed) / beyond if beyond > 0 else float("nan")))
        put("  x%-3d %s" % (scale, ", ".join(parts)))
    put("")
    put("Growth with the payload (seconds per MB of raw payload beyond the fixed cost)")
    put("  scale  payload MB   setup.exe s/MB   NSIS LZMA s/MB   NSIS zlib s/MB")
    for scale in scales:
        mb = int(rows[("time", "setup", scale)]["payload_bytes"]) / MB
        vals = []
        for case in ("setup", "nsis-lzma", "nsis-zlib"):
            m = med(rows, case, scale)
            vals.append("%.4f" % ((m - fixed) / mb) if m is not None else "-")
        put("  x%-5d %-10.2f   %-16s %-16s %s" % (scale, mb, vals[0], vals[1], vals[2]))
    if len(scales) > 1:
        lo, hi = scales[0], scales[-1]
        dmb = (int(rows[("time", "setup", hi)]["payload_bytes"]) - int(rows[("time", "setup", lo)]["payload_bytes"])) / MB
        slopes = []
        for case in ("setup", "nsis-lzma", "nsis-zlib"):
            a, b = med(rows, case, lo), med(rows, case, hi)
            slopes.append("%.4f" % ((b - a) / dmb) if a is not None and b is not None else "-")
        put("  marginal x%d..x%d:    %-16s %-16s %s" % (lo, hi, slopes[0], slopes[1], slopes[2]))
    put("")
    put("Sizes (bytes)")
    size = lambda c: int(rows[("size", c, 1)]["median"])
    put("  payload raw                  %10d" % size("payload-raw"))
    put("  payload, our SZDD packer     %10d  (%.1f%% of raw)" % (size("payload-szdd"), 100.0 * size("payload-szdd") / size("payload-raw")))
    put("  payload, mscompress          %10d  (%.1f%% of raw)" % (size("payload-mscompress"), 100.0 * size("payload-mscompress") / size("payload-raw")))
    put("  setup.exe (32-bit product)   %10d" % size("setup-32bit"))
    put("  NSIS x86 zlib                %10d  setup.exe / NSIS = %.2f" % (size("nsis32-zlib"), size("setup-32bit") / size("nsis32-zlib")))
    put("  NSIS x86 LZMA                %10d  setup.exe / NSIS = %.2f" % (size("nsis32-lzma"), size("setup-32bit") / size("nsis32-lzma")))
    check = rows.get(("check", "nsis32-exit-code", 1))
    if check and check["median"] != "0":
        put("  (the x86 NSIS installer cannot run on this machine: exit code %s; the timings use the 64-bit one)"
            % check["median"])
    put("  setup.exe (timed build)      %10d" % size("setup-run"))
    put("  NSIS timed zlib              %10d  setup.exe / NSIS = %.2f" % (size("nsis-run-zlib"), size("setup-run") / size("nsis-run-zlib")))
    put("  NSIS timed LZMA              %10d  setup.exe / NSIS = %.2f" % (size("nsis-run-lzma"), size("setup-run") / size("nsis-run-lzma")))
    put("")
    put("Expansion of the largest payload file (best of the runs)")
    for scale in scales:
        lz = rows.get(("throughput", "lz32", scale))
        cp = rows.get(("throughput", "copy", scale))
        if lz and cp:
            put("  x%-3d %6.1f MB file: LZ32 %7.1f MB/s   plain copy %7.1f MB/s   (%.0f%% of the copy)"
                % (scale, int(lz["payload_bytes"]) / MB, float(lz["median"]), float(cp["median"]),
                   100.0 * float(lz["median"]) / float(cp["median"])))
    return "\n".join(out) + "\n"


def chart(rows, path):
    """Median install times per scale as bars, the fixed cost as a line."""
    scales = sorted({k[2] for k in rows if k[0] == "time" and k[1] == "setup"})
    cases = [("setup", "#1f6f8b", "setup.exe quiet"), ("nsis-zlib", "#e3a63a", "NSIS /S zlib"),
             ("nsis-lzma", "#b5523b", "NSIS /S LZMA")]
    top = max(float(r["max"]) for k, r in rows.items() if k[0] == "time") * 1.1
    w, h, left, bottom, plot_h = 760, 420, 70, 360, 300
    y = lambda v: bottom - v / top * plot_h
    draw = ["-fill", "black", "-draw", "line %d,%d %d,%d" % (left, bottom, w - 20, bottom),
            "-draw", "line %d,%d %d,%d" % (left, bottom, left, bottom - plot_h)]
    step = 1 if top < 8 else (2 if top < 16 else 5)
    v = 0
    while v <= top:
        draw += ["-draw", "text %d,%d '%d s'" % (left - 40, y(v) + 4, v),
                 "-stroke", "#dddddd", "-draw", "line %d,%d %d,%d" % (left + 1, y(v), w - 20, y(v)), "-stroke", "none"]
        v += step
    group_w = (w - left - 40) / len(scales)
    bar_w = group_w / (len(cases) + 1)
    for gi, scale in enumerate(scales):
        x0 = left + 10 + gi * group_w
        for ci, (case, colour, _) in enumerate(cases):
            r = rows.get(("time", case, scale))
            if not r:
                continue
            xa = x0 + ci * bar_w
            draw += ["-fill", colour, "-draw", "rectangle %d,%d %d,%d" % (xa, y(float(r["median"])), xa + bar_w - 4, bottom),
                     "-fill", "black", "-draw", "line %d,%d %d,%d" % (xa + bar_w / 2 - 2, y(float(r["min"])), xa + bar_w / 2 - 2, y(float(r["max"])))]
        mb = int(rows[("time", "setup", scale)]["payload_bytes"]) / MB
        draw += ["-fill", "black", "-draw", "text %d,%d 'x%d (%.1f MB)'" % (x0 + 10, bottom + 18, scale, mb)]
    fixed = float(rows[("time", "noop", 0)]["median"])
    draw += ["-stroke", "#444444", "-strokewidth", "2", "-draw", "line %d,%d %d,%d" % (left, y(fixed), w - 20, y(fixed)),
             "-stroke", "none", "-fill", "#444444", "-draw", "text %d,%d 'do-nothing program %.2f s'" % (w - 230, y(fixed) - 6, fixed)]
    for ci, (_, colour, label) in enumerate(cases):
        draw += ["-fill", colour, "-draw", "rectangle %d,%d %d,%d" % (left + 10 + ci * 170, 20, left + 24 + ci * 170, 34),
                 "-fill", "black", "-draw", "text %d,%d '%s'" % (left + 30 + ci * 170, 32, label)]
    draw += ["-draw", "text %d,%d 'median wall time under Wine (bars), min..max (lines), by document scale'" % (left, 405)]
    cmd = ["/usr/bin/convert", "-size", "%dx%d" % (w, h), "xc:white", "-font", "DejaVu-Sans", "-pointsize", "12"] + draw + [path]
    subprocess.run(cmd, check=True)


def main():
    rows = load(sys.argv[1])
    text = table(rows, sys.argv[4] if len(sys.argv) > 4 else "?")
    with open(sys.argv[2], "w") as f:
        f.write(text)
    try:
        chart(rows, sys.argv[3])
    except (OSError, subprocess.CalledProcessError) as e:
        print("no chart: %s" % e, file=sys.stderr)


if __name__ == "__main__":
    main()
