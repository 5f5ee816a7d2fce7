#!/usr/bin/env bash
# The benchmark run behind `make bench` (after the linux-release build): every
# Google Benchmark suite, each keeping its JSON report, then one table of all
# of them (scripts/bench-table.py), also written to out/bench.json.
# Arguments are passed to every suite (e.g. --benchmark_filter=Latency).
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$top"

results=build/linux-release/bench-results
rm -rf "$results"; mkdir -p "$results" out
for suite in build/linux-release/bench/*Benchmark; do
    echo "=== $suite"
    "$suite" --benchmark_out="$results/$(basename "$suite").json" --benchmark_out_format=json "$@"
done
echo
echo "=== summary"
python3 scripts/bench-table.py out/bench.json "$results"/*.json
