#include "defs/atom_descriptions.h"
#include "defs/definition_index.h"
#include "defs/definition_line.h"
#include "defs/definition_text.h"
#include "platform/heap.h"
#include "tests/support/heap_fault.h"

#include "tests/support/atom_fixtures.h"

#include <gtest/gtest.h>

#include <string.h>
#include <string>
#include <vector>

namespace {

struct InsertedText {
    void *parent;
    std::string text;
};

struct RecordingDescriptionTree {
    std::vector<InsertedText> inserted;
    DescriptionTree service;
    RecordingDescriptionTree()
    {
        service.context = this;
        service.insertChildText = [](void *context, void *parent, const char *text) {
            ((RecordingDescriptionTree *)context)->inserted.push_back({parent, text});
        };
    }
    std::vector<std::string> Texts() const
    {
        std::vector<std::string> out;
        for (const InsertedText &i : inserted)
            out.push_back(i.text);
        return out;
    }
};

// Runs the lookup for the atom held in atomBytes (an exact heap copy, so a
// read past the buffer is caught) and returns the inserted texts.
// heapSuccesses: allocations the lookup may make before every further one fails.
std::vector<std::string> Describe(const std::string &text, const Bytes &atomBytes,
                                  CharStep step = CharStepSingleByte, long heapSuccesses = -1)
{
    ExactBuffer atom(atomBytes);
    RecordingDescriptionTree tree;
    int item = 0;
    SetHeapFailureCountdown(heapSuccesses);
    AddAtomDescriptionsFromText(text.c_str(), step, atom.data, atom.size, &tree.service, &item,
                                atom.data + atom.size);
    SetHeapFailureCountdown(-1);
    for (const InsertedText &i : tree.inserted)
        EXPECT_EQ(i.parent, &item);
    return tree.Texts();
}

typedef std::vector<std::string> Lines;

TEST(DescriptionLookup, SectionNamesMatchTheTypeAndPayloadBytes)
{
    const Bytes moov = Atom("moov", Raw({'A', 0, 0, 0}));
    const Bytes moof = Atom("moof", Raw({'B'}));
    struct Case {
        const char *name;
        std::string text;
        const Bytes &atom;
        Lines expected;
    } cases[] = {
        {"prefix matches moov", "[mo]\nA\n", moov, {"[mo]", "A"}},
        {"prefix matches moof", "[mo]\nA\n", moof, {"[mo]", "A"}},
        {"exact type", "[moov]\nA\n", moov, {"[moov]", "A"}},
        {"other type", "[moov]\nA\n", moof, {}},
        {"case matters", "[MOOV]\nA\n", moov, {}},
        {"empty name matches all", "[]\nA\n", moof, {"[]", "A"}},
        {"lone bracket matches all", "[\nA\n", moof, {"[", "A"}},
        {"header text kept whole", "[moov] Movie Box\nA\n", moov, {"[moov] Movie Box", "A"}},
        {"no closing bracket", "[moov\nA", moov, {"[moov", "A"}},
        {"without the bracket the text is part of the name", "[moov Movie\nA", moov, {}},
        {"fifth byte equals payload", "[moovA]\nx\n", moov, {"[moovA]", "x"}},
        {"fifth byte differs", "[moovB]\nx\n", moov, {}},
        {"lines before the first header are not shown", "intro\n[moov]\nA", moov, {"[moov]", "A"}},
        {"CR LF text", "[moov]\r\nA\r\nB\r\n\r\nC\r\n", moov, {"[moov]", "A", "B"}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Describe(c.text, c.atom), c.expected) << c.name;
}

TEST(DescriptionLookup, SectionBodiesEndAtEmptyLinesHeadersAndTheEnd)
{
    const Bytes moov = Atom("moov");
    struct Case {
        const char *name;
        std::string text;
        Lines expected;
    } cases[] = {
        {"two adjacent sections in file order",
         "[moov] 1\na\nb\n[mo] 2\nc\n",
         {"[moov] 1", "a", "b", "[mo] 2", "c"}},
        {"header at the end of the text", "[moov]", {"[moov]"}},
        {"header then an empty line", "[moov]\n\nnot shown\n", {"[moov]"}},
        {"blank body line is shown, lines after an empty line are not",
         "[moov]\n   \nx\n\nnot shown\n[moov] again\ny",
         {"[moov]", "   ", "x", "[moov] again", "y"}},
        {"non-matching body with a blank-bracket line is passed over",
         "[trak]\n [moov] not a header\nz\n[moov]\nw",
         {"[moov]", "w"}},
        {"non-matching header directly after a matching body",
         "[moov]\na\n[trak]\nt\n[moov]\nb",
         {"[moov]", "a", "[moov]", "b"}},
        {"every matching section applies",
         "[]\n0\n[m]\n1\n[moov]\n2\n[moovX]\n3\n",
         {"[]", "0", "[m]", "1", "[moov]", "2"}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Describe(c.text, moov), c.expected) << c.name;
}

TEST(DescriptionLookup, LongNamesStopAtTheEndOfTheBuffer)
{
    // An 8-byte atom ending the buffer: a name longer than its type would
    // need bytes past the end and does not match.
    const Bytes bare = Atom("moov");
    EXPECT_EQ(Describe("[moovX]\na\n[moov]\nb\n", bare), (Lines{"[moov]", "b"}));
    // Payload bytes inside the buffer compare up to its very last byte.
    const Bytes two = Atom("moov", Raw({'X', 'Y'}));
    EXPECT_EQ(Describe("[moovXY]\na\n[moovXYZ]\nb\n", two), (Lines{"[moovXY]", "a"}));
    // A size field larger than the buffer does not widen what is compared.
    const Bytes lying = AtomWithSize(0xFFFFFFF0u, "moov", Raw({'X'}));
    EXPECT_EQ(Describe("[moovXY]\na\n", lying), Lines{});
}

TEST(DescriptionLookup, ShiftJisLinesKeepCrAndLfAfterALeadByte)
{
    const Bytes moov = Atom("moov");
    std::string text = "[moov] \x83\x5C\n\x82\nstill the same line\nnext\n";
    EXPECT_EQ(Describe(text, moov, CharStepShiftJis),
              (Lines{"[moov] \x83\x5C", "\x82\nstill the same line", "next"}));
    EXPECT_EQ(Describe(text, moov, CharStepSingleByte),
              (Lines{"[moov] \x83\x5C", "\x82", "still the same line", "next"}));
}

TEST(DescriptionLookup, NoTextAddsNothing)
{
    FreeDefinitionText();
    ExactBuffer atom(Atom("moov"));
    RecordingDescriptionTree tree;
    AddAtomDescriptions(atom.data, atom.size, &tree.service, nullptr, atom.data + atom.size);
    EXPECT_TRUE(tree.inserted.empty());
}

TEST(DescriptionLookup, UsesDefinitionText)
{
    FakeFile file;
    const char text[] = "[moov] from the file\nbody\n";
    file.content.assign(text, text + sizeof text - 1);
    ASSERT_TRUE(LoadDefinitionTextWith(&file.service, "atom.def"));
    ExactBuffer atom(Atom("moov"));
    RecordingDescriptionTree tree;
    AddAtomDescriptions(atom.data, atom.size, &tree.service, nullptr, atom.data + atom.size);
    FreeDefinitionText();
    EXPECT_EQ(tree.Texts(), (Lines{"[moov] from the file", "body"}));
}

// The text and its index are set together: each new text brings its own
// index, and no text leaves none behind.
TEST(DescriptionLookup, EachDefinitionTextComesWithItsOwnIndex)
{
    struct Step {
        const char *text;  // NULL: no text
        Lines moovItems;
    } steps[] = {
        {"[moov] first\nbody 1\n", {"[moov] first", "body 1"}},
        {"[mvhd] other\n\n[moov] second\n", {"[moov] second"}},
        {nullptr, {}},
        {"", {}},
    };
    ExactBuffer atom(Atom("moov"));
    for (const Step &step : steps) {
        char *block = nullptr;
        if (step.text != nullptr) {
            size_t length = strlen(step.text);
            block = (char *)HeapAllocBlock(length + 1);
            ASSERT_NE(block, nullptr);
            memcpy(block, step.text, length + 1);
        }
        SetDefinitionText(block, CharStepSingleByte);
        EXPECT_EQ(DefinitionText, block);
        EXPECT_EQ(DefinitionTextIndex() != nullptr, block != nullptr);
        if (DefinitionTextIndex() != nullptr) {
            EXPECT_EQ(DefinitionIndexText(DefinitionTextIndex()), block);
        }
        RecordingDescriptionTree tree;
        AddAtomDescriptions(atom.data, atom.size, &tree.service, nullptr, atom.data + atom.size);
        EXPECT_EQ(tree.Texts(), step.moovItems) << (step.text ? step.text : "no text");
    }
    FreeDefinitionText();
    EXPECT_EQ(DefinitionText, nullptr);
    EXPECT_EQ(DefinitionTextIndex(), nullptr);
}

TEST(DescriptionLookup, AllocationFailureEndsTheLookupWithoutLeaks)
{
    // Allocations: 1 the header line, 2 the first body line, ...
    const std::string text = "[moov]\na\nb\n[moov] 2\nc\n";
    struct Case {
        long successes;
        Lines expected;
    } cases[] = {
        {0, {}},
        {1, {"[moov]"}},
        {2, {"[moov]", "a"}},
        {3, {"[moov]", "a", "b"}},
        {4, {"[moov]", "a", "b", "[moov] 2"}},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(Describe(text, Atom("moov"), CharStepSingleByte, c.successes), c.expected)
            << c.successes;
    }
}

// Hostile definition files, loaded as the program loads them: the text is an
// exact heap block (file size + 1), so the sanitizers catch any read past its
// final NUL.
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

TEST(DescriptionLookup, AHundredMegabytesOnOneLine)
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

    // The window's lookup goes through the index, which finds so long a line
    // in the text and copies it only to insert it.
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

TEST(DescriptionLookup, ATextEndingInAShiftJisLeadByte)
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
