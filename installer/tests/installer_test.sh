#!/usr/bin/env bash
# The setup program under 64-bit Wine, in a fresh prefix of its own:
#   installer_test.sh PREFIX SETUP CHECKS ENDPROGRAMS
# silent installation, the checks of installer_test.exe, changed user files kept by a second
# installation, silent uninstallation leaving the file system and the registry as they were, and
# an unwritable installation folder refused with nothing installed.
set -euo pipefail
prefix=$1 setup=$2 checks=$3 helper=$4
source "$(dirname "$0")/../../scripts/common.sh"

# A display for the windows the programs open, when the caller has none.
if [ -z "${QR_INSTALLER_TEST_DISPLAY:-}" ] && ! { [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; }; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" env QR_INSTALLER_TEST_DISPLAY=1 bash "$0" "$@"
fi

export WINEPREFIX=$prefix
# No menu entries on the host for the shortcuts the setup program makes.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export QR_ENDPROGRAMS=$helper QR_SETUP=$setup
work=$prefix-work
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

wine_to_unix() { "$WINE" winepath -u "$1" 2>/dev/null </dev/null | tr -d '\r'; }

cleanup() { wineserver -k >/dev/null 2>&1 || true; }
trap cleanup EXIT

echo "Creating a fresh Wine prefix in $prefix"
cleanup
rm -rf "$prefix" "$work"
mkdir -p "$work"
"$WINE" wineboot -i >/dev/null 2>&1 </dev/null || true
wineserver -w
start_wine_session

# The registry (the user's keys and the machine's classes) and the file system, as text that
# can be compared. Left out: what Wine changes by itself as programs run (window positions,
# console settings, the shell's own bookkeeping), the temporary folders (the uninstaller runs
# from a copy there that the system removes at the next start), and the browser's cache and
# history stores, which the clearing run that the start-up entry starts opens.
volatile_keys='^\[HKEY_CURRENT_USER\\(Console|Software\\Wine|Software\\Microsoft\\Windows\\CurrentVersion\\Explorer)'
snapshot() {
  local name=$1 key file
  : >"$work/$name.reg"
  for key in HKEY_CURRENT_USER 'HKEY_LOCAL_MACHINE\Software\Classes'; do
    file="$work/export.reg"
    rm -f "$file"
    "$WINE" reg export "$key" "$(winepath_w "$file")" /y >/dev/null 2>&1 </dev/null
    iconv -f UTF-16LE -t UTF-8 "$file" | tr -d '\r' |
      VOLATILE=$volatile_keys awk '/^\[/ { keep = ($0 !~ ENVIRON["VOLATILE"]) } keep' >>"$work/$name.reg"
  done
  (cd "$prefix/drive_c" && find . \( -path '*/Temp' -o -path '*/Microsoft/Windows/INetCache' -o -path '*/Microsoft/Windows/INetCookies' \
    -o -path '*/Microsoft/Windows/History' \) -prune -o -print | sort) >"$work/$name.files"
}
winepath_w() { "$WINE" winepath -w "$1" 2>/dev/null </dev/null | tr -d '\r'; }

run_checks() {
  "$WINE" "$checks" --gtest_filter="$1" >"$work/checks.log" 2>&1 </dev/null || fail "checks $1"
  cat "$work/checks.log"
}

run_setup() {
  local rc=0
  "$WINE" "$setup" /S "$@" >/dev/null 2>&1 </dev/null || rc=$?
  echo "$rc"
}

# The setup program's resources, and the helper that ends running programs, on stand-ins of the
# checks' own.
run_checks 'Setup.*:EndPrograms.*'

# Settle what the first programs of a prefix change by themselves, then take the "before".
"$WINE" reg export HKEY_CURRENT_USER "$(winepath_w "$work/warmup.reg")" /y >/dev/null 2>&1 </dev/null || true
snapshot before

echo "Installing"
rc=$(run_setup)
[ "$rc" = 0 ] || fail "silent installation ended with $rc"
folder=$(echo "$prefix"/drive_c/users/*/AppData/Local/Programs/"Quietrail 2003")
[ -f "$folder/uninstall.exe" ] || fail "nothing installed in $folder"
run_checks 'Installed.*'

echo "Upgrading over changed user files"
printf 'www.example.com\r\nbank.example.org\r\n' >"$folder/exclude.ini"
printf '; Quietrail INI File\r\n[Settings]\r\nHistory=1\r\nTmpInt=1\r\nCookies=1\r\nRecent=0\r\nURL=1\r\nStartup=1\r\nClearDialog=0\r\n[Launch]\r\nSplash=0\r\nTray=1\r\n' >"$folder/quietrail.ini"
printf '[General]\r\nVersion=2\r\n\r\n[Users]\r\ncount=1\r\n1=default\r\n\r\n[default]\r\nlogin=1\r\nShowWelcome=1\r\nPswd=1,2,3\r\n' >"$folder/panel.dll"
for f in exclude.ini quietrail.ini panel.dll; do cp "$folder/$f" "$work/$f.user"; done
# The serial of the last update installed outlives the upgrade (Upgraded.* looks).
printf 'Serial=1765000000\r\n' >>"$folder/library.ini"
rc=$(run_setup)
[ "$rc" = 0 ] || fail "second silent installation ended with $rc"
for f in exclude.ini quietrail.ini panel.dll; do
  cmp -s "$work/$f.user" "$folder/$f" || fail "$f not kept byte for byte by the upgrade"
done
# The upgrade leaves the entries as the first installation made them.
run_checks 'Upgraded.*:Installed.Shortcuts:Installed.InstalledProgramsEntry:Installed.ControlCreatableByProgId:Installed.FolderIsTheUsersAlone'

echo "Upgrading an installation that other accounts can change"
"$WINE" "$checks" --grant-everyone "$(winepath_w "$folder")" >/dev/null 2>&1 </dev/null || fail "Everyone could not be given the folder"
before_open=$(cd "$folder" && md5sum * | sort)
rc=$(run_setup)
[ "$rc" = 2 ] || fail "an upgrade of a folder others can change ended with $rc, not 2"
[ "$(cd "$folder" && md5sum * | sort)" = "$before_open" ] || fail "the folder others can change was upgraded"
"$WINE" "$checks" --make-private "$(winepath_w "$folder")" >/dev/null 2>&1 </dev/null || fail "the folder could not be made private again"

echo "Uninstalling"
# L04: files the user put there stay, even one that a pattern of the programs' names would match.
printf 'my notes\r\n' >"$folder/notes.txt"
printf 'mine\r\n' >"$folder/updates.tmp"
# L09: names the platform's file search would take for patterns (notes< matches notes.txt on
# Windows), and a control character, in the record are passed over.
printf 'notes<=1\r\n"notes.txt=1\r\nnotes>txt=1\r\na|b=1\r\nnotes\001.txt=1\r\n' >>"$folder/installed.ini"
# What an update checker interrupted by a crash can leave goes too.
for f in available.ini.download available.sig.download available.ini.new library.ini.room upd1A2B.tmp \
         clear.exe.new clear.exe.download; do
  [ "${f#clear.exe}" = "$f" ] || [ -f "$folder/clear.exe" ] || continue
  printf 'left\r\n' >"$folder/$f"
done
"$WINE" "$(winepath_w "$folder/uninstall.exe")" /S >/dev/null 2>&1 </dev/null || fail "uninstaller did not start"
# The uninstaller goes on from a copy of itself; its last step takes the installed-programs entry.
for _ in $(seq 1 120); do
  "$WINE" reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quietrail 2003' >/dev/null 2>&1 </dev/null || break
  sleep 0.5
done
left=$(ls -A "$folder" 2>/dev/null | tr '\n' ' ')
[ "$left" = "notes.txt updates.tmp " ] || fail "the uninstaller left '$left', not the user's two files"
rm -rf "$folder"
rmdir "$(dirname "$folder")" 2>/dev/null || true

echo "Installing into a folder that holds files of its own"
# L04: the system's names without the installation's record (an unrelated clear.exe among them)
# are no earlier installation: nothing is ended, replaced or added there.
own=$prefix/drive_c/Tools
mkdir -p "$own"
printf 'not ours\r\n' >"$own/clear.exe"
printf 'not ours either\r\n' >"$own/uninstall.exe"
printf 'notes\r\n' >"$own/notes.txt"
before_own=$(cd "$own" && md5sum * | sort)
rc=$(run_setup '/D=C:\Tools')
[ "$rc" = 2 ] || fail "installation into a folder of the user's own ended with $rc, not 2"
[ "$(cd "$own" && md5sum * | sort)" = "$before_own" ] || fail "the folder of the user's own was changed: $(ls -A "$own" | tr '\n' ' ')"
rm -rf "$own"

echo "Installing into an empty folder of another account"
shared=$prefix/drive_c/Shared
mkdir -p "$shared"
# Wine shows every file of the prefix as the user's own and keeps no other owner: there the case
# is skipped, and the refusal rests on Setup.FolderRightsJudgeTheAccessList and reading.
if "$WINE" "$checks" --give-away 'C:\Shared' >/dev/null 2>&1 </dev/null; then
  rc=$(run_setup '/D=C:\Shared')
  [ "$rc" = 2 ] || fail "installation into another account's folder ended with $rc, not 2"
  [ -z "$(ls -A "$shared")" ] || fail "another account's folder was written to: $(ls -A "$shared" | tr '\n' ' ')"
else
  echo "skipped: no other owner can be set here"
fi
rm -rf "$shared"

echo "Installing, upgrading and uninstalling in a folder named in another script"
QR_SETUP_W=$(winepath_w "$setup")
export QR_SETUP_W
run_checks 'Foreign.*'
rm -rf "$prefix/drive_c/"*ukasz*

echo "Installing into folders that cannot be used"
# A file where a folder of the path should be: Setup itself refuses the folder.
# (/D= takes the rest of the command line unquoted, so folders without blanks.)
: >"$prefix/drive_c/blocked"
rc=$(run_setup '/D=C:\blocked\Quietrail')
[ "$rc" = 2 ] || fail "installation below a file ended with $rc, not 2"
rm -f "$prefix/drive_c/blocked"
# A drive where no folder can be made (the kernel's process list).
ln -s /proc "$prefix/dosdevices/r:"
rc=$(run_setup '/D=R:\Quietrail')
[ "$rc" = 2 ] || fail "installation into an unwritable drive ended with $rc, not 2"
rm -f "$prefix/dosdevices/r:"

snapshot after
if ! diff -u "$work/before.reg" "$work/after.reg" >"$work/reg.diff"; then
  fail "registry changed by installing and uninstalling:"
  cat "$work/reg.diff"
fi
if ! diff -u "$work/before.files" "$work/after.files" >"$work/files.diff"; then
  fail "file system changed by installing and uninstalling:"
  cat "$work/files.diff"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s); the prefix stays in $prefix for a look"
  exit 1
fi
# The prefix takes some 700 MB: it goes once everything passed.
cleanup
wineserver -w 2>/dev/null || true
rm -rf "$prefix" "$work"
echo "Installer checks passed"
