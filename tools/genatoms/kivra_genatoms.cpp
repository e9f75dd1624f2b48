// kivra-genatoms: writes a synthetic atom file of N atoms, or a definition
// text of N sections, for benchmarks and for trying kivra on large files.

#include "tools/genatoms/atom_generator.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static const char usage[] = "usage: kivra-genatoms [--defs] COUNT OUTPUT\n";

int main(int argc, char **argv)
{
    int definitions = argc == 4 && strcmp(argv[1], "--defs") == 0;
    if (argc != 3 + definitions) {
        fputs(usage, stderr);
        return 2;
    }
    char *end = nullptr;
    unsigned long count = strtoul(argv[1 + definitions], &end, 10);
    if (end == argv[1 + definitions] || *end != '\0' || count == 0 || count > 50000000ul) {
        fprintf(stderr, "kivra-genatoms: COUNT must be a number from 1 to 50000000\n%s", usage);
        return 2;
    }
    const char *path = argv[2 + definitions];
    bool ok;
    if (definitions) {
        std::string text = GenerateDefinitionText((uint32_t)count);
        ok = WriteGeneratedFile(path, text.data(), text.size());
    } else {
        std::vector<unsigned char> bytes = GenerateAtomFile((uint32_t)count);
        ok = WriteGeneratedFile(path, bytes.data(), bytes.size());
    }
    if (!ok) {
        fprintf(stderr, "kivra-genatoms: cannot write %s\n", path);
        return 1;
    }
    return 0;
}
