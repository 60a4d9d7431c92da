#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is
# missing, and generates the de_DE.UTF-8 locale the locale tests use. This is
# the project's one package list: .ci/run installs through it too.
#
#   bash scripts/install-deps.sh        what building and testing need
#   bash scripts/install-deps.sh --ci   that and the CI-only packages (the
#                                       fuzzing toolchain)
#
# Packages are installed without their recommendations, so whatever a tool
# needs at run time and only recommends is listed here by name.
set -euo pipefail

ci=0
for arg in "$@"; do
  case "$arg" in
    --ci) ci=1 ;;
    *)
      echo "usage: bash scripts/install-deps.sh [--ci]" >&2
      exit 2
      ;;
  esac
done

packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev libcli11-dev libcairo2-dev
  liblxi-dev libtirpc-dev rpcsvc-proto rpcbind
  libpng-dev libjpeg-dev libtiff-dev libgif-dev
  imagemagick libwmf-bin emf2svg
  # libwmf's converters load these fonts; libwmf only recommends them.
  fonts-urw-base35
  pybind11-dev python3-dev python3-numpy python3-pytest
  libreoffice-calc-nogui python3-uno libreoffice-script-provider-python
  locales
  # The Qt user interface; its tests run under a virtual X display, and
  # one CJK font renders the Japanese, Korean and Chinese texts.
  qt6-base-dev xvfb xauth fonts-wqy-microhei
  # What Qt's X11 platform plugin loads at run time, named rather than left
  # to the dependency chain.
  qt6-qpa-plugins libxkbcommon-x11-0 libxcb-cursor0
  # bench/compare-pyvisa's reference: PyVISA-py against the same simulator.
  python3-pyvisa python3-pyvisa-py
)

# Continuous integration also runs the fuzzers (clang's libFuzzer).
if [ "$ci" -eq 1 ]; then
  packages+=(clang libclang-rt-14-dev)
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#packages[@]} packages are installed"
else
  echo "installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update
  # Through env, so that sudo's environment reset keeps the setting.
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y --no-install-recommends "${missing[@]}"
fi

if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  echo "generating the de_DE.UTF-8 locale"
  "${sudo_cmd[@]}" localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
