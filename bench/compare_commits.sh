#!/usr/bin/env bash
# Whole-frame render times of a base commit against the working tree, from one run.
#
# Builds the base commit (a detached worktree) and the working tree from source into separate
# Release build folders, then runs the render_bench of each in turn, round after round, so
# that both see the same machine load. Prints each row's median over the rounds side by side.
# With --tool it also times `ruvovav denoise` on a clip from make_camera_clip, the working
# tree's tool driving each side's module in turn (--module): the render is the module's work.
#
# Usage: bench/compare_commits.sh [--base REV] [--rounds N] [--filter REGEX] [--tool]
#                                 [-- render_bench flags]
#   --base     the commit to compare with (default c8f99a8)
#   --rounds   alternating runs of each side (default 3)
#   --filter   render_bench rows to run (default frame/: every size, 1 and 4 frames)
#   --tool     also time a 4-frame denoise (no tracking) of a 640x360, 5-frame clip
# Environment: COMPARE_DIR holds the builds and logs (default build-compare; kept between
# runs so that a second run only rebuilds what changed); RUVOVAV_GL picks the GL as for the
# benchmarks (the bench is run with --gl=software unless flags name another).
set -euo pipefail
cd "$(dirname "$0")/.."

base=c8f99a8
rounds=3
filter='frame/'
tool=0
bench_flags=()
while [ $# -gt 0 ]; do
  case "$1" in
    --base) base="$2"; shift 2 ;;
    --rounds) rounds="$2"; shift 2 ;;
    --filter) filter="$2"; shift 2 ;;
    --tool) tool=1; shift ;;
    --) shift; bench_flags=("$@"); break ;;
    *) echo "unknown argument: $1 (see the header of $0)" >&2; exit 2 ;;
  esac
done
[[ " ${bench_flags[*]-} " == *" --gl="* ]] || bench_flags+=(--gl=software)

work_dir="${COMPARE_DIR:-build-compare}"
mkdir -p "$work_dir/logs"
work_dir="$(cd "$work_dir" && pwd)"
base_src="$work_dir/base-src"
base_rev="$(git rev-parse --verify "$base^{commit}")"

# The base's sources: a detached worktree, moved to the wanted commit when it exists.
if [ -d "$base_src" ]; then
  git -C "$base_src" checkout -q --detach "$base_rev"
else
  git worktree add -q --detach "$base_src" "$base_rev"
fi

build() {  # build SOURCE FOLDER TARGETS...
  local source="$1" folder="$2"
  shift 2
  cmake -S "$source" -B "$folder" -DCMAKE_BUILD_TYPE=Release -DRUVOVAV_WERROR=OFF > /dev/null
  cmake --build "$folder" -j "$(nproc)" --target "$@" > "$folder/compare-build.log" 2>&1 ||
    { tail -n 40 "$folder/compare-build.log" >&2; exit 1; }
}
echo "building $base_rev into $work_dir/base and the working tree into $work_dir/work" >&2
build "$base_src" "$work_dir/base" Ruvovav render_bench
work_targets=(Ruvovav render_bench)
[ "$tool" = 1 ] && work_targets+=(ruvovav make_camera_clip)
build "$PWD" "$work_dir/work" "${work_targets[@]}"

# One render_bench run; its floor table lands in logs/SIDE.ROUND.txt.
run_bench() {
  "$work_dir/$1/render_bench" --benchmark_filter="$filter" "${bench_flags[@]}" \
    > "$work_dir/logs/$1.$2.txt" 2> "$work_dir/logs/$1.$2.err"
}

clip="$work_dir/clip-noisy.mkv"
if [ "$tool" = 1 ] && [ ! -f "$clip" ]; then
  "$work_dir/work/make_camera_clip" --clean "$work_dir/clip-clean.mkv" --noisy "$clip" -y \
    --width 640 --height 360 --frames 5 --noise camera --motion still > /dev/null
fi
run_tool() {  # seconds of one denoise, appended to logs/SIDE.tool
  local start end
  start=$(date +%s.%N)
  "$work_dir/work/ruvovav" denoise "$clip" -o "$work_dir/out-$1.mkv" -y --frames 4 --no-track \
    --module "$work_dir/$1/Ruvovav.kspl" --gl=software > /dev/null 2>> "$work_dir/logs/$1.tool.err"
  end=$(date +%s.%N)
  echo "$start $end" | awk '{ printf "%.2f\n", $2 - $1 }' >> "$work_dir/logs/$1.tool"
}

rm -f "$work_dir"/logs/*
grep -m1 "GL renderer" < <("$work_dir/work/render_bench" --benchmark_filter=NONE \
  "${bench_flags[@]}" 2>/dev/null) || true
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
for ((r = 1; r <= rounds; ++r)); do
  for side in base work; do
    echo "round $r/$rounds: $side" >&2
    run_bench "$side" "$r"
    [ "$tool" = 1 ] && run_tool "$side"
  done
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"

# Each row's ms/frame (median and fastest over the rounds: on a shared machine the fastest
# run saw the least interference), px frames and x px (floor table columns 2, 4 and 10),
# base beside work.
awk -v rounds="$rounds" '
  function median(list,   n, v, i, j, t) {
    n = split(list, v, " ")
    for (i = 1; i <= n; ++i) for (j = i + 1; j <= n; ++j) if (v[j] + 0 < v[i] + 0) { t = v[i]; v[i] = v[j]; v[j] = t }
    return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
  }
  FNR == 1 { side = FILENAME; sub(/.*\//, "", side); sub(/\..*/, "", side); table = 0 }
  /^row +ms\/frame/ { table = 1; next }
  table && /^(frame|floor|upload)\// {
    if (!($1 in seen)) { seen[$1] = 1; order[++rows] = $1 }
    ms[side, $1] = ms[side, $1] " " $2; px[side, $1] = px[side, $1] " " $4
    ratio[side, $1] = ratio[side, $1] " " ($10 == "-" ? 0 : $10)
  }
  function least(list,   n, v, i, m) {
    n = split(list, v, " "); m = v[1]
    for (i = 2; i <= n; ++i) if (v[i] + 0 < m + 0) m = v[i]
    return m
  }
  END {
    printf "| row | base ms/frame | work ms/frame | work / base | base fastest | work fastest | fastest work / base | base px frames | work px frames | base x px | work x px |\n"
    printf "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n"
    for (i = 1; i <= rows; ++i) {
      r = order[i]; b = median(ms["base", r]); w = median(ms["work", r])
      bl = least(ms["base", r]); wl = least(ms["work", r])
      printf "| %s | %.1f | %.1f | %.2f | %.1f | %.1f | %.2f | %.1f | %.1f | %.2f | %.2f |\n", r, b, w,
        (b > 0 ? w / b : 0), bl, wl, (bl > 0 ? wl / bl : 0), median(px["base", r]),
        median(px["work", r]), median(ratio["base", r]), median(ratio["work", r])
    }
    printf "(medians and fastest of %d alternating runs per side; x px from the medians)\n", rounds
  }' "$work_dir"/logs/base.*.txt "$work_dir"/logs/work.*.txt

if [ "$tool" = 1 ]; then
  for side in base work; do
    printf "ruvovav denoise, %s: seconds per run %s\n" "$side" "$(tr '\n' ' ' < "$work_dir/logs/$side.tool")"
  done
fi
