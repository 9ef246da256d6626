#!/usr/bin/env bash
# Installs everything the project needs on a fresh Debian 12 machine. Run as root.
# Safe to run again: it only installs what is missing, quietly.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang clang-format libclang-rt-14-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  googletest libgtest-dev libbenchmark-dev liblz4-dev zlib1g-dev
  wine wine64 xvfb xauth x11-apps xdotool imagemagick
  fonts-ipafont-gothic fonts-wine locales
  python3 python3-matplotlib
  time strace
)

# Wine runs here as 64-bit Wine only. Machines of this kind run under a hypervisor
# that cannot execute 32-bit x86 code at all (neither Linux ELF32 nor 32-bit code
# inside a 64-bit process), so wine32 could never start. The shipped updater is
# the i686 build; the same sources are built for x86_64 to run the tests under Wine.
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]} > 0)); then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The Wine runner asks for a Japanese locale so that Windows programs see code page 932.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf8$'; then
  sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/; s/^# *\(en_US.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >>/etc/locale.gen
  grep -q '^en_US.UTF-8 UTF-8' /etc/locale.gen || echo 'en_US.UTF-8 UTF-8' >>/etc/locale.gen
  locale-gen >/dev/null
fi
