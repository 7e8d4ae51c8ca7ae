#!/bin/sh
# Signs the Windows program or installer IN into OUT (Authenticode, SHA-256)
# with the certificate and private key of the PKCS#12 file CERTIFICATE,
# whose password is the first line of PASSWORD_FILE (which osslsigncode
# reads itself: the password is on no command line and in no environment),
# dated EPOCH (seconds since 1970), so that two signings with one
# certificate give the same bytes; with TIMESTAMP_URL, an RFC 3161
# time-stamping authority countersigns it, which no two signings share.
# Usage: sign.sh OSSLSIGNCODE CERTIFICATE PASSWORD_FILE EPOCH IN OUT [TIMESTAMP_URL]
set -eu
if [ $# -lt 6 ] || [ $# -gt 7 ]; then
  echo "usage: sign.sh OSSLSIGNCODE CERTIFICATE PASSWORD_FILE EPOCH IN OUT [TIMESTAMP_URL]" >&2
  exit 2
fi
osslsigncode=$1 certificate=$2 password_file=$3 epoch=$4 in=$5 out=$6
if [ ! -f "$password_file" ] || [ ! -r "$password_file" ]; then
  echo "sign.sh: cannot read the password file \"$password_file\": the password of $certificate is needed to sign $in" >&2
  exit 1
fi
timestamp=""
if [ $# -eq 7 ] && [ -n "$7" ]; then
  timestamp=$7
fi
# osslsigncode writes only a new file.
rm -f "$out"
"$osslsigncode" sign -pkcs12 "$certificate" -readpass "$password_file" -h sha256 -n dep -time "$epoch" \
  ${timestamp:+-ts "$timestamp"} -in "$in" -out "$out" >/dev/null
