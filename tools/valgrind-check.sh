#!/bin/sh
# Runs kivra-dump of the optimised build without sanitizers (build/release)
# under valgrind memcheck over the whole test corpus: the samples, the fuzz
# seed corpora and generated hostile files (deep nesting, many siblings,
# broken size fields, a 64-bit size, a cut file), with --fields=all --check.
# Fails on any invalid access or definite leak.
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
sh "$here/tools/build.sh" release >/dev/null
dump="$here/build/release/tools/kivra-dump"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 - "$work" "$here/samples/sample.mp4" <<'PY'
import os, struct, sys
out, sample = sys.argv[1], open(sys.argv[2], 'rb').read()
def atom(kind, payload=b'', size=None):
    return struct.pack('>I', 8 + len(payload) if size is None else size) + kind + payload
def write(name, data):
    open(os.path.join(out, name), 'wb').write(data)
levels = 100000
write('nested', b''.join(struct.pack('>I', 8 * (levels - i)) + b'nest' for i in range(levels)))
write('siblings', atom(b'free') * 100000)
write('size-one-64bit', atom(b'ftyp', b'isom') + struct.pack('>I', 1) + b'mdat' + struct.pack('>Q', 24) + b'\0' * 8)
for value in (0, 1, 7, 0xFFFFFFFF):
    write('size-%x' % value, atom(b'moov', atom(b'trak', atom(b'mdia', b'', value))) + atom(b'free'))
write('nonprintable', atom(b'moov', atom(b'mvhd') + atom(b'\x7fxyz') + atom(b'trak')))
for cut in (1, 7, 8, 9, 33, 500, len(sample) // 2, len(sample) - 1):
    write('sample-cut-%d' % cut, sample[:cut])
write('empty', b'')
PY
status=0
count=0
# With the fields of every box, every table whole, and the report with the
# reference checks: the walk runs as without them.
for file in "$here"/samples/* "$here"/fuzz/corpus/fuzz_atom_walk/* \
    "$here"/fuzz/corpus/fuzz_fields/* "$work"/*; do
  count=$((count + 1))
  if ! valgrind -q --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite \
      "$dump" --fields=all --check "$file" >/dev/null 2>"$work/valgrind.log"; then
    if grep -q "==[0-9]*==" "$work/valgrind.log"; then
      echo "valgrind: errors with $file"
      cat "$work/valgrind.log"
      status=1
    fi
  fi
done
# The definition file path too: the seed corpora of the line reader and the
# lookup read as atom.def.
for file in "$here"/fuzz/corpus/fuzz_line_reader/* "$here"/fuzz/corpus/fuzz_description_lookup/*; do
  count=$((count + 1))
  if ! valgrind -q --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite \
      "$dump" --defs "$file" "$here/samples/sample.mp4" >/dev/null 2>"$work/valgrind.log"; then
    if grep -q "==[0-9]*==" "$work/valgrind.log"; then
      echo "valgrind: errors with definition file $file"
      cat "$work/valgrind.log"
      status=1
    fi
  fi
done
echo "valgrind: $count runs of kivra-dump, $( [ $status = 0 ] && echo clean || echo ERRORS )"
exit $status
