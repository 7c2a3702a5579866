// pstbench: builds a staging store of N messages of a given size mix, writes
// the PST from it in a child process and reports messages/s, MB/s and the
// peak memory of the writing, next to the raw sequential write speed of the
// same disk measured with dd for the same number of bytes.
//
// usage: pstbench [--messages N] [--body BYTES] [--attach SIZE,SIZE,...]
//                 [--folders N] [--dir DIR] [--keep]
// Attachment sizes are given to the messages in turn (0 = no attachment).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "platform/pst/PstWriter.h"
#include "platform/pst/StagingStore.h"

namespace {

struct COptions {
    uint64_t messages = 2000;
    size_t body = 4000;
    std::vector<uint64_t> attach{0, 0, 20000, 0, 300000};
    int folders = 4;
    std::filesystem::path dir = std::filesystem::temp_directory_path() / "pstbench";
    bool keep = false;
};

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

COptions Parse(int argc, char** argv) {
    COptions o;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "pstbench: %s needs a value\n", a.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--messages") {
            o.messages = std::stoull(next());
        } else if (a == "--body") {
            o.body = std::stoul(next());
        } else if (a == "--folders") {
            o.folders = std::max(1, std::stoi(next()));
        } else if (a == "--attach") {
            o.attach.clear();
            std::stringstream list(next());
            for (std::string v; std::getline(list, v, ',');) o.attach.push_back(std::stoull(v));
            if (o.attach.empty()) o.attach.push_back(0);
        } else if (a == "--dir") {
            o.dir = next();
        } else if (a == "--keep") {
            o.keep = true;
        } else {
            std::fprintf(stderr,
                         "usage: pstbench [--messages N] [--body BYTES] [--attach SIZE,...] [--folders N] "
                         "[--dir DIR] [--keep]\n");
            std::exit(2);
        }
    }
    return o;
}

// Attachment data is streamed into the staging store from files, one per size.
std::filesystem::path DataFile(const COptions& o, uint64_t size) {
    auto path = o.dir / ("data-" + std::to_string(size));
    if (std::filesystem::exists(path)) return path;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::string chunk(1 << 20, '\0');
    for (size_t i = 0; i < chunk.size(); ++i) chunk[i] = char((i * 131 + 7) % 251);
    for (uint64_t done = 0; done < size;) {
        size_t n = size_t(std::min<uint64_t>(chunk.size(), size - done));
        std::fwrite(chunk.data(), 1, n, f);
        done += n;
    }
    std::fclose(f);
    return path;
}

void BuildStaging(const COptions& o, const std::filesystem::path& staging) {
    using namespace pst;
    auto store = CStagingStore::Open(staging, u"Bench Store");
    std::vector<FolderId> folders;
    FolderId inbox = store->DefaultFolder(EDefaultFolder::Inbox);
    for (int i = 0; i < o.folders; ++i) folders.push_back(store->CreateFolder(inbox, u"Folder " + std::u16string(1, char16_t(u'A' + i % 26))));
    std::u16string body;
    for (size_t i = 0; i < o.body / 2; ++i) body.push_back(char16_t(u'a' + (i * 7) % 26));
    for (uint64_t i = 0; i < o.messages; ++i) {
        CStagedMessage m;
        m.props.SetString(0x0037, u"Bench message " + std::u16string(1, char16_t(u'0' + i % 10)));
        m.props.SetString(0x1000, body);
        m.props.SetString(0x0C1A, u"Sender Name");
        m.props.SetTime(0x0039, UnixTimeToFileTime(1700000000 + int64_t(i)));
        CPropBag r;
        r.SetString(0x3001, u"Recipient");
        r.SetString(0x3003, u"recipient@example.com");
        r.SetString(0x3002, u"SMTP");
        r.SetLong(0x0C15, 1);
        m.recipients.push_back(r);
        uint64_t size = o.attach[i % o.attach.size()];
        if (size) {
            CStagedAttachment a;
            a.props.SetString(0x3707, u"attachment.bin");
            a.props.SetFromFile(MakeTag(0x3701, PT_BINARY), DataFile(o, size));
            m.attachments.push_back(a);
        }
        store->SaveMessage(folders[i % folders.size()], m);
    }
}

// Runs f in a child process; returns its peak resident memory in kB.
long RunMeasured(const std::function<int()>& f, int* exitCode) {
    pid_t child = fork();
    if (child == 0) _exit(f());
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
    COptions o = Parse(argc, argv);
    std::filesystem::remove_all(o.dir);
    std::filesystem::create_directories(o.dir);
    auto pstPath = o.dir / "bench.pst";
    auto staging = pst::CStagingStore::PathForPst(pstPath);

    auto t0 = std::chrono::steady_clock::now();
    BuildStaging(o, staging);
    double stagingSeconds = Seconds(t0);
    uint64_t stagingBytes = std::filesystem::file_size(staging);
    std::printf("staging store: %llu messages, %.1f MB, built in %.2f s (%.0f messages/s)\n",
                (unsigned long long)o.messages, double(stagingBytes) / 1e6, stagingSeconds,
                double(o.messages) / stagingSeconds);

    int rc = 0;
    t0 = std::chrono::steady_clock::now();
    long peakKb = RunMeasured(
        [&] {
            std::string error = pst::WritePstFromStaging(staging, pstPath);
            if (!error.empty()) std::fprintf(stderr, "pstbench: %s\n", error.c_str());
            return error.empty() ? 0 : 1;
        },
        &rc);
    double writeSeconds = Seconds(t0);
    if (rc != 0) return 1;
    uint64_t pstBytes = std::filesystem::file_size(pstPath);
    double mb = double(pstBytes) / 1e6;
    std::printf("PST writing: %.1f MB in %.2f s: %.0f messages/s, %.1f MB/s, peak memory %.1f MB\n", mb,
                writeSeconds, double(o.messages) / writeSeconds, mb / writeSeconds, double(peakKb) / 1024.0);

    auto ddFile = o.dir / "dd.out";
    std::string dd = "dd if=/dev/zero of='" + ddFile.string() + "' bs=1M count=" +
                     std::to_string((pstBytes + (1 << 20) - 1) >> 20) + " conv=fsync status=none";
    t0 = std::chrono::steady_clock::now();
    if (std::system(dd.c_str()) != 0) {
        std::fprintf(stderr, "pstbench: dd failed\n");
        return 1;
    }
    double ddSeconds = Seconds(t0);
    std::filesystem::remove(ddFile);
    std::printf("dd of the same size: %.2f s, %.1f MB/s; writer/dd speed ratio %.2f\n", ddSeconds, mb / ddSeconds,
                ddSeconds / writeSeconds);
    if (!o.keep) std::filesystem::remove_all(o.dir);
    return 0;
}
