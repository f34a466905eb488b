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
command -v npm >/dev/null || packages+=(npm)
if [ ${#packages[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y "${packages[@]}"
fi
cd "$here"
export PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1
if [ "$(node -p 'process.versions.node.split(".")[0]')" -ge 20 ]; then
  npm ci --no-audit --no-fund
else
  # Debian 12 ships Node.js 18: the last playwright-core that runs on it.
  npm install --no-save --no-package-lock --no-audit --no-fund playwright-core@1.61.1
fi
