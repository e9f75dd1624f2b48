#!/bin/sh
# Installs what kivra's build, tests and tools need on Debian 12, as root.
# Packages already present are skipped; apt-get runs only when one is missing.
# Besides the toolchains, Wine and the display, the tests need the MP4 writers
# that tests/atomdef_coverage.sh runs (ffmpeg, GStreamer with its plugins,
# heif-enc, avifenc, AtomicParsley, exiftool), and unzip for the release zip's test.
# On a host that cannot execute 32-bit (i386) programs it also installs
# qemu-user-static (from bookworm-backports: see below) and registers it with
# binfmt_misc as the interpreter of i386 ELF executables, so that Wine runs
# the 32-bit kivra.exe; a host that runs them natively, or already has such a
# handler, is left as it is.
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
need=""
want="cmake ninja-build g++ make pkg-config googletest libgtest-dev libbenchmark-dev
      g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 wine32:i386
      xvfb x11-utils xdotool x11-apps imagemagick ffmpeg clang clang-format libclang-rt-14-dev
      valgrind python3 unzip
      gstreamer1.0-tools gstreamer1.0-plugins-base gstreamer1.0-plugins-good
      gstreamer1.0-plugins-bad gstreamer1.0-plugins-ugly gstreamer1.0-libav
      libheif-examples libavif-bin atomicparsley libimage-exiftool-perl"
i386=yes
sh "$here/tools/win32-host.sh" i386 || i386=no
for p in $want; do
  dpkg -s "$p" >/dev/null 2>&1 || need="$need $p"
done
# node and npm for mp4box.js: the host's own where it has them (a nodejs
# package that bundles npm, as NodeSource's does, conflicts with Debian's npm).
command -v node >/dev/null 2>&1 || need="$need nodejs"
command -v npm >/dev/null 2>&1 || need="$need npm"

if [ -n "$need" ]; then
  echo "setup: installing$need" >&2
  case "$need" in
    *:i386*) dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386 ;;
  esac
  export DEBIAN_FRONTEND=noninteractive
  # Another apt-get or dpkg may hold the lock for a while: wait for it.
  lock="-o DPkg::Lock::Timeout=900"
  apt-get $lock update -q >&2
  apt-get $lock install -y -q --no-install-recommends $need >&2
fi

# mp4box.js, the peer of the box fields' differential test.
sh "$here/tools/install-mp4box.sh" || echo "setup: mp4box.js not installed" >&2

[ $i386 = yes ] && exit 0

# Debian 12's own qemu-user-static (7.2) runs i386 programs, but not 32-bit
# Wine: it does not honour MAP_FIXED_NOREPLACE, so Wine's address space
# reservations land elsewhere and every 32-bit Wine process fails ("failed to
# map the shared user data"). qemu-user 10 from bookworm-backports does.
qemu_major() { "$1" --version 2>/dev/null | sed -n 's/^qemu-i386 version \([0-9]*\).*/\1/p' | head -n 1; }
qemu=/usr/bin/qemu-i386-static
major=$(qemu_major "$qemu")
if [ "${major:-0}" -lt 8 ] && [ "$(id -u)" = 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  lock="-o DPkg::Lock::Timeout=900"
  if ! apt-cache policy 2>/dev/null | grep -q 'bookworm-backports'; then
    echo "deb http://deb.debian.org/debian bookworm-backports main" \
      >/etc/apt/sources.list.d/kivra-bookworm-backports.list
  fi
  echo "setup: installing qemu-user-static from bookworm-backports (for 32-bit Wine)" >&2
  apt-get $lock update -q >&2 || true
  apt-get $lock install -y -q --no-install-recommends -t bookworm-backports qemu-user-static >&2 ||
    echo "setup: qemu-user-static from bookworm-backports could not be installed" >&2
fi
# The package may have registered its handlers itself (binfmt-support or
# systemd-binfmt); then there is nothing left to do.
sh "$here/tools/win32-host.sh" i386 && exit 0
say() { echo "setup: this host cannot run 32-bit programs and $*; the 32-bit Windows tests will not run" >&2; }
if [ "$(id -u)" != 0 ]; then say "setup is not root, so it cannot register qemu-i386-static"; exit 0; fi
[ -x "$qemu" ] || { say "$qemu is missing"; exit 0; }
misc=/proc/sys/fs/binfmt_misc
if [ ! -e "$misc/register" ]; then
  mount -t binfmt_misc binfmt_misc "$misc" 2>/dev/null || { say "binfmt_misc cannot be mounted at $misc"; exit 0; }
fi
if sh "$here/tools/win32-host.sh" handler; then
  say "its binfmt_misc handler for i386 executables does not work"; exit 0
fi
# The header of an i386 ELF executable (class 32-bit, little-endian, type
# EXEC or DYN, machine 3), the bits that must match, and the F flag: the
# interpreter is opened now, so it also works inside chroots and prefixes.
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
name=qemu-i386
[ -e "$misc/$name" ] && name=kivra-qemu-i386
if ! printf '%s\n' ":$name:M::$magic:$mask:$qemu:F" >"$misc/register" 2>/dev/null; then
  say "registering $qemu with binfmt_misc failed"; exit 0
fi
if sh "$here/tools/win32-host.sh" i386; then
  echo "setup: registered $qemu for i386 programs ($misc/$name)" >&2
else
  say "the handler registered as $misc/$name does not start them"
fi
