#!/usr/bin/env bash
# Builds the benchmarks (optimised, as the editor is built) into build-bench/ and runs them: each
# case beside its baseline, the two taking turns over many short repetitions, then the table of
# the ratios of their fastest repetitions and the peak memory of opening a 64 MiB theme; then the
# command-line twin's unpack and pack beside tar, its thumbnail beside the same on a 1 MiB theme
# and beside vipsthumbnail, its catalogue beside unpack --png, and its peak memory; then fitting
# pictures beside ImageMagick and vipsthumbnail, the fit's quality and peak memory. Extra
# arguments go to Google Benchmark (e.g. --benchmark_filter=jpeg).
# The window's selection road, its "Обзор темы" of the 2,000-file theme and its "Сохранить все
# файлы..." run too when the window is built (offscreen).
# Not part of scripts/test.sh: a full run takes a few minutes; a quiet machine gives the truest
# times, though the ratios of fastest runs hold up under load.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

build=build-bench
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWQT_BUILD_BENCH=ON >/dev/null
targets=$(cmake --build "$build" --target help | grep -o 'wqt_[a-z_]*bench' | sort -u)
cmake --build "$build" --target $targets

# The write-heavy pairs (unpack beside tar -x, pack, "Сохранить все файлы...", the catalogue) met
# this virtual machine's disk writing the same 2,000 files in 75 ms one repetition and 2 s the
# next, for tar as much as for us, so two runs did not agree. In memory they compare the programs.
# The preview's scratch file lives in the cache folder, so that goes there too.
# WQT_BENCH_ON_DISK=1 keeps the usual folders.
if [ -z "${WQT_BENCH_ON_DISK:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
  scratch=$(mktemp -d /dev/shm/wqt-bench-XXXXXX)
  trap 'rm -rf "$scratch"' EXIT
  export TMPDIR="$scratch" XDG_CACHE_HOME="$scratch/cache"
  echo "scratch folders in memory: $scratch"
fi
# The window benchmarks open and save themes, which the window lists among its recent ones and
# whose size it keeps: in a settings folder of their own, not the user's.
config=$(mktemp -d)
trap 'rm -rf "$config" ${scratch:+"$scratch"}' EXIT
export XDG_CONFIG_HOME="$config"
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(free -g | awk '/Mem:/{print $2}') GiB memory"
status=0
"$build/bench/wqt_bench" "$@" || status=$?
"$build/bench/wqt_cli_bench" "$@" || status=$?
# Fitting pictures beside ImageMagick and vipsthumbnail; its own rounds, no Google Benchmark.
"$build/bench/wqt_fit_bench" || status=$?
for window_bench in wqt_window_bench wqt_save_all_bench; do
  if [ -x "$build/bench/$window_bench" ]; then
    QT_QPA_PLATFORM=offscreen "$build/bench/$window_bench" "$@" || status=$?
  fi
done
exit $status
