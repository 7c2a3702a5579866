// The staging store: property bags, folders, message round trips with
// streamed values, replacement and deletion, named properties, and the
// durability of saved messages when the saving process is killed.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sqlite3.h>

#include <fstream>

#include "platform/pst/PstWriter.h"
#include "platform/pst/StagingStore.h"
#include "tests/pst/PstScenario.h"

namespace pst::test {
namespace {

TEST(PropBag, SettingAnIdReplacesEveryTypeOfIt) {
    CPropBag bag;
    bag.SetLong(0x1000, 5);
    bag.SetString(0x1000, u"text");
    EXPECT_EQ(bag.Size(), 1u);
    EXPECT_EQ(bag.GetString(0x1000), u"text");
    EXPECT_FALSE(bag.GetLong(0x1000));
    bag.Set(MakeTag(0x0037, PT_STRING8), std::u16string(u"eight"));
    EXPECT_EQ(bag.Find(0x0037)->first, MakeTag(0x0037, PT_UNICODE));
    EXPECT_THROW(bag.Set(MakeTag(0x0E07, PT_LONG), std::u16string(u"no")), CStagingError);
    EXPECT_THROW(bag.Set(MakeTag(0x0E07, 0x0099), int32_t(1)), CStagingError);
    bag.Remove(0x1000);
    EXPECT_FALSE(bag.Has(0x1000));
}

TEST(Times, OleDatesAndFileTimes) {
    struct {
        double ole;
        int64_t fileTime;
    } cases[] = {
        {0.0, 94353120000000000LL},                 // 1899-12-30
        {2.5, 94355280000000000LL},                 // 1900-01-01 12:00
        {-1.25, 94352472000000000LL},               // 1899-12-29 06:00
        {45658.0, 133801632000000000LL},            // 2025-01-01
    };
    for (const auto& c : cases) {
        EXPECT_EQ(OleDateToFileTime(c.ole), c.fileTime) << c.ole;
        EXPECT_DOUBLE_EQ(FileTimeToOleDate(c.fileTime), c.ole) << c.ole;
    }
    EXPECT_EQ(UnixTimeToFileTime(0), 116444736000000000LL);
}

TEST(Guids, ParseInDiskOrder) {
    Guid g = ParseGuid("{00062008-0000-0000-C000-000000000046}");
    const uint8_t want[16] = {0x08, 0x20, 0x06, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
    EXPECT_TRUE(std::equal(g.begin(), g.end(), want));
    EXPECT_THROW(ParseGuid("not a guid"), CStagingError);
}

class StagingStoreTest : public ::testing::Test {
protected:
    CScratchDir dir{"staging"};
    std::filesystem::path path = dir.Path() / "store.pst.staging";
};

TEST_F(StagingStoreTest, DefaultFoldersAndFolderTree) {
    auto s = CStagingStore::Open(path, u"Mailbox");
    FolderId top = s->DefaultFolder(EDefaultFolder::IpmSubtree);
    EXPECT_EQ(s->ChildFolders(top).size(), 11u);
    auto cal = s->Folder(s->DefaultFolder(EDefaultFolder::Calendar));
    EXPECT_EQ(cal.name, u"Calendar");
    EXPECT_EQ(cal.containerClass, u"IPF.Appointment");
    EXPECT_EQ(cal.parent, top);
    FolderId a = s->CreateFolder(top, u"Projekte", u"IPF.Note");
    EXPECT_EQ(s->CreateFolder(top, u"PROJEKTE"), a);  // names compare without case
    EXPECT_EQ(s->FindChildFolder(top, u"projekte"), a);
    EXPECT_FALSE(s->FindChildFolder(a, u"projekte"));
    EXPECT_THROW(s->CreateFolder(12345, u"x"), CStagingError);
    EXPECT_THROW(s->CreateFolder(top, u""), CStagingError);
    s->SetFolderProperty(a, MakeTag(0x3004, PT_UNICODE), std::u16string(u"comment"));
    s.reset();
    auto again = CStagingStore::OpenExisting(path);
    EXPECT_EQ(again->StoreProperties().GetString(0x3001), u"Mailbox");
    EXPECT_EQ(again->Folder(a).props.GetString(0x3004), u"comment");
    EXPECT_THROW(CStagingStore::OpenExisting(dir.Path() / "missing"), CStagingError);
    again.reset();
    // A store written in another layout is refused, not read as empty objects.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, "UPDATE meta SET value='1' WHERE key='format'", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    EXPECT_THROW(CStagingStore::OpenExisting(path), CStagingError);
}

// A body kept in the properties' row (under the inline limit) is stored
// compressed; it comes back whole, and a row damaged on disk is reported,
// not read as other properties.
TEST_F(StagingStoreTest, CompressedPropertyRowsComeBackOrAreReportedDamaged) {
    MessageId id = 0;
    std::u16string body;
    for (int i = 0; i < 50; ++i) body += u"line " + std::u16string(1, char16_t(u'a' + i % 26)) + u" of the body";
    ASSERT_LT(body.size() * 2, CStagingStore::kInlineLimit);
    {
        auto s = CStagingStore::Open(path);
        CStagedMessage m;
        m.props.SetString(0x1000, body);
        m.props.SetString(0x0037, u"short");
        id = s->SaveMessage(s->DefaultFolder(EDefaultFolder::Inbox), m);
        EXPECT_EQ(s->LoadMessage(id).props.GetString(0x1000), body);
    }
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    sqlite3_stmt* q = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT length(bag), hex(substr(bag, 1, 1)) FROM bags WHERE owner=?", -1, &q,
                                 nullptr),
              SQLITE_OK);
    sqlite3_bind_int64(q, 1, id);
    ASSERT_EQ(sqlite3_step(q), SQLITE_ROW);
    EXPECT_LT(sqlite3_column_int64(q, 0), int64_t(body.size()));  // smaller than the UTF-16 text alone
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(q, 1)), "01");
    sqlite3_finalize(q);
    std::string damage = "UPDATE bags SET bag = substr(bag, 1, 5) || zeroblob(length(bag) - 5) WHERE owner=" +
                         std::to_string(id);
    EXPECT_EQ(sqlite3_exec(db, damage.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    auto s = CStagingStore::OpenExisting(path);
    EXPECT_THROW(s->LoadMessage(id), CStagingError);
}

TEST_F(StagingStoreTest, MessagesRoundTripWithStreamedValues) {
    auto s = CStagingStore::Open(path);
    FolderId inbox = s->DefaultFolder(EDefaultFolder::Inbox);
    auto file = dir.Path() / "data.bin";
    WritePatternFile(file, 3 << 20, 9);
    CStagedMessage m;
    m.props.SetString(0x0037, u"Subject");
    m.props.SetString(0x1000, std::u16string(100000, u'ж'));  // kept as a blob
    m.props.SetStrings(0x8000, {u"a", u"", u"ccc"});
    m.props.SetTime(0x0039, 133801632000000000LL);
    m.props.SetDouble(0x8001, 2.5);
    m.props.SetBool(0x0057, true);
    m.props.SetI8(0x8002, -7);
    CPropBag r;
    r.SetString(0x3001, u"Jane");
    m.recipients = {r, r};
    CStagedAttachment a;
    a.props.SetFromFile(MakeTag(0x3701, PT_BINARY), file);
    m.attachments.push_back(a);
    CStagedAttachment e;
    e.embedded = std::make_shared<CStagedMessage>();
    e.embedded->props.SetString(0x0037, u"inner");
    m.attachments.push_back(e);
    MessageId id = s->SaveMessage(inbox, m);

    CStagedMessage back = s->LoadMessage(id);
    EXPECT_EQ(back.props.GetString(0x0037), u"Subject");
    auto body = std::get<CStoredValue>(back.props.Find(0x1000)->second);
    EXPECT_EQ(body.size, 200000u);
    std::string chunk(4, '\0');
    EXPECT_EQ(s->ReadValue(body, 199996, chunk.data(), 10), 4u);
    EXPECT_EQ(chunk, std::string("\x36\x04\x36\x04", 4));
    EXPECT_EQ(std::get<std::vector<std::u16string>>(back.props.Find(0x8000)->second),
              (std::vector<std::u16string>{u"a", u"", u"ccc"}));
    EXPECT_EQ(back.props.GetI8(0x0039), 133801632000000000LL);
    EXPECT_EQ(back.props.GetI8(0x8002), -7);
    EXPECT_EQ(back.props.GetBool(0x0057), true);
    EXPECT_EQ(back.recipients.size(), 2u);
    ASSERT_EQ(back.attachments.size(), 2u);
    auto data = std::get<CStoredValue>(back.attachments[0].props.Find(0x3701)->second);
    std::string all(size_t(data.size), '\0');
    EXPECT_EQ(s->ReadValue(data, 0, all.data(), all.size()), all.size());
    EXPECT_EQ(all, Pattern(3 << 20, 9));
    ASSERT_TRUE(back.attachments[1].embedded);
    EXPECT_EQ(back.attachments[1].embedded->props.GetString(0x0037), u"inner");

    // Saving a loaded message again copies its stored values; replacing a
    // message keeps the values it still uses.
    MessageId copy = s->SaveMessage(inbox, back);
    back.props.SetString(0x0037, u"Changed");
    s->ReplaceMessage(id, back);
    EXPECT_EQ(s->LoadMessage(id).props.GetString(0x0037), u"Changed");
    auto kept = std::get<CStoredValue>(s->LoadMessage(id).attachments[0].props.Find(0x3701)->second);
    EXPECT_EQ(kept.size, uint64_t(3 << 20));
    s->DeleteMessage(copy);
    EXPECT_EQ(s->Messages(inbox), std::vector<MessageId>{id});
    EXPECT_THROW(s->LoadMessage(copy), CStagingError);
    FolderId drafts = s->DefaultFolder(EDefaultFolder::Drafts);
    s->MoveMessage(id, drafts);
    EXPECT_EQ(s->MessageCount(inbox), 0u);
    EXPECT_EQ(s->FolderOfMessage(id), drafts);
}

TEST_F(StagingStoreTest, SavingTheSameSourceAgainReplacesTheMessage) {
    auto s = CStagingStore::Open(path);
    FolderId inbox = s->DefaultFolder(EDefaultFolder::Inbox);
    auto message = [](const char16_t* subject, const char* key) {
        CStagedMessage m;
        m.props.SetString(0x0037, subject);
        m.sourceKey = key;
        return m;
    };
    MessageId first = s->SaveMessage(inbox, message(u"first", "folder 1 note 4"));
    MessageId other = s->SaveMessage(inbox, message(u"other", "folder 1 note 8"));
    MessageId plain1 = s->SaveMessage(inbox, message(u"no key", ""));
    bool replaced = true;
    MessageId plain2 = s->SaveMessage(inbox, message(u"no key", ""), &replaced);
    EXPECT_NE(plain1, plain2);
    EXPECT_FALSE(replaced);
    MessageId again = s->SaveMessage(inbox, message(u"first again", "folder 1 note 4"), &replaced);
    EXPECT_EQ(again, first);
    EXPECT_TRUE(replaced);
    EXPECT_EQ(s->Messages(inbox), (std::vector<MessageId>{first, other, plain1, plain2}));
    EXPECT_EQ(s->LoadMessage(first).props.GetString(0x0037), u"first again");
    // The key survives reopening; a deleted message frees its key.
    s.reset();
    s = CStagingStore::OpenExisting(path);
    EXPECT_EQ(s->SaveMessage(inbox, message(u"third", "folder 1 note 4")), first);
    s->DeleteMessage(other);
    MessageId fresh = s->SaveMessage(inbox, message(u"new", "folder 1 note 8"), &replaced);
    EXPECT_NE(fresh, other);
    EXPECT_FALSE(replaced);
    EXPECT_EQ(CStagingStore::CountMessages(path), 4u);
    EXPECT_EQ(CStagingStore::CountMessages(dir.Path() / "missing.staging"), 0u);
}

TEST_F(StagingStoreTest, FailedSaveLeavesNothingBehind) {
    auto s = CStagingStore::Open(path);
    FolderId inbox = s->DefaultFolder(EDefaultFolder::Inbox);
    CStagedMessage m;
    m.props.SetString(0x0037, u"broken");
    CStagedAttachment a;
    a.props.SetFromFile(MakeTag(0x3701, PT_BINARY), dir.Path() / "does-not-exist");
    m.attachments.push_back(a);
    EXPECT_THROW(s->SaveMessage(inbox, m), CStagingError);
    EXPECT_EQ(s->MessageCount(inbox), 0u);
    m.attachments.clear();
    EXPECT_EQ(s->LoadMessage(s->SaveMessage(inbox, m)).props.GetString(0x0037), u"broken");
}

// Held commits: other readers see none of the held saves until they are
// committed; a save that fails meanwhile takes back only itself (its named
// property too), and what is still held when the store closes is dropped.
TEST_F(StagingStoreTest, HeldSavesAreCommittedTogetherOrNotAtAll) {
    auto s = CStagingStore::Open(path);
    FolderId inbox = s->DefaultFolder(EDefaultFolder::Inbox);
    CStagedMessage good;
    good.props.SetString(0x0037, u"kept");
    CStagedMessage broken = good;
    CStagedAttachment a;
    a.props.SetFromFile(MakeTag(0x3701, PT_BINARY), dir.Path() / "does-not-exist");
    broken.attachments.push_back(a);

    s->HoldCommits();
    s->SaveMessage(inbox, good);
    const uint16_t named = s->NamedPropertyId(PS_PUBLIC_STRINGS, u"Keywords");
    EXPECT_THROW(s->SaveMessage(inbox, broken), CStagingError);
    s->SaveMessage(inbox, good);
    EXPECT_EQ(CStagingStore::CountMessages(path), 0u);
    s->CommitHeld();
    EXPECT_EQ(CStagingStore::CountMessages(path), 2u);
    EXPECT_EQ(s->MessageCount(inbox), 2u);
    EXPECT_EQ(s->NamedPropertyId(PS_PUBLIC_STRINGS, u"Keywords"), named);

    s->HoldCommits();
    s->SaveMessage(inbox, good);
    s.reset();
    s = CStagingStore::OpenExisting(path);
    EXPECT_EQ(s->MessageCount(inbox), 2u);
    s->SaveMessage(inbox, good);  // commits at once again
    EXPECT_EQ(CStagingStore::CountMessages(path), 3u);
}

TEST_F(StagingStoreTest, NamedPropertiesKeepTheirIds) {
    Guid g = ParseGuid("00062004-0000-0000-C000-000000000046");
    uint16_t a, b;
    {
        auto s = CStagingStore::Open(path);
        a = s->NamedPropertyId(g, 0x8083);
        b = s->NamedPropertyId(PS_PUBLIC_STRINGS, u"Keywords");
        EXPECT_EQ(a, 0x8000);
        EXPECT_EQ(b, 0x8001);
        EXPECT_NE(s->NamedPropertyId(PS_PUBLIC_STRINGS, u"keywords"), b);  // names are case-sensitive
    }
    auto s = CStagingStore::Open(path);
    EXPECT_EQ(s->NamedPropertyId(g, 0x8083), a);
    EXPECT_EQ(s->NamedPropertyId(PS_PUBLIC_STRINGS, u"Keywords"), b);
    auto all = s->NamedProperties();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[1].name, u"Keywords");
    EXPECT_FALSE(all[1].lid);
}

