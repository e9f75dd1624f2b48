// The reference checks: hand-made movies whose tables disagree or point
// outside the file, cut copies of real ffmpeg files whose surviving samples
// the test counts from the tables itself, and complete files that must
// check clean.

#include "fields/file_references.h"
#include "atoms/atom_walk.h"
#include "tests/fields/field_bytes.h"
#include "tests/fields/real_files.h"
#include "tests/support/reference_atom_walk.h"
#include "tests/support/reference_checked_atom.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Finding {
    uint64_t offset;
    bool note;
    std::string reason;
    std::string text;
};

void CollectFinding(void *context, uint64_t offset, int note, const char *reason, const char *text)
{
    ((std::vector<Finding> *)context)->push_back({offset, note != 0, reason, text});
}

// The checks over bytes, the atoms found by the shared reference reading.
std::vector<Finding> Check(const Bytes &bytes)
{
    ReferenceReading reading =
        ReadAtomsForReference(bytes.data(), (uint32_t)bytes.size(), ATOM_WALK_DEPTH_LIMIT);
    FileReferences references;
    InitFileReferences(&references);
    for (const ReferenceAtom &atom : reading.atoms) {
        const CheckedAtom checked = CheckedAtomFromReference(atom);
        AddCheckedAtom(&references, &checked);
    }
    std::vector<Finding> findings;
    ReferenceReportSink sink = {&findings, CollectFinding};
    FinishFileReferences(&references, bytes.data(), bytes.size(), &sink);
    FreeFileReferences(&references);
    return findings;
}

std::string Describe(const std::vector<Finding> &findings)
{
    std::string out;
    for (const Finding &f : findings)
        out += "0x" + std::to_string(f.offset) + (f.note ? " note " : " problem ") + f.text + " [" +
            f.reason + "]\n";
    return out;
}

Bytes Full(const char *type, const Bytes &fields)
{
    return Atom(type, Join({U32(0), fields}));
}

// A movie of one track with three samples of 4, 5 and 6 bytes in two chunks
// (2 + 1) at chunkOffsets, described by the tables given, followed by mdat.
struct MovieTables {
    Bytes stts = Join({U32(1), U32(3), U32(10)});
    Bytes stsc = Join({U32(2), U32(1), U32(2), U32(1), U32(2), U32(1), U32(1)});
    Bytes stsz = Join({U32(0), U32(3), U32(4), U32(5), U32(6)});
    Bytes stss = Join({U32(1), U32(1)});
};

// With 64-bit chunk offsets (co64) when wide is set.
Bytes Movie(const MovieTables &tables, uint64_t firstChunk, uint64_t secondChunk, bool wide = false)
{
    Bytes chunks = wide ? Full("co64", Join({U32(2), U64(firstChunk), U64(secondChunk)}))
                        : Full("stco", Join({U32(2), U32(firstChunk), U32(secondChunk)}));
    Bytes stbl = Atom("stbl",
                      Join({Full("stts", tables.stts), Full("stsc", tables.stsc),
                            Full("stsz", tables.stsz), Full("stss", tables.stss), chunks}));
    Bytes tkhd = Full("tkhd", Join({U32(0), U32(0), U32(7), Zeros(68)}));
    return Atom("moov", Atom("trak", Join({tkhd, Atom("mdia", Atom("minf", stbl))})));
}

// ftyp, moov, then an mdat of 15 media bytes; the chunks where they are.
Bytes GoodMovie(const MovieTables &tables = MovieTables())
{
    Bytes ftyp = Atom("ftyp", Code("isom"));
    size_t moovSize = Movie(tables, 0, 0).size();
    uint32_t media = (uint32_t)(ftyp.size() + moovSize + 8);
    return Join({ftyp, Movie(tables, media, media + 9), Atom("mdat", Zeros(15))});
}

TEST(FileReferences, AgreeingTablesCheckClean)
{
    EXPECT_EQ(Describe(Check(GoodMovie())), "");
}

