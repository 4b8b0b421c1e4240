// Writing and reading a TResCollection with 200 MB of program files. Writing, which compresses the
// files on every core, is held to the wall time of `gzip -9` on the same bytes; reading to plain
// zlib inflating the same buffers; then the peak memory of reading against the content's size.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "patch/component_stream.h"
#include "patch/res_items.h"

namespace kp = kestrane::patch;
using kestrane::support::Bytes;

namespace {

constexpr std::size_t kMiB = 1024 * 1024;
constexpr std::size_t kTotal = 200 * kMiB;

std::uint64_t Next(std::uint64_t& state) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
}

// Something like machine code: instruction-sized pieces from a small skewed vocabulary with
// varying immediates, text tables and zero padding; deflate takes it to roughly half.
Bytes ProgramLike(std::size_t size, std::uint64_t seed) {
    std::vector<Bytes> vocabulary;
    std::uint64_t s = seed;
    for (int i = 0; i < 256; ++i) {
        Bytes piece(2 + Next(s) % 7);
        for (auto& b : piece) b = static_cast<std::uint8_t>(Next(s));
        vocabulary.push_back(piece);
    }
    static const std::string kText = "Lumo accounting client module; cannot open the database file %s\r\n";
    Bytes out;
    out.reserve(size);
    while (out.size() < size) {
        const std::uint64_t r = Next(s);
        const std::uint64_t kind = r % 100;
        if (kind < 80) {
            // Skewed choice: low indexes far more often, as common opcodes are.
            const auto& piece = vocabulary[(r >> 8) % 16 * ((r >> 16) % 16) % 256];
            out.insert(out.end(), piece.begin(), piece.end());
            for (int i = 0; i < 2; ++i) out.push_back(static_cast<std::uint8_t>(Next(s) & 0x3F));
        } else if (kind < 92) {
            out.insert(out.end(), kText.begin(), kText.end());
            out.push_back(static_cast<std::uint8_t>(r >> 24));
        } else {
            out.insert(out.end(), 16 + (r >> 32) % 200, 0);
        }
    }
    out.resize(size);
    return out;
}

Bytes Random(std::size_t size, std::uint64_t seed) {
    Bytes out(size);
    std::uint64_t s = seed;
    for (std::size_t i = 0; i + 8 <= size; i += 8) {
        const std::uint64_t v = Next(s);
        for (int k = 0; k < 8; ++k)
            out[i + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(v >> (8 * k));
    }
    return out;
}

struct State {
    std::unique_ptr<kp::TResCollection> files;
    std::size_t contentBytes = 0;
    std::size_t compressibleBytes = 0;
    Bytes stream;
    std::vector<Bytes> deflated;  // plain zlib of each file
    std::vector<Bytes> inflated;
    std::unique_ptr<kp::TResCollection> back;  // the stream read back
};

State& Shared() {
    static State state = [] {
        kp::RegisterStreamClasses();
        State s;
        s.files = std::make_unique<kp::TResCollection>();
        s.files->PatchType = kp::ptBoth;
        std::uint64_t seed = 0x9E3779B97F4A7C15ull;
        // 60 % program-like files of 2..8 MiB, the rest incompressible files of 1..10 MiB.
        for (int i = 0; s.contentBytes < kTotal; ++i) {
            const bool program = s.compressibleBytes < kTotal * 6 / 10;
            std::size_t size =
                (program ? 2 + Next(seed) % 7 : 1 + Next(seed) % 10) * kMiB + Next(seed) % 4096;
            size = std::min(size, kTotal - s.contentBytes);
            kp::TResItem& item = s.files->Create<kp::TResItem>();
            item.Name = "file" + std::to_string(i) + (program ? ".dll" : ".zip");
            item.OptType = kp::otCopy;
            item.MemStream = program ? ProgramLike(size, Next(seed)) : Random(size, Next(seed));
            s.contentBytes += size;
            if (program) s.compressibleBytes += size;
        }
        return s;
    }();
    return state;
}

// Seconds of each round, per measurement.
std::map<std::string, std::vector<double>>& Rounds() {
    static std::map<std::string, std::vector<double>> rounds;
    return rounds;
}

double Seconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

long MinorFaults() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_minflt;
}

// CPU seconds of each writing round, all threads (for gzip, the child's), per measurement: on a busy
// machine they show what the wall clock would be on a quiet one.
std::map<std::string, std::vector<double>>& CpuRounds() {
    static std::map<std::string, std::vector<double>> rounds;
    return rounds;
}

