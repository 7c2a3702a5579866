// A PST split at a size limit: every part within the limit and clean for the
// independent readers, with the whole folder tree and right folder counts,
// every item in exactly one part and in its own folder.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>

#include "platform/sys/Text.h"
#include "tests/pst/PstScenario.h"

namespace pst::test {
namespace {

constexpr uint64_t kLimit = 300 << 10;

nlohmann::json ListParts(const std::vector<std::filesystem::path>& parts) {
    std::string cmd = "/usr/bin/python3 '" NSF2PST_SOURCE_DIR "/tests/pst/list_parts.py'";
    for (const auto& p : parts) cmd += " '" + p.string() + "'";
    std::string out;
    if (FILE* pipe = popen(cmd.c_str(), "r")) {
        char buf[4096];
        for (size_t n; (n = fread(buf, 1, sizeof buf, pipe)) > 0;) out.append(buf, n);
        pclose(pipe);
    }
    return nlohmann::json::parse(out, nullptr, false);
}

// The scenario's expectation narrowed to what one part holds.
nlohmann::json PartExpectation(const nlohmann::json& all, const nlohmann::json& listed, const std::string& store) {
    nlohmann::json e = all;
    e["store"] = store;
    e["messages"] = nlohmann::json::array();
    for (auto& [path, folder] : e["folders"].items()) folder["messages"] = 0;
    for (const auto& m : all["messages"]) {
        const auto& folder = listed["folders"][m["folder"].get<std::string>()];
        for (const auto& subject : folder["subjects"])
            if (subject == m["subject"]) {
                e["messages"].push_back(m);
                e["folders"][m["folder"].get<std::string>()]["messages"] =
                    e["folders"][m["folder"].get<std::string>()]["messages"].get<int>() + 1;
            }
    }
    return e;
}

TEST(PstSplit, PartsStayWithinTheLimitAndHoldEveryItemOnce) {
    CScenario s("split");
    const std::u16string folders[] = {u"Inbox", u"Inbox/Projects", u"Sent Items", u"Archive/2020"};
    for (const auto& f : folders) s.ExpectFolder(f, u"IPF.Note", 0);
    s.ExpectFolder(u"Archive", u"IPF.Note", 0);
    const uint64_t sizes[] = {0, 3000, 9000, 20000, 40000, 70000};
    for (int i = 0; i < 36; ++i) {
        CPropBag extra;
        extra.SetString(0x1000, std::u16string(size_t(200 + 97 * i), u'x'));
        std::vector<CAttachmentSpec> attachments;
        if (sizes[i % 6]) attachments.push_back({u"a" + sys::Widen(std::to_string(i)) + u".bin", sizes[i % 6], i, i % 4 == 0});
        // Every third unread (flag 1 clear); 0x10: has attachments.
        extra.SetLong(0x0E07, (i % 3 == 0 ? 0 : 1) | (attachments.empty() ? 0 : 0x10));
        s.AddMessage(folders[i % 4], u"Item " + sys::Widen(std::to_string(i)), extra, {{u"Ann", u"ann@example.com"}},
                     attachments);
    }
    // Larger than a part can be: goes into a part of its own.
    s.AddMessage(u"Archive/2020", u"Oversized", {}, {}, {{u"big.bin", 400000, 7, true}});

    CWriteOptions options;
    options.splitSize = kLimit;
    CWriteStats stats;
    ASSERT_EQ(s.WritePst(options, &stats), "");
    ASSERT_GE(stats.parts.size(), 4u);
    EXPECT_EQ(stats.messages, 37u);
    std::vector<std::filesystem::path> paths;
    uint64_t messages = 0;
    int oversized = 0;
    for (size_t i = 0; i < stats.parts.size(); ++i) {
        const CPartStats& part = stats.parts[i];
        paths.push_back(part.path);
        EXPECT_EQ(part.path, PstPartPath(s.PstPath(), int(i) + 1));
        EXPECT_EQ(std::filesystem::file_size(part.path), part.fileBytes);
        if (part.oversized) {
            ++oversized;
            EXPECT_EQ(part.messages, 1u);
        } else {
            EXPECT_LE(part.fileBytes, kLimit) << part.path;
        }
        messages += part.messages;
    }
    EXPECT_EQ(oversized, 1);
    EXPECT_EQ(messages, 37u);
    for (const auto& entry : std::filesystem::directory_iterator(s.Dir()))
        EXPECT_EQ(entry.path().string().find(".writing-"), std::string::npos) << entry.path();

    nlohmann::json listed = ListParts(paths);
    ASSERT_TRUE(listed.is_array()) << "list_parts.py failed";
    std::map<std::string, int> seen;  // folder + subject -> parts holding it
    std::set<std::string> expectedFolders;
    for (const auto& [path, folder] : s.Expected()["folders"].items()) expectedFolders.insert(path);
    for (size_t i = 0; i < listed.size(); ++i) {
        const auto& part = listed[i];
        std::string store = i == 0 ? "Test Store" : "Test Store (" + std::to_string(i + 1) + ")";
        EXPECT_EQ(part["store"], store);
        EXPECT_EQ(part["orphans"], 0);
        for (const auto& want : expectedFolders) EXPECT_TRUE(part["folders"].contains(want)) << want << " in " << paths[i];
        for (const auto& [path, f] : part["folders"].items()) {
            if (path == "") continue;
            EXPECT_EQ(f["contentCount"], f["subjects"].size()) << path << " in " << paths[i];
            EXPECT_EQ(f["unreadCount"], f["unreadFound"]) << path << " in " << paths[i];
            EXPECT_EQ(f["hasSubfolders"], f["subfolders"].get<int>() > 0 ? 1 : 0) << path << " in " << paths[i];
            for (const auto& subject : f["subjects"]) ++seen[path + "|" + subject.get<std::string>()];
        }
        int rc = 0;
        std::string report = s.CheckFile(paths[i], PartExpectation(s.Expected(), part, store), &rc);
        EXPECT_EQ(rc, 0) << paths[i] << ":\n" << report;
    }
    EXPECT_EQ(seen.size(), 37u);
    for (const auto& m : s.Expected()["messages"])
        EXPECT_EQ(seen[m["folder"].get<std::string>() + "|" + m["subject"].get<std::string>()], 1) << m["subject"];
}

TEST(PstSplit, LimitBelowAnEmptyStoreFailsAndLeavesNoFile) {
    CScenario s("split-small");
    s.AddMessage(u"Inbox", u"One");
    CWriteOptions options;
    options.splitSize = 100 << 10;
    std::string error = s.WritePst(options, nullptr);
    EXPECT_NE(error.find("split size"), std::string::npos) << error;
    for (const auto& entry : std::filesystem::directory_iterator(s.Dir())) {
        EXPECT_NE(entry.path().extension(), ".pst") << entry.path();
        EXPECT_EQ(entry.path().string().find(".writing-"), std::string::npos) << entry.path();
    }
}

}  // namespace
}  // namespace pst::test