TEST(FileReferences, DisagreeingTablesAreNamed)
{
    const struct {
        const char *name;
        void (*change)(MovieTables *);
        const char *expected;
    } cases[] = {
        {"stts counts four",
         [](MovieTables *t) {
             t->stts = Join({U32(1), U32(4), U32(10)});
         },
         "track 7: stts counts 4 samples, stsz 3 [sample-counts]"},
        {"stsc gives four",
         [](MovieTables *t) {
             t->stsc = Join({U32(1), U32(1), U32(2), U32(1)});
         },
         "track 7: stsc over 2 chunks gives 4 samples, stsz 3 [sample-counts]"},
        {"stsc out of order",
         [](MovieTables *t) {
             t->stsc = Join({U32(2), U32(2), U32(2), U32(1), U32(1), U32(1), U32(1)});
         },
         "track 7: stsc entry 1 starts at chunk 2, not after the one before [sample-counts]"},
        {"stss past the count",
         [](MovieTables *t) {
             t->stss = Join({U32(2), U32(1), U32(4)});
         },
         "track 7: stss entry 2 names sample 4 of 3 [sync-sample-range]"},
    };
    for (const auto &c : cases) {
        MovieTables tables;
        c.change(&tables);
        std::string report = Describe(Check(GoodMovie(tables)));
        EXPECT_NE(report.find(c.expected), std::string::npos) << c.name << "\n" << report;
    }
}

TEST(FileReferences, SamplesOutsideTheMediaDataOrTheFile)
{
    Bytes ftyp = Atom("ftyp", Code("isom"));
    // Chunks in the moov itself: inside the file, outside every mdat.
    Bytes file = Join({ftyp, Movie(MovieTables(), 8, 17), Atom("mdat", Zeros(15))});
    std::string report = Describe(Check(file));
    EXPECT_NE(report.find("track 7: 3 samples lie inside the file but outside every mdat's "
                          "payload, the first at 0x00000008 [sample-outside-mdat]"),
              std::string::npos)
        << report;
    // Chunk offsets near 2^32 in a small file: past its end, none whole.
    file = Join({ftyp, Movie(MovieTables(), 0xFFFFFFF0u, 0xFFFFFFFFu), Atom("mdat", Zeros(15))});
    report = Describe(Check(file));
    EXPECT_NE(report.find("track 7: 3 of 3 samples lie past the end of the file; none is whole "
                          "[samples-past-end]"),
              std::string::npos)
        << report;
}

// 2^32 - 1 samples of one size in one chunk, in a file of a few hundred
// bytes: counted in one step, so the check ends at once.
TEST(FileReferences, HostileCountsAreCountedNotWalked)
{
    MovieTables tables;
    tables.stts = Join({U32(1), U32(0xFFFFFFFF), U32(1)});
    tables.stsc = Join({U32(1), U32(1), U32(0xFFFFFFFF), U32(1)});
    tables.stsz = Join({U32(1), U32(0xFFFFFFFF)});
    Bytes file = GoodMovie(tables);
    std::string report = Describe(Check(file));
    EXPECT_NE(report.find("track 7: 4294967280 of 4294967295 samples lie past the end of the "
                          "file; the last whole sample ends at"),
              std::string::npos)
        << report;
    // A fragment whose run has no per-sample fields: every sample the
    // default size.
    Bytes moof = Atom("moof",
                      Join({Full("mfhd", U32(1)),
                            Atom("traf",
                                 Join({Full("tfhd", Join({U32(1), U32(4)})),
                                       Atom("trun", Join({U32(0), U32(0xFFFFFFFF)}))}))}));
    moof[8 + 16 + 8 + 8 + 3] = 0x10;  // tfhd flags: default-sample-size
    Bytes fragments = Join({Atom("ftyp", Code("iso6")), moof, Atom("mdat", Zeros(64))});
    report = Describe(Check(fragments));
    EXPECT_NE(report.find("track 1 (fragments): "), std::string::npos) << report;
}

// A file broken in every fragment: the first 20 places, then a count.
TEST(FileReferences, FragmentFindingsAreCountedAfterTwenty)
{
    Bytes file = Atom("ftyp", Code("iso6"));
    for (int i = 0; i < 30; i++)
        file = Join({file, Atom("moof", Full("mfhd", U32(1))), Atom("mdat", Zeros(4))});
    std::vector<Finding> findings = Check(file);
    ASSERT_EQ(findings.size(), 21u) << Describe(findings);
    EXPECT_EQ(findings[0].text, "the mfhd of the moof at 0x00000030 has sequence number 1 after 1");
    EXPECT_EQ(findings[20].text, "9 more mfhd sequence numbers do not increase");
    for (const Finding &f : findings)
        EXPECT_EQ(f.reason, "sequence-not-increasing");
}

