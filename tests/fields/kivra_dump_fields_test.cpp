// kivra-dump --fields end to end on files written by ffmpeg: the field
// lines under their atoms, tables cut to five entries or whole, the JSON
// fields objects, the report of a cut copy, and the layout problems that
// join the report when the fields are decoded.

#ifdef KIVRA_DUMP

#include "tests/fields/real_files.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <string>

namespace {

struct DumpRun {
    int status;
    std::string out;
};

DumpRun Shell(const std::string &command)
{
    DumpRun run;
    run.out = CommandOutput(command, &run.status);
    return run;
}

DumpRun Dump(const std::string &arguments, const std::string &path)
{
    return Shell(std::string("'") + KIVRA_DUMP + "' " + arguments + " '" + path + "' 2>&1");
}

size_t Count(const std::string &text, const std::string &what)
{
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        count++;
    return count;
}

class KivraDumpFields : public ::testing::Test {
protected:
    WrittenFiles files;
    std::string faststart;
    void SetUp() override
    {
        ASSERT_FALSE(files.dir().empty());
        if (!WrittenFiles::HasProgram("ffmpeg"))
            GTEST_SKIP() << "ffmpeg is not installed: the real-file checks are skipped";
        faststart = files.Ffmpeg("faststart.mp4",
                                 "-c:v libx264 -preset ultrafast -c:a aac -movflags +faststart");
        ASSERT_FALSE(faststart.empty());
    }
};

TEST_F(KivraDumpFields, TextShowsFieldLinesUnderTheirAtoms)
{
    DumpRun run = Dump("--no-defs --fields", faststart);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("\n    mvhd (+0x00000028:100[0x64])\n      = version: 0\n"
                           "      = flags: 0x0\n      = creation_time: 0\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("      = next_track_ID: 3\n    trak (+0x"), std::string::npos);
    EXPECT_NE(run.out.find("\n        = width: 64\n        = height: 48\n"), std::string::npos);
    // Ten video samples: five shown, the rest counted.
    EXPECT_NE(run.out.find("= sample_count: 10\n"), std::string::npos);
    EXPECT_NE(run.out.find("= entries: 5 more not shown\n"), std::string::npos);
    // With descriptions, the fields come after them.
    DumpRun described = Dump("--fields", faststart);
    size_t mvhd = described.out.find("mvhd (+0x");
    size_t description = described.out.find("[mvhd]", mvhd);
    size_t field = described.out.find("= version: 0", mvhd);
    EXPECT_LT(description, field);
    // Without --fields, no field line.
    EXPECT_EQ(Dump("--no-defs", faststart).out.find(" = "), std::string::npos);
}

TEST_F(KivraDumpFields, AllShowsEveryEntry)
{
    DumpRun all = Dump("--no-defs --fields=all", faststart);
    EXPECT_EQ(all.status, 0);
    EXPECT_EQ(all.out.find("more not shown"), std::string::npos);
    // 10 video and 45 sound samples (ffprobe's counts for this input), a
    // line each in the two stsz.
    EXPECT_EQ(Count(all.out, ": entry_size "), 55u) << all.out;
}

TEST_F(KivraDumpFields, JsonHasAFieldsObjectPerAtom)
{
    std::string script =
        "import json,sys\n"
        "d=json.load(sys.stdin)[0]\n"
        "def find(atoms,t):\n"
        "  for a in atoms:\n"
        "    if a['type']==t: return a\n"
        "    f=find(a['children'],t)\n"
        "    if f: return f\n"
        "m=find(d['atoms'],'mvhd')['fields']\n"
        "s=find(d['atoms'],'stsz')['fields']\n"
        "print(m['timescale'], m['rate'], type(m['timescale']).__name__, s['sample_count'],"
        " len(s['entries']), s['entries_left_out'], 'fields' in find(d['atoms'],'moov'))\n";
    DumpRun run = Shell(std::string("'") + KIVRA_DUMP + "' --json --fields '" + faststart +
                        "' | python3 -c \"" + script + "\"");
    EXPECT_EQ(run.out, "1000 1 int 10 5 5 False\n");
}

TEST_F(KivraDumpFields, ReportOfACutCopyCountsTheSurvivingSamples)
{
    std::string bytes = ReadTestFile(faststart);
    std::string cut = files.dir() + "/cut.mp4";
    ASSERT_TRUE(WriteTestFile(cut, bytes.data(), bytes.size() - 2000));
    DumpRun report = Dump("--no-defs --fields --quiet", cut);
    EXPECT_EQ(report.status, 3);
    EXPECT_NE(report.out.find(" samples lie past the end of the file; the last whole sample "
                              "ends at 0x"),
              std::string::npos)
        << report.out;
    // --check alone checks the references too: the same report.
    DumpRun checked = Dump("--no-defs --check --quiet", cut);
    EXPECT_EQ(checked.status, 3);
    EXPECT_EQ(checked.out, report.out);
    EXPECT_EQ(Count(checked.out, "[samples-past-end]"), 2u) << checked.out;
    EXPECT_NE(checked.out.find("[cut-short]"), std::string::npos) << checked.out;
    // The complete file's references hold.
    DumpRun whole = Dump("--no-defs --check --quiet", faststart);
    EXPECT_EQ(whole.status, 0) << whole.out;
    // The JSON report carries the same entries.
    DumpRun json = Shell(std::string("'") + KIVRA_DUMP + "' --json --fields --quiet '" + cut +
                         "' | python3 -c \"import json,sys; print(sorted(set(e['reason'] for e in "
                         "json.load(sys.stdin)[0]['report'])))\"");
    EXPECT_EQ(json.out, "['cut-short', 'samples-past-end']\n");
}

// A box too short for what it declares: with the fields decoded, a
// field-layout line in the report; --check alone checks the references only
// and finds nothing here.
TEST(KivraDumpFieldLayout, ReportedWhenTheFieldsAreDecoded)
{
    WrittenFiles files;
    ASSERT_FALSE(files.dir().empty());
    static const unsigned char bytes[] = {
        0, 0, 0, 20, 'f', 't', 'y', 'p', 'i', 's', 'o', 'm', 0, 0, 0, 0, 'i', 's', 'o', 'm',
        // stco: 9 entries declared, 1 there.
        0, 0, 0, 20, 's', 't', 'c', 'o', 0, 0, 0, 0, 0, 0, 0, 9, 0, 0, 0, 100};
    std::string path = files.dir() + "/layout.mp4";
    ASSERT_TRUE(WriteTestFile(path, bytes, sizeof bytes));
    const std::string line = "0x00000028: problem: 'stco' at 0x00000014: stco declares 9 "
                             "entries of 4 bytes; the payload holds 1 of them [field-layout]\n";
    for (const char *arguments : {"--no-defs --fields --check", "--no-defs --fields --quiet"}) {
        DumpRun run = Dump(arguments, path);
        EXPECT_EQ(run.status, 3) << arguments;
        EXPECT_NE(run.out.find(path + ": " + line), std::string::npos) << arguments << run.out;
    }
    DumpRun walk = Dump("--no-defs --check --quiet", path);
    EXPECT_EQ(walk.status, 0);
    EXPECT_EQ(walk.out, path + ": clean\n");
}

}  // namespace

#endif
