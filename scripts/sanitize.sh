#!/usr/bin/env bash
# Builds the whole test suite (core tests and window tests) with AddressSanitizer and
# UndefinedBehaviorSanitizer into build-asan/ and runs it with ctest. Window tests run on Qt's
# offscreen platform. Leak detection is on for both; should Qt's own plugins ever show up as leaks
# on another machine, WQT_UI_DETECT_LEAKS=0 turns it off for the window tests alone.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

build=build-asan
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWQT_SANITIZE=ON >/dev/null
cmake --build "$build"

export QT_QPA_PLATFORM=offscreen
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
common="abort_on_error=0:halt_on_error=1:detect_stack_use_after_return=1:strict_string_checks=1"
ASAN_OPTIONS="$common:detect_leaks=1" \
  ctest --test-dir "$build" --output-on-failure -j"$(nproc)" -E '^ui_tests$'
if [ -n "$(ctest --test-dir "$build" -N -R '^ui_tests$' | grep -o 'ui_tests')" ]; then
  ASAN_OPTIONS="$common:detect_leaks=${WQT_UI_DETECT_LEAKS:-1}" \
    ctest --test-dir "$build" --output-on-failure -R '^ui_tests$'
fi
