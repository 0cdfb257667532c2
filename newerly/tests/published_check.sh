#!/usr/bin/env bash
# Runs newerly_e2e_test (its first argument) through scripts/wine-exec (the second) after
# scripts/publish-update (the third) has made an update folder from a program folder of new
# programs, signed with the tests' private key (the fourth): the test installs that folder as it
# stands. The folder is named to the test in QR_PUBLISHED_DIR and removed afterwards.
# Usage: published_check.sh E2E_TEST_EXE WINE_EXEC PUBLISH_SCRIPT TEST_KEY_PEM
set -euo pipefail
test_exe=$1 wine_exec=$2 publish=$3 key=$4
work=$(mktemp -d /tmp/qr-published-XXXXXX)
trap 'rm -rf "$work"' EXIT
# The new release: the tests' small Windows program, marked so that each file is its own.
standin=$(dirname "$test_exe")/newerly_standin.exe
mkdir -p "$work/source"
for f in panel.exe Launch.exe clear.exe; do
  { cat "$standin"; printf 'published %s' "$f"; } > "$work/source/$f"
done
printf '[WIN]\r\nQuietVer=1.14\r\nPanelVer=1.15\r\nLaunchVer=1.16\r\nClearVer=1.17\r\n' > "$work/source/library.ini"
bash "$publish" "$work/source" "$key" "$work/published" >/dev/null
QR_PUBLISHED_DIR="$work/published" "$wine_exec" "$test_exe"
