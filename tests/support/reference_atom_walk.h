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

// Offsets are 32-bit: the reading is made of bytes held in memory, below
// 4 GiB.
struct ReferenceAtom {
    uint32_t depth;  // 1 for a top-level atom
    std::string type;
    uint32_t offset;
    uint32_t sizeField;
    uint32_t payloadSize;
    bool clamped;         // cut short by the end of the file
    uint32_t headerSize;  // 16 where a 64-bit size was followed, else 8
    uint64_t size;        // the size field, or the 64-bit size after the type
};

struct ReferenceStop {
    uint32_t offset;
    std::string reason;   // as kivra-dump names it in its report
    bool note;            // a writer's convention, not a problem
    bool inMediaData;     // inside the payload of an mdat, which kivra-dump notes
    uint32_t headerSize;  // 16 where the size field said a 64-bit size follows
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
// largeSizes: a size of 1 is followed by a 64-bit size (below 16 too small,
// past the range as any size past it), and the payload starts 16 bytes in.
inline void ReferenceWalkRange(const unsigned char *data, uint32_t start, uint32_t end,
                               bool cutShort, uint32_t depth, uint32_t depthLimit,
                               ReferenceReading &out, bool mediaData = false,
                               bool largeSizes = false)
{
    uint32_t pos = start;
    uint32_t found = 0;
    while (pos < end) {
        const unsigned char *h = data + pos;
        uint32_t left = end - pos;
        const uint32_t sizeField = left >= 4 ? ReferenceBigEndian32(h) : 0;
        uint64_t size = sizeField;
        uint32_t headerSize = 8;
        const char *reason = 0;
        bool note = false;
        const bool printable = left >= 8 && ReferencePrintable(h[4]) && ReferencePrintable(h[5]) &&
            ReferencePrintable(h[6]) && ReferencePrintable(h[7]);
        if (largeSizes && printable && sizeField == 1) {
            headerSize = 16;
            if (left >= 16)
                size = (uint64_t)ReferenceBigEndian32(h + 8) << 32 | ReferenceBigEndian32(h + 12);
        }
        if (left < 8) {
            reason = "short-header";
            note = depth > 1 && left == 4 && sizeField == 0;
            if (note)
                reason = "zero-terminator";
        } else if (!printable) {
            reason = "type-not-printable";
            note = depth > 1 && h[4] == 0xA9 && ReferencePrintable(h[5]) &&
                ReferencePrintable(h[6]) && ReferencePrintable(h[7]) && sizeField >= 8 &&
                sizeField <= left;
            if (note)
                reason = "itunes-item-type";
        } else if (headerSize == 16 && left < 16) {
            reason = "short-header";
        } else if (headerSize == 16 && size < 16) {
            reason = "size-too-small";
        } else if (size == 1) {
            reason = "size-64bit";
        } else if (size != 0 && size < 8) {
            reason = "size-too-small";
        } else if (size > left && !cutShort) {
            reason = "size-overruns";
        }
        if (reason != 0) {
            if (depth == 1 || found > 0)
                out.stops.push_back({pos, reason, note, mediaData, headerSize});
            return;
        }
        bool clamped = size > left;
        uint32_t payload = (uint32_t)(size == 0 || clamped ? left - headerSize : size - headerSize);
        out.atoms.push_back({depth, std::string((const char *)h + 4, 4), pos, sizeField, payload,
                             clamped, headerSize, size});
        found++;
        if (clamped)
            out.stops.push_back({pos, "cut-short", false, false, headerSize});
        if (size == 0)
            return;
        const unsigned char *p = h + headerSize;
        if (depth < depthLimit)
            ReferenceWalkRange(data, pos + headerSize, pos + headerSize + payload, clamped,
                               depth + 1, depthLimit, out,
                               mediaData || memcmp(h + 4, "mdat", 4) == 0, largeSizes);
        else if (payload >= 8 && ReferencePrintable(p[4]) && ReferencePrintable(p[5]) &&
                 ReferencePrintable(p[6]) && ReferencePrintable(p[7]))
            out.stops.push_back({pos, "depth-limit", false, mediaData, headerSize});
        pos += headerSize + payload;
    }
}

inline ReferenceReading ReadAtomsForReference(const unsigned char *data, uint32_t size,
                                              uint32_t depthLimit, bool largeSizes = false)
{
    ReferenceReading out;
    ReferenceWalkRange(data, 0, size, true, 1, depthLimit, out, false, largeSizes);
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
