#pragma once
// What the tests of the shipped atom.def share: its lines as the program
// reads them, the registry's way of writing a blank in a code, and the files
// of the source tree they hold it to.

#include "defs/definition_line.h"
#include "platform/heap.h"
#include "tests/support/test_files.h"

#include <string>
#include <vector>

// Splits text into lines with ReadDefinitionLine, as the program reads it.
inline std::vector<std::string> ReadDefinitionLines(const std::string &text)
{
    std::vector<std::string> lines;
    char *copy = (char *)HeapAllocBlock(text.size() + 1);
    if (copy == nullptr)
        return lines;
    for (size_t i = 0; i < text.size(); i++)
        copy[i] = text[i];
    copy[text.size()] = '\0';
    const char *cursor = copy;
    while (char *line = ReadDefinitionLine(&cursor)) {
        lines.push_back(line);
        HeapFreeBlock(line);
    }
    HeapFreeBlock(copy);
    return lines;
}

// "url$20" -> "url ": the registry writes a blank inside a code as $20.
inline std::string DecodeRegistryCode(const std::string &written)
{
    std::string code;
    for (size_t i = 0; i < written.size(); i++) {
        if (written.compare(i, 3, "$20") == 0) {
            code += ' ';
            i += 2;
        } else {
            code += written[i];
        }
    }
    return code;
}

// Each item followed by a new line: problems as one text, so that a failing
// test shows them all.
inline std::string JoinedLines(const std::vector<std::string> &items)
{
    std::string out;
    for (const std::string &item : items)
        out += item + "\n";
    return out;
}

#ifdef KIVRA_SOURCE_DIR
// A file of the source tree, by its path from the tree's root.
inline bool ReadSourceFile(const std::string &relative, std::string *text, std::string *path)
{
    *path = std::string(KIVRA_SOURCE_DIR) + "/" + relative;
    return ReadTestFile(*path, text);
}
#endif
