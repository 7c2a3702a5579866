#include "tests/pst/PstScenario.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/pst/PstWriter.h"
#include "platform/sys/Text.h"

namespace pst::test {

CScratchDir::CScratchDir(const std::string& name) {
    path = std::filesystem::path(NSF2PST_BINARY_DIR) / "pst-test-scratch" / (name + "-" + std::to_string(getpid()));
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
}

CScratchDir::~CScratchDir() {
    std::error_code ec;
    if (!std::getenv("PST_TEST_KEEP")) std::filesystem::remove_all(path, ec);
}

std::string Utf8(const std::u16string& s) { return sys::Utf16ToUtf8(s); }

std::string Hex(const std::string& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
    }
    return out;
}

std::string Utf16LeBytes(const std::u16string& s) {
    std::string out;
    for (char16_t c : s) {
        out.push_back(char(c & 0xFF));
        out.push_back(char(c >> 8));
    }
    return out;
}

std::string Pattern(size_t size, int seed) {
    std::string out(size, '\0');
    for (size_t i = 0; i < size; ++i) out[i] = char((i + size_t(seed)) % 251);
    return out;
}

void WritePatternFile(const std::filesystem::path& path, uint64_t size, int seed) {
    std::ofstream out(path, std::ios::binary);
    std::string period = Pattern(251 * 4096, 0);
    for (uint64_t done = 0; done < size;) {
        size_t start = size_t((done + uint64_t(seed)) % 251);
        size_t n = size_t(std::min<uint64_t>(period.size() - 251, size - done));
        out.write(period.data() + start, std::streamsize(n));
        done += n;
    }
}

namespace {
template <class T>
std::string Le(T v) {
    std::string s(sizeof(T), '\0');
    std::memcpy(s.data(), &v, sizeof(T));
    return s;
}
}  // namespace

std::string ExpectedBytes(PropTag tag, const PropValue& value) {
    if (auto v = std::get_if<int32_t>(&value)) return Le(*v);
    if (auto v = std::get_if<bool>(&value)) return std::string(1, *v ? '\1' : '\0');
    if (auto v = std::get_if<int64_t>(&value)) return Le(*v);
    if (auto v = std::get_if<double>(&value)) return Le(*v);
    if (auto v = std::get_if<std::u16string>(&value)) return Utf16LeBytes(*v);
    if (auto v = std::get_if<Bytes>(&value)) return *v;
    if (auto v = std::get_if<std::vector<std::u16string>>(&value)) {
        // count, one offset per value from the start of the property, then the strings
        std::string head = Le(uint32_t(v->size())), data;
        for (const auto& s : *v) {
            head += Le(uint32_t(4 + 4 * v->size() + data.size()));
            data += Utf16LeBytes(s);
        }
        return head + data;
    }
    (void)tag;
    throw std::runtime_error("no expectation for this value");
}

CScenario::CScenario(const std::string& name, const std::u16string& storeName)
    : dir(name), pst(dir.Path() / "out.pst") {
    store = CStagingStore::Open(CStagingStore::PathForPst(pst), storeName);
    expected["store"] = Utf8(storeName);
    expected["folders"] = nlohmann::json::object();
    expected["messages"] = nlohmann::json::array();
    expected["named"] = nlohmann::json::array();
    expected["entryIds"] = nlohmann::json::array();
    const std::pair<const char16_t*, const char16_t*> defaults[] = {
        {u"Inbox", u"IPF.Note"},         {u"Sent Items", u"IPF.Note"},   {u"Drafts", u"IPF.Note"},
        {u"Outbox", u"IPF.Note"},        {u"Deleted Items", u"IPF.Note"},        {u"Calendar", u"IPF.Appointment"},
        {u"Contacts", u"IPF.Contact"},   {u"Tasks", u"IPF.Task"},        {u"Journal", u"IPF.Journal"},
        {u"Notes", u"IPF.StickyNote"},   {u"Junk E-mail", u"IPF.Note"}};
    for (const auto& [n, c] : defaults) ExpectFolder(n, c, 0);
    expected["folders"]["/Top of Outlook data file"] = {{"messages", 0}};
    expected["folders"]["/Search Root"] = {{"messages", 0}};
    ExpectEntryId("store", 0x35E00102, u"");
    ExpectEntryId("store", 0x35E30102, u"Deleted Items");
    ExpectEntryId("store", 0x35E20102, u"Outbox");
    ExpectEntryId("store", 0x35E40102, u"Sent Items");
    ExpectEntryId("root", 0x36D00102, u"Calendar");
    ExpectEntryId("root", 0x36D10102, u"Contacts");
    ExpectEntryId("root", 0x36D20102, u"Journal");
    ExpectEntryId("root", 0x36D30102, u"Notes");
    ExpectEntryId("root", 0x36D40102, u"Tasks");
    ExpectEntryId("root", 0x36D70102, u"Drafts");
    expected["entryIds"].push_back({"store", "35E70102", "/Search Root"});
}

std::string CScenario::PathKey(const std::u16string& path) {
    return "/Top of Outlook data file" + (path.empty() ? std::string() : "/" + Utf8(path));
}

FolderId CScenario::Folder(const std::u16string& path, const std::u16string& containerClass) {
    if (auto it = folderIds.find(path); it != folderIds.end()) return it->second;
    FolderId f = store->DefaultFolder(EDefaultFolder::IpmSubtree);
    size_t start = 0;
    while (start <= path.size() && !path.empty()) {
        size_t slash = path.find(u'/', start);
        std::u16string part = path.substr(start, slash == std::u16string::npos ? std::u16string::npos : slash - start);
        f = store->CreateFolder(f, part, containerClass);
        if (slash == std::u16string::npos) break;
        start = slash + 1;
    }
    folderIds[path] = f;
    return f;
}

