#include "defs/definition_line.h"
#include "defs/definition_text.h"
#include "platform/heap.h"
#include "tests/support/heap_fault.h"
#include "tests/support/test_files.h"

#include "tests/support/atom_fixtures.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdio.h>
#include <string>

namespace {

struct DefinitionTextReset {
    ~DefinitionTextReset()
    {
        FreeDefinitionText();
        SetHeapFailureCountdown(-1);
    }
};

TEST(DefinitionText, LoadsTheBytesUnalteredWithOneNulAfterThem)
{
    DefinitionTextReset reset;
    FakeFile file;
    const char bytes[] = "[moov]\r\nM\x82\x5C\n";
    file.content.assign(bytes, bytes + sizeof bytes - 1);
    ASSERT_TRUE(LoadDefinitionTextWith(&file.service, "x"));
    ASSERT_NE(DefinitionText, nullptr);
    EXPECT_EQ(std::string(DefinitionText), std::string(bytes));
    EXPECT_EQ(file.closeCount, 1);
}

TEST(DefinitionText, EmptyFileGivesATextHoldingOnlyTheNul)
{
    DefinitionTextReset reset;
    FakeFile file;
    ASSERT_TRUE(LoadDefinitionTextWith(&file.service, "x"));
    ASSERT_NE(DefinitionText, nullptr);
    EXPECT_EQ(DefinitionText[0], '\0');
    const char *cursor = DefinitionText;
    EXPECT_EQ(ReadDefinitionLine(&cursor), nullptr);
}

TEST(DefinitionText, AnyFailedStepLeavesNoText)
{
    struct Case {
        const char *name;
        bool failOpen, failSize, oversize;
        uint32_t readLimit;
        long heapSuccesses;
    } cases[] = {
        {"open fails", true, false, false, 0xFFFFFFFFu, -1},
        {"size query fails", false, true, false, 0xFFFFFFFFu, -1},
        {"size + 1 does not fit 32 bits", false, false, true, 0xFFFFFFFFu, -1},
        {"allocation fails", false, false, false, 0xFFFFFFFFu, 0},
        {"read comes short", false, false, false, 5, -1},
        {"read fails", false, false, false, 0, -1},
    };
    for (const Case &c : cases) {
        DefinitionTextReset reset;
        FakeFile previous;
        previous.content = Raw({'[', ']'});
        ASSERT_TRUE(LoadDefinitionTextWith(&previous.service, "old"));
        FakeFile file;
        file.content = Raw({'[', 'a', 'b', 'c', 'd', ']', '\n', 'x'});
        file.failOpen = c.failOpen;
        file.failSize = c.failSize;
        file.sizeOverride = c.oversize;
        file.reportedSize = 0xFFFFFFFFu;
        file.readLimit = c.readLimit;
        SetHeapFailureCountdown(c.heapSuccesses);
        EXPECT_FALSE(LoadDefinitionTextWith(&file.service, "x")) << c.name;
        SetHeapFailureCountdown(-1);
        EXPECT_EQ(DefinitionText, nullptr) << c.name;
        EXPECT_EQ(file.openCount, file.closeCount) << c.name;
    }
}

TEST(DefinitionText, ReadsAtomDefBesideTheExecutableNotInTheCurrentDirectory)
{
    DefinitionTextReset reset;
    // The build copies the repository's atom.def beside every test program.
    std::string expected = ReadTestFile(std::string(KIVRA_SOURCE_DIR) + "/atom.def");
    ASSERT_FALSE(expected.empty());
    // Run from another directory that holds a decoy atom.def.
    std::error_code error;
    std::filesystem::path previous = std::filesystem::current_path(error);
    std::filesystem::path elsewhere =
        std::filesystem::temp_directory_path(error) / "kivra-defs-cwd-test";
    std::filesystem::create_directories(elsewhere, error);
    ASSERT_FALSE(error);
    FILE *decoy = fopen((elsewhere / "atom.def").string().c_str(), "wb");
    ASSERT_NE(decoy, nullptr);
    fputs("[decoy]\n", decoy);
    fclose(decoy);
    std::filesystem::current_path(elsewhere, error);
    ASSERT_FALSE(error);
    LoadDefinitionText();
    std::filesystem::current_path(previous, error);
    std::filesystem::remove_all(elsewhere, error);
    ASSERT_NE(DefinitionText, nullptr);
    EXPECT_EQ(std::string(DefinitionText), expected);
}

TEST(DefinitionText, LoadsFromAnExplicitPathAndFailsSilentlyOnAMissingOne)
{
    DefinitionTextReset reset;
    std::string path = std::string(KIVRA_SOURCE_DIR) + "/atom.def";
    ASSERT_TRUE(LoadDefinitionTextFromPath(path.c_str()));
    EXPECT_EQ(std::string(DefinitionText), ReadTestFile(path));
    EXPECT_FALSE(LoadDefinitionTextFromPath("no such directory/atom.def"));
    EXPECT_EQ(DefinitionText, nullptr);
    FreeDefinitionText();
    EXPECT_EQ(DefinitionText, nullptr);
}

TEST(DefinitionPath, DirectoryOfTheExecutablePlusAtomDef)
{
    struct Case {
        const char *name;
        const char *executable;
        char separator;
        CharStep step;
        const char *expected;  // nullptr: no path
    } cases[] = {
        {"windows path", "C:\\Programs\\kivra\\kivra.exe", '\\', CharStepSingleByte,
         "C:\\Programs\\kivra\\atom.def"},
        {"linux path", "/usr/local/bin/kivra-dump", '/', CharStepSingleByte,
         "/usr/local/bin/atom.def"},
        {"no separator", "kivra.exe", '\\', CharStepSingleByte, nullptr},
        // 0x83 0x5C is one Shift-JIS character whose trail byte is a backslash.
        {"trail byte 0x5C is no separator", "C:\\\x83\x5C\\k.exe", '\\', CharStepShiftJis,
         "C:\\\x83\x5C\\atom.def"},
        {"trail byte 0x5C ending the name", "C:\\d\x83\x5Ck.exe", '\\', CharStepShiftJis,
         "C:\\atom.def"},
        {"single-byte step cuts at that byte", "C:\\d\x83\x5Ck.exe", '\\', CharStepSingleByte,
         "C:\\d\x83\x5C"
         "atom.def"},
    };
    for (const Case &c : cases) {
        char out[DEFINITION_PATH_CAPACITY];
        int ok = BuildDefinitionPath(c.executable, c.separator, c.step, out);
        if (c.expected == nullptr) {
            EXPECT_FALSE(ok) << c.name;
        } else {
            ASSERT_TRUE(ok) << c.name;
            EXPECT_STREQ(out, c.expected) << c.name;
        }
    }
}

TEST(DefinitionPath, RelativeNameNearTheExecutable)
{
    struct Case {
        const char *name;
        const char *executable;
        const char *relative;
        const char *expected;  // nullptr: no path
    } cases[] = {
        {"installed kivra-dump", "/usr/local/bin/kivra-dump", "../share/kivra/atom.def",
         "/usr/local/bin/../share/kivra/atom.def"},
        {"atom.def itself", "/opt/kivra/kivra-dump", "atom.def", "/opt/kivra/atom.def"},
        {"program at the root", "/kivra-dump", "../share/kivra/atom.def",
         "/../share/kivra/atom.def"},
        {"no separator", "kivra-dump", "../share/kivra/atom.def", nullptr},
    };
    for (const Case &c : cases) {
        char out[DEFINITION_PATH_CAPACITY];
        int ok = BuildPathNearExecutable(c.executable, '/', CharStepSingleByte, c.relative, out);
        if (c.expected == nullptr) {
            EXPECT_FALSE(ok) << c.name;
        } else {
            ASSERT_TRUE(ok) << c.name;
            EXPECT_STREQ(out, c.expected) << c.name;
        }
    }
    // The directory and the name together must leave room for the NUL.
    std::string directory = "/" + std::string(200, 'd') + "/";
    std::string name(DEFINITION_PATH_CAPACITY - 1 - directory.size(), 'n');
    char out[DEFINITION_PATH_CAPACITY];
    ASSERT_TRUE(BuildPathNearExecutable((directory + "k").c_str(), '/', CharStepSingleByte,
                                        name.c_str(), out));
    EXPECT_EQ(std::string(out), directory + name);
    EXPECT_FALSE(BuildPathNearExecutable((directory + "k").c_str(), '/', CharStepSingleByte,
                                         (name + "n").c_str(), out));
    std::string huge(DEFINITION_PATH_CAPACITY * 2, 'n');
    EXPECT_FALSE(BuildPathNearExecutable("/k", '/', CharStepSingleByte, huge.c_str(), out));
}

TEST(DefinitionPath, TooLongADirectoryLoadsNothing)
{
    // "atom.def" and the NUL take 9 of the 260 bytes: 251 for the directory.
    std::string fits = "C:\\" + std::string(247, 'd') + "\\";
    ASSERT_EQ(fits.size(), 251u);
    char out[DEFINITION_PATH_CAPACITY];
    ASSERT_TRUE(BuildDefinitionPath((fits + "kivra.exe").c_str(), '\\', CharStepSingleByte, out));
    EXPECT_EQ(std::string(out), fits + "atom.def");
    std::string tooLong = "C:\\" + std::string(248, 'd') + "\\";
    EXPECT_FALSE(BuildDefinitionPath((tooLong + "k.exe").c_str(), '\\', CharStepSingleByte, out));
}

}  // namespace
