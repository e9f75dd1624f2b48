// Checks of the shipped atom.def, read line by line with kivra's own reader.
//
// The file's convention, which these checks hold it to:
//  - every line is printable ASCII (0x20-0x7E), so it reads the same in every
//    code page;
//  - a section is a header line "[name] Title", then one to four description
//    lines, then one empty line; lines before the first header are notes for
//    people editing the file and are never shown;
//  - so a header line always follows an empty line (or starts the file): a
//    "[" line right under a description line is a description line that
//    would be taken for a header by mistake.
// The lookup compares a name's first four bytes with the atom's type, whose
// bytes are always printable, and any further bytes with the payload.

#include "defs/definition_line.h"
#include "defs/definition_text.h"
#include "platform/executable_path.h"
#include "platform/heap.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <stdio.h>
#include <string>
#include <vector>

namespace {

const size_t maximumBodyLines = 4;

// Splits text into lines with ReadDefinitionLine, as the program reads it.
std::vector<std::string> ReadLines(const std::string &text)
{
    std::vector<std::string> lines;
    char *copy = (char *)HeapAllocBlock(text.size() + 1);
    if (copy == nullptr)
        return lines;
    for (size_t i = 0; i < text.size(); i++)
        copy[i] = text[i];
    copy[text.size()] = '\0';
    const char *cursor = copy;
    while (char *line = ReadDefinitionLine(&cursor)) {
        lines.push_back(line);
        HeapFreeBlock(line);
    }
    HeapFreeBlock(copy);
    return lines;
}

bool IsPrintable(unsigned char byte) { return byte >= 0x20 && byte <= 0x7E; }

std::string Where(size_t index) { return "line " + std::to_string(index + 1) + ": "; }

// The section name of a header line: the bytes after "[" up to the first "]".
std::string SectionName(const std::string &header)
{
    size_t close = header.find(']');
    return header.substr(1, close == std::string::npos ? std::string::npos : close - 1);
}

// Every breach of the convention above, one message per finding.
std::vector<std::string> CheckDefinitionLines(const std::vector<std::string> &lines)
{
    std::vector<std::string> problems;
    std::map<std::string, size_t> firstHeaderLine;
    bool seenHeader = false;
    bool inBody = false;      // after a header, before the empty line that ends it
    size_t bodyLines = 0;
    size_t headerIndex = 0;

    auto endSection = [&]() {
        if (inBody && bodyLines == 0)
            problems.push_back(Where(headerIndex) + "section has no description line");
        if (inBody && bodyLines > maximumBodyLines)
            problems.push_back(Where(headerIndex) + "section has more than four description lines");
        inBody = false;
    };

    for (size_t i = 0; i < lines.size(); i++) {
        const std::string &line = lines[i];
        for (unsigned char byte : line) {
            if (!IsPrintable(byte)) {
                char hex[8];
                snprintf(hex, sizeof hex, "0x%02X", byte);
                problems.push_back(Where(i) + "byte " + hex + " is not printable ASCII");
                break;
            }
        }
        if (line.empty()) {
            endSection();
            continue;
        }
        if (line[0] != '[') {
            if (inBody)
                bodyLines++;
            else if (seenHeader)
                problems.push_back(Where(i) + "text outside any section is never shown");
            continue;
        }

        // A header line.
        if (inBody)
            problems.push_back(Where(i) + "\"[\" line right under a description line: "
                               "a description starting with \"[\", or a missing empty line");
        endSection();
        seenHeader = true;
        inBody = true;
        bodyLines = 0;
        headerIndex = i;

        std::string name = SectionName(line);
        size_t close = line.find(']');
        if (close == std::string::npos)
            problems.push_back(Where(i) + "header has no closing \"]\"");
        else if (close + 2 > line.size() || line[close + 1] != ' ')
            problems.push_back(Where(i) + "header has no title after \"] \"");
        if (name.empty())
            problems.push_back(Where(i) + "empty name matches every atom");
        for (size_t k = 0; k < name.size() && k < 4; k++) {
            if (!IsPrintable((unsigned char)name[k])) {
                problems.push_back(Where(i) + "name [" + name +
                                   "] can never match: atom types are printable");
                break;
            }
        }
        auto earlier = firstHeaderLine.find(name);
        if (earlier != firstHeaderLine.end())
            problems.push_back(Where(i) + "section [" + name + "] repeats the one on line " +
                               std::to_string(earlier->second + 1));
        else
            firstHeaderLine[name] = i;
    }
    endSection();
    return problems;
}

bool ReadWholeFile(const std::string &path, std::string *out)
{
    FILE *f = fopen(path.c_str(), "rb");
    if (f == nullptr)
        return false;
    char chunk[4096];
    size_t got;
    out->clear();
    while ((got = fread(chunk, 1, sizeof chunk, f)) > 0)
        out->append(chunk, got);
    fclose(f);
    return true;
}

// The repository's atom.def, or else the copy the build put beside this test.
bool LoadShippedAtomDef(std::string *text, std::string *path)
{
    *path = std::string(KIVRA_SOURCE_DIR) + "/atom.def";
    if (ReadWholeFile(*path, text))
        return true;
    char executable[1024];
    if (!GetExecutablePath(executable, sizeof executable))
        return false;
    *path = executable;
    size_t separator = path->rfind(ExecutablePathSeparator());
    if (separator == std::string::npos)
        return false;
    *path = path->substr(0, separator + 1) + "atom.def";
    return ReadWholeFile(*path, text);
}

std::string Joined(const std::vector<std::string> &problems)
{
    std::string out;
    for (const std::string &p : problems)
        out += p + "\n";
    return out;
}

TEST(AtomDefChecks, EachFaultInAFixtureIsReported)
{
    struct Case {
        const char *what;
        std::string text;
        const char *expected;  // a part of one of the messages
        size_t count;          // how many messages in all
    };
    const Case cases[] = {
        {"non-ASCII byte in a body", "[moov] Movie Box\nIn caf\xE9.\n\n", "byte 0xE9", 1},
        {"tab in a body", "[moov] Movie Box\nA\tB\n\n", "byte 0x09", 1},
        {"name with a byte no type has", "[\xA9nam] Title\nText.\n\n", "can never match", 2},
        {"name with a control byte", "[mo\x01v] Movie\nText.\n\n", "can never match", 2},
        {"duplicate section", "[moov] A\nx\n\n[trak] B\ny\n\n[moov] C\nz\n\n", "repeats the one on line 1", 1},
        {"duplicate longer name", "[ftypisom] A\nx\n\n[ftypisom] B\ny\n\n", "repeats the one on line 1", 1},
        {"body line starting with [", "[moov] Movie Box\nHolds tracks.\n[trak] is its child.\n\n",
         "right under a description line", 2},
        {"missing empty line between sections", "[moov] A\nx\n[trak] B\ny\n\n",
         "right under a description line", 1},
        {"header without description", "[moov] Movie Box\n\n[trak] B\ny\n\n", "no description line", 1},
        {"header at the end of the text", "[moov] A\nx\n\n[trak] B\n", "no description line", 1},
        {"five description lines", "[moov] A\n1\n2\n3\n4\n5\n\n", "more than four", 1},
        {"stray text after a section", "[moov] A\nx\n\nforgotten\n\n", "never shown", 1},
        {"no closing bracket", "[moov Movie Box\nx\n\n", "no closing", 1},
        {"no title", "[moov]\nx\n\n", "no title", 1},
        {"empty name", "[] All\nx\n\n", "matches every atom", 1},
    };
    for (const Case &c : cases) {
        std::vector<std::string> problems = CheckDefinitionLines(ReadLines(c.text));
        EXPECT_EQ(problems.size(), c.count) << c.what << "\n" << Joined(problems);
        EXPECT_NE(Joined(problems).find(c.expected), std::string::npos) << c.what << "\n" << Joined(problems);
    }
}

TEST(AtomDefChecks, AFileFollowingTheConventionPasses)
{
    const char *texts[] = {
        "notes for editors\n\n[moov] Movie Box\nHolds tracks.\n\n[ftypisom] Brand isom\nBaseline.\n\n",
        "[moov] A\r\n1\r\n2\r\n3\r\n4\r\n\r\n\r\n[mo] Prefix\r\nBoth moov and moof.\r\n",
        "[url ] Data Entry URL Box\nA type with a blank.\n\n[.10] Text\nPrefix of three.\n\n",
    };
    for (const char *text : texts)
        EXPECT_EQ(Joined(CheckDefinitionLines(ReadLines(text))), "") << text;
}

class ShippedAtomDef : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(LoadShippedAtomDef(&text, &path)) << "atom.def not found, last tried " << path;
        lines = ReadLines(text);
        ASSERT_FALSE(lines.empty()) << path;
    }
    std::string text;
    std::string path;
    std::vector<std::string> lines;
};

