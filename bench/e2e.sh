#!/usr/bin/env bash
# End-to-end benchmark: psfpick on mock fields of growing size, with
# --nfields 5,5 -n 10. For each field it reports the wall time, the peak
# resident memory and the throughput of psfpick (catalogue sources and
# fitted stars per second), and the same for writing the mock field.
#
# usage: bench/e2e.sh [BUILD_DIR] [--full] [--keep]
#   BUILD_DIR  the CMake build directory [build]
#   --full     every size with every source count (9 runs) instead of the
#              three pairs 1024^2/10,000, 4096^2/100,000, 8192^2/1,000,000
#   --keep     keep the mock fields (in BUILD_DIR/bench-e2e)
set -euo pipefail

build=build
full=0
keep=0
for arg in "$@"; do
    case $arg in
        --full) full=1 ;;
        --keep) keep=1 ;;
        -h|--help) sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        -*) echo "e2e.sh: unknown option '$arg'" >&2; exit 2 ;;
        *) build=$arg ;;
    esac
done
build=$(readlink -f "$build")
psfpick=$build/apps/psfpick
mock=$build/tools/psfpick-mock
for exe in "$psfpick" "$mock"; do
    [ -x "$exe" ] || { echo "e2e.sh: '$exe' is missing; build first (make build)" >&2; exit 1; }
done
work=$build/bench-e2e
mkdir -p "$work"

if [ "$full" = 1 ]; then
    configs=()
    for size in 1024 4096 8192; do
        for n in 10000 100000 1000000; do configs+=("$size:$n"); done
    done
else
    configs=(1024:10000 4096:100000 8192:1000000)
fi

# run_timed LOG CMD...: runs CMD in the current directory; leaves
# "<seconds> <peak kB>" in the variable timed.
run_timed() {
    local log=$1
    shift
    if [ -x /usr/bin/time ]; then
        /usr/bin/time -v -o "$log.time" "$@" >"$log" 2>&1 || { cat "$log" >&2; return 1; }
        local wall kb
        wall=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$log.time" |
            awk -F: '{ s = 0; for (i = 1; i <= NF; ++i) s = s * 60 + $i; print s }')
        kb=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$log.time")
        timed="$wall $kb"
    else
        local start end
        start=$(date +%s.%N)
        "$@" >"$log" 2>&1 || { cat "$log" >&2; return 1; }
        end=$(date +%s.%N)
        timed="$(echo "$end - $start" | bc) 0"
    fi
}

printf '%-10s %10s | %9s %9s | %9s %9s %8s %12s %10s\n' \
    pixels sources "mock s" "mock MB" "psfpick s" "peak MB" selected "sources/s" "stars/s"
for config in "${configs[@]}"; do
    size=${config%%:*}
    n=${config##*:}
    dir=$work/f${size}_$n
    mkdir -p "$dir"
    cd "$dir"
    run_timed mock.log "$mock" -o field.fits --size "$size" -n "$n" --seed 1
    read -r mock_s mock_kb <<<"$timed"
    run_timed psfpick.log "$psfpick" -i field.cat -o field.tbl --nfields 5,5 -n 10 field.fits
    read -r run_s run_kb <<<"$timed"
    selected=$(grep -cv '^#' field.tbl || true)
    awk -v px="${size}x$size" -v n="$n" -v ms="$mock_s" -v mk="$mock_kb" -v rs="$run_s" \
        -v rk="$run_kb" -v sel="$selected" 'BEGIN {
        t = rs > 0 ? rs : 0.01
        printf "%-10s %10d | %9.2f %9.0f | %9.2f %9.0f %8d %12.0f %10.1f\n",
               px, n, ms, mk / 1024, rs, rk / 1024, sel, n / t, sel / t }'
    cd - >/dev/null
    [ "$keep" = 1 ] || rm -f "$dir"/*.fits
done