// A child process saves messages and reports each committed id through a
// pipe; it is killed at some moment. Every reported message must be there,
// and the PST written afterwards holds exactly the saved messages.
TEST_F(StagingStoreTest, KilledWriterLosesNoSavedMessage) {
    for (int round = 0; round < 3; ++round) {
        std::filesystem::remove(path);
        std::filesystem::remove(path.string() + "-wal");
        std::filesystem::remove(path.string() + "-shm");
        CStagingStore::Open(path);
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(fds[0]);
            auto s = CStagingStore::Open(path);
            FolderId inbox = s->DefaultFolder(EDefaultFolder::Inbox);
            for (int i = 0;; ++i) {
                CStagedMessage m;
                m.props.SetString(0x0037, u"message");
                CStagedAttachment a;
                a.props.SetBinary(0x3701, Pattern(size_t(100000 + i), i));
                m.attachments.push_back(a);
                MessageId id = s->SaveMessage(inbox, m);
                if (write(fds[1], &id, sizeof id) != sizeof id) _exit(1);
            }
        }
        close(fds[1]);
        // Let the child commit a few messages, then kill it in the middle
        // of its next save.
        std::vector<MessageId> reported;
        MessageId id;
        while (reported.size() < size_t(2 + 5 * round) && read(fds[0], &id, sizeof id) == sizeof id)
            reported.push_back(id);
        usleep(useconds_t(1000 * round));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        while (read(fds[0], &id, sizeof id) == sizeof id) reported.push_back(id);
        close(fds[0]);
        ASSERT_FALSE(reported.empty());
        auto s = CStagingStore::OpenExisting(path);
        auto saved = s->Messages(s->DefaultFolder(EDefaultFolder::Inbox));
        // The message being saved when the kill came may or may not be there.
        ASSERT_GE(saved.size(), reported.size());
        ASSERT_LE(saved.size(), reported.size() + 1);
        EXPECT_TRUE(std::equal(reported.begin(), reported.end(), saved.begin()));
        for (MessageId m : saved) EXPECT_EQ(s->LoadMessage(m).attachments.size(), 1u);
        s.reset();
        auto pst = dir.Path() / "killed.pst";
        CWriteStats stats;
        ASSERT_EQ(WritePstFromStaging(path, pst, &stats), "");
        EXPECT_EQ(stats.messages, saved.size());
    }
}

