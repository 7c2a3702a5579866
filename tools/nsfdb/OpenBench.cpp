// Benchmark: opening a Notes database file and reading one document by note
// ID costs the same for 10 documents and for 100,000.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <map>

#include <unistd.h>

#include "platform/notes/LNNotes.h"
#include "tools/nsfdb/Description.h"

namespace {

const std::filesystem::path& DatabaseOf(int documents) {
    static std::map<int, std::filesystem::path> built;
    auto& path = built[documents];
    if (path.empty()) {
        path = std::filesystem::temp_directory_path() /
               ("nsfdb-bench-" + std::to_string(getpid()) + "-" + std::to_string(documents) + ".nsf");
        nsfdb::Json docs = nsfdb::Json::array();
        for (int i = 0; i < documents; ++i)
            docs.push_back({{"noteId", 4 * (i + 1)}, {"form", "Memo"},
                            {"items", {{"Subject", "Message " + std::to_string(i)}, {"Body", {{"richtext", {"Hello"}}}}}}});
        nsfdb::BuildDatabase(nsfdb::Json{{"title", "Bench"}, {"documents", docs}}, ".", path);
    }
    return path;
}

void OpenAndReadOne(benchmark::State& state) {
    const int documents = static_cast<int>(state.range(0));
    const auto& path = DatabaseOf(documents);
    LNNotesSession session;
    session.Initialize();
    for (auto _ : state) {
        LNDatabase db;
        session.GetDatabase(path.c_str(), &db);
        db.Open();
        LNDocument doc;
        db.GetDocument(static_cast<LNNOTEID>(4 * (documents / 2 + 1)), &doc);
        doc.Open();
        LNText subject;
        doc.GetItem("Subject", &subject);
        benchmark::DoNotOptimize(subject.GetText());
        doc.Close();
        db.Close();
    }
    session.Term();
}
BENCHMARK(OpenAndReadOne)->Arg(10)->Arg(100000)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    for (int n : {10, 100000}) std::filesystem::remove(DatabaseOf(n));
    return 0;
}
