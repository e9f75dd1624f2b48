#include "defs/definition_text.h"
#include "defs/definition_index.h"
#include "platform/executable_path.h"
#include "platform/heap.h"

const char *DefinitionText;

// The index of DefinitionText; written only with it.
static DefinitionIndex *g_definitionTextIndex;

const DefinitionIndex *DefinitionTextIndex(void)
{
    return g_definitionTextIndex;
}

void FreeDefinitionText(void)
{
    FreeDefinitionIndex(g_definitionTextIndex);
    g_definitionTextIndex = 0;
    // The block was allocated writable; only this owner sees it that way.
    if (DefinitionText != 0)
        HeapFreeBlock((void *)DefinitionText);
    DefinitionText = 0;
}

void SetDefinitionText(char *block, CharStep step)
{
    FreeDefinitionText();
    DefinitionText = block;
    // Without room for the index the lookup scans the text line by line.
    g_definitionTextIndex = BuildDefinitionIndex(block, step);
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
    SetDefinitionText(ReadWholeText(files, path), CharStepPlatform);
    return DefinitionText != 0;
}

int LoadDefinitionTextFromPath(const char *path)
{
    return LoadDefinitionTextWith(PlatformFileReadService(), path);
}

int BuildPathNearExecutable(const char *executablePath, char separator, CharStep step,
                            const char *name, char *out)
{
    const char *afterSeparator = 0;
    for (const char *p = executablePath; *p != '\0'; p = step(p)) {
        if (*p == separator)
            afterSeparator = p + 1;
    }
    if (afterSeparator == 0)
        return 0;
    size_t directoryLength = (size_t)(afterSeparator - executablePath);
    if (directoryLength >= DEFINITION_PATH_CAPACITY)
        return 0;
    size_t i = 0;
    for (; i < directoryLength; i++)
        out[i] = executablePath[i];
    // The name is measured as it is copied (kivra.exe links no strlen).
    for (const char *p = name; *p != '\0'; p++) {
        if (i + 1 >= DEFINITION_PATH_CAPACITY)
            return 0;
        out[i++] = *p;
    }
    out[i] = '\0';
    return 1;
}

int BuildDefinitionPath(const char *executablePath, char separator, CharStep step, char *out)
{
    return BuildPathNearExecutable(executablePath, separator, step, "atom.def", out);
}

int LoadDefinitionTextNearExecutable(const char *name)
{
    char executablePath[DEFINITION_PATH_CAPACITY];
    char definitionPath[DEFINITION_PATH_CAPACITY];
    FreeDefinitionText();
    if (!GetExecutablePath(executablePath, sizeof executablePath))
        return 0;
    if (!BuildPathNearExecutable(executablePath, ExecutablePathSeparator(), CharStepPlatform, name,
                                 definitionPath))
        return 0;
    return LoadDefinitionTextWith(PlatformFileReadService(), definitionPath);
}

void LoadDefinitionText(void)
{
    LoadDefinitionTextNearExecutable("atom.def");
}
