# Counts the stars psfpick selected in each subfield, from its console output
# at verbose level 1 or more: the rows between a subfield's column header and
# the empty line after them.
/^searching for / { box = $NF; order[++subfields] = box; count[box] = 0; next }
/^ +(id +)?x +y +RA +DEC +flux +neighbour_dist/ { inRows = 1; next }
/^$/ { inRows = 0; next }
inRows { count[box]++; total++ }
END {
    for (k = 1; k <= subfields; ++k) printf "subfield %s: %d stars selected\n", order[k], count[order[k]]
    printf "%d stars selected in %d subfields\n", total, subfields
}
