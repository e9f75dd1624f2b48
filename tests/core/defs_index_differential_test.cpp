// The definition index against the line-by-line lookup it stands in for:
// on many generated definition texts and atoms, with the single-byte and the
// Shift-JIS step, both must insert the same texts in the same order.

#include "defs/atom_descriptions.h"
#include "defs/definition_index.h"
#include "defs/definition_text.h"
#include "platform/heap.h"
#include "tests/support/heap_fault.h"

#include "tests/support/atom_fixtures.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

typedef std::vector<std::string> Lines;

struct Random {
    uint64_t state;
    explicit Random(uint64_t seed) : state(seed) {}
    uint32_t Next()
    {
        // splitmix64
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return (uint32_t)((z ^ (z >> 31)) >> 16);
    }
    uint32_t Below(uint32_t n) { return Next() % n; }
    bool OneIn(uint32_t n) { return Below(n) == 0; }
};

const char *const kTypes[] = {"moov", "moof", "mvhd", "trak", "traf",    "tfhd",
                              "trun", "mdat", "ftyp", "free", "mo\x81v", "[mo]"};
const uint32_t kTypeCount = sizeof kTypes / sizeof kTypes[0];
// Payload bytes the longer names are made of, so that some of them match.
const char kPayloadBytes[] = {'A', 'B', '\0', '\x81', ']', '\r'};

std::string RandomName(Random &rng)
{
    std::string type = kTypes[rng.Below(kTypeCount)];
    switch (rng.Below(6)) {
    case 0: return type.substr(0, rng.Below(4));  // empty to three bytes: a prefix
    case 1: {
        std::string name = type;
        uint32_t extra = 1 + rng.Below(4);
        for (uint32_t i = 0; i < extra; i++) {
            char c = kPayloadBytes[rng.Below(sizeof kPayloadBytes)];
            // A name holds no NUL (it would end the text) and "]" ends it.
            name += c == '\0' || c == ']' || c == '\r' ? 'A' : c;
        }
        return name;
    }
    case 2: return type.substr(0, 3) + "\x81";  // a lead byte inside the name
    default: return type;
    }
}

// Enough bytes to make a line long (the index keeps such lines in the text),
// with lead bytes inside and the length landing on either side of the limit.
std::string LongRun(Random &rng)
{
    std::string run(DEFINITION_INDEX_LONG_LINE - 8 + rng.Below(24), 'L');
    run[rng.Below((uint32_t)run.size())] = '\x81';
    return run;
}

std::string RandomBody(Random &rng)
{
    static const char *const words[] = {
        "body", " [moov] not a header", "x]y", "   ", "\x81\x40", "[",
        "\xE0", "text with ] bracket",  "\t"};
    std::string line = words[rng.Below(sizeof words / sizeof words[0])];
    if (line[0] == '[')
        line = " " + line;  // a body line never starts with "["
    if (rng.OneIn(8))
        line += LongRun(rng);
    if (rng.OneIn(5))
        line += "\x81";  // a lead byte right before the line end
    return line;
}

std::string RandomLineEnd(Random &rng)
{
    static const char *const ends[] = {"\n", "\r\n", "\r", "\n\r", "\r\r\n", "\n\n", "\r\n\r\n"};
    return ends[rng.Below(sizeof ends / sizeof ends[0])];
}

std::string GenerateText(Random &rng)
{
    std::string text;
    uint32_t lines = rng.Below(40);
    for (uint32_t i = 0; i < lines; i++) {
        switch (rng.Below(8)) {
        case 0:
        case 1:
        case 2: {
            text += "[" + RandomName(rng);
            uint32_t close = rng.Below(4);
            if (close != 0)
                text += "]";
            if (close == 2)
                text += " free text ]";
            if (rng.OneIn(8))
                text += LongRun(rng);
            break;
        }
        case 3: break;  // an empty line
        case 4:
            if (rng.OneIn(3))
                text += "\x81";  // a lead byte directly before the terminator
            else
                text += "[";
            break;
        default: text += RandomBody(rng); break;
        }
        text += RandomLineEnd(rng);
        if (rng.OneIn(60))
            text += '\0';  // a NUL inside the file ends the text there
    }
    if (rng.OneIn(3) && !text.empty())
        text.pop_back();  // last line without a terminator
    if (rng.OneIn(4))
        text += rng.OneIn(2) ? "\x81" : "[moo";  // at the final NUL
    return text;
}

