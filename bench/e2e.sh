#!/usr/bin/env bash
# End-to-end benchmark: psfpick on mock fields of growing size, with
# --nfields 5,5 -n 10. For each field it reports the wall time, the peak
# resident memory and the throughput of psfpick on every core (catalogue
# sources and fitted stars per second), and the same for writing the mock
# field. Then, on the largest field, each selection of OPTION_SETS with
# each thread count of --threads, the best wall time of --repeat runs, the
# peak memory, the rows, and whether the table is the one of one thread;
# exit status 1 when a table differs.
#
# usage: bench/e2e.sh [BUILD_DIR] [--full] [--keep] [--repeat N] [--threads LIST]
#   BUILD_DIR  the CMake build directory [build]
#   --full     every size with every source count (9 runs) instead of the
#              three pairs 1024^2/10,000, 4096^2/100,000, 8192^2/1,000,000
#   --keep     keep the mock fields (in BUILD_DIR/bench-e2e)
#   --repeat   runs per measurement on the largest field, the best counts [3]
#   --threads  thread counts for the largest field, comma-separated
#              [1 and the cores of the machine]
set -euo pipefail

build=build
full=0
keep=0
repeat=3
threads_list=""
while [ $# -gt 0 ]; do
    case $1 in
        --full) full=1 ;;
        --keep) keep=1 ;;
        --repeat) [ $# -ge 2 ] || { echo "e2e.sh: --repeat needs a count" >&2; exit 2; }
            repeat=$2; shift ;;
        --threads) [ $# -ge 2 ] || { echo "e2e.sh: --threads needs a list" >&2; exit 2; }
            threads_list=$2; shift ;;
        -h|--help) sed -n '2,19p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        -*) echo "e2e.sh: unknown option '$1'" >&2; exit 2 ;;
        *) build=$1 ;;
    esac
    shift
done
[[ $repeat =~ ^[1-9][0-9]*$ ]] || { echo "e2e.sh: --repeat needs a positive count" >&2; exit 2; }
cores=$(nproc 2>/dev/null || echo 1)
if [ -z "$threads_list" ]; then
    threads_list=1
    [ "$cores" -gt 1 ] && threads_list="1,$cores"
fi
IFS=, read -r -a thread_counts <<<"$threads_list"
for t in "${thread_counts[@]}"; do
    [[ $t =~ ^[1-9][0-9]*$ ]] || { echo "e2e.sh: bad thread count '$t'" >&2; exit 2; }
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

# The selections measured on the largest field: the default one, with
# --refill, with a field-wide clip, and with both.
option_sets=("" "--refill" "--fwhm_clip 3" "--refill --fwhm_clip 3 --nchi_clip 3")

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

# run_best LOG CMD...: run_timed --repeat times; leaves the best wall time
# and the highest peak in timed.
run_best() {
    local log=$1 s kb best_s="" best_kb=0
    shift
    for ((k = 0; k < repeat; ++k)); do
        run_timed "$log" "$@"
        read -r s kb <<<"$timed"
        if [ -z "$best_s" ] || awk -v a="$s" -v b="$best_s" 'BEGIN { exit !(a < b) }'; then
            best_s=$s
        fi
        [ "$kb" -gt "$best_kb" ] && best_kb=$kb
    done
    timed="$best_s $best_kb"
}

printf '%-10s %10s | %9s %9s | %9s %9s %8s %12s %10s\n' \
    pixels sources "mock s" "mock MB" "psfpick s" "peak MB" selected "sources/s" "stars/s"
largest=""
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
    [ -n "$largest" ] && [ "$keep" = 0 ] && rm -f "$largest"/*.fits
    largest=$dir
done

# The largest field with each selection and thread count.
cd "$largest"
echo
echo "${largest##*/f}, --nfields 5,5 -n 10, best of $repeat runs ($cores cores):"
printf '%-40s %7s | %9s %9s %6s %s\n' options threads "wall s" "peak MB" rows table
differ=0
for set in "${option_sets[@]}"; do
    read -r -a options <<<"$set"
    for t in "${thread_counts[@]}"; do
        run_best threads.log "$psfpick" -i field.cat -o "t$t.tbl" --nfields 5,5 -n 10 \
            ${options[@]+"${options[@]}"} --threads "$t" field.fits
        read -r run_s run_kb <<<"$timed"
        same="(reference)"
        if [ "$t" != "${thread_counts[0]}" ]; then
            same="same as --threads ${thread_counts[0]}"
            cmp -s "t$t.tbl" "t${thread_counts[0]}.tbl" || { same="DIFFERS"; differ=1; }
        fi
        awk -v o="${set:-(default)}" -v t="$t" -v s="$run_s" -v kb="$run_kb" \
            -v rows="$(grep -cv '^#' "t$t.tbl" || true)" -v same="$same" \
            'BEGIN { printf "%-40s %7d | %9.2f %9.0f %6d %s\n", o, t, s, kb / 1024, rows, same }'
    done
done
cd - >/dev/null
[ "$keep" = 1 ] || rm -f "$largest"/*.fits
exit "$differ"
