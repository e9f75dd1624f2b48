// The text and JSON printers of fields: a field per line or member, tables
// one entry a line or an array, left-out entries and problems.

#include "fields/box_fields.h"
#include "fields/field_printers.h"
#include "tests/fields/field_bytes.h"

#include <gtest/gtest.h>

#include <string.h>
#include <string>

namespace {

void AppendToString(void *context, const char *bytes, size_t count)
{
    ((std::string *)context)->append(bytes, count);
}

FieldBox MakeBox(const char *type, const Bytes &payload)
{
    FieldBox box;
    memcpy(box.type, type, 4);
    box.payload = payload.data();
    box.payloadSize = payload.size();
    box.payloadOffset = 0x100;
    box.parentTypes = 0;
    box.parentCount = 0;
    return box;
}

std::string AsText(const char *type, const Bytes &payload, uint64_t limit)
{
    std::string out;
    FieldTextPrinter printer;
    InitFieldTextPrinter(&printer, AppendToString, &out, 4);
    FieldBox box = MakeBox(type, payload);
    DecodeBoxFields(&box, limit, &printer.sink);
    return out;
}

std::string AsJson(const char *type, const Bytes &payload, uint64_t limit)
{
    std::string out;
    FieldJsonPrinter printer;
    InitFieldJsonPrinter(&printer, AppendToString, &out);
    FieldBox box = MakeBox(type, payload);
    DecodeBoxFields(&box, limit, &printer.sink);
    FinishFieldJsonPrinter(&printer);
    return out;
}

const Bytes stts = Join({U32(0), U32(3), U32(1), U32(10), U32(2), U32(20), U32(3), U32(30)});

TEST(FieldPrinters, TextShowsAFieldALineAndAnEntryALine)
{
    EXPECT_EQ(AsText("stts", stts, 2),
              "    = version: 0\n"
              "    = flags: 0x0\n"
              "    = entry_count: 3\n"
              "    = entries[1]: sample_count 1, sample_delta 10\n"
              "    = entries[2]: sample_count 2, sample_delta 20\n"
              "    = entries: 1 more not shown\n");
    // Text in quotes with its odd bytes escaped; fixed point in decimal.
    Bytes hdlr = Join({U32(0), U32(0), Code("vide"), Zeros(12), Text("a\"b\x01"), U8(0)});
    EXPECT_EQ(AsText("hdlr", hdlr, 5),
              "    = version: 0\n    = flags: 0x0\n"
              "    = pre_defined: 0\n    = handler_type: \"vide\"\n"
              "    = name: \"a\\\"b\\x01\"\n");
}

TEST(FieldPrinters, TextPutsTablesInsideEntriesInBrackets)
{
    Bytes ipma = Join({U32(0), U32(2), U16(1), U8(2), U8(0x81), U8(0x02), U16(2), U8(0)});
    EXPECT_EQ(AsText("ipma", ipma, 5),
              "    = version: 0\n    = flags: 0x0\n    = entry_count: 2\n"
              "    = items[1]: item_ID 1, association_count 2, associations [essential 1, "
              "property_index 1; essential 0, property_index 2]\n"
              "    = items[2]: item_ID 2, association_count 0, associations []\n");
}

TEST(FieldPrinters, TextSaysWhereThePayloadEnds)
{
    Bytes mdhd = Join({U32(0), U32(1), U32(2), U32(600), U16(0)});
    EXPECT_EQ(
        AsText("mdhd", mdhd, 5),
        "    = version: 0\n    = flags: 0x0\n    = creation_time: 1\n"
        "    = modification_time: 2\n    = timescale: 600\n"
        "    = problem at 0x00000110: the payload ends in duration: 4 bytes needed, 2 left\n");
}

TEST(FieldPrinters, JsonGivesNumbersArraysAndWhatWasLeftOut)
{
    EXPECT_EQ(AsJson("stts", stts, 2),
              "{\"version\":0,\"flags\":0,\"entry_count\":3,\"entries\":[{\"sample_count\":1,"
              "\"sample_delta\":10},{\"sample_count\":2,\"sample_delta\":20}],"
              "\"entries_left_out\":1}");
    Bytes tkhd = Join({U32(0x01000003), Zeros(16), U32(1), U32(0), U64(5), Zeros(8), U16(0), U16(0),
                       U16(0x0100), U16(0), Zeros(36), U32(0x00018000), U32(1u << 16)});
    std::string json = AsJson("tkhd", tkhd, 5);
    EXPECT_NE(json.find("\"flag_names\":\"enabled in-movie\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"volume\":1,\"width\":1.5,\"height\":1}"), std::string::npos) << json;
    Bytes cut = Join({U32(0), U32(9), U32(1)});
    EXPECT_EQ(AsJson("stco", cut, 5),
              "{\"version\":0,\"flags\":0,\"entry_count\":9,\"entries\":[{\"chunk_offset\":1}],"
              "\"problem\":{\"offset\":268,\"text\":\"stco declares 9 entries of 4 bytes; the "
              "payload holds 1 of them\"}}");
    // Bytes outside printable ASCII, one escape each.
    Bytes frma = Code("a\xA9\"\x00");
    EXPECT_EQ(AsJson("frma", frma, 5), "{\"data_format\":\"a\\u00A9\\\"\\u0000\"}");
}

}  // namespace
