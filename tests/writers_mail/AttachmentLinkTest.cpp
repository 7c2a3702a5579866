// Attachments and document links: link-file text and names, the parts and
// run-log lines they give, cleaned attachment names, the temporary files
// (all inside the temporary path and all deleted), and the failure rules.
#include <fstream>

#include "WriterFixture.h"
#include "platform/notes/LNNotes.h"
#include "platform/sys/Text.h"
#include "worker/writers/Attachments.h"
#include "worker/writers/DocLinks.h"

namespace {

struct PadCase {
    const char* hex;
    const char* padded;
};

class PadHex8Test : public ::testing::TestWithParam<PadCase> {};

TEST_P(PadHex8Test, PadsToEightDigits)
{
    EXPECT_EQ(PadHex8(GetParam().hex), GetParam().padded);
}

INSTANTIATE_TEST_SUITE_P(Texts, PadHex8Test,
                         ::testing::Values(PadCase{"", "00000000"}, PadCase{"3C", "0000003C"},
                                           PadCase{"1A2B", "00001A2B"}, PadCase{"85257A1B", "85257A1B"},
                                           PadCase{"123456789", "123456789"}));

TEST(LinkTexts, ReplicaAndUniversalIdWordOrder)
{
    TIMEDATE replica;
    replica.Innards[0] = 0x1A2B;
    replica.Innards[1] = 0x3C;
    EXPECT_EQ(ReplicaText(replica), "0000003C:00001A2B");
    UNID unid;
    unid.File.Innards[0] = 0xB;
    unid.File.Innards[1] = 0xA;
    unid.Note.Innards[0] = 0xFFFFFFFF;
    unid.Note.Innards[1] = 0xC;
    EXPECT_EQ(UniversalIdText(unid), "OF0000000A:0000000B-ON0000000C:FFFFFFFF");
    EXPECT_EQ(Hex8(0xabcdef), "00ABCDEF");
}

struct FileNameCase {
    std::u16string cleaned;
    std::u16string onDisk;
};

class DetachFileNameTest : public ::testing::TestWithParam<FileNameCase> {};

TEST_P(DetachFileNameTest, StaysOneComponent)
{
    EXPECT_EQ(DetachFileName(GetParam().cleaned), GetParam().onDisk);
}

INSTANTIATE_TEST_SUITE_P(Names, DetachFileNameTest,
                         ::testing::Values(FileNameCase{u"a b c .txt", u"a b c .txt"}, FileNameCase{u"..", u"_"},
                                           FileNameCase{u".", u"_"}, FileNameCase{u"", u"_"},
                                           FileNameCase{u"bell\u0007.txt", u"bell_.txt"},
                                           FileNameCase{u"Gr\u00fc\u00dfe.pdf", u"Gr\u00fc\u00dfe.pdf"}));

TEST(DetachFileNameLength, LongNamesFitTheFileSystemAndKeepTheExtension)
{
    const std::u16string name = std::u16string(300, u'\u00e9') + u".txt";
    const std::u16string onDisk = DetachFileName(name);
    EXPECT_LE(sys::Utf16ToUtf8(onDisk).size(), 200u);
    EXPECT_EQ(onDisk.substr(onDisk.size() - 4), u".txt");
}

class AttachmentLinkTest : public CWriterFixture {};

TEST_F(AttachmentLinkTest, TwoDocumentLinksGiveTwoLinkFileParts)
{
    OpenDatabase("mail.json");
    app.settings.saveDocLinks = 1;
    const std::string eml = MailEml(2350);
    const std::string b = BoundaryOf(eml);
    const std::string expected =
        "Subject: " + EncodedWord("TGlua3M=") + "\r\n" + MultipartStart(b) + NextPart(b) +
        FilePart("MS5uZGw=",
                 "PE5ETD4NCjxSRVBMSUNBIDg1MjU3QTFCOjAwNDlEN0UyPg0KPFZJRVcgT0YwMDAwMDAwMTowMDAw\r\n"
                 "MDAwMi1PTjAwMDAwMDAzOjAwMDAwMDA0Pg0KPE5PVEUgT0YwMDAwMDAwQTowMDAwMDAwQi1PTjAw\r\n"
                 "MDAwMDBDOjAwMDAwMDBEPg0KPFJFTT5UaGUgYnVkZ2V0PC9SRU0+DQo8L05ETD4=\r\n") +
        NextPart(b) +
        FilePart("Mi5uZGw=",
                 "PE5ETD4NCjxSRVBMSUNBIDAwMDAwMDNDOjAwMDAxQTJCPg0KPFZJRVcgT0YxMTExMTExMToyMjIy\r\n"
                 "MjIyMi1PTjMzMzMzMzMzOjQ0NDQ0NDQ0Pg0KPE5PVEUgT0Y1NTU1NTU1NTo2NjY2NjY2Ni1PTjc3\r\n"
                 "Nzc3Nzc3Ojg4ODg4ODg4Pg0KPFJFTT5NaW51dGVzPC9SRU0+DQo8L05ETD4=\r\n") +
        MultipartEnd(b);
    // The body is rich text without a text item: an empty HTML conversion is
    // not expected here, so only the link parts are compared exactly.
    const size_t links = eml.find(NextPart(b) + "Content-Transfer-Encoding: base64");
    ASSERT_NE(links, std::string::npos);
    EXPECT_EQ(eml.substr(links), expected.substr(expected.find(NextPart(b) + "Content-Transfer-Encoding")));
    EXPECT_EQ(eml.substr(0, eml.find("Content-Type")), "Subject: " + EncodedWord("TGlua3M=") + "\r\n");
    EXPECT_EQ(LogText(), u"Item Name:\tLinks\r\nLink Documents :\t1.ndl,2.ndl,\r\n");
    EXPECT_EQ(FilesUnderRoot(), (std::vector<std::string>{"db.nsf", "log.txt", "tmp/1.eml"}));
}

TEST_F(AttachmentLinkTest, LinksAreLeftOutWithoutTheSettingOrWithoutLinksItem)
{
    OpenDatabase("mail.json");
    app.settings.saveDocLinks = 0;
    EXPECT_EQ(MailEml(2350).find("MS5uZGw="), std::string::npos);
    app.settings.saveDocLinks = 1;
    EXPECT_EQ(MailEml(2354).find("MS5uZGw="), std::string::npos);
    EXPECT_EQ(LogText(), u"Item Name:\tLinks\r\nItem Name:\tNo links item\r\n");
}

TEST_F(AttachmentLinkTest, LinkFileHoldsSixLinesWithoutFinalLineEnd)
{
    OpenDatabase("mail.json");
    LNDocument document;
    ASSERT_EQ(converter->database.GetDocument(2350, &document), LNNOERROR);
    ASSERT_EQ(document.Open(), LNNOERROR);
    LNRichText body;
    ASSERT_EQ(document.GetItem("Body", &body), LNNOERROR);
    LNRTCursor cursor;
    ASSERT_EQ(body.GetCursor(&cursor), LNNOERROR);
    LNDocumentLink link;
    ASSERT_EQ(cursor.GotoFirst(LNRTTYPE_DOCUMENT_LINK, &link), LNNOERROR);
    const auto path = WriteLinkFile(link, 7);
    ASSERT_TRUE(path);
    EXPECT_EQ(*path, sys::Utf8ToUtf16(tmp.string()) + u"7.ndl");
    std::string bytes;
    ASSERT_TRUE(sys::ReadWholeFile(*path, bytes));
    EXPECT_EQ(bytes,
              "<NDL>\r\n<REPLICA 85257A1B:0049D7E2>\r\n<VIEW OF00000001:00000002-ON00000003:00000004>\r\n"
              "<NOTE OF0000000A:0000000B-ON0000000C:0000000D>\r\n<REM>The budget</REM>\r\n</NDL>");
}

TEST_F(AttachmentLinkTest, AttachmentsUnderCleanedNamesEachWithItsOwnBytes)
{
    OpenDatabase("mail.json");
    const std::string eml = MailEml(2358);
    const std::string b = BoundaryOf(eml);
    const std::string expected = "Subject: " + EncodedWord("RmlsZXM=") + "\r\n" + MultipartStart(b) +
                                 TextPart("text/plain", "See the files.") + NextPart(b) +
                                 FilePart("YSBiIGMgLnR4dA==", "b25l\r\n") + NextPart(b) +
                                 FilePart("YSBiIGMgLnR4dA==", "dHdv\r\n") + NextPart(b) +
                                 FilePart("dGFiIGFuZCBicmVhay50eHQ=", "dGhyZWU=\r\n") + NextPart(b) +
                                 FilePart("Li4gLi4gZXNjYXBlLnR4dA==", "Zm91cg==\r\n") + NextPart(b) +
                                 FilePart("Li4=", "Zml2ZQ==\r\n") + MultipartEnd(b);
    EXPECT_EQ(eml, expected);
    EXPECT_EQ(LogText(), u"Item Name:\tFiles\r\n"
                         u"Attachments:\ta b c .txt,a b c .txt,tab and break.txt,.. .. escape.txt,..,\r\n");
    EXPECT_EQ(app.errorCount, 0u);
    // Every detached file was deleted; nothing was written anywhere else.
    EXPECT_EQ(FilesUnderRoot(), (std::vector<std::string>{"db.nsf", "log.txt", "tmp/1.eml"}));
    EXPECT_TRUE(std::filesystem::is_directory(tmp / "temp"));
}

TEST_F(AttachmentLinkTest, AttachmentThatCannotBeDetachedIsLoggedAndCounted)
{
    OpenDatabase("mail.json");
    // A file where the "temp" folder should be: nothing can be detached.
    std::ofstream(tmp / "temp").put('x');
    const std::string eml = MailEml(2358);
    const std::string b = BoundaryOf(eml);
    EXPECT_EQ(eml, "Subject: " + EncodedWord("RmlsZXM=") + "\r\n" + MultipartStart(b) +
                       TextPart("text/plain", "See the files.") + MultipartEnd(b));
    EXPECT_EQ(LogText(), u"Item Name:\tFiles\r\nAttachments:\t"
                         u"ERROR: a b c .txt is not dump.\r\nERROR: a b c .txt is not dump.\r\n"
                         u"ERROR: tab and break.txt is not dump.\r\nERROR: .. .. escape.txt is not dump.\r\n"
                         u"ERROR: .. is not dump.\r\n\r\n");
    EXPECT_EQ(app.errorCount, 5u);
}

TEST_F(AttachmentLinkTest, StaleFileIsNeverEmbeddedForAFailedDetach)
{
    OpenDatabase("mail.json");
    LNDocument document;
    ASSERT_EQ(converter->database.GetDocument(2358, &document), LNNOERROR);
    ASSERT_EQ(document.Open(), LNNOERROR);
    std::vector<LNAttachment> attachments;
    ASSERT_EQ(document.GetAttachments(&attachments), LNNOERROR);
    std::filesystem::create_directories(tmp / "temp");
    std::ofstream(tmp / "temp" / "a b c .txt") << "stale bytes";
    const DetachedAttachment detached = DetachAttachment(attachments[0]);
    EXPECT_EQ(detached.cleanedName, u"a b c .txt");
    EXPECT_EQ(detached.status, LNNOERROR);
    std::string bytes;
    ASSERT_TRUE(sys::ReadWholeFile(detached.path, bytes));
    EXPECT_EQ(bytes, "one");
}

TEST_F(AttachmentLinkTest, NoTemporaryPathMeansNoFileAnywhere)
{
    OpenDatabase("mail.json");
    // A temporary path that is not a directory cannot take any file.
    std::ofstream(root / "notadir").put('x');
    setenv("TMPDIR", (root / "notadir").string().c_str(), 1);
    mail.Clear();
    ReadMailRecord(*converter, 2358, mail);
    EXPECT_EQ(WriteMailEml(*converter, mail, EmlPath(), 2358), 1);
    EXPECT_EQ(app.errorCount, 5u);
    EXPECT_EQ(FilesUnderRoot(), (std::vector<std::string>{"db.nsf", "log.txt", "notadir", "tmp/1.eml"}));
}

TEST_F(AttachmentLinkTest, AttachmentOfThirtyMebibytesIsCarriedWhole)
{
    const size_t size = 31457280;
    const std::filesystem::path file = root / "large.bin";
    std::ofstream(file, std::ios::binary) << std::string(size, 'z');
    OpenDatabaseFromText(R"({"title": "Large", "forms": {"Memo": []}, "documents": [{"noteId": 2310,
        "form": "Memo", "items": {"Subject": "Large"},
        "attachments": [{"name": "large.bin", "path": ")" + file.string() + R"("}]}]})");
    std::filesystem::remove(file);
    const std::string eml = MailEml(2310);
    const std::string b = BoundaryOf(eml);
    const std::string header = NextPart(b) + FilePart("bGFyZ2UuYmlu", "");
    const size_t start = eml.find(header);
    ASSERT_NE(start, std::string::npos);
    const size_t contentStart = start + header.size();
    const size_t contentEnd = eml.rfind(MultipartEnd(b));
    ASSERT_EQ(contentEnd + MultipartEnd(b).size(), eml.size());
    // Lines of 76 characters, each ended by CRLF.
    const size_t encoded = size / 3 * 4;
    EXPECT_EQ(contentEnd - contentStart, encoded + 2 * ((encoded + 75) / 76));
    const std::string content = eml.substr(contentStart, 76);
    EXPECT_EQ(content.substr(0, 8), "enp6enp6");
    EXPECT_EQ(LogText(), u"Item Name:\tLarge\r\nAttachments:\tlarge.bin,\r\n");
    EXPECT_EQ(app.errorCount, 0u);
}

}  // namespace
