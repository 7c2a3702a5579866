// The reader of real NSF files over the 59 sample databases: every file
// opens and every note it lists is read; values match what the sample
// programs wrote (sector-stamped bytes restored, non-summary values in their
// own record or in the note's, type words or the item name's type);
// attachments come out byte for byte; folders and views list every document.
#include <gtest/gtest.h>
#include <glib.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <set>

#include <unistd.h>

#include "platform/notes/LNNotes.h"
#include "platform/notes/TimeDate.h"
#include "platform/notes/ods/OdsDatabase.h"
#include "platform/notes/ods/OdsNote.h"
#include "tests/notes_ods/OdsSamples.h"

using notes::CNoteRow;
using notes::ods::COdsDatabase;

namespace {
std::string Md5(const std::string& bytes) {
    gchar* hex = g_compute_checksum_for_data(G_CHECKSUM_MD5, reinterpret_cast<const guchar*>(bytes.data()), bytes.size());
    std::string out(hex);
    g_free(hex);
    return out;
}

CNoteRow Note(COdsDatabase& db, NOTEID id) {
    auto note = db.ReadNote(id);
    if (!note) throw std::runtime_error("no note " + std::to_string(id));
    return *note;
}
}  // namespace

TEST(OdsReader, EverySampleOpensAndEveryListedNoteIsRead) {
    size_t files = 0, notesRead = 0, documents = 0;
    for (const auto& name : AllSamples()) {
        SCOPED_TRACE(name);
        COdsDatabase db(SamplePath(name));
        ++files;
        EXPECT_TRUE(db.Container().Warnings().empty());
        for (const auto& [id, entry] : db.Container().Rrv()) {
            std::optional<CNoteRow> note;
            EXPECT_NO_THROW(note = db.ReadNote(id)) << "note " << id;
            if (!note) continue;
            ++notesRead;
            EXPECT_EQ(note->id, id);
            for (const auto& item : note->items) EXPECT_GE(item.raw.size(), 2u) << item.name;
        }
        documents += db.NoteIds(notes::kClassDocument).size();
        EXPECT_NO_THROW(db.ReadViews(true));
        EXPECT_NO_THROW(db.ReadForms());
    }
    EXPECT_EQ(files, 59u);
    EXPECT_EQ(notesRead, 1615u);
    EXPECT_EQ(documents, 673u);
}

TEST(OdsReader, DatabaseHeader) {
    struct CCase {
        const char* file;
        const char* title;
        unsigned ods;
    } cases[] = {
        {"simple.nsf", "Simple Data Test", 43},
        {"hfinn.nsf", "Huckleberry Finn", 43},
        {"admin-putget-pg-doc.nsf", "PutNote/GetNote User Guide", 41},
        {"basic-getbuild-majorversion.nsf", "Majorversion", 52},
    };
    for (const auto& c : cases) {
        COdsDatabase db(SamplePath(c.file));
        EXPECT_EQ(db.Title(), c.title) << c.file;
        EXPECT_EQ(db.Container().Ods(), c.ods) << c.file;
    }
    COdsDatabase simple(SamplePath("simple.nsf"));
    EXPECT_EQ(notes::ReplicaText(simple.ReplicaId()), "852566B90055AB21");
}

// simple.nsf as its sample programs wrote it: text, number, time, text list.
TEST(OdsReader, SimpleDocumentsHoldWhatTheSampleWrote) {
    struct CCase {
        NOTEID id;
        const char* text;
        double number;
        const char* time;
        std::vector<std::string> list;
    } cases[] = {
        {0x8F6, "This is a line of simple text.", 0.000987, "01/15/1988", {"one", "two", "three", "four"}},
        {0x8FA, "This is another line of simple text.", 836, "07/04/1953 11:12:00", {"a", "b", "c", "d"}},
        {0x8FE, "The quick brown fox jumped over the lazy dogs.", 125.007, "07/14/1993 19:14:44",
         {"Charles", "Janet", "Chuck"}},
    };
    COdsDatabase db(SamplePath("simple.nsf"));
    EXPECT_EQ(db.NoteIds(notes::kClassDocument), (std::vector<NOTEID>{0x8F6, 0x8FA, 0x8FE}));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        CNoteRow note = Note(db, c.id);
        EXPECT_EQ(Texts(note, "Form"), std::vector<std::string>{"SimpleDataForm"});
        EXPECT_EQ(Texts(note, "plain_text"), std::vector<std::string>{c.text});
        auto numbers = notes::DecodeNumbers(Item(note, "number")->raw);
        ASSERT_TRUE(numbers && numbers->size() == 1);
        EXPECT_NEAR(numbers->front(), c.number, 1e-9);
        auto times = notes::DecodeTimes(Item(note, "time_date")->raw);
        ASSERT_TRUE(times && times->times.size() == 1);
        EXPECT_EQ(notes::NotesTimeText(notes::WithZone(times->times[0], 0, false)), c.time);
        EXPECT_EQ(Texts(note, "text_list"), c.list);
    }
}

