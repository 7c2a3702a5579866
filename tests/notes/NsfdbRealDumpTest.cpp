// nsfdb dump of real NSF files: the dump built again reads like the real
// file (notes, items in order, attachment bytes, views, forms), values match
// what the sample programs wrote, unreadable notes and attachments are
// listed instead of ending the dump, and attachment files stay inside their
// folder.
#include <gtest/gtest.h>
#include <glib.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include "platform/notes/CdRecords.h"
#include "platform/notes/LNErrors.h"
#include "platform/notes/NotesSource.h"
#include "platform/notes/NotesState.h"
#include "tools/nsfdb/Description.h"

namespace {

namespace fs = std::filesystem;
using nsfdb::Json;
using namespace notes;

fs::path SampleDir() { return fs::path(NSF2PST_SOURCE_DIR) / "tests/data/nsf-samples"; }

std::vector<std::string> Samples() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(SampleDir()))
        if (e.path().extension() == ".nsf") names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string Contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string Md5(const std::string& bytes) {
    gchar* hex = g_compute_checksum_for_data(G_CHECKSUM_MD5, reinterpret_cast<const guchar*>(bytes.data()), bytes.size());
    std::string out(hex);
    g_free(hex);
    return out;
}

struct CScratch {
    CScratch() {
        static int counter = 0;
        dir = fs::temp_directory_path() / ("nsfdb-real-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
        fs::create_directories(dir);
    }
    ~CScratch() { fs::remove_all(dir); }
    fs::path dir;
};

// Where two JSON values first differ, for the failure message.
std::string FirstDifference(const Json& a, const Json& b, const std::string& at = "") {
    if (a.type() != b.type() || (!a.is_structured() && a != b)) return at.empty() ? "/" : at;
    if (a.size() != b.size()) return at + " (sizes " + std::to_string(a.size()) + ", " + std::to_string(b.size()) + ")";
    if (a.is_object()) {
        for (auto ia = a.begin(), ib = b.begin(); ia != a.end(); ++ia, ++ib) {
            if (ia.key() != ib.key()) return at + "/" + ia.key() + " vs " + ib.key();
            if (auto d = FirstDifference(ia.value(), ib.value(), at + "/" + ia.key()); !d.empty()) return d;
        }
    } else if (a.is_array()) {
        for (size_t i = 0; i < a.size(); ++i)
            if (auto d = FirstDifference(a[i], b[i], at + "/" + std::to_string(i)); !d.empty()) return d;
    }
    return "";
}

// A note's items as the LN classes read them: a run of rich-text items of
// one name is one field.
struct CField {
    std::string name;
    WORD flags = 0;
    std::vector<std::string> raws;
};

std::vector<CField> FieldsOf(const CNoteRow& note) {
    std::vector<CField> fields;
    for (const auto& item : note.items) {
        bool richText = RawType(item.raw) == TYPE_COMPOSITE;
        if (richText && !fields.empty() && fields.back().name == item.name && RawType(fields.back().raws[0]) == TYPE_COMPOSITE)
            fields.back().raws.push_back(item.raw);
        else
            fields.push_back({item.name, item.flags, {item.raw}});
    }
    return fields;
}

std::vector<CNoteLink> LinksOf(const CNoteRow& note) {
    for (const auto& item : note.items)
        if (SameName(item.name, "$Links")) return DecodeNoteLinks(item.raw).value_or(std::vector<CNoteLink>{});
    return {};
}

std::string LinkText(const std::vector<CNoteLink>& links, WORD index) {
    CNoteLink l = index < links.size() ? links[index] : CNoteLink{};
    return ReplicaText(l.file) + UnidText(l.view) + UnidText(l.note);
}

// What a reader of the element sees; images also where they lie, which
// names their files.
std::string ElementText(const CRtElement& e, const std::vector<CNoteLink>& links) {
    std::ostringstream s;
    s << e.kind << "|" << e.text << "|" << int(e.font.face) << "," << int(e.font.attrib) << "," << int(e.font.color)
      << "," << int(e.font.size);
    if (e.kind == CRtElement::kLink) s << "|" << LinkText(links, e.linkIndex) << "|" << e.serverHint;
    if (e.kind == CRtElement::kImage) s << "|" << e.imageType << "|" << Md5(e.bytes) << "@" << e.itemIndex << "." << e.offset;
    if (e.kind == CRtElement::kAttachment) s << "|" << e.uniqueName;
    return s.str();
}

void ExpectSameField(CNotesSource& real, const CNoteRow& a, const CField& fa, CNotesSource& built, const CField& fb) {
    SCOPED_TRACE("note " + std::to_string(a.id) + " item " + fa.name);
    ASSERT_EQ(fa.name, fb.name);
    EXPECT_EQ(fa.flags, fb.flags);
    if (fa.raws == fb.raws) return;
    ASSERT_EQ(fa.raws.size(), 1u);
    ASSERT_EQ(fb.raws.size(), 1u);
    if (auto fileA = DecodeFileObject(fa.raws[0])) {
        auto fileB = DecodeFileObject(fb.raws[0]);
        ASSERT_TRUE(fileB);
        EXPECT_EQ(fileA->name, fileB->name);
        EXPECT_EQ(fileA->fileSize, fileB->fileSize);
        EXPECT_EQ(fileA->flags, fileB->flags);
        EXPECT_EQ(ReplicaText(fileA->created) + ReplicaText(fileA->modified), ReplicaText(fileB->created) + ReplicaText(fileB->modified));
        std::optional<std::string> bytes;
        try {
            bytes = real.ReadObject(*fileA);
        } catch (const CNoteUnreadable&) {
        }
        EXPECT_EQ(built.ReadObject(*fileB), bytes) << fileA->name;
        return;
    }
    ADD_FAILURE() << "values differ";
}

void ExpectSameNote(CNotesSource& real, const CNoteRow& a, CNotesSource& built, const CNoteRow& b) {
    EXPECT_EQ(UnidText(a.unid), UnidText(b.unid));
    EXPECT_EQ(ReplicaText(a.created) + ReplicaText(a.modified), ReplicaText(b.created) + ReplicaText(b.modified))
        << "note " << a.id;
    EXPECT_EQ(a.encrypted, b.encrypted);
    EXPECT_EQ(a.isSigned, b.isSigned);
    auto fa = FieldsOf(a), fb = FieldsOf(b);
    ASSERT_EQ(fa.size(), fb.size()) << "note " << a.id;
    for (size_t i = 0; i < fa.size(); ++i) {
        if (RawType(fa[i].raws[0]) == TYPE_COMPOSITE && fa[i].raws != fb[i].raws) {
            // Rich text written as elements: the same elements, however split.
            EXPECT_EQ(fa[i].name, fb[i].name);
            EXPECT_EQ(fa[i].flags, fb[i].flags);
            auto ea = DecodeRichText(fa[i].raws), eb = DecodeRichText(fb[i].raws);
            ASSERT_EQ(ea.size(), eb.size()) << "note " << a.id << " " << fa[i].name;
            for (size_t k = 0; k < ea.size(); ++k)
                EXPECT_EQ(ElementText(ea[k], LinksOf(a)), ElementText(eb[k], LinksOf(b))) << "note " << a.id;
            continue;
        }
        ExpectSameField(real, a, fa[i], built, fb[i]);
    }
}

Json Dump(const fs::path& path, std::vector<std::string>* lines = nullptr, const fs::path& folder = {},
          const fs::path& descriptionFolder = ".") {
    nsfdb::CDumpOptions options;
    options.attachmentFolder = folder;
    options.descriptionFolder = descriptionFolder;
    options.report = [lines](const std::string& line) {
        if (lines) lines->push_back(line);
    };
    return nsfdb::DumpDatabase(path, options);
}

const Json* DocumentById(const Json& dump, NOTEID id) {
    for (const auto& d : dump["documents"])
        if (d["noteId"] == id) return &d;
    return nullptr;
}

// Items of a dumped document as (name, value) pairs, whichever form "items" has.
std::vector<std::pair<std::string, Json>> ItemsOf(const Json& doc) {
    std::vector<std::pair<std::string, Json>> out;
    if (doc["items"].is_object())
        for (const auto& [name, value] : doc["items"].items()) out.emplace_back(name, value);
    else
        for (const auto& entry : doc["items"]) out.emplace_back(entry.begin().key(), entry.begin().value());
    return out;
}

Json ItemOf(const Json& doc, const std::string& name) {
    for (const auto& [n, v] : ItemsOf(doc))
        if (n == name) return v;
    return Json();
}

class RealDumpRoundTrip : public ::testing::TestWithParam<std::string> {};

TEST_P(RealDumpRoundTrip, BuiltDumpReadsLikeTheRealFile) {
    CScratch scratch;
    fs::path sample = SampleDir() / GetParam(), copy = scratch.dir / "built.nsf";
    Json first = Dump(sample);
    nsfdb::BuildDatabase(first, scratch.dir, copy);
    first.erase("unreadable");
    first.erase("otherNotes");
    Json again = Dump(copy);
    EXPECT_EQ(FirstDifference(first, again), "") << "the dump of the built database differs";

    auto real = OpenNotesSource(sample.string());
    auto built = OpenNotesSource(copy.string());
    std::set<NOTEID> readable;
    for (NOTEID id : real->NoteIds(kClassDocument)) {
        std::optional<CNoteRow> a;
        try {
            a = real->ReadNote(id);
        } catch (const CNoteUnreadable&) {
        }
        auto b = built->ReadNote(id);
        ASSERT_EQ(a.has_value(), b.has_value()) << "note " << id;
        if (!a) continue;
        readable.insert(id);
        ExpectSameNote(*real, *a, *built, *b);
    }
    auto viewsA = real->ReadViews(true), viewsB = built->ReadViews(true);
    ASSERT_EQ(viewsA.size(), viewsB.size());
    for (size_t i = 0; i < viewsA.size(); ++i) {
        EXPECT_EQ(viewsA[i].name, viewsB[i].name);
        EXPECT_EQ(viewsA[i].id, viewsB[i].id);
        EXPECT_EQ(viewsA[i].folder, viewsB[i].folder);
        std::vector<NOTEID> entriesA, entriesB;
        for (const auto& e : viewsA[i].entries)
            if (!e.noteId || readable.count(e.noteId)) entriesA.push_back(e.noteId);
        for (const auto& e : viewsB[i].entries) entriesB.push_back(e.noteId);
        EXPECT_EQ(entriesA, entriesB) << viewsA[i].name;
    }
    for (const auto& form : built->ReadForms()) {
        auto original = real->ReadForm(form.name);
        ASSERT_TRUE(original) << form.name;
        ASSERT_EQ(original->fields.size(), form.fields.size()) << form.name;
        for (size_t i = 0; i < form.fields.size(); ++i) EXPECT_EQ(original->fields[i].name, form.fields[i].name);
    }
}

INSTANTIATE_TEST_SUITE_P(Samples, RealDumpRoundTrip, ::testing::ValuesIn(Samples()), [](const auto& info) {
    std::string name = info.param.substr(0, info.param.size() - 4);
    std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
});

// Attachment sizes and checksum as the samples' readme files and makers give them.
TEST(RealDump, AttachmentFilesHoldTheExactBytes) {
    struct CCase {
        const char* sample;
        NOTEID note;
        const char* name;
        size_t size;
        const char* md5;
    } cases[] = {
        {"attachment.nsf", 0x902, "tms.log", 10948, nullptr},
        {"hfinn.nsf", 0x20FA, "APISUPP.NSF", 32768, nullptr},
        {"ftsearch.nsf", 0x211A, "totinv.wk3", 941, nullptr},
        {"MIMEMsg.nsf", 0x8FA, "New Text Document.txt", 510, nullptr},
        {"MIMEMsg.nsf", 0x8FE, "Sample.jpg", 9894, "4d006a61ea3f37dd54e0a3c3dd85ade9"},
        {"MIMEMsg.nsf", 0x8FE, "sampleBMP.bmp", 296406, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.sample) + " " + c.name);
        CScratch scratch;
        Json dump = Dump(SampleDir() / c.sample, nullptr, scratch.dir / "files", scratch.dir);
        const Json* doc = DocumentById(dump, c.note);
        ASSERT_TRUE(doc);
        const Json* attachment = nullptr;
        for (const auto& a : (*doc)["attachments"])
            if (a["name"] == c.name) attachment = &a;
        ASSERT_TRUE(attachment);
        ASSERT_FALSE(attachment->contains("base64"));
        fs::path file = scratch.dir / (*attachment)["path"].get<std::string>();
        EXPECT_EQ(file.lexically_normal().parent_path(), scratch.dir / "files");
        std::string bytes = Contents(file);
        EXPECT_EQ(bytes.size(), c.size);
        if (c.md5) {
            EXPECT_EQ(Md5(bytes), c.md5);
        }
    }
}

