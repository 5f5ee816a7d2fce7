#!/usr/bin/env python3
"""Merges the Google Benchmark JSON reports of the pipeline suites into one
table (printed) and one JSON file with stable keys, so that figures can be
compared between commits.

Each benchmark names its row with its label "path/event/WIDTHxHEIGHT" and
reports the counters of bench/common/BenchReport.h: the latency benchmarks
give p50/p99, the sustained ones frames (updates) per second; both give the
limits measured in the same run and the heap allocations per update.

usage: bench-table.py OUT.json SUITE.json...
"""
import json
import subprocess
import sys

# Row metric: (counter, source) where source is "latency" or "rate".
METRICS = {
    "p50_us": ("p50_us", "latency"),
    "p99_us": ("p99_us", "latency"),
    "fps": ("fps", "rate"),
    "presented_fps": ("presented_fps", "rate"),
    "memcpy_us": ("memcpy_us", "latency"),
    "wakeup_us": ("wakeup_us", "latency"),
    "p50_per_memcpy": ("p50_per_memcpy", "latency"),
    "p99_per_memcpy": ("p99_per_memcpy", "latency"),
    "p50_per_wakeup": ("p50_per_wakeup", "latency"),
    "p99_per_wakeup": ("p99_per_wakeup", "latency"),
    "period_per_memcpy": ("period_per_memcpy", "rate"),
    "period_per_wakeup": ("period_per_wakeup", "rate"),
    "allocs_per_frame": ("allocs_per_frame", "latency"),
    "sim_allocs_per_frame": ("sim_allocs_per_frame", "latency"),
    "sustained_allocs_per_frame": ("allocs_per_frame", "rate"),
    "sustained_sim_allocs_per_frame": ("sim_allocs_per_frame", "rate"),
}

COLUMNS = [  # heading, metric, format
    ("p50 us", "p50_us", "num"),
    ("p99 us", "p99_us", "num"),
    ("fps", "fps", "num"),
    ("memcpy us", "memcpy_us", "num"),
    ("wake us", "wakeup_us", "num"),
    ("p50/memcpy", "p50_per_memcpy", "ratio"),
    ("p99/memcpy", "p99_per_memcpy", "ratio"),
    ("p50/wake", "p50_per_wakeup", "ratio"),
    ("p99/wake", "p99_per_wakeup", "ratio"),
    ("1/fps/memcpy", "period_per_memcpy", "ratio"),
    ("allocs/frame", "allocs_per_frame", "alloc"),
    ("sim allocs", "sim_allocs_per_frame", "alloc"),
]


def source_of(benchmark):
    if "p50_us" in benchmark:
        return "latency"
    if "fps" in benchmark:
        return "rate"
    return None


def rows_merge(reports):
    rows = {}
    for report in reports:
        for benchmark in report.get("benchmarks", []):
            label = benchmark.get("label", "")
            if label.count("/") != 2 or benchmark.get("run_type", "iteration") != "iteration":
                continue
            path, event, mode = label.split("/")
            row = rows.setdefault(label, {"path": path, "event": event, "mode": mode, "benchmarks": [],
                                          "errors": []})
            row["benchmarks"].append(benchmark["name"])
            if benchmark.get("error_occurred"):
                row["errors"].append("%s: %s" % (benchmark["name"], benchmark.get("error_message", "")))
                continue
            source = source_of(benchmark)
            for metric, (counter, wanted) in METRICS.items():
                if wanted == source and counter in benchmark:
                    row[metric] = benchmark[counter]
    for row in rows.values():
        for metric in METRICS:
            row.setdefault(metric, None)
    return rows


def number(value, kind):
    if value is None:
        return "-"
    if kind == "alloc":
        return "%.2f" % value
    magnitude = abs(value)
    if magnitude >= 100:
        return "%.0f" % value
    if magnitude >= 10:
        return "%.1f" % value
    if magnitude >= 1 or kind == "num":
        return "%.2f" % value
    return "%.3f" % value


def table_print(rows):
    headings = ["path", "event", "mode"] + [heading for heading, _, _ in COLUMNS]
    lines = []
    for key in sorted(rows):
        row = rows[key]
        lines.append([row["path"], row["event"], row["mode"]] +
                     [number(row[metric], kind) for _, metric, kind in COLUMNS])
    widths = [max(len(cell) for cell in column) for column in zip(headings, *lines)]

    def joined(cells):
        return "  ".join(cell.ljust(width) if index < 3 else cell.rjust(width)
                         for index, (cell, width) in enumerate(zip(cells, widths)))

    print(joined(headings))
    print("  ".join("-" * width for width in widths))
    for cells in lines:
        print(joined(cells))
    print()
    print("latency: driver signals -> FrameBufferUpdate begins; fps: updates delivered per second, sustained;")
    print("memcpy: one frame (WIDTHxHEIGHTx4) copied cold; wake: one cross-thread wake-up through an event;")
    print("allocs/frame: heap allocations of the library per update; sim allocs: those of the simulated")
    print("kernel and drivers inside requests and waits (none on Windows). All measured in this run.")
    for key in sorted(rows):
        for error in rows[key]["errors"]:
            print("ERROR %s: %s" % (key, error))


def git(*arguments):
    try:
        return subprocess.run(["git"] + list(arguments), capture_output=True, text=True, check=True).stdout.strip()
    except (OSError, subprocess.CalledProcessError):
        return None


def main():
    if len(sys.argv) < 3:
        sys.stderr.write(__doc__)
        return 2
    reports = []
    for name in sys.argv[2:]:
        with open(name) as report:
            reports.append(json.load(report))
    rows = rows_merge(reports)
    table_print(rows)
    context = reports[0].get("context", {}) if reports else {}
    status = git("status", "--porcelain", "--untracked-files=no")
    result = {
        "schema": 1,
        "commit": git("rev-parse", "HEAD"),
        "dirty": bool(status) if status is not None else None,
        "date": context.get("date"),
        "host": {key: context.get(key) for key in ("host_name", "num_cpus", "mhz_per_cpu", "load_avg")},
        "rows": {key: {metric: rows[key][metric] for metric in ["path", "event", "mode"] + list(METRICS)}
                 for key in sorted(rows)},
        "errors": [error for key in sorted(rows) for error in rows[key]["errors"]],
    }
    with open(sys.argv[1], "w") as out:
        json.dump(result, out, indent=2, sort_keys=True)
        out.write("\n")
    print("written: %s" % sys.argv[1])
    return 1 if result["errors"] else 0


if __name__ == "__main__":
    sys.exit(main())
