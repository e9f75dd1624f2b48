#include "defs/atom_descriptions.h"
#include "defs/definition_index.h"
#include "defs/definition_line.h"
#include "defs/definition_text.h"
#include "platform/heap.h"

// Compares a section name (the bytes after a header line's "[") with the
// atom's bytes from its type field on. The name ends at "]" or at the end of
// the line; bytes at or past the buffer's end never match.
static int SectionNameMatchesAtom(const char *name, const unsigned char *atom,
                                  const unsigned char *bufferEnd)
{
    const unsigned char *atomByte = atom + 4;
    for (;; name++, atomByte++) {
        if (*name == '\0' || *name == ']')
            return 1;
        if (atomByte >= bufferEnd)
            return 0;
        if ((unsigned char)*name != *atomByte)
            return 0;
    }
}

void AddAtomDescriptionsFromText(const char *text, CharStep step, const unsigned char *atom,
                                 uint32_t atomSize, const DescriptionTree *tree, void *item,
                                 const unsigned char *bufferEnd)
{
    (void)atomSize;
    if (text == 0)
        return;
    const char *cursor = text;
    char *heldOver = 0;
    for (;;) {
        char *line = heldOver;
        heldOver = 0;
        if (line == 0)
            line = ReadDefinitionLineWithStep(&cursor, step);
        if (line == 0)
            return;
        if (line[0] != '[' || !SectionNameMatchesAtom(line + 1, atom, bufferEnd)) {
            HeapFreeBlock(line);
            continue;
        }
        tree->insertChildText(tree->context, item, line);
        for (;;) {
            char *body = ReadDefinitionLineWithStep(&cursor, step);
            if (body == 0)
                break;
            if (body[0] == '\0') {
                HeapFreeBlock(body);
                break;
            }
            if (body[0] == '[') {
                // The next header: examined by the outer loop.
                heldOver = body;
                break;
            }
            tree->insertChildText(tree->context, item, body);
            HeapFreeBlock(body);
        }
        HeapFreeBlock(line);
    }
}

void AddAtomDescriptions(const unsigned char *atom, uint32_t atomSize, const DescriptionTree *tree,
                         void *item, const unsigned char *bufferEnd)
{
    // The index, kept with the text it was built from, gives the same items
    // without rescanning the text.
    const DefinitionIndex *index = DefinitionTextIndex();
    if (index != 0) {
        AddAtomDescriptionsFromIndex(index, atom, tree, item, bufferEnd);
        return;
    }
    AddAtomDescriptionsFromText(DefinitionText, CharStepPlatform, atom, atomSize, tree, item,
                                bufferEnd);
}
