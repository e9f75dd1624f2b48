// Baseline of kivra's main job: read a file, walk its atoms and look up the
// descriptions of each, into a tree that only counts (so the figures are the
// core's own, not a tree control's).

#include "atoms/atom_file.h"
#include "defs/definition_text.h"
#include "platform/heap.h"
#include "tests/support/bench_trees.h"
#include "tools/genatoms/atom_generator.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <stdio.h>
#include <string>
#include <unistd.h>

namespace {

std::string TempFile(const char *name)
{
    return std::string("/tmp/kivra-bench-") + std::to_string(getpid()) + "-" + name;
}

// Args: atom count, 1 with the 300-section definition text or 0 without.
void BM_LoadWalkDescribe(benchmark::State &state)
{
    const uint32_t atoms = (uint32_t)state.range(0);
    const bool withDefinitions = state.range(1) != 0;
    std::vector<unsigned char> bytes = GenerateAtomFile(atoms);
    std::string path = TempFile(("atoms-" + std::to_string(atoms) + ".mp4").c_str());
    if (!WriteGeneratedFile(path, bytes.data(), bytes.size())) {
        state.SkipWithError("cannot write the generated file");
        return;
    }
    if (withDefinitions) {
        std::string text = GenerateDefinitionText(300);
        std::string defs = TempFile("atom.def");
        WriteGeneratedFile(defs, text.data(), text.size());
        LoadDefinitionTextFromPath(defs.c_str());
        remove(defs.c_str());
    } else {
        FreeDefinitionText();
    }
    CountingTree tree;
    InitCountingTree(&tree);
    double elapsedNs = 0;
    for (auto _ : state) {
        tree.atoms = 0;
        tree.descriptionLines = 0;
        auto start = std::chrono::steady_clock::now();
        LoadAtomFileIntoTree(&tree.service, PlatformFileReadService(), path.c_str());
        elapsedNs +=
            std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start)
                .count();
    }
    tree.service.deleteAllItems(&tree);
    FreeDefinitionText();
    remove(path.c_str());
    if (tree.atoms != (uint64_t)atoms + 1)
        state.SkipWithError("the walk did not find every generated atom");
    state.counters["atoms"] = atoms;
    state.counters["description_lines"] = (double)tree.descriptionLines;
    // Wall time of the loads alone, divided over every atom loaded.
    state.counters["ns_per_atom"] = elapsedNs / ((double)state.iterations() * atoms);
    state.counters["file_bytes"] = (double)bytes.size();
}

BENCHMARK(BM_LoadWalkDescribe)
    ->Args({10000, 1})
    ->Args({100000, 1})
    ->Args({10000, 0})
    ->Args({100000, 0})
    ->Unit(benchmark::kMillisecond);

}  // namespace
