#!/usr/bin/env bash
# Every command of glimmer-extract, and the window's extraction, on the two amplification modules
# that bench_hostile_modules writes: processor time (user + system), peak memory, bytes written
# and exit status, one line each. Outputs go to a scratch folder that is emptied after each run;
# a run still going after TIMEOUT seconds (default 120) is stopped and marked so.
# Usage: bench/bench_hostile_modules.sh [BUILD_DIR] [TIMEOUT]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build}")
limit=${2:-120}
export QT_QPA_PLATFORM=offscreen
tool=$build/glimmer-extract
maker=$build/bench/bench_hostile_modules
[[ -x $tool && -x $maker ]] || { echo "build glimmer-extract and bench_hostile_modules first"; exit 1; }
files=$(mktemp -d)
scratch=$(mktemp -d)
trap 'rm -rf "$files" "$scratch"' EXIT
"$maker" "$files" >/dev/null || exit 1

# run NAME COMMAND...: one line of figures; stdout of the command is counted as output too.
run() {
  local name=$1
  shift
  rm -rf "$scratch/out" && mkdir "$scratch/out"
  local status
  /usr/bin/time -o "$scratch/time" -f "%U %S %M" timeout "$limit" "$@" >"$scratch/out/stdout" 2>"$scratch/stderr"
  status=$?
  local user sys rss bytes
  read -r user sys rss < <(grep -E '^[0-9.]+ [0-9.]+ [0-9]+$' "$scratch/time")
  bytes=$(du -sb "$scratch/out" | cut -f1)
  printf "%-44s cpu %7.2f s  max rss %7d MB  output %12d bytes  status %s%s\n" "$name" \
    "$(echo "$user + $sys" | bc)" $((rss / 1024)) "$bytes" "$status" "$([[ $status == 124 ]] && echo ' (stopped)')"
}

for file in "$files"/*.dll; do
  name=$(basename "$file")
  echo "$name ($(stat -c %s "$file") bytes)"
  run "  list" "$tool" list "$file"
  run "  list --json" "$tool" list --json "$file"
  for format in ico png ico32; do
    run "  extract --format $format" "$tool" extract --format "$format" -o "$scratch/out" "$file"
  done
  run "  thumbnail -s 256" "$tool" thumbnail -s 256 "$file" "$scratch/out/thumb.png"
  run "  window's extraction" "$maker" --extract "$file"
done