// Bytes that Notes stamps in every 512-byte sector of a bucket, values that
// lie in the note's own record after its summary values, the live copy of a
// note whose old copy is still in a bucket, text without its type word.
TEST(OdsReader, ValuesOfTheHarderPlaces) {
    struct CCase {
        const char* file;
        NOTEID id;
        const char* item;
        std::vector<std::string> texts;
    } cases[] = {
        {"attachment.nsf", 0x902, "ShareField", {"CN=Administrator/O=toolkit"}},
        {"attachment.nsf", 0x902, "TextField", {"this is a text field"}},
        {"hierarch.nsf", 0x20FE, "a_line", {"first doc"}},
        {"hierarch.nsf", 0x20FE, "title", {"A document title"}},
        {"twokey.nsf", 0x20FE, "Text", {"Good bye"}},
        {"twokey.nsf", 0x2116, "Text", {"Elvisx"}},
        {"ftsearch.nsf", 0x211A, "Subject", {"Take a look at this!"}},
        {"MIMEMsg.nsf", 0x8FA, "Subject", {"MIME message(with txt attachment)"}},
    };
    for (const auto& c : cases) {
        COdsDatabase db(SamplePath(c.file));
        EXPECT_EQ(Texts(Note(db, c.id), c.item), c.texts) << c.file << " " << c.id << " " << c.item;
    }
    COdsDatabase hierarch(SamplePath("hierarch.nsf"));
    CNoteRow doc = Note(hierarch, 0x20FE);
    bool bodyFound = false;
    for (const auto& item : doc.items)
        if (notes::RawType(item.raw) == TYPE_COMPOSITE && item.raw.find("Here is the text of the document") != std::string::npos)
            bodyFound = true;
    EXPECT_TRUE(bodyFound);
    // An item with its own type word that is not the name's type (user ID).
    const notes::CItemRow* author = Item(doc, "author");
    ASSERT_TRUE(author);
    EXPECT_EQ(notes::RawType(author->raw), 0x0700);
    EXPECT_EQ(author->raw.substr(2, 15), "Charles Connell");
}

TEST(OdsReader, NoteHeader) {
    COdsDatabase db(SamplePath("simple.nsf"));
    CNoteRow note = Note(db, 0x8F6);
    EXPECT_EQ(note.noteClass, notes::kClassDocument);
    EXPECT_EQ(notes::UnidText(note.unid), "85255E180065A18785255BF2006FFBAF");
    EXPECT_EQ(notes::IsoTimeText(note.created), "1991-04-23T16:23:09.27-04:00");
    EXPECT_FALSE(note.encrypted);
    EXPECT_TRUE(std::none_of(note.items.begin(), note.items.end(),
                             [](const notes::CItemRow& i) { return i.flags & ITEM_SEAL; }));
}

