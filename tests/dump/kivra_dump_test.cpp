// kivra-dump end to end: files written by ffmpeg at test time, checked
// against an independent reading of their bytes, and the tool's command line.

#include "atoms/atom_walk.h"
#include "tests/support/reference_atom_walk.h"

#include <gtest/gtest.h>

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct RunResult {
    int status;
    std::string out;
    std::string err;
};

std::string Quote(const std::string &s)
{
    std::string q = "'";
    for (char c : s) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

std::string ReadFile(const std::string &path)
{
    std::string out;
    FILE *f = fopen(path.c_str(), "rb");
    if (!f)
        return out;
    char chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, f)) > 0)
        out.append(chunk, got);
    fclose(f);
    return out;
}

class TempDirectory {
public:
    TempDirectory()
    {
        char pattern[] = "/tmp/kivra-dump-test-XXXXXX";
        path_ = mkdtemp(pattern) ? pattern : "";
    }
    ~TempDirectory()
    {
        if (!path_.empty())
            (void)system(("rm -rf " + Quote(path_)).c_str());
    }
    const std::string &path() const { return path_; }

private:
    std::string path_;
};

RunResult RunCommand(const std::string &command, const std::string &errPath)
{
    RunResult run;
    FILE *pipe = popen((command + " 2>" + Quote(errPath)).c_str(), "r");
    char chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, pipe)) > 0)
        run.out.append(chunk, got);
    int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = ReadFile(errPath);
    return run;
}

RunResult Dump(const TempDirectory &dir, const std::vector<std::string> &args)
{
    std::string command = Quote(KIVRA_DUMP);
    for (const std::string &a : args)
        command += " " + Quote(a);
    return RunCommand(command, dir.path() + "/stderr.txt");
}

// The tree kivra-dump --no-defs should print, from the shared reference
// reading of the bytes.
std::string ReferenceDump(const std::string &path)
{
    std::string file = ReadFile(path);
    std::string out = path + "\n";
    const ReferenceReading reading =
        ReadAtomsForReference((const unsigned char *)file.data(), (uint32_t)file.size(), ATOM_WALK_DEPTH_LIMIT);
    for (const ReferenceAtom &atom : reading.atoms) {
        out.append(2 * atom.depth, ' ');
        out += ReferenceLabel(atom) + "\n";
    }
    return out;
}

// The labels' types of the items directly under the root, in order.
std::vector<std::string> TopLevelTypes(const std::string &dump)
{
    std::vector<std::string> types;
    size_t at = 0;
    while ((at = dump.find("\n  ", at)) != std::string::npos) {
        at += 3;
        if (dump[at] != ' ')
            types.push_back(dump.substr(at, 4));
    }
    return types;
}

struct FfmpegFile {
    const char *name;
    const char *arguments;  // between the inputs and the output file
    std::vector<std::string> topLevel;
    const char *brandSection;  // a section that matches this file's ftyp brand
    std::vector<std::string> mustContain;
};

const char *const videoAndSound =
    "-f lavfi -i testsrc=size=64x48:rate=10:duration=1 -f lavfi -i sine=frequency=440:duration=1";