TEST_F(StagingStoreTest, FailedPstWriteLeavesNoFile) {
    CStagingStore::Open(path);
    auto pst = dir.Path() / "out.pst";
    std::ofstream(pst) << "old";
    EXPECT_NE(WritePstFromStaging(dir.Path() / "no-such-staging", pst), "");
    std::ifstream in(pst);
    std::string text;
    in >> text;
    EXPECT_EQ(text, "old");  // the previous file is untouched
    EXPECT_NE(WritePstFromStaging(path, dir.Path() / "no-such-dir" / "x.pst"), "");
    for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
        EXPECT_EQ(e.path().string().find(".writing"), std::string::npos) << e.path();
}

// A write that fails half-way (the file may grow no further) is reported by
// the writing thread and ends the PST with an error, leaving no file.
TEST_F(StagingStoreTest, WriteThatFailsHalfWayIsReported) {
    {
        auto s = CStagingStore::Open(path);
        CStagedMessage m;
        m.props.SetString(0x0037, u"large");
        CStagedAttachment a;
        a.props.SetBinary(0x3701, Bytes(6 << 20, 'x'));
        m.attachments.push_back(a);
        s->SaveMessage(s->DefaultFolder(EDefaultFolder::Inbox), m);
    }
    rlimit before{};
    getrlimit(RLIMIT_FSIZE, &before);
    rlimit small = before;
    small.rlim_cur = 2 << 20;
    auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    std::string error = WritePstFromStaging(path, dir.Path() / "out.pst");
    setrlimit(RLIMIT_FSIZE, &before);
    signal(SIGXFSZ, oldHandler);
    EXPECT_NE(error.find("cannot write the PST file"), std::string::npos) << error;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
        EXPECT_NE(e.path().filename().string().rfind("out.pst", 0), 0u) << e.path();
}

}  // namespace
}  // namespace pst::test
