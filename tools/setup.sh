#!/bin/sh
# Installs what kivra's build, tests and tools need on Debian 12, as root.
# Packages already present are skipped; apt-get runs only when one is missing.
set -e
need=""
want="cmake g++ make pkg-config googletest libgtest-dev libbenchmark-dev
      g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 wine32:i386
      xvfb xdotool x11-apps imagemagick ffmpeg clang libclang-rt-14-dev valgrind"
for p in $want; do
  dpkg -s "$p" >/dev/null 2>&1 || need="$need $p"
done
[ -z "$need" ] && exit 0
echo "setup: installing$need" >&2
case "$need" in
  *:i386*) dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386 ;;
esac
export DEBIAN_FRONTEND=noninteractive
apt-get update -q >&2
apt-get install -y -q --no-install-recommends $need >&2
