#include "defs/definition_text.h"
#include "defs/definition_index.h"
#include "defs/executable_path.h"
#include "platform/heap.h"

char *DefinitionText;

const char *FindDefinitionLineEnd(const char *p, CharStep step)
{
    // Only bytes at which a character starts are tested, so a trail byte is
    // never taken for a terminator. A byte below 0x80 is a whole character
    // in every code page, so the step is called only for the others: a long
    // ASCII line costs no call per byte.
    for (;;) {
        unsigned char c = (unsigned char)*p;
        if (c < 0x80) {
            if (c == '\0' || c == '\r' || c == '\n')
                return p;
            p++;
        } else {
            p = step(p);
        }
    }
}

char *ReadDefinitionLineWithStep(char **cursor, CharStep step)
{
    if (cursor == 0 || *cursor == 0 || **cursor == '\0')
        return 0;
    char *start = *cursor;
    char *p = (char *)FindDefinitionLineEnd(start, step);
    char *end = p;
    if (p[0] == '\r' && p[1] == '\n')
        p++;
    if (p[0] == '\r' || p[0] == '\n')
        p++;
    size_t length = (size_t)(end - start);
    char *line = (char *)HeapAllocBlock(length + 1);
    if (line == 0)
        return 0;
    for (size_t i = 0; i < length; i++)
        line[i] = start[i];
    line[length] = '\0';
    *cursor = p;
    return line;
}

char *ReadDefinitionLine(char **cursor)
{
    return ReadDefinitionLineWithStep(cursor, CharStepPlatform);
}

void FreeDefinitionText(void)
{
    FreeDefinitionIndex(DefinitionTextIndex);
    DefinitionTextIndex = 0;
    if (DefinitionText != 0)
        HeapFreeBlock(DefinitionText);
    DefinitionText = 0;
}

// Reads the whole file into a new NUL-terminated block, or returns NULL when
// any step fails or comes short: a partial text would silently lose sections.
static char *ReadWholeText(const FileReadService *files, const char *path)
{
    void *file = files->open(files->context, path);
    if (file == 0)
        return 0;
    char *text = 0;
    uint64_t size = 0;
    // The block holds size + 1 bytes, counted in 32 bits like every read.
    if (files->querySize(files->context, file, &size) && size < 0xFFFFFFFFu) {
        uint32_t size32 = (uint32_t)size;
        text = (char *)HeapAllocBlock((size_t)size32 + 1);
        if (text != 0) {
            if (files->read(files->context, file, text, size32) == size32) {
                text[size32] = '\0';
            } else {
                HeapFreeBlock(text);
                text = 0;
            }
        }
    }
    files->close(files->context, file);
    return text;
}

int LoadDefinitionTextWith(const FileReadService *files, const char *path)
{
    FreeDefinitionText();
    DefinitionText = ReadWholeText(files, path);
    // Without room for the index the lookup scans the text line by line.
    DefinitionTextIndex = BuildDefinitionIndex(DefinitionText, CharStepPlatform);
    return DefinitionText != 0;
}

int LoadDefinitionTextFromPath(const char *path)
{
    return LoadDefinitionTextWith(PlatformFileReadService(), path);
}

int BuildDefinitionPath(const char *executablePath, char separator, CharStep step, char *out)
{
    static const char fileName[] = "atom.def";
    const char *afterSeparator = 0;
    for (const char *p = executablePath; *p != '\0'; p = step(p)) {
        if (*p == separator)
            afterSeparator = p + 1;
    }
    if (afterSeparator == 0)
        return 0;
    size_t directoryLength = (size_t)(afterSeparator - executablePath);
    size_t nameLength = sizeof fileName - 1;
    if (directoryLength + nameLength + 1 > DEFINITION_PATH_CAPACITY)
        return 0;
    size_t i = 0;
    for (; i < directoryLength; i++)
        out[i] = executablePath[i];
    for (size_t j = 0; j < nameLength; j++)
        out[i++] = fileName[j];
    out[i] = '\0';
    return 1;
}

void LoadDefinitionText(void)
{
    char executablePath[DEFINITION_PATH_CAPACITY];
    char definitionPath[DEFINITION_PATH_CAPACITY];
    FreeDefinitionText();
    if (!GetExecutablePath(executablePath, sizeof executablePath))
        return;
    if (!BuildDefinitionPath(executablePath, ExecutablePathSeparator(), CharStepPlatform,
                             definitionPath))
        return;
    LoadDefinitionTextWith(PlatformFileReadService(), definitionPath);
}
