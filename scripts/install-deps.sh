#!/usr/bin/env bash
# Installs the Debian packages listed in scripts/packages.txt that are missing.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
missing=()
while read -r package; do
  [ -n "$package" ] || continue
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done < "$here/packages.txt"
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi
