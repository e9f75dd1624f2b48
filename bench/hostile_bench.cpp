// Load time of each hostile file, as kivra-dump loads it: the file from
// memory, the walk, the lookups through the real atom.def, the in-memory
// tree filled and emptied. Each must load in under a second.

#include "atoms/atom_file.h"
#include "atoms/atom_tree_memory.h"
#include "defs/atom_descriptions.h"
#include "defs/definition_text.h"

#include <benchmark/benchmark.h>

#include <stdio.h>
#include <string.h>
#include <string>
#include <vector>

namespace {

typedef std::vector<unsigned char> Bytes;

void Put32(Bytes &out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back((unsigned char)(value >> shift));
}

Bytes Atom(const char *type, const Bytes &payload = Bytes(), uint32_t size = 0)
{
    Bytes out;
    Put32(out, size ? size : (uint32_t)(8 + payload.size()));
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

Bytes ReadFileBytes(const char *path)
{
    Bytes bytes;
    FILE *file = fopen(path, "rb");
    if (file == 0)
        return bytes;
    int c;
    while ((c = fgetc(file)) != EOF)
        bytes.push_back((unsigned char)c);
    fclose(file);
    return bytes;
}

FileReadService MemoryFiles(const Bytes *bytes)
{
    FileReadService service;
    service.context = (void *)bytes;
    service.open = [](void *context, const char *) -> void * { return context; };
    service.querySize = [](void *context, void *, uint64_t *size) -> int {
        *size = ((const Bytes *)context)->size();
        return 1;
    };
    service.read = [](void *context, void *, void *buffer, uint32_t count) -> uint32_t {
        const Bytes *b = (const Bytes *)context;
        uint32_t n = count < b->size() ? count : (uint32_t)b->size();
        memcpy(buffer, b->data(), n);
        return n;
    };
    service.close = [](void *, void *) {};
    return service;
}

void LoadFile(benchmark::State &state, Bytes bytes)
{
    // The real definitions, as kivra-dump reads them.
    LoadDefinitionTextFromPath(KIVRA_SOURCE_DIR "/atom.def");
    FileReadService files = MemoryFiles(&bytes);
    MemoryTree tree;
    InitMemoryTree(&tree);
    for (auto _ : state) {
        LoadAtomFileIntoTree(&tree.service, &files, "hostile");
        ClearMemoryTree(&tree);
    }
    // Seconds per load: below 1 is under a second.
    state.counters["of_one_second"] =
        benchmark::Counter((double)state.iterations(),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void LoadDefinitions(benchmark::State &state, Bytes text)
{
    FileReadService files = MemoryFiles(&text);
    Bytes moov = Atom("moov", Bytes(8, 0));
    std::vector<std::string> *sink = new std::vector<std::string>();
    DescriptionTree tree = {sink, [](void *context, void *, const char *line) {
                                ((std::vector<std::string> *)context)->push_back(line);
                            }};
    for (auto _ : state) {
        LoadDefinitionTextWith(&files, "atom.def");
        AddAtomDescriptions(moov.data(), (uint32_t)moov.size(), &tree, 0,
                            moov.data() + moov.size());
        sink->clear();
        FreeDefinitionText();
    }
    delete sink;
    state.counters["of_one_second"] =
        benchmark::Counter((double)state.iterations(),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

}  // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    const uint32_t million = 1000000;
    Bytes nested;
    for (uint32_t i = 0; i < million; i++)
        nested.insert(nested.end(), {0, 0, 0, 0, 'n', 'e', 's', 't'}),
            nested[8 * i] = (unsigned char)((8 * (million - i)) >> 24),
            nested[8 * i + 1] = (unsigned char)((8 * (million - i)) >> 16),
            nested[8 * i + 2] = (unsigned char)((8 * (million - i)) >> 8),
            nested[8 * i + 3] = (unsigned char)(8 * (million - i));
    Bytes siblings;
    for (uint32_t i = 0; i < million; i++) {
        Bytes one = Atom("free");
        siblings.insert(siblings.end(), one.begin(), one.end());
    }
    Bytes sample = ReadFileBytes(KIVRA_SOURCE_DIR "/samples/sample.mp4");
    Bytes cut(sample.begin(), sample.begin() + sample.size() / 2);
    Bytes tooLarge = Atom("moov", Atom("trak", Atom("mdia", Bytes(), 0x7FFFFFFF)), 0xFFFFFFFF);
    Bytes large64 = Atom("ftyp", {'i', 's', 'o', 'm'});
    Bytes big = Atom("mdat", {0, 0, 0, 0, 0, 0, 0, 24, 0, 0, 0, 0, 0, 0, 0, 0}, 1);
    large64.insert(large64.end(), big.begin(), big.end());
    Bytes oneLine(100u * 1024 * 1024, 'x');
    memcpy(oneLine.data(), "[moov] ", 7);
    Bytes shiftJisEnd = {'[', 'm', 'o', 'o', 'v', ']', '\n', 'b', 0x81};

    auto unit = benchmark::kMillisecond;
    benchmark::RegisterBenchmark("load/nested_1e6", LoadFile, nested)->Unit(unit)->Iterations(3);
    benchmark::RegisterBenchmark("load/siblings_1e6", LoadFile, siblings)->Unit(unit)->Iterations(3);
    benchmark::RegisterBenchmark("load/sample_cut_half", LoadFile, cut)->Unit(unit);
    benchmark::RegisterBenchmark("load/sizes_beyond_range", LoadFile, tooLarge)->Unit(unit);
    benchmark::RegisterBenchmark("load/size_one_64bit", LoadFile, large64)->Unit(unit);
    benchmark::RegisterBenchmark("definitions/one_line_100MB", LoadDefinitions, oneLine)
        ->Unit(unit)->Iterations(3);
    benchmark::RegisterBenchmark("definitions/shift_jis_lead_last", LoadDefinitions, shiftJisEnd)
        ->Unit(unit);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
