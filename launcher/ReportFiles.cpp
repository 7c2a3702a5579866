#include "launcher/ReportFiles.h"

#include <nlohmann/json.hpp>

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

std::string ReportCsv(const CDocumentReport& report) {
    std::string out = "noteId,unid,form,subject,notesFolders,outcome,pstFolders,itemKind,reason\r\n";
    for (const CReportRow& row : report.rows) {
        const std::string fields[] = {std::to_string(row.note.noteId), row.note.unid, row.note.form,
                                      row.note.subject, Joined(row.notesFolders), OutcomeWord(row.outcome),
                                      Joined(row.pstFolders), row.itemKind, row.reason};
        std::string line;
        for (const std::string& f : fields) line += (line.empty() ? "" : ",") + CsvField(f);
        out += line + "\r\n";
    }
    return out;
}

std::string ReportJson(const CDocumentReport& report, const std::string& databasePath, const std::string& pstPath) {
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
    j["documents"] = nlohmann::json::array();
    j["designNotes"] = nlohmann::json::array();
    for (const CReportRow& row : report.rows) (row.designNote ? j["designNotes"] : j["documents"]).push_back(RowJson(row));
    return j.dump(1, '\t', false, nlohmann::json::error_handler_t::replace) + "\n";
}