class KivraDumpOnFfmpegFiles : public ::testing::Test {
protected:
    TempDirectory dir;
    void SetUp() override
    {
        ASSERT_FALSE(dir.path().empty());
        if (system("ffmpeg -version >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "ffmpeg is not installed: the real-file checks are skipped";
    }
    std::string Make(const FfmpegFile &f)
    {
        std::string out = dir.path() + "/" + f.name;
        std::string inputs = strstr(f.arguments, "-vn") ? "-f lavfi -i sine=frequency=440:duration=1"
                                                        : videoAndSound;
        std::string command = "ffmpeg -v error -y " + inputs + " " + f.arguments + " " + Quote(out);
        EXPECT_EQ(system(command.c_str()), 0) << command;
        return out;
    }
};

TEST_F(KivraDumpOnFfmpegFiles, TreesMatchAnIndependentReadingOfTheBytes)
{
    const FfmpegFile files[] = {
        {"moov-at-end.mp4", "-c:v libx264 -preset ultrafast -c:a aac",
         {"ftyp", "free", "mdat", "moov"}, "[ftypisom]", {"\n    trak (+0x", "\n      mdia (+0x"}},
        {"faststart.mp4", "-c:v libx264 -preset ultrafast -c:a aac -movflags +faststart",
         {"ftyp", "moov", "free", "mdat"}, "[ftypisom]", {"\n        minf (+0x", "\n          stbl (+0x"}},
        {"fragmented.mp4",
         "-c:v libx264 -preset ultrafast -c:a aac -g 5 -movflags frag_keyframe+empty_moov",
         {}, "[ftypiso", {"\n    mvex (+0x", "\n  moof (+0x", "\n    traf (+0x", "\n      trun (+0x", "\n  mfra (+0x"}},
        {"movie.mov", "-c:v libx264 -preset ultrafast -c:a aac", {"ftyp", "wide", "mdat", "moov"},
         "[ftypqt  ]", {"\n    trak (+0x"}},
        {"phone.3gp", "-c:v libx264 -preset ultrafast -c:a aac -ar 16000 -ac 1",
         {"ftyp", "free", "mdat", "moov"}, "[ftyp3gp", {"\n    trak (+0x"}},
        {"phone.3g2", "-c:v libx264 -preset ultrafast -c:a aac -ar 16000 -ac 1",
         {"ftyp", "free", "mdat", "moov"}, "[ftyp3g2", {"\n    trak (+0x"}},
        {"tagged.m4a", "-vn -c:a aac -metadata title=Kivra -metadata artist=Someone",
         {"ftyp", "free", "mdat", "moov"}, "[ftypM4A ]", {"\n    udta (+0x", "\n      meta (+0x"}},
    };
    for (const FfmpegFile &f : files) {
        std::string path = Make(f);
        RunResult plain = Dump(dir, {"--no-defs", path});
        EXPECT_EQ(plain.status, 0) << f.name << ": " << plain.err;
        EXPECT_EQ(plain.err, "") << f.name;
        EXPECT_EQ(plain.out, ReferenceDump(path)) << f.name;
        if (!f.topLevel.empty()) {
            EXPECT_EQ(TopLevelTypes(plain.out), f.topLevel) << f.name;
        }
        for (const std::string &needle : f.mustContain)
            EXPECT_NE(plain.out.find(needle), std::string::npos) << f.name << " lacks " << needle;

        // A section named by type and brand: only this file's ftyp gets it,
        // as the first child of the ftyp item.
        std::string defs = dir.path() + "/brand.def";
        FILE *d = fopen(defs.c_str(), "wb");
        fprintf(d, "%s] this brand\nbrand body\n\n[ftypnone]\nnot shown\n", f.brandSection);
        fclose(d);
        RunResult described = Dump(dir, {"--defs", defs, path});
        EXPECT_EQ(described.status, 0) << f.name;
        size_t ftyp = described.out.find("\n  ftyp (+0x00000000:");
        ASSERT_NE(ftyp, std::string::npos) << f.name;
        size_t lineEnd = described.out.find('\n', ftyp + 1);
        std::string expected = std::string("    ") + f.brandSection + "] this brand\n    brand body\n";
        EXPECT_EQ(described.out.compare(lineEnd + 1, expected.size(), expected), 0)
            << f.name << "\n" << described.out.substr(0, 300);
        EXPECT_EQ(described.out.find("not shown"), std::string::npos) << f.name;
    }
}

TEST_F(KivraDumpOnFfmpegFiles, FragmentsHoldTheirTrackFragmentBoxes)
{
    const FfmpegFile f = {"frag.mp4",
                          "-c:v libx264 -preset ultrafast -c:a aac -g 5 -movflags frag_keyframe+empty_moov",
                          {}, "", {}};
    std::string out = Dump(dir, {"--no-defs", Make(f)}).out;
    // Every moof holds mfhd first, then trafs whose first child is tfhd.
    size_t moofs = 0;
    for (size_t at = out.find("\n  moof "); at != std::string::npos; at = out.find("\n  moof ", at + 1)) {
        moofs++;
        size_t next = out.find('\n', at + 1);
        EXPECT_EQ(out.compare(next, 11, "\n    mfhd ("), 0);
        size_t traf = out.find("\n    traf (", next);
        ASSERT_NE(traf, std::string::npos);
        EXPECT_EQ(out.compare(out.find('\n', traf + 1), 13, "\n      tfhd ("), 0);
    }
    EXPECT_GE(moofs, 2u);
}

class KivraDumpCommandLine : public ::testing::Test {
protected:
    TempDirectory dir;
    std::string sample = std::string(KIVRA_SOURCE_DIR) + "/samples/sample.mp4";
};

TEST_F(KivraDumpCommandLine, UsageErrorsExitWithTwo)
{
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"--defs"},
        {"--bogus", sample},
        {sample, sample},
        {"--defs", "x.def", "--no-defs", sample},
    };
    for (const std::vector<std::string> &args : cases) {
        RunResult run = Dump(dir, args);
        EXPECT_EQ(run.status, 2) << args.size();
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("usage: kivra-dump"), std::string::npos);
    }
}

