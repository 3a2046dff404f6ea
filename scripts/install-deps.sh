#!/usr/bin/env bash
# Installs what building and testing Flintly needs on Debian 12, and nothing when it
# is all there already (so `make run` / `make test` stay fast on a prepared machine).
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build ccache pkg-config git clang-format
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-webengine-dev-tools
  qt6-webchannel-dev qt6-svg-dev qt6-tools-dev libgl-dev libegl-dev libxkbcommon-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libsqlite3-dev sqlite3 zlib1g-dev libcurl4-openssl-dev nlohmann-json3-dev libcpp-httplib-dev
  libglib2.0-dev libglib2.0-bin
  libxcb1-dev libxcb-xtest0-dev libxcb-keysyms1-dev libxcb-shape0-dev libxcb-xfixes0-dev libx11-dev libx11-xcb-dev libxtst-dev
  xvfb xauth xdotool x11-utils x11-xserver-utils openbox xcompmgr
  chromium fonts-noto-cjk python3 ripgrep
  # the desktop portal's tests: a private session bus, and a headless KDE Plasma desktop
  # (../shared/tools/kde-portal/run.sh) for the end-to-end one
  dbus kwin-wayland xwayland xdg-desktop-portal xdg-desktop-portal-kde libkf5globalaccel-bin
  qtwayland5 libwayland-dev plasma-wayland-protocols gcc
  # the Debian package and the checks of what it holds
  dpkg-dev file appstream desktop-file-utils librsvg2-bin
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
# Node.js may come from Debian or from another vendor's package; only the commands matter.
command -v node >/dev/null 2>&1 || missing+=(nodejs)
command -v npm >/dev/null 2>&1 || missing+=(npm)

if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# npm packages of the editor page (and its browser tests); skipped when the lock file
# has not changed since the last install.
root="$(cd "$(dirname "$0")/.." && pwd)"
for dir in "$root/web/editor" "$root/resources/fonts"; do
  [ -f "$dir/package.json" ] || continue
  stamp="$dir/node_modules/.flintly-stamp"
  want="$(cat "$dir/package.json" "$dir/package-lock.json" 2>/dev/null | sha256sum | cut -d' ' -f1)"
  if [ ! -f "$stamp" ] || [ "$(cat "$stamp")" != "$want" ]; then
    echo "install-deps: npm ci in ${dir#$root/}"
    (cd "$dir" && if [ -f package-lock.json ]; then npm ci --no-audit --no-fund; else npm install --no-audit --no-fund; fi)
    echo "$want" > "$stamp"
  fi
done
