// kivra-dump end to end: files written by ffmpeg at test time, checked
// against an independent reading of their bytes, and the tool's command line.

#include "atoms/atom_walk.h"
#include "tests/support/atom_fixtures.h"
#include "tests/support/edge_fixtures.h"
#include "tests/support/reference_atom_walk.h"
#include "tests/support/shell_commands.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <ostream>

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>

namespace {

struct RunResult {
    int status;
    std::string out;
    std::string err;
};

RunResult RunCommand(const std::string &command, const std::string &errPath)
{
    RunResult run;
    run.out = CommandOutput(command + " 2>" + ShellQuote(errPath), &run.status);
    run.err = ReadTestFile(errPath);
    return run;
}

RunResult Dump(const TempDirectory &dir, const std::vector<std::string> &args)
{
    std::string command = ShellQuote(KIVRA_DUMP);
    for (const std::string &a : args)
        command += " " + ShellQuote(a);
    return RunCommand(command, dir.path() + "/stderr.txt");
}

// The tree kivra-dump --no-defs should print, from the shared reference
// reading of the bytes (64-bit sizes followed, as kivra-dump does unless
// told --window).
std::string ReferenceDump(const std::string &path, bool window = false)
{
    std::string file = ReadTestFile(path);
    std::string out = path + "\n";
    const ReferenceReading reading = ReadAtomsForReference(
        (const unsigned char *)file.data(), (uint32_t)file.size(), ATOM_WALK_DEPTH_LIMIT, !window);
    for (const ReferenceAtom &atom : reading.atoms) {
        out.append(2 * atom.depth, ' ');
        out += ReferenceLabel(atom) + "\n";
    }
    return out;
}

void WriteFile(const std::string &path, const std::string &bytes)
{
    ASSERT_TRUE(WriteTestFile(path, bytes.data(), bytes.size())) << path;
}

std::string AsString(const Bytes &bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

// One report line of --check: offset, severity and reason, as the shared
// reference reading names them.
struct ReportEntry {
    uint32_t offset;
    std::string severity;
    std::string reason;
    bool operator==(const ReportEntry &other) const
    {
        return offset == other.offset && severity == other.severity && reason == other.reason;
    }
};

std::ostream &operator<<(std::ostream &out, const ReportEntry &e)
{
    return out << e.offset << " " << e.severity << " " << e.reason;
}

// The report lines "PATH: 0xOFFSET: SEVERITY: text [reason]" of a --check run.
std::vector<ReportEntry> ParseReport(const std::string &out, const std::string &path)
{
    std::vector<ReportEntry> entries;
    const std::string prefix = path + ": 0x";
    size_t at = 0;
    while (at < out.size()) {
        size_t end = out.find('\n', at);
        if (end == std::string::npos)
            end = out.size();
        std::string line = out.substr(at, end - at);
        at = end + 1;
        if (line.compare(0, prefix.size(), prefix) != 0)
            continue;
        ReportEntry e;
        e.offset = (uint32_t)strtoul(line.c_str() + prefix.size(), nullptr, 16);
        size_t severity = prefix.size() + 10;
        e.severity = line.substr(severity, line.find(':', severity) - severity);
        size_t open = line.rfind(" [");
        e.reason = line.substr(open + 2, line.size() - open - 3);
        entries.push_back(e);
    }
    return entries;
}

// The reasons of the reference checks, which the walk's reading knows
// nothing of: the report's lines after the walk's stops.
bool IsReferenceReason(const std::string &reason)
{
    static const char *const reasons[] = {
        "sample-counts",   "sync-sample-range", "samples-past-end",        "sample-outside-mdat",
        "moov-after-mdat", "trun-outside-mdat", "sequence-not-increasing", "tfdt-goes-back",
        "sidx-size",       "iloc-extent"};
    for (const char *r : reasons)
        if (reason == r)
            return true;
    return false;
}

// The report's entries of the walk alone (references: false) or of the
// reference checks alone (references: true).
std::vector<ReportEntry> EntriesOf(const std::vector<ReportEntry> &entries, bool references)
{
    std::vector<ReportEntry> kept;
    for (const ReportEntry &e : entries)
        if (IsReferenceReason(e.reason) == references)
            kept.push_back(e);
    return kept;
}

ReferenceReading ReadReference(const std::string &path, bool window = false)
{
    std::string file = ReadTestFile(path);
    return ReadAtomsForReference((const unsigned char *)file.data(), (uint32_t)file.size(),
                                 ATOM_WALK_DEPTH_LIMIT, !window);
}

// kivra-dump notes a writer's convention and a stop in an mdat's media data.
bool IsNote(const ReferenceStop &stop)
{
    return stop.note || stop.inMediaData;
}

std::vector<ReportEntry> ReferenceReport(const ReferenceReading &reading)
{
    std::vector<ReportEntry> entries;
    for (const ReferenceStop &stop : reading.stops)
        entries.push_back({stop.offset, IsNote(stop) ? "note" : "problem", stop.reason});
    return entries;
}

bool HasProblem(const ReferenceReading &reading)
{
    for (const ReferenceStop &stop : reading.stops)
        if (!IsNote(stop))
            return true;
    return false;
}

// A path as tests/dump/json_summary.py shows it.
std::string ShowBytes(const std::string &text)
{
    std::string out;
    for (unsigned char c : text) {
        if (c >= 0x20 && c <= 0x7E && c != '\\') {
            out += (char)c;
        } else {
            char escape[8];
            snprintf(escape, sizeof escape, "\\x%02X", c);
            out += escape;
        }
    }
    return out;
}

// What json_summary.py should print for kivra-dump --json --no-defs on path.
std::string ReferenceJsonSummary(const std::string &path)
{
    const ReferenceReading reading = ReadReference(path);
    std::string out = ShowBytes(path) + "\n";
    for (const ReferenceAtom &atom : reading.atoms) {
        char line[128];
        snprintf(line, sizeof line, "%s %u %llu %u %u 0\n", atom.type.c_str(), atom.offset,
                 (unsigned long long)atom.size, atom.offset + atom.headerSize, atom.payloadSize);
        out += std::string(atom.depth, ' ') + line;
    }
    for (const ReferenceStop &stop : reading.stops)
        out += "report " + std::to_string(stop.offset) + " " +
            (IsNote(stop) ? "note " : "problem ") + stop.reason + "\n";
    return out;
}

// kivra-dump --json on the given arguments, through json_summary.py.
RunResult JsonSummary(const TempDirectory &dir, const std::vector<std::string> &args)
{
    std::string command = ShellQuote(KIVRA_DUMP) + " --json";
    for (const std::string &a : args)
        command += " " + ShellQuote(a);
    command += " 2>" + ShellQuote(dir.path() + "/dump-stderr.txt") + " | python3 " +
        ShellQuote(std::string(KIVRA_SOURCE_DIR) + "/tests/dump/json_summary.py");
    return RunCommand(command, dir.path() + "/json-stderr.txt");
}

// The output parses as JSON (python3 -m json.tool).
bool ParsesAsJson(const TempDirectory &dir, const std::vector<std::string> &args)
{
    std::string command = ShellQuote(KIVRA_DUMP) + " --json";
    for (const std::string &a : args)
        command += " " + ShellQuote(a);
    command += " 2>/dev/null | python3 -m json.tool >/dev/null";
    return RunCommand(command, dir.path() + "/json-tool-stderr.txt").status == 0;
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
    TempDirectory dir{"kivra-dump-test"};
    void SetUp() override
    {
        ASSERT_FALSE(dir.path().empty());
        if (system("ffmpeg -version >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "ffmpeg is not installed: the real-file checks are skipped";
    }
    std::string Make(const FfmpegFile &f)
    {
        std::string out = dir.path() + "/" + f.name;
        std::string inputs = strstr(f.arguments, "-vn")
            ? "-f lavfi -i sine=frequency=440:duration=1"
            : videoAndSound;
        std::string command =
            "ffmpeg -v error -y " + inputs + " " + f.arguments + " " + ShellQuote(out);
        EXPECT_EQ(system(command.c_str()), 0) << command;
        return out;
    }
};

TEST_F(KivraDumpOnFfmpegFiles, TreesMatchAnIndependentReadingOfTheBytes)
{
    const FfmpegFile files[] = {
        {"moov-at-end.mp4",
         "-c:v libx264 -preset ultrafast -c:a aac",
         {"ftyp", "free", "mdat", "moov"},
         "[ftypisom]",
         {"\n    trak (+0x", "\n      mdia (+0x"}},
        {"faststart.mp4",
         "-c:v libx264 -preset ultrafast -c:a aac -movflags +faststart",
         {"ftyp", "moov", "free", "mdat"},
         "[ftypisom]",
         {"\n        minf (+0x", "\n          stbl (+0x"}},
        {"fragmented.mp4",
         "-c:v libx264 -preset ultrafast -c:a aac -g 5 -movflags frag_keyframe+empty_moov",
         {},
         "[ftypiso",
         {"\n    mvex (+0x", "\n  moof (+0x", "\n    traf (+0x", "\n      trun (+0x",
          "\n  mfra (+0x"}},
        {"movie.mov",
         "-c:v libx264 -preset ultrafast -c:a aac",
         {"ftyp", "wide", "mdat", "moov"},
         "[ftypqt  ]",
         {"\n    trak (+0x"}},
        {"phone.3gp",
         "-c:v libx264 -preset ultrafast -c:a aac -ar 16000 -ac 1",
         {"ftyp", "free", "mdat", "moov"},
         "[ftyp3gp",
         {"\n    trak (+0x"}},
        {"phone.3g2",
         "-c:v libx264 -preset ultrafast -c:a aac -ar 16000 -ac 1",
         {"ftyp", "free", "mdat", "moov"},
         "[ftyp3g2",
         {"\n    trak (+0x"}},
        {"tagged.m4a",
         "-vn -c:a aac -metadata title=Kivra -metadata artist=Someone",
         {"ftyp", "free", "mdat", "moov"},
         "[ftypM4A ]",
         {"\n    udta (+0x", "\n      meta (+0x"}},
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
        WriteFile(defs,
                  std::string(f.brandSection) +
                      "] this brand\nbrand body\n\n[ftypnone]\nnot shown\n");
        RunResult described = Dump(dir, {"--defs", defs, path});
        EXPECT_EQ(described.status, 0) << f.name;
        size_t ftyp = described.out.find("\n  ftyp (+0x00000000:");
        ASSERT_NE(ftyp, std::string::npos) << f.name;
        size_t lineEnd = described.out.find('\n', ftyp + 1);
        std::string expected =
            std::string("    ") + f.brandSection + "] this brand\n    brand body\n";
        EXPECT_EQ(described.out.compare(lineEnd + 1, expected.size(), expected), 0)
            << f.name << "\n"
            << described.out.substr(0, 300);
        EXPECT_EQ(described.out.find("not shown"), std::string::npos) << f.name;
    }
}

TEST_F(KivraDumpOnFfmpegFiles, FragmentsHoldTheirTrackFragmentBoxes)
{
    const FfmpegFile f = {
        "frag.mp4",
        "-c:v libx264 -preset ultrafast -c:a aac -g 5 -movflags frag_keyframe+empty_moov",
        {},
        "",
        {}};
    std::string out = Dump(dir, {"--no-defs", Make(f)}).out;
    // Every moof holds mfhd first, then trafs whose first child is tfhd.
    size_t moofs = 0;
    for (size_t at = out.find("\n  moof "); at != std::string::npos;
         at = out.find("\n  moof ", at + 1)) {
        moofs++;
        size_t next = out.find('\n', at + 1);
        EXPECT_EQ(out.compare(next, 11, "\n    mfhd ("), 0);
        size_t traf = out.find("\n    traf (", next);
        ASSERT_NE(traf, std::string::npos);
        EXPECT_EQ(out.compare(out.find('\n', traf + 1), 13, "\n      tfhd ("), 0);
    }
    EXPECT_GE(moofs, 2u);
}

TEST_F(KivraDumpOnFfmpegFiles, CheckFindsNoProblemInWholeFilesAndTheCutInCutCopies)
{
    const FfmpegFile files[] = {
        {"check.mp4", "-c:v libx264 -preset ultrafast -c:a aac", {}, "", {}},
        {"check-faststart.mp4",
         "-c:v libx264 -preset ultrafast -c:a aac -movflags +faststart",
         {},
         "",
         {}},
        {"check-frag.mp4",
         "-c:v libx264 -preset ultrafast -c:a aac -g 5 -movflags frag_keyframe+empty_moov",
         {},
         "",
         {}},
        {"check.mov", "-c:v libx264 -preset ultrafast -c:a aac -metadata title=Kivra", {}, "", {}},
        {"check.m4a", "-vn -c:a aac -metadata title=Kivra -metadata artist=Someone", {}, "", {}},
        // Every ProRes frame begins like an atom ('icpf'); the audio after
        // it does not.
        {"check-prores.mov", "-c:v prores_ks -c:a pcm_s16le", {}, "", {}},
    };
    for (const FfmpegFile &f : files) {
        const std::string path = Make(f);
        RunResult whole = Dump(dir, {"--no-defs", "--quiet", path});
        const ReferenceReading reading = ReadReference(path);
        EXPECT_FALSE(HasProblem(reading)) << f.name;
        EXPECT_EQ(whole.status, 0) << f.name << "\n" << whole.out;
        const std::vector<ReportEntry> report = ParseReport(whole.out, path);
        EXPECT_EQ(EntriesOf(report, false), ReferenceReport(reading)) << f.name;
        EXPECT_EQ(whole.out.find(": problem: "), std::string::npos) << whole.out;
        // The file's own references hold; the one note says where the moov
        // lies when the media data comes first.
        uint32_t mdat = UINT32_MAX, moov = UINT32_MAX;
        for (const ReferenceAtom &atom : reading.atoms)
            if (atom.depth == 1 && atom.type == "mdat" && mdat == UINT32_MAX)
                mdat = atom.offset;
            else if (atom.depth == 1 && atom.type == "moov")
                moov = atom.offset;
        std::vector<ReportEntry> notes;
        if (mdat < moov && moov != UINT32_MAX)
            notes.push_back({moov, "note", "moov-after-mdat"});
        EXPECT_EQ(EntriesOf(report, true), notes) << f.name << "\n" << whole.out;

        // Copies cut inside the file's first atoms and spread over the rest.
        const std::string bytes = ReadTestFile(path);
        const std::string cutPath = dir.path() + "/cut-" + f.name;
        std::vector<size_t> cuts = {5, 12, 40, 100, 333};
        for (size_t k = 1; k < 12; k++)
            cuts.push_back(bytes.size() * k / 12);
        for (size_t cut : cuts) {
            WriteFile(cutPath, bytes.substr(0, cut));
            const ReferenceReading cutReading = ReadReference(cutPath);
            RunResult run = Dump(dir, {"--no-defs", "--quiet", cutPath});
            const std::vector<ReportEntry> cutReport = ParseReport(run.out, cutPath);
            EXPECT_EQ(EntriesOf(cutReport, false), ReferenceReport(cutReading))
                << f.name << " cut at " << cut << "\n"
                << run.out;
            // A cut leaves the references whole or samples past the end
            // (their lines are checked against the tables in the fields
            // tests), and the moov-after-mdat note.
            bool samplesLost = false;
            for (const ReportEntry &e : EntriesOf(cutReport, true)) {
                samplesLost = samplesLost || e.reason == "samples-past-end";
                EXPECT_TRUE((e.reason == "samples-past-end" && e.severity == "problem") ||
                            (e.reason == "moov-after-mdat" && e.severity == "note"))
                    << f.name << " cut at " << cut << ": " << e;
            }
            // A cut inside a top-level atom is a problem; one between two
            // top-level atoms leaves a file that walks cleanly.
            bool inside = false;
            for (const ReferenceAtom &atom : reading.atoms)
                inside = inside ||
                    (atom.depth == 1 && atom.offset < cut &&
                     cut < atom.offset + 8 + atom.payloadSize);
            EXPECT_EQ(HasProblem(cutReading), inside) << f.name << " cut at " << cut;
            EXPECT_EQ(run.status, inside || samplesLost ? 3 : 0) << f.name << " cut at " << cut;
            // The JSON tree and the walk's report, which it carries without
            // --check too.
            RunResult summary = JsonSummary(dir, {"--no-defs", cutPath});
            EXPECT_EQ(summary.out, ReferenceJsonSummary(cutPath)) << f.name << " cut at " << cut;
        }
        EXPECT_TRUE(
            ParsesAsJson(dir, {"--defs", std::string(KIVRA_SOURCE_DIR) + "/atom.def", path}));
    }
}

class KivraDumpCommandLine : public ::testing::Test {
protected:
    TempDirectory dir{"kivra-dump-test"};
    std::string sample = std::string(KIVRA_SOURCE_DIR) + "/samples/sample.mp4";
};

TEST_F(KivraDumpCommandLine, UsageErrorsExitWithTwo)
{
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"--defs"},
        {"--bogus", sample},
        {"--check", "--bogus"},
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
    WriteFile(dir.path() + "/atom.def", "[moov] decoy\ndecoy\n");
    std::string inDir = "cd " + ShellQuote(dir.path()) + " && ";
    RunResult byDefault =
        RunCommand(inDir + ShellQuote(KIVRA_DUMP) + " " + ShellQuote(sample), dir.path() + "/e");
    RunResult explicitDefs = Dump(dir, {"--defs", besideTool, sample});
    RunResult none = Dump(dir, {"--no-defs", sample});
    EXPECT_EQ(byDefault.status, 0);
    EXPECT_EQ(byDefault.out, explicitDefs.out);
    EXPECT_EQ(byDefault.out.find("decoy"), std::string::npos);
    EXPECT_NE(byDefault.out, none.out);
    EXPECT_EQ(none.out, ReferenceDump(sample));
    // The root line is the path exactly as given.
    RunResult relative = RunCommand("cd " + ShellQuote(KIVRA_SOURCE_DIR) + " && " +
                                        ShellQuote(KIVRA_DUMP) + " --no-defs ./samples//sample.mp4",
                                    dir.path() + "/e");
    EXPECT_EQ(relative.out.substr(0, relative.out.find('\n')), "./samples//sample.mp4");
}

TEST_F(KivraDumpCommandLine, CutShortFileShowsWhatSurvived)
{
    std::string whole = ReadTestFile(sample);
    ASSERT_GT(whole.size(), 1000u);
    std::string cut = dir.path() + "/cut.mp4";
    WriteFile(cut, whole.substr(0, 1000));
    RunResult run = Dump(dir, {"--no-defs", cut});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, ReferenceDump(cut));
    // The moov atom is clamped to the end of the file.
    EXPECT_NE(run.out.find("\n  moov (+0x00000020:960[0x3C0])\n"), std::string::npos) << run.out;
}

struct CheckCase {
    const char *name;
    Bytes file;
    int status;
    const char *report;  // --check --quiet output, F standing for the path
};

// Hand-made files, each showing one way a walk ends.
std::vector<CheckCase> HandMadeCases()
{
    const Bytes ftyp = FtypIsom();
    return {
        {"moov-last-free-text", Join({ftyp, Atom("mdat", Bytes(16, 0)), MovieWithFreeText()}), 0,
         "F: 0x00000024: note: 'moov' follows the 'mdat' at 0x0000000C: a player reading over a "
         "network must fetch the end of the file first [moov-after-mdat]\n"
         "F: 0 problems, 1 note\n"},
        {"mdat-last-header-shaped", Join({ftyp, MediaLikeAHeader()}), 0, "F: clean\n"},
        {"payload-no-header", Join({ftyp, Atom("moov", FullBox("mvhd", 20))}), 0, "F: clean\n"},
        {"media-data-like-atoms",
         Join({ftyp,
               Atom("mdat",
                    Join({Atom("icpf", Bytes(12, 0x11)), Raw({0xFF, 0x01, 0xFD, 0x02}),
                          Bytes(12, 0)})),
               Atom("moov", FullBox("mvhd", 0))}),
         0,
         "F: 0x00000028: note: type 0x00000000 is not printable ASCII, so no atom starts here; the "
         "last 16 bytes of 'mdat' at 0x0000000C are not shown (media data, which looks like atoms "
         "only by chance) [type-not-printable]\n"
         "F: 0x00000038: note: 'moov' follows the 'mdat' at 0x0000000C: a player reading over a "
         "network must fetch the end of the file first [moov-after-mdat]\n"
         "F: 0 problems, 2 notes\n"},
        // Media bytes that look like an atom holding another: the stop is
        // two levels inside the mdat, still media data.
        {"media-data-like-nested-atoms",
         Join({ftyp,
               Atom("mdat",
                    Atom("icpf",
                         Join({Atom("abcd", Bytes(4, 0x11)), Raw({0xFF, 0x01, 0xFD, 0x02}),
                               Bytes(4, 0)}))),
               Atom("moov", FullBox("mvhd", 0))}),
         0,
         "F: 0x00000028: note: type 0x00000000 is not printable ASCII, so no atom starts here; the "
         "last 8 bytes of 'icpf' at 0x00000014 are not shown (media data, which looks like atoms "
         "only by chance) [type-not-printable]\n"
         "F: 0x00000030: note: 'moov' follows the 'mdat' at 0x0000000C: a player reading over a "
         "network must fetch the end of the file first [moov-after-mdat]\n"
         "F: 0 problems, 2 notes\n"},
        {"cut-three-deep", CutThreeDeep(), 3,
         "F: 0x0000000C: problem: 'moov' is cut short by the end of the file: its size is 200 "
         "bytes, 105 are there [cut-short]\n"
         "F: 0x00000020: problem: 'trak' is cut short by the end of the file: its size is 150 "
         "bytes, 85 are there [cut-short]\n"
         "F: 0x00000034: problem: 'mdia' is cut short by the end of the file: its size is 100 "
         "bytes, 65 are there [cut-short]\n"
         "F: 0x0000006F: problem: 6 bytes left where an 8-byte atom header was due; the last 6 "
         "bytes of 'mdia' at 0x00000034 are not shown [short-header]\n"
         "F: 4 problems, 0 notes\n"},
        {"size-overruns-enclosing",
         Join({ftyp,
               Atom("moov",
                    Join({FullBox("mvhd", 0), AtomWithSize(64, "trak", Bytes(4, 0)),
                          Bytes(8, 0)}))}),
         3,
         "F: 0x00000020: problem: the size of 'trak', 64 bytes, overruns the 20 bytes left in "
         "'moov' at 0x0000000C, which are not shown [size-overruns]\n"
         "F: 1 problem, 0 notes\n"},
        {"size-1", Join({ftyp, AtomWithSize(1, "mdat", Bytes(24, 0))}), 3,
         "F: 0x0000000C: problem: 'mdat' has a 64-bit size of 0, less than its own 16-byte header; "
         "the 32 bytes after the last top-level atom are not shown [size-too-small]\n"
         "F: 1 problem, 0 notes\n"},
        {"size-5",
         Join({ftyp,
               Atom("moov", Join({FullBox("mvhd", 0), AtomWithSize(5, "trak", Bytes(8, 0))}))}),
         3,
         "F: 0x00000020: problem: 'trak' has size 5, less than its own 8-byte header; the last 16 "
         "bytes of 'moov' at 0x0000000C are not shown [size-too-small]\n"
         "F: 1 problem, 0 notes\n"},
        {"short-tail", Join({ftyp, Raw({0, 0, 1})}), 3,
         "F: 0x0000000C: problem: 3 bytes left where an 8-byte atom header was due; the 3 bytes "
         "after the last top-level atom are not shown [short-header]\n"
         "F: 1 problem, 0 notes\n"},
        {"zeros-after-last-atom", Join({ftyp, Atom("moov", FullBox("mvhd", 0)), Bytes(100, 0)}), 3,
         "F: 0x00000020: problem: type 0x00000000 is not printable ASCII, so no atom starts here; "
         "the 100 bytes after the last top-level atom are not shown [type-not-printable]\n"
         "F: 1 problem, 0 notes\n"},
        {"not-an-atom-file",
         Join({Raw({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}), Bytes(20, 0)}), 3,
         "F: 0x00000000: problem: type 0x0D0A1A0A is not printable ASCII, so no atom starts here; "
         "none of the file's 28 bytes is shown as an atom [type-not-printable]\n"
         "F: 1 problem, 0 notes\n"},
        {"quicktime-zero-end",
         Join({ftyp, Atom("moov", Atom("udta", Join({Atom("name", Text("abc")), Bytes(4, 0)})))}),
         0,
         "F: 0x00000027: note: 'udta' at 0x00000014 ends with a 32-bit zero, as QuickTime writes "
         "[zero-terminator]\n"
         "F: 0 problems, 1 note\n"},
        {"itunes-item-after-printable",
         Join({ftyp,
               Atom("moov",
                    Atom("udta",
                         Join({Atom("aART", Text("someone")), Atom("\xA9nam", Text("title"))})))}),
         0,
         "F: 0x0000002B: note: iTunes item type 0xA9 'nam': a type beginning with 0xA9 is taken "
         "for no atom; the last 13 bytes of 'udta' at 0x00000014 are not shown [itunes-item-type]\n"
         "F: 0 problems, 1 note\n"},
        // Not after a printable item: the payload is a leaf, not a stop.
        {"itunes-item-first",
         Join({ftyp, Atom("moov", Atom("udta", Atom("\xA9nam", Text("title"))))}), 0, "F: clean\n"},
        {"depth-limit", NestedAtoms(ATOM_WALK_DEPTH_LIMIT + 2), 3,
         "F: 0x00007FF8: problem: 'nest' is 4096 levels deep, the deepest shown: its child atoms "
         "are not shown [depth-limit]\n"
         "F: 1 problem, 0 notes\n"},
    };
}

std::string Substitute(const char *text, const std::string &path)
{
    std::string out;
    for (const char *c = text; *c != '\0'; c++) {
        if (*c == 'F' && (c == text || c[-1] == '\n'))
            out += path;
        else
            out += *c;
    }
    return out;
}

class KivraDumpCheck : public ::testing::Test {
protected:
    TempDirectory dir{"kivra-dump-test"};
    std::string sample = std::string(KIVRA_SOURCE_DIR) + "/samples/sample.mp4";
};

TEST_F(KivraDumpCheck, HandMadeFilesGiveTheReportOfTheirBytes)
{
    for (const CheckCase &c : HandMadeCases()) {
        const std::string path = dir.path() + "/" + c.name;
        WriteFile(path, AsString(c.file));
        RunResult quiet = Dump(dir, {"--no-defs", "--quiet", path});
        EXPECT_EQ(quiet.status, c.status) << c.name;
        EXPECT_EQ(quiet.out, Substitute(c.report, path)) << c.name;
        EXPECT_EQ(quiet.err, "") << c.name;
        // The walk's part of it is the reference reading's, after the same
        // tree as without --check.
        EXPECT_EQ(EntriesOf(ParseReport(quiet.out, path), false),
                  ReferenceReport(ReadReference(path)))
            << c.name;
        RunResult checked = Dump(dir, {"--no-defs", "--check", path});
        RunResult plain = Dump(dir, {"--no-defs", path});
        EXPECT_EQ(plain.status, 0) << c.name;
        EXPECT_EQ(plain.out, ReferenceDump(path)) << c.name;
        EXPECT_EQ(checked.out, plain.out + quiet.out) << c.name;
    }
}

// --window shows the window's tree: a size field of 1 stops the range. By
// default the 64-bit size is followed, and --check notes where the window
// stops short.
TEST_F(KivraDumpCheck, WindowShowsTheWindowsTreeAndTheReportSaysWhereItStopsShort)
{
    std::vector<CheckCase> cases = HandMadeCases();
    const Bytes moov = Atom("moov", Join({FullBox("mvhd", 4), Atom("trak", FullBox("tkhd", 0))}));
    Bytes largeMdat = Join({AtomWithSize(1, "mdat"), Raw({0, 0, 0, 0, 0, 0, 0, 24}), Bytes(8, 0)});
    cases.push_back({"mdat-64bit", Join({FtypIsom(), largeMdat, moov}), 0, ""});
    for (const CheckCase &c : cases) {
        const std::string path = dir.path() + "/" + c.name;
        WriteFile(path, AsString(c.file));
        RunResult window = Dump(dir, {"--no-defs", "--window", path});
        EXPECT_EQ(window.status, 0) << c.name;
        EXPECT_EQ(window.out, ReferenceDump(path, true)) << c.name;
        RunResult quiet = Dump(dir, {"--no-defs", "--window", "--quiet", path});
        EXPECT_EQ(EntriesOf(ParseReport(quiet.out, path), false),
                  ReferenceReport(ReadReference(path, true)))
            << c.name;
        if (c.name == std::string("size-1")) {
            EXPECT_EQ(quiet.out,
                      path +
                          ": 0x0000000C: problem: 'mdat' has size 1, a 64-bit size after its "
                          "type, which is not followed; the 32 bytes after the last top-level "
                          "atom are not shown [size-64bit]\n" +
                          path + ": 1 problem, 0 notes\n");
        }
    }
    const std::string path = dir.path() + "/mdat-64bit";
    RunResult wide = Dump(dir, {"--no-defs", "--check", path});
    EXPECT_EQ(wide.status, 0);
    EXPECT_EQ(wide.out,
              ReferenceDump(path) + path +
                  ": 0x0000000C: note: kivra's window does not follow the 64-bit size of 'mdat' "
                  "(size field 1): it shows neither this atom nor the atoms after it in the file "
                  "[window-stops-short]\n" +
                  path +
                  ": 0x00000024: note: 'moov' follows the 'mdat' at 0x0000000C: a player reading "
                  "over a network must fetch the end of the file first [moov-after-mdat]\n" +
                  path + ": 0 problems, 2 notes\n");
    EXPECT_NE(wide.out.find("\n  moov (+0x00000024:36[0x24])\n    mvhd"), std::string::npos);
    RunResult summary = JsonSummary(dir, {"--no-defs", path});
    EXPECT_EQ(summary.out,
              ShowBytes(path) +
                  "\n ftyp 0 12 8 4 0\n mdat 12 24 28 8 0\n moov 36 44 44 36 0\n"
                  "  mvhd 44 16 52 8 0\n  trak 60 20 68 12 0\n   tkhd 68 12 76 4 0\n"
                  "report 12 note window-stops-short\n");
}

TEST_F(KivraDumpCheck, ACompleteLastAtomShowsNoInventedAtom)
{
    const std::string path = dir.path() + "/moov-last.mp4";
    WriteFile(path, AsString(HandMadeCases()[0].file));
    RunResult run = Dump(dir, {"--no-defs", path});
    EXPECT_EQ(run.out,
              path +
                  "\n  ftyp (+0x00000000:4[0x4])\n  mdat (+0x0000000C:16[0x10])\n"
                  "  moov (+0x00000024:67[0x43])\n    mvhd (+0x0000002C:8[0x8])\n"
                  "    free (+0x0000003C:43[0x2B])\n");
}

TEST_F(KivraDumpCheck, SeveralFilesOneAfterTheOtherExitWithTheHighestCode)
{
    const std::string clean = dir.path() + "/clean.mp4";
    const std::string cut = dir.path() + "/cut.mp4";
    WriteFile(clean, ReadTestFile(sample));
    WriteFile(cut, ReadTestFile(sample).substr(0, 1000));
    const std::string missing = dir.path() + "/missing.mp4";

    RunResult both = Dump(dir, {"--no-defs", clean, cut});
    EXPECT_EQ(both.status, 0);
    EXPECT_EQ(both.out, ReferenceDump(clean) + ReferenceDump(cut));
    EXPECT_EQ(Dump(dir, {"--no-defs", "--check", clean, cut}).status, 3);
    EXPECT_EQ(Dump(dir, {"--no-defs", "--check", cut, clean}).status, 3);
    EXPECT_EQ(Dump(dir, {"--no-defs", "--check", clean, clean}).status, 0);

    // A file that cannot be opened is one line on stderr; the others are shown.
    RunResult withMissing = Dump(dir, {"--no-defs", clean, missing, clean});
    EXPECT_EQ(withMissing.status, 1);
    EXPECT_EQ(withMissing.out, ReferenceDump(clean) + ReferenceDump(clean));
    EXPECT_EQ(withMissing.err, "kivra-dump: cannot open " + missing + "\n");
    EXPECT_EQ(Dump(dir, {"--no-defs", "--check", missing, cut}).status, 3);
    EXPECT_EQ(Dump(dir, {"--no-defs", "--check", clean, missing}).status, 1);

    // Options may follow the files; after "--" everything is a file.
    RunResult late = Dump(dir, {clean, "--no-defs", "--quiet"});
    EXPECT_EQ(late.out, clean + ": clean\n");
    RunResult dashed = Dump(dir, {"--no-defs", "--", "--check"});
    EXPECT_EQ(dashed.status, 1);
    EXPECT_EQ(dashed.err, "kivra-dump: cannot open --check\n");
}

TEST_F(KivraDumpCheck, HelpListsEveryOptionAndVersionIsTheReleases)
{
    RunResult help = Dump(dir, {"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char *option : {"--defs FILE", "--no-defs", "--check", "--quiet", "--json",
                               "--window", "--version", "--help", "--  "})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    RunResult version = Dump(dir, {"--version"});
    EXPECT_EQ(version.status, 0);
    // The release's version, as the file VERSION names it.
    std::string release = ReadTestFile(std::string(KIVRA_SOURCE_DIR) + "/VERSION");
    release = release.substr(0, release.find('\n'));
    ASSERT_FALSE(release.empty());
    EXPECT_EQ(version.out, "kivra-dump " + release + "\n");
}

TEST_F(KivraDumpCheck, JsonHoldsTheTreeAndTheReportOfHandMadeAndHostileFiles)
{
    std::vector<std::string> paths;
    for (const CheckCase &c : HandMadeCases()) {
        paths.push_back(dir.path() + "/" + c.name);
        WriteFile(paths.back(), AsString(c.file));
    }
    // Hostile: deep nesting, a million-sibling-like run of tiny atoms, a
    // broken size at every level, and a path with a quote, a backslash,
    // a control byte and bytes outside ASCII.
    paths.push_back(dir.path() + "/deep.mp4");
    WriteFile(paths.back(), AsString(NestedAtoms(5000)));
    paths.push_back(dir.path() + "/siblings.mp4");
    Bytes siblings;
    for (int i = 0; i < 20000; i++)
        siblings = Join({siblings, Atom("free")});
    WriteFile(paths.back(), AsString(siblings));
    paths.push_back(dir.path() + "/odd \"name\" \\ \x01 caf\xE9 \xFF.mp4");
    WriteFile(paths.back(), ReadTestFile(sample).substr(0, 700));
    for (const std::string &path : paths) {
        RunResult summary = JsonSummary(dir, {"--no-defs", path});
        EXPECT_EQ(summary.status, 0) << path << summary.err;
        EXPECT_EQ(summary.out, ReferenceJsonSummary(path)) << path;
    }
    // All in one call: one array, each file in turn.
    std::vector<std::string> all = {"--no-defs"};
    std::string expected;
    for (const std::string &path : paths) {
        all.push_back(path);
        expected += ReferenceJsonSummary(path);
    }
    RunResult summary = JsonSummary(dir, all);
    EXPECT_EQ(summary.out, expected);
    // json.tool keeps Python's recursion limit, which the two deep trees
    // exceed: json_summary.py has read them above.
    std::vector<std::string> shallow = {"--no-defs"};
    for (const std::string &path : paths) {
        const std::string name = path.substr(path.rfind('/'));
        if (name != "/deep.mp4" && name != "/depth-limit")
            shallow.push_back(path);
    }
    EXPECT_EQ(shallow.size(), paths.size() - 1);
    EXPECT_TRUE(ParsesAsJson(dir, shallow));
}

TEST_F(KivraDumpCheck, JsonEscapesEveryByteOfDescriptionsAndErrors)
{
    // Description lines with bytes a code page puts outside ASCII, control
    // bytes, quotes and backslashes.
    const std::string defs = dir.path() + "/odd.def";
    // Lines of 8 to 15 and of 16 and more bytes, plain or with an escape in
    // their last step.
    WriteFile(defs,
              std::string("[moov] Film \xE9\x81\x40 \"q\" \\ \x7F\x1B end\n"
                          "\x01\x02\x03\xFF\n"
                          "plain 12 abc\n"
                          "nine b\"\\\n"
                          "exactly sixteen!\n"
                          "twenty-three bytes, \xA9\"\n"));
    RunResult summary = JsonSummary(dir, {"--defs", defs, sample});
    EXPECT_EQ(summary.status, 0) << summary.err;
    EXPECT_NE(summary.out.find("\n  \"[moov] Film \\xE9\\x81@ \"q\" \\x5C \\x7F\\x1B end\"\n"
                               "  \"\\x01\\x02\\x03\\xFF\"\n"
                               "  \"plain 12 abc\"\n"
                               "  \"nine b\"\\x5C\"\n"
                               "  \"exactly sixteen!\"\n"
                               "  \"twenty-three bytes, \\xA9\"\"\n"),
              std::string::npos)
        << summary.out.substr(0, 800);
    // A file that cannot be opened is still an entry, with its error.
    const std::string missing = dir.path() + "/missing.mp4";
    RunResult withError = JsonSummary(dir, {"--no-defs", missing});
    EXPECT_EQ(withError.out, ShowBytes(missing) + "\nerror cannot open\n");
    EXPECT_TRUE(ParsesAsJson(dir, {"--no-defs", missing, sample, missing}));
}

}  // namespace