// The text in a heap block of its size + 1, so a read past the NUL is caught.
struct ExactText {
    char *data;
    explicit ExactText(const std::string &text) : data((char *)HeapAllocBlock(text.size() + 1))
    {
        for (size_t i = 0; i < text.size(); i++)
            data[i] = text[i];
        data[text.size()] = '\0';
    }
    ~ExactText() { HeapFreeBlock(data); }
    ExactText(const ExactText &) = delete;
    ExactText &operator=(const ExactText &) = delete;
};

// The atoms to look up: every type with payloads that match some longer
// names, and atoms so close to the buffer's end that their type or payload
// is cut.
std::vector<Bytes> GenerateAtoms(Random &rng)
{
    std::vector<Bytes> atoms;
    for (uint32_t t = 0; t < kTypeCount; t++) {
        for (uint32_t payload = 0; payload < 6; payload++) {
            Bytes atom = AtomWithSize(0x10, kTypes[t]);
            for (uint32_t i = 0; i < payload; i++)
                atom.push_back((unsigned char)kPayloadBytes[rng.Below(sizeof kPayloadBytes)]);
            atoms.push_back(atom);
        }
        // The header cut short: the buffer ends inside the type field.
        Bytes cut = AtomWithSize(0, kTypes[t]);
        cut.resize(4 + rng.Below(4));
        atoms.push_back(cut);
    }
    atoms.push_back(Bytes());
    atoms.push_back(Raw({0, 0, 0, 8, 0, 0, 0, 0}));  // a zero type
    return atoms;
}

void Collect(void *context, void *parent, const char *text)
{
    EXPECT_EQ(parent, (void *)&kTypes);
    ((Lines *)context)->push_back(text);
}

Lines LookUpLiterally(const char *text, CharStep step, const Bytes &atomBytes)
{
    ExactBuffer atom(atomBytes);
    Lines out;
    DescriptionTree tree = {&out, Collect};
    AddAtomDescriptionsFromText(text, step, atom.data, atom.size, &tree, (void *)&kTypes,
                                atom.data + atom.size);
    return out;
}

Lines LookUpIndexed(const DefinitionIndex *index, const Bytes &atomBytes)
{
    ExactBuffer atom(atomBytes);
    Lines out;
    DescriptionTree tree = {&out, Collect};
    AddAtomDescriptionsFromIndex(index, atom.data, &tree, (void *)&kTypes, atom.data + atom.size);
    return out;
}

