#!/usr/bin/env bash
# Installs what building and testing need on a Debian 12 machine, and any
# further packages named on its command line (a benchmark's standard tools).
# Quick when everything is already there: it only calls apt when a command,
# package or locale is missing.
set -euo pipefail

need_root() {
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then sudo "$@"; else
      echo "setup-deps: run as root (or install sudo) to install: $*" >&2; exit 1; fi
  else "$@"; fi
}

packages=(
  cmake ninja-build make g++ clang
  g++-mingw-w64-i686 mingw-w64-tools binutils-mingw-w64-i686
  wine wine32:i386 xvfb xauth x11-apps imagemagick
  # Wine's BCrypt makes and checks ECDSA signatures (and WinHTTP speaks TLS)
  # through GnuTLS, which wine32 only recommends.
  libgnutls30:i386
  locales fonts-wqy-zenhei
  # openssl: the tests check signed releases against OpenSSL's command line
  # and make a certificate authority of their own for HTTPS; tinyproxy is the
  # user's proxy of the proxy scenario.
  googletest libssl-dev openssl zlib1g-dev libz-mingw-w64-dev python3 python3-pil nginx-light curl
  tinyproxy-bin
  "$@"
)

# npm: a test packs two releases of a real Windows program from the npm
# registry. Any npm will do (the nodejs of nodesource brings its own).
command -v npm >/dev/null 2>&1 || packages+=(npm)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup-deps: installing ${missing[*]}" >&2
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    need_root dpkg --add-architecture i386
  fi
  need_root apt-get update -qq
  need_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf8$'; then
  echo "setup-deps: generating zh_CN.UTF-8" >&2
  need_root sed -i 's/^# *\(zh_CN.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' | need_root tee -a /etc/locale.gen >/dev/null
  need_root locale-gen >/dev/null
fi
