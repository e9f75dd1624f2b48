#include "app/command_line.h"

#include <gtest/gtest.h>
#include <string.h>

TEST(AppCommandLine, FindsTheFileArgument)
{
    struct Case {
        const char *commandLine;
        const char *argument;  // null: no argument
    } cases[] = {
        // The documented examples.
        {"kivra.exe C:\\media\\clip.m4v", "C:\\media\\clip.m4v"},
        {"\"C:\\Program Files\\kivra\\kivra.exe\"", nullptr},
        {"kivra.exe  C:\\media\\clip.m4v", " C:\\media\\clip.m4v"},
        // Quoted arguments keep their quotes; further words stay part of it.
        {"\"C:\\kivra dir\\kivra.exe\" \"C:\\my clips\\a.3g2\"", "\"C:\\my clips\\a.3g2\""},
        {"kivra.exe \"a b.mp4\" extra words ", "\"a b.mp4\" extra words "},
        // Missing arguments.
        {"kivra.exe", nullptr},
        {"kivra.exe ", nullptr},
        {"\"kivra.exe\" ", nullptr},
        {"", nullptr},
        // Whatever follows the closing quote is skipped as the separator.
        {"\"kivra.exe\"x.mp4", ".mp4"},
        {"\"kivra.exe\"\tclip.mp4", "clip.mp4"},
        // An unterminated quote runs to the end.
        {"\"kivra.exe clip.mp4", nullptr},
        // A tab is not a separator outside quotes.
        {"kivra.exe\tclip.mp4", nullptr},
        {"kivra.exe\tclip.mp4 other.mp4", "other.mp4"},
        // Double-byte bytes are passed over like any other byte.
        {"\x83\x4C\x83\x94.exe \x83\x74\x83\x40.mp4", "\x83\x74\x83\x40.mp4"},
    };
    for (const Case &c : cases) {
        const char *found = FindFileArgument(c.commandLine);
        if (c.argument == nullptr) {
            EXPECT_EQ(found, nullptr) << "[" << c.commandLine << "]";
            continue;
        }
        ASSERT_NE(found, nullptr) << "[" << c.commandLine << "]";
        EXPECT_STREQ(found, c.argument) << "[" << c.commandLine << "]";
        // The argument points into the command line itself, not at a copy.
        EXPECT_EQ(found, c.commandLine + strlen(c.commandLine) - strlen(c.argument));
    }
    EXPECT_EQ(FindFileArgument(nullptr), nullptr);
}
