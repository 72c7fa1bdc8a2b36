#!/usr/bin/env bash
# Benchmarks (not part of the tests):
#  1. the analysis alone on synthetic entries (Google Benchmark);
#  2. vorlex-scan next to find(1) on a generated tree of 300000 files, warm
#     cache: the median of each and their ratio (target <= 1.0), and
#     vorlex-scan's peak memory per file (target < 250 bytes).
# BENCH_TREE=DIR chooses where the tree is made (kept between runs).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/install-deps.sh bench
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVORLEX_BENCH=ON \
  -DVORLEX_GUI=OFF -DVORLEX_TESTS=OFF >/dev/null
cmake --build build-bench -j "$(nproc)"

echo "== analysis alone"
if [[ -x build-bench/bench/analysis_bench ]]; then
  build-bench/bench/analysis_bench --benchmark_min_time=1
fi

tree=${BENCH_TREE:-/tmp/vorlex-bench-tree}
files=300000
if [[ ! -f "$tree/.complete" ]]; then
  rm -rf "$tree"
  build-bench/make_tree "$tree" "$files" 1
  touch "$tree/.complete"
fi

echo "== whole scan of $tree ($files files), warm cache"
scan="$root/build-bench/vorlex-scan"
csv=$(mktemp)
hyperfine --warmup 2 --runs 10 --export-csv "$csv" -N \
  -n vorlex-scan "$scan $tree" \
  -n find "find $tree -xdev -maxdepth 10 -printf '%f\t%s\t%T@\t%p\n'" \
  --output=null
awk -F, 'NR > 1 { median[$1] = $4 }
  END { printf "median vorlex-scan %.3f s, find %.3f s, ratio %.2f (target <= 1.0)\n",
               median["vorlex-scan"], median["find"], median["vorlex-scan"] / median["find"] }' "$csv"
rm -f "$csv"

# /usr/bin/time prints after the program's own stderr; take its last line.
peak_kb=$( { /usr/bin/time -f 'PEAK %M' "$scan" "$tree" >/dev/null; } 2>&1 | awk '/^PEAK/ {print $2}' )
awk -v kb="$peak_kb" -v n="$files" \
  'BEGIN { printf "peak memory %.1f MiB, %.0f bytes per file (target < 250)\n", kb / 1024, kb * 1024 / n }'
