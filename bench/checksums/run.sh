#!/usr/bin/env bash
# Throughput of the file checksums on page-cached files of 64 MiB and 1 GiB,
# with cksum and sha256sum on the same files as a yardstick; then kvaren-cli
# sum (both checksums and the SHA-256 in one read) against openssl dgst
# -sha256 alone, whole processes side by side.
#   bench/checksums/run.sh [BUILD_DIR]      (default: build)
# CHECKSUMS_BENCH may name the benchmark program and KVAREN_CLI the console
# program instead of building them.
# Needs about 1.2 GiB in TMPDIR (default /tmp) and as much free memory.
set -euo pipefail

build=${1:-build}
bench=${CHECKSUMS_BENCH:-}
if [[ -z $bench ]]; then
    cmake --build "$build" --target checksums_bench -j2 >/dev/null
    bench=$build/bench/checksums/checksums_bench
fi
cli=${KVAREN_CLI:-}
if [[ -z $cli ]]; then
    cmake --build "$build" --target kvaren-cli -j2 >/dev/null
    cli=$build/src/cli/kvaren-cli
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/kvaren-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
head -c 64M /dev/urandom >"$work/64M.bin"
head -c 1G /dev/urandom >"$work/1G.bin"
# The step-by-step reference runs at a few MB/s: on the 1 GiB file it takes
# a 64 MiB prefix, and the program says that it extrapolates.
head -c 64M "$work/1G.bin" >"$work/1G-prefix.bin"
cat "$work"/*.bin >/dev/null

# MB/s of a command over a file: the best of three runs.
yardstick() {
    local name=$1 file=$2 best=
    for _ in 1 2 3; do
        local start end ns
        start=$(date +%s%N)
        "$name" "$file" >/dev/null
        end=$(date +%s%N)
        ns=$((end - start))
        if [[ -z $best || $ns -lt $best ]]; then best=$ns; fi
    done
    local bytes
    bytes=$(stat -c %s "$file")
    printf '%-34s%10d MB/s\n' "$name (yardstick)" $((bytes * 1000 / best))
}

# kvaren-cli sum against openssl dgst -sha256 on one file: seven runs of
# each, in turn so that both see the same drift of a shared machine; the
# median of each and the median of the pairs' ratios. The SHA-256 is the
# floor of sum's work, so the ratio says what the two checksums add.
side_by_side() {
    local file=$1 bytes sums=() ssls=() ratios=()
    if ! command -v openssl >/dev/null; then
        echo "openssl dgst -sha256: no openssl here (apt-get install openssl)"
        return
    fi
    bytes=$(stat -c %s "$file")
    for _ in 1 2 3 4 5 6 7; do
        local start middle end
        start=$(date +%s%N)
        "$cli" sum "$file" >/dev/null
        middle=$(date +%s%N)
        openssl dgst -sha256 "$file" >/dev/null
        end=$(date +%s%N)
        sums+=($((middle - start)))
        ssls+=($((end - middle)))
        ratios+=($(((end - middle) * 1000 / (middle - start))))
    done
    median() { printf '%s\n' "$@" | sort -n | sed -n 4p; }
    printf '%-34s%10d MB/s  (median)\n' "kvaren-cli sum" $((bytes * 1000 / $(median "${sums[@]}")))
    printf '%-34s%10d MB/s  (median)\n' "openssl dgst -sha256" $((bytes * 1000 / $(median "${ssls[@]}")))
    local r
    r=$(median "${ratios[@]}")
    printf '%-34s%10s       (median of pairs)\n' "sum / openssl speed" "$((r / 1000)).$(printf %03d $((r % 1000)))"
}

echo "MB are 10^6 bytes; every figure is the best of several runs, but for"
echo "the medians of kvaren-cli sum against openssl."
for file in "$work/64M.bin" "$work/1G.bin"; do
    if [[ $file == */1G.bin ]]; then
        "$bench" "$file" "$work/1G-prefix.bin"
    else
        "$bench" "$file"
    fi
    yardstick cksum "$file"
    yardstick sha256sum "$file"
    side_by_side "$file"
    echo
done
