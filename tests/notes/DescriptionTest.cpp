#include <gtest/gtest.h>

#include <map>

#include "platform/notes/CdRecords.h"
#include "platform/notes/ItemCodec.h"
#include "platform/notes/NsfFile.h"
#include "platform/sys/Text.h"
#include "tests/notes/TestDatabase.h"

namespace {

const char* const kFullDescription = R"J({
  "title": "Mail of Jane Doe",
  "replicaId": "85257A1B0049D7E2",
  "forms": {"Memo": [{"name": "Subject", "type": "text"}, {"name": "Body", "type": "richtext"}],
            "Task": [{"name": "StartDate", "type": "datetime"}, {"name": "Prio", "type": 47}]},
  "documents": [
    {"noteId": 2310, "unid": "6C1A8E3F2B0D4C5E8F7A6B5C4D3E2F10", "form": "Memo",
     "created": "2013-03-05T14:07:09+01:00", "modified": {"datetime": "2013-07-05T14:09:00+02:00", "dst": true},
     "items": {
       "Subject": "Quarterly report",
       "SendTo": ["CN=Jane Doe/O=Acme", "bob@example.com"],
       "PostedDate": {"datetime": "2013-03-05T14:07:09+01:00"},
       "Birthday": {"datetimes": ["1980-12-31", "2001-02-03T04:05:06Z"]},
       "Span": {"range": ["2013-03-05T10:00:00+01:00", "2013-03-05T11:00:00+01:00"]},
       "$Alarm": {"number": 1}, "Weights": {"numbers": [1.5, -2]},
       "HtmlBody": {"html": "<p>Grüße</p>", "charset": "ansi"},
       "Flagged": {"value": "x", "flags": 0},
       "Body": {"richtext": ["First paragraph", {"text": "bold red", "bold": true, "color": "red", "size": 14},
         {"doclink": {"replicaId": "85257A1B0049D7E2", "view": "0123456789ABCDEF0123456789ABCDEF",
                      "document": "00000000000000000000000000000ABC", "description": "The budget"}},
         "", {"image": "chart.gif"}, {"text": "tt", "font": "typewriter", "italic": true},
         {"image": {"base64": "/9j/wAARCAAFAAQDASIAAhEBAxEB/9k="}}, {"attachment": "report.pdf"}]}},
     "attachments": [{"name": "report.pdf", "path": "files/report.pdf"}, {"name": "note.txt", "text": "hello"}]},
    {"form": "Memo", "encrypted": true, "signed": true, "sealed": ["Body", "Secret"],
     "items": {"Subject": "sealed", "Secret": "s", "Body": {"richtext": ["hidden"]}}},
    {"noteId": 2400, "linksItem": false, "items": {"Body": {"richtext": [
      {"doclink": {"replicaId": "0000000100000002", "description": "no $Links"}}]}}}
  ],
  "views": [
    {"name": "($Inbox)", "folder": true, "noteId": 8250, "type": 0, "entries": [2310, {"noteId": 2400, "unread": true}, null]},
    {"name": "All", "folder": false, "type": 3, "entries": []}
  ]
})J";

std::map<std::string, std::string> Files() {
    return {{"chart.gif", TestGif(3, 2, 'g')}, {"files/report.pdf", std::string("%PDF\0\x01\x02", 7)}};
}

TEST(Description, BuildDumpBuildGivesTheSameDatabase) {
    CTestDatabase first(kFullDescription, Files());
    nsfdb::Json dumped = nsfdb::DumpDatabase(first.path);
    CTestDatabase second(dumped.dump());
    nsfdb::Json again = nsfdb::DumpDatabase(second.path);
    EXPECT_EQ(dumped.dump(1), again.dump(1));
    // Spot checks of what the dump says.
    const auto& doc = dumped["documents"][1];   // in note-ID order: 2304 (assigned), 2310, 2400
    EXPECT_EQ(doc["noteId"], 2310);
    EXPECT_EQ(doc["unid"], "6C1A8E3F2B0D4C5E8F7A6B5C4D3E2F10");
    EXPECT_EQ(doc["form"], "Memo");
    EXPECT_EQ(doc["modified"]["dst"], true);
    EXPECT_EQ(doc["items"]["HtmlBody"]["charset"], "ansi");
    EXPECT_EQ(doc["items"]["Flagged"]["flags"], 0);
    EXPECT_EQ(doc["attachments"][0]["base64"], nsfdb::Base64Encode(Files()["files/report.pdf"]));
    EXPECT_EQ(dumped["documents"][0]["sealed"], nsfdb::Json::array({"Body", "Secret"}));
    EXPECT_EQ(dumped["documents"][2]["linksItem"], false);
    EXPECT_EQ(dumped["views"][0]["entries"], nsfdb::Json::parse(R"([2310, {"noteId": 2400, "unread": true}, null])"));
    EXPECT_EQ(dumped["forms"]["Task"][1]["type"], "number");
}

