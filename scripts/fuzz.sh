#!/usr/bin/env bash
# Runs every fuzz target of a fuzzing build for the given number of seconds, one after another.
# Inputs a run finds worth keeping go to <build>/corpus/<target> and are taken up by the next run;
# an input that breaks a rule is saved as <build>/findings/<target>-crash-... and fails the run.
# Usage: scripts/fuzz.sh BUILD_FOLDER SECONDS
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1
seconds=$2
# libFuzzer takes 0 for no limit, which would keep the first target running for ever.
if ! [[ $seconds =~ ^[1-9][0-9]*$ ]]; then
    echo "FUZZ_SECONDS must be a whole number of seconds from 1 up, not '$seconds'" >&2
    exit 2
fi
seeds=tests/fuzz/seeds

failed=()
for fuzzer in "$build"/tests/fuzz/*_fuzzer; do
    name=$(basename "$fuzzer")
    mkdir -p "$build/corpus/$name" "$build/findings"
    # Opening and saving must get past the 1024 bytes scanned for a charset and across several
    # of the converter's 4 KiB pieces; the seeds there start it off that long.
    max_len=4096
    [[ $name == open_save_fuzzer ]] && max_len=16384
    echo "== $name, $seconds s, inputs of up to $max_len bytes"
    if ! "$fuzzer" -max_total_time="$seconds" -timeout=30 -max_len="$max_len" \
        -dict=tests/fuzz/page_bytes.dict -artifact_prefix="$build/findings/$name-" \
        "$build/corpus/$name" "$seeds" 2>"$build/$name.log"; then
        tail -n 40 "$build/$name.log"
        failed+=("$name")
    fi
    grep '^Done' "$build/$name.log" || true
done
if ((${#failed[@]})); then
    echo "Fuzzing found inputs that break a rule: ${failed[*]} (see $build/findings/)"
    exit 1
fi
