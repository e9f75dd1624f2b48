#pragma once
// An independent reading of an atom file by the rules kivra shows atoms by,
// written the obvious recursive way, for the kivra-dump tests and the walk's
// fuzz harness: the atoms in tree order and the places where a range
// stopped, in the order kivra-dump reports them.

#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <string>
#include <vector>

struct ReferenceAtom {
    uint32_t depth;  // 1 for a top-level atom
    std::string type;
    uint32_t offset;
    uint32_t sizeField;
    uint32_t payloadSize;
    bool clamped;  // cut short by the end of the file
};

struct ReferenceStop {
    uint32_t offset;
    std::string reason;  // as kivra-dump names it in its report
    bool note;           // a writer's convention, not a problem
    bool inMediaData;    // inside the payload of an mdat, which kivra-dump notes
};

struct ReferenceReading {
    std::vector<ReferenceAtom> atoms;
    std::vector<ReferenceStop> stops;
};

inline uint32_t ReferenceBigEndian32(const unsigned char *p)
{
    return ((uint32_t)p[0] << 24) | ((uint32_t)p[1] << 16) | ((uint32_t)p[2] << 8) | p[3];
}

inline bool ReferencePrintable(unsigned char c)
{
    return c >= 0x20 && c <= 0x7E;
}

// A range stops at a short header, a non-printable type or a size of 1 to
// 7. A size past the range's end is clamped when the range was cut short by
// the end of the file (the top-level range, or a clamped atom's payload) and
// stops the range elsewhere. A size of 0 runs to the range's end and ends
// it. Stops count only at the top level and after an atom of the range.
// mediaData: the range lies inside the payload of an mdat, at any depth.
inline void ReferenceWalkRange(const unsigned char *data, uint32_t start, uint32_t end,
                               bool cutShort, uint32_t depth, uint32_t depthLimit,
                               ReferenceReading &out, bool mediaData = false)
{
    uint32_t pos = start;
    uint32_t found = 0;
    while (pos < end) {
        const unsigned char *h = data + pos;
        uint32_t left = end - pos;
        uint32_t size = left >= 4 ? ReferenceBigEndian32(h) : 0;
        const char *reason = 0;
        bool note = false;
        if (left < 8) {
            reason = "short-header";
            note = depth > 1 && left == 4 && size == 0;
            if (note)
                reason = "zero-terminator";
        } else if (!ReferencePrintable(h[4]) || !ReferencePrintable(h[5]) ||
                   !ReferencePrintable(h[6]) || !ReferencePrintable(h[7])) {
            reason = "type-not-printable";
            note = depth > 1 && h[4] == 0xA9 && ReferencePrintable(h[5]) &&
                ReferencePrintable(h[6]) && ReferencePrintable(h[7]) && size >= 8 && size <= left;
            if (note)
                reason = "itunes-item-type";
        } else if (size == 1) {
            reason = "size-64bit";
        } else if (size != 0 && size < 8) {
            reason = "size-too-small";
        } else if (size > left && !cutShort) {
            reason = "size-overruns";
        }
        if (reason != 0) {
            if (depth == 1 || found > 0)
                out.stops.push_back({pos, reason, note, mediaData});
            return;
        }
        bool clamped = size > left;
        uint32_t payload = size == 0 || clamped ? left - 8 : size - 8;
        out.atoms.push_back(
            {depth, std::string((const char *)h + 4, 4), pos, size, payload, clamped});
        found++;
        if (clamped)
            out.stops.push_back({pos, "cut-short", false, false});
        if (size == 0)
            return;
        if (depth < depthLimit)
            ReferenceWalkRange(data, pos + 8, pos + 8 + payload, clamped, depth + 1, depthLimit,
                               out, mediaData || memcmp(h + 4, "mdat", 4) == 0);
        else if (payload >= 8 && ReferencePrintable(h[12]) && ReferencePrintable(h[13]) &&
                 ReferencePrintable(h[14]) && ReferencePrintable(h[15]))
            out.stops.push_back({pos, "depth-limit", false, mediaData});
        pos += 8 + payload;
    }
}

inline ReferenceReading ReadAtomsForReference(const unsigned char *data, uint32_t size,
                                              uint32_t depthLimit)
{
    ReferenceReading out;
    ReferenceWalkRange(data, 0, size, true, 1, depthLimit, out);
    return out;
}

// An atom item's label, as the tree shows it.
inline std::string ReferenceLabel(const ReferenceAtom &atom)
{
    char label[80];
    snprintf(label, sizeof label, "%s (+0x%08X:%u[0x%X])", atom.type.c_str(), atom.offset,
             atom.payloadSize, atom.payloadSize);
    return label;
}
