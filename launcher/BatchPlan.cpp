#include "launcher/BatchPlan.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>

namespace fs = std::filesystem;

namespace {
std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

bool IsDatabaseFile(const fs::directory_entry& entry) {
    std::error_code ec;
    return entry.is_regular_file(ec) && Lower(entry.path().extension().string()) == ".nsf";
}

// The *.nsf files of a folder, in name order.
bool DatabasesIn(const std::string& folder, std::vector<std::string>& out, std::string& error) {
    std::error_code ec;
    std::vector<std::string> found;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (IsDatabaseFile(*it)) found.push_back((fs::path(folder) / it->path().filename()).string());
    if (ec) return error = "cannot read the folder " + folder + ": " + ec.message(), false;
    std::sort(found.begin(), found.end());
    out.insert(out.end(), found.begin(), found.end());
    return true;
}
}  // namespace

std::vector<CBatchItem> PlanBatch(const std::vector<std::string>& sources, std::string& error) {
    std::vector<std::string> databases;
    for (const std::string& source : sources) {
        std::error_code ec;
        if (fs::is_directory(source, ec)) {
            if (!DatabasesIn(source, databases, error)) return {};
        } else {
            databases.push_back(source);  // a missing or unreadable file fails as its own conversion
        }
    }
    std::vector<CBatchItem> plan;
    std::set<std::string> keys, stems;
    for (const std::string& database : databases) {
        std::error_code ec;
        std::string key = fs::weakly_canonical(fs::absolute(database, ec), ec).string();
        if (!keys.insert(key).second) continue;
        std::string base = fs::path(database).stem().string();
        std::string stem = base;
        for (int n = 2; !stems.insert(Lower(stem)).second; ++n) stem = base + " (" + std::to_string(n) + ")";
        plan.push_back({database, key, stem});
    }
    if (plan.empty()) error = "no databases (*.nsf) to convert";
    return plan;
}

bool StatDatabase(const std::string& path, uint64_t& size, int64_t& modified) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return false;
    size = static_cast<uint64_t>(st.st_size);
    modified = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return true;
}

bool AlreadyDone(const CBatchEntry* entry, uint64_t size, int64_t modified) {
    if (!entry || !entry->ended || entry->size != size || entry->modified != modified) return false;
    if (entry->row.status != 0 && entry->row.status != 3) return false;
    std::error_code ec;
    return !entry->row.pst.empty() && fs::is_regular_file(entry->row.pst, ec);
}

bool CBatchState::Load() {
    std::ifstream in(path);
    if (!in) return !fs::exists(path);
    nlohmann::json j = nlohmann::json::parse(in, nullptr, false);
    if (j.is_discarded() || !j.contains("databases")) return false;
    for (const auto& e : j["databases"]) {
        CBatchEntry entry;
        entry.size = e.value("size", uint64_t{0});
        entry.modified = e.value("modified", int64_t{0});
        entry.ended = e.value("ended", false);
        CBatchRow& r = entry.row;
        r.database = e.value("database", "");
        r.outcome = e.value("outcome", "");
        r.status = e.value("status", -1);
        r.documents = e.value("documents", uint64_t{0});
        r.items = e.value("items", uint64_t{0});
        r.notConverted = e.value("notConverted", uint64_t{0});
        r.incomplete = e.value("incomplete", uint64_t{0});
        r.pst = e.value("pst", "");
        r.started = e.value("started", "");
        r.ended = e.value("endedAt", "");
        r.seconds = e.value("seconds", 0.0);
        r.reason = e.value("reason", "");
        entries[e.value("key", "")] = entry;
    }
    return true;
}

bool CBatchState::Save() const {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& [key, e] : entries) {
        const CBatchRow& r = e.row;
        list.push_back({{"key", key}, {"size", e.size}, {"modified", e.modified}, {"ended", e.ended},
                        {"database", r.database}, {"outcome", r.outcome}, {"status", r.status},
                        {"documents", r.documents}, {"items", r.items}, {"notConverted", r.notConverted},
                        {"incomplete", r.incomplete}, {"pst", r.pst}, {"started", r.started},
                        {"endedAt", r.ended}, {"seconds", r.seconds}, {"reason", r.reason}});
    }
    std::string text = nlohmann::json{{"databases", list}}.dump(1, '\t', false,
                                                                nlohmann::json::error_handler_t::replace) + "\n";
    std::string temporary = path + ".new";
    int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool ok = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    return ok && rename(temporary.c_str(), path.c_str()) == 0;
}

const CBatchEntry* CBatchState::Find(const std::string& key) const {
    auto it = entries.find(key);
    return it == entries.end() ? nullptr : &it->second;
}