TEST(RealDump, ValuesAreThoseTheSampleProgramsWrote) {
    Json simple = Dump(SampleDir() / "simple.nsf");
    const Json* doc = DocumentById(simple, 0x8F6);
    ASSERT_TRUE(doc);
    EXPECT_EQ((*doc)["form"], "SimpleDataForm");
    EXPECT_EQ(ItemOf(*doc, "plain_text"), "This is a line of simple text.");
    EXPECT_EQ(ItemOf(*doc, "number"), Json({{"number", 0.000987}}));
    EXPECT_EQ(ItemOf(*doc, "time_date"), Json({{"datetime", "1988-01-15"}}));
    EXPECT_EQ(ItemOf(*doc, "text_list"), Json::array({"one", "two", "three", "four"}));
    EXPECT_EQ(ItemOf(*DocumentById(simple, 0x8FE), "number"), Json({{"number", 125.007}}));

    Json numlist = Dump(SampleDir() / "numlist.nsf");
    EXPECT_EQ(ItemOf(*DocumentById(numlist, 0x20FA), "number"), Json({{"numbers", {2.7182818284, -1, 3.14159, 0, 1}}}));

    // Rich text with a font table: the runs in order, nothing of the garbage
    // in the paragraph definition's padding.
    Json richText = Dump(SampleDir() / "richtext.nsf");
    Json body = ItemOf(*DocumentById(richText, 0x212A), "rich_text");
    ASSERT_TRUE(body.contains("richtext")) << body.dump();
    std::vector<std::string> texts;
    for (const auto& e : body["richtext"]) {
        std::string t = e.is_string() ? e.get<std::string>() : e.value("text", std::string());
        if (!t.empty()) texts.push_back(t);
    }
    EXPECT_EQ(texts, (std::vector<std::string>{
                         "This is some rich text.", "This is a centered paragraph",
                         "It will be used  to demonstrate  the Notes API CompoundText Routines.",
                         "These lines use font faces that require a font table (a $Fonts item).", "1234 asdfjkl;",
                         "(MS Sans Serf, Symbol, and System)"}));
    EXPECT_EQ(richText.dump().find("CHUCK.ID"), std::string::npos);

    // A native MIME body: its parts stay items of their own, in order.
    Json mime = Dump(SampleDir() / "MIMEMsg.nsf");
    const Json* message = DocumentById(mime, 0x8FE);
    ASSERT_TRUE(message);
    ASSERT_TRUE((*message)["items"].is_array());
    size_t parts = 0;
    for (const auto& [name, value] : ItemsOf(*message))
        if (name == "Body" && value["value"].value("type", 0) == 25) ++parts;
    EXPECT_EQ(parts, 15u);
    EXPECT_EQ((*message)["attachments"].size(), 4u);
}

