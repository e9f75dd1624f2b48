// Holds the structural sentences of the shipped atom.def to public facts.
//
// A box section (a section named by a four-character code, not an ftyp brand)
// may say two kinds of thing about its box's layout and place:
//  - "Full box" (the box starts with version and flags) or "Plain box";
//  - "Inside X", "Inside X or Y", "Inside X, Y or Z" (the boxes that hold it)
//    and "At the top level" (no parent).
// tests/data/box-facts.txt holds what public box parsers and the MPEG
// conformance tables record about the same codes. Every such sentence must
// agree with them: a "Full box" that no source calls full while some source
// calls it plain (or the other way round), or a parent that no source with
// parents for the code allows, is a disagreement. A box that every source
// recording its kind gives the same kind must have that kind said.
// Disagreements that the standard settles against a source stand in
// tests/data/atomdef-structure-exceptions.txt with the reason; an exception
// that no longer matches a disagreement is reported too, so the list stays
// short and true.
// Brand sections ([ftypXXXX]) are held to the registry's brand list
// (tests/data/mp4ra-codes.txt): a brand it does not list says so.

#include "defs/definition_line.h"
#include "platform/heap.h"
#include "tests/support/atomdef_text.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Words(const std::string &text, char separator)
{
    std::vector<std::string> words;
    std::string word;
    for (char c : text) {
        if (c == separator) {
            if (!word.empty())
                words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty())
        words.push_back(word);
    return words;
}

std::string EncodeCode(const std::string &code)
{
    std::string written;
    for (char c : code)
        written += c == ' ' ? std::string("$20") : std::string(1, c);
    return written;
}

// The items with the separator between them.
template <class Items>
std::string Listed(const Items &items, const char *separator)
{
    std::string out;
    for (const std::string &item : items)
        out += (out.empty() ? "" : separator) + item;
    return out;
}

// ---------------------------------------------------------------------------
// The facts.

const char kTopLevel[] = "file";

struct SourceFacts {
    std::string kind;                  // full, plain, sample-entry, ... or "-"
    std::vector<std::string> parents;  // codes, "file", "*" or class words
};

struct Facts {
    // code -> source -> what that source says (a source may list a code
    // twice, from two tables; its kinds and parents are then merged).
    std::map<std::string, std::map<std::string, std::vector<SourceFacts>>> byCode;
    std::set<std::string> sampleEntries;  // codes some source calls a sample entry
};

// Lines "source code kind parents"; "#" lines and empty lines are comments.
Facts ParseFacts(const std::vector<std::string> &lines, std::vector<std::string> *problems)
{
    Facts facts;
    for (size_t i = 0; i < lines.size(); i++) {
        if (lines[i].empty() || lines[i][0] == '#')
            continue;
        std::vector<std::string> w = Words(lines[i], ' ');
        std::string code = w.size() == 4 ? DecodeRegistryCode(w[1]) : "";
        if (code.size() != 4) {
            problems->push_back("box facts line " + std::to_string(i + 1) +
                                ": not \"source code kind parents\"");
            continue;
        }
        SourceFacts f;
        f.kind = w[2];
        if (w[3] != "-")
            for (const std::string &p : Words(w[3], ';'))
                f.parents.push_back(DecodeRegistryCode(p));
        if (f.kind == "sample-entry")
            facts.sampleEntries.insert(code);
        facts.byCode[code][w[0]].push_back(f);
    }
    return facts;
}

// ---------------------------------------------------------------------------
// The sentences of atom.def.

struct BoxSection {
    std::string code;
    size_t line;       // of the header, from 1
    std::string body;  // the description lines joined by blanks
};

std::vector<BoxSection> BoxSections(const std::vector<std::string> &lines)
{
    std::vector<BoxSection> sections;
    for (size_t i = 0; i < lines.size(); i++) {
        const std::string &line = lines[i];
        if (line.empty() || line[0] != '[')
            continue;
        size_t close = line.find(']');
        if (close != 5)  // a box section's name is four bytes
            continue;
        BoxSection s = {line.substr(1, 4), i + 1, ""};
        for (size_t k = i + 1; k < lines.size() && !lines[k].empty() && lines[k][0] != '['; k++)
            s.body += (s.body.empty() ? "" : " ") + lines[k];
        sections.push_back(s);
    }
    return sections;
}

enum Kind { kNoKind = 0, kFull = 1, kPlain = 2, kBothKinds = 3 };

bool IsLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// "Full box" or "full box" as words (not "full boxes").
bool SaysPhrase(const std::string &body, const char *capitalised)
{
    std::string lower = capitalised;
    lower[0] = (char)(lower[0] - 'A' + 'a');
    for (const std::string &phrase : {std::string(capitalised), lower}) {
        for (size_t at = body.find(phrase); at != std::string::npos;
             at = body.find(phrase, at + 1)) {
            size_t end = at + phrase.size();
            bool wordStart = at == 0 || !IsLetter(body[at - 1]);
            bool wordEnd = end == body.size() || !IsLetter(body[end]);
            if (wordStart && wordEnd)
                return true;
        }
    }
    return false;
}

int KindClaim(const std::string &body)
{
    return (SaysPhrase(body, "Full box") ? kFull : 0) |
        (SaysPhrase(body, "Plain box") ? kPlain : 0);
}

// The code a word of a parent list names, or "" when it names none. A word
// of three letters stands for a code ending in a blank ("rtp" for "rtp ").
std::string CodeOfWord(std::string word, const std::set<std::string> &known, bool *listGoesOn)
{
    *listGoesOn = false;
    while (!word.empty() &&
           (word.back() == ',' || word.back() == '.' || word.back() == ';' || word.back() == ':' ||
            word.back() == ')')) {
        if (word.back() == ',')
            *listGoesOn = true;
        word.pop_back();
    }
    if (word.size() == 4 && known.count(word))
        return word;
    if (word.size() == 3 && known.count(word + " "))
        return word + " ";
    return "";
}

// The parents that "Inside ..." and "At the top level" sentences name.
std::vector<std::string> ParentClaims(const std::string &body, const std::set<std::string> &known)
{
    std::vector<std::string> parents;
    if (SaysPhrase(body, "At the top level"))
        parents.push_back(kTopLevel);
    const std::string inside = "Inside ";
    for (size_t at = body.find(inside); at != std::string::npos; at = body.find(inside, at + 1)) {
        std::vector<std::string> words = Words(body.substr(at + inside.size()), ' ');
        size_t k = 0;
        while (k < words.size()) {
            bool goesOn = false;
            std::string code = CodeOfWord(words[k], known, &goesOn);
            if (code.empty())
                break;
            parents.push_back(code);
            k++;
            if (k < words.size() && (words[k] == "or" || words[k] == "and")) {
                k++;
                if (k < words.size() && words[k] == "in")
                    k++;
            } else if (!goesOn) {
                break;
            }
        }
    }
    return parents;
}

// ---------------------------------------------------------------------------
// The comparison.

bool IsClassWord(const std::string &parent)
{
    return parent.size() > 4;
}

bool SourceAllowsParent(const SourceFacts &f, const std::string &parent, const Facts &facts)
{
    for (const std::string &p : f.parents) {
        if (p == parent || p == "*")
            return true;
        // "video_sample_entry", "RestrictedSampleEntry"...: any sample entry.
        if (IsClassWord(p) &&
            (p.find("ample_entry") != std::string::npos ||
             p.find("SampleEntry") != std::string::npos))
            if (facts.sampleEntries.count(parent))
                return true;
    }
    return false;
}

struct Disagreement {
    std::string key;  // "code check", the code written as in the data files
    std::string text;
};

std::vector<Disagreement> CompareWithFacts(const std::vector<BoxSection> &sections,
                                           const Facts &facts)
{
    std::set<std::string> known;
    for (const auto &entry : facts.byCode)
        known.insert(entry.first);
    for (const BoxSection &s : sections)
        known.insert(s.code);

    std::vector<Disagreement> found;
    std::set<std::string> codesSeen;
    for (const BoxSection &s : sections) {
        std::string where = "line " + std::to_string(s.line) + " [" + s.code + "]: ";
        std::string written = EncodeCode(s.code);
        auto it = facts.byCode.find(s.code);
        if (it == facts.byCode.end())
            continue;
        const auto &bySource = it->second;

        // The kinds the sources give.
        std::map<std::string, std::set<std::string>> kinds;  // full/plain -> sources
        for (const auto &source : bySource)
            for (const SourceFacts &f : source.second)
                if (f.kind == "full" || f.kind == "plain")
                    kinds[f.kind].insert(source.first);
        // A code may name two boxes (an ISO and a QuickTime one, a box and a
        // reference type), so a kind said is wrong only when no source gives
        // it and some source gives the other.
        int claim = KindClaim(s.body);
        const char *names[] = {"", "full", "plain"};
        for (int said : {kFull, kPlain}) {
            std::string kind = names[said];
            std::string other = names[said == kFull ? kPlain : kFull];
            if ((claim & said) && !kinds.count(kind) && kinds.count(other))
                found.push_back({written + " kind",
                                 where + "says " + kind + " box; " + Listed(kinds[other], " ") +
                                     " call it " + other});
        }
        if (claim == kNoKind && codesSeen.count(s.code) == 0 && kinds.size() == 1) {
            // One kind everywhere it is recorded: the section says which.
            found.push_back({written + " unstated",
                             where +
                                 "says neither \"Full box\" nor "
                                 "\"Plain box\"; the sources say " +
                                 kinds.begin()->first});
        }

        // The parents.
        for (const std::string &parent : ParentClaims(s.body, known)) {
            std::vector<std::string> listing;  // sources that list parents for the code
            bool allowed = false;
            for (const auto &source : bySource) {
                for (const SourceFacts &f : source.second) {
                    if (f.parents.empty())
                        continue;
                    listing.push_back(source.first + " (" + Listed(f.parents, " ") + ")");
                    allowed = allowed || SourceAllowsParent(f, parent, facts);
                }
            }
            if (!listing.empty() && !allowed)
                found.push_back({written + " parent " + EncodeCode(parent),
                                 where + "says inside " + parent + "; parents listed by " +
                                     Listed(listing, " ")});
        }
        codesSeen.insert(s.code);
    }
    return found;
}

struct Exception {
    std::string key;
    std::string reason;
    size_t line;
};

// Lines "code check reason" or "code parent PARENT reason"; "#" lines and
// empty lines are comments.
std::vector<Exception> ParseExceptions(const std::vector<std::string> &lines,
                                       std::vector<std::string> *problems)
{
    std::vector<Exception> exceptions;
    for (size_t i = 0; i < lines.size(); i++) {
        if (lines[i].empty() || lines[i][0] == '#')
            continue;
        std::vector<std::string> w = Words(lines[i], ' ');
        size_t keyWords = w.size() >= 2 && w[1] == "parent" ? 3 : 2;
        bool checkKnown =
            w.size() >= 2 && (w[1] == "kind" || w[1] == "unstated" || w[1] == "parent");
        if (w.size() <= keyWords || !checkKnown) {
            problems->push_back("exceptions line " + std::to_string(i + 1) +
                                ": not \"code kind|unstated reason\" or "
                                "\"code parent PARENT reason\"");
            continue;
        }
        Exception e;
        e.line = i + 1;
        for (size_t k = 0; k < keyWords; k++)
            e.key += (k ? " " : "") + w[k];
        size_t reasonAt = 0;
        for (size_t k = 0; k < keyWords; k++)
            reasonAt = lines[i].find(' ', reasonAt) + 1;
        e.reason = lines[i].substr(reasonAt);
        exceptions.push_back(e);
    }
    return exceptions;
}

// Disagreements not excused, and exceptions that excuse nothing.
std::vector<std::string> Unexplained(const std::vector<Disagreement> &found,
                                     const std::vector<Exception> &exceptions)
{
    std::vector<std::string> problems;
    std::set<std::string> excused, matched;
    for (const Exception &e : exceptions)
        excused.insert(e.key);
    for (const Disagreement &d : found) {
        if (excused.count(d.key))
            matched.insert(d.key);
        else
            problems.push_back(d.text);
    }
    for (const Exception &e : exceptions)
        if (!matched.count(e.key))
            problems.push_back("exception on line " + std::to_string(e.line) + " (" + e.key +
                               ") matches no disagreement");
    return problems;
}

std::vector<std::string> CheckText(const std::string &atomDef, const std::string &factsText,
                                   const std::string &exceptionsText)
{
    std::vector<std::string> problems;
    Facts facts = ParseFacts(ReadDefinitionLines(factsText), &problems);
    std::vector<Exception> exceptions =
        ParseExceptions(ReadDefinitionLines(exceptionsText), &problems);
    std::vector<std::string> rest =
        Unexplained(CompareWithFacts(BoxSections(ReadDefinitionLines(atomDef)), facts), exceptions);
    problems.insert(problems.end(), rest.begin(), rest.end());
    return problems;
}

// ---------------------------------------------------------------------------

TEST(AtomDefStructure, ReadsTheSentences)
{
    std::set<std::string> known = {"moov", "trak", "meta", "stsd", "wave", "rtp ", "udta"};
    struct Case {
        const char *body;
        int kind;
        const char *parents;  // joined by "|"
    } cases[] = {
        {"Inside moov. Full box.", kFull, "moov"},
        {"Inside trak or moov; plain box with children.", kPlain, "trak|moov"},
        {"Inside stsd, wave or meta. Full box; version 1 has 64-bit times.", kFull,
         "stsd|wave|meta"},
        {"Inside meta, or in udta as well.", kNoKind, "meta|udta"},
        {"At the top level. Plain box.", kPlain, "file"},
        {"Inside rtp hint sample entries.", kNoKind, "rtp "},
        {"Inside a video sample entry. Lists the text fields of full boxes.", kNoKind, ""},
        {"Inside each track box (trak).", kNoKind, ""},
        {"Inside stsd of QuickTime files. Full box, not a plain box.", kBothKinds, "stsd"},
        {"Inside moov. Says full boxed.", kNoKind, "moov"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(KindClaim(c.body), c.kind) << c.body;
        EXPECT_EQ(Listed(ParentClaims(c.body, known), "|"), c.parents) << c.body;
    }
}

TEST(AtomDefStructure, ReportsEachDisagreementAndStaleException)
{
    const std::string facts = "# comment\n"
                              "gpac moov plain file\n"
                              "gpac mdia plain trak\n"
                              "mpegff mvhd full moov\n"
                              "gpac mvhd full moov\n"
                              "gpac tkhd full trak;extk\n"
                              "mpegff url$20 full dref\n"
                              "gpac mp4a sample-entry stsd\n"
                              "gpac esds full video_sample_entry;audio_sample_entry\n"
                              "gpac free plain *\n"
                              "gpac cdef unknown j2kH\n"
                              "mp4boxjs cdef plain -\n"
                              "bento4 cdef full -\n";
    struct Case {
        const char *what;
        std::string atomDef;
        std::string exceptions;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"agreeing sentences",
         "G\n\n[mvhd] A\nInside moov. Full box.\n\n[tkhd] B\nInside trak. Full box.\n\n"
         "[url ] C\nInside dref. Full box.\n\n[esds] D\nInside mp4a. Full box.\n\n"
         "[free] E\nAt the top level or inside any box. Plain box.\n\n",
         "",
         {}},
        {"a changed kind",
         "[mvhd] A\nInside moov. Plain box.\n\n",
         "",
         {"line 1 [mvhd]: says plain box; gpac mpegff call it full"}},
        {"a wrong parent",
         "[tkhd] A\nInside mdia. Full box.\n\n",
         "",
         {"line 1 [tkhd]: says inside mdia; parents listed by gpac (trak extk)"}},
        {"a box at the top level that sources put in moov",
         "[mvhd] A\nAt the top level. Full box.\n\n",
         "",
         {"line 1 [mvhd]: says inside file; parents listed by gpac (moov) mpegff (moov)"}},
        {"a kind left unsaid",
         "[url ] A\nInside dref.\n\n",
         "",
         {"line 1 [url ]: says neither \"Full box\" nor \"Plain box\"; the sources say full"}},
        {"a sample entry parent by class",
         "[esds] A\nInside moov. Full box.\n\n",
         "",
         {"line 1 [esds]: says inside moov; parents listed by gpac (video_sample_entry "
          "audio_sample_entry)"}},
        {"excused, with its reason",
         "[tkhd] A\nInside mdia. Full box.\n\n",
         "tkhd parent mdia the standard puts it there\n",
         {}},
        {"a stale exception",
         "[tkhd] A\nInside trak. Full box.\n\n",
         "tkhd parent mdia the standard puts it there\nmvhd kind never wrong\n",
         {"exception on line 1 (tkhd parent mdia) matches no disagreement",
          "exception on line 2 (mvhd kind) matches no disagreement"}},
        {"both kinds said of a box recorded as full",
         "[mvhd] A\nInside moov. Full box in ISO files, a plain box elsewhere.\n\n",
         "",
         {"line 1 [mvhd]: says plain box; gpac mpegff call it full"}},
        {"both kinds said of a code recorded both ways",
         "[cdef] A\nInside j2kH. Full box here, plain box there.\n\n",
         "",
         {}},
        {"a kind recorded two ways is not asked for", "[cdef] A\nInside j2kH.\n\n", "", {}},
        {"malformed exception lines",
         "[tkhd] A\nInside trak. Full box.\n\n",
         "tkhd kind\ntkhd size too big\n",
         {"exceptions line 1: not \"code kind|unstated reason\" or \"code parent PARENT reason\"",
          "exceptions line 2: not \"code kind|unstated reason\" or \"code parent PARENT "
          "reason\""}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(JoinedLines(CheckText(c.atomDef, facts, c.exceptions)), JoinedLines(c.expected))
            << c.what;
}

// ---------------------------------------------------------------------------
// Brand sections ([ftypXXXX]) and the registry's brand list: a brand the
// registry lists is described as it stands there; one it does not list says
// so, with the words below, so that no reader takes it for a registered one.

const char kUnregistered[] = "Not in the public brand registry";

std::vector<std::string> CheckBrandSections(const std::vector<std::string> &atomDefLines,
                                            const std::set<std::string> &registryBrands)
{
    std::vector<std::string> problems;
    for (size_t i = 0; i < atomDefLines.size(); i++) {
        const std::string &line = atomDefLines[i];
        if (line.compare(0, 5, "[ftyp") != 0 || line.find(']') != 9)
            continue;
        std::string brand = line.substr(5, 4);
        std::string body;
        for (size_t k = i + 1;
             k < atomDefLines.size() && !atomDefLines[k].empty() && atomDefLines[k][0] != '['; k++)
            body += atomDefLines[k] + " ";
        bool saysUnregistered = body.find(kUnregistered) != std::string::npos;
        bool registered = registryBrands.count(brand) != 0;
        std::string where = "line " + std::to_string(i + 1) + " [ftyp" + brand + "]: ";
        if (registered && saysUnregistered)
            problems.push_back(where + "the registry lists this brand");
        if (!registered && !saysUnregistered)
            problems.push_back(where + "not a registry brand, and the section does not say so");
    }
    return problems;
}

// The brands of the registry list (lines "brands CODE").
std::set<std::string> RegistryBrands(const std::vector<std::string> &lines)
{
    std::set<std::string> brands;
    for (const std::string &line : lines) {
        std::vector<std::string> w = Words(line, ' ');
        if (w.size() == 2 && w[0] == "brands")
            brands.insert(DecodeRegistryCode(w[1]));
    }
    return brands;
}

TEST(AtomDefStructure, BrandSectionsFollowTheRegistry)
{
    std::set<std::string> registry = RegistryBrands(
        ReadDefinitionLines("# comment\nbrands isom\nbrands qt$20$20\nboxes moov\n"));
    EXPECT_EQ(Listed(registry, "|"), "isom|qt  ");
    const std::string atomDef =
        "[ftyp] File Type Box\nNot a brand.\n\n"
        "[ftypisom] Brand isom\nBaseline.\n\n"
        "[ftypqt  ] Brand qt\nQuickTime. Not in the public brand registry.\n\n"
        "[ftypf4v ] Brand f4v\nAdobe.\n\n"
        "[ftypmmp4] Brand mmp4\nMobile.\nNot in the public brand registry.\n\n"
        "[moov] Movie Box\nNot in the public brand registry.\n\n";
    EXPECT_EQ(JoinedLines(CheckBrandSections(ReadDefinitionLines(atomDef), registry)),
              "line 7 [ftypqt  ]: the registry lists this brand\n"
              "line 10 [ftypf4v ]: not a registry brand, and the section does not say so\n");
}

TEST(AtomDefStructure, ShippedFileAgreesWithTheBoxFacts)
{
    std::string atomDef, facts, exceptions, path;
    bool haveDef = ReadSourceFile("atom.def", &atomDef, &path);
    bool haveFacts = ReadSourceFile("tests/data/box-facts.txt", &facts, &path);
    bool haveExceptions =
        ReadSourceFile("tests/data/atomdef-structure-exceptions.txt", &exceptions, &path);
#ifdef _WIN32
    // Under Wine the source tree may not be reachable; the native run checks it.
    if (!haveDef || !haveFacts || !haveExceptions)
        GTEST_SKIP() << "source tree not reachable from here: " << path;
#endif
    ASSERT_TRUE(haveDef && haveFacts && haveExceptions) << path;
    std::vector<std::string> problems;
    Facts parsed = ParseFacts(ReadDefinitionLines(facts), &problems);
    // The copy holds all four sources, not a part of them.
    for (const char *source : {"mpegff", "gpac", "mp4boxjs", "bento4"}) {
        size_t codes = 0;
        for (const auto &entry : parsed.byCode)
            codes += entry.second.count(source);
        EXPECT_GE(codes, 100u) << source;
    }
    EXPECT_EQ(JoinedLines(CheckText(atomDef, facts, exceptions)), "");
    EXPECT_EQ(JoinedLines(problems), "");
}

TEST(AtomDefStructure, ShippedBrandSectionsFollowTheRegistry)
{
    std::string atomDef, codes, path;
    bool haveDef = ReadSourceFile("atom.def", &atomDef, &path);
    bool haveCodes = ReadSourceFile("tests/data/mp4ra-codes.txt", &codes, &path);
#ifdef _WIN32
    if (!haveDef || !haveCodes)
        GTEST_SKIP() << "source tree not reachable from here: " << path;
#endif
    ASSERT_TRUE(haveDef && haveCodes) << path;
    std::set<std::string> registry = RegistryBrands(ReadDefinitionLines(codes));
    EXPECT_EQ(registry.size(), 280u);
    EXPECT_EQ(JoinedLines(CheckBrandSections(ReadDefinitionLines(atomDef), registry)), "");
}

}  // namespace
