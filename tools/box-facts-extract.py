#!/usr/bin/env python3
"""Writes tests/data/box-facts.txt from the box tables of public parsers and
conformance files (CSV files: gpac_boxes.csv, mpegff_boxes.csv,
mp4boxjs_boxes.csv, bento4_boxes.csv), so that the atom.def structure test
needs nothing outside the repository.

usage: tools/box-facts-extract.py BOX_FACTS_DIR > tests/data/box-facts.txt
"""
import csv
import os
import sys

SOURCES = [
    # name, file, where the parents are, origin
    ("mpegff", "mpegff_boxes.csv", "parents",
     "MPEGGroup/FileFormatConformance 767a5bcb9fa4841d1b3bb0ca112a6e7d4c6bf067 (2025-05-28), "
     "box tables of ISO/IEC 14496-12, -15, -30 and 23008-12"),
    ("gpac", "gpac_boxes.csv", "parents",
     "gpac/gpac d34570e3d994ede1f7fa84075fea793f8939308e (2026-08-06), "
     "src/isomedia/box_funcs.c and its box readers"),
    ("mp4boxjs", "mp4boxjs_boxes.csv", None,
     "gpac/mp4box.js c07133a2c87d6edd409e54b8ec1f65320fed55c0 (2026-06-19), its box classes"),
    ("bento4", "bento4_boxes.csv", "context",
     "axiomatic-systems/Bento4 b8c50a078356a1c3444ce0a8744634ed488424a4 (2026-06-27), "
     "its atom factory"),
]


def encode(code):
    return code.replace(" ", "$20")


def main():
    folder = sys.argv[1]
    out = sys.stdout
    out.write("# Box facts: whether a four-character code is a full box (version and flags)\n"
              "# or a plain one, and which boxes may hold it, as public box parsers and the\n"
              "# MPEG conformance tables record them. Copied by tools/box-facts-extract.py\n"
              "# from these sources:\n")
    for name, _, _, origin in SOURCES:
        out.write("#   %s: %s\n" % (name, origin))
    out.write("# One fact a line: source code kind parents\n"
              "#   code    four bytes, a blank written as $20\n"
              "#   kind    full, plain, sample-entry, grouping-type, unknown or - (none given)\n"
              "#   parents ';'-separated; file = the top level, * = anywhere, a longer word\n"
              "#           names a class of boxes (video_sample_entry...); - = none given\n"
              "# Each source is partial and blind in places; where two disagree the standard\n"
              "# decides (tests/data/atomdef-structure-exceptions.txt says where and why).\n")
    for name, filename, parent_column, _ in SOURCES:
        seen = set()
        with open(os.path.join(folder, filename), encoding="utf-8") as f:
            for row in csv.DictReader(f):
                code = row["code"]
                if len(code) != 4 or any(not (0x20 <= ord(c) <= 0x7E) for c in code):
                    continue  # no atom.def section can name it
                kind = (row.get("kind") or "").strip() or "-"
                parents = []
                if parent_column:
                    raw = row.get(parent_column) or ""
                    for p in raw.replace(" ", ";").split(";") if parent_column == "context" \
                            else raw.split(";"):
                        if p and p != "unknown":
                            parents.append(encode(p if len(p) >= 4 or p in ("*",) else p.ljust(4)))
                line = "%s %s %s %s" % (name, encode(code), kind,
                                        ";".join(parents) if parents else "-")
                if line not in seen:
                    seen.add(line)
                    out.write(line + "\n")


main()
