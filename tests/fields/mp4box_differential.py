#!/usr/bin/env python3
"""Compares the fields kivra-dump decodes with those mp4box.js reads.

Usage: mp4box_differential.py KIVRA_DUMP NODE_SCRIPT DIFFERENCES FILE...
(the npm package mp4box in NODE_PATH). For every box both read, at the
same offset, every field both give must agree, unless the pair (box type,
field) is listed with its reason in DIFFERENCES. Prints each mismatch and
each listed difference that no file showed; exits 1 on a mismatch.
"""
import json
import subprocess
import sys


def fixed16(value):
    return round(value * 65536)


def brands(value):
    # Four characters each, a space between: "qt  " stays "qt  ".
    return [value[i:i + 4] for i in range(0, len(value), 5)]


def same(value):
    return value


def hex_id(value):
    # A key ID as a UUID, "11223344-5566-...", against mp4box's plain hex.
    return value.replace('-', '')


# Per box type: (kivra field, mp4box property, kivra value -> mp4box's form).
SCALARS = {
    'ftyp': [('major_brand', 'major_brand', same), ('minor_version', 'minor_version', same),
             ('compatible_brands', 'compatible_brands', brands)],
    'mvhd': [('creation_time', 'creation_time', same),
             ('modification_time', 'modification_time', same),
             ('timescale', 'timescale', same), ('duration', 'duration', same),
             ('rate', 'rate', fixed16), ('volume', 'volume', same),
             ('next_track_ID', 'next_track_id', same)],
    'tkhd': [('creation_time', 'creation_time', same),
             ('modification_time', 'modification_time', same),
             ('track_ID', 'track_id', same), ('duration', 'duration', same),
             ('layer', 'layer', same), ('alternate_group', 'alternate_group', same),
             ('volume', 'volume', same), ('width', 'width', fixed16),
             ('height', 'height', fixed16)],
    'mdhd': [('creation_time', 'creation_time', same),
             ('modification_time', 'modification_time', same),
             ('timescale', 'timescale', same), ('duration', 'duration', same),
             ('language', 'languageString', same)],
    'hdlr': [('handler_type', 'handler', same), ('name', 'name', same)],
    'mehd': [('fragment_duration', 'fragment_duration', same)],
    'trex': [('track_ID', 'track_id', same),
             ('default_sample_description_index', 'default_sample_description_index', same),
             ('default_sample_duration', 'default_sample_duration', same),
             ('default_sample_size', 'default_sample_size', same),
             ('default_sample_flags', 'default_sample_flags', same)],
    'mfhd': [('sequence_number', 'sequence_number', same)],
    'tfhd': [('track_ID', 'track_id', same), ('base_data_offset', 'base_data_offset', same),
             ('sample_description_index', 'default_sample_description_index', same),
             ('default_sample_duration', 'default_sample_duration', same),
             ('default_sample_size', 'default_sample_size', same),
             ('default_sample_flags', 'default_sample_flags', same)],
    'tfdt': [('baseMediaDecodeTime', 'baseMediaDecodeTime', same)],
    'trun': [('sample_count', 'sample_count', same), ('data_offset', 'data_offset', same),
             ('first_sample_flags', 'first_sample_flags', same)],
    'stsz': [('sample_size', 'sample_size', same), ('sample_count', 'sample_count', same)],
    'sidx': [('reference_ID', 'reference_ID', same), ('timescale', 'timescale', same),
             ('earliest_presentation_time', 'earliest_presentation_time', same),
             ('first_offset', 'first_offset', same)],
    'sgpd': [('grouping_type', 'grouping_type', same), ('default_length', 'default_length', same)],
    'sbgp': [('grouping_type', 'grouping_type', same)],
    'pitm': [('item_ID', 'item_id', same)],
    'ispe': [('image_width', 'image_width', same), ('image_height', 'image_height', same)],
    'pixi': [('num_channels', 'num_channels', same)],
    'schm': [('scheme_type', 'scheme_type', same), ('scheme_version', 'scheme_version', same)],
    'frma': [('data_format', 'data_format', same)],
    'tenc': [('default_isProtected', 'default_isProtected', same),
             ('default_Per_Sample_IV_Size', 'default_Per_Sample_IV_Size', same),
             ('default_KID', 'default_KID', hex_id)],
    'saiz': [('default_sample_info_size', 'default_sample_info_size', same),
             ('sample_count', 'sample_count', same)],
    'saio': [('entry_count', 'entry_count', same)],
    'colr': [('colour_type', 'colour_type', same),
             ('colour_primaries', 'colour_primaries', same),
             ('transfer_characteristics', 'transfer_characteristics', same),
             ('matrix_coefficients', 'matrix_coefficients', same),
             ('full_range_flag', 'full_range_flag', same)],
    'auxC': [('aux_type', 'aux_type', same)],
    'iloc': [('offset_size', 'offset_size', same), ('length_size', 'length_size', same),
             ('base_offset_size', 'base_offset_size', same), ('index_size', 'index_size', same)],
    'iinf': [('entry_count', 'entry_count', same)],
}
SCALARS['styp'] = SCALARS['ftyp']

