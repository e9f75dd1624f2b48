// The command-line rule over arbitrary command lines. Checks the answer
// against a plain reference of the rule, that it is NULL or points into the
// command line at a non-empty rest, and that nothing past the final NUL is
// read (the line is an exact heap block).

#include "app/command_line.h"
#include "fuzz_support.h"

#include <string.h>

namespace {

const char *ReferenceArgument(const char *line)
{
    size_t n = strlen(line);
    size_t at;
    if (n > 0 && line[0] == '"') {
        const char *close = (const char *)memchr(line + 1, '"', n - 1);
        at = close ? (size_t)(close - line) + 2 : n;
    } else {
        const char *space = (const char *)memchr(line, ' ', n);
        at = space ? (size_t)(space - line) + 1 : n;
    }
    return at < n ? line + at : 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    char *line = CopyToText(data, size);
    const char *argument = FindFileArgument(line);
    const char *expected = ReferenceArgument(line);
    FUZZ_CHECK(argument == expected);
    if (argument != 0) {
        FUZZ_CHECK(argument > line && argument < line + strlen(line));
        FUZZ_CHECK(*argument != '\0');
    }
    FUZZ_CHECK(FindFileArgument(0) == 0);
    HeapFreeBlock(line);
    return 0;
}