// Runs one pass per iteration, timed on `clock`; `prepare` runs untimed before it (it drops what the
// last pass made, so that no pass pays for freeing another's memory). Writing runs on several threads
// and is timed on the wall clock; reading runs on this thread alone and is timed on its CPU clock,
// which the other work of a shared machine does not stretch.
template <class Prepare, class Pass>
void Measure(benchmark::State& st, const char* name, clockid_t clock, Prepare prepare, Pass pass) {
    for (auto _ : st) {
        prepare();
        const long faults = MinorFaults();
        const double start = Seconds(clock);
        const double cpuStart = Seconds(CLOCK_PROCESS_CPUTIME_ID);
        pass();
        const double spent = Seconds(clock) - start;
        if (clock == CLOCK_MONOTONIC)
            CpuRounds()[name].push_back(Seconds(CLOCK_PROCESS_CPUTIME_ID) - cpuStart);
        st.counters["page_faults"] = static_cast<double>(MinorFaults() - faults);
        st.SetIterationTime(spent);
        Rounds()[name].push_back(spent);
    }
    st.SetBytesProcessed(static_cast<std::int64_t>(st.iterations()) *
                         static_cast<std::int64_t>(Shared().contentBytes));
}

// The contents one after another in a file of their own, for gzip to read from the page cache.
const std::string& ContentFile() {
    static const std::string path = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string name = std::string(tmp && *tmp ? tmp : "/tmp") + "/stream_bench_XXXXXX";
        const int fd = mkstemp(name.data());
        if (fd < 0) return std::string();
        close(fd);
        std::ofstream out(name, std::ios::binary);
        for (std::size_t i = 0; i < Shared().files->Count(); ++i) {
            const Bytes& content = Shared().files->Item(i).MemStream;
            out.write(reinterpret_cast<const char*>(content.data()),
                      static_cast<std::streamsize>(content.size()));
        }
        return out ? name : std::string();
    }();
    return path;
}

// `gzip -9 -c FILE > /dev/null`; false when it cannot be run or fails. `cpu` gets its CPU seconds.
bool Gzip(const std::string& file, double& cpu) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    std::string a0 = "gzip", a1 = "-9", a2 = "-c", a3 = file;
    char* argv[] = {a0.data(), a1.data(), a2.data(), a3.data(), nullptr};
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, "gzip", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return false;
    int status = 0;
    rusage u{};
    if (wait4(pid, &status, 0, &u) != pid) return false;
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec * 1e-6; };
    cpu = seconds(u.ru_utime) + seconds(u.ru_stime);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void GzipWrite(benchmark::State& st) {
    const std::string& file = ContentFile();
    if (file.empty()) return st.SkipWithError("cannot write the content file");
    double gzipCpu = 0;
    Measure(
        st, "write/gzip -9", CLOCK_MONOTONIC, [] {},
        [&] {
            double cpu = 0;
            if (!Gzip(file, cpu)) st.SkipWithError("gzip -9 failed");
            gzipCpu = cpu;
        });
    // The process clock saw only the parent waiting.
    CpuRounds()["write/gzip -9"].back() = gzipCpu;
}

void StreamWrite(benchmark::State& st) {
    State& s = Shared();
    Measure(
        st, "write/stream", CLOCK_MONOTONIC, [&] { s.stream = {}; },
        [&] { s.stream = kp::WriteObjectStream(*s.files); });
}

void StreamWriteOneThread(benchmark::State& st) {
    State& s = Shared();
    Measure(
        st, "write/stream, 1 thread", CLOCK_MONOTONIC, [&] { s.stream = {}; },
        [&] { s.stream = kp::WriteObjectStream(*s.files, 1); });
}

// Each file compressed on its own, as the stream does it.
bool Deflate(State& s) {
    for (std::size_t i = 0; i < s.files->Count(); ++i) {
        const Bytes& content = s.files->Item(i).MemStream;
        uLongf n = compressBound(static_cast<uLong>(content.size()));
        Bytes out(n);
        if (compress2(out.data(), &n, content.data(), content.size(), Z_BEST_COMPRESSION) != Z_OK)
            return false;
        out.resize(n);
        s.deflated.push_back(std::move(out));
    }
    return true;
}

// Plain inflate into buffers of the known size: the baseline the reader is held to.
void ZlibInflate(benchmark::State& st) {
    State& s = Shared();
    if (s.deflated.empty()) Deflate(s);
    Measure(
        st, "read/zlib", CLOCK_THREAD_CPUTIME_ID, [&] { s.inflated.clear(); },
        [&] {
            for (std::size_t i = 0; i < s.deflated.size(); ++i) {
                uLongf n = s.files->Item(i).MemStream.size();
                Bytes out(n);
                if (uncompress(out.data(), &n, s.deflated[i].data(), s.deflated[i].size()) != Z_OK)
                    st.SkipWithError("uncompress failed");
                s.inflated.push_back(std::move(out));
            }
        });
}

void StreamRead(benchmark::State& st) {
    State& s = Shared();
    if (s.stream.empty()) s.stream = kp::WriteObjectStream(*s.files);
    Measure(
        st, "read/stream", CLOCK_THREAD_CPUTIME_ID, [&] { s.back = std::make_unique<kp::TResCollection>(); },
        [&] { kp::ReadObjectStream(s.stream, *s.back); });
}