// co64 offsets near 2^64: the sample's end wraps around, which is past the
// end of the file, never a read or an overflow.
TEST(FileReferences, OffsetsNearTwoToTheSixtyFourAreNotWrappedIntoTheFile)
{
    Bytes ftyp = Atom("ftyp", Code("isom"));
    Bytes file =
        Join({ftyp, Movie(MovieTables(), 0xFFFFFFFFFFFFFFFEull, 0xFFFFFFFFFFFFFFFFull, true),
              Atom("mdat", Zeros(15))});
    std::string report = Describe(Check(file));
    EXPECT_NE(report.find("track 7: 3 of 3 samples lie past the end of the file; none is whole "
                          "[samples-past-end]"),
              std::string::npos)
        << report;
    // A fragment whose base data offset is 4 bytes short of 2^64.
    Bytes tfhd = Full("tfhd", Join({U32(1), U64(0xFFFFFFFFFFFFFFFCull)}));
    tfhd[11] = 0x01;  // flags: base-data-offset
    Bytes trun = Full("trun", Join({U32(2), U32(4), U32(5)}));
    trun[10] = 0x02;  // flags: sample-size
    Bytes fragments =
        Join({Atom("ftyp", Code("iso6")),
              Atom("moof", Join({Full("mfhd", U32(1)), Atom("traf", Join({tfhd, trun}))})),
              Atom("mdat", Zeros(9))});
    report = Describe(Check(fragments));
    EXPECT_NE(report.find("track 1 (fragments): 2 of 2 samples lie past the end of the file; "
                          "none is whole"),
              std::string::npos)
        << report;
    // The same movie with co64 offsets that are right checks clean.
    size_t moovSize = Movie(MovieTables(), 0, 0, true).size();
    uint64_t media = ftyp.size() + moovSize + 8;
    file = Join({ftyp, Movie(MovieTables(), media, media + 9, true), Atom("mdat", Zeros(15))});
    EXPECT_EQ(Describe(Check(file)), "");
}

TEST(FileReferences, MovieAfterMediaDataIsANote)
{
    Bytes ftyp = Atom("ftyp", Code("isom"));
    uint32_t media = (uint32_t)ftyp.size() + 8;
    Bytes file = Join({ftyp, Atom("mdat", Zeros(15)), Movie(MovieTables(), media, media + 9)});
    std::vector<Finding> findings = Check(file);
    ASSERT_EQ(findings.size(), 1u) << Describe(findings);
    EXPECT_TRUE(findings[0].note);
    EXPECT_EQ(findings[0].reason, "moov-after-mdat");
    EXPECT_EQ(findings[0].offset, ftyp.size() + 23);
}

// A meta box whose one item has an extent at offset, length bytes long
// (construction method 0, in the file) or in the idat (method 1).
Bytes ItemFile(uint32_t method, uint32_t offset, uint32_t length, uint32_t idatBytes)
{
    Bytes iloc = Full("iloc",
                      Join({U8(0x44), U8(0x00), U16(1), U16(1), U16(method), U16(0), U16(1),
                            U32(offset), U32(length)}));
    // Version 1, for the construction method.
    iloc[8] = 1;
    Bytes meta = Full("meta",
                      Join({Full("hdlr", Join({U32(0), Code("pict"), Zeros(13)})), iloc,
                            Atom("idat", Zeros(idatBytes))}));
    return Join({Atom("ftyp", Code("heic")), meta, Atom("mdat", Zeros(32))});
}

TEST(FileReferences, ItemExtentsLieInTheFileOrTheIdat)
{
    const struct {
        uint32_t method, offset, length, idat;
        const char *expected;
    } cases[] = {
        {0, 16, 8, 0, ""},
        {0, 16, 0xFFFFFF00u, 0,
         "item 1: its extent at 0x00000010 of 4294967040 bytes lies past "
         "the end of the file"},
        {1, 4, 8, 12, ""},
        {1, 4, 9, 12, "item 1: its extent runs to byte 13 of the idat, which holds 12"},
    };
    for (const auto &c : cases) {
        std::string report = Describe(Check(ItemFile(c.method, c.offset, c.length, c.idat)));
        if (c.expected[0] == '\0')
            EXPECT_EQ(report, "") << c.length;
        else
            EXPECT_NE(report.find(c.expected), std::string::npos) << report;
    }
}

#ifndef _WIN32

// Per track of a complete file: where each sample lies, read from its
// tables by the simplest means (no checks: the file is ffmpeg's).
struct TrackSamples {
    std::vector<std::pair<uint64_t, uint64_t>> samples;  // offset, size
};

