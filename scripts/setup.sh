#!/usr/bin/env bash
# Installs the Debian packages Kvaren needs (only the missing ones, with sudo
# when not root) and builds it into build/.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  cmake g++ make
  qt6-base-dev qt6-charts-dev libqt6opengl6-dev libqt6sql6-ibase libqt6svg6 qt6-translations-l10n
  firebird3.0-server-core libfbclient2 firebird3.0-utils firebird-dev firebird3.0-server
  libgtest-dev libbenchmark-dev libssl-dev libcap-dev libacl1-dev
  libcap2-bin acl attr e2fsprogs
  xvfb xauth x11-apps imagemagick fonts-dejavu-core
  man-db groff-base bash-completion desktop-file-utils dpkg-dev file gzip
  lintian systemd
  libapt-pkg-dev gpgv gpg
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
  # The server package starts and enables a system Firebird service. The tests
  # start a server of their own, and a system one would only hold port 3050 and
  # lock files under /tmp/firebird, so it is stopped and kept from starting.
  if [[ " ${missing[*]} " == *" firebird3.0-server "* ]]; then
    if [ -d /run/systemd/system ]; then
      "${sudo[@]}" systemctl disable --now firebird3.0.service || true
    else
      "${sudo[@]}" service firebird3.0 stop || true
      "${sudo[@]}" update-rc.d firebird3.0 disable || true
    fi
  fi
fi

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2
