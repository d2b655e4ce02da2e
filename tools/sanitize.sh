#!/usr/bin/env bash
# Builds the tests with clang's AddressSanitizer (with LeakSanitizer) and
# UndefinedBehaviorSanitizer into build-san/ and runs them.  Any report fails
# the test that caused it.
#   tools/sanitize.sh [ctest arguments...]   e.g. tools/sanitize.sh -R Ks
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
bash tools/dev.sh setup

flags="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g -O1"
CC=clang CXX=clang++ cmake -S . -B build-san -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DVELMORA_BENCH=OFF -DVELMORA_FUZZ=OFF \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build build-san -j "$(nproc 2>/dev/null || echo 2)"

supp="$here/tools/sanitize"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1"
export LSAN_OPTIONS="suppressions=$supp/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$supp/ubsan.supp"
export QT_QPA_PLATFORM=offscreen
XDG_RUNTIME_DIR="$(mktemp -d /tmp/velmora-xdg.XXXXXX)"
chmod 700 "$XDG_RUNTIME_DIR"
export XDG_RUNTIME_DIR
# Sanitized tests run several times slower; give each test more time.
ctest --test-dir build-san -j "$(nproc 2>/dev/null || echo 2)" --timeout 1800 --output-on-failure "$@"