TEST_F(ShippedAtomDef, FollowsTheConvention)
{
    // A NUL would hide the rest of the file from the program.
    EXPECT_EQ(text.find('\0'), std::string::npos) << path;
    EXPECT_EQ(Joined(CheckDefinitionLines(lines)), "") << path;
}

TEST_F(ShippedAtomDef, DescribesAtLeast250BoxTypes)
{
    std::set<std::string> types;
    for (const std::string &line : lines) {
        std::string name = line.empty() || line[0] != '[' ? "" : SectionName(line);
        if (name.size() >= 4)
            types.insert(name.substr(0, 4));
    }
    EXPECT_GE(types.size(), 250u) << path;
}

TEST_F(ShippedAtomDef, DescribesTheBoxesEveryViewerMeets)
{
    std::set<std::string> names;
    for (const std::string &line : lines)
        if (!line.empty() && line[0] == '[')
            names.insert(SectionName(line));
    const char *required[] = {
        "ftyp", "moov", "mvhd", "trak", "tkhd", "edts", "elst", "mdia", "mdhd", "hdlr",
        "minf", "vmhd", "smhd", "dinf", "dref", "url ", "stbl", "stsd", "stts", "ctts",
        "stsc", "stsz", "stco", "co64", "stss", "sdtp", "sbgp", "sgpd", "subs", "mdat",
        "free", "skip", "udta", "meta", "trgr", "tref",
        "moof", "mfhd", "traf", "tfhd", "tfdt", "trun", "mfra", "tfra", "mfro", "mvex",
        "trex", "sidx", "ssix", "prft", "emsg", "styp",
        "iinf", "infe", "iloc", "iref", "pitm", "iprp", "ipco", "ipma", "idat", "grpl",
        "pssh", "tenc", "senc", "saio", "saiz", "schm", "schi", "sinf", "frma",
        "esds", "iods", "avc1", "avcC", "hvc1", "hev1", "hvcC", "vvc1", "vvcC", "av01",
        "av1C", "vp09", "vpcC", "btrt", "pasp", "colr", "clap", "mp4a", "mp4v",
        "s263", "d263", "samr", "damr", "sevc", "sqcp", "titl", "dscp", "perf", "auth",
        "gnre", "albm", "yrrc", "loci", "kywd", "rtng", "clsf",
        "wide", "tmcd", "gmhd", "gmin", "load", "clip", "ctab", "tapt", "keys", "ilst",
        "trkn", "disk", "covr", "data", "mean", "name", "----",
        "ispe", "pixi", "irot", "imir", "auxC",
        "roll", "mhlr", "dhlr",
        "ftypisom", "ftypmp41", "ftypmp42", "ftyp3gp4", "ftyp3g2a", "ftypqt  ",
        "ftypM4A ", "ftypM4V ", "ftypheic", "ftypmif1", "ftypavif",
    };
    for (const char *name : required)
        EXPECT_EQ(names.count(name), 1u) << "[" << name << "] missing from " << path;
}

}  // namespace
