// Walk + descriptions over a generated fragmented file with a generated
// definition text of 300 sections, into the same tree three ways:
//   Index   the walk, its lookups going through the definition index
//   Literal the walk, its lookups scanning the text line by line (reference)
//   Floor   the same items inserted in the same order with their texts known
//           in advance: what any lookup has to cost at least
//   Walk alone, without definition text: what of the rest the walk costs
// Two trees: the in-memory tree (copies every text, as a tree view does) and
// a tree that only counts. Prints ns per atom and the Index / Floor ratio.
// KIVRA_BENCH_DEFS=path runs the same with that definition file (such as the
// shipped atom.def) in place of the generated text.

#include "atoms/atom_walk.h"
#include "defs/definition_index.h"
#include "defs/definition_text.h"
#include "platform/heap.h"
#include "tests/support/atom_tree_memory.h"
#include "tests/support/bench_trees.h"
#include "tests/support/heap_fault.h"
#include "tools/genatoms/atom_generator.h"

#include <benchmark/benchmark.h>

#include <map>
#include <stdio.h>
#include <stdlib.h>
#include <string>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

enum Mode { INDEX, LITERAL, FLOOR, WALK_ONLY };
enum TreeKind { MEMORY_TREE, COUNTING_TREE };
const char *const kModeNames[] = {"Index", "Literal", "Floor", "Walk alone, no text"};
const char *const kTreeNames[] = {"memory", "counting"};

// ns per atom of every run, by atom count, tree and mode, for the ratios.
std::map<std::string, double> nsPerAtom;

// Process CPU time: the machine may be shared, and the work is single-threaded.
double CpuNs()
{
    timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return (double)now.tv_sec * 1e9 + (double)now.tv_nsec;
}

std::string RunKey(uint32_t atoms, TreeKind kind, Mode mode)
{
    return std::to_string(atoms) + " atoms, " + kTreeNames[kind] + " tree, " + kModeNames[mode];
}

struct Fixture {
    std::vector<unsigned char> file;
    unsigned char *buffer = nullptr;
    std::vector<RecordedItem> items;
    uint32_t atoms = 0;
};

Fixture *SetUp(uint32_t atoms)
{
    static std::map<uint32_t, Fixture *> fixtures;
    Fixture *&f = fixtures[atoms];
    if (f != nullptr)
        return f;
    f = new Fixture;
    f->atoms = atoms;
    f->file = GenerateAtomFile(atoms);
    f->buffer = (unsigned char *)HeapAllocBlock(f->file.size());
    for (size_t i = 0; i < f->file.size(); i++)
        f->buffer[i] = f->file[i];
    RecordingTree recorder;
    InitRecordingTree(&recorder);
    WalkAtoms(&recorder.service, nullptr, f->buffer, (uint32_t)f->file.size(), 0,
              (uint32_t)f->file.size());
    f->items.swap(recorder.items);
    return f;
}

// With withIndex 0 the heap gives out after the text's block, so that the
// text loads without its index and the lookup scans it line by line.
void LoadDefinitions(int withIndex)
{
    const char *given = getenv("KIVRA_BENCH_DEFS");
    if (given != nullptr && given[0] != '\0') {
        LoadDefinitionTextFromPath(given);
        return;
    }
    std::string text = GenerateDefinitionText(300);
    std::string path = "/tmp/kivra-bench-" + std::to_string(getpid()) + "-atom.def";
    WriteGeneratedFile(path, text.data(), text.size());
    SetHeapFailureCountdown(withIndex ? -1 : 1);
    LoadDefinitionTextFromPath(path.c_str());
    SetHeapFailureCountdown(-1);
    remove(path.c_str());
}

