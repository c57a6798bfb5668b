#!/bin/sh
# Measures the crypto library's AES-CTR, SHA-1 and HMAC-SHA1 throughput on 16 KiB chunks next
# to OpenSSL on the same machine and prints the ratios. Not part of the test run.
#
#   bench/crypto_speed.sh [seconds-per-measurement]     (default 2)
#
# Rows with the processor's AES / SHA instructions are set against plain `openssl speed`; the
# "-portable" rows against OpenSSL with those instructions masked off (OPENSSL_ia32cap), which
# is OpenSSL's own fallback code (vector-permute AES, SIMD SHA-1).
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
# AES-NI and PCLMULQDQ in the first word; SHA and VAES in the second.
no_instructions="~0x200000200000000:~0x20020000000"
openssl_rate_without() {
  OPENSSL_ia32cap="$no_instructions" openssl_rate "$@"
}

a256=$(openssl_rate -evp aes-256-ctr)
a128=$(openssl_rate -evp aes-128-ctr)
sha=$(openssl_rate sha1)
hmac=$(openssl_rate -hmac sha1)
a256p=$(openssl_rate_without -evp aes-256-ctr)
a128p=$(openssl_rate_without -evp aes-128-ctr)
shap=$(openssl_rate_without sha1)
hmacp=$(openssl_rate_without -hmac sha1)

echo "$ours" | awk -v a256="$a256" -v a128="$a128" -v s="$sha" -v h="$hmac" \
  -v a256p="$a256p" -v a128p="$a128p" -v sp="$shap" -v hp="$hmacp" '
  /^#/ { print; next }
  {
    portable = ($1 ~ /-portable$/)
    if ($1 ~ /^aes-256-ctr/) ref = portable ? a256p : a256
    else if ($1 ~ /^aes-128-ctr/) ref = portable ? a128p : a128
    else if ($1 ~ /^sha1/) ref = portable ? sp : s
    else if ($1 ~ /^hmac-sha1/) ref = portable ? hp : h
    printf "%-22s %9.1f MB/s   openssl%s %9.1f MB/s   ratio %.2f\n", $1, $2 / 1e6,
           portable ? " (no AES/SHA instr.)" : "                    ", ref / 1e6, $2 / ref
  }'
