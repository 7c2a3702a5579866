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

// Where the rows come from: a report held whole, or one made row by row.
struct CRowSource {
    std::function<void(const CReportRows::Visit&)> documents, designNotes;
};

CRowSource SourceOf(const CDocumentReport& report) {
    auto of = [&report](bool design) {
        return [&report, design](const CReportRows::Visit& visit) {
            for (const CReportRow& row : report.rows)
                if (row.designNote == design) visit(row);
        };
    };
    return {of(false), of(true)};
}

CRowSource SourceOf(const CReportRows& rows) {
    return {[&rows](const CReportRows::Visit& v) { rows.ForEachDocument(v); },
            [&rows](const CReportRows::Visit& v) { rows.ForEachDesignNote(v); }};
}

std::string CsvLine(const CReportRow& row) {
    const std::string fields[] = {std::to_string(row.note.noteId), row.note.unid, row.note.form,
                                  row.note.subject, Joined(row.notesFolders), OutcomeWord(row.outcome),
                                  Joined(row.pstFolders), row.itemKind, row.reason};
    std::string text;
    for (const std::string& f : fields) text += (text.empty() ? "" : ",") + CsvField(f);
    return text + "\r\n";
}

const char* kCsvHeader = "noteId,unid,form,subject,notesFolders,outcome,pstFolders,itemKind,reason\r\n";

void PutCsv(const CRowSource& source, const Put& put) {
    put(kCsvHeader);
    auto line = [&](const CReportRow& row) { put(CsvLine(row)); };
    source.documents(line);
    source.designNotes(line);
}

// An array of rows as a member of the top-level object, element by element:
// each row is dumped on its own, so the whole document is never held as one
// tree. Element puts a row (its separator first), End closes the array.
class CJsonRows {
public:
    explicit CJsonRows(Put put) : put(std::move(put)) {}
    void Element(const CReportRow& row) {
        std::string text = RowJson(row).dump(1, '\t', false, nlohmann::json::error_handler_t::replace);
        std::string indented = any ? ",\n\t\t" : "[\n\t\t";
        for (char c : text) {
            indented += c;
            if (c == '\n') indented += "\t\t";
        }
        put(indented);
        any = true;
    }
    void End() { put(any ? "\n\t]" : "[]"); }

private:
    Put put;
    bool any = false;
};

void PutRows(const std::function<void(const CReportRows::Visit&)>& rows, const Put& put) {
    CJsonRows array(put);
    rows([&](const CReportRow& row) { array.Element(row); });
    array.End();
}

struct CReportHead {
    const CReportCounts& counts;
    const std::vector<CPassEnd>& folders;
    const CPassEnd& calendar;
    const std::string& databasePath;
    const std::string& pstPath;
};

// The top-level object with its counts; the row arrays are written in the
// places `designAt` and `documentsAt` mark (where "null" stands).
struct CJsonFrame {
    std::string text;
    size_t designAt = 0, documentsAt = 0;
};

CJsonFrame JsonFrame(const CReportHead& head) {
    const CReportCounts& c = head.counts;
    auto count = [&](EOutcome o) {
        auto it = c.byOutcome.find(o);
        return it == c.byOutcome.end() ? uint64_t{0} : it->second;
    };
    nlohmann::json j;
    j["database"] = head.databasePath;
    j["pst"] = head.pstPath;
    j["counts"] = {{"documents", c.documents},
                   {"converted", count(EOutcome::Converted)},
                   {"merged", count(EOutcome::Merged)},
                   {"incomplete", count(EOutcome::Incomplete)},
                   {"skipped", count(EOutcome::Skipped)},
                   {"notConverted", count(EOutcome::NotConverted)},
                   {"items", c.itemsByKind},
                   {"failedPasses", c.failedPasses}};
    j["folders"] = nlohmann::json::array();
    for (const CPassEnd& f : head.folders) j["folders"].push_back(PassJson(f));
    j["calendar"] = PassJson(head.calendar);
    // The row arrays stand as null in the dump and are written in their place;
    // a newline inside a string is escaped, so the marks occur only there.
    j["documents"] = nullptr;
    j["designNotes"] = nullptr;
    CJsonFrame frame;
    frame.text = j.dump(1, '\t', false, nlohmann::json::error_handler_t::replace) + "\n";
    const std::string designMark = "\n\t\"designNotes\": null", documentsMark = "\n\t\"documents\": null";
    frame.designAt = frame.text.find(designMark) + designMark.size() - 4;
    frame.documentsAt = frame.text.find(documentsMark) + documentsMark.size() - 4;
    return frame;
}