TEST(Description, AssignedNoteIdsAndUnidsAreStableAndUnique) {
    CTestDatabase db(R"({"documents": [{"items": {}}, {"noteId": 2308, "items": {}}, {"items": {}}],
                         "views": [{"name": "V", "entries": []}], "forms": {"F": []}})");
    auto dumped = nsfdb::DumpDatabase(db.path);
    std::set<uint32_t> ids;
    for (const auto& d : dumped["documents"]) ids.insert(d["noteId"].get<uint32_t>());
    ids.insert(dumped["views"][0]["noteId"].get<uint32_t>());
    EXPECT_EQ(ids.size(), 4u);
    for (uint32_t id : ids) EXPECT_EQ(id % 4, 0u);
}

struct CBadCase {
    const char* name;
    const char* description;
    std::vector<const char*> messageParts;
};

class BadDescription : public ::testing::TestWithParam<CBadCase> {};

TEST_P(BadDescription, FailsNamingDocumentAndItemAndLeavesNoFile) {
    const auto& c = GetParam();
    auto dir = std::filesystem::temp_directory_path() / ("nsf-bad-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    auto out = dir / "out.nsf";
    try {
        nsfdb::BuildDatabase(nsfdb::Json::parse(c.description), dir, out);
        ADD_FAILURE() << "built a bad description";
    } catch (const nsfdb::CDescriptionError& e) {
        for (const char* part : c.messageParts) EXPECT_NE(std::string(e.what()).find(part), std::string::npos) << e.what();
    }
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_TRUE(std::filesystem::is_empty(dir)) << "temporary file left behind";
    std::filesystem::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadDescription,
    ::testing::Values(
        CBadCase{"WrongType", R"({"documents": [{"noteId": 8, "items": {"Subject": 5}}]})",
                 {"document 1 (noteId 8)", "item \"Subject\""}},
        CBadCase{"UnknownViewEntry", R"({"documents": [{"noteId": 8}], "views": [{"name": "Inbox", "entries": [8, 12]}]})",
                 {"view 1 \"Inbox\"", "unknown view entry 12"}},
        CBadCase{"MissingImage", R"({"documents": [{}, {"items": {"Body": {"richtext": [{"image": "nope.gif"}]}}}]})",
                 {"document 2", "item \"Body\"", "nope.gif"}},
        CBadCase{"DuplicateNoteId", R"({"documents": [{"noteId": 8}, {"noteId": 8}]})",
                 {"document 2 (noteId 8)", "duplicate noteId 8"}},
        CBadCase{"InvalidDate", R"({"documents": [{"items": {"DueDate": {"datetime": "2013-02-30T10:00:00Z"}}}]})",
                 {"document 1", "item \"DueDate\"", "2013-02-30"}},
        CBadCase{"UnknownAttachment", R"({"documents": [{"items": {"Body": {"richtext": [{"attachment": "x.pdf"}]}}}]})",
                 {"item \"Body\"", "x.pdf"}},
        CBadCase{"NotAnImage", R"({"documents": [{"items": {"Body": {"richtext": [{"image": {"base64": "aGVsbG8="}}]}}}]})",
                 {"item \"Body\"", "neither GIF nor JPEG"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Description, ExistingOutputSurvivesAFailedBuild) {
    CTestDatabase db(R"({"title": "kept"})");
    EXPECT_THROW(nsfdb::BuildDatabase(nsfdb::Json::parse(R"({"documents": [{"noteId": 0}]})"), db.dir, db.path),
                 nsfdb::CDescriptionError);
    EXPECT_EQ(nsfdb::DumpDatabase(db.path)["title"], "kept");
}

TEST(Description, CyrillicAndCjkAreStoredAsLmbcs) {
    const std::string cyrillic = "Квартальный отчёт";
    const std::string cjk = "四半期報告書";
    CTestDatabase db(R"({"documents": [{"noteId": 4, "items": {"Subject": ")" + cyrillic + R"(", "Topic": ")" + cjk +
                     R"("}}]})");
    notes::CNsfFile file(db.path.string());
    auto note = file.ReadNote(4);
    ASSERT_TRUE(note);
    for (const auto& [name, utf8] : {std::pair<std::string, std::string>{"Subject", cyrillic}, {"Topic", cjk}}) {
        const notes::CItemRow* item = nullptr;
        for (const auto& i : note->items) if (i.name == name) item = &i;
        ASSERT_TRUE(item) << name;
        std::string stored = item->raw.substr(2);
        EXPECT_EQ(notes::RawType(item->raw), TYPE_TEXT);
        EXPECT_EQ(stored, sys::Utf16ToLmbcs(sys::Utf8ToUtf16(utf8)));
        EXPECT_NE(stored, utf8) << "stored as UTF-8, not LMBCS";
        EXPECT_EQ(sys::Utf16ToUtf8(sys::LmbcsToUtf16(stored)), utf8);
    }
}

