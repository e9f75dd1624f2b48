#!/bin/sh
# Tells whether this host can run 32-bit Windows programs under Wine.
#   win32-host.sh          exit 0 when it can: the host executes an i386 ELF
#                          program (natively or through a binfmt_misc handler
#                          such as qemu-i386-static) and Wine's 32-bit loader
#                          is installed; exit 1 otherwise
#   win32-host.sh i386     exit 0 when the host executes an i386 ELF program
#   win32-host.sh how      prints "native", "emulated" or "none"
# The test runs a 96-byte static i386 program whose only work is exit(42),
# so it needs nothing installed and cannot be fooled by a missing library.
probe_i386() {
  dir=$(mktemp -d "${TMPDIR:-/tmp}/kivra-i386.XXXXXX") || return 1
  echo 'f0VMRgEBAQAAAAAAAAAAAAIAAwABAAAAVIAECDQAAAAAAAAAAAAAADQAIAABAAAAAAAAAAEAAAAAAAAAAIAECACABAhgAAAAYAAAAAUAAAAAEAAAuAEAAAC7KgAAAM2A' |
    base64 -d >"$dir/exit42" 2>/dev/null
  chmod +x "$dir/exit42"
  "$dir/exit42" 2>/dev/null
  code=$?
  rm -rf "$dir"
  [ $code -eq 42 ]
}

# An enabled binfmt_misc handler for i386 ELF executables (magic of the ELF
# header with machine 3), whatever its name.
i386_handler() {
  for entry in /proc/sys/fs/binfmt_misc/*; do
    case "$entry" in */register|*/status) continue ;; esac
    [ -f "$entry" ] || continue
    grep -qx enabled "$entry" 2>/dev/null || continue
    grep -q '^magic 7f454c460101010000000000000000000200030' "$entry" 2>/dev/null && { echo "$entry"; return 0; }
  done
  return 1
}

case "${1:-wine}" in
  i386) probe_i386 ;;
  handler) i386_handler >/dev/null ;;
  how)
    if ! probe_i386; then echo none
    elif i386_handler >/dev/null; then echo emulated
    else echo native
    fi ;;
  wine) probe_i386 && [ -x /usr/lib/wine/wine ] ;;
  *) echo "usage: win32-host.sh [wine|i386|handler|how]" >&2; exit 2 ;;
esac