# Per box type: (kivra table, its column, mp4box property, key in its
# objects or None for an array of values).
TABLES = {
    'stts': [('entries', 'sample_count', 'sample_counts', None),
             ('entries', 'sample_delta', 'sample_deltas', None)],
    'ctts': [('entries', 'sample_count', 'sample_counts', None),
             ('entries', 'sample_offset', 'sample_offsets', None)],
    'stsc': [('entries', 'first_chunk', 'first_chunk', None),
             ('entries', 'samples_per_chunk', 'samples_per_chunk', None),
             ('entries', 'sample_description_index', 'sample_description_index', None)],
    'stsz': [('entries', 'entry_size', 'sample_sizes', None)],
    'stco': [('entries', 'chunk_offset', 'chunk_offsets', None)],
    'co64': [('entries', 'chunk_offset', 'chunk_offsets', None)],
    'stss': [('entries', 'sample_number', 'sample_numbers', None)],
    'trun': [('samples', 'sample_duration', 'sample_duration', None),
             ('samples', 'sample_size', 'sample_size', None),
             ('samples', 'sample_flags', 'sample_flags', None),
             ('samples', 'sample_composition_time_offset', 'sample_composition_time_offset',
              None)],
    'elst': [('entries', 'segment_duration', 'entries', 'segment_duration'),
             ('entries', 'media_time', 'entries', 'media_time'),
             ('entries', 'media_rate_integer', 'entries', 'media_rate_integer')],
    'sidx': [('references', 'referenced_size', 'references', 'referenced_size'),
             ('references', 'reference_type', 'references', 'reference_type'),
             ('references', 'subsegment_duration', 'references', 'subsegment_duration')],
    'pixi': [('channels', 'bits_per_channel', 'bits_per_channels', None)],
    'saiz': [('entries', 'sample_info_size', 'sample_info_size', None)],
    'saio': [('entries', 'offset', 'offset', None)],
    'iloc': [('items', 'item_ID', 'items', 'item_ID'),
             ('items', 'construction_method', 'items', 'construction_method'),
             ('items', 'data_reference_index', 'items', 'data_reference_index'),
             ('items', 'base_offset', 'items', 'base_offset')],
}

# A sample entry in kivra's stsd table against the entry box mp4box reads.
SAMPLE_ENTRY = [('format', 'type', same), ('data_reference_index', 'data_reference_index', same),
                ('width', 'width', same), ('height', 'height', same),
                ('channelcount', 'channel_count', same), ('samplesize', 'samplesize', same),
                ('samplerate', 'samplerate', same)]


def kivra_boxes(dump, path):
    """(type, offset) -> fields of every atom, every box listed in a meta's
    fields or a sample entry's protection scheme, and every sample entry of
    an stsd."""
    out = subprocess.run([dump, '--json', '--no-defs', '--fields=all', path],
                         capture_output=True, check=False)
    files = json.loads(out.stdout.decode('latin-1'))
    boxes = {}
    entries = {}

    def walk(atoms):
        for atom in atoms:
            fields = atom.get('fields', {})
            boxes[(atom['type'], atom['offset'])] = fields
            if atom['type'] == 'stsd':
                for entry in fields.get('entries', []):
                    entries[entry['offset']] = entry
                    listed(entry.get('sinf', []))
            listed(fields.get('boxes', []))
            walk(atom['children'])

    def listed(children):
        for child in children:
            boxes[(child['box'], child['offset'])] = child
            listed(child.get('boxes', []))

    for file in files:
        walk(file['atoms'])
    return boxes, entries


def main():
    dump, script, differences_path = sys.argv[1:4]
    explained = {}
    with open(differences_path, encoding='ascii') as f:
        for line in f:
            line = line.strip()
            if line and not line.startswith('#'):
                box, field, reason = line.split(None, 2)
                explained[(box, field)] = reason
    seen = set()
    mismatches = []
    compared = 0
    for path in sys.argv[4:]:
        peer = json.loads(subprocess.run(['node', script, path], capture_output=True,
                                         check=True).stdout)
        boxes, entries = kivra_boxes(dump, path)

        def differ(box, field, ours, theirs):
            if ours == theirs:
                return 0
            if (box, field) in explained:
                seen.add((box, field))
                return 0
            mismatches.append('%s: %s %s: kivra %r, mp4box.js %r' % (path, box, field, ours,
                                                                     theirs))
            return 1

        for peer_box in peer:
            kind, offset, theirs = peer_box['type'], peer_box['offset'], peer_box['fields']
            if offset in entries and kind == entries[offset].get('format'):
                ours = entries[offset]
                for name, their_name, convert in SAMPLE_ENTRY:
                    if name in ours and their_name in theirs:
                        compared += 1
                        differ('stsd-entry', name, convert(ours[name]), theirs[their_name])
                continue
            ours = boxes.get((kind, offset))
            if ours is None:
                continue
            for name, their_name, convert in SCALARS.get(kind, []):
                if name in ours and their_name in theirs:
                    compared += 1
                    differ(kind, name, convert(ours[name]), theirs[their_name])
            for table, column, their_name, key in TABLES.get(kind, []):
                if table not in ours or their_name not in theirs:
                    continue
                values = [entry[column] for entry in ours[table] if column in entry]
                if not values:
                    continue
                peer_values = theirs[their_name]
                if key is not None:
                    peer_values = [entry.get(key) for entry in peer_values]
                compared += 1
                differ(kind, table + '.' + column, values, peer_values)
    for line in mismatches:
        print(line)
    for key in sorted(set(explained) - seen):
        print('listed but not seen: %s %s' % key)
    print('%d fields compared, %d mismatches' % (compared, len(mismatches)))
    return 1 if mismatches or compared == 0 else 0


if __name__ == '__main__':
    sys.exit(main())
