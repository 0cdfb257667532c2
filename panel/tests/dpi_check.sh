#!/usr/bin/env bash
# The panel's windows on a screen of 144 dots an inch (150%). Wine takes the resolution from the
# prefix's LogPixels when a program starts, so the run has a prefix of its own beside the build
# tree's (made once), and no other test's program ever meets that screen.
# Usage: dpi_check.sh PANEL_TEST_EXE WINE_EXEC   (WINEPREFIX set to the build tree's prefix)
set -euo pipefail
test_exe=$1 wine_exec=$2
: "${WINEPREFIX:?WINEPREFIX is not set}"
export WINEPREFIX="$WINEPREFIX-dpi144"
log=$(mktemp /tmp/quietrail-dpi.XXXXXX)
# Wine's own processes outlive the commands that start them: their output goes nowhere, and the
# test's into a file, so that nothing holds the caller's output open.
finish() {
  wineserver -k >/dev/null 2>&1 || true
  rm -f "$log"
}
trap finish EXIT
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "$wine_exec" wineboot -i >/dev/null 2>&1 </dev/null || true
fi
# A server kept for the run; the one wineboot left behind in a new prefix answers as well (and
# makes -p fail), so its failure is no failure.
wineserver -p >/dev/null 2>&1 </dev/null || true
"$wine_exec" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1 </dev/null ||
  { echo "could not set LogPixels in $WINEPREFIX"; exit 1; }
# Unmanaged windows, as in the build tree's prefix: no waiting for a window manager.
"$wine_exec" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 </dev/null ||
  { echo "could not set unmanaged windows in $WINEPREFIX"; exit 1; }
rc=0
QR_EXPECT_DPI=144 "$wine_exec" "$test_exe" --gtest_filter='HighDpi.*' >"$log" 2>&1 </dev/null || rc=$?
cat "$log"
exit $rc
