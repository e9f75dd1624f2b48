#pragma once
// Small files that show how the walk treats the end of a file, shared by the
// walk's tests and kivra-dump's.

#include "tests/support/atom_fixtures.h"

#include <string.h>

// The text ffmpeg's muxer leaves in a free atom: as a header it would be
// size 0x49736F4D, type "edia".
const char googleFreeText[] = "IsoMedia File Produced by Google, 5-11-2011";

inline Bytes Text(const char *text)
{
    return Bytes(text, text + strlen(text));
}

// A full box (version/flags first) with some payload: a leaf for the walk.
inline Bytes FullBox(const char *type, size_t payloadBytes)
{
    return Atom(type, Bytes(4 + payloadBytes, 0));
}

inline Bytes FtypIsom()
{
    return Atom("ftyp", Text("isom"));
}

// A complete moov holding mvhd and a free atom with that text.
inline Bytes MovieWithFreeText()
{
    return Atom("moov", Join({FullBox("mvhd", 4), Atom("free", Text(googleFreeText))}));
}

// A complete mdat whose media bytes start with a size past any end and four
// printable bytes, as H.264 data often does.
inline Bytes MediaLikeAHeader()
{
    return Atom("mdat", Join({AtomWithSize(0x7FFFFFF0u, "eB|x"), Bytes(24, 0x5A)}));
}

// ftyp, then moov > trak > mdia each declaring more than the file holds,
// with a complete atom before each and half a header at the end: the cut
// goes through three levels.
inline Bytes CutThreeDeep()
{
    return Join(
        {FtypIsom(),
         AtomWithSize(
             200, "moov",
             Join({FullBox("mvhd", 0),
                   AtomWithSize(150, "trak",
                                Join({FullBox("tkhd", 0),
                                      AtomWithSize(100, "mdia",
                                                   Join({Atom("hdlr", Text(googleFreeText)),
                                                         Raw({0, 0, 1, 0, 'm', 'i'})}))}))}))});
}
