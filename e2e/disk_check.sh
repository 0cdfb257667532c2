#!/usr/bin/env bash
# The programs with their program folder on a disk that cannot take more: a small file system
# (tmpfs) filled by the test to the brim, and a folder mounted read-only (root ignores permission
# bits, a read-only mount it cannot). Both become drives of the test prefix for the run of the
# Wine test binary, and everything is taken down again on every way out. Needs root and the right
# to mount; without them the test is skipped (77).
# Usage: disk_check.sh DISK_TEST_EXE WINE_EXEC   (WINEPREFIX and QR_PROGRAM_DIR set)
set -euo pipefail
test_exe=$1 wine_exec=$2
: "${WINEPREFIX:?WINEPREFIX is not set}" "${QR_PROGRAM_DIR:?QR_PROGRAM_DIR is not set}"

if [ "$(id -u)" -ne 0 ]; then echo "skipped: mounting the test disks needs root"; exit 77; fi
command -v mount >/dev/null && command -v umount >/dev/null || { echo "skipped: no mount"; exit 77; }

work=$(mktemp -d /tmp/quietrail-disk.XXXXXX)
mounted=() links=()
restore() {
  local i
  for link in "${links[@]}"; do [ -L "$link" ] && rm -f "$link"; done
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    umount "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap restore EXIT
trap 'exit 1' INT TERM HUP

# The full disk holds the programs the cases run and their files, and a little more that the
# test fills up.
testbin=$(dirname "$test_exe")
need=0
for f in "$QR_PROGRAM_DIR"/panel.exe "$QR_PROGRAM_DIR"/accesskeep.ocx "$QR_PROGRAM_DIR"/clear.exe \
         "$testbin"/newerly_testbuild.exe; do
  [ -f "$f" ] || { echo "missing: $f"; exit 1; }
  need=$((need + $(stat -c %s "$f")))
done
size_kb=$(( (need / 1024 / 4 + 1) * 4 + 256 ))

mkdir -p "$work/full" "$work/stage" "$work/ro"
if ! mount -t tmpfs -o "size=${size_kb}k,mode=0755" quietrail-full "$work/full" 2>"$work/mount.err"; then
  echo "skipped: no right to mount ($(cat "$work/mount.err"))"; exit 77
fi
mounted+=("$work/full")
mount --bind "$work/stage" "$work/ro"
mounted+=("$work/ro")
mount -o remount,bind,ro "$work/ro"
if touch "$work/ro/probe" 2>/dev/null; then echo "skipped: the read-only mount takes files"; exit 77; fi
echo "full disk: ${size_kb} KB tmpfs at $work/full; read-only view of $work/stage at $work/ro"

# Three drive letters the prefix does not use yet.
letters=()
for l in q r s t u v w x y; do
  [ -e "$WINEPREFIX/dosdevices/$l:" ] || [ -L "$WINEPREFIX/dosdevices/$l:" ] || letters+=("$l")
  [ ${#letters[@]} -eq 3 ] && break
done
[ ${#letters[@]} -eq 3 ] || { echo "skipped: no free drive letters in the prefix"; exit 77; }
targets=("$work/full" "$work/ro" "$work/stage")
for i in 0 1 2; do
  link="$WINEPREFIX/dosdevices/${letters[i]}:"
  ln -s "${targets[i]}" "$link"
  links+=("$link")
done
up() { echo "${1^^}:"; }
QR_FULL_DRIVE=$(up "${letters[0]}") QR_RO_DRIVE=$(up "${letters[1]}") QR_RO_STAGE=$(up "${letters[2]}") \
  "$wine_exec" "$test_exe"
