#!/usr/bin/env bash
# Runs hostile_network_test (its first argument) through scripts/wine-exec (the second). As root,
# it first makes a folder whose library.ini is a read-only bind mount, since Wine's root user
# replaces a file that merely carries the read-only attribute; the folder is named to the test in
# QR_READONLY_FOLDER and taken down again on every way out. Elsewhere the test uses the attribute.
set -uo pipefail
test_exe=$1 wine_exec=$2
if [ "$(id -u)" -eq 0 ]; then
  folder=$(mktemp -d /tmp/qr-readonly-XXXXXX)
  trap 'umount "$folder/library.ini" 2>/dev/null; rm -rf "$folder"' EXIT
  printf '[WIN]\r\nQuietVer=1.14\r\nPanelVer=1.14\r\nLaunchVer=1.14\r\nClearVer=1.14\r\n' >"$folder/library.ini"
  if mount --bind "$folder/library.ini" "$folder/library.ini" 2>/dev/null &&
     mount -o remount,ro,bind "$folder/library.ini" 2>/dev/null; then
    export QR_READONLY_FOLDER=$folder
  fi
fi
"$wine_exec" "$test_exe"
