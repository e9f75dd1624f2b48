// Checks of the shipped atom.def, read line by line with kivra's own reader.
//
// The file's convention, which these checks hold it to:
//  - every line is printable ASCII (0x20-0x7E), so it reads the same in every
//    code page;
//  - a section is a header line "[name] Title", then one to three description
//    lines, then exactly one empty line; lines before the first header are
//    notes for people editing the file and are never shown;
//  - sections stand in groups: each group opens with one note line
//    "Group: ..." between empty lines, outside any section, so it is never
//    shown; every section belongs to a group;
//  - no line is longer than 100 characters;
//  - so a header line always follows an empty line (or starts the file): a
//    "[" line right under a description line is a description line that
//    would be taken for a header by mistake.
// The lookup compares a name's first four bytes with the atom's type, whose
// bytes are always printable, and any further bytes with the payload.

#include "defs/definition_line.h"
#include "defs/definition_text.h"
#include "platform/executable_path.h"
#include "platform/heap.h"
#include "tests/support/atomdef_text.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <stdio.h>
#include <string>
#include <vector>

namespace {

const size_t maximumBodyLines = 3;
const size_t maximumLineLength = 100;
const char groupNotePrefix[] = "Group: ";

bool IsPrintable(unsigned char byte)
{
    return byte >= 0x20 && byte <= 0x7E;
}

std::string Where(size_t index)
{
    return "line " + std::to_string(index + 1) + ": ";
}

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
    bool seenGroup = false;
    bool inBody = false;  // after a header, before the empty line that ends it
    size_t bodyLines = 0;
    size_t headerIndex = 0;

