#!/usr/bin/env python3
"""The benchmark's table, chart and the guide's performance section from its
CSV; and the phase rows of that CSV from the traced build's marks.

usage: report.py phases trace.txt scale payload_bytes   (CSV rows on stdout)
       report.py table bench.csv table.txt chart.png "flavour" [guide.md]
BENCH_NOTE, when set, adds a line (say, about the machine's load) to both.
The chart is drawn by ImageMagick (/usr/bin/convert). The guide's section
between GUIDE_BEGIN and GUIDE_END is replaced."""
import csv
import os
import re
import statistics
import subprocess
import sys

MB = 1048576.0
FILETIME_UNIX = 11644473600.0
GUIDE_BEGIN = "<!-- bench results: written by bench/report.py -->"
GUIDE_END = "<!-- end of bench results -->"

# Mark name (the phase it starts) -> reported phase; "launch" is the time
# from the host's start of the program to its first mark (Wine's start).
PHASES = [("startup", "start-up to the first file"), ("launch", "  of which Wine's start of the process"),
          ("files", "file phases (extract, check, expand)"), ("registry", "registry and INI steps"),
          ("selfreg", "self-registrations, scheduler"), ("progman", "Program Manager commands"),
          ("exit", "exit"), ("total", "total (traced build)"), ("own", "all but the Program Manager commands")]
GROUP = {"launch": "startup", "startup": "startup", "files": "files", "registry": "registry",
         "selfreg": "selfreg", "progman": "progman", "exit": "exit", "ended": "exit"}


def trace_runs(path):
    """Each run of the trace file: (host start, host end, [(mark, unix time)])."""
    runs = []
    with open(path) as f:
        for line in f:
            part = line.split()
            if not part:
                continue
            if part[0] == "run":
                runs.append((float(part[1]), float(part[2]), []))
            elif runs and len(part) == 3:
                t = ((int(part[1]) << 32) | int(part[2])) / 1e7 - FILETIME_UNIX
                runs[-1][2].append((part[0], t))
    return runs


def run_phases(start, end, marks):
    spent = {}
    edges = [("launch", start)] + marks + [("", end)]
    for (name, t), (_, t_next) in zip(edges, edges[1:]):
        group = GROUP.get(name, "progman" if name.startswith("p-") else "other")
        spent[group] = spent.get(group, 0.0) + (t_next - t)
        if name == "launch":
            spent["launch"] = t_next - t
    spent["total"] = end - start
    spent["own"] = spent["total"] - spent.get("progman", 0.0)
    return spent


def phases(path, scale, payload_bytes):
    runs = [run_phases(*r) for r in trace_runs(path) if r[2]]
    for key, _ in PHASES:
        vals = sorted(r.get(key, 0.0) for r in runs)
        if vals:
            print("phase,%s,%s,%s,%.3f,%.3f,%.3f,s" % (key, scale, payload_bytes, vals[0],
                                                      statistics.median(vals), vals[-1]))


def load(path):
    rows = {}
    with open(path) as f:
        for r in csv.DictReader(f):
            rows[(r["measure"], r["case"], int(r["scale"]))] = r
    return rows


def med(rows, case, scale):
    r = rows.get(("time", case, scale))
    return float(r["median"]) if r else None


def phase_med(rows, key, scale):
    r = rows.get(("phase", key, scale))
    return float(r["median"]) if r else None


def split_scales(rows):
    return sorted({k[2] for k in rows if k[0] == "phase"})