std::vector<TrackSamples> ReadSamplePlaces(const std::string &file)
{
    const unsigned char *bytes = (const unsigned char *)file.data();
    ReferenceReading reading =
        ReadAtomsForReference(bytes, (uint32_t)file.size(), ATOM_WALK_DEPTH_LIMIT);
    std::vector<TrackSamples> tracks;
    std::vector<uint32_t> sizes, chunks, stsc;
    auto finish = [&]() {
        if (sizes.empty())
            return;
        TrackSamples track;
        size_t sample = 0;
        for (size_t run = 0; run < stsc.size(); run += 2) {
            uint32_t first = stsc[run], per = stsc[run + 1];
            uint32_t next = run + 2 < stsc.size() ? stsc[run + 2] : (uint32_t)chunks.size() + 1;
            for (uint32_t c = first; c < next; c++) {
                uint64_t at = chunks[c - 1];
                for (uint32_t k = 0; k < per; k++) {
                    track.samples.push_back({at, sizes[sample]});
                    at += sizes[sample++];
                }
            }
        }
        tracks.push_back(track);
        sizes.clear();
        chunks.clear();
        stsc.clear();
    };
    for (const ReferenceAtom &atom : reading.atoms) {
        const unsigned char *p = bytes + atom.offset + 8;
        if (atom.type == "trak")
            finish();
        if (atom.type == "stsz") {
            uint32_t count = ReferenceBigEndian32(p + 8);
            for (uint32_t i = 0; i < count; i++)
                sizes.push_back(ReferenceBigEndian32(p) ? ReferenceBigEndian32(p)
                                                        : ReferenceBigEndian32(p + 12 + 4 * i));
        }
        if (atom.type == "stco")
            for (uint32_t i = 0; i < ReferenceBigEndian32(p + 4); i++)
                chunks.push_back(ReferenceBigEndian32(p + 8 + 4 * i));
        if (atom.type == "stsc")
            for (uint32_t i = 0; i < ReferenceBigEndian32(p + 4); i++) {
                stsc.push_back(ReferenceBigEndian32(p + 8 + 12 * i));
                stsc.push_back(ReferenceBigEndian32(p + 12 + 12 * i));
            }
    }
    finish();
    return tracks;
}

class ReferencesOnRealFiles : public ::testing::Test {
protected:
    WrittenFiles files;
    void SetUp() override
    {
        ASSERT_FALSE(files.dir().empty());
        if (!WrittenFiles::HasProgram("ffmpeg"))
            GTEST_SKIP() << "ffmpeg is not installed: the real-file checks are skipped";
    }
};

// ffprobe's count of the packets it reads in each stream, a line each.
std::string ProbePacketCounts(const std::string &path)
{
    std::string command = "ffprobe -v quiet -count_packets -show_entries stream=nb_read_packets "
                          "-of csv=p=0 '" +
        path + "'";
    std::string out = CommandOutput(command);
    // A stream of which no packet was read says N/A.
    for (size_t at; (at = out.find("N/A")) != std::string::npos;)
        out.replace(at, 3, "0");
    return out;
}

#ifdef KIVRA_DUMP
// The samples-past-end lines of kivra-dump --check --quiet on path, without
// the path, offset and severity in front of each.
std::string DumpedSurvivors(const std::string &path)
{
    std::string command =
        std::string("'") + KIVRA_DUMP + "' --no-defs --check --quiet '" + path + "'";
    std::string out = CommandOutput(command);
    std::string lines;
    const std::string prefix = ": problem: ";
    for (size_t at = 0, end; at < out.size(); at = end + 1) {
        end = out.find('\n', at);
        if (end == std::string::npos)
            end = out.size();
        std::string line = out.substr(at, end - at);
        size_t text = line.find(prefix);
        if (text != std::string::npos && line.find("[samples-past-end]") != std::string::npos)
            lines += line.substr(text + prefix.size()) + "\n";
    }
    return lines;
}
#endif

