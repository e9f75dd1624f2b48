#!/usr/bin/env python3
"""Reads kivra-dump --json output on stdin and prints one line per atom and
per report entry, in the text listing's terms, so that a test can compare
the JSON with the text tree and with a reading of the bytes:

  PATH                      the file's path (bytes outside ASCII as \\xNN)
  <depth spaces>TYPE OFFSET SIZE PAYLOADOFFSET PAYLOADSIZE [DESCRIPTIONS]
  report OFFSET SEVERITY REASON
  error TEXT

Exits non-zero when the input is not JSON or lacks a field. Deeply nested
trees need more than Python's default recursion limit.
"""
import json
import sys

sys.setrecursionlimit(100000)


def show(text):
    # Every byte came as one character from U+0000 to U+00FF.
    raw = text.encode("latin-1")
    return "".join(chr(b) if 0x20 <= b <= 0x7E and b != 0x5C else "\\x%02X" % b for b in raw)


def atoms(items, depth, out):
    for item in items:
        for key, kind in (("type", str), ("offset", int), ("size", int),
                          ("payloadOffset", int), ("payloadSize", int),
                          ("descriptions", list), ("children", list)):
            if not isinstance(item.get(key), kind):
                sys.exit("atom without %s: %r" % (key, item))
        out.append("%s%s %d %d %d %d %d" % (" " * depth, item["type"], item["offset"],
                                            item["size"], item["payloadOffset"],
                                            item["payloadSize"], len(item["descriptions"])))
        for line in item["descriptions"]:
            out.append("%s\"%s\"" % (" " * (depth + 1), show(line)))
        atoms(item["children"], depth + 1, out)


def main():
    files = json.load(sys.stdin)
    out = []
    for f in files:
        out.append(show(f["path"]))
        atoms(f["atoms"], 1, out)
        for entry in f["report"]:
            out.append("report %d %s %s" % (entry["offset"], entry["severity"], entry["reason"]))
            if not isinstance(entry["text"], str) or not entry["text"]:
                sys.exit("report entry without text")
        counted = sum(1 for e in f["report"] if e["severity"] == "problem")
        if counted != f["problems"] or len(f["report"]) - counted != f["notes"]:
            sys.exit("report counts do not match its entries")
        if "error" in f:
            out.append("error " + f["error"])
    sys.stdout.write("\n".join(out) + "\n")


main()
