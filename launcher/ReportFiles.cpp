#include "launcher/ReportFiles.h"

#include <nlohmann/json.hpp>

#include <functional>

#include "platform/sys/Files.h"
#include "platform/sys/Text.h"

namespace {

std::string Joined(const std::vector<std::string>& texts) {
    std::string out;
    for (const std::string& t : texts) out += (out.empty() ? "" : "; ") + t;
    return out;
}

std::string CsvField(std::string text) {
    if (!text.empty() && std::string_view("=+-@").find(text[0]) != std::string_view::npos) text.insert(0, "'");
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

const char* PassWord(EPassEnd end) {
    switch (end) {
        case EPassEnd::Converted: return "converted";
        case EPassEnd::Failed: return "failed";
        case EPassEnd::NotReached: break;
    }
    return "not reached";
}

nlohmann::json PassJson(const CPassEnd& pass) {
    nlohmann::json j = {{"pstFolder", pass.pstFolder}, {"result", PassWord(pass.end)}};
    if (pass.noteId != 0) j["noteId"] = pass.noteId;
    if (!pass.reason.empty()) j["reason"] = pass.reason;
    return j;
}

nlohmann::json RowJson(const CReportRow& row) {
    return {{"noteId", row.note.noteId}, {"unid", row.note.unid}, {"form", row.note.form},
            {"subject", row.note.subject}, {"notesFolders", row.notesFolders}, {"outcome", OutcomeWord(row.outcome)},
            {"itemKind", row.itemKind}, {"pstFolders", row.pstFolders}, {"reason", row.reason}};
}

}  // namespace

std::string ReportPathFor(const std::string& pstPath, const std::string& extension) {
    std::string base = pstPath;
    if (base.size() >= 4 && base.compare(base.size() - 4, 4, ".pst") == 0) base.resize(base.size() - 4);
    return base + ".report." + extension;
}

namespace {

using Put = std::function<void(std::string_view)>;

void PutCsv(const CDocumentReport& report, const Put& put) {
    put("noteId,unid,form,subject,notesFolders,outcome,pstFolders,itemKind,reason\r\n");
    for (const CReportRow& row : report.rows) {
        const std::string fields[] = {std::to_string(row.note.noteId), row.note.unid, row.note.form,
                                      row.note.subject, Joined(row.notesFolders), OutcomeWord(row.outcome),
                                      Joined(row.pstFolders), row.itemKind, row.reason};
        std::string line;
        for (const std::string& f : fields) line += (line.empty() ? "" : ",") + CsvField(f);
        put(line + "\r\n");
    }
}

// An array of rows as a member of the top-level object: each row is dumped on
// its own, so the whole document is never held as one tree.
void PutRows(const CDocumentReport& report, bool designNotes, const Put& put) {
    bool any = false;
    for (const CReportRow& row : report.rows) {
        if (row.designNote != designNotes) continue;
        std::string text = RowJson(row).dump(1, '\t', false, nlohmann::json::error_handler_t::replace);
        std::string indented = any ? ",\n\t\t" : "[\n\t\t";
        for (char c : text) {
            indented += c;
            if (c == '\n') indented += "\t\t";
        }
        put(indented);
        any = true;
    }
    put(any ? "\n\t]" : "[]");
}

void PutJson(const CDocumentReport& report, const std::string& databasePath, const std::string& pstPath,
             const Put& put) {
    const CReportCounts& c = report.counts;
    auto count = [&](EOutcome o) {
        auto it = c.byOutcome.find(o);
        return it == c.byOutcome.end() ? uint64_t{0} : it->second;
    };
    nlohmann::json j;
    j["database"] = databasePath;
    j["pst"] = pstPath;
    j["counts"] = {{"documents", c.documents},
                   {"converted", count(EOutcome::Converted)},
                   {"merged", count(EOutcome::Merged)},
                   {"incomplete", count(EOutcome::Incomplete)},
                   {"skipped", count(EOutcome::Skipped)},
                   {"notConverted", count(EOutcome::NotConverted)},
                   {"items", c.itemsByKind},
                   {"failedPasses", c.failedPasses}};
    j["folders"] = nlohmann::json::array();
    for (const CPassEnd& f : report.folders) j["folders"].push_back(PassJson(f));
    j["calendar"] = PassJson(report.calendar);
    // The row arrays stand as null in the dump and are written in their place;
    // a newline inside a string is escaped, so the marks occur only there.
    j["documents"] = nullptr;
    j["designNotes"] = nullptr;
    const std::string text = j.dump(1, '\t', false, nlohmann::json::error_handler_t::replace) + "\n";
    const std::string designMark = "\n\t\"designNotes\": null", documentsMark = "\n\t\"documents\": null";
    const size_t design = text.find(designMark), documents = text.find(documentsMark);
    put(std::string_view(text).substr(0, design + designMark.size() - 4));
    PutRows(report, true, put);
    put(std::string_view(text).substr(design + designMark.size(), documents + documentsMark.size() - 4 -
                                                                      (design + designMark.size())));
    PutRows(report, false, put);
    put(std::string_view(text).substr(documents + documentsMark.size()));
}

// Writes what `write` puts into a private file, a megabyte at a time.
bool WriteReportFile(const std::string& path, const std::function<void(const Put&)>& write) {
    sys::CFile file;
    if (!file.CreateOrTruncate(sys::Utf8ToUtf16(path))) return false;
    std::string buffer;
    bool ok = true;
    write([&](std::string_view bytes) {
        buffer += bytes;
        if (buffer.size() >= (1u << 20)) {
            ok = ok && file.Write(buffer);
            buffer.clear();
        }
    });
    return file.Write(buffer) && ok;
}

std::string Collected(const std::function<void(const Put&)>& write) {
    std::string out;
    write([&](std::string_view bytes) { out += bytes; });
    return out;
}

}  // namespace

std::string ReportCsv(const CDocumentReport& report) {
    return Collected([&](const Put& put) { PutCsv(report, put); });
}

std::string ReportJson(const CDocumentReport& report, const std::string& databasePath, const std::string& pstPath) {
    return Collected([&](const Put& put) { PutJson(report, databasePath, pstPath, put); });
}

bool WriteReportCsv(const std::string& path, const CDocumentReport& report) {
    return WriteReportFile(path, [&](const Put& put) { PutCsv(report, put); });
}

bool WriteReportJson(const std::string& path, const CDocumentReport& report, const std::string& databasePath,
                     const std::string& pstPath) {
    return WriteReportFile(path, [&](const Put& put) { PutJson(report, databasePath, pstPath, put); });
}
