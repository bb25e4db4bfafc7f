#!/usr/bin/env bash
# Quality benchmark on the four real images (horsehead, m67, gc2massk, m51):
# runs psfpick with the recommended command of each image and then judges
# the picks star by star with bench/quality_check.py (clean or not, and why,
# against the PSFEx stars of the same image).
#
# usage: bench/quality.sh DATA_DIR OUT_DIR
#   DATA_DIR  the folder holding horsehead/ m67/ gc2massk/ m51/ (each with
#             <name>.cat, <name>.fits, e.<name>.fits, orig/, psfex/, reference/)
#   OUT_DIR   where each image leaves <name>.tbl, <name>.log (psfpick's
#             standard output and error, run with -v 1), <name>.cmd (the exact
#             command line), <name>.time (wall seconds), <name>.status (exit
#             status) and, when psfpick knows --report, <name>.ecsv
# The program is $PSFPICK when set, else build/apps/psfpick of this checkout.
# The images are only read from DATA_DIR, never copied.
set -euo pipefail

# The recommended command of each image is README.md's, in its block between
# the lines "<!-- recommended commands -->" and "<!-- end of recommended
# commands -->": one line "<name>: psfpick <options and files>" per image
# (continued on lines that end in " \\"), the files named as in the
# image's own folder (the catalogue, the image and its error image). The
# script adds -v 1, -o OUT_DIR/<name>.tbl and, when available,
# --report OUT_DIR/<name>.ecsv in front of the options.
IMAGES=(horsehead m67 gc2massk m51)

if [ $# -ne 2 ] || [ "${1:-}" = -h ] || [ "${1:-}" = --help ]; then
    sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//'
    [ $# -eq 2 ] && exit 0 || exit 2
fi
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")

# readme_commands: "<name> <options...>" per line, from README's block.
readme_commands() {
    local readme=$root/README.md
    [ -f "$readme" ] || { echo "quality.sh: '$readme' is missing" >&2; return 1; }
    awk '
        /^<!-- recommended commands -->$/ { inside = 1; next }
        /^<!-- end of recommended commands -->$/ { inside = 0; next }
        !inside || /^```/ { next }
        { line = line $0 }
        / \\$/ { sub(/ \\$/, " ", line); next }
        line != "" { print line; line = "" }
    ' "$readme" | sed -n 's/^\([a-z0-9]*\): *psfpick \(.*\)$/\1 \2/p'
}
declare -A COMMAND=()
while read -r name options; do COMMAND[$name]=$options; done < <(readme_commands)
for name in "${IMAGES[@]}"; do
    if [ -z "${COMMAND[$name]:-}" ]; then
        echo "quality.sh: README.md recommends no command for '$name' (see the block" \
            "'<!-- recommended commands -->')" >&2
        exit 1
    fi
done

[ -d "$1" ] || { echo "quality.sh: data folder '$1' does not exist" >&2; exit 1; }
data=$(cd "$1" && pwd)
for name in "${IMAGES[@]}"; do
    if [ ! -d "$data/$name" ]; then
        echo "quality.sh: '$data/$name' is missing (not the data folder?)" >&2
        exit 1
    fi
done
mkdir -p "$2"
out=$(cd "$2" && pwd)

# The program: a name without a slash is looked up on PATH, a relative path
# is taken from the caller's directory.
prog=${PSFPICK:-$root/build/apps/psfpick}
if [[ $prog != */* ]]; then
    prog=$(command -v "$prog") || { echo "quality.sh: '$PSFPICK' not found on PATH" >&2; exit 1; }
elif [[ $prog != /* ]]; then
    prog=$(pwd)/$prog
fi
if [ ! -x "$prog" ]; then
    echo "quality.sh: '$prog' is missing or not executable; build first (make build)" >&2
    exit 1
fi

# The checker needs numpy, scipy and astropy: the first interpreter that has them.
python=""
for py in ${PYTHON:-} /usr/bin/python3 python3; do
    if command -v "$py" >/dev/null 2>&1 && "$py" -c 'import numpy, scipy, astropy' 2>/dev/null; then
        python=$py
        break
    fi
done
if [ -z "$python" ]; then
    echo "quality.sh: no python3 with numpy, scipy and astropy; install the Debian packages" \
        "python3-numpy python3-scipy python3-astropy (or set PYTHON)" >&2
    exit 1
fi

# --report is passed only when the program knows it: an unknown option makes
# psfpick print its usage text, which lists every option (and exit with
# status 255, which pipefail would take for the pipeline's).
report=0
if { "$prog" --quality-sh-probe 2>&1 || true; } | grep -qw -- --report; then report=1; fi

# quote WORD...: the words as a shell reads them back, each after a blank; plain
# words stay as they are.
quote() {
    local w
    for w in "$@"; do
        if [[ $w =~ ^[A-Za-z0-9_./,:=+@%-]+$ ]]; then printf ' %s' "$w"; else printf ' %q' "$w"; fi
    done
}

for name in "${IMAGES[@]}"; do
    args=(-v 1 -o "$out/$name.tbl")
    [ "$report" = 1 ] && args+=(--report "$out/$name.ecsv")
    read -r -a opts <<<"${COMMAND[$name]}"
    args+=("${opts[@]}")
    rm -f "$out/$name.tbl" "$out/$name.ecsv"
    {
        printf 'cd'
        quote "$data/$name"
        printf ' &&'
        quote "$prog" "${args[@]}"
        echo
    } >"$out/$name.cmd"
    start=$(date +%s.%N)
    status=0
    (cd "$data/$name" && "$prog" "${args[@]}") >"$out/$name.log" 2>&1 || status=$?
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f\n", b - a }' >"$out/$name.time"
    echo "$status" >"$out/$name.status"
    echo "$name: exit status $status, $(cat "$out/$name.time") s"
done

"$python" "$here/quality_check.py" "$data" "$out"
