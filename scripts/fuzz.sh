#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) into build-fuzz/ and runs each one for
# FUZZ_SECONDS (30 by default) from our generated seed corpus, two at a time on a 2-core machine.
# Any crash, sanitizer report, timeout (5 s per input for the picture decoders and the fitting
# reader, 10 s for the others) or out-of-memory (512 MiB for the PNG import, 1.5 GiB for the
# fitting reader, 2 GiB for the others) fails the script; the input that caused it is left in
# build-fuzz/artifacts/<target>/.
# Usage: scripts/fuzz.sh [target ...]   (default: every target)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

seconds="${FUZZ_SECONDS:-30}"
build=build-fuzz
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(map_load theme_open jpeg_header jpeg_preview raw_preview header_text theme_json
    png_import fit_source)
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DWQT_BUILD_FUZZ=ON -DWQT_BUILD_UI=OFF >/dev/null
cmake --build "$build" --target fuzzers

"$build/fuzz/make_seeds" "$build/seeds" sample/theme.rxt
"$build/fuzz/make_fit_seeds" "$build/seeds/fit_source"

run_one() {
  local t="$1" build="$2" seconds="$3"
  local corpus="$build/corpus/$t" artifacts="$build/artifacts/$t" log="$build/fuzz-$t.log"
  mkdir -p "$corpus" "$artifacts"
  # A picture decode is bounded (picture size, number of scans, data after the rows): an input
  # that takes seconds is a finding too.
  # 5 s of wall time covers a whole 4096 x 4096 progressive picture under the sanitizers on a
  # loaded machine (its coefficients alone are 100 MB to fault in); an input of unbounded work
  # (a scan bomb takes many times that) still breaks it.
  local timeout=10 rss=2048 len=
  case "$t" in jpeg_*) timeout=5 ;; esac
  # A PNG import needs its file and a slot's picture, and fitting reads any accepted picture
  # within 64 MiB (the sanitizers' own memory comes on top): more is a finding. A progressive
  # JPEG may take its coefficients beside that: up to 800 MB for a four-component one of
  # 100 megapixels.
  case "$t" in png_*) timeout=5 rss=512 ;; fit_*) timeout=5 rss=1536 ;; esac
  # Padding markers and chunks, many scans and zeros after the rows need inputs far past
  # libFuzzer's 4096 bytes; the readers' work stays bounded by the picture whatever their size.
  case "$t" in jpeg_* | fit_* | png_*) len=1048576 ;; esac
  fuzzer() {
    ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=0" \
      UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
      "$build/fuzz/${t}_fuzz" -rss_limit_mb="$rss" -timeout="$timeout" ${len:+-max_len="$len"} "$@"
  }
  # The inputs of past findings (fuzz/regressions/<target>) run once each: some are slow by
  # design (a whole 4096 x 4096 picture), and mutating them would take the run's time.
  local past=()
  if [ -d "fuzz/regressions/$t" ]; then
    mapfile -t past < <(find "fuzz/regressions/$t" -type f | sort)
  fi
  if [ ${#past[@]} -gt 0 ] && ! fuzzer "${past[@]}" >"$log" 2>&1; then
    echo "fuzz $t: FAILED on a past finding, see $log"
    tail -n 40 "$log"
    return 1
  fi
  # A working corpus grows between runs; the seeds are read alongside it but never written.
  if fuzzer "$corpus" "$build/seeds/$t" -max_total_time="$seconds" -print_final_stats=1 \
       -artifact_prefix="$artifacts/" >"$log" 2>&1; then
    echo "fuzz $t: clean ($(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$') runs in ${seconds}s)"
  else
    echo "fuzz $t: FAILED, see $log; input in $artifacts/"
    tail -n 40 "$log"
    return 1
  fi
}
export -f run_one

jobs="$(nproc)"
printf '%s\n' "${targets[@]}" | xargs -P "$jobs" -I{} bash -c 'run_one "$@"' _ {} "$build" "$seconds"
