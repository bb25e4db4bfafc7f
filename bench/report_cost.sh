#!/usr/bin/env bash
# The cost of --report on a 1,000,000-row catalogue: psfpick on the mock
# field of bench/e2e.sh (8192^2 pixels, 1,000,000 sources, --nfields 5,5
# -n 10), without and with --report. Prints the wall time (the best of
# RUNS runs) and peak memory of each, the report's size, and the report's
# cost against the run's; exits with status 1 when the report costs more
# than the run itself, when the table of the two runs differs, or when
# astropy (if installed) does not read the report.
#
# usage: bench/report_cost.sh [BUILD_DIR]   (RUNS=2 by default)
# The field is made once with psfpick-mock (about 90 s and 650 MB) and kept
# in BUILD_DIR/bench-report.
set -euo pipefail

build=$(readlink -f "${1:-build}")
runs=${RUNS:-2}
psfpick=$build/apps/psfpick
mock=$build/tools/psfpick-mock
[ -x "$psfpick" ] || { echo "report_cost.sh: '$psfpick' is missing; build first" >&2; exit 1; }
work=$build/bench-report
mkdir -p "$work"
cd "$work"
if [ ! -f field.fits ] || [ ! -f e.field.fits ] || [ ! -f field.cat ]; then
    if [ ! -x "$mock" ]; then
        echo "report_cost.sh: '$mock' is missing (it needs libpng): no field, nothing measured"
        exit 0
    fi
    echo "making the mock field in $work (once)"
    "$mock" -o field.fits --size 8192 -n 1000000 --seed 1 >/dev/null
fi

# best NAME ARGS...: runs psfpick RUNS times; leaves "<best seconds> <peak kB>" in timed.
best() {
    local name=$1 s kb bs=0 bkb=0
    shift
    for ((k = 0; k < runs; ++k)); do
        /usr/bin/time -f "%e %M" -o "$name.time" "$psfpick" "$@" >"$name.log" 2>&1 ||
            { cat "$name.log" >&2; exit 1; }
        read -r s kb <"$name.time"
        if [ "$k" = 0 ] || awk -v a="$s" -v b="$bs" 'BEGIN { exit !(a < b) }'; then bs=$s; fi
        [ "$kb" -gt "$bkb" ] && bkb=$kb
    done
    timed="$bs $bkb"
}

options=(-i field.cat --nfields 5,5 -n 10)
best plain "${options[@]}" -o plain.tbl field.fits
read -r plain_s plain_kb <<<"$timed"
best report "${options[@]}" -o report.tbl --report field.ecsv field.fits
read -r report_s report_kb <<<"$timed"
cmp -s plain.tbl report.tbl || { echo "report_cost.sh: the tables differ" >&2; exit 1; }
rows=$(grep -vc '^#' field.ecsv)
mb=$(du -m field.ecsv | cut -f1)
# The report is ECSV that astropy reads with a bare Table.read: one row per
# catalogue row, and the funnel in the meta (checked when python3-astropy is
# installed).
py=""
for candidate in python3 /usr/bin/python3; do
    if "$candidate" -c 'import astropy' 2>/dev/null; then py=$candidate && break; fi
done
if [ -n "$py" ]; then
    "$py" - field.ecsv "$((rows - 1))" <<'PY' || { echo "report_cost.sh: astropy does not read the report as written" >&2; exit 1; }
import sys
from astropy.table import Table
t = Table.read(sys.argv[1])
assert len(t) == int(sys.argv[2]), (len(t), sys.argv[2])
assert t.meta["funnel"]["total"], "no funnel in the meta"
print("astropy reads the report: %d rows, %d columns" % (len(t), len(t.colnames)))
PY
else
    echo "python3-astropy is not installed: the report is not read back"
fi
rm -f field.ecsv

printf '%-22s %9s %9s\n' "1,000,000 rows" "wall s" "peak MB"
printf '%-22s %9.2f %9.0f\n' "run" "$plain_s" "$((plain_kb / 1024))"
printf '%-22s %9.2f %9.0f\n' "run with --report" "$report_s" "$((report_kb / 1024))"
awk -v a="$plain_s" -v b="$report_s" -v rows="$rows" -v mb="$mb" 'BEGIN {
    cost = b - a
    printf "report: %d rows, %d MB, %.2f s = %.0f %% of the run\n", rows - 1, mb, cost, 100 * cost / a
    if (cost > a) { print "FAIL: the report costs more than the run itself"; exit 1 }
    print "PASS: the report costs at most as much again as the run"
}'