// A source in which chosen notes and attachments cannot be read.
class CFaultySource : public CNotesSource {
public:
    CFaultySource(std::unique_ptr<CNotesSource> inner, std::set<NOTEID> notes, std::set<std::string> files)
        : inner(std::move(inner)), notes(std::move(notes)), files(std::move(files)) {}
    std::string Title() const override { return inner->Title(); }
    DBID ReplicaId() const override { return inner->ReplicaId(); }
    std::optional<CNoteRow> ReadNote(NOTEID id) override {
        if (notes.count(id)) throw CNoteUnreadable("note " + std::to_string(id) + ": its items do not fit", ERR_NOTE_DAMAGED);
        return inner->ReadNote(id);
    }
    std::vector<NOTEID> NoteIds(int noteClass) override { return inner->NoteIds(noteClass); }
    std::vector<CViewRow> ReadViews(bool withEntries) override { return inner->ReadViews(withEntries); }
    std::optional<CViewRow> ReadView(NOTEID id) override { return inner->ReadView(id); }
    std::vector<CFormRow> ReadForms() override { return inner->ReadForms(); }
    std::optional<CFormRow> ReadForm(const std::string& name) override { return inner->ReadForm(name); }
    std::optional<std::string> ReadObject(const CFileObject& file) override {
        if (files.count(file.name))
            throw CNoteUnreadable("attachment \"" + file.name + "\": it is LZ1-compressed", ERR_OBJECT_COMPRESSION);
        return inner->ReadObject(file);
    }
    bool CanDecrypt() const override { return inner->CanDecrypt(); }

private:
    std::unique_ptr<CNotesSource> inner;
    std::set<NOTEID> notes;
    std::set<std::string> files;
};

