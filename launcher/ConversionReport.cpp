#include "launcher/ConversionReport.h"

#include <algorithm>
#include <cstdio>

#include "platform/sys/Files.h"
#include "platform/sys/Text.h"

std::string KindOfMessageClass(const std::u16string& messageClass) {
    std::u16string c = sys::ToLower(messageClass);
    auto is = [&](std::u16string_view prefix) {
        return c == prefix || (c.size() > prefix.size() && c.compare(0, prefix.size(), prefix) == 0 &&
                               c[prefix.size()] == u'.');
    };
    if (is(u"ipm.task")) return "tasks";
    if (is(u"ipm.appointment")) return "calendar entries";
    if (is(u"ipm.contact")) return "contacts";
    if (is(u"ipm.distlist")) return "groups";
    return "mail";
}

namespace {

// Counts the marks that start before `limit`.
void CountMarks(std::u16string_view text, size_t limit, uint64_t& warnings, uint64_t& errors) {
    for (size_t at = 0; (at = text.find(u"ERROR:", at)) < limit; at += 6) ++errors;
    for (std::u16string_view mark : {u"WARNING:", u"Warning:"})
        for (size_t at = 0; (at = text.find(mark, at)) < limit; at += mark.size()) ++warnings;
}

}  // namespace

bool CountLogProblems(const std::u16string& logPath, uint64_t& warnings, uint64_t& errors, size_t chunkBytes) {
    warnings = errors = 0;
    sys::CFile file;
    if (!file.OpenReadOnly(logPath)) return false;
    // The UTF-16LE log is read a chunk at a time: a conversion of a million
    // documents writes hundreds of megabytes of it. The last characters of a
    // chunk go again before the next one, so that a mark across the border is
    // found, and counted there only.
    constexpr size_t kKeep = 7;  // the longest mark less one
    std::u16string text;
    std::string bytes(std::max<size_t>(chunkBytes & ~size_t(1), 2), '\0');
    std::string odd;  // a byte of a character cut by the chunk
    for (size_t n; (n = file.Read(bytes.data(), bytes.size())) > 0;) {
        std::string part = odd + bytes.substr(0, n);
        odd = part.size() % 2 ? part.substr(part.size() - 1) : std::string();
        text += sys::FromUtf16LeBytes(std::string_view(part).substr(0, part.size() - odd.size()));
        const size_t limit = text.size() > kKeep ? text.size() - kKeep : 0;
        CountMarks(text, limit, warnings, errors);
        text.erase(0, limit);
    }
    CountMarks(text, text.size(), warnings, errors);
    return true;
}

std::string SummaryKindOf(const std::string& itemKind) {
    if (itemKind == "task") return "tasks";
    if (itemKind == "calendar") return "calendar entries";
    if (itemKind == "contact") return "contacts";
    if (itemKind == "group") return "groups";
    return "mail";
}

ConversionReport MakeConversionReport(const CReportCounts& counts, const std::u16string& logPath,
                                      const std::string& pstPath) {
    ConversionReport report;
    report.pstPath = pstPath;
    std::error_code ec;
    report.pstBytes = std::filesystem::file_size(pstPath, ec);
    if (ec) report.pstBytes = 0;
    for (const auto& [kind, count] : counts.itemsByKind) report.itemsByKind[SummaryKindOf(kind)] += count;
    report.documents = counts.documents;
    report.documentsByOutcome = counts.byOutcome;
    CountLogProblems(logPath, report.warnings, report.errors);
    return report;
}

std::string FormatConversionReport(const ConversionReport& r) {
    std::string out = "\nConversion finished\n";
    char line[512];
    std::snprintf(line, sizeof line, "  folders converted: %llu\n", static_cast<unsigned long long>(r.folders));
    out += line;
    for (const char* kind : {"mail", "tasks", "calendar entries", "contacts", "groups"}) {
        auto it = r.itemsByKind.find(kind);
        std::snprintf(line, sizeof line, "  %-18s %llu\n", (std::string(kind) + ":").c_str(),
                      static_cast<unsigned long long>(it == r.itemsByKind.end() ? 0 : it->second));
        out += line;
    }
    if (!r.unfiledFolder.empty()) {
        std::snprintf(line, sizeof line, "  documents in no Notes folder: %llu (in the PST folder \"%s\")\n",
                      static_cast<unsigned long long>(r.unfiledDocuments), r.unfiledFolder.c_str());
        out += line;
    }
    auto outcome = [&](EOutcome o) {
        auto it = r.documentsByOutcome.find(o);
        return static_cast<unsigned long long>(it == r.documentsByOutcome.end() ? 0 : it->second);
    };
    std::snprintf(line, sizeof line,
                  "  documents: %llu (converted %llu, merged %llu, skipped %llu, not converted %llu, incomplete %llu)\n",
                  static_cast<unsigned long long>(r.documents), outcome(EOutcome::Converted),
                  outcome(EOutcome::Merged), outcome(EOutcome::Skipped), outcome(EOutcome::NotConverted),
                  outcome(EOutcome::Incomplete));
    out += line;
    for (const std::string& failed : r.failedFolders) out += "  failed: " + failed + "\n";
    std::snprintf(line, sizeof line, "  warnings: %llu, errors: %llu (see the run log)\n",
                  static_cast<unsigned long long>(r.warnings), static_cast<unsigned long long>(r.errors));
    out += line;
    std::snprintf(line, sizeof line, "  time: %.1f s\n", r.seconds);
    out += line;
    out += "  PST: " + r.pstPath;
    std::snprintf(line, sizeof line, " (%.1f MB)\n", r.pstBytes / 1e6);
    out += line;
    if (!r.reportPath.empty()) out += "  report: " + r.reportPath + "\n";
    return out;
}