def table(rows, flavour):
    out = []
    put = out.append
    scales = sorted({k[2] for k in rows if k[0] == "time" and k[1] == "setup"})
    noop = rows[("time", "noop", 0)]
    fixed = float(noop["median"])
    put("Installation benchmark under Wine: wall time of one program start, min / median / max")
    put("over the timed runs, after one warm-up run; the cases of a scale take turns.")
    put("Flavour timed: %s" % flavour)
    if os.environ.get("BENCH_NOTE"):
        put("Note: %s" % os.environ["BENCH_NOTE"])
    put("Every run starts from the same state: the reset also closes the group's folder window")
    put("that the Program Manager server opened and waits for its process to end.")
    put("")
    put("Time                          min      median   max      beyond fixed cost")
    put("  do-nothing program          %-8s %-8s %-8s" % (noop["min"], noop["median"], noop["max"]))
    for scale in scales:
        for case, label in (("setup", "setup.exe /quiet"), ("setup-no-shell", "setup.exe, no shell"),
                            ("setup-traced", "setup.exe, phase marks"),
                            ("nsis-zlib", "NSIS /S (zlib)"), ("nsis-lzma", "NSIS /S (LZMA)"),
                            ("remove", "zlrem32.exe -q")):
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
    sp = split_scales(rows)
    if sp:
        put("")
        put("Time by phase: setup.exe built with phase marks (ZL_TRACE=ON), timed in the same turns;")
        put("median seconds per phase over the runs (medians need not add up to the total)")
        put("  %-40s" % "phase" + "".join("%10s" % ("x%d" % s) for s in sp))
        for key, label in PHASES:
            put("  %-40s" % label + "".join("%10s" % fmt(phase_med(rows, key, s)) for s in sp))
        put("  %-40s" % "NSIS LZMA, whole installation" + "".join("%10s" % fmt(med(rows, "nsis-lzma", s)) for s in sp))
        put("  %-40s" % "all but Program Manager / NSIS LZMA" +
            "".join("%10s" % ratio(phase_med(rows, "own", s), med(rows, "nsis-lzma", s)) for s in sp))
        put("  %-40s" % "within NSIS LZMA's whole installation" +
            "".join("%10s" % within(phase_med(rows, "own", s), med(rows, "nsis-lzma", s)) for s in sp))
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
    if ("size", "setup-less-payload", 1) in rows:
        put("  setup.exe less its payload   %10d  (the program beside its payload)" % size("setup-less-payload"))
    put("  setup.exe (32-bit product)   %10d" % size("setup-32bit"))
    put("  NSIS x86-ansi zlib           %10d  setup.exe / NSIS = %.2f" % (size("nsis32-zlib"), size("setup-32bit") / size("nsis32-zlib")))
    put("  NSIS x86-ansi LZMA           %10d  setup.exe / NSIS = %.2f" % (size("nsis32-lzma"), size("setup-32bit") / size("nsis32-lzma")))
    check = rows.get(("check", "nsis32-exit-code", 1))
    if check and check["median"] != "0":
        put("  (the x86 NSIS installer cannot run on this machine: exit code %s; the timings use the 64-bit one)"
            % check["median"])
    if size("setup-run") != size("setup-32bit"):
        put("  setup.exe (timed build)      %10d" % size("setup-run"))
    put("  NSIS timed zlib              %10d  setup.exe / NSIS = %.2f" % (size("nsis-run-zlib"), size("setup-run") / size("nsis-run-zlib")))
    put("  NSIS timed LZMA              %10d  setup.exe / NSIS = %.2f" % (size("nsis-run-lzma"), size("setup-run") / size("nsis-run-lzma")))
    put("")
    put("Expansion of the largest payload file (best of the runs)")
    for scale in scales:
        lz = rows.get(("throughput", "lz32", scale))
        own = rows.get(("throughput", "own", scale))
        cp = rows.get(("throughput", "copy", scale))
        if lz and cp:
            put("  x%-3d %6.1f MB file: LZ32 %7.1f MB/s   plain copy %7.1f MB/s   (%.0f%% of the copy)"
                % (scale, int(lz["payload_bytes"]) / MB, float(lz["median"]), float(cp["median"]),
                   100.0 * float(lz["median"]) / float(cp["median"])))
        if own and lz:
            put("                    setup.exe %7.1f MB/s   (%.1f times LZ32)"
                % (float(own["median"]), float(own["median"]) / float(lz["median"])))
    return "\n".join(out) + "\n"


def fmt(v):
    return "-" if v is None else "%.3f" % v


def ratio(a, b):
    return "-" if a is None or not b else "%.2f" % (a / b)


def within(a, b):
    return "-" if a is None or b is None else ("yes" if a <= b else "NO")