TEST(RealDump, UnreadableNotesAndAttachmentsAreListedAndTheDumpGoesOn) {
    CScratch scratch;
    CFaultySource source(OpenNotesSource((SampleDir() / "MIMEMsg.nsf").string()), {0x8FA}, {"Sample.jpg"});
    std::vector<std::string> lines;
    nsfdb::CDumpOptions options;
    options.attachmentFolder = scratch.dir / "files";
    options.descriptionFolder = scratch.dir;
    options.report = [&](const std::string& line) { lines.push_back(line); };
    Json dump = nsfdb::DumpSource(source, options);

    EXPECT_EQ(lines, (std::vector<std::string>{"note 2298: its items do not fit",
                                               "note 2302: attachment \"Sample.jpg\": it is LZ1-compressed"}));
    EXPECT_EQ(dump["unreadable"], Json::parse(R"([{"noteId": 2298, "reason": "its items do not fit"},
        {"noteId": 2302, "attachment": "Sample.jpg", "reason": "it is LZ1-compressed"}])"));
    EXPECT_FALSE(DocumentById(dump, 0x8FA));
    ASSERT_TRUE(DocumentById(dump, 0x8F6) && DocumentById(dump, 0x8FE));
    for (const auto& view : dump["views"])
        for (const auto& e : view["entries"]) EXPECT_NE(e, Json(0x8FA)) << view["name"];
    size_t written = 0;
    for (const auto& a : (*DocumentById(dump, 0x8FE))["attachments"]) {
        if (a["name"] == "Sample.jpg") {
            EXPECT_EQ(a["unreadable"], "it is LZ1-compressed");
            EXPECT_FALSE(a.contains("path"));
        } else {
            ++written;
        }
    }
    EXPECT_EQ(written, 3u);
    EXPECT_EQ(std::distance(fs::directory_iterator(scratch.dir / "files"), fs::directory_iterator()), 3);
    EXPECT_FALSE(fs::exists(scratch.dir / "files" / "Sample.jpg"));

    // Build takes the dump: the unreadable attachment keeps its $FILE item and size, without bytes.
    nsfdb::BuildDatabase(dump, scratch.dir, scratch.dir / "built.nsf");
    auto built = OpenNotesSource((scratch.dir / "built.nsf").string());
    auto note = built->ReadNote(0x8FE);
    ASSERT_TRUE(note);
    bool found = false;
    for (const auto& item : note->items)
        if (auto file = DecodeFileObject(item.raw); file && file->name == "Sample.jpg") {
            found = true;
            EXPECT_EQ(file->fileSize, 9894u);
            EXPECT_FALSE(built->ReadObject(*file));
        }
    EXPECT_TRUE(found);
}

