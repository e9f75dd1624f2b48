// The box field decoders: hand-made boxes with the fields they must show,
// truncated and hostile payloads, and real files written by ffmpeg.

#include "fields/box_fields.h"
#include "fields/box_tables.h"
#include "tests/fields/field_bytes.h"
#include "tests/fields/field_trace.h"

#include <gtest/gtest.h>

#include <string.h>
#include <string>
#include <vector>

namespace {

struct DecodeCase {
    const char *type;
    const char *parents;  // enclosing types, outermost first, 4 characters each
    Bytes payload;
    const char *expected;
};

std::string Decode(const char *type, const Bytes &payload, uint64_t limit = FIELD_TABLE_DEFAULT,
                   const char *parents = "", uint64_t payloadOffset = 8, int *known = 0)
{
    FieldTrace trace;
    FieldSink sink = MakeTraceSink(&trace);
    FieldBox box;
    memcpy(box.type, type, 4);
    box.payload = payload.data();
    box.payloadSize = payload.size();
    box.payloadOffset = payloadOffset;
    box.parentTypes = (const unsigned char *)parents;
    box.parentCount = (uint32_t)(strlen(parents) / 4);
    int decoded = DecodeBoxFields(&box, limit, &sink);
    if (known != 0)
        *known = decoded;
    EXPECT_EQ(trace.depth, 0) << type << ": a table or entry left open\n" << trace.lines;
    EXPECT_FALSE(trace.unbalanced) << type << ": more ends than begins\n" << trace.lines;
    return trace.lines;
}

TEST(FieldsDecode, HandMadeBoxesShowTheirFields)
{
    const DecodeCase cases[] = {
        {"ftyp", "", Join({Code("isom"), U32(512), Code("isom"), Code("avc1")}),
         "major_brand=isom\nminor_version=512\ncompatible_brands=isom avc1\n"},
        {"mvhd", "moov",
         Join({U32(0), U32(1), U32(2), U32(1000), U32(5000), U32(0x10000), U16(0x0100),
               Zeros(10 + 36 + 24), U32(3)}),
         "version=0\nflags=0x0\ncreation_time=1\nmodification_time=2\ntimescale=1000\n"
         "duration=5000\nrate=1\nvolume=1\nnext_track_ID=3\n"},
        // Version 1: 64-bit times and duration.
        {"mvhd", "moov",
         Join({U32(0x01000000), U64(1ull << 40), U64(2), U32(90000), U64(0xFFFFFFFFFFull),
               U32(0x18000), U16(0xFF80), Zeros(70), U32(2)}),
         "version=1\nflags=0x0\ncreation_time=1099511627776\nmodification_time=2\n"
         "timescale=90000\nduration=1099511627775\nrate=1.5\nvolume=-0.5\nnext_track_ID=2\n"},
        {"tkhd", "moovtrak",
         Join({U32(3), U32(0), U32(0), U32(1), U32(0), U32(4000), Zeros(8), U16(0), U16(0), U16(0),
               U16(0), Zeros(36), U32(1920u << 16), U32((1080u << 16) | 0x8000)}),
         "version=0\nflags=0x3\nflag_names=enabled in-movie\ncreation_time=0\n"
         "modification_time=0\ntrack_ID=1\nduration=4000\nlayer=0\nalternate_group=0\n"
         "volume=0\nwidth=1920\nheight=1080.5\n"},
        // "und" packs as 0x55C4; "eng" as 0x15C7.
        {"mdhd", "trakmdia",
         Join({U32(0), U32(0), U32(0), U32(44100), U32(1024), U16(0x15C7), U16(0)}),
         "version=0\nflags=0x0\ncreation_time=0\nmodification_time=0\ntimescale=44100\n"
         "duration=1024\nlanguage=eng\n"},
        {"hdlr", "mdia",
         Join({U32(0), U32(0), Code("vide"), Zeros(12), Text("VideoHandler"), U8(0)}),
         "version=0\nflags=0x0\npre_defined=0\nhandler_type=vide\n"
         "name=VideoHandler\n"},
        // QuickTime writes the name as a Pascal string.
        {"hdlr", "mdia",
         Join({U32(0), Code("mhlr"), Code("soun"), Zeros(12), U8(5), Text("Sound")}),
         "version=0\nflags=0x0\npre_defined=mhlr\nhandler_type=soun\nname=Sound\n"},
        {"elst", "edts",
         Join({U32(0x01000000), U32(1), U64(1000), U64(0xFFFFFFFFFFFFFFFFull), U16(1), U16(0)}),
         "version=1\nflags=0x0\nentry_count=1\nentries[\n{\nsegment_duration=1000\n"
         "media_time=-1\nmedia_rate_integer=1\nmedia_rate_fraction=0\n}\n]\n"},
        {"trex", "mvex", Join({U32(0), U32(1), U32(1), U32(512), U32(0), U32(0x01010000)}),
         "version=0\nflags=0x0\ntrack_ID=1\ndefault_sample_description_index=1\n"
         "default_sample_duration=512\ndefault_sample_size=0\n"
         "default_sample_flags=0x1010000\n"},
        {"stts", "stbl", Join({U32(0), U32(2), U32(29), U32(512), U32(1), U32(256)}),
         "version=0\nflags=0x0\nentry_count=2\nentries[\n{\nsample_count=29\n"
         "sample_delta=512\n}\n{\nsample_count=1\nsample_delta=256\n}\n]\n"},
        // One size for every sample: no table.
        {"stsz", "stbl", Join({U32(0), U32(100), U32(7)}),
         "version=0\nflags=0x0\nsample_size=100\nsample_count=7\n"},
        {"stz2", "stbl", Join({U32(0), Zeros(3), U8(4), U32(3), U8(0x12), U8(0x30)}),
         "version=0\nflags=0x0\nfield_size=4\nsample_count=3\nentries[\n{\nentry_size=1\n}\n"
         "{\nentry_size=2\n}\n{\nentry_size=3\n}\n]\n"},
        // Offsets near 2^64 are only numbers.
        {"co64", "stbl", Join({U32(0), U32(1), U64(0xFFFFFFFFFFFFFFF0ull)}),
         "version=0\nflags=0x0\nentry_count=1\nentries[\n{\nchunk_offset=18446744073709551600\n"
         "}\n]\n"},
        {"ctts", "stbl", Join({U32(0x01000000), U32(1), U32(2), U32(0xFFFFFE00)}),
         "version=1\nflags=0x0\nentry_count=1\nentries[\n{\nsample_count=2\n"
         "sample_offset=-512\n}\n]\n"},
        {"sdtp", "stbl", Join({U32(0), U8(0x20), U8(0x10)}),
         "version=0\nflags=0x0\nsample_count=2\nentries[\n{\nis_leading=0\n"
         "sample_depends_on=2\nsample_is_depended_on=0\nsample_has_redundancy=0\n}\n{\n"
         "is_leading=0\nsample_depends_on=1\nsample_is_depended_on=0\n"
         "sample_has_redundancy=0\n}\n]\n"},
        {"sbgp", "stbl", Join({U32(0), Code("roll"), U32(1), U32(10), U32(1)}),
         "version=0\nflags=0x0\ngrouping_type=roll\nentry_count=1\nentries[\n{\n"
         "sample_count=10\ngroup_description_index=1\n}\n]\n"},
        {"sgpd", "stbl", Join({U32(0x01000000), Code("roll"), U32(2), U32(1), U16(0xFFFF)}),
         "version=1\nflags=0x0\ngrouping_type=roll\ndefault_length=2\nentry_count=1\n"},
        {"mfhd", "moof", Join({U32(0), U32(7)}), "version=0\nflags=0x0\nsequence_number=7\n"},
        // A 64-bit base data offset past 4 GiB.
        {"tfhd", "moof",
         Join({U32(0x000039), U32(2), U64(0x100000010ull), U32(1000), U32(77), U32(0)}),
         "version=0\nflags=0x39\nflag_names=base-data-offset default-sample-duration "
         "default-sample-size default-sample-flags\ntrack_ID=2\nbase_data_offset=4294967312\n"
         "default_sample_duration=1000\ndefault_sample_size=77\n"
         "default_sample_flags=0x0\n"},
        {"tfdt", "traf", Join({U32(0x01000000), U64(1ull << 33)}),
         "version=1\nflags=0x0\nbaseMediaDecodeTime=8589934592\n"},
        {"trun", "traf",
         Join({U32(0x01000305), U32(2), U32(0xFFFFFFF8), U32(0x02000000), U32(10), U32(0), U32(20),
               U32(0xFFFFFFFF)}),
         "version=1\nflags=0x305\nflag_names=data-offset first-sample-flags sample-duration "
         "sample-size\nsample_count=2\ndata_offset=-8\nfirst_sample_flags=0x2000000\nsamples[\n"
         "{\nsample_duration=10\nsample_size=0\n}\n{\nsample_duration=20\n"
         "sample_size=4294967295\n}\n]\n"},
        {"sidx", "",
         Join({U32(0x01000000), U32(1), U32(1000), U64(0), U64(0xFFFFFFFF00ull), U16(0), U16(1),
               U32(0x80001000), U32(500), U32(0x90000000)}),
         "version=1\nflags=0x0\nreference_ID=1\ntimescale=1000\nearliest_presentation_time=0\n"
         "first_offset=1099511627520\nreference_count=1\nreferences[\n{\nreference_type=1\n"
         "referenced_size=4096\nsubsegment_duration=500\nstarts_with_SAP=1\nSAP_type=1\n"
         "SAP_delta_time=0\n}\n]\n"},
        {"emsg", "",
         Join({U32(0), Text("urn:x"), U8(0), Text("1"), U8(0), U32(90000), U32(0), U32(10), U32(4),
               Text("hi")}),
         "version=0\nflags=0x0\nscheme_id_uri=urn:x\nvalue=1\ntimescale=90000\n"
         "presentation_time_delta=0\nevent_duration=10\nid=4\nmessage_data_size=2\n"},
        {"pssh", "moov", Join({U32(0x01000000), Uuid(0x10), U32(1), Uuid(0xA0), U32(3), Zeros(3)}),
         "version=1\nflags=0x0\nSystemID=10111213-1415-1617-1819-1a1b1c1d1e1f\nKID_count=1\n"
         "KIDs[\n{\nKID=a0a1a2a3-a4a5-a6a7-a8a9-aaabacadaeaf\n}\n]\nDataSize=3\n"},
        {"tenc", "schi", Join({U32(0), U8(0), U8(0), U8(1), U8(8), Uuid(0)}),
         "version=0\nflags=0x0\ndefault_isProtected=1\ndefault_Per_Sample_IV_Size=8\n"
         "default_KID=00010203-0405-0607-0809-0a0b0c0d0e0f\n"},
        {"schm", "sinf", Join({U32(0), Code("cenc"), U32(0x10000)}),
         "version=0\nflags=0x0\nscheme_type=cenc\nscheme_version=0x10000\n"},
        {"frma", "sinf", Code("avc1"), "data_format=avc1\n"},
        {"saiz", "traf", Join({U32(0), U8(0), U32(2), U8(8), U8(16)}),
         "version=0\nflags=0x0\ndefault_sample_info_size=0\nsample_count=2\nentries[\n{\n"
         "sample_info_size=8\n}\n{\nsample_info_size=16\n}\n]\n"},
        {"saio", "traf", Join({U32(0x01000000), U32(1), U64(1ull << 32)}),
         "version=1\nflags=0x0\nentry_count=1\nentries[\n{\noffset=4294967296\n}\n]\n"},
        {"senc", "traf", Join({U32(2), U32(5)}),
         "version=0\nflags=0x2\nflag_names=use-subsample-encryption\nsample_count=5\n"},
        {"pitm", "meta", Join({U32(0), U16(1)}), "version=0\nflags=0x0\nitem_ID=1\n"},
        {"iinf", "meta",
         Join({U32(0), U16(1), U32(21), Code("infe"), U32(0x02000000), U16(1), U16(0), Code("av01"),
               U8(0)}),
         "version=0\nflags=0x0\nentry_count=1\nitems[\n{\nitem_ID=1\nitem_protection_index=0\n"
         "item_type=av01\nitem_name=\n}\n]\n"},
        // Version 1, 8-byte offsets and lengths, an offset past 4 GiB.
        {"iloc", "meta",
         Join({U32(0x01000000), U8(0x88), U8(0x00), U16(1), U16(1), U16(1), U16(0), U16(1),
               U64(0x100000000ull), U64(100)}),
         "version=1\nflags=0x0\noffset_size=8\nlength_size=8\nbase_offset_size=0\nindex_size=0\n"
         "item_count=1\nitems[\n{\nitem_ID=1\nconstruction_method=1\ndata_reference_index=0\n"
         "extent_count=1\nextents[\n{\nextent_offset=4294967296\nextent_length=100\n}\n]\n}\n"
         "]\n"},
        {"ipma", "iprp", Join({U32(0), U32(1), U16(1), U8(2), U8(0x81), U8(0x02)}),
         "version=0\nflags=0x0\nentry_count=1\nitems[\n{\nitem_ID=1\nassociation_count=2\n"
         "associations[\n{\nessential=1\nproperty_index=1\n}\n{\nessential=0\n"
         "property_index=2\n}\n]\n}\n]\n"},
        {"ispe", "ipco", Join({U32(0), U32(640), U32(480)}),
         "version=0\nflags=0x0\nimage_width=640\nimage_height=480\n"},
        {"pixi", "ipco", Join({U32(0), U8(3), U8(8), U8(8), U8(8)}),
         "version=0\nflags=0x0\nnum_channels=3\nchannels[\n{\nbits_per_channel=8\n}\n{\n"
         "bits_per_channel=8\n}\n{\nbits_per_channel=8\n}\n]\n"},
        {"colr", "ipco", Join({Code("nclx"), U16(1), U16(13), U16(6), U8(0x80)}),
         "colour_type=nclx\ncolour_primaries=1\ntransfer_characteristics=13\n"
         "matrix_coefficients=6\nfull_range_flag=1\n"},
        {"auxC", "ipco", Join({U32(0), Text("urn:mpeg:mpegB:cicp:systems:auxiliary:alpha"), U8(0)}),
         "version=0\nflags=0x0\naux_type=urn:mpeg:mpegB:cicp:systems:auxiliary:alpha\n"},
        {"iref", "meta", Join({U32(0), U32(14), Code("auxl"), U16(2), U16(1), U16(1)}),
         "version=0\nflags=0x0\nreferences[\n{\nreference_type=auxl\nfrom_item_ID=2\n"
         "reference_count=1\nto_item_IDs[\n{\nitem_ID=1\n}\n]\n}\n]\n"},
        // iTunes items, the first with a type the tree cannot show.
        {"ilst", "udtameta",
         Join({U32(29), Code("\xA9nam"), U32(21), Code("data"), U32(1), U32(0), Text("Kivra"),
               U32(26), Code("tmpo"), U32(18), Code("data"), U32(21), U32(0), U16(120)}),
         "items[\n{\nitem=\xA9nam\nvalue=Kivra\n}\n{\nitem=tmpo\nvalue=120\n}\n]\n"},
        {"data", "udtametailstaART", Join({U32(1), U32(0), Text("Someone")}),
         "type=1\nlocale=0\nvalue=Someone\n"},
        {"titl", "moovudta", Join({U32(0), U16(0x15C7), Text("Title"), U8(0)}),
         "version=0\nflags=0x0\nlanguage=eng\ntext=Title\n"},
    };
    for (const DecodeCase &c : cases) {
        std::string expected(c.expected);
        std::string got = Decode(c.type, c.payload, FIELD_TABLE_DEFAULT, c.parents);
        EXPECT_EQ(got, expected) << c.type;
    }
}

TEST(FieldsDecode, TypesThatDependOnWhereTheyStand)
{
    const Bytes text = Join({U32(1), U32(0), Text("x")});
    const struct {
        const char *type;
        const char *parents;
        int known;
    } cases[] = {
        {"data", "udtametailstaART", 1}, {"data", "moovudta", 0}, {"data", "", 0},
        {"titl", "moovudta", 1},         {"titl", "moov", 0},     {"name", "trakudta", 1},
        {"name", "ilst----", 0},         {"free", "", 0},         {"moov", "", 0},
    };
    for (const auto &c : cases) {
        int known = -1;
        Decode(c.type, text, FIELD_TABLE_DEFAULT, c.parents, 8, &known);
        EXPECT_EQ(known, c.known) << c.type << " under " << c.parents;
    }
}

TEST(FieldsDecode, TablesShowTheFirstEntriesUnlessAllAreAsked)
{
    Bytes stco = Join({U32(0), U32(12)});
    for (uint32_t i = 0; i < 12; i++)
        stco = Join({stco, U32(1000 + i)});
    std::string shortList = Decode("stco", stco);
    EXPECT_NE(shortList.find("chunk_offset=1004\n}\n]+7\n"), std::string::npos) << shortList;
    EXPECT_EQ(shortList.find("chunk_offset=1005"), std::string::npos);
    std::string all = Decode("stco", stco, FIELD_TABLE_ALL);
    EXPECT_NE(all.find("chunk_offset=1011\n}\n]\n"), std::string::npos) << all;
    std::string none = Decode("stco", stco, 0);
    EXPECT_NE(none.find("entries[\n]+12\n"), std::string::npos) << none;
}

// A count of 2^32 - 1 in a 20-byte box: the entries that are there, then a
// problem at the end of the last whole one; never a read past the payload.
TEST(FieldsDecode, HostileCountsGiveAProblemNotAReadPastThePayload)
{
    const struct {
        const char *type;
        Bytes payload;  // 12 bytes, so the box is 20 bytes long
        const char *problemAt;
    } cases[] = {
        {"stts", Join({U32(0), U32(0xFFFFFFFF), U32(1)}), "! 0x10 stts declares 4294967295"},
        {"stsc", Join({U32(0), U32(0xFFFFFFFF), U32(1)}), "! 0x10 stsc declares 4294967295"},
        {"stsz", Join({U32(0), U32(0), U32(0xFFFFFFFF)}), "! 0x14 stsz declares 4294967295"},
        {"stco", Join({U32(0), U32(0xFFFFFFFF), U32(7)}), "! 0x14 stco declares 4294967295"},
        {"co64", Join({U32(0), U32(0xFFFFFFFF), U32(7)}), "! 0x10 co64 declares 4294967295"},
        {"stss", Join({U32(0), U32(0xFFFFFFFF), U32(7)}), "! 0x14 stss declares 4294967295"},
        {"elst", Join({U32(0), U32(0xFFFFFFFF), U32(7)}), "! 0x10 elst declares 4294967295"},
        {"trun", Join({U32(0x300), U32(0xFFFFFFFF), U32(7)}), "! 0x10 trun declares 4294967295"},
        {"stz2", Join({U32(0), U32(8), U32(0xFFFFFFFF)}), "! 0x14 stz2 declares 4294967295"},
        {"stsd", Join({U32(0), U32(0xFFFFFFFF), U32(7)}), "! 0x10 sample entry 1 of 4294967295"},
        {"pssh", Join({U32(0x01000000), U32(0), U32(0)}), "! 0xC the payload ends in SystemID"},
        {"iloc", Join({U32(0x01000000), U8(0x44), U8(0x40), U16(0xFFFF), U16(1), U16(0)}),
         "! 0x14 the payload ends in data_reference_index"},
        {"ipma", Join({U32(0), U32(0xFFFFFFFF), U16(1), U8(200), U8(1)}),
         "! 0x14 the payload ends in property_index"},
        {"saio", Join({U32(0x01000000), U32(0xFFFFFFFF), U32(0)}),
         "! 0x10 4294967295 entries of 8 bytes"},
    };
    for (const auto &c : cases) {
        ASSERT_EQ(c.payload.size(), 12u) << c.type;
        std::string got = Decode(c.type, c.payload, FIELD_TABLE_ALL);
        EXPECT_NE(got.find(c.problemAt), std::string::npos) << c.type << "\n" << got;
    }
}

// Every prefix of every hand-made box decodes without reading past it (the
// sanitizers watch), keeps its tables balanced, and a payload cut inside a
// fixed field says so.
TEST(FieldsDecode, EveryTruncationIsBoundedAndSaysWhereItEnds)
{
    const struct {
        const char *type;
        Bytes payload;
    } boxes[] = {
        {"mvhd", Join({U32(0x01000000), Zeros(108)})},
        {"tkhd", Join({U32(3), Zeros(80)})},
        {"mdhd", Join({U32(0), Zeros(20)})},
        {"hdlr", Join({U32(0), U32(0), Code("vide"), Zeros(12), Text("V"), U8(0)})},
        {"tfhd", Join({U32(0x3B), U32(1), U64(1), U32(1), U32(1), U32(1), U32(1)})},
        {"trun", Join({U32(0xF05), U32(1), U32(0), U32(0), U32(1), U32(2), U32(3), U32(4)})},
        {"sidx", Join({U32(0), U32(1), U32(1), U32(0), U32(0), U16(0), U16(1), Zeros(12)})},
        {"tenc",
         Join({U32(0x01000000), U8(0), U8(0x19), U8(1), U8(0), Uuid(0), U8(16), Zeros(16)})},
        {"iloc",
         Join({U32(0x01000000), U8(0x44), U8(0x40), U16(1), U16(1), U16(0), U16(0), U32(0), U16(1),
               U32(0), U32(9)})},
        {"stsz", Join({U32(0), U32(0), U32(2), U32(5), U32(6)})},
        {"emsg", Join({U32(0x01000000), U32(1), U64(2), U32(3), U32(4), Text("a"), U8(0)})},
    };
    for (const auto &b : boxes) {
        for (size_t length = 0; length <= b.payload.size(); length++) {
            Bytes prefix(b.payload.begin(), b.payload.begin() + length);
            std::string got = Decode(b.type, prefix, FIELD_TABLE_ALL);
            if (length < 4) {
                EXPECT_NE(got.find("! 0x8 the payload ends in version and flags"),
                          std::string::npos)
                    << b.type << " cut to " << length << "\n"
                    << got;
            }
        }
        std::string whole = Decode(b.type, b.payload, FIELD_TABLE_ALL);
        EXPECT_EQ(whole.find("! "), std::string::npos) << b.type << "\n" << whole;
    }
    // Cut inside a field: the fields before it, then the problem naming it.
    Bytes mdhd = Join({U32(0), U32(1), U32(2), U32(600), U16(0)});
    EXPECT_EQ(Decode("mdhd", mdhd),
              "version=0\nflags=0x0\ncreation_time=1\nmodification_time=2\ntimescale=600\n"
              "! 0x18 the payload ends in duration: 4 bytes needed, 2 left\n");
}

// A protected sample entry: its scheme's boxes, which no walk reaches inside
// the stsd, listed under the entry with their fields. A child whose size
// does not fit ends the list with a problem; every prefix stays bounded.
TEST(FieldsDecode, ProtectedSampleEntryListsItsScheme)
{
    const Bytes tenc = Join({U32(0), U8(0), U8(0), U8(1), U8(8), Uuid(0)});
    const Bytes sinf = Box(
        "sinf",
        Join({Box("frma", Code("avc1")), Box("schm", Join({U32(0), Code("cenc"), U32(0x10000)})),
              Box("schi", Box("tenc", tenc))}));
    // A visual entry: 78 bytes after its header, then its boxes.
    const Bytes fixed = Join({Zeros(6), U16(1), Zeros(16), U16(64), U16(48), Zeros(14), U8(0),
                              Zeros(31), U16(24), U16(0xFFFF)});
    const Bytes entry = Box("encv", Join({fixed, sinf}));
    const Bytes stsd = Join({U32(0), U32(1), entry});
    EXPECT_EQ(Decode("stsd", stsd, FIELD_TABLE_DEFAULT, "stbl"),
              "version=0\nflags=0x0\nentry_count=1\nentries[\n{\noffset=16\nsize=166\n"
              "format=encv\ndata_reference_index=1\nwidth=64\nheight=48\ncompressorname=\n"
              "depth=24\nboxes=sinf\nsinf[\n{\nbox=frma\noffset=110\nsize=12\n"
              "data_format=avc1\n}\n{\nbox=schm\noffset=122\nsize=20\nversion=0\nflags=0x0\n"
              "scheme_type=cenc\nscheme_version=0x10000\n}\n{\nbox=schi\noffset=142\nsize=40\n"
              "boxes[\n{\nbox=tenc\noffset=150\nsize=32\nversion=0\nflags=0x0\n"
              "default_isProtected=1\ndefault_Per_Sample_IV_Size=8\n"
              "default_KID=00010203-0405-0607-0809-0a0b0c0d0e0f\n}\n]\n}\n]\n}\n]\n");
    // schi claims more than the sinf holds.
    Bytes broken = stsd;
    const size_t schiSize = 8 + 8 + fixed.size() + 8 + 12 + 20;
    ASSERT_EQ(std::string(broken.begin() + schiSize + 4, broken.begin() + schiSize + 8), "schi");
    broken[schiSize + 3] = 41;
    std::string got = Decode("stsd", broken, FIELD_TABLE_DEFAULT, "stbl");
    EXPECT_NE(got.find("! 0x8E box size 41 does not fit the 40 bytes left\n"), std::string::npos)
        << got;
    EXPECT_EQ(got.find("box=tenc"), std::string::npos) << got;
    for (size_t length = 0; length < stsd.size(); length++)
        Decode("stsd", Bytes(stsd.begin(), stsd.begin() + length), FIELD_TABLE_ALL, "stbl");
}

// The table views the reference checks read agree with what is printed.
TEST(FieldsDecode, TableViewsReadTheSameEntries)
{
    Bytes stsc = Join({U32(0), U32(2), U32(1), U32(3), U32(1), U32(4), U32(2), U32(1)});
    FlatTable table;
    ASSERT_TRUE(OpenFlatTable(FindFlatTableLayout((const unsigned char *)"stsc"), stsc.data(),
                              stsc.size(), 100, 0, &table));
    EXPECT_EQ(table.count, 2u);
    EXPECT_EQ(table.available, 2u);
    EXPECT_EQ(table.entriesOffset, 108u);
    EXPECT_EQ(FlatTableValue(&table, 1, 0), 4u);
    EXPECT_EQ(FlatTableValue(&table, 1, 1), 2u);

    Bytes trun = Join({U32(0x201), U32(3), U32(16), U32(5), U32(6)});
    TrackRun run;
    ASSERT_TRUE(OpenTrackRun(trun.data(), trun.size(), 0, 0, &run));
    EXPECT_EQ(run.sampleCount, 3u);
    EXPECT_EQ(run.available, 2u);
    EXPECT_EQ(run.dataOffset, 16);
    EXPECT_EQ(TrackRunValue(&run, 1, run.sizeAt), 6u);
}

}  // namespace
