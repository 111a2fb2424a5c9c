#!/usr/bin/env bash
# Sets up, builds and runs Vesperon.
#   ./vesperon.sh run [FILE...]   build, then run the main job (on a synthesised
#                                 demo recording when no file is given): the
#                                 desktop program when a display is available,
#                                 else a description and spectrogram pictures
#   ./vesperon.sh test            build, then run every test
#   ./vesperon.sh package         build, then write the Debian package
#                                 build/vesperon_<version>_<arch>.deb
# Missing Debian packages are installed with apt-get when run as root or with sudo.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="${VES_BUILD_DIR:-$here/build}"
jobs="$(nproc 2>/dev/null || echo 2)"

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-svg-dev libgl-dev
  portaudio19-dev libasound2-dev
  libavformat-dev libavcodec-dev libswresample-dev libavutil-dev libsqlite3-dev
  libeigen3-dev libgtest-dev libgmock-dev libbenchmark-dev
  # independent readers and tools the tests use
  libsndfile1-dev sox ffmpeg xvfb xauth locales poppler-utils
  # the Python package (pybind11 module, numpy and pandas tables, Dask runs) and its tests
  pybind11-dev python3-dev python3-numpy python3-pandas python3-distributed python3-dask python3-pytest
  # gradient-boosted trees of the species classifiers (engine/classify)
  libxgboost-dev
  # the Debian package: dependencies computed from the binaries, its checks, completion
  dpkg-dev fakeroot lintian bash-completion
)

say() { printf '\033[1m==> %s\033[0m\n' "$*" >&2; }

ensure_packages() {
  local missing=() p
  command -v dpkg-query >/dev/null 2>&1 || { say "not a Debian system: skipping package check"; return 0; }
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then sudo=(sudo); else
      say "missing packages: ${missing[*]}"
      say "install them as root: apt-get install ${missing[*]}"
      exit 1
    fi
  fi
  say "installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -q
  "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
}

configure() {
  if [ ! -f "$build/CMakeCache.txt" ]; then
    say "configuring in $build"
    cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVES_WERROR=ON
  fi
}

# Builds the targets named, or everything.
configure_and_build() {
  configure
  say "building${*:+ $*}"
  cmake --build "$build" -j "$jobs" ${*:+--target "$@"}
}

# What running needs: the program (where it is built) and the CLI with the
# guide, not the tests.
run_targets() {
  local targets=(vesperon-cli)
  if grep -q '^VES_BUILD_APP:BOOL=ON' "$build/CMakeCache.txt" 2>/dev/null; then
    targets+=(vesperon vesperon_guide)
  fi
  echo "${targets[@]}"
}

main_job() {
  local files=("$@")
  if [ ${#files[@]} -eq 0 ]; then
    mkdir -p "$build/demo"
    files=("$build/demo/vesperon-demo.wav")
    say "synthesising the demo recording ${files[0]}"
    "$build/cli/vesperon-cli" demo "${files[0]}"
  fi
  if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x "$build/app/vesperon" ]; then
    say "starting vesperon"
    exec "$build/app/vesperon" "${files[@]}"
  fi
  "$build/cli/vesperon-cli" info "${files[@]}"
  if "$build/cli/vesperon-cli" --help | grep -q spectrogram; then
    mkdir -p "$build/pictures"
    "$build/cli/vesperon-cli" spectrogram --panes comb "${files[@]}" -o "$build/pictures/" &&
      say "spectrogram pictures in $build/pictures"
  fi
}

verb="${1:-}"
[ $# -gt 0 ] && shift
case "$verb" in
  run)
    ensure_packages
    configure
    # shellcheck disable=SC2046
    configure_and_build $(run_targets)
    main_job "$@"
    ;;
  package)
    ensure_packages
    configure
    # Installed below /usr, the Python package goes where Debian's interpreter looks.
    cmake "$build" -DVES_PYTHON_INSTALL_DIR:STRING=lib/python3/dist-packages >/dev/null
    configure_and_build
    say "packaging"
    (cd "$build" && cpack -G DEB -B "$build/package" >/dev/null)
    deb="$(ls -t "$build"/package/vesperon_*.deb | head -1)"
    mv -f "$deb" "$build/"
    say "wrote $build/$(basename "$deb")"
    ;;
  test)
    ensure_packages
    configure_and_build
    say "testing"
    ctest --test-dir "$build" --output-on-failure -j "$jobs"
    ;;
  *)
    echo "usage: $0 run [FILE...] | test | package" >&2
    exit 2
    ;;
esac
