// Benchmark of the reader of real NSF files over the sample databases:
// opening (header structures only, whatever the file's size), reading every
// note with all its items, decoding attachments, and the memory all that
// keeps. Prints MB of database per second and peak memory.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "platform/notes/ods/OdsDatabase.h"

namespace fs = std::filesystem;

namespace {
fs::path Samples() { return fs::path(NSF2PST_SOURCE_DIR) / "tests/data/nsf-samples"; }

std::vector<fs::path> AllSamples() {
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(Samples()))
        if (e.path().extension() == ".nsf") out.push_back(e.path());
    return out;
}

long PeakRssKiB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// A copy of a sample grown to 1 GB (sparse): opening must not read the rest.
const fs::path& LargeFile() {
    static fs::path path;
    if (path.empty()) {
        path = fs::temp_directory_path() / ("odsbench-" + std::to_string(getpid()) + ".nsf");
        fs::copy_file(Samples() / "na_test.nsf", path, fs::copy_options::overwrite_existing);
        fs::resize_file(path, 1ull << 30);
    }
    return path;
}

void OpenOneGigabyteFile(benchmark::State& state) {
    for (auto _ : state) {
        notes::ods::COdsDatabase db(LargeFile().string());
        benchmark::DoNotOptimize(db.Title());
    }
}
BENCHMARK(OpenOneGigabyteFile)->Unit(benchmark::kMicrosecond);

// Every note the RRV lists, every item value, for all 59 samples.
void ReadEveryNote(benchmark::State& state) {
    auto files = AllSamples();
    uintmax_t fileBytes = 0, valueBytes = 0;
    for (auto _ : state) {
        for (const auto& f : files) {
            notes::ods::COdsDatabase db(f.string());
            fileBytes += fs::file_size(f);
            for (const auto& [id, entry] : db.Container().Rrv())
                if (auto note = db.ReadNote(id))
                    for (const auto& item : note->items) valueBytes += item.raw.size();
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(fileBytes));
    state.counters["values_MB/s"] = benchmark::Counter(static_cast<double>(valueBytes) / 1e6, benchmark::Counter::kIsRate);
    state.counters["peak_RSS_MiB"] = static_cast<double>(PeakRssKiB()) / 1024;
}
BENCHMARK(ReadEveryNote)->Unit(benchmark::kMillisecond);

// Documents, views with their entries and forms, as the viewer and the
// worker ask for them.
void ReadViewsAndDocuments(benchmark::State& state) {
    auto files = AllSamples();
    uintmax_t fileBytes = 0;
    for (auto _ : state) {
        for (const auto& f : files) {
            notes::ods::COdsDatabase db(f.string());
            fileBytes += fs::file_size(f);
            benchmark::DoNotOptimize(db.ReadViews(true));
            benchmark::DoNotOptimize(db.ReadForms());
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(fileBytes));
}
BENCHMARK(ReadViewsAndDocuments)->Unit(benchmark::kMillisecond);

// The largest attachment of the samples: 296,406 bytes, Huffman-coded.
void DecodeHuffmanAttachment(benchmark::State& state) {
    notes::ods::COdsDatabase db((Samples() / "MIMEMsg.nsf").string());
    notes::CFileObject bitmap;
    notes::CNoteRow note = *db.ReadNote(0x8FE);
    for (const auto& item : note.items)
        if (auto f = notes::DecodeFileObject(item.raw); f && f->name == "sampleBMP.bmp") bitmap = *f;
    size_t bytes = 0;
    for (auto _ : state) bytes += db.ReadObject(bitmap)->size();
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(DecodeHuffmanAttachment)->Unit(benchmark::kMillisecond);

// Memory after reading every sample many times: flat, caches are bounded.
void MemoryStaysFlat(benchmark::State& state) {
    auto files = AllSamples();
    long before = 0;
    for (auto _ : state) {
        for (int round = 0; round < 20; ++round) {
            if (round == 1) before = PeakRssKiB();
            for (const auto& f : files) {
                notes::ods::COdsDatabase db(f.string());
                for (const auto& [id, entry] : db.Container().Rrv()) benchmark::DoNotOptimize(db.ReadNote(id));
            }
        }
    }
    state.counters["RSS_after_1_round_MiB"] = static_cast<double>(before) / 1024;
    state.counters["RSS_after_20_rounds_MiB"] = static_cast<double>(PeakRssKiB()) / 1024;
}
BENCHMARK(MemoryStaysFlat)->Iterations(1)->Unit(benchmark::kMillisecond);
}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    std::error_code ignored;
    fs::remove(LargeFile(), ignored);
    return 0;
}
