#!/usr/bin/env bash
# Runs the picture loader's fuzz target for SECONDS (default 900) under the
# address and undefined-behaviour sanitizers; "fuzz.sh SECONDS decoders" runs
# the decoder helper's decoders in-process instead. Not part of the test command.
# Inputs that crash, hang or leak are kept in tests/pictures/corpus/, where the
# loader's test runs every one of them.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
seconds="${1:-900}"
target="quill_fuzz_${2:-loader}"
QUILL_PACKAGES+=(clang libclang-rt-14-dev)
install_missing_packages

fuzz_build="$QUILL_ROOT/build-fuzz"
CC=clang CXX=clang++ cmake -S "$QUILL_ROOT" -B "$fuzz_build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUILL_SANITIZE=ON -DQUILL_FUZZ=ON -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link >/dev/null
cmake --build "$fuzz_build" --target "$target" quillbook-wmf

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus" "$work/found"
cp "$QUILL_ROOT"/tests/pictures/corpus/* "$work/corpus/"
cp "$QUILL_BUILD"/assets-out/P1I*.bmp "$work/corpus/" 2>/dev/null || true
rm -f "$work/corpus/README.md"
cd "$work"
set +e
# No single allocation above the decoder helper's memory limit: it fails there, as it does here.
ASAN_OPTIONS=detect_leaks=0:allocator_may_return_null=1:max_allocation_size_mb=1536 \
    "$fuzz_build/tests/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=65536 -artifact_prefix="$work/found/" "$work/corpus"
status=$?
set -e
for found in "$work"/found/*; do
    [ -e "$found" ] || continue
    cp "$found" "$QUILL_ROOT/tests/pictures/corpus/fuzz-$(basename "$found")"
    echo "kept $(basename "$found") as a regression case"
done
exit "$status"
