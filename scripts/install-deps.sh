#!/usr/bin/env bash
# Installs the Debian packages listed in debian-packages.txt that are missing.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
mapfile -t wanted < <(sed -e 's/#.*//' -e '/^[[:space:]]*$/d' "$here/debian-packages.txt")
missing=()
for pkg in "${wanted[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$pkg")
done
if ((${#missing[@]} == 0)); then
    exit 0
fi
sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then
    if ! command -v sudo >/dev/null 2>&1; then
        echo "Missing Debian packages: ${missing[*]}" >&2
        echo "sudo is not installed and this script is not running as root." >&2
        echo "Run it as root (su -c '$0'), or install them yourself:" >&2
        echo "  apt-get install --no-install-recommends ${missing[*]}" >&2
        exit 1
    fi
    sudo_cmd=(sudo)
fi
echo "Installing missing Debian packages: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update
"${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
