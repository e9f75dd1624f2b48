#!/bin/sh
# The release zip as a Windows user meets it (needs an X display and unzip):
#   release_zip.sh ZIP VERSION PROBE_EXE SAMPLE_FILE
# Unzips it into a fresh folder and checks what lies there: exactly kivra.exe,
# atom.def, kivra-dump.exe, README.txt and LICENSE.txt at the top, the two
# texts with CR LF line ends. Then runs what a user would, from that folder
# under Wine: kivra-dump.exe on the sample, which must show descriptions
# (atom.def found beside it) and print the version, and the end-to-end run of
# kivra.exe (tests/scripts/app_e2e.sh) on the unzipped programs.
set -u
zip="$1"; version="$2"; probe="$3"; sample="$4"
here=$(cd "$(dirname "$0")/../.." && pwd)
wine_run="$here/tools/wine-run.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/kivra_release.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { printf "release_zip: %s\n" "$*" >&2; exit 1; }
winpath() { printf 'Z:%s' "$(printf '%s' "$1" | tr / '\\')"; }
cr=$(printf '\r')

command -v unzip >/dev/null || fail "unzip is not installed (tools/setup.sh installs it)"
[ -f "$zip" ] || fail "no zip $zip: build the package target"
case "$(basename "$zip")" in
  "kivra-$version-win32.zip") ;;
  *) fail "the zip is named $(basename "$zip"), not kivra-$version-win32.zip" ;;
esac
folder="$work/kivra-$version-win32"
mkdir "$folder"
unzip -q "$zip" -d "$folder" || fail "unzip failed on $zip"

listing=$(cd "$folder" && find . ! -name . | sort | tr '\n' ' ')
[ "$listing" = "./LICENSE.txt ./README.txt ./atom.def ./kivra-dump.exe ./kivra.exe " ] ||
  fail "the zip holds: $listing"
cmp -s "$folder/atom.def" "$here/atom.def" || fail "atom.def differs from the repository's"
for text in README.txt LICENSE.txt; do
  lines=$(wc -l <"$folder/$text")
  crlf=$(grep -c "$cr\$" "$folder/$text")
  [ "$lines" -gt 10 ] && [ "$crlf" = "$lines" ] ||
    fail "$text: $crlf of $lines lines end in CR LF"
done
tr -d '\r' <"$folder/LICENSE.txt" | cmp -s - "$here/LICENSE" || fail "LICENSE.txt is not the LICENSE"
readme=$(tr -d '\r' <"$folder/README.txt")
for wanted in "kivra-dump" "The definition file, atom.def" "Limits"; do
  printf '%s\n' "$readme" | grep -qx "$wanted" || fail "README.txt has no section $wanted"
done
printf '%s\n' "$readme" | grep -q '```\|^!\[\|^#\|^## \|^|---\|Tests and benchmarks' &&
  fail "README.txt holds Markdown or the build and test sections"

# kivra-dump.exe from the unzipped folder, with nothing but the zip's files.
cd "$folder" || fail "cannot enter $folder"
sh "$wine_run" "$folder/kivra-dump.exe" --version >"$work/version.txt" 2>&1 ||
  fail "kivra-dump.exe --version failed: $(cat "$work/version.txt")"
[ "$(tr -d '\r' <"$work/version.txt")" = "kivra-dump $version" ] ||
  fail "kivra-dump.exe --version printed '$(cat "$work/version.txt")'"
sh "$wine_run" "$folder/kivra-dump.exe" "$(winpath "$sample")" >"$work/dump.txt" 2>"$work/err.txt" ||
  fail "kivra-dump.exe failed on the sample: $(cat "$work/err.txt")"
tr -d '\r' <"$work/dump.txt" >"$work/dump-lf.txt"
grep -q '^  moov (+0x00000020:' "$work/dump-lf.txt" || fail "no moov atom in kivra-dump.exe's output"
grep -qx '    \[moov\] Movie Box' "$work/dump-lf.txt" ||
  fail "no description of moov: kivra-dump.exe did not find atom.def beside it"
echo "release_zip: $(cat "$work/version.txt" | tr -d '\r'), $(wc -l <"$work/dump-lf.txt") lines for the sample"

sh "$here/tests/scripts/app_e2e.sh" "$folder/kivra.exe" "$probe" "$folder/kivra-dump.exe" "$sample" ||
  fail "the end-to-end run of the unzipped kivra.exe failed"
echo "release_zip: passed"
