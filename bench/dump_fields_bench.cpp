// kivra-dump --fields against the plain text listing of the same file of
// 10^5 movie fragments (at most 2x), --fields --json against --fields (at
// most 1.5x), and the report with the reference checks (--check --quiet)
// on a movie of 10^6 samples (under a second). Runs alternate, output to
// /dev/null; the CPU time of each run is the figure.

#include "tools/genatoms/atom_generator.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <string>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

const uint32_t fragments = 100000;
const uint32_t atoms = 40 + 11 * fragments;

double Seconds(const timeval &t)
{
    return (double)t.tv_sec + (double)t.tv_usec / 1e6;
}

// The CPU seconds of one kivra-dump run, or -1 when it fails (exit codes 0
// and 3, a report with problems, count as run).
double RunDump(std::vector<const char *> arguments, const std::string &path)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    std::vector<char *> argv = {(char *)KIVRA_DUMP};
    for (const char *a : arguments)
        argv.push_back((char *)a);
    argv.push_back((char *)path.c_str());
    argv.push_back(nullptr);
    pid_t child;
    int spawned = posix_spawn(&child, KIVRA_DUMP, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return -1;
    int status = 0;
    rusage usage;
    if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
        (WEXITSTATUS(status) != 0 && WEXITSTATUS(status) != 3))
        return -1;
    return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
}

std::string TempPath(const char *name)
{
    const char *tmp = getenv("TMPDIR");
    return std::string(tmp ? tmp : "/tmp") + "/" + name;
}

// Times two ways of running kivra-dump on path alternately; sets the
// counters NAME_cpu_ms and the ratio of the second to the first.
void Compare(benchmark::State &state, const std::string &path, std::vector<const char *> first,
             const char *firstName, std::vector<const char *> second, const char *secondName,
             const char *ratioName)
{
    double firstCpu = 0, secondCpu = 0;
    bool ok = true;
    for (auto _ : state) {
        double a = RunDump(first, path);
        double b = RunDump(second, path);
        ok = ok && a >= 0 && b >= 0;
        firstCpu += a;
        secondCpu += b;
    }
    if (!ok) {
        state.SkipWithError("kivra-dump failed");
        return;
    }
    const double runs = (double)state.iterations();
    state.counters[std::string(firstName) + "_cpu_ms"] = 1000 * firstCpu / runs;
    state.counters[std::string(secondName) + "_cpu_ms"] = 1000 * secondCpu / runs;
    state.counters[ratioName] = firstCpu > 0 ? secondCpu / firstCpu : 0;
}

void BM_FieldsAgainstPlainText(benchmark::State &state)
{
    std::vector<unsigned char> bytes = GenerateAtomFile(atoms);
    std::string path = TempPath("kivra-dump-fields-bench.mp4");
    if (!WriteGeneratedFile(path, bytes.data(), bytes.size())) {
        state.SkipWithError("cannot write the generated file");
        return;
    }
    Compare(state, path, {}, "text", {"--fields"}, "fields", "fields_over_text");
    remove(path.c_str());
}

void BM_FieldsJsonAgainstFieldsText(benchmark::State &state)
{
    std::vector<unsigned char> bytes = GenerateAtomFile(atoms);
    std::string path = TempPath("kivra-dump-fields-json-bench.mp4");
    if (!WriteGeneratedFile(path, bytes.data(), bytes.size())) {
        state.SkipWithError("cannot write the generated file");
        return;
    }
    Compare(state, path, {"--fields"}, "fields", {"--fields", "--json"}, "fields_json",
            "json_over_text");
    remove(path.c_str());
}

void Put32(std::vector<unsigned char> &out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back((unsigned char)(value >> shift));
}

void PutBox(std::vector<unsigned char> &out, const char *type,
            const std::vector<unsigned char> &payload)
{
    Put32(out, (uint32_t)(8 + payload.size()));
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), payload.begin(), payload.end());
}

// ftyp, a moov whose one track has `samples` samples of 1 to 4 bytes in
// chunks of 1000, and the mdat that holds them.
std::vector<unsigned char> MovieOfSamples(uint32_t samples)
{
    const uint32_t perChunk = 1000, chunks = samples / perChunk;
    std::vector<unsigned char> stsz, stts, stsc, stco, tkhd(84, 0);
    Put32(stsz, 0);
    Put32(stsz, 0);
    Put32(stsz, samples);
    uint64_t media = 0;
    for (uint32_t i = 0; i < samples; i++) {
        Put32(stsz, 1 + i % 4);
        media += 1 + i % 4;
    }
    for (uint32_t word : {0u, 1u, samples, 1u})
        Put32(stts, word);
    for (uint32_t word : {0u, 1u, 1u, perChunk, 1u})
        Put32(stsc, word);
    tkhd[15] = 1;  // track_ID
    std::vector<unsigned char> stbl, minf, mdia, trak, moov, file;
    PutBox(stbl, "stts", stts);
    PutBox(stbl, "stsc", stsc);
    PutBox(stbl, "stsz", stsz);
    // The chunk offsets come last: they depend on where the mdat starts.
    const uint32_t stcoSize = 8 + 8 + 4 * chunks;
    const uint32_t moovSize = 8 + 8 + 92 + 8 + 8 + 8 + (uint32_t)stbl.size() + stcoSize;
    uint32_t at = 16 + moovSize + 8;
    Put32(stco, 0);
    Put32(stco, chunks);
    for (uint32_t c = 0; c < chunks; c++) {
        Put32(stco, at);
        at += 2500;  // 1000 samples of 1, 2, 3, 4 bytes in turn
    }
    PutBox(stbl, "stco", stco);
    PutBox(minf, "stbl", stbl);
    PutBox(mdia, "minf", minf);
    PutBox(trak, "tkhd", tkhd);
    PutBox(trak, "mdia", mdia);
    PutBox(moov, "trak", trak);
    std::vector<unsigned char> ftyp = {'i', 's', 'o', 'm', 0, 0, 0, 0};
    PutBox(file, "ftyp", ftyp);
    PutBox(file, "moov", moov);
    PutBox(file, "mdat", std::vector<unsigned char>(media, 0));
    return file;
}

void BM_ReferencesOnAMillionSamples(benchmark::State &state)
{
    std::vector<unsigned char> bytes = MovieOfSamples(1000000);
    std::string path = TempPath("kivra-dump-references-bench.mp4");
    if (!WriteGeneratedFile(path, bytes.data(), bytes.size())) {
        state.SkipWithError("cannot write the generated file");
        return;
    }
    double cpu = 0;
    bool ok = true;
    for (auto _ : state) {
        double run = RunDump({"--check", "--quiet", "--no-defs"}, path);
        ok = ok && run >= 0;
        cpu += run;
    }
    remove(path.c_str());
    if (!ok) {
        state.SkipWithError("kivra-dump failed");
        return;
    }
    state.counters["check_cpu_ms"] = 1000 * cpu / (double)state.iterations();
    state.counters["of_one_second"] = cpu / (double)state.iterations();
}

BENCHMARK(BM_FieldsAgainstPlainText)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_FieldsJsonAgainstFieldsText)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);
BENCHMARK(BM_ReferencesOnAMillionSamples)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

}  // namespace
