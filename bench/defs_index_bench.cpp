// Walk + descriptions over a generated fragmented file with a generated
// definition text of 300 sections, into the same tree three ways:
//   Index   the walk, its lookups going through the definition index
//   Literal the walk, its lookups scanning the text line by line (reference)
//   Floor   the same items inserted in the same order with their texts known
//           in advance: what any lookup has to cost at least
//   Walk alone, without definition text: what of the rest the walk costs
// Two trees: the in-memory tree (copies every text, as a tree view does) and
// a tree that only counts. Prints ns per atom and the Index / Floor ratio.

#include "atoms/atom_tree_memory.h"
#include "atoms/atom_walk.h"
#include "defs/definition_index.h"
#include "defs/definition_text.h"
#include "platform/heap.h"
#include "tools/genatoms/atom_generator.h"

#include <benchmark/benchmark.h>

#include <map>
#include <stdio.h>
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

// The walk's output, recorded once: the items in insertion order.
struct RecordedItem {
    uint32_t parent;  // index of the parent item + 1, 0 for a top-level item
    bool isAtom;
    AtomNodeRecord record;
    size_t text;      // offset of the text in the pool
};

struct Recorder {
    AtomTree service;
    std::vector<RecordedItem> items;
    std::string pool;  // every text, NUL-terminated, in insertion order
    size_t Add(const char *text)
    {
        size_t at = pool.size();
        pool += text;
        pool += '\0';
        return at;
    }
};

void *RecordAtom(void *context, void *parent, const char *text, AtomNodeRecord *record)
{
    Recorder *r = (Recorder *)context;
    r->items.push_back({(uint32_t)(uintptr_t)parent, true, *record, r->Add(text)});
    HeapFreeBlock(record);
    return (void *)(uintptr_t)r->items.size();
}

void RecordText(void *context, void *parent, const char *text)
{
    Recorder *r = (Recorder *)context;
    r->items.push_back({(uint32_t)(uintptr_t)parent, false, AtomNodeRecord(), r->Add(text)});
}

struct CountingTree {
    AtomTree service;
    uint64_t items;
};

void *CountAtom(void *context, void *, const char *, AtomNodeRecord *record)
{
    HeapFreeBlock(record);
    return (void *)(uintptr_t)++((CountingTree *)context)->items;
}

void CountText(void *context, void *, const char *)
{
    ((CountingTree *)context)->items++;
}

void NoDelete(void *) {}

struct Fixture {
    std::vector<unsigned char> file;
    unsigned char *buffer = nullptr;
    std::vector<RecordedItem> items;
    std::string pool;
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
    Recorder recorder;
    InitAtomTree(&recorder.service, &recorder, RecordAtom, NoDelete, RecordText);
    WalkAtoms(&recorder.service, nullptr, f->buffer, (uint32_t)f->file.size(), 0,
              (uint32_t)f->file.size());
    f->items.swap(recorder.items);
    f->pool.swap(recorder.pool);
    return f;
}

void LoadDefinitions()
{
    std::string text = GenerateDefinitionText(300);
    std::string path = "/tmp/kivra-bench-" + std::to_string(getpid()) + "-atom.def";
    WriteGeneratedFile(path, text.data(), text.size());
    LoadDefinitionTextFromPath(path.c_str());
    remove(path.c_str());
}

// The floor: every recorded item inserted as the walk would, records
// allocated as the walk allocates them, but no walk and no lookup.
void InsertRecorded(const AtomTree *tree, const std::vector<RecordedItem> &items,
                    const std::string &pool, std::vector<void *> &handles)
{
    for (size_t i = 0; i < items.size(); i++) {
        const RecordedItem &item = items[i];
        void *parent = item.parent ? handles[item.parent - 1] : nullptr;
        if (item.isAtom) {
            AtomNodeRecord *record = (AtomNodeRecord *)HeapAllocBlock(sizeof(AtomNodeRecord));
            *record = item.record;
            handles[i] = tree->insertItem(tree->context, parent, pool.c_str() + item.text, record);
        } else {
            tree->descriptions.insertChildText(tree->descriptions.context, parent,
                                               pool.c_str() + item.text);
            handles[i] = nullptr;
        }
    }
}

void BM_WalkDescribe(benchmark::State &state)
{
    const uint32_t atoms = (uint32_t)state.range(0);
    const Mode mode = (Mode)state.range(1);
    const TreeKind kind = (TreeKind)state.range(2);
    LoadDefinitions();
    Fixture *f = SetUp(atoms);
    if (mode == WALK_ONLY) {
        FreeDefinitionText();
    } else if (mode == LITERAL) {
        // Without an index the lookup scans the text line by line.
        FreeDefinitionIndex(DefinitionTextIndex);
        DefinitionTextIndex = nullptr;
    } else if (DefinitionTextIndex == nullptr) {
        state.SkipWithError("no definition index");
        return;
    }
    MemoryTree memory;
    InitMemoryTree(&memory);
    CountingTree counting;
    InitAtomTree(&counting.service, &counting, CountAtom, NoDelete, CountText);
    const AtomTree *tree = kind == MEMORY_TREE ? &memory.service : &counting.service;
    std::vector<void *> handles(f->items.size());
    uint64_t inserted = 0;
    double elapsedNs = 0;
    for (auto _ : state) {
        counting.items = 0;
        double start = CpuNs();
        if (mode == FLOOR)
            InsertRecorded(tree, f->items, f->pool, handles);
        else
            WalkAtoms(tree, nullptr, f->buffer, (uint32_t)f->file.size(), 0,
                      (uint32_t)f->file.size());
        elapsedNs += CpuNs() - start;
        state.PauseTiming();
        inserted = kind == MEMORY_TREE ? memory.itemCount : counting.items;
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
    printf("\nCPU ns per atom (walk + descriptions, 300 sections) and ratio to the floor:\n");
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
