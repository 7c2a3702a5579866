#include "launcher/BatchSummary.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "launcher/ReportFiles.h"

namespace fs = std::filesystem;

std::string OutcomeOfStatus(int status) {
    switch (status) {
        case 0: return "converted";
        case 3: return "not all converted";
        case 130: return "stopped";
        default: return "failed";
    }
}

void ReadReportCounts(CBatchRow& row, const std::string& pstPath) {
    std::error_code ec;
    row.pst = fs::is_regular_file(pstPath, ec) ? pstPath : std::string();
    std::ifstream in(ReportPathFor(pstPath, "json"));
    if (!in) return;
    nlohmann::json report = nlohmann::json::parse(in, nullptr, false);
    if (report.is_discarded() || !report.contains("counts")) return;
    const nlohmann::json& counts = report["counts"];
    row.documents = counts.value("documents", uint64_t{0});
    row.notConverted = counts.value("notConverted", uint64_t{0});
    row.incomplete = counts.value("incomplete", uint64_t{0});
    row.items = 0;
    if (counts.contains("items"))
        for (const auto& kind : counts["items"].items()) row.items += kind.value().get<uint64_t>();
}

std::string LocalTimestamp(std::chrono::system_clock::time_point when) {
    std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count() % 1000;
    std::tm local {};
    localtime_r(&seconds, &local);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    char full[48];
    std::snprintf(full, sizeof full, "%s.%03d", text, static_cast<int>(millis));
    return full;
}

namespace {
std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", seconds);
    return text;
}
}  // namespace

std::string BatchCsvHeader() {
    return "database,outcome,exit status,documents,items,not converted,incomplete,pst,started,ended,seconds,reason\r\n";
}

std::string BatchCsvLine(const CBatchRow& r) {
    const std::string fields[] = {r.database, r.outcome, std::to_string(r.status), std::to_string(r.documents),
                                  std::to_string(r.items), std::to_string(r.notConverted),
                                  std::to_string(r.incomplete), r.pst, r.started, r.ended, Seconds(r.seconds),
                                  r.reason};
    std::string line;
    for (const std::string& f : fields) line += (line.empty() ? "" : ",") + CsvField(f);
    return line + "\r\n";
}

std::string BatchCsv(const std::vector<CBatchRow>& rows) {
    std::string out = BatchCsvHeader();
    for (const CBatchRow& row : rows) out += BatchCsvLine(row);
    return out;
}

std::string BatchTable(const std::vector<CBatchRow>& rows) {
    std::vector<std::vector<std::string>> cells = {
        {"database", "outcome", "items", "not converted", "time", "PST"}};
    for (const CBatchRow& r : rows)
        cells.push_back({r.database, r.outcome, std::to_string(r.items),
                         std::to_string(r.notConverted + r.incomplete), Seconds(r.seconds) + " s",
                         r.pst.empty() ? "-" : r.pst});
    std::vector<size_t> widths(cells[0].size(), 0);
    for (const auto& line : cells)
        for (size_t i = 0; i < line.size(); ++i) widths[i] = std::max(widths[i], line[i].size());
    std::string out;
    for (const auto& line : cells) {
        std::string text;
        for (size_t i = 0; i < line.size(); ++i) {
            bool number = i == 2 || i == 3 || i == 4;
            std::string pad(widths[i] - line[i].size(), ' ');
            text += (i ? "  " : "") + (number ? pad + line[i] : line[i] + (i + 1 < line.size() ? pad : ""));
        }
        out += text + "\n";
    }
    return out;
}

bool AppendBatchRow(const std::string& csvPath, const CBatchRow& row, std::string& error) {
    int fd = open(csvPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return error = csvPath + ": " + std::strerror(errno), false;
    bool ok = flock(fd, LOCK_EX) == 0;
    std::string text = BatchCsvLine(row);
    if (ok && lseek(fd, 0, SEEK_END) == 0) text = BatchCsvHeader() + text;
    ok = ok && write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    if (!ok) error = csvPath + ": " + std::strerror(errno);
    close(fd);  // also releases the lock
    return ok;
}

int BatchExitStatus(const std::vector<CBatchRow>& rows, bool stopped) {
    if (stopped) return 130;
    bool shortfall = false;
    for (const CBatchRow& row : rows) {
        if (row.status != 0 && row.status != 3) return 1;
        shortfall = shortfall || row.status == 3;
    }
    return shortfall ? 3 : 0;
}
