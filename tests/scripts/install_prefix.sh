#!/bin/sh
# cmake --install of a native build into a temporary prefix, and the installed
# kivra-dump run as a user would:
#   install_prefix.sh CMAKE BUILD_DIR SAMPLE VERSION
# kivra-dump must land in bin/ and atom.def in share/kivra/ (none beside the
# program); the installed kivra-dump must show the descriptions of
# share/kivra/atom.def, also when started through a symbolic link from
# elsewhere; an atom.def beside it wins over that one; with neither it shows
# the atoms alone.
set -u
cmake="$1"; build="$2"; sample="$3"; version="$4"
work=$(mktemp -d "${TMPDIR:-/tmp}/kivra_install.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { printf "install_prefix: %s\n" "$*" >&2; exit 1; }
prefix="$work/prefix"

"$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
  fail "cmake --install failed: $(cat "$work/install.log")"
dump="$prefix/bin/kivra-dump"
[ -x "$dump" ] || fail "no executable bin/kivra-dump under the prefix"
[ -f "$prefix/share/kivra/atom.def" ] || fail "no share/kivra/atom.def under the prefix"
[ -e "$prefix/bin/atom.def" ] && fail "atom.def was installed beside kivra-dump in bin/"

[ "$("$dump" --version)" = "kivra-dump $version" ] ||
  fail "--version printed '$("$dump" --version)', not 'kivra-dump $version'"

# Descriptions from share/kivra/atom.def: the sample's moov gets its section.
"$dump" "$sample" >"$work/out.txt" 2>"$work/err.txt" || fail "kivra-dump failed: $(cat "$work/err.txt")"
grep -q '^  moov (+0x00000020:' "$work/out.txt" || fail "no moov atom in the output"
grep -q '^    \[moov\] Movie Box$' "$work/out.txt" || fail "no description of moov: share/kivra/atom.def not found"

# Through a symbolic link, as from a directory on PATH.
mkdir "$work/elsewhere"
ln -s "$dump" "$work/elsewhere/kivra-dump"
"$work/elsewhere/kivra-dump" "$sample" >"$work/linked.txt" || fail "kivra-dump through a link failed"
cmp -s "$work/out.txt" "$work/linked.txt" || fail "through a link the output differs"

# An atom.def beside the program comes first.
printf '[moov] Beside the program\n\n' >"$prefix/bin/atom.def"
"$dump" "$sample" >"$work/beside.txt" || fail "kivra-dump failed with atom.def beside it"
grep -q '^    \[moov\] Beside the program$' "$work/beside.txt" || fail "atom.def beside kivra-dump was not read"
grep -q 'Movie Box' "$work/beside.txt" && fail "share/kivra/atom.def was read although one lies beside kivra-dump"

# Neither: the atoms alone, exit code 0.
rm "$prefix/bin/atom.def" "$prefix/share/kivra/atom.def"
"$dump" "$sample" >"$work/none.txt" || fail "kivra-dump failed without any atom.def"
grep -q '^  moov (+0x00000020:' "$work/none.txt" || fail "no moov atom without atom.def"
grep -q '\[moov\]' "$work/none.txt" && fail "descriptions shown without any atom.def"
echo "install_prefix: passed ($(wc -l <"$work/out.txt") lines for the sample)"
