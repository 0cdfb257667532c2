# Shared by the scripts: where things are, and the Wine environment of a build tree.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$here/build}
PROGRAM_DIR=$BUILD_DIR/program
export BUILD_DIR PROGRAM_DIR
# Wine's 64-bit loader, called directly: /usr/bin/wine picks the 32-bit one whenever the 32-bit
# Wine package is installed, and our machines cannot run 32-bit code.
export WINE=/usr/lib/wine/wine64
export WINEPREFIX=$BUILD_DIR/wine WINEARCH=win64 WINELOADER=$WINE WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="

# Debian packages the build, the tests and the programs need. SQLite's source package is fetched
# and made into its amalgamation with tcl and dpkg-dev; chromium and firefox-esr make the browser
# profiles the tests clean.
# No i386 architecture and no 32-bit Wine: only the 64-bit set runs here; the 32-bit one is cross-built.
PACKAGES=(mingw-w64 mingw-w64-tools g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine wine64
          libwine-dev fonts-wine xvfb xauth cmake make g++ googletest imagemagick python3 x11-utils mount
          openssl ca-certificates nsis
          tcl dpkg-dev xz-utils debian-archive-keyring chromium firefox-esr)

install_packages() { install_these "${PACKAGES[@]}"; }

# Installs those of the named Debian packages that are missing.
install_these() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Creates the build tree's Wine prefix once (64-bit, no Mono or Gecko prompts).
make_prefix() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the Wine prefix in $WINEPREFIX"
    mkdir -p "$BUILD_DIR"
    "$WINE" wineboot -i >/dev/null 2>&1 || true
    wineserver -w
  fi
}

# One wineserver for a whole session of many programs: each then starts in milliseconds. Its
# output goes nowhere, and Wine's own background processes (services, device manager), which
# start with the first program and outlive it, are started here too, away from any output pipe
# a caller reads to its end. Windows are drawn by Wine itself (see window_manager).
start_wine_session() {
  wineserver -p >/dev/null 2>&1
  "$WINE" cmd /c exit >/dev/null 2>&1 </dev/null || true
  window_manager N
}

# Whether the X window manager frames the prefix's windows (Y) or Wine draws them itself (N).
# Without a window manager (a virtual display) Wine would wait seconds for one at every hide and
# close of a managed window, so tests run unmanaged; a desktop gets ordinary managed windows.
window_manager() {
  "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d "$1" /f >/dev/null 2>&1 </dev/null || true
}

# build [ARCH]: the 64-bit set into $BUILD_DIR (the one that runs here), or another
# architecture's set (i686) into a build tree of its own, build-i686.
build() {
  local arch=${1:-x86_64} dir=$BUILD_DIR
  [ "$arch" != x86_64 ] && dir=$here/build-$arch
  cmake -S "$here" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw.cmake" -DQR_ARCH="$arch" >/dev/null
  cmake --build "$dir" -j"$(nproc)"
}

# Runs "$@" with an X display: the one at hand, or a virtual one.
with_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    "$@"
  else
    xvfb-run -a -s "-screen 0 1024x768x24" "$@"
  fi
}
