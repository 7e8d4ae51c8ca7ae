#!/bin/sh
# Signs the Windows program or installer IN into OUT (Authenticode, SHA-256)
# with the certificate and private key of the PKCS#12 file CERTIFICATE, whose
# password is DEP_SIGNING_PASSWORD in the environment (never on a command
# line), dated EPOCH (seconds since 1970), so that two signings with one
# certificate give the same bytes; with TIMESTAMP_URL, an RFC 3161
# time-stamping authority countersigns it, which no two signings share.
# Usage: sign.sh OSSLSIGNCODE CERTIFICATE EPOCH IN OUT [TIMESTAMP_URL]
set -eu
if [ $# -lt 5 ] || [ $# -gt 6 ]; then
  echo "usage: sign.sh OSSLSIGNCODE CERTIFICATE EPOCH IN OUT [TIMESTAMP_URL]" >&2
  exit 2
fi
osslsigncode=$1 certificate=$2 epoch=$3 in=$4 out=$5
if [ -z "${DEP_SIGNING_PASSWORD+set}" ]; then
  echo "sign.sh: DEP_SIGNING_PASSWORD is not set: the password of $certificate is needed to sign $in" >&2
  exit 1
fi
timestamp=""
if [ $# -eq 6 ] && [ -n "$6" ]; then
  timestamp=$6
fi
# osslsigncode writes only a new file.
rm -f "$out"
printf %s "$DEP_SIGNING_PASSWORD" |
  "$osslsigncode" sign -pkcs12 "$certificate" -readpass /dev/stdin -h sha256 -n dep -time "$epoch" \
    ${timestamp:+-ts "$timestamp"} -in "$in" -out "$out" >/dev/null
