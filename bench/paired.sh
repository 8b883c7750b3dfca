#!/bin/sh
# paired.sh RUNS COMMAND... : runs the commands (each a shell command line)
# one after the other, RUNS rounds in all, so that each round meets the same
# load on a shared machine, then prints for each command its best and median
# wall time and their ratios to the first command's.
set -eu
runs=$1
shift
[ "$runs" -gt 0 ] && [ $# -gt 0 ] || {
    echo "usage: paired.sh RUNS COMMAND..." >&2
    exit 2
}
times=$(mktemp)
trap 'rm -f "$times"' EXIT
round=1
while [ "$round" -le "$runs" ]; do
    i=1
    for command in "$@"; do
        start=$(date +%s.%N)
        sh -c "$command"
        end=$(date +%s.%N)
        echo "$i $start $end" >>"$times"
        i=$((i + 1))
    done
    round=$((round + 1))
done
i=1
for command in "$@"; do
    awk -v i="$i" '$1 == i { print $3 - $2 }' "$times" | sort -g |
        awk -v c="$command" -v i="$i" '
            { t[NR] = $1 }
            END {
                median = NR % 2 ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2
                printf "%d %.3f %.3f %s\n", i, t[1], median, c
            }'
    i=$((i + 1))
done | awk '
    NR == 1 { best = $2; median = $3 }
    { c = $0; sub(/^[^ ]+ [^ ]+ [^ ]+ /, "", c)
      printf "best %.3f s (%.2fx)  median %.3f s (%.2fx)  %s\n", $2, $2 / best, $3, $3 / median, c }'