TEST(OdsReader, AttachmentsComeOutByteForByte) {
    struct CCase {
        const char* file;
        NOTEID id;
        const char* name;
        size_t size;
        const char* md5;
    } cases[] = {
        {"attachment.nsf", 0x902, "tms.log", 10948, "458e9b98472d053bdd1c995a8cd3a7d4"},
        {"ftsearch.nsf", 0x211A, "totinv.wk3", 941, "b1dcb9052b4983f7a6bceee881f5093e"},
        {"hfinn.nsf", 0x20FA, "APISUPP.NSF", 32768, "346ff1fb8e616ae2f2d52516603f478a"},
        {"MIMEMsg.nsf", 0x8FE, "Sample.jpg", 9894, "4d006a61ea3f37dd54e0a3c3dd85ade9"},
        {"MIMEMsg.nsf", 0x8FE, "sampleBMP.bmp", 296406, "c650039b782b9aeb733d7370a10c3af6"},
        {"MIMEMsg.nsf", 0x8FA, "New Text Document.txt", 510, "0f87d1d7c3a2f003db2dbe5e2531e58b"},
        {"notesflo.nsf", 0x21DA, "STG52458", 8192, "000949382214282c613d61d528dc894a"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        COdsDatabase db(SamplePath(c.file));
        CNoteRow note = Note(db, c.id);
        bool found = false;
        for (const auto& item : note.items) {
            auto file = notes::DecodeFileObject(item.raw);
            if (!file || file->name != c.name) continue;
            found = true;
            auto bytes = db.ReadObject(*file);
            ASSERT_TRUE(bytes);
            EXPECT_EQ(bytes->size(), c.size);
            EXPECT_EQ(Md5(*bytes), c.md5);
        }
        EXPECT_TRUE(found);
    }
}

TEST(OdsReader, FormsListTheirFieldsInFormOrder) {
    COdsDatabase db(SamplePath("simple.nsf"));
    auto form = db.ReadForm("SimpleDataForm");
    ASSERT_TRUE(form);
    std::vector<std::pair<std::string, int>> fields;
    for (const auto& f : form->fields) fields.emplace_back(f.name, f.type);
    EXPECT_EQ(fields, (std::vector<std::pair<std::string, int>>{
                          {"plain_text", 45}, {"number", 47}, {"time_date", 46}, {"text_list", 45}}));
}

// No document falls out of a conversion: each is listed by a folder or view
// other than ($All), or by the folder of documents in no folder.
TEST(OdsReader, EveryDocumentIsListedOnceOutsideAllDocuments) {
    for (const auto& name : AllSamples()) {
        SCOPED_TRACE(name);
        COdsDatabase db(SamplePath(name));
        std::set<NOTEID> listed;
        size_t unfiled = 0;
        for (const auto& view : db.ReadViews(true)) {
            if (view.name == "($All)") continue;
            for (const auto& e : view.entries) listed.insert(e.noteId);
            if (view.id == notes::ods::kUnfiledFolderId) {
                EXPECT_TRUE(view.folder);
                unfiled = view.entries.size();
            }
        }
        auto docs = db.NoteIds(notes::kClassDocument);
        EXPECT_EQ(listed, std::set<NOTEID>(docs.begin(), docs.end()));
        if (name == "simple.nsf") {
            EXPECT_EQ(unfiled, 3u);
        }
    }
}

TEST(OdsReader, FoldersAndMailTemplateViews) {
    COdsDatabase billing(SamplePath("billdrv.nsf"));
    auto views = billing.ReadViews(true);
    auto favorites = std::find_if(views.begin(), views.end(), [](const notes::CViewRow& v) { return v.name == "My Favorites"; });
    ASSERT_NE(favorites, views.end());
    EXPECT_TRUE(favorites->folder);
    EXPECT_TRUE(favorites->entries.empty());
    auto navigator = std::find_if(views.begin(), views.end(), [](const notes::CViewRow& v) { return v.name == "Main Navigator"; });
    EXPECT_EQ(navigator, views.end());

    COdsDatabase addressBook(SamplePath("na_test.nsf"));
    for (const auto& view : addressBook.ReadViews(true)) {
        if (view.name != "Groups") continue;
        ASSERT_FALSE(view.entries.empty());
        for (const auto& e : view.entries)
            EXPECT_EQ(Texts(Note(addressBook, e.noteId), "Form"), std::vector<std::string>{"Group"});
    }
}

// A document whose record is damaged is still listed, so that a conversion
// reaches it and names it; reading it says why it cannot be read.
TEST(OdsReader, DamagedDocumentIsListedAndNamed) {
    auto copy = std::filesystem::temp_directory_path() / ("ods-damaged-" + std::to_string(getpid()) + ".nsf");
    std::filesystem::copy_file(SamplePath("simple.nsf"), copy, std::filesystem::copy_options::overwrite_existing);
    {
        // Note 0x8FA's record (in the summary bucket at 0x2E000) loses its signature.
        std::string bytes;
        {
            std::ifstream in(copy, std::ios::binary);
            bytes.assign(std::istreambuf_iterator<char>(in), {});
        }
        size_t at = 0x2E000;
        for (;;) {
            at = bytes.find(std::string("\xFA\x08\x00\x00", 4), at + 1);
            ASSERT_NE(at, std::string::npos);
            if (bytes[at - 6] == '\x04' && bytes[at - 5] == '\0') break;
        }
        std::fstream out(copy, std::ios::in | std::ios::out | std::ios::binary);
        out.seekp(static_cast<std::streamoff>(at - 6));
        out.put('\x05');
    }
    COdsDatabase db(copy.string());
    EXPECT_EQ(db.NoteIds(notes::kClassDocument), (std::vector<NOTEID>{0x8F6, 0x8FA, 0x8FE}));
    try {
        db.ReadNote(0x8FA);
        ADD_FAILURE() << "a damaged note was read";
    } catch (const notes::CNoteUnreadable& e) {
        EXPECT_EQ(e.status, static_cast<LNSTATUS>(ERR_NOTE_DAMAGED));
        EXPECT_EQ(std::string(e.what()), "note 2298: its record is not a note");
    }
    auto unfiled = db.ReadView(notes::kUnfiledFolderId);
    ASSERT_TRUE(unfiled);
    EXPECT_EQ(unfiled->entries.size(), 3u);
    std::filesystem::remove(copy);
}

// The LN classes read a real file just as they read our database file.
TEST(OdsReader, LnClassesOverARealFile) {
    LNNotesSession session;
    session.Initialize();
    LNDatabase db;
    ASSERT_EQ(session.GetDatabase(SamplePath("MIMEMsg.nsf").c_str(), &db), 0u);
    ASSERT_EQ(db.Open(), 0u);
    EXPECT_EQ(db.GetTitle().GetBytes(), "MIME messages");
    std::vector<LNViewFolder> views;
    ASSERT_EQ(db.GetViewFolders(&views), 0u);
    ASSERT_FALSE(views.empty());
    LNViewFolder& unfiled = views.back();
    ASSERT_EQ(unfiled.Open(0x10001), 0u);
    EXPECT_TRUE(unfiled.IsFolder());
    ASSERT_EQ(unfiled.GetEntryCount(), 3);
    LNDocument doc;
    ASSERT_EQ(unfiled[1].GetDocument(&doc), 0u);
    ASSERT_EQ(doc.Open(0), 0u);
    EXPECT_EQ(doc.GetFormName().GetBytes(), "Memo");
    EXPECT_TRUE(doc.HasAttachments());
    EXPECT_EQ(doc.Decrypt(), static_cast<LNSTATUS>(ERR_NOT_ENCRYPTED));
    doc.Close();
    unfiled.Close();
    db.Close();
    session.Term();
}

// The mail template's views, as computed for files that do not hold their
// entries in a form the reader knows.
TEST(OdsReader, MailTemplateViewsSelectByFormAndDates) {
    using notes::ods::EMailView;
    notes::ods::CDocumentFacts sent{1, "Memo", true, false, false, {}};
    notes::ods::CDocumentFacts received{2, "Reply", true, true, true, {}};
    notes::ods::CDocumentFacts draft{3, "Memo", false, false, false, {}};
    notes::ods::CDocumentFacts meeting{4, "Appointment", false, false, false, {}};
    notes::ods::CDocumentFacts task{5, "Task", false, false, false, {}};
    notes::ods::CDocumentFacts person{6, "Person", false, false, false, {}};
    notes::ods::CDocumentFacts group{7, "Group", false, false, false, {}};
    struct CCase {
        const char* view;
        std::vector<NOTEID> selected;
    } cases[] = {
        {"($All)", {1, 2, 3, 4, 5, 6, 7}}, {"($Sent)", {1}},        {"($Drafts)", {3}},
        {"($Meetings)", {4}},              {"($Calendar)", {4}},    {"($ToDo)", {5}},
        {"($People)", {6}},                {"My Contacts", {6}},    {"Groups", {7}},
        {"By Category", {2}},
    };
    for (const auto& c : cases) {
        auto view = notes::ods::MailViewOf(c.view);
        ASSERT_TRUE(view) << c.view;
        std::vector<NOTEID> selected;
        for (const auto& f : {sent, received, draft, meeting, task, person, group})
            if (notes::ods::Selects(*view, f)) selected.push_back(f.id);
        EXPECT_EQ(selected, c.selected) << c.view;
    }
    EXPECT_FALSE(notes::ods::MailViewOf("($Inbox)"));
    EXPECT_FALSE(notes::ods::MailViewOf("SimpleDataView"));
}
