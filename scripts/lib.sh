# SPDX-FileCopyrightText: 2026 Korvex developers
# SPDX-License-Identifier: GPL-3.0-or-later
# shellcheck shell=bash
# What the scripts share, sourced first by each: strict mode, the repository's root as the
# working directory, installing Debian packages, and a Release build.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

# apt_install PACKAGE...: installs them, as root or through sudo, without questions; a
# configuration file changed on this machine is kept as it is.
apt_install() {
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
  fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
    -o Dpkg::Options::=--force-confdef -o Dpkg::Options::=--force-confold "$@"
}

# install_missing WHO PACKAGE...: installs those of the packages that are not installed yet,
# saying so in WHO's name; does nothing when all are there.
install_missing() {
  local who=$1 p
  local missing=()
  shift
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$p")
    fi
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "$who: installing ${missing[*]}"
    apt_install "${missing[@]}"
  fi
}

# release_build DIR TARGET [CMAKE OPTION...]: configures a Release build without the tests in
# DIR and builds TARGET there ("all" for everything).
release_build() {
  local dir=$1 target=$2
  shift 2
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF "$@" >/dev/null
  cmake --build "$dir" -j "$(nproc)" --target "$target"
}
