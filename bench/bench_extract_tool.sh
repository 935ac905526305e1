#!/usr/bin/env bash
# glimmer-extract against icoutils on the same files:
#   1. `glimmer-extract extract --format ico` over a corpus against `wrestool -x -t14` (one run each);
#   2. one thumbnail per file, a process per file as file managers run them, against the
#      `wrestool -x` + `icotool -x` pipeline that the existing thumbnailers run.
# The corpus is hard links to the module fixtures, and to one installer-like file (a small program
# with a large payload appended), so it costs little disk. Outputs go to /dev/shm where there is one, so the disk's speed at
# creating files does not hide the tools' own. Each figure is the best of three runs.
# Usage: bench/bench_extract_tool.sh [BUILD_DIR] [COPIES] [PAYLOAD_MB]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build}")
copies=${2:-30}
payload_mb=${3:-32}
tool=$build/glimmer-extract
[[ -x $tool ]] || { echo "build glimmer-extract first: $tool"; exit 1; }
command -v wrestool >/dev/null && command -v icotool >/dev/null || { echo "icoutils is not installed"; exit 1; }

scratch=$(mktemp -d -p "$([[ -d /dev/shm ]] && echo /dev/shm || echo /tmp)")
corpus=$(mktemp -d)
trap 'rm -rf "$scratch" "$corpus"' EXIT
mkdir "$corpus/modules" "$corpus/installers"
for f in icons32.dll icons64.dll icons16.dll many.dll tool.exe tool32.exe shapes.icl tiny.icl; do
  cp "$root/tests/data/$f" "$corpus/$f"
  for i in $(seq "$copies"); do ln "$corpus/$f" "$corpus/modules/$i-$f"; done
done
{ cat "$root/tests/data/tool.exe"; head -c $((payload_mb << 20)) /dev/urandom; } >"$corpus/setup.exe"
for i in $(seq 10); do ln "$corpus/setup.exe" "$corpus/installers/setup$i.exe"; done

now() { date +%s%N; }
# best_of COMMAND...: the shortest of three runs in milliseconds; the output folder is emptied before each.
best_of() {
  local best=
  for _ in 1 2 3; do
    rm -rf "$scratch/out" && mkdir "$scratch/out"
    local start end
    start=$(now)
    "$@" >/dev/null 2>&1 || true
    end=$(now)
    local ms=$(((end - start) / 1000000))
    [[ -z $best || $ms -lt $best ]] && best=$ms
  done
  echo "$best"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", (b > 0 ? a / b : 0) }'; }

extract_ours() { "$tool" extract --format ico -o "$scratch/out" "$@"; }
extract_wrestool() { wrestool -x -t14 -o "$scratch/out/" "$@"; }
thumbnails_ours() {
  local n=0
  for f in "$@"; do "$tool" thumbnail -s 256 "$f" "$scratch/out/$((n++)).png"; done
}
# The groups to one stream, as the existing thumbnailers take them; icotool reads the first and
# writes its images as PNG files, of which they then keep the largest.
thumbnails_pipeline() {
  local n=0
  for f in "$@"; do
    local work=$scratch/out/$((n++))
    mkdir "$work"
    wrestool -x -t14 "$f" >"$work/groups.ico" 2>/dev/null && icotool -x -o "$work/" "$work/groups.ico" 2>/dev/null
  done
}

report() { # NAME FILES OURS THEIRS
  printf '%-44s %6d files  ours %6d ms  icoutils %6d ms  %5sx\n' "$1" "$2" "$3" "$4" "$(ratio "$4" "$3")"
}

modules=("$corpus"/modules/*)
installers=("$corpus"/installers/*)
echo "corpus: ${#modules[@]} modules, ${#installers[@]} installers of ${payload_mb} MB"
report "extract --format ico vs wrestool -x -t14" "${#modules[@]}" \
  "$(best_of extract_ours "${modules[@]}")" "$(best_of extract_wrestool "${modules[@]}")"
report "  installers" "${#installers[@]}" \
  "$(best_of extract_ours "${installers[@]}")" "$(best_of extract_wrestool "${installers[@]}")"
sample=("${modules[@]:0:80}")
report "thumbnail per file vs wrestool + icotool" "${#sample[@]}" \
  "$(best_of thumbnails_ours "${sample[@]}")" "$(best_of thumbnails_pipeline "${sample[@]}")"
report "  installers" "${#installers[@]}" \
  "$(best_of thumbnails_ours "${installers[@]}")" "$(best_of thumbnails_pipeline "${installers[@]}")"
start=$(now)
for _ in $(seq 50); do "$tool" --version >/dev/null; done
echo "glimmer-extract --version alone: $((($(now) - start) / 50000)) us a start (loading Qt)"