    auto endSection = [&]() {
        if (inBody && bodyLines == 0)
            problems.push_back(Where(headerIndex) + "section has no description line");
        if (inBody && bodyLines > maximumBodyLines)
            problems.push_back(Where(headerIndex) +
                               "section has more than three description lines");
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
        if (line.size() > maximumLineLength)
            problems.push_back(Where(i) + "line is longer than " +
                               std::to_string(maximumLineLength) + " characters");
        if (line.empty()) {
            if (i > 0 && lines[i - 1].empty())
                problems.push_back(Where(i) + "more than one empty line in a row");
            endSection();
            continue;
        }
        if (line[0] != '[') {
            bool isNote = line.compare(0, sizeof groupNotePrefix - 1, groupNotePrefix) == 0;
            if (inBody) {
                bodyLines++;
            } else if (isNote && (i == 0 || lines[i - 1].empty()) &&
                       (i + 1 == lines.size() || lines[i + 1].empty())) {
                seenGroup = true;
            } else if (isNote) {
                problems.push_back(Where(i) + "group note without an empty line before and after");
            } else if (seenHeader) {
                problems.push_back(Where(i) + "text outside any section is never shown");
            }
            continue;
        }

        // A header line.
        if (inBody)
            problems.push_back(Where(i) +
                               "\"[\" line right under a description line: "
                               "a description starting with \"[\", or a missing empty line");
        endSection();
        if (!seenGroup && !seenHeader)
            problems.push_back(Where(i) + "section before the first group note");
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

// The repository's atom.def, or else the copy the build put beside this test.
bool LoadShippedAtomDef(std::string *text, std::string *path)
{
    *path = std::string(KIVRA_SOURCE_DIR) + "/atom.def";
    if (ReadTestFile(*path, text))
        return true;
    char executable[1024];
    if (!GetExecutablePath(executable, sizeof executable))
        return false;
    *path = executable;
    size_t separator = path->rfind(ExecutablePathSeparator());
    if (separator == std::string::npos)
        return false;
    *path = path->substr(0, separator + 1) + "atom.def";
    return ReadTestFile(*path, text);
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
        {"non-ASCII byte in a body", "Group: G.\n\n[moov] Movie Box\nIn caf\xE9.\n\n", "byte 0xE9",
         1},
        {"tab in a body", "Group: G.\n\n[moov] Movie Box\nA\tB\n\n", "byte 0x09", 1},
        {"name with a byte no type has", "Group: G.\n\n[\xA9nam] Title\nText.\n\n",
         "can never match", 2},
        {"name with a control byte", "Group: G.\n\n[mo\x01v] Movie\nText.\n\n", "can never match",
         2},
        {"duplicate section", "Group: G.\n\n[moov] A\nx\n\n[trak] B\ny\n\n[moov] C\nz\n\n",
         "repeats the one on line 3", 1},
        {"duplicate longer name", "Group: G.\n\n[ftypisom] A\nx\n\n[ftypisom] B\ny\n\n",
         "repeats the one on line 3", 1},
        {"body line starting with [",
         "Group: G.\n\n[moov] Movie Box\nHolds tracks.\n[trak] is its child.\n\n",
         "right under a description line", 2},
        {"missing empty line between sections", "Group: G.\n\n[moov] A\nx\n[trak] B\ny\n\n",
         "right under a description line", 1},
        {"header without description", "Group: G.\n\n[moov] Movie Box\n\n[trak] B\ny\n\n",
         "no description line", 1},
        {"header at the end of the text", "Group: G.\n\n[moov] A\nx\n\n[trak] B\n",
         "no description line", 1},
        {"four description lines", "Group: G.\n\n[moov] A\n1\n2\n3\n4\n\n", "more than three", 1},
        {"stray text after a section", "Group: G.\n\n[moov] A\nx\n\nforgotten\n\n", "never shown",
         1},
        {"no closing bracket", "Group: G.\n\n[moov Movie Box\nx\n\n", "no closing", 1},
        {"no title", "Group: G.\n\n[moov]\nx\n\n", "no title", 1},
        {"empty name", "Group: G.\n\n[] All\nx\n\n", "matches every atom", 1},
        {"section before any group note", "[moov] A\nx\n\nGroup: G.\n\n[trak] B\ny\n\n",
         "before the first group note", 1},
        {"group note inside a run of text", "Group: G.\n\n[moov] A\nx\n\nGroup: H.\nmore\n\n",
         "without an empty line", 2},
        {"two empty lines after a section", "Group: G.\n\n[moov] A\nx\n\n\n[trak] B\ny\n\n",
         "more than one empty line", 1},
        {"line of 101 characters", "Group: G.\n\n[moov] A\n" + std::string(101, 'x') + "\n\n",
         "longer than 100", 1},
    };
    for (const Case &c : cases) {
        std::vector<std::string> problems = CheckDefinitionLines(ReadDefinitionLines(c.text));
        EXPECT_EQ(problems.size(), c.count) << c.what << "\n" << JoinedLines(problems);
        EXPECT_NE(JoinedLines(problems).find(c.expected), std::string::npos)
            << c.what << "\n"
            << JoinedLines(problems);
    }
}

TEST(AtomDefChecks, AFileFollowingTheConventionPasses)
{
    const char *texts[] = {
        "notes for editors\n\nGroup: Boxes.\n\n[moov] Movie Box\nHolds tracks.\n\n"
        "Group: Brands.\n\n[ftypisom] Brand isom\nBaseline.\n\n",
        "Group: A.\r\n\r\n[moov] A\r\n1\r\n2\r\n3\r\n\r\n[mo] Prefix\r\nBoth moov and moof.\r\n",
        "Group: Codes with blanks.\n\n[url ] Data Entry URL Box\nA type with a blank.\n\n"
        "[.10] Text\nPrefix of three.\n\n",
        // The longest line allowed.
        "Group: G.\n\n[moov] "
        "A\nxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"
        "xxxxxxxxxxxxxxxxxxxxxxxx\n\n",
    };
    for (const char *text : texts)
        EXPECT_EQ(JoinedLines(CheckDefinitionLines(ReadDefinitionLines(text))), "") << text;
}

class ShippedAtomDef : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(LoadShippedAtomDef(&text, &path)) << "atom.def not found, last tried " << path;
        lines = ReadDefinitionLines(text);
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
    EXPECT_EQ(JoinedLines(CheckDefinitionLines(lines)), "") << path;
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
        "ftyp",     "moov",     "mvhd",     "trak",     "tkhd",     "edts",     "elst",
        "mdia",     "mdhd",     "hdlr",     "minf",     "vmhd",     "smhd",     "dinf",
        "dref",     "url ",     "stbl",     "stsd",     "stts",     "ctts",     "stsc",
        "stsz",     "stco",     "co64",     "stss",     "sdtp",     "sbgp",     "sgpd",
        "subs",     "mdat",     "free",     "skip",     "udta",     "meta",     "trgr",
        "tref",     "moof",     "mfhd",     "traf",     "tfhd",     "tfdt",     "trun",
        "mfra",     "tfra",     "mfro",     "mvex",     "trex",     "sidx",     "ssix",
        "prft",     "emsg",     "styp",     "iinf",     "infe",     "iloc",     "iref",
        "pitm",     "iprp",     "ipco",     "ipma",     "idat",     "grpl",     "pssh",
        "tenc",     "senc",     "saio",     "saiz",     "schm",     "schi",     "sinf",
        "frma",     "esds",     "iods",     "avc1",     "avcC",     "hvc1",     "hev1",
        "hvcC",     "vvc1",     "vvcC",     "av01",     "av1C",     "vp09",     "vpcC",
        "btrt",     "pasp",     "colr",     "clap",     "mp4a",     "mp4v",     "s263",
        "d263",     "samr",     "damr",     "sevc",     "sqcp",     "titl",     "dscp",
        "perf",     "auth",     "gnre",     "albm",     "yrrc",     "loci",     "kywd",
        "rtng",     "clsf",     "wide",     "tmcd",     "gmhd",     "gmin",     "load",
        "clip",     "ctab",     "tapt",     "keys",     "ilst",     "trkn",     "disk",
        "covr",     "data",     "mean",     "name",     "----",     "ispe",     "pixi",
        "irot",     "imir",     "auxC",     "roll",     "mhlr",     "dhlr",     "ftypisom",
        "ftypmp41", "ftypmp42", "ftyp3gp4", "ftyp3g2a", "ftypqt  ", "ftypM4A ", "ftypM4V ",
        "ftypheic", "ftypmif1", "ftypavif",
    };
    for (const char *name : required)
        EXPECT_EQ(names.count(name), 1u) << "[" << name << "] missing from " << path;
}