// The frame with the design notes' array and the documents' array, which
// `documents` puts.
void PutJson(const CJsonFrame& frame, const CRowSource& source, const std::function<void(const Put&)>& documents,
             const Put& put) {
    std::string_view text = frame.text;
    put(text.substr(0, frame.designAt));
    PutRows(source.designNotes, put);
    put(text.substr(frame.designAt + 4, frame.documentsAt - frame.designAt - 4));
    documents(put);
    put(text.substr(frame.documentsAt + 4));
}

void PutJson(const CReportHead& head, const CRowSource& source, const Put& put) {
    PutJson(JsonFrame(head), source, [&](const Put& p) { PutRows(source.documents, p); }, put);
}

// A private file written a megabyte at a time.
class CBufferedFile {
public:
    bool Create(const std::string& path) { return file.CreateOrTruncate(sys::Utf8ToUtf16(path)); }
    void Put(std::string_view bytes) {
        buffer += bytes;
        if (buffer.size() >= (1u << 20)) Flush();
    }
    bool Close() {
        Flush();
        file.Close();
        return ok;
    }

private:
    void Flush() {
        ok = ok && file.Write(buffer);
        buffer.clear();
    }
    sys::CFile file;
    std::string buffer;
    bool ok = true;
};

// Puts a file's bytes, a megabyte at a time.
bool PutFile(const std::string& path, const Put& put) {
    sys::CFile file;
    if (!file.OpenReadOnly(sys::Utf8ToUtf16(path))) return false;
    std::string chunk(1u << 20, '\0');
    for (size_t n; (n = file.Read(chunk.data(), chunk.size())) > 0;) put(std::string_view(chunk.data(), n));
    return true;
}

std::string Collected(const std::function<void(const Put&)>& write) {
    std::string out;
    write([&](std::string_view bytes) { out += bytes; });
    return out;
}

}  // namespace

std::string ReportCsv(const CDocumentReport& report) {
    return Collected([&](const Put& put) { PutCsv(SourceOf(report), put); });
}

std::string ReportJson(const CDocumentReport& report, const std::string& databasePath, const std::string& pstPath) {
    const CReportHead head{report.counts, report.folders, report.calendar, databasePath, pstPath};
    return Collected([&](const Put& put) { PutJson(head, SourceOf(report), put); });
}

bool WriteReportFiles(const CReportFilePaths& paths, const CReportRows& rows, CDocumentReport& summary,
                      const std::string& databasePath, const std::string& pstPath) {
    // One pass over the documents: the CSV file takes each row, the JSON
    // rows wait in a scratch file until the counts that precede them in the
    // JSON file are known.
    CBufferedFile csv, jsonRows, json;
    if (!csv.Create(paths.csv) || !jsonRows.Create(paths.scratch)) return false;
    csv.Put(kCsvHeader);
    CJsonRows documents([&](std::string_view bytes) { jsonRows.Put(bytes); });
    CReportCounts counts;
    rows.ForEachDocument([&](const CReportRow& row) {
        counts.Add(row);
        csv.Put(CsvLine(row));
        documents.Element(row);
    });
    documents.End();
    rows.ForEachDesignNote([&](const CReportRow& row) { csv.Put(CsvLine(row)); });
    counts.AddPasses(summary.folders, summary.calendar);
    summary.counts = counts;
    bool ok = csv.Close() && jsonRows.Close() && json.Create(paths.json);
    if (ok) {
        const CReportHead head{summary.counts, summary.folders, summary.calendar, databasePath, pstPath};
        bool copied = true;
        PutJson(JsonFrame(head), SourceOf(rows),
                [&](const Put& put) { copied = PutFile(paths.scratch, put); },
                [&](std::string_view bytes) { json.Put(bytes); });
        ok = json.Close() && copied;
    }
    sys::DeleteFile(sys::Utf8ToUtf16(paths.scratch));
    return ok;
}
