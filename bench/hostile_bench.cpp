// Load time of each hostile file, as kivra-dump loads it: the file from
// memory, the walk, the lookups through the real atom.def, the in-memory
// tree filled and emptied. Each must load in under a second.

#include "atoms/atom_file.h"
#include "tests/support/atom_tree_memory.h"
#include "defs/atom_descriptions.h"
#include "defs/definition_text.h"
#include "tests/support/atom_fixtures.h"

#include <benchmark/benchmark.h>

#include <string.h>
#include <string>
#include <vector>

namespace {

void LoadFile(benchmark::State &state, Bytes bytes)
{
    // The real definitions, as kivra-dump reads them.
    LoadDefinitionTextFromPath(KIVRA_SOURCE_DIR "/atom.def");
    FakeFile file;
    file.content.swap(bytes);
    MemoryTree tree;
    InitMemoryTree(&tree);
    for (auto _ : state) {
        LoadAtomFileIntoTree(&tree.service, &file.service, "hostile");
        ClearMemoryTree(&tree);
    }
    // Seconds per load: below 1 is under a second.
    state.counters["of_one_second"] = benchmark::Counter(
        (double)state.iterations(), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void LoadDefinitions(benchmark::State &state, Bytes text)
{
    FakeFile file;
    file.content.swap(text);
    Bytes moov = Atom("moov", Bytes(8, 0));
    std::vector<std::string> *sink = new std::vector<std::string>();
    DescriptionTree tree = {sink, [](void *context, void *, const char *line) {
                                ((std::vector<std::string> *)context)->push_back(line);
                            }};
    for (auto _ : state) {
        LoadDefinitionTextWith(&file.service, "atom.def");
        AddAtomDescriptions(moov.data(), (uint32_t)moov.size(), &tree, 0,
                            moov.data() + moov.size());
        sink->clear();
        FreeDefinitionText();
    }
    delete sink;
    state.counters["of_one_second"] = benchmark::Counter(
        (double)state.iterations(), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

}  // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    const uint32_t million = 1000000;
    Bytes nested = NestedAtoms(million);
    Bytes siblings;
    for (uint32_t i = 0; i < million; i++) {
        Bytes one = Atom("free");
        siblings.insert(siblings.end(), one.begin(), one.end());
    }
    Bytes sample = ReadTestFileBytes(KIVRA_SOURCE_DIR "/samples/sample.mp4");
    Bytes cut(sample.begin(), sample.begin() + sample.size() / 2);
    Bytes tooLarge =
        AtomWithSize(0xFFFFFFFF, "moov", Atom("trak", AtomWithSize(0x7FFFFFFF, "mdia")));
    Bytes large64 =
        Join({Atom("ftyp", Raw({'i', 's', 'o', 'm'})),
              AtomWithSize(1, "mdat", Raw({0, 0, 0, 0, 0, 0, 0, 24, 0, 0, 0, 0, 0, 0, 0, 0}))});
    Bytes oneLine(100u * 1024 * 1024, 'x');
    memcpy(oneLine.data(), "[moov] ", 7);
    Bytes shiftJisEnd = {'[', 'm', 'o', 'o', 'v', ']', '\n', 'b', 0x81};

    auto unit = benchmark::kMillisecond;
    benchmark::RegisterBenchmark("load/nested_1e6", LoadFile, nested)->Unit(unit)->Iterations(3);
    benchmark::RegisterBenchmark("load/siblings_1e6", LoadFile, siblings)
        ->Unit(unit)
        ->Iterations(3);
    benchmark::RegisterBenchmark("load/sample_cut_half", LoadFile, cut)->Unit(unit);
    benchmark::RegisterBenchmark("load/sizes_beyond_range", LoadFile, tooLarge)->Unit(unit);
    benchmark::RegisterBenchmark("load/size_one_64bit", LoadFile, large64)->Unit(unit);
    benchmark::RegisterBenchmark("definitions/one_line_100MB", LoadDefinitions, oneLine)
        ->Unit(unit)
        ->Iterations(3);
    benchmark::RegisterBenchmark("definitions/shift_jis_lead_last", LoadDefinitions, shiftJisEnd)
        ->Unit(unit);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
