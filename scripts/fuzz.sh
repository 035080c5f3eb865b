#!/usr/bin/env bash
# Runs the picture loader's fuzz target for SECONDS (default 900) under the
# address and undefined-behaviour sanitizers. Not part of the test command.
# Inputs that crash, hang or leak are kept in tests/pictures/corpus/, where the
# loader's test runs every one of them.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
seconds="${1:-900}"
QUILL_PACKAGES+=(clang libclang-rt-14-dev)
install_missing_packages

fuzz_build="$QUILL_ROOT/build-fuzz"
CC=clang CXX=clang++ cmake -S "$QUILL_ROOT" -B "$fuzz_build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUILL_SANITIZE=ON -DQUILL_FUZZ=ON -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link >/dev/null
cmake --build "$fuzz_build" --target quill_fuzz_loader quillbook-wmf

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus" "$work/found"
cp "$QUILL_ROOT"/tests/pictures/corpus/* "$work/corpus/"
cp "$QUILL_BUILD"/assets-out/P1I*.bmp "$work/corpus/" 2>/dev/null || true
rm -f "$work/corpus/README.md"
cd "$work"
set +e
ASAN_OPTIONS=detect_leaks=0:allocator_may_return_null=1 \
    "$fuzz_build/tests/fuzz/quill_fuzz_loader" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=65536 -artifact_prefix="$work/found/" "$work/corpus"
status=$?
set -e
for found in "$work"/found/*; do
    [ -e "$found" ] || continue
    cp "$found" "$QUILL_ROOT/tests/pictures/corpus/fuzz-$(basename "$found")"
    echo "kept $(basename "$found") as a regression case"
done
exit "$status"
