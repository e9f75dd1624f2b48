// kivra-dump --json against the text listing of the same file: both runs of
// the tool are timed alternately, output to /dev/null, so that a busy
// machine slows both alike. The CPU time of each run is the figure (the
// wall time is given too). Also the listing of a sparse file of 5 GiB with a
// 64-bit mdat: only the headers are read, so it must take well under a
// second ("wall_ms").

#include "tools/genatoms/atom_generator.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <string>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char **environ;

namespace {

// 40 atoms of movie header, then 11 atoms a fragment.
const uint32_t fragments = 100000;
const uint32_t atoms = 40 + 11 * fragments;

struct RunTimes {
    double cpuSeconds;
    double wallSeconds;
    bool ok;
};

double Seconds(const timeval &t)
{
    return (double)t.tv_sec + (double)t.tv_usec / 1e6;
}

RunTimes RunDump(const char *mode, const std::string &path)
{
    RunTimes times = {0, 0, false};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    char *argv[4];
    int argc = 0;
    argv[argc++] = (char *)KIVRA_DUMP;
    if (mode != nullptr)
        argv[argc++] = (char *)mode;
    argv[argc++] = (char *)path.c_str();
    argv[argc] = nullptr;
    timespec start, end;
    clock_gettime(CLOCK_MONOTONIC, &start);
    pid_t child;
    if (posix_spawn(&child, KIVRA_DUMP, &actions, nullptr, argv, environ) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return times;
    }
    int status = 0;
    rusage usage;
    pid_t waited = wait4(child, &status, 0, &usage);
    clock_gettime(CLOCK_MONOTONIC, &end);
    posix_spawn_file_actions_destroy(&actions);
    times.ok = waited == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    times.cpuSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    times.wallSeconds =
        (double)(end.tv_sec - start.tv_sec) + (double)(end.tv_nsec - start.tv_nsec) / 1e9;
    return times;
}

void BM_DumpJsonAgainstText(benchmark::State &state)
{
    std::vector<unsigned char> bytes = GenerateAtomFile(atoms);
    const char *tmp = getenv("TMPDIR");
    std::string path = std::string(tmp ? tmp : "/tmp") + "/kivra-dump-json-bench.mp4";
    if (!WriteGeneratedFile(path, bytes.data(), bytes.size())) {
        state.SkipWithError("cannot write the generated file");
        return;
    }
    double textCpu = 0, jsonCpu = 0, textWall = 0, jsonWall = 0;
    bool ok = true;
    for (auto _ : state) {
        RunTimes text = RunDump(nullptr, path);
        RunTimes json = RunDump("--json", path);
        ok = ok && text.ok && json.ok;
        textCpu += text.cpuSeconds;
        jsonCpu += json.cpuSeconds;
        textWall += text.wallSeconds;
        jsonWall += json.wallSeconds;
    }
    remove(path.c_str());
    if (!ok) {
        state.SkipWithError("kivra-dump failed");
        return;
    }
    const double runs = (double)state.iterations();
    state.counters["text_cpu_ms"] = 1000 * textCpu / runs;
    state.counters["json_cpu_ms"] = 1000 * jsonCpu / runs;
    state.counters["text_wall_ms"] = 1000 * textWall / runs;
    state.counters["json_wall_ms"] = 1000 * jsonWall / runs;
    state.counters["json_over_text"] = textCpu > 0 ? jsonCpu / textCpu : 0;
    state.counters["file_bytes"] = (double)bytes.size();
}

BENCHMARK(BM_DumpJsonAgainstText)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

void AppendBigEndian(std::string &out, uint64_t value, int bytes)
{
    for (int i = bytes - 1; i >= 0; i--)
        out.push_back((char)(value >> (8 * i)));
}

std::string Atom(const char *type, const std::string &payload)
{
    std::string out;
    AppendBigEndian(out, 8 + payload.size(), 4);
    return out + type + payload;
}

// ftyp, an mdat with a 64-bit size up to 5 GiB, then a moov with a few
// atoms: 5 GiB on the disk's books, a few kilobytes on the disk.
void BM_DumpFiveGiBSparseFile(benchmark::State &state)
{
    const uint64_t moovOffset = 5ull << 30;
    std::string head = Atom("ftyp", std::string("isom\0\0\0\0", 8));
    const uint64_t mdatOffset = head.size();
    AppendBigEndian(head, 1, 4);
    head += "mdat";
    AppendBigEndian(head, moovOffset - mdatOffset, 8);
    std::string moov = Atom("moov",
                            Atom("mvhd", std::string(100, '\0')) +
                                Atom("trak", Atom("tkhd", std::string(84, '\0'))));
    const char *tmp = getenv("TMPDIR");
    std::string path = std::string(tmp ? tmp : "/tmp") + "/kivra-dump-big-bench.mp4";
    FILE *file = fopen(path.c_str(), "wb");
    bool written = file != nullptr && fwrite(head.data(), 1, head.size(), file) == head.size() &&
        fseeko(file, (off_t)moovOffset, SEEK_SET) == 0 &&
        fwrite(moov.data(), 1, moov.size(), file) == moov.size();
    if (file != nullptr)
        written = fclose(file) == 0 && written;
    if (!written) {
        remove(path.c_str());
        state.SkipWithError("cannot write the sparse file");
        return;
    }
    double cpu = 0, wall = 0;
    bool ok = true;
    for (auto _ : state) {
        RunTimes run = RunDump("--check", path);
        ok = ok && run.ok;
        cpu += run.cpuSeconds;
        wall += run.wallSeconds;
    }
    remove(path.c_str());
    if (!ok) {
        state.SkipWithError("kivra-dump failed");
        return;
    }
    state.counters["cpu_ms"] = 1000 * cpu / (double)state.iterations();
    state.counters["wall_ms"] = 1000 * wall / (double)state.iterations();
    state.counters["file_bytes"] = (double)(moovOffset + moov.size());
}

BENCHMARK(BM_DumpFiveGiBSparseFile)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

}  // namespace