// A faststart file cut every 300 bytes after its moov, as an interrupted
// download leaves it: each track's count of samples past the end, and where
// its last whole sample ends, are what the tables and the cut give.
void CheckCutCopies(const std::string &path, bool probe)
{
    std::string whole = ReadTestFile(path);
    std::vector<TrackSamples> tracks = ReadSamplePlaces(whole);
    ASSERT_EQ(tracks.size(), 2u) << path;
    ReferenceReading reading = ReadAtomsForReference((const unsigned char *)whole.data(),
                                                     (uint32_t)whole.size(), ATOM_WALK_DEPTH_LIMIT);
    uint64_t moovEnd = 0;
    for (const ReferenceAtom &atom : reading.atoms)
        if (atom.type == "moov")
            moovEnd = atom.offset + 8 + atom.payloadSize;
    ASSERT_NE(moovEnd, 0u);
    int cuts = 0;
    for (uint64_t length = moovEnd + 16; length < whole.size(); length += 300) {
        Bytes cut(whole.begin(), whole.begin() + length);
        std::string expected;
        for (size_t t = 0; t < tracks.size(); t++) {
            uint64_t past = 0, lastEnd = 0;
            for (auto &sample : tracks[t].samples) {
                if (sample.first + sample.second > length)
                    past++;
                else if (sample.first + sample.second > lastEnd)
                    lastEnd = sample.first + sample.second;
            }
            if (past == 0)
                continue;
            char line[200];
            if (lastEnd != 0)
                snprintf(line, sizeof line,
                         "track %zu: %llu of %zu samples lie past the end of the file; the last "
                         "whole sample ends at 0x%08llX [samples-past-end]\n",
                         t + 1, (unsigned long long)past, tracks[t].samples.size(),
                         (unsigned long long)lastEnd);
            else
                snprintf(line, sizeof line,
                         "track %zu: %llu of %zu samples lie past the end of the file; none is "
                         "whole [samples-past-end]\n",
                         t + 1, (unsigned long long)past, tracks[t].samples.size());
            expected += line;
        }
        std::string got;
        for (const Finding &f : Check(cut))
            got += f.text + " [" + f.reason + "]\n";
        EXPECT_EQ(got, expected) << path << " cut at " << length;
        // ffprobe reads every whole sample and the one the cut goes
        // through: the samples that start before the cut, per stream.
        if (probe && cuts % 3 == 0) {
            std::string cutPath = path + ".cut";
            ASSERT_TRUE(WriteTestFile(cutPath, cut.data(), cut.size()));
            std::string expectedCounts;
            for (const TrackSamples &track : tracks) {
                size_t started = 0;
                for (auto &sample : track.samples)
                    started += sample.first < length ? 1 : 0;
                expectedCounts += std::to_string(started) + "\n";
            }
            EXPECT_EQ(ProbePacketCounts(cutPath), expectedCounts) << path << " cut at " << length;
#ifdef KIVRA_DUMP
            // kivra-dump --check reports the same lines.
            EXPECT_EQ(DumpedSurvivors(cutPath), expected) << path << " cut at " << length;
#endif
        }
        cuts++;
    }
    EXPECT_GT(cuts, 10) << path;
}

TEST_F(ReferencesOnRealFiles, CutCopiesReportTheSamplesThatSurvived)
{
    std::string path = files.Ffmpeg("faststart.mp4",
                                    "-c:v libx264 -preset ultrafast -c:a aac -movflags +faststart");
    ASSERT_FALSE(path.empty());
    CheckCutCopies(path, WrittenFiles::HasProgram("ffprobe"));
    if (!WrittenFiles::HasProgram("gst-launch-1.0"))
        return;
    // GStreamer's mp4mux with its moov first, video and sound interleaved.
    std::string gst = files.Run(
        "gst-faststart.mp4",
        "gst-launch-1.0 -q videotestsrc num-buffers=30 ! "
        "video/x-raw,width=64,height=48,framerate=10/1 ! x264enc ! h264parse ! "
        "mp4mux faststart=true name=m ! filesink location={out} audiotestsrc num-buffers=30 ! "
        "audioconvert ! lamemp3enc ! mpegaudioparse ! m.");
    ASSERT_FALSE(gst.empty());
    CheckCutCopies(gst, WrittenFiles::HasProgram("ffprobe"));
}