// The floor: every recorded item inserted as the walk would, records
// allocated as the walk allocates them, but no walk and no lookup.
void InsertRecorded(const AtomTree *tree, const std::vector<RecordedItem> &items,
                    std::vector<void *> &handles)
{
    for (size_t i = 0; i < items.size(); i++) {
        const RecordedItem &item = items[i];
        void *parent = item.parent ? handles[item.parent - 1] : nullptr;
        if (item.isAtom) {
            AtomNodeRecord *record = (AtomNodeRecord *)HeapAllocBlock(sizeof(AtomNodeRecord));
            *record = item.record;
            handles[i] = tree->insertItem(tree->context, parent, item.text.c_str(), record);
        } else {
            tree->descriptions.insertChildText(tree->descriptions.context, parent,
                                               item.text.c_str());
            handles[i] = nullptr;
        }
    }
}

void BM_WalkDescribe(benchmark::State &state)
{
    const uint32_t atoms = (uint32_t)state.range(0);
    const Mode mode = (Mode)state.range(1);
    const TreeKind kind = (TreeKind)state.range(2);
    LoadDefinitions(mode != LITERAL);
    Fixture *f = SetUp(atoms);
    if (mode == WALK_ONLY) {
        FreeDefinitionText();
    } else if (DefinitionText == nullptr ||
               (DefinitionTextIndex() != nullptr) != (mode != LITERAL)) {
        state.SkipWithError(mode == LITERAL ? "the definition text did not load without its index"
                                            : "no definition index");
        return;
    }
    MemoryTree memory;
    InitMemoryTree(&memory);
    CountingTree counting;
    InitCountingTree(&counting);
    const AtomTree *tree = kind == MEMORY_TREE ? &memory.service : &counting.service;
    std::vector<void *> handles(f->items.size());
    uint64_t inserted = 0;
    double elapsedNs = 0;
    for (auto _ : state) {
        counting.atoms = 0;
        counting.descriptionLines = 0;
        double start = CpuNs();
        if (mode == FLOOR)
            InsertRecorded(tree, f->items, handles);
        else
            WalkAtoms(tree, nullptr, f->buffer, (uint32_t)f->file.size(), 0,
                      (uint32_t)f->file.size());
        elapsedNs += CpuNs() - start;
        state.PauseTiming();
        inserted =
            kind == MEMORY_TREE ? memory.itemCount : counting.atoms + counting.descriptionLines;
        ClearMemoryTree(&memory);
        state.ResumeTiming();
    }
    FreeDefinitionText();
    if (mode != WALK_ONLY && inserted != f->items.size()) {
        state.SkipWithError("a different number of items than the recorded walk");
        return;
    }
    double perAtom = elapsedNs / ((double)state.iterations() * atoms);
    nsPerAtom[RunKey(atoms, kind, mode)] = perAtom;
    state.counters["items"] = (double)inserted;
    state.counters["ns_per_atom"] = perAtom;
    state.SetLabel(std::string(kModeNames[mode]) + ", " + kTreeNames[kind] + " tree");
}

void Arguments(benchmark::internal::Benchmark *b)
{
    for (int kind = 0; kind < 2; kind++) {
        for (int64_t atoms : {10000, 100000}) {
            b->Args({atoms, FLOOR, kind});
            b->Args({atoms, INDEX, kind});
            b->Args({atoms, WALK_ONLY, kind});
        }
        b->Args({10000, LITERAL, kind});
    }
}

BENCHMARK(BM_WalkDescribe)->Apply(Arguments)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const char *given = getenv("KIVRA_BENCH_DEFS");
    printf("\nCPU ns per atom (walk + descriptions, %s) and ratio to the floor:\n",
           given != nullptr && given[0] != '\0' ? given : "300 generated sections");
    for (int kind = 0; kind < 2; kind++) {
        for (uint32_t atoms : {10000u, 100000u}) {
            auto floor = nsPerAtom.find(RunKey(atoms, (TreeKind)kind, FLOOR));
            if (floor == nsPerAtom.end())
                continue;
            for (int mode = 0; mode < 4; mode++) {
                auto run = nsPerAtom.find(RunKey(atoms, (TreeKind)kind, (Mode)mode));
                if (run != nsPerAtom.end())
                    printf("  %-52s %10.1f ns  %7.2fx floor\n", run->first.c_str(), run->second,
                           run->second / floor->second);
            }
        }
    }
    return 0;
}
