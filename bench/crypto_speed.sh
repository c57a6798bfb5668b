#!/bin/sh
# Measures the crypto library's AES-CTR, SHA-1 and HMAC-SHA1 throughput on 16 KiB chunks next
# to OpenSSL on the same machine and prints the ratios. Not part of the test run.
#
#   bench/crypto_speed.sh [seconds-per-measurement]     (default 2)
#
# Builds qm_crypto with the default preset (at most two jobs), then the timing program.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-2}
build="$root/build/default"
out="$build/bench"

cd "$root"
cmake --preset default >/dev/null
cmake --build --preset default --target qm_crypto -j2 >/dev/null
mkdir -p "$out"
g++ -std=c++20 -O2 -I"$root/src" "$root/bench/crypto_speed.cpp" \
  "$build/src/crypto/libqm_crypto.a" "$build/src/platform/libqm_platform.a" \
  -o "$out/crypto_speed"

ours=$("$out/crypto_speed" "$seconds")

# openssl speed -mr prints "+F:<n>:<name>:<bytes per second>" for each block size asked for.
openssl_rate() {
  openssl speed -mr -seconds "$seconds" -bytes 16384 "$@" 2>/dev/null |
    awk -F: '/^\+F:/ { print $4 }' | tail -n 1
}
ossl_aes256=$(openssl_rate -evp aes-256-ctr)
ossl_aes128=$(openssl_rate -evp aes-128-ctr)
ossl_sha1=$(openssl_rate sha1)
ossl_hmac=$(openssl_rate -hmac sha1)

echo "$ours" | awk -v a256="$ossl_aes256" -v a128="$ossl_aes128" -v s="$ossl_sha1" \
                   -v h="$ossl_hmac" '
  /^#/ { print; next }
  {
    ref = 0
    if ($1 ~ /^aes-256-ctr/) ref = a256
    else if ($1 ~ /^aes-128-ctr/) ref = a128
    else if ($1 ~ /^sha1/) ref = s
    else if ($1 ~ /^hmac-sha1/) ref = h
    printf "%-22s %9.1f MB/s   openssl %9.1f MB/s   ratio %.2f\n", $1, $2 / 1e6, ref / 1e6, $2 / ref
  }'