def guide_section(rows, flavour):
    """The guide's performance figures, in Markdown, from the same rows."""
    out = []
    put = out.append
    scales = sorted({k[2] for k in rows if k[0] == "time" and k[1] == "setup"})
    sp = split_scales(rows)
    fixed = float(rows[("time", "noop", 0)]["median"])
    put("Measured by `bash bench/run.sh` (full table: `bench/results/table.txt`). Flavour timed: %s." % flavour)
    put("Median wall time of one quiet installation under Wine; every run starts from the same state.")
    if os.environ.get("BENCH_NOTE"):
        put("Note: %s." % os.environ["BENCH_NOTE"].rstrip("."))
    put("")
    put("| payload | setup.exe | NSIS zlib | NSIS LZMA | setup.exe / NSIS LZMA |")
    put("|---|---|---|---|---|")
    put("| (do-nothing program) | %.3f s | | | |" % fixed)
    for s in scales:
        a, z, l = med(rows, "setup", s), med(rows, "nsis-zlib", s), med(rows, "nsis-lzma", s)
        mb = int(rows[("time", "setup", s)]["payload_bytes"]) / MB
        put("| %d× (%.1f MB) | %s s | %s s | %s s | %s |" % (s, mb, fmt(a), fmt(z), fmt(l), ratio(a, l)))
    deploy, remove = med(rows, "setup-no-shell", 1), med(rows, "remove", 1)
    if deploy is not None:
        put("")
        put("As a deployment tool runs it (1×: `setup.exe /quiet`, no `install.ini`, in a window station "
            "where no shell runs, so the group is made as shortcuts): %s s; NSIS LZMA %s s." % (fmt(deploy), fmt(med(rows, "nsis-lzma", 1))))
    if remove is not None:
        put("The quiet removal of a 1× installation (`zlrem32.exe -q`, with the shell): %s s." % fmt(remove))
    if sp:
        put("")
        put("Where the time goes (a build with phase marks, `-DZL_TRACE=ON`, timed in the same turns; "
            "medians in seconds):")
        put("")
        put("| phase | " + " | ".join("%d×" % s for s in sp) + " |")
        put("|---|" + "---|" * len(sp))
        for key, label in PHASES:
            put("| %s | " % label.strip().replace("of which", "… of which") +
                " | ".join(fmt(phase_med(rows, key, s)) for s in sp) + " |")
        put("| NSIS LZMA, whole installation | " + " | ".join(fmt(med(rows, "nsis-lzma", s)) for s in sp) + " |")
        put("| all but Program Manager, within NSIS LZMA's time | " +
            " | ".join(within(phase_med(rows, "own", s), med(rows, "nsis-lzma", s)) for s in sp) + " |")
    size = lambda c: int(rows[("size", c, 1)]["median"])
    put("")
    put("Sizes: `setup.exe` %d bytes, of which the program %s bytes beside its payload; the payload packed "
        "%d bytes (%.1f%% of its %d raw bytes; mscompress: %d); NSIS x86 zlib %d, LZMA %d bytes."
        % (size("setup-32bit"), size("setup-less-payload") if ("size", "setup-less-payload", 1) in rows else "?",
           size("payload-szdd"), 100.0 * size("payload-szdd") / size("payload-raw"), size("payload-raw"),
           size("payload-mscompress"), size("nsis32-zlib"), size("nsis32-lzma")))
    return "\n".join(out) + "\n"


def update_guide(path, text):
    with open(path) as f:
        guide = f.read()
    pattern = re.compile(re.escape(GUIDE_BEGIN) + ".*?" + re.escape(GUIDE_END), re.S)
    if not pattern.search(guide):
        print("no bench section in %s" % path, file=sys.stderr)
        return False
    guide = pattern.sub(lambda _: GUIDE_BEGIN + "\n" + text + GUIDE_END, guide)
    with open(path, "w") as f:
        f.write(guide)
    return True


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
    if sys.argv[1] == "phases":
        phases(sys.argv[2], sys.argv[3], sys.argv[4])
        return 0
    rows = load(sys.argv[2])
    flavour = sys.argv[5] if len(sys.argv) > 5 else "?"
    with open(sys.argv[3], "w") as f:
        f.write(table(rows, flavour))
    try:
        chart(rows, sys.argv[4])
    except (OSError, subprocess.CalledProcessError) as e:
        print("no chart: %s" % e, file=sys.stderr)
    if len(sys.argv) > 6 and not update_guide(sys.argv[6], guide_section(rows, flavour)):
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
