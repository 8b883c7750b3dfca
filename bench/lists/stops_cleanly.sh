#!/bin/sh
# chainbench CHAINBENCH FOLDER: a write past the file-size limit and a
# SIGTERM during a job (sorting, in a script that never returns, in a long
# match) each end the run with exit 1 within seconds, the target as it was
# and no temporary file left beside it.
set -u
chainbench=$1
folder=$2
rm -rf "$folder" && mkdir -p "$folder" && cd "$folder" || exit 1
yes "the quick brown fox 12345 jumps over the lazy dog" | head -c 30000000 > big.txt
echo old > out.txt

check() {
  if [ "$1" -ne 1 ]; then echo "$2: exit $1, not 1"; exit 1; fi
  if [ "$(cat out.txt)" != old ]; then echo "$2: the target changed"; exit 1; fi
  if ls KVB* > /dev/null 2>&1; then echo "$2: a temporary file was left"; exit 1; fi
}

(ulimit -f 1000; exec "$chainbench" copy big.txt out.txt) 2> /dev/null
check $? "file-size limit"

# Lines of 100,000 letters a, on which (.*a)+b backtracks.
head -c 100000 /dev/zero | tr '\0' a > line.txt
echo >> line.txt
for i in $(seq 300); do cat line.txt; done > long.txt

for chain in "sort big.txt" "script-endless big.txt" "replace-nested long.txt"; do
  # shellcheck disable=SC2086 # the chain and its input, two words
  "$chainbench" $chain out.txt &
  job=$!
  # The output's file, which has no name until it is whole, shows that the
  # job is writing.
  tries=0
  until ls -l "/proc/$job/fd" 2> /dev/null | grep -q "$PWD/.*(deleted)"; do
    tries=$((tries + 1))
    if [ $tries -gt 3000 ]; then echo "$chain: the job wrote nothing"; kill $job; exit 1; fi
    sleep 0.01
  done
  kill -TERM $job
  # Whatever the job is doing, the run ends within seconds.
  (sleep 10; kill -KILL $job 2> /dev/null) &
  guard=$!
  wait $job
  status=$?
  kill $guard 2> /dev/null
  check $status "SIGTERM during $chain"
done
