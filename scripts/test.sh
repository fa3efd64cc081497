#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite: a plain
# build, then the same tests under AddressSanitizer with UndefinedBehavior-
# Sanitizer, and under ThreadSanitizer.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out=${CORVANE_BUILD_ROOT:-$here/build}

"$here/scripts/install-deps.sh"

run_suite() {
  local name=$1
  shift
  echo "== $name build"
  "$here/scripts/build.sh" "$out/$name" "$@"
  echo "== $name tests"
  (cd "$out/$name" && ctest --output-on-failure --timeout 900 -j "$(nproc)")
}

run_suite release -DCMAKE_BUILD_TYPE=RelWithDebInfo
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_suite asan -DCMAKE_BUILD_TYPE=Debug -DCORVANE_SANITIZE=address
TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$here/scripts/tsan.supp" \
  run_suite tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANE_SANITIZE=thread
echo "All test suites passed."
