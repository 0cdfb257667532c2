#!/usr/bin/env bash
# Runs newerly_e2e_test (its first argument) through scripts/wine-exec (the second) after
# scripts/publish-update (the third) has made an update folder from a program folder of new
# programs, signed with the tests' private key (the fourth): the test installs that folder as it
# stands. The folder is named to the test in QR_PUBLISHED_DIR and removed afterwards.
# Before that, the publisher's own checks: a key that is not the one the checkers hold is refused
# (and one others may read is warned of), and a 32-bit set goes into the 32-bit folder.
# Usage: published_check.sh E2E_TEST_EXE WINE_EXEC PUBLISH_SCRIPT TEST_KEY_PEM
set -euo pipefail
test_exe=$1 wine_exec=$2 publish=$3 key=$4
work=$(mktemp -d /tmp/qr-published-XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "published_check: $*" >&2; exit 1; }

# The PE file header's offset, and a byte of a file changed in place.
pe_of() { od -An -tu4 -j60 -N4 "$1" | tr -d ' '; }
set_byte() { printf "\\x$(printf %02x "$3")" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none; }
byte_at() { od -An -tu1 -j"$2" -N1 "$1" | tr -d ' '; }

# A release: the tests' small Windows program, marked so that each file is its own, and the same
# program marked as a library for the browser module.
standin=$(dirname "$test_exe")/newerly_standin.exe
release() {
  local dir=$1 machine=$2
  mkdir -p "$dir"
  for f in panel.exe Launch.exe clear.exe browsers.dll; do
    { cat "$standin"; printf 'published %s' "$f"; } > "$dir/$f"
  done
  local pe
  pe=$(pe_of "$dir/browsers.dll")
  set_byte "$dir/browsers.dll" $((pe + 23)) $(( $(byte_at "$dir/browsers.dll" $((pe + 23))) | 0x20 ))
  if [ "$machine" = i386 ]; then
    for f in panel.exe Launch.exe clear.exe browsers.dll; do
      set_byte "$dir/$f" $((pe + 4)) 0x4c
      set_byte "$dir/$f" $((pe + 5)) 0x01
    done
  fi
  printf '[WIN]\r\nQuietVer=1.14\r\nPanelVer=1.15\r\nLaunchVer=1.16\r\nClearVer=1.17\r\nBrowsersVer=1.18\r\n' > "$dir/library.ini"
}
openssl pkey -in "$key" -pubout -out "$work/test-public.pem" 2>/dev/null
export QR_UPDATE_PUBLIC_KEY=$work/test-public.pem

release "$work/source" amd64
release "$work/source32" i386

# Signed with a key the checkers do not hold (and left readable by everyone): refused, nothing
# published.
openssl ecparam -name prime256v1 -genkey -noout -out "$work/other.pem" 2>/dev/null
chmod 644 "$work/other.pem"
if bash "$publish" "$work/source" "$work/other.pem" "$work/refused" >"$work/refused.out" 2>&1; then
  fail "a release signed with another key was published"
fi
grep -q "warning: .*other.pem can be read" "$work/refused.out" || fail "no warning of a private key others may read"
grep -q "is not the private half of the update key" "$work/refused.out" || fail "$(cat "$work/refused.out")"
[ ! -e "$work/refused/available.ini" ] || fail "a refused release left a list behind"

# The 32-bit set goes into the 32-bit folder and leaves the 64-bit one alone.
bash "$publish" "$work/source32" "$key" "$work/published" >/dev/null
[ -f "$work/published/x86/available.ini" ] && [ -f "$work/published/x86/browsers.dll" ] ||
  fail "the 32-bit set is not in the x86 folder"
[ ! -e "$work/published/available.ini" ] || fail "the 32-bit set was published into the 64-bit folder"

bash "$publish" "$work/source" "$key" "$work/published" >/dev/null
QR_PUBLISHED_DIR="$work/published" "$wine_exec" "$test_exe"
