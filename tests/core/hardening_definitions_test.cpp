// Hostile definition files: 100 MB on one line, and a file whose last byte
// is a Shift-JIS lead byte. The text is an exact heap block (file size + 1),
// so the sanitizers catch any read past its final NUL.

#include "defs/definition_line.h"
#include "defs/atom_descriptions.h"
#include "defs/definition_index.h"
#include "defs/definition_text.h"

#include "atoms_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> LookUp(const char *text, CharStep step, const Bytes &atom)
{
    std::vector<std::string> items;
    DescriptionTree tree;
    tree.context = &items;
    tree.insertChildText = [](void *context, void *, const char *line) {
        ((std::vector<std::string> *)context)->push_back(line);
    };
    ExactBuffer buffer(atom);
    AddAtomDescriptionsFromText(text, step, buffer.data, buffer.size, &tree, 0,
                                buffer.data + buffer.size);
    return items;
}

struct LoadedText {
    explicit LoadedText(const Bytes &content)
    {
        FakeFile file;
        file.content = content;
        loaded = LoadDefinitionTextWith(&file.service, "atom.def");
    }
    ~LoadedText() { FreeDefinitionText(); }
    int loaded;
};

TEST(HardeningDefinitions, AHundredMegabytesOnOneLine)
{
    const size_t size = 100u * 1024 * 1024;
    Bytes content(size, 'x');
    const char header[] = "[moov] ";
    for (size_t i = 0; i < sizeof header - 1; i++)
        content[i] = (unsigned char)header[i];
    LoadedText text(content);
    ASSERT_TRUE(text.loaded);
    std::vector<std::string> items = LookUp(DefinitionText, CharStepShiftJis, Atom("moov"));
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].size(), size);
    EXPECT_EQ(items[0].compare(0, 7, header), 0);

    // The window's lookup goes through the index, which keeps so long a line
    // in the text instead of copying it.
    ASSERT_NE(DefinitionTextIndex(), nullptr);
    std::vector<std::string> indexed;
    DescriptionTree tree = {&indexed, [](void *context, void *, const char *line) {
                                ((std::vector<std::string> *)context)->push_back(line);
                            }};
    ExactBuffer buffer(Atom("moov"));
    AddAtomDescriptions(buffer.data, buffer.size, &tree, 0, buffer.data + buffer.size);
    EXPECT_TRUE(indexed == items);
    EXPECT_EQ(DefinitionText[size], '\0');
}

TEST(HardeningDefinitions, LastByteIsAShiftJisLeadByte)
{
    struct Case {
        const char *file;
        std::vector<std::string> moovItems;  // under a moov atom whose payload starts 0x81
    };
    const Case cases[] = {
        {"[moov]\r\nbody\x81", {"[moov]", "body\x81"}},
        {"[moov]\n\x81", {"[moov]", "\x81"}},
        {"[moov\x81", {"[moov\x81"}},
        {"[moo\x81", {}},
        {"\x81", {}},
        {"[moov]\n\x81\n\x81", {"[moov]", "\x81\n\x81"}},
    };
    for (const Case &c : cases) {
        const std::string file = c.file;
        LoadedText text(Bytes(file.begin(), file.end()));
        ASSERT_TRUE(text.loaded);
        EXPECT_EQ(LookUp(DefinitionText, CharStepShiftJis, Atom("moov", Raw({0x81, 0}))),
                  c.moovItems)
            << file;
        // Read line by line, the text ends on its final NUL, however it ends.
        const char *cursor = DefinitionText;
        size_t consumed = 0;
        while (char *line = ReadDefinitionLineWithStep(&cursor, CharStepShiftJis)) {
            HeapFreeBlock(line);
            consumed++;
        }
        EXPECT_EQ(cursor, DefinitionText + file.size()) << file;
        EXPECT_GE(consumed, 1u);
    }
}

}  // namespace