// ---------------------------------------------------------------------------
// Registry coverage: every code of the MP4 registration authority's lists
// that the byte walk can show (box-family codes, matched by a section of that
// exact name), every brand (matched by [ftypXXXX]) and every sample entry
// type is described, or named in the left-out list with the reason.

const char kBrandsFile[] = "brands";
// Sample entry types: stsd's entry count comes before its entries, so they
// seldom show as atoms and have no mark of their own.
bool IsSampleEntryFile(const std::string &file)
{
    return file == "sample-entries" || file == "sample-entries-qt";
}
const double kCoverageMark = 0.95;

struct RegistryCode {
    std::string file;  // the registry data file, without .csv
    std::string code;  // four bytes, blanks decoded
};

struct LeftOutCode {
    std::string file;
    std::string code;
    std::string reason;
};

// Lines "file code" or "file code reason..."; "#" lines and empty lines are
// comments. A line without a code is reported.
bool ParseCodeLine(const std::string &line, std::string *file, std::string *code, std::string *rest)
{
    size_t first = line.find(' ');
    if (first == std::string::npos || first == 0)
        return false;
    size_t second = line.find(' ', first + 1);
    *file = line.substr(0, first);
    *code = DecodeRegistryCode(line.substr(
        first + 1, second == std::string::npos ? std::string::npos : second - first - 1));
    *rest = second == std::string::npos ? "" : line.substr(second + 1);
    return !code->empty();
}

bool IsCommentLine(const std::string &line)
{
    return line.empty() || line[0] == '#';
}

std::vector<RegistryCode> ParseRegistryCodes(const std::vector<std::string> &lines,
                                             std::vector<std::string> *problems)
{
    std::vector<RegistryCode> codes;
    for (size_t i = 0; i < lines.size(); i++) {
        if (IsCommentLine(lines[i]))
            continue;
        std::string file, code, rest;
        if (!ParseCodeLine(lines[i], &file, &code, &rest) || !rest.empty())
            problems->push_back("registry list " + Where(i) + "not \"file code\"");
        else
            codes.push_back({file, code});
    }
    return codes;
}

std::vector<LeftOutCode> ParseLeftOutCodes(const std::vector<std::string> &lines,
                                           std::vector<std::string> *problems)
{
    std::vector<LeftOutCode> codes;
    for (size_t i = 0; i < lines.size(); i++) {
        if (IsCommentLine(lines[i]))
            continue;
        std::string file, code, reason;
        if (!ParseCodeLine(lines[i], &file, &code, &reason))
            problems->push_back("left-out list " + Where(i) + "not \"file code reason\"");
        else if (reason.empty())
            problems->push_back("left-out list " + Where(i) + code + " has no reason");
        else
            codes.push_back({file, code, reason});
    }
    return codes;
}

// The section name that describes a code of the given registry file.
std::string SectionFor(const RegistryCode &code)
{
    return code.file == kBrandsFile ? "ftyp" + code.code : code.code;
}

