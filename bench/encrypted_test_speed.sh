#!/bin/sh
# Times `qmzip test` against `7zz t` on a 512 MiB archive that 7-Zip encrypted with AES-256,
# and prints the ratio (qmzip / 7zz, median of three runs each). Not part of the test run.
#
#   bench/encrypted_test_speed.sh [runs]      (default 3)
#
# The data and the archive are made in a fresh folder under /tmp and removed afterwards:
# 256 MiB that does not compress and about 256 MiB of Base64 text that does. Builds qmzip with
# the default preset (at most two jobs) first.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-3}
qmzip="$root/build/default/tools/qmzip/qmzip"
password="bench password 1"

cd "$root"
cmake --preset default >/dev/null
cmake --build --preset default --target qmzip -j2 >/dev/null

work=$(mktemp -d /tmp/qm-encbench.XXXXXX)
trap 'rm -rf "$work"' EXIT INT TERM
cd "$work"
head -c 268435456 /dev/urandom > random.bin
head -c 201326592 /dev/urandom | base64 -w 76 > text.txt
7zz a -tzip -mem=AES256 "-p$password" aes256.zip random.bin text.txt > /dev/null
rm random.bin text.txt
size=$(stat -c %s aes256.zip)

# Wall-clock seconds of one run of the command; a failed run stops the script.
seconds_of() {
  start=$(date +%s.%N)
  "$@" > /dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
  end=$(date +%s.%N)
  echo "$start $end" | awk '{ printf "%.3f\n", $2 - $1 }'
}

median_of() {
  i=0
  : > times
  while [ "$i" -lt "$runs" ]; do
    seconds_of "$@" >> times
    i=$((i + 1))
  done
  sort -n times | awk '{ t[NR] = $1 } END { print t[int((NR + 1) / 2)] }'
}

ours=$(median_of "$qmzip" test aes256.zip --password "$password")
theirs=$(median_of 7zz t "-p$password" aes256.zip)

echo "archive: $size bytes, AES-256, deflated by 7-Zip; median of $runs runs"
printf '%-14s %8s s\n' "qmzip test" "$ours" "7zz t" "$theirs"
echo "$ours $theirs" | awk '{ printf "ratio qmzip / 7zz: %.2f\n", $1 / $2 }'