TEST_F(KivraDumpCommandLine, UnopenableFileIsOneLineOnStderrAndExitOne)
{
    const std::string paths[] = {dir.path() + "/missing.mp4", dir.path()};
    for (const std::string &path : paths) {
        RunResult run = Dump(dir, {path});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "kivra-dump: cannot open " + path + "\n");
    }
    RunResult badDefs = Dump(dir, {"--defs", dir.path() + "/none.def", sample});
    EXPECT_EQ(badDefs.status, 1);
    EXPECT_EQ(badDefs.out, "");
    EXPECT_EQ(badDefs.err, "kivra-dump: cannot read definition file " + dir.path() + "/none.def\n");
}

TEST_F(KivraDumpCommandLine, ReadsAtomDefBesideItselfByDefault)
{
    std::string besideTool = std::string(KIVRA_DUMP);
    besideTool = besideTool.substr(0, besideTool.rfind('/')) + "/atom.def";
    // Run from elsewhere: the current directory's atom.def is not consulted.
    FILE *decoy = fopen((dir.path() + "/atom.def").c_str(), "wb");
    fputs("[moov] decoy\ndecoy\n", decoy);
    fclose(decoy);
    std::string inDir = "cd " + Quote(dir.path()) + " && ";
    RunResult byDefault = RunCommand(inDir + Quote(KIVRA_DUMP) + " " + Quote(sample), dir.path() + "/e");
    RunResult explicitDefs = Dump(dir, {"--defs", besideTool, sample});
    RunResult none = Dump(dir, {"--no-defs", sample});
    EXPECT_EQ(byDefault.status, 0);
    EXPECT_EQ(byDefault.out, explicitDefs.out);
    EXPECT_EQ(byDefault.out.find("decoy"), std::string::npos);
    EXPECT_NE(byDefault.out, none.out);
    EXPECT_EQ(none.out, ReferenceDump(sample));
    // The root line is the path exactly as given.
    RunResult relative = RunCommand("cd " + Quote(KIVRA_SOURCE_DIR) + " && " + Quote(KIVRA_DUMP) +
                                  " --no-defs ./samples//sample.mp4",
                              dir.path() + "/e");
    EXPECT_EQ(relative.out.substr(0, relative.out.find('\n')), "./samples//sample.mp4");
}

TEST_F(KivraDumpCommandLine, CutShortFileShowsWhatSurvived)
{
    std::string whole = ReadFile(sample);
    ASSERT_GT(whole.size(), 1000u);
    std::string cut = dir.path() + "/cut.mp4";
    FILE *f = fopen(cut.c_str(), "wb");
    fwrite(whole.data(), 1, 1000, f);
    fclose(f);
    RunResult run = Dump(dir, {"--no-defs", cut});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, ReferenceDump(cut));
    // The moov atom is clamped to the end of the file.
    EXPECT_NE(run.out.find("\n  moov (+0x00000020:960[0x3C0])\n"), std::string::npos) << run.out;
}

}  // namespace