struct Coverage {
    std::set<std::string> boxCodes, boxDescribed;      // distinct codes of the box family
    std::set<std::string> brandCodes, brandDescribed;  // distinct brands
    std::set<std::string> entryCodes, entryDescribed;  // distinct sample entry types
    std::vector<std::string> problems;
};

Coverage CheckRegistryCoverage(const std::set<std::string> &sections,
                               const std::vector<RegistryCode> &codes,
                               const std::vector<LeftOutCode> &leftOut)
{
    Coverage c;
    std::set<std::string> leftOutKeys, listedKeys;
    for (const LeftOutCode &l : leftOut)
        leftOutKeys.insert(l.file + " " + l.code);
    std::set<std::string> reported;
    for (const RegistryCode &code : codes) {
        bool brand = code.file == kBrandsFile;
        bool entry = IsSampleEntryFile(code.file);
        std::string key = code.file + " " + code.code;
        listedKeys.insert(key);
        bool described = sections.count(SectionFor(code)) != 0;
        (brand ? c.brandCodes : entry ? c.entryCodes : c.boxCodes).insert(code.code);
        if (described)
            (brand       ? c.brandDescribed
                 : entry ? c.entryDescribed
                         : c.boxDescribed)
                .insert(code.code);
        if (!described && leftOutKeys.count(key) == 0 && reported.insert(key).second)
            c.problems.push_back(key + ": neither described nor listed as left out");
    }
    for (const LeftOutCode &l : leftOut) {
        std::string key = l.file + " " + l.code;
        if (listedKeys.count(key) == 0)
            c.problems.push_back(key + ": listed as left out but not a code of the registry list");
        else if (sections.count(SectionFor({l.file, l.code})) != 0)
            c.problems.push_back(key + ": listed as left out but described");
    }
    return c;
}

std::set<std::string> SectionNames(const std::vector<std::string> &lines)
{
    std::set<std::string> names;
    for (const std::string &line : lines)
        if (!line.empty() && line[0] == '[')
            names.insert(SectionName(line));
    return names;
}

TEST(RegistryCoverage, EachGapInAFixtureIsReported)
{
    const std::set<std::string> sections = {"moov", "url ", "ftypisom", "tref"};
    struct Case {
        const char *what;
        std::vector<std::string> codes;     // registry list lines
        std::vector<std::string> leftOut;   // left-out list lines
        std::vector<std::string> expected;  // the problems, in order
    };
    const Case cases[] = {
        {"all described, blank written as $20",
         {"boxes moov", "boxes url$20", "brands isom"},
         {},
         {}},
        {"a box code that no section names",
         {"boxes moov", "boxes trak"},
         {},
         {"boxes trak: neither described nor listed as left out"}},
        {"a brand is looked up as ftyp plus the brand",
         {"brands isom", "brands mp42"},
         {},
         {"brands mp42: neither described nor listed as left out"}},
        {"a brand code named like a box is not a brand section",
         {"brands moov"},
         {},
         {"brands moov: neither described nor listed as left out"}},
        {"left out with its reason", {"boxes trak"}, {"boxes trak not met in files"}, {}},
        {"left out from another file does not count",
         {"boxes trak"},
         {"sample-groups trak some reason"},
         {"boxes trak: neither described nor listed as left out",
          "sample-groups trak: listed as left out but not a code of the registry list"}},
        {"left out but described after all",
         {"boxes moov"},
         {"boxes moov stale"},
         {"boxes moov: listed as left out but described"}},
        {"a code listed twice is reported once",
         {"boxes trak", "boxes trak"},
         {},
         {"boxes trak: neither described nor listed as left out"}},
        {"one code in two files, described once", {"boxes tref", "track-references tref"}, {}, {}},
    };
    for (const Case &c : cases) {
        std::vector<std::string> problems;
        std::vector<RegistryCode> codes = ParseRegistryCodes(c.codes, &problems);
        std::vector<LeftOutCode> leftOut = ParseLeftOutCodes(c.leftOut, &problems);
        Coverage coverage = CheckRegistryCoverage(sections, codes, leftOut);
        problems.insert(problems.end(), coverage.problems.begin(), coverage.problems.end());
        EXPECT_EQ(JoinedLines(problems), JoinedLines(c.expected)) << c.what;
    }
}