TEST_F(ReferencesOnRealFiles, CompleteFilesHaveNoReferenceProblem)
{
    const struct {
        const char *name;
        const char *arguments;
        bool moovAfterMdat;
    } made[] = {
        {"moov-at-end.mp4", "-c:v libx264 -preset ultrafast -c:a aac", true},
        {"faststart.mp4", "-c:v libx264 -preset ultrafast -c:a aac -movflags +faststart", false},
        {"fragmented.mp4",
         "-c:v libx264 -preset ultrafast -c:a aac -g 5 -movflags frag_keyframe+empty_moov", false},
        {"dash.mp4",
         "-c:v libx264 -preset ultrafast -c:a aac -g 5 -movflags "
         "frag_keyframe+empty_moov+default_base_moof+global_sidx",
         false},
        {"movie.mov", "-c:v libx264 -preset ultrafast -c:a aac", true},
        {"phone.3gp", "-c:v libx264 -preset ultrafast -c:a aac -ar 16000 -ac 1", true},
        {"tagged.m4a", "-vn -c:a aac -metadata title=Kivra", true},
        {"encrypted.mp4",
         "-c:v libx264 -preset ultrafast -c:a aac -encryption_scheme cenc-aes-ctr "
         "-encryption_key 00112233445566778899aabbccddeeff "
         "-encryption_kid 112233445566778899aabbccddeeff00",
         true},
        {"encrypted-fragments.mp4",
         "-c:v libx264 -preset ultrafast -c:a aac -g 5 -movflags frag_keyframe+empty_moov "
         "-encryption_scheme cenc-aes-ctr -encryption_key 00112233445566778899aabbccddeeff "
         "-encryption_kid 112233445566778899aabbccddeeff00",
         false},
    };
    for (const auto &m : made) {
        std::string path = files.Ffmpeg(m.name, m.arguments);
        ASSERT_FALSE(path.empty()) << m.name;
        std::string bytes = ReadTestFile(path);
        std::vector<Finding> findings = Check(Bytes(bytes.begin(), bytes.end()));
        std::string expected = m.moovAfterMdat ? "moov-after-mdat" : "";
        std::string got;
        for (const Finding &f : findings)
            got += f.reason;
        EXPECT_EQ(got, expected) << m.name << "\n" << Describe(findings);
    }
    if (WrittenFiles::HasProgram("gst-launch-1.0")) {
        const std::string video =
            "videotestsrc num-buffers=10 ! video/x-raw,width=64,height=48,framerate=10/1";
        const std::string sound = "audiotestsrc num-buffers=10 ! audioconvert";
        const struct {
            const char *name;
            std::string pipeline;
        } gst[] = {
            {"mp4mux.mp4",
             video +
                 " ! x264enc ! h264parse ! mp4mux name=m ! filesink "
                 "location={out} " +
                 sound + " ! avenc_aac ! aacparse ! m."},
            {"qtmux.mov",
             video +
                 " ! x264enc ! h264parse ! qtmux name=m ! filesink "
                 "location={out} " +
                 sound + " ! lamemp3enc ! mpegaudioparse ! m."},
            {"fragments.mp4",
             video +
                 " ! x264enc ! h264parse ! mp4mux fragment-duration=300 ! "
                 "filesink location={out}"},
            {"isml.ismv",
             video +
                 " ! x264enc ! h264parse ! ismlmux fragment-duration=500 ! "
                 "filesink location={out}"},
            {"opus.mp4", sound + " ! opusenc ! mp4mux ! filesink location={out}"},
        };
        for (const auto &g : gst) {
            std::string path = files.Run(g.name, "gst-launch-1.0 -q " + g.pipeline);
            ASSERT_FALSE(path.empty()) << g.name;
            std::string bytes = ReadTestFile(path);
            std::vector<Finding> findings = Check(Bytes(bytes.begin(), bytes.end()));
            for (const Finding &f : findings)
                EXPECT_TRUE(f.note) << g.name << "\n" << Describe(findings);
        }
    }
    if (!WrittenFiles::HasProgram("heif-enc"))
        return;
    std::string png = files.Ffmpeg("frame.png", "-frames:v 1 -an");
    std::string heic = files.Run("image.heic", "heif-enc -o {out} '" + png + "'");
    ASSERT_FALSE(heic.empty());
    std::string bytes = ReadTestFile(heic);
    EXPECT_EQ(Describe(Check(Bytes(bytes.begin(), bytes.end()))), "") << heic;
    // Cut inside its mdat: the image's extent runs past the end.
    std::string report = Describe(Check(Bytes(bytes.begin(), bytes.end() - 10)));
    EXPECT_NE(report.find("lies past the end of the file ("), std::string::npos) << report;
}

TEST_F(ReferencesOnRealFiles, CutFragmentsReportTheirSamples)
{
    std::string path = files.Ffmpeg(
        "fragmented.mp4",
        "-c:v libx264 -preset ultrafast -c:a aac -g 5 -movflags frag_keyframe+empty_moov");
    ASSERT_FALSE(path.empty());
    std::string whole = ReadTestFile(path);
    Bytes cut(whole.begin(), whole.begin() + whole.size() * 2 / 3);
    std::string report = Describe(Check(cut));
    EXPECT_NE(report.find("(fragments): "), std::string::npos) << report;
    EXPECT_NE(report.find("samples lie past the end of the file"), std::string::npos) << report;
}

#endif

}  // namespace