std::string Printable(const std::string &text)
{
    std::string out;
    for (unsigned char c : text) {
        if (c >= 0x20 && c < 0x7F) {
            out += (char)c;
        } else {
            char hex[8];
            snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

TEST(DefinitionIndex, InsertsWhatTheLineByLineLookupInsertsOnGeneratedTexts)
{
    const CharStep steps[] = {CharStepSingleByte, CharStepShiftJis};
    uint64_t matchedItems = 0;
    uint64_t lookups = 0;
    for (uint64_t seed = 1; seed <= 500; seed++) {
        Random rng(seed);
        std::string generated = GenerateText(rng);
        ExactText text(generated);
        std::vector<Bytes> atoms = GenerateAtoms(rng);
        for (CharStep step : steps) {
            DefinitionIndex *index = BuildDefinitionIndex(text.data, step);
            ASSERT_NE(index, nullptr);
            EXPECT_EQ(DefinitionIndexText(index), text.data);
            for (const Bytes &atom : atoms) {
                Lines expected = LookUpLiterally(text.data, step, atom);
                Lines actual = LookUpIndexed(index, atom);
                lookups++;
                matchedItems += expected.size();
                if (actual != expected) {
                    ADD_FAILURE() << "seed " << seed
                                  << (step == CharStepShiftJis ? " Shift-JIS" : "")
                                  << "\ntext: " << Printable(generated)
                                  << "\natom: " << Printable(std::string(atom.begin(), atom.end()))
                                  << "\nexpected " << expected.size() << " items, got "
                                  << actual.size();
                    FreeDefinitionIndex(index);
                    return;
                }
            }
            FreeDefinitionIndex(index);
        }
    }
    // The generated cases must exercise matching, not only misses.
    EXPECT_GT(matchedItems, lookups / 2);
}

// Cases worth naming, each against the line-by-line lookup and an expected list.
TEST(DefinitionIndex, NamedEdgeCasesGiveTheExpectedItems)
{
    struct Case {
        const char *name;
        std::string text;
        bool shiftJis;
        Bytes atom;
        Lines expected;
    } cases[] = {
        {"prefix and empty names, header without ]",
         "[mo]a\nA\n[]\nE\n[moov\nM\n[mvhd]\nH\n",
         false,
         Atom("moov"),
         {"[mo]a", "A", "[]", "E", "[moov", "M"}},
        {"longer name compares the payload",
         "[moovA]\nyes\n[moovB]\nno\n",
         false,
         Atom("moov", Raw({'A'})),
         {"[moovA]", "yes"}},
        {"longer name that would run past the buffer",
         "[moovAB]\nno\n[moov]\nyes",
         false,
         Atom("moov", Raw({'A'})),
         {"[moov]", "yes"}},
        {"body ends at an empty line, a header or the end",
         "[moov]\n1\n\nlost\n[moov]\n2\n[moov]\n3",
         false,
         Atom("moov"),
         {"[moov]", "1", "[moov]", "2", "[moov]", "3"}},
        {"lead byte before LF keeps the next line in the body",
         "[moov]\nx\x81\n\n[moov]\ny\n",
         true,
         Atom("moov"),
         {"[moov]", "x\x81\n", "[moov]", "y"}},
        {"the same bytes, single-byte",
         "[moov]\nx\x81\n\n[moov]\ny\n",
         false,
         Atom("moov"),
         {"[moov]", "x\x81", "[moov]", "y"}},
        {"lead byte before the final NUL",
         "[moov]\nlast\x81",
         true,
         Atom("moov"),
         {"[moov]", "last\x81"}},
        {"NUL inside the text ends it",
         std::string("[moov]\na\0b\n[moov]\nc", 19),
         false,
         Atom("moov"),
         {"[moov]", "a"}},
        {"atom cut inside its type: names up to the cut",
         "[]\nall\n[m]\nm\n[mo]\nmo\n",
         false,
         Raw({0, 0, 0, 8, 'm'}),
         {"[]", "all", "[m]", "m"}},
    };
    for (const Case &c : cases) {
        ExactText text(c.text);
        CharStep step = c.shiftJis ? CharStepShiftJis : CharStepSingleByte;
        DefinitionIndex *index = BuildDefinitionIndex(text.data, step);
        ASSERT_NE(index, nullptr) << c.name;
        EXPECT_EQ(LookUpIndexed(index, c.atom), c.expected) << c.name;
        EXPECT_EQ(LookUpLiterally(text.data, step, c.atom), c.expected) << c.name;
        FreeDefinitionIndex(index);
    }
}

// Long lines: at either side of the limit, as headers and bodies, ending in
// CR LF, LF or the final NUL, with a lead byte that takes the line's
// terminator into the line. The lookup inserts them whole, through copies of
// their own, and leaves the text as it was.
TEST(DefinitionIndex, LongLinesAreInsertedWhole)
{
    const std::string atLimit(DEFINITION_INDEX_LONG_LINE, 'a');
    const std::string belowLimit(DEFINITION_INDEX_LONG_LINE - 1, 'b');
    const std::string header = "[moov]" + std::string(3 * DEFINITION_INDEX_LONG_LINE, 'h');
    const std::string leadLast = std::string(DEFINITION_INDEX_LONG_LINE, 'c') + "\x81";
    const std::string text = header + "\n" + atLimit + "\r\n" + belowLimit + "\n" + leadLast +
        "\nstill the same line\n\n[moovX" + atLimit + "]\nno\n[moo]\n" + atLimit;
    const Bytes atom = Atom("moov");
    struct Case {
        CharStep step;
        Lines expected;
    } cases[] = {
        {CharStepSingleByte,
         {header, atLimit, belowLimit, leadLast, "still the same line", "[moo]", atLimit}},
        {CharStepShiftJis,
         {header, atLimit, belowLimit, leadLast + "\nstill the same line", "[moo]", atLimit}},
    };
    ExactText exact(text);
    for (const Case &c : cases) {
        DefinitionIndex *index = BuildDefinitionIndex(exact.data, c.step);
        ASSERT_NE(index, nullptr);
        EXPECT_EQ(LookUpLiterally(exact.data, c.step, atom), c.expected);
        EXPECT_EQ(LookUpIndexed(index, atom), c.expected);
        EXPECT_EQ(std::string(exact.data, text.size() + 1), text + '\0');
        FreeDefinitionIndex(index);
    }
}

// Short lines need no allocation; the first long line that cannot be copied
// ends the lookup, as a line that cannot be read ends the line-by-line one.
TEST(DefinitionIndex, ALongLineWithoutMemoryEndsTheLookup)
{
    const std::string atLimit(DEFINITION_INDEX_LONG_LINE, 'a');
    const std::string belowLimit(DEFINITION_INDEX_LONG_LINE - 1, 'b');
    ExactText exact("[moov]\n" + belowLimit + "\n" + atLimit + "\nafter\n[moov]\nnext\n");
    DefinitionIndex *index = BuildDefinitionIndex(exact.data, CharStepSingleByte);
    ASSERT_NE(index, nullptr);
    ExactBuffer buffer(Atom("moov"));
    Lines items;
    DescriptionTree tree = {&items, Collect};
    SetHeapFailureCountdown(0);
    AddAtomDescriptionsFromIndex(index, buffer.data, &tree, (void *)&kTypes,
                                 buffer.data + buffer.size);
    SetHeapFailureCountdown(-1);
    EXPECT_EQ(items, Lines({"[moov]", belowLimit}));
    items.clear();
    AddAtomDescriptionsFromIndex(index, buffer.data, &tree, (void *)&kTypes,
                                 buffer.data + buffer.size);
    EXPECT_EQ(items, Lines({"[moov]", belowLimit, atLimit, "after", "[moov]", "next"}));
    FreeDefinitionIndex(index);
}

TEST(DefinitionIndex, LoadingBuildsItAndTheLookupFallsBackWithoutIt)
{
    FakeFile defs;
    const char content[] = "[moov] Movie\nm1\n\n[m]\nany m\n[mvhd]\nh\n";
    defs.content.assign(content, content + sizeof content - 1);
    const Bytes atom = Atom("moov");
    const Lines expected = {"[moov] Movie", "m1", "[m]", "any m"};
    ExactBuffer buffer(atom);
    for (long heapSuccesses : {-1L, 1L}) {
        // With one allocation allowed the text loads but its index does not.
        SetHeapFailureCountdown(heapSuccesses);
        ASSERT_TRUE(LoadDefinitionTextWith(&defs.service, "atom.def"));
        SetHeapFailureCountdown(-1);
        EXPECT_EQ(DefinitionTextIndex() != nullptr, heapSuccesses == -1);
        Lines out;
        DescriptionTree tree = {&out, Collect};
        AddAtomDescriptions(buffer.data, buffer.size, &tree, (void *)&kTypes,
                            buffer.data + buffer.size);
        EXPECT_EQ(out, expected) << heapSuccesses;
        FreeDefinitionText();
        EXPECT_EQ(DefinitionTextIndex(), nullptr);
    }
}

TEST(DefinitionIndex, EmptyOrMissingTextAddsNothing)
{
    EXPECT_EQ(BuildDefinitionIndex(nullptr, CharStepSingleByte), nullptr);
    ExactText empty("");
    DefinitionIndex *index = BuildDefinitionIndex(empty.data, CharStepSingleByte);
    ASSERT_NE(index, nullptr);
    EXPECT_EQ(LookUpIndexed(index, Atom("moov")), Lines());
    FreeDefinitionIndex(index);
}

}  // namespace