TEST(RegistryCoverage, MalformedListLinesAreReported)
{
    std::vector<std::string> problems;
    std::vector<RegistryCode> codes =
        ParseRegistryCodes({"# comment", "", "boxes", "boxes moov extra", "boxes moov"}, &problems);
    std::vector<LeftOutCode> leftOut = ParseLeftOutCodes({"boxes trak", "trak"}, &problems);
    EXPECT_EQ(JoinedLines(problems),
              "registry list line 3: not \"file code\"\n"
              "registry list line 4: not \"file code\"\n"
              "left-out list line 1: trak has no reason\n"
              "left-out list line 2: not \"file code reason\"\n");
    ASSERT_EQ(codes.size(), 1u);
    EXPECT_EQ(codes[0].code, "moov");
    EXPECT_TRUE(leftOut.empty());
}

TEST(RegistryCoverage, CountsDistinctCodesAgainstTheMarks)
{
    std::vector<std::string> problems;
    std::vector<RegistryCode> codes = ParseRegistryCodes(
        {"boxes moov", "track-references moov", "boxes trak", "brands isom", "brands mp42",
         "sample-entries avc1", "sample-entries-qt avc1", "sample-entries-qt rpza"},
        &problems);
    std::vector<LeftOutCode> leftOut = ParseLeftOutCodes(
        {"boxes trak reason", "brands mp42 reason", "sample-entries-qt rpza reason"}, &problems);
    Coverage c = CheckRegistryCoverage({"moov", "ftypisom", "avc1"}, codes, leftOut);
    EXPECT_EQ(JoinedLines(problems) + JoinedLines(c.problems), "");
    EXPECT_EQ(c.boxCodes.size(), 2u);
    EXPECT_EQ(c.boxDescribed.size(), 1u);
    EXPECT_EQ(c.brandCodes.size(), 2u);
    EXPECT_EQ(c.brandDescribed.size(), 1u);
    EXPECT_EQ(c.entryCodes.size(), 2u);
    EXPECT_EQ(c.entryDescribed.size(), 1u);
}

bool ReadListFile(const char *name, std::vector<std::string> *lines, std::string *path)
{
    std::string text;
    if (!ReadSourceFile(std::string("tests/data/") + name, &text, path))
        return false;
    *lines = ReadDefinitionLines(text);
    return true;
}

TEST_F(ShippedAtomDef, DescribesTheRegistryCodesOrNamesThoseLeftOut)
{
    std::vector<std::string> codeLines, leftOutLines;
    std::string codesPath, leftOutPath;
    bool haveCodes = ReadListFile("mp4ra-codes.txt", &codeLines, &codesPath);
    bool haveLeftOut = ReadListFile("atomdef-left-out.txt", &leftOutLines, &leftOutPath);
#ifdef _WIN32
    // Under Wine the source tree may not be reachable; the native run checks it.
    if (!haveCodes || !haveLeftOut)
        GTEST_SKIP() << "source tree not reachable from here: " << codesPath;
#endif
    ASSERT_TRUE(haveCodes) << codesPath;
    ASSERT_TRUE(haveLeftOut) << leftOutPath;
    std::vector<std::string> problems;
    std::vector<RegistryCode> codes = ParseRegistryCodes(codeLines, &problems);
    std::vector<LeftOutCode> leftOut = ParseLeftOutCodes(leftOutLines, &problems);
    Coverage c = CheckRegistryCoverage(SectionNames(lines), codes, leftOut);
    problems.insert(problems.end(), c.problems.begin(), c.problems.end());
    EXPECT_EQ(JoinedLines(problems), "") << path;

    // The list is the whole registry snapshot, not a part of it.
    EXPECT_EQ(c.boxCodes.size(), 599u) << codesPath;
    EXPECT_EQ(c.brandCodes.size(), 280u) << codesPath;
    EXPECT_EQ(c.entryCodes.size(), 241u) << codesPath;
    EXPECT_GE((double)c.boxDescribed.size(), kCoverageMark * (double)c.boxCodes.size())
        << c.boxDescribed.size() << " of " << c.boxCodes.size() << " box-family codes";
    EXPECT_GE((double)c.brandDescribed.size(), kCoverageMark * (double)c.brandCodes.size())
        << c.brandDescribed.size() << " of " << c.brandCodes.size() << " brands";
    std::string summary = "atom.def describes " + std::to_string(c.boxDescribed.size()) + " of " +
        std::to_string(c.boxCodes.size()) + " box-family codes, " +
        std::to_string(c.brandDescribed.size()) + " of " + std::to_string(c.brandCodes.size()) +
        " brands and " + std::to_string(c.entryDescribed.size()) + " of " +
        std::to_string(c.entryCodes.size()) + " sample entry types";
    printf("%s\n", summary.c_str());
}

}  // namespace
