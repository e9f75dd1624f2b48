#include "tools/genatoms/atom_generator.h"

#include <stdio.h>

namespace {

typedef std::vector<unsigned char> Bytes;

void PutBigEndian32(Bytes &out, size_t at, uint32_t value)
{
    out[at] = (unsigned char)(value >> 24);
    out[at + 1] = (unsigned char)(value >> 16);
    out[at + 2] = (unsigned char)(value >> 8);
    out[at + 3] = (unsigned char)value;
}

// Builds atoms in place: Open writes a header whose size Close fills in.
struct AtomWriter {
    Bytes bytes;
    std::vector<size_t> open;
    uint32_t count = 0;

    void Open(const char *type)
    {
        open.push_back(bytes.size());
        bytes.resize(bytes.size() + 4);
        bytes.insert(bytes.end(), type, type + 4);
        count++;
    }
    void Close()
    {
        size_t start = open.back();
        open.pop_back();
        PutBigEndian32(bytes, start, (uint32_t)(bytes.size() - start));
    }
    // A leaf whose payload starts with a zero version/flags word and a count,
    // as full boxes do, so the walk finds no child in it.
    void Leaf(const char *type, uint32_t payloadBytes)
    {
        Open(type);
        bytes.resize(bytes.size() + (payloadBytes < 8 ? 8 : payloadBytes), 0);
        Close();
    }
};

void WriteTrack(AtomWriter &w, bool video)
{
    w.Open("trak");
    w.Leaf("tkhd", 84);
    w.Open("mdia");
    w.Leaf("mdhd", 24);
    w.Leaf("hdlr", 33);
    w.Open("minf");
    w.Leaf(video ? "vmhd" : "smhd", 12);
    w.Open("dinf");
    w.Leaf("dref", 20);
    w.Close();
    w.Open("stbl");
    w.Leaf("stsd", 150);
    w.Leaf("stts", 16);
    w.Leaf("stsc", 16);
    w.Leaf("stsz", 12);
    w.Leaf("stco", 8);
    w.Close();
    w.Close();
    w.Close();
    w.Close();
}

void WriteFragment(AtomWriter &w, uint32_t sequence)
{
    w.Open("moof");
    w.Leaf("mfhd", 8);
    // The sequence numbers count up from 1, as a muxer writes them.
    PutBigEndian32(w.bytes, w.bytes.size() - 4, sequence);
    for (int track = 0; track < 2; track++) {
        w.Open("traf");
        w.Leaf("tfhd", 28);
        w.Leaf("tfdt", 12);
        w.Leaf("trun", 20 + 8 * (sequence % 16));
        w.Close();
    }
    w.Close();
    w.Leaf("mdat", 64 + (sequence % 7) * 32);
}

const char *const realTypes[] = {
    "ftyp", "moov", "mvhd", "trak", "tkhd", "mdia", "mdhd", "hdlr", "minf", "vmhd",
    "smhd", "dinf", "dref", "stbl", "stsd", "stts", "stsc", "stsz", "stco", "mvex",
    "trex", "moof", "mfhd", "traf", "tfhd", "tfdt", "trun", "mdat", "free", "udta",
};

}  // namespace

std::vector<unsigned char> GenerateAtomFile(uint32_t atomCount)
{
    AtomWriter w;
    w.Open("ftyp");
    const char brands[] = "isom\0\0\x02\0isomiso2avc1mp41";
    w.bytes.insert(w.bytes.end(), brands, brands + sizeof brands - 1);
    w.Close();
    w.Open("moov");
    w.Leaf("mvhd", 100);
    WriteTrack(w, true);
    WriteTrack(w, false);
    w.Open("mvex");
    w.Leaf("trex", 24);
    w.Leaf("trex", 24);
    w.Close();
    w.Close();
    const uint32_t fragmentAtoms = 11;
    for (uint32_t sequence = 1; w.count + fragmentAtoms <= atomCount; sequence++)
        WriteFragment(w, sequence);
    while (w.count < atomCount)
        w.Leaf("free", 8);
    return w.bytes;
}

std::string GenerateDefinitionText(uint32_t sectionCount)
{
    const uint32_t realCount = sizeof realTypes / sizeof realTypes[0];
    // The real types stand at even intervals among the invented ones, so a
    // lookup meets matches early, midway and late in the text.
    uint32_t spacing = sectionCount / realCount;
    if (spacing == 0)
        spacing = 1;
    std::string text;
    uint32_t real = 0;
    for (uint32_t i = 0; i < sectionCount; i++) {
        char header[96];
        if (i % spacing == spacing - 1 && real < realCount) {
            snprintf(header, sizeof header, "[%s] Box number %u\n", realTypes[real], i);
            real++;
        } else {
            snprintf(header, sizeof header, "[x%03u] Invented box %u\n", i % 1000, i);
        }
        text += header;
        text += "What the box holds, in a sentence of ordinary length for a description.\n";
        text += "Its fields, one after the other, with their sizes in bytes.\n";
        if (i % 3 == 0)
            text += "A note on the versions that add fields.\n";
        text += "\n";
    }
    return text;
}

bool WriteGeneratedFile(const std::string &path, const void *bytes, size_t size)
{
    FILE *f = fopen(path.c_str(), "wb");
    if (f == nullptr)
        return false;
    bool ok = fwrite(bytes, 1, size, f) == size;
    return fclose(f) == 0 && ok;
}