// A note's items are read by a scan that starts at the note: it must end at
// the note, for a note without the item asked for too, and a page of notes
// must not take the items of the note after it.
TEST(Description, EachNoteReadGetsItsOwnItemsOnly) {
    CTestDatabase db(R"({"documents": [{"noteId": 4, "items": {"Subject": "four"}},
                                        {"noteId": 8, "items": {"Topic": "eight"}},
                                        {"noteId": 12, "items": {"Subject": "twelve"}}]})");
    notes::CNsfFile file(db.path.string());
    auto subjects = [](const notes::CNoteRow& note) {
        std::string all;
        for (const auto& i : note.items)
            if (i.name == "Subject") all += i.raw.substr(2) + ";";
        return all;
    };
    const std::map<NOTEID, std::string> expected = {{4, "four;"}, {8, ""}, {12, "twelve;"}};
    for (const auto& [id, text] : expected) {
        auto note = file.ReadNote(id);
        ASSERT_TRUE(note) << id;
        EXPECT_EQ(subjects(*note), text) << id;
    }
    struct Page {
        NOTEID from;
        size_t most;
        std::string got;  // "id=subjects " for each note of the page
    };
    for (const Page& p : {Page{4, 2, "4=four; 8= "}, Page{8, 9, "8= 12=twelve; "}, Page{5, 1, "8= "}, Page{13, 5, ""}}) {
        auto page = file.ReadNotesWith(p.from, p.most, {"Subject"});
        ASSERT_TRUE(page);
        std::string got;
        for (const auto& note : *page) got += std::to_string(note.id) + "=" + subjects(note) + " ";
        EXPECT_EQ(got, p.got) << p.from << " " << p.most;
    }
}

TEST(Description, LongRichTextIsSplitAtRecordBoundaries) {
    std::string paragraphs;
    for (int i = 0; i < 3000; ++i) paragraphs += "\"Paragraph number " + std::to_string(i) + " with some words to fill it\",";
    CTestDatabase db(R"({"documents": [{"noteId": 4, "items": {"Body": {"richtext": [)" + paragraphs +
                         R"({"image": "a.gif"}]}}}]})",
                     {{"a.gif", TestGif(1, 1, 'x')}});
    notes::CNsfFile file(db.path.string());
    auto note = file.ReadNote(4);
    std::vector<std::string> parts;
    for (const auto& i : note->items)
        if (i.name == "Body") parts.push_back(i.raw);
    ASSERT_GE(parts.size(), 2u);
    for (const auto& p : parts) EXPECT_LE(p.size(), notes::kRichTextItemLimit);
    auto elements = notes::DecodeRichText(parts);   // throws when a record was cut
    size_t texts = 0;
    for (const auto& e : elements) texts += e.kind == notes::CRtElement::kText;
    EXPECT_EQ(texts, 3000u);
    EXPECT_EQ(elements.back().kind, notes::CRtElement::kImage);
    EXPECT_EQ(elements.back().itemIndex, static_cast<int>(parts.size()) - 1);
}

}  // namespace