// Rounds of each group alternate, so that a change of load hits every side alike.
void Register(int writeRounds, int readRounds) {
    const auto add = [](const std::string& name, void (*fn)(benchmark::State&)) {
        benchmark::RegisterBenchmark(name.c_str(), fn)
            ->Iterations(1)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    };
    for (int r = 1; r <= writeRounds; ++r) {
        add("write/gzip-9/round:" + std::to_string(r), GzipWrite);
        add("write/stream/round:" + std::to_string(r), StreamWrite);
        add("write/stream-1-thread/round:" + std::to_string(r), StreamWriteOneThread);
    }
    for (int r = 1; r <= readRounds; ++r) {
        add("read/zlib/round:" + std::to_string(r), ZlibInflate);
        add("read/stream/round:" + std::to_string(r), StreamRead);
    }
}

double Least(const std::vector<double>& v) {
    return *std::min_element(v.begin(), v.end());
}

std::string List(const std::vector<double>& v, const char* format) {
    std::string out;
    char buf[32];
    for (double x : v) {
        std::snprintf(buf, sizeof buf, format, x);
        out += (out.empty() ? "" : " ") + std::string(buf);
    }
    return out;
}

void Summary() {
    const double mb = static_cast<double>(Shared().contentBytes) / 1e6;
    auto& r = Rounds();
    const auto found = [&](const char* name) { return r.count(name) && !r[name].empty(); };
    std::printf("content: %.1f MB in %zu files; %u cores\n", mb, Shared().files->Count(),
                std::thread::hardware_concurrency());
    if (found("write/gzip -9") && found("write/stream")) {
        const auto& gzip = r["write/gzip -9"];
        const auto& stream = r["write/stream"];
        std::vector<double> ratios;
        for (std::size_t i = 0; i < std::min(gzip.size(), stream.size()); ++i)
            ratios.push_back(stream[i] / gzip[i]);
        std::printf("write, wall seconds per round: gzip -9 %s; stream %s", List(gzip, "%.2f").c_str(),
                    List(stream, "%.2f").c_str());
        if (found("write/stream, 1 thread"))
            std::printf("; stream on one thread %s", List(r["write/stream, 1 thread"], "%.2f").c_str());
        std::printf("\nwrite: stream / gzip -9 per round %s; best of rounds %.2f (target <= 0.60)\n",
                    List(ratios, "%.2f").c_str(), Least(stream) / Least(gzip));
        auto& cpu = CpuRounds();
        std::printf("write, CPU seconds per round: gzip -9 %s; stream, all threads %s",
                    List(cpu["write/gzip -9"], "%.2f").c_str(), List(cpu["write/stream"], "%.2f").c_str());
        if (!cpu["write/stream, 1 thread"].empty())
            std::printf("; stream on one thread %s", List(cpu["write/stream, 1 thread"], "%.2f").c_str());
        std::printf("\n");
    }
    if (found("read/zlib") && found("read/stream")) {
        const double zlib = Least(r["read/zlib"]);
        const double stream = Least(r["read/stream"]);
        std::printf(
            "read, CPU seconds, best of rounds: zlib %.1f MB/s, stream %.1f MB/s, stream %+.1f %% against "
            "zlib\n",
            mb / zlib, mb / stream, (zlib / stream - 1) * 100);
    }
}

std::size_t StatusKiB(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field, 0) == 0) return std::stoul(line.substr(std::string(field).size()));
    return 0;
}

// Only the stream stays in memory; the high-water mark is reset and then taken after one read.
void PeakMemoryOfReading() {
    State& s = Shared();
    if (s.stream.empty()) s.stream = kp::WriteObjectStream(*s.files);
    const std::size_t content = s.contentBytes;
    s.files.reset();
    s.deflated = {};
    s.inflated = {};
    s.back.reset();
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
    const std::size_t before = StatusKiB("VmRSS:") * 1024;
    {
        kp::TResCollection back;
        kp::ReadObjectStream(s.stream, back);
        const std::size_t peak = StatusKiB("VmHWM:") * 1024;
        std::printf(
            "reading: content %.1f MB, stream %.1f MB, resident before %.1f MB, peak %.1f MB = %.2f x "
            "content (peak minus resident before: %.2f x content; target <= 1.6)\n",
            content / 1e6, s.stream.size() / 1e6, before / 1e6, peak / 1e6,
            static_cast<double>(peak) / static_cast<double>(content),
            static_cast<double>(peak - before) / static_cast<double>(content));
    }
}

}  // namespace

int main(int argc, char** argv) {
    // Buffers of a megabyte and more come fresh from the system each time, as in a program that reads
    // one patch; otherwise later rounds reuse memory the earlier ones already faulted in.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
    Register(3, 5);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!ContentFile().empty()) std::remove(ContentFile().c_str());
    Summary();
    PeakMemoryOfReading();
    return 0;
}
