#!/usr/bin/env bash
# Installs what the readers suite needs: LibreOffice (RTF), Chromium (HTML),
# the DejaVu fonts, and the suite's npm packages (playwright-core, which
# drives the Debian Chromium: it downloads no browser). Run as root, from
# anywhere; what is there already is kept.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ "$(id -u)" -ne 0 ]; then
  echo "install.sh: run it as root (it uses apt-get)" >&2
  exit 1
fi
packages=()
command -v soffice >/dev/null || packages+=(libreoffice-writer-nogui)
[ -x /usr/bin/chromium ] || packages+=(chromium)
[ -f /usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf ] || packages+=(fonts-dejavu-core)
command -v node >/dev/null || packages+=(nodejs)
if [ ${#packages[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y "${packages[@]}"
fi
command -v npm >/dev/null || { echo "install.sh: npm is missing (Node.js 20 or newer with npm is needed)" >&2; exit 1; }
cd "$here"
PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund
