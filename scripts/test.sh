#!/usr/bin/env bash
# Installs what is missing, builds the library and its tests, and runs them:
# once in an optimised build, once under AddressSanitizer and
# UndefinedBehaviorSanitizer, and the threaded tests (test names containing
# "Threaded") under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=$(nproc)
build() {  # build <dir> <cmake args...>
  local dir=$1; shift
  cmake -S . -B "$dir" "$@" >/dev/null
  cmake --build "$dir" -j"$jobs"
}

echo "== release build and tests"
build build/release -DCMAKE_BUILD_TYPE=Release
ctest --test-dir build/release --output-on-failure -j"$jobs"

echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
build build/asan -DCMAKE_BUILD_TYPE=Debug -DVEK_SANITIZE="address;undefined" \
  -DVEK_BUILD_BENCH=OFF -DVEK_BUILD_EXAMPLES=ON
ASAN_OPTIONS=detect_leaks=1 ctest --test-dir build/asan --output-on-failure -j"$jobs"

echo "== ThreadSanitizer (threaded tests)"
build build/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEK_SANITIZE=thread \
  -DVEK_BUILD_BENCH=OFF -DVEK_BUILD_EXAMPLES=ON
ctest --test-dir build/tsan --output-on-failure -j"$jobs" -R Threaded

echo "== all tests passed"