void CScenario::ExpectFolder(const std::u16string& path, const std::u16string& containerClass, int messages) {
    auto& f = expected["folders"][PathKey(path)];
    f["messages"] = messages;
    if (!containerClass.empty()) f["class"] = Utf8(containerClass);
    messageCounts[PathKey(path)] = messages;
}

void CScenario::AddMessage(const std::u16string& folderPath, const std::u16string& subject, const CPropBag& extra,
                           const std::vector<CRecipientSpec>& recipients,
                           const std::vector<CAttachmentSpec>& attachments) {
    CStagedMessage m;
    m.props = extra;
    m.props.SetString(0x0037, subject);
    nlohmann::json exp;
    exp["folder"] = PathKey(folderPath);
    exp["subject"] = Utf8(subject);
    exp["props"] = nlohmann::json::array();
    for (const auto& [tag, value] : m.props.All()) {
        char t[9];
        std::snprintf(t, sizeof t, "%08X", tag);
        exp["props"].push_back({t, Hex(ExpectedBytes(tag, value))});
    }
    static const char* typeNames[] = {"", "To", "CC", "BCC"};
    if (!recipients.empty()) exp["recipients"] = nlohmann::json::array();
    for (const auto& r : recipients) {
        CPropBag bag;
        bag.SetString(0x3001, r.name);
        bag.SetString(0x3003, r.email);
        bag.SetString(0x3002, u"SMTP");
        bag.SetLong(0x0C15, r.type);
        m.recipients.push_back(bag);
        exp["recipients"].push_back({{"name", Utf8(r.name)}, {"email", Utf8(r.email)}, {"type", typeNames[r.type]}});
    }
    exp["attachments"] = nlohmann::json::array();
    for (const auto& a : attachments) {
        CStagedAttachment att;
        att.props.SetString(0x3707, a.name);
        att.props.SetLong(0x3705, 1);
        if (a.fromFile) {
            auto file = dir.Path() / ("attachment" + std::to_string(++fileCounter));
            WritePatternFile(file, a.size, a.seed);
            att.props.SetFromFile(MakeTag(0x3701, PT_BINARY), file);
        } else {
            att.props.SetBinary(0x3701, Pattern(size_t(a.size), a.seed));
        }
        m.attachments.push_back(std::move(att));
        exp["attachments"].push_back({{"name", Utf8(a.name)}, {"size", a.size}, {"seed", a.seed}});
    }
    store->SaveMessage(Folder(folderPath), m);
    expected["messages"].push_back(exp);
    messageCounts[PathKey(folderPath)]++;
    expected["folders"][PathKey(folderPath)]["messages"] = messageCounts[PathKey(folderPath)];
}

void CScenario::AddStaged(const std::u16string& folderPath, const CStagedMessage& message) {
    nlohmann::json exp;
    exp["folder"] = PathKey(folderPath);
    exp["subject"] = Utf8(message.props.GetString(0x0037).value_or(u""));
    exp["attachments"] = nlohmann::json::array();
    for (const auto& a : message.attachments) {
        (void)a;
        exp["attachments"].push_back({{"embedded", true}});
    }
    store->SaveMessage(Folder(folderPath), message);
    expected["messages"].push_back(exp);
    expected["folders"][PathKey(folderPath)]["messages"] = ++messageCounts[PathKey(folderPath)];
}

void CScenario::ExpectNamed(const Guid& guid, uint32_t lid, uint16_t propId) {
    expected["named"].push_back(
        {{"guid", Hex(std::string(guid.begin(), guid.end()))}, {"lid", lid}, {"propId", propId}});
}

void CScenario::ExpectNamed(const Guid& guid, const std::u16string& name, uint16_t propId) {
    expected["named"].push_back(
        {{"guid", Hex(std::string(guid.begin(), guid.end()))}, {"name", Utf8(name)}, {"propId", propId}});
}

void CScenario::ExpectEntryId(const std::string& owner, uint32_t tag, const std::u16string& folderPath) {
    char t[9];
    std::snprintf(t, sizeof t, "%08X", tag);
    expected["entryIds"].push_back({owner, t, PathKey(folderPath)});
}

std::string CScenario::WritePst() { return WritePst({}, nullptr); }

std::string CScenario::WritePst(const CWriteOptions& options, CWriteStats* stats) {
    store.reset();
    return WritePstFromStaging(CStagingStore::PathForPst(pst), pst, stats, options);
}

std::string CScenario::Check(int* exitCode) { return CheckFile(pst, expected, exitCode); }

std::string CScenario::CheckFile(const std::filesystem::path& file, const nlohmann::json& expectation, int* exitCode) {
    std::string name = file.stem().string();
    auto json = dir.Path() / (name + ".expected.json");
    std::ofstream(json) << expectation.dump();
    auto report = dir.Path() / (name + ".report.txt");
    auto work = file == pst ? WorkDir() : dir.Path() / ("work-" + name);
    std::string cmd = "NSF2PST_BINARY_DIR='" NSF2PST_BINARY_DIR "' /usr/bin/python3 '" NSF2PST_SOURCE_DIR
                      "/tests/pst/check_pst.py' '" + file.string() + "' '" +
                      json.string() + "' '" + work.string() + "' > '" + report.string() +
                      "' 2>&1";
    int rc = std::system(cmd.c_str());
    *exitCode = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    std::stringstream text;
    text << std::ifstream(report).rdbuf();
    return text.str();
}

}  // namespace pst::test
