// The field decoders on real files: every atom of files written by ffmpeg
// and heif-enc decodes without a problem, and the values agree with what
// the writer was asked for and with ffprobe.

#include "fields/box_fields.h"
#include "atoms/atom_walk.h"
#include "tests/fields/field_trace.h"
#include "tests/fields/real_files.h"
#include "tests/support/reference_atom_walk.h"
#include "tests/support/reference_checked_atom.h"

#include <gtest/gtest.h>

#include <map>
#include <string.h>
#include <string>
#include <vector>

#ifndef _WIN32

namespace {

// Every atom's fields, keyed by its path of types ("moov/trak/mdia/mdhd"),
// those of atoms with the same path one after the other.
std::map<std::string, std::string> DecodeEveryAtom(const std::string &path, int *problems)
{
    std::string file = ReadTestFile(path);
    const unsigned char *bytes = (const unsigned char *)file.data();
    ReferenceReading reading =
        ReadAtomsForReference(bytes, (uint32_t)file.size(), ATOM_WALK_DEPTH_LIMIT);
    std::map<std::string, std::string> fields;
    std::vector<std::string> chain;
    *problems = 0;
    for (const ReferenceAtom &atom : reading.atoms) {
        chain.resize(atom.depth - 1);
        std::string parents;
        for (const std::string &type : chain)
            parents += type;
        chain.push_back(atom.type);
        std::string key;
        for (const std::string &type : chain)
            key += (key.empty() ? "" : "/") + type;
        FieldTrace trace;
        FieldSink sink = MakeTraceSink(&trace);
        FieldBox box = FieldBoxFromReference(bytes, atom, parents);
        if (DecodeBoxFields(&box, FIELD_TABLE_DEFAULT, &sink))
            fields[key] += trace.lines + "--\n";
        *problems += trace.problems;
        EXPECT_EQ(trace.depth, 0) << key;
        if (trace.problems)
            ADD_FAILURE() << path << ": " << key << "\n" << trace.lines;
    }
    return fields;
}

bool Has(const std::map<std::string, std::string> &fields, const std::string &key,
         const std::string &text)
{
    auto found = fields.find(key);
    return found != fields.end() && found->second.find(text) != std::string::npos;
}

// ffprobe's packet count of the first stream of a kind ("v" or "a").
std::string ProbePackets(const std::string &path, const char *stream)
{
    std::string command = std::string("ffprobe -v error -select_streams ") + stream +
        ":0 -count_packets -show_entries stream=nb_read_packets -of csv=p=0 '" + path + "'";
    // Its first line.
    std::string out = CommandOutput(command);
    return out.substr(0, out.find_first_of("\r\n"));
}

class FieldsOnRealFiles : public ::testing::Test {
protected:
    WrittenFiles files;
    void SetUp() override
    {
        ASSERT_FALSE(files.dir().empty());
        if (!WrittenFiles::HasProgram("ffmpeg") || !WrittenFiles::HasProgram("ffprobe"))
            GTEST_SKIP() << "ffmpeg is not installed: the real-file checks are skipped";
    }
};

TEST_F(FieldsOnRealFiles, FaststartMovieShowsWhatFfmpegWasAskedFor)
{
    std::string path = files.Ffmpeg("faststart.mp4",
                                    "-c:v libx264 -preset ultrafast -c:a aac -ac 2 -ar 48000 "
                                    "-movflags +faststart -metadata:s:a language=eng");
    ASSERT_FALSE(path.empty());
    int problems = 0;
    auto fields = DecodeEveryAtom(path, &problems);
    EXPECT_EQ(problems, 0);
    const std::string stbl = "moov/trak/mdia/minf/stbl/";
    EXPECT_TRUE(Has(fields, "ftyp", "major_brand=isom\n"));
    EXPECT_TRUE(Has(fields, "moov/mvhd", "timescale=1000\n"));
    EXPECT_TRUE(Has(fields, "moov/trak/tkhd", "flag_names=enabled in-movie\n"));
    EXPECT_TRUE(Has(fields, "moov/trak/tkhd", "width=64\nheight=48\n"));
    EXPECT_TRUE(Has(fields, "moov/trak/mdia/hdlr", "handler_type=vide\n"));
    EXPECT_TRUE(Has(fields, "moov/trak/mdia/hdlr", "handler_type=soun\n"));
    EXPECT_TRUE(Has(fields, "moov/trak/mdia/mdhd", "language=eng\n"));
    EXPECT_TRUE(Has(fields, stbl + "stsd",
                    "format=avc1\ndata_reference_index=1\nwidth=64\n"
                    "height=48\n"));
    EXPECT_TRUE(Has(fields, stbl + "stsd", "boxes=avcC"));
    EXPECT_TRUE(Has(fields, stbl + "stsd",
                    "format=mp4a\ndata_reference_index=1\n"
                    "channelcount=2\nsamplesize=16\nsamplerate=48000\n"
                    "boxes=esds"));
    // The sample counts ffprobe reads.
    EXPECT_TRUE(Has(fields, stbl + "stsz", "sample_count=" + ProbePackets(path, "v") + "\n"))
        << fields[stbl + "stsz"];
    EXPECT_TRUE(Has(fields, stbl + "stsz", "sample_count=" + ProbePackets(path, "a") + "\n"))
        << fields[stbl + "stsz"];
    EXPECT_TRUE(Has(fields, stbl + "stco", "chunk_offset="));
}

TEST_F(FieldsOnRealFiles, FragmentedMovieShowsItsFragments)
{
    std::string path = files.Ffmpeg(
        "fragmented.mp4",
        "-c:v libx264 -preset ultrafast -c:a aac -g 5 -movflags frag_keyframe+empty_moov");
    ASSERT_FALSE(path.empty());
    int problems = 0;
    auto fields = DecodeEveryAtom(path, &problems);
    EXPECT_EQ(problems, 0);
    EXPECT_TRUE(Has(fields, "moov/mvex/trex", "track_ID=1\n"));
    EXPECT_TRUE(Has(fields, "moof/mfhd", "sequence_number=1\n"));
    EXPECT_TRUE(Has(fields, "moof/mfhd", "sequence_number=2\n"));
    EXPECT_TRUE(Has(fields, "moof/traf/tfhd", "flag_names=base-data-offset"));
    EXPECT_TRUE(Has(fields, "moof/traf/tfdt", "baseMediaDecodeTime=0\n"));
    EXPECT_TRUE(Has(fields, "moof/traf/trun", "data-offset"));
    EXPECT_TRUE(Has(fields, "moof/traf/trun", "samples[\n{\n"));
}

// ffmpeg's common encryption: the sample entries' protection schemes (no
// walk reaches inside the stsd), in a movie and in a fragmented one, and the
// auxiliary information of the movie's samples.
TEST_F(FieldsOnRealFiles, EncryptedMoviesShowTheirProtection)
{
    const std::string encryption = " -encryption_scheme cenc-aes-ctr -encryption_key "
                                   "00112233445566778899aabbccddeeff -encryption_kid "
                                   "112233445566778899aabbccddeeff00";
    const struct {
        const char *name;
        const char *arguments;
        const char *tables;  // where saiz, saio and senc stand (ffmpeg writes none in fragments)
    } made[] = {
        {"encrypted.mp4", "-c:v libx264 -preset ultrafast -c:a aac", "moov/trak/mdia/minf/stbl/"},
        {"encrypted-fragments.mp4",
         "-c:v libx264 -preset ultrafast -c:a aac -g 5 -movflags frag_keyframe+empty_moov", 0},
    };
    const std::string scheme = "box=frma\noffset=";
    for (const auto &m : made) {
        std::string path = files.Ffmpeg(m.name, m.arguments + encryption);
        ASSERT_FALSE(path.empty()) << m.name;
        int problems = 0;
        auto fields = DecodeEveryAtom(path, &problems);
        EXPECT_EQ(problems, 0) << m.name;
        const std::string stsd = fields["moov/trak/mdia/minf/stbl/stsd"];
        for (const char *format : {"avc1", "mp4a"}) {
            EXPECT_NE(stsd.find(std::string("size=12\ndata_format=") + format + "\n"),
                      std::string::npos)
                << m.name << "\n"
                << stsd;
        }
        EXPECT_NE(stsd.find("format=encv\n"), std::string::npos) << m.name;
        EXPECT_NE(stsd.find("format=enca\n"), std::string::npos) << m.name;
        EXPECT_NE(stsd.find(scheme), std::string::npos) << m.name;
        EXPECT_NE(stsd.find("scheme_type=cenc\n"), std::string::npos) << m.name;
        EXPECT_NE(stsd.find("box=tenc\n"), std::string::npos) << m.name;
        EXPECT_NE(stsd.find("default_isProtected=1\ndefault_Per_Sample_IV_Size=8\n"
                            "default_KID=11223344-5566-7788-99aa-bbccddeeff00\n"),
                  std::string::npos)
            << m.name << "\n"
            << stsd;
        if (m.tables == 0)
            continue;
        const std::string tables = m.tables;
        EXPECT_TRUE(Has(fields, tables + "saiz", "sample_count=")) << m.name;
        EXPECT_TRUE(Has(fields, tables + "saio", "entry_count=1\n")) << m.name;
        EXPECT_TRUE(Has(fields, tables + "senc", "sample_count=")) << m.name;
    }
}

TEST_F(FieldsOnRealFiles, TaggedSoundShowsItsTextItems)
{
    std::string path =
        files.Ffmpeg("tagged.m4a", "-vn -c:a aac -metadata title=Kivra -metadata artist=Someone");
    ASSERT_FALSE(path.empty());
    int problems = 0;
    auto fields = DecodeEveryAtom(path, &problems);
    EXPECT_EQ(problems, 0);
    EXPECT_TRUE(Has(fields, "moov/udta/meta", "box=ilst\n"));
    EXPECT_TRUE(Has(fields, "moov/udta/meta", "items[\n"));
    EXPECT_TRUE(Has(fields, "moov/udta/meta", "item=\xA9nam\nvalue=Kivra\n"));
    EXPECT_TRUE(Has(fields, "moov/udta/meta",
                    "item=\xA9"
                    "ART\nvalue=Someone\n"));
}

TEST_F(FieldsOnRealFiles, ImageItemsShowTheirPlaces)
{
    if (!WrittenFiles::HasProgram("heif-enc"))
        GTEST_SKIP() << "heif-enc is not installed";
    std::string png = files.Ffmpeg("frame.png", "-frames:v 1 -an");
    ASSERT_FALSE(png.empty());
    std::string path = files.Run("image.heic", "heif-enc -o {out} '" + png + "'");
    ASSERT_FALSE(path.empty());
    int problems = 0;
    auto fields = DecodeEveryAtom(path, &problems);
    EXPECT_EQ(problems, 0);
    EXPECT_TRUE(Has(fields, "meta", "box=pitm\n")) << fields["meta"];
    EXPECT_TRUE(Has(fields, "meta", "box=iloc\n"));
    EXPECT_TRUE(Has(fields, "meta", "extent_offset="));
    EXPECT_TRUE(Has(fields, "meta", "item_type=hvc1\n"));
    EXPECT_TRUE(Has(fields, "meta", "box=ispe\n"));
    EXPECT_TRUE(Has(fields, "meta", "image_width=64\nimage_height=48\n"));
    EXPECT_TRUE(Has(fields, "meta", "box=ipma\n"));
}

}  // namespace

#endif
