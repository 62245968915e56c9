#!/usr/bin/env bash
# Installs, with apt, the Debian packages that Brevoxa needs and that are
# missing. Safe to run again: it installs nothing when all are present.
set -euo pipefail

packages=(g++ cmake make pkg-config qt6-base-dev libgraphicsmagick++1-dev
          libjpeg62-turbo-dev libgtest-dev libgmock-dev libbenchmark-dev)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo > /dev/null || { echo "Please run as root or install: ${missing[*]}" >&2; exit 1; }
  sudo=sudo
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