TEST(RealDump, AttachmentFilesStayInsideTheirFolderUnderDistinctNames) {
    CScratch scratch;
    const std::vector<std::string> names = {"../../escape.txt", "a/b\\c.txt", "..", "", "same.txt", "SAME.txt",
                                            "same.txt", "con\x01trol?.txt", ".hidden", std::string(300, 'x') + ".pdf"};
    Json doc{{"noteId", 8}, {"attachments", Json::array()}};
    for (size_t i = 0; i < names.size(); ++i)
        doc["attachments"].push_back(Json{{"name", names[i]}, {"text", "bytes " + std::to_string(i)}});
    nsfdb::BuildDatabase(Json{{"documents", Json::array({doc})}}, scratch.dir, scratch.dir / "source.nsf");
    fs::path folder = scratch.dir / "out" / "files";
    fs::create_directories(folder);
    std::ofstream(scratch.dir / "outside.txt") << "keep";
    fs::create_symlink(scratch.dir / "outside.txt", folder / "same.txt");

    Json dump = Dump(scratch.dir / "source.nsf", nullptr, folder, scratch.dir / "out");
    const Json& attachments = dump["documents"][0]["attachments"];
    ASSERT_EQ(attachments.size(), names.size());
    std::set<fs::path> files;
    for (size_t i = 0; i < names.size(); ++i) {
        fs::path file = (scratch.dir / "out" / attachments[i]["path"].get<std::string>()).lexically_normal();
        EXPECT_EQ(file.parent_path(), folder) << names[i];
        std::string leaf = file.filename().string();
        EXPECT_LE(leaf.size(), 200u);
        EXPECT_NE(leaf[0], '.');
        EXPECT_EQ(leaf.find_first_of(std::string("\x01?\\", 3)), std::string::npos) << leaf;
        EXPECT_FALSE(fs::is_symlink(file));
        EXPECT_EQ(Contents(file), "bytes " + std::to_string(i)) << names[i];
        files.insert(file);
    }
    EXPECT_EQ(files.size(), names.size());
    EXPECT_EQ(Contents(scratch.dir / "outside.txt"), "keep");

    // The description, read from its folder, builds the same attachments.
    nsfdb::BuildDatabase(dump, scratch.dir / "out", scratch.dir / "again.nsf");
    Json again = Dump(scratch.dir / "again.nsf");
    for (size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(nsfdb::Base64Decode(again["documents"][0]["attachments"][i]["base64"]), "bytes " + std::to_string(i));
}

}  // namespace
