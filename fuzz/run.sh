#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, ASan, UBSan) and runs each for a bounded time.
#   fuzz/run.sh [seconds per target] [target...]     default 30 seconds, every target
# New inputs go to a scratch folder, not into the seed corpus in fuzz/corpus/. A crash leaves
# its input in $HONDANA_FUZZ_BUILD_DIR/crashes/ and makes the script fail; add that input to
# fuzz/corpus/<target>/ once it is fixed, so every test run replays it.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"

seconds=${1:-30}
shift || true
build=${HONDANA_FUZZ_BUILD_DIR:-$HONDANA_ROOT/build-fuzz}
targets=("$@")
if ((${#targets[@]} == 0)); then
    targets=(fuzz_backup_record fuzz_cp932 fuzz_filter fuzz_connection_string fuzz_config_line
        fuzz_input fuzz_own_data_file fuzz_reading fuzz_sru_answer fuzz_import_csv
        fuzz_import_tellico)
fi

hondana_install_missing "${HONDANA_PACKAGES[@]}" clang-14 libclang-rt-14-dev
cmake -S "$HONDANA_ROOT" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++-14 -DHONDANA_FUZZ=ON -DHONDANA_BUILD_TESTS=OFF \
    -DHONDANA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target hondana_fuzz_targets -j "${HONDANA_JOBS:-$(nproc)}"

crashes=$build/crashes
mkdir -p "$crashes"

# fuzz_one <target>: one bounded run; its log and status file say how it went.
fuzz_one() {
    local target=$1 scratch status=0
    scratch=$(mktemp -d)
    # Leaks are checked by the sanitizer test run; here they would only stop the search early.
    ASAN_OPTIONS=detect_leaks=0:allocator_may_return_null=1 \
        UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        "$build/fuzz/$target" "$scratch" "$HONDANA_ROOT/fuzz/corpus/$target" \
        -max_total_time="$seconds" -max_len=8192 -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$crashes/$target-" >"$build/$target.log" 2>&1 || status=$?
    echo "$status" >"$build/$target.status"
    rm -rf "$scratch"
}

# As many targets at a time as there are cores.
parallel=${HONDANA_JOBS:-$(nproc)}
for target in "${targets[@]}"; do
    while (($(jobs -rp | wc -l) >= parallel)); do wait -n || true; done
    fuzz_one "$target" &
done
wait
failed=()
for target in "${targets[@]}"; do
    status=ok
    if [[ $(cat "$build/$target.status" 2>/dev/null) != 0 ]]; then
        status=FAILED
        failed+=("$target")
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$build/$target.log" | tail -1)
    printf '%-24s %-6s %12s executions in %ss\n' "$target" "$status" "${runs:-?}" "$seconds"
done
if ((${#failed[@]} > 0)); then
    hondana_say "fuzz: failures in ${failed[*]}; see $build/<target>.log and $crashes/"
    for target in "${failed[@]}"; do tail -40 "$build/$target.log" >&2; done
    exit 1
fi
