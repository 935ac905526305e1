#!/usr/bin/env bash
# `glimmer-extract thumbnail -s 256` against Debian's exe-thumbnailer (package icoextract-thumbnailer),
# one process per file as file managers run them. For each file the two run in turn, ours then
# theirs, RUNS times after one warm-up pair; the figures are medians: wall time and peak memory of
# each, and the ratio theirs/ours taken pair by pair, so that a machine whose speed drifts still
# compares like with like. exe-thumbnailer reads PE modules only, so the corpus is the PE fixtures
# and an installer-like file (a small program with a large payload appended).
# Outputs go to /dev/shm where there is one, so the disk does not hide the tools' own time.
# Usage: bench/bench_thumbnailer.sh [BUILD_DIR] [RUNS] [PAYLOAD_MB]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build}")
runs=${2:-15}
payload_mb=${3:-32}
tool=$build/glimmer-extract
[[ -x $tool ]] || { echo "build glimmer-extract first: $tool"; exit 1; }
theirs=$(command -v exe-thumbnailer) || { echo "exe-thumbnailer is not installed (apt install icoextract-thumbnailer)"; exit 1; }
[[ -x /usr/bin/time ]] || { echo "GNU time is not installed (apt install time)"; exit 1; }

scratch=$(mktemp -d -p "$([[ -d /dev/shm ]] && echo /dev/shm || echo /tmp)")
trap 'rm -rf "$scratch"' EXIT
files=()
for f in icons32.dll icons64.dll many.dll tool.exe tool32.exe; do files+=("$root/tests/data/$f"); done
{ cat "$root/tests/data/tool.exe"; head -c $((payload_mb << 20)) /dev/urandom; } >"$scratch/setup.exe"
files+=("$scratch/setup.exe")

# run_one OUT COMMAND...: prints "milliseconds kilobytes" of one run; its output file is removed after.
run_one() {
  local out=$1
  shift
  local start end
  start=$(date +%s%N)
  /usr/bin/time -f '%M' -o "$scratch/rss" "$@" >/dev/null 2>&1 || true
  end=$(date +%s%N)
  rm -f "$out"
  echo "$(((end - start) / 1000)) $(cat "$scratch/rss")"
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }

printf '%-12s %9s %9s %9s %9s %8s\n' file ours_ms theirs_ms ours_MB theirs_MB ratio
for f in "${files[@]}"; do
  : >"$scratch/pairs"
  for i in $(seq 0 "$runs"); do
    a=$(run_one "$scratch/a.png" "$tool" thumbnail -s 256 "$f" "$scratch/a.png")
    b=$(run_one "$scratch/b.png" "$theirs" -s 256 "$f" "$scratch/b.png")
    ((i > 0)) && echo "$a $b" >>"$scratch/pairs" # the first pair warms the caches
  done
  awk '{ print $1 / 1000 }' "$scratch/pairs" | median >"$scratch/ours_ms"
  awk '{ print $3 / 1000 }' "$scratch/pairs" | median >"$scratch/theirs_ms"
  awk '{ print $2 / 1024 }' "$scratch/pairs" | median >"$scratch/ours_mb"
  awk '{ print $4 / 1024 }' "$scratch/pairs" | median >"$scratch/theirs_mb"
  awk '{ print $3 / $1 }' "$scratch/pairs" | median >"$scratch/ratio"
  printf '%-12s %9.1f %9.1f %9.1f %9.1f %7.1fx\n' "$(basename "$f")" "$(cat "$scratch/ours_ms")" \
    "$(cat "$scratch/theirs_ms")" "$(cat "$scratch/ours_mb")" "$(cat "$scratch/theirs_mb")" "$(cat "$scratch/ratio")"
done
echo "($runs pairs per file after one warm-up pair; medians; ratio = theirs / ours, pair by pair)"
