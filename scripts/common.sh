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
# and made into its amalgamation with tcl and dpkg-dev; LevelDB's is patched with patch; chromium and firefox-esr make the browser
# profiles the tests clean; util-linux's taskset pins the benchmarks to one processor, and procps's
# pgrep finds the wineservers to pin (procps is not in a minimal Debian).
# No i386 architecture and no 32-bit Wine: only the 64-bit set runs here; the 32-bit one is cross-built.
PACKAGES=(mingw-w64 mingw-w64-tools g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine wine64
          libwine-dev fonts-wine xvfb xauth cmake make g++ googletest imagemagick python3 x11-utils mount
          openssl ca-certificates nsis util-linux procps
          tcl dpkg-dev patch xz-utils debian-archive-keyring chromium firefox-esr)

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
  # Wine draws the caption buttons (minimize, maximize, close) with its Marlett font. Debian ships
  # it (fonts-wine) where Wine's loader, called directly, does not look, and the buttons then show
  # the letters "0 1 r"; the prefix's own Fonts folder is always searched.
  local fonts="$WINEPREFIX/drive_c/windows/Fonts"
  if [ -f /usr/share/wine/fonts/marlett.ttf ] && [ ! -f "$fonts/marlett.ttf" ]; then
    mkdir -p "$fonts" && cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
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

# The benchmarks measure the programs they compare at the same time, one in each of two prefixes
# (scripts/alternate --together gives each its place, ALT_SLOT), with both wineservers and every
# measured program on one processor, the last this script may use (on_bench_cpu):
#  - under Wine nearly every cache or file call is a round trip to the wineserver, and on a
#    virtual machine a round trip from one processor to the other waits for the host to wake the
#    other side: the same 6,600 cache calls took 10.0 to 11.7 s across two processors and 3.16 to
#    3.35 s on one;
#  - this machine's own speed swings by a third from one second to the next (a fixed loop of
#    Python took 1.03 to 1.39 s, with no steal); programs that share one processor at the same
#    time share those swings, and their processor times compare within a fraction of a percent.
# Place 0 is the main prefix; place K another, $BUILD_DIR/wine-benchK.
bench_prefix() { if [ "$1" = 0 ]; then echo "$BUILD_DIR/wine"; else echo "$BUILD_DIR/wine-bench$1"; fi; }
# bench_sessions N: makes the prefixes of N places if need be, starts a session in each and pins
# their servers. Exports BENCH_PLACES, BENCH_CPU and BENCH_SERVER_PID_0 to _N-1 (each place's
# server, whose processor time counts with the measured program).
bench_sessions() {
  local slot dir pid allowed prefix found
  allowed=$(sed -n 's/^Cpus_allowed_list:[[:space:]]*//p' /proc/self/status)
  export BENCH_PLACES=$1 BENCH_CPU=${allowed##*[-,]} BENCH_ALL_CPUS=$allowed
  for ((slot = 0; slot < $1; slot++)); do
    prefix=$(bench_prefix "$slot")
    (
      export WINEPREFIX=$prefix
      make_prefix
      start_wine_session || true  # its server may be running already
    )
    dir=$(printf 'server-%x-%x' $(stat -c '%d %i' "$prefix"))
    for pid in $(pgrep -x wineserver64 || true) $(pgrep -x wineserver || true); do
      if [ "$(basename "$(readlink "/proc/$pid/cwd" 2>/dev/null)")" = "$dir" ]; then
        taskset -a -p -c "$BENCH_CPU" "$pid" >/dev/null
        export "BENCH_SERVER_PID_$slot=$pid"
      fi
    done
    found=BENCH_SERVER_PID_$slot
    [ -n "${!found:-}" ] || echo "(the wineserver of $prefix was not found:" \
      "it is not pinned, and processor time there is the measured process's alone)"
  done
}
# end_bench_sessions: the main prefix's server gets every processor back; the others end.
end_bench_sessions() {
  [ -z "${BENCH_SERVER_PID_0:-}" ] || taskset -a -p -c "$BENCH_ALL_CPUS" "$BENCH_SERVER_PID_0" >/dev/null 2>&1 || true
  local slot
  for ((slot = 1; slot < ${BENCH_PLACES:-0}; slot++)); do
    WINEPREFIX=$(bench_prefix "$slot") wineserver -k >/dev/null 2>&1 || true
  done
}
# bench_place: WINEPREFIX and BENCH_SERVER_PID of this measurement's place (ALT_SLOT, 0 alone).
bench_place() {
  local pid=BENCH_SERVER_PID_${ALT_SLOT:-0}
  WINEPREFIX=$(bench_prefix "${ALT_SLOT:-0}") BENCH_SERVER_PID=${!pid:-}
  export WINEPREFIX BENCH_SERVER_PID
}
# in_memory SRC DEST RAM: DEST holds a plain copy of SRC. The profile copies used to live in memory
# (RAM, under /dev/shm) behind a link, so that a disk shared with other work did not set the pace;
# the browser module now refuses to empty a cache whose path passes through a link, and a bind
# mount there was refused the same way under Wine, so the copy lies on the prefix's disk. The
# programs compared run at the same time and meet the same disk. RAM is left unused.
in_memory() {
  out_of_memory "$2"
  mkdir -p "$(dirname "$2")"
  cp -a "$1" "$2"
}
# bench_places_out_of_memory FOLDER: out_of_memory for FOLDER (relative to the user's local
# application data) in the prefix of every place.
bench_places_out_of_memory() {
  local slot
  for ((slot = 0; slot < ${BENCH_PLACES:-1}; slot++)); do
    out_of_memory "$(echo "$(bench_prefix "$slot")"/drive_c/users/*/AppData/Local)/$1"
  done
}
out_of_memory() {
  if mountpoint -q "$1" 2>/dev/null; then umount "$1" 2>/dev/null || umount -l "$1"; fi
  rm -rf "${1:?}"
}

on_bench_cpu() {
  if [ -n "${BENCH_CPU:-}" ]; then taskset -c "$BENCH_CPU" "$@"; else "$@"; fi
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
