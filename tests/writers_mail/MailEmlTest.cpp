// Mail documents to .eml byte for byte: header mapping with encoded words,
// the body rules (text, text list, HTML items in both encodings, rich
// text), the subject gate, the sent-date fallback, the AltSendTo rule, the
// run-log lines, and the failure contract of the writer.
#include <filesystem>

#include "WriterFixture.h"
#include "platform/sys/Text.h"

namespace {

class MailEmlTest : public CWriterFixture {};

TEST_F(MailEmlTest, PlainTextMailWithAllHeaderFields)
{
    OpenDatabase("mail.json");
    const std::string eml = MailEml(2310);
    const std::string b = BoundaryOf(eml);
    EXPECT_EQ(eml, "Date: Tue, 5 Mar 2013 14:07:09 +0100\r\n"
                   "From: " + EncodedWord("Sm9obiBTbWl0aA==") + "\r\n"
                   "To: " + EncodedWord("SmFuZSBEb2U7Ym9iQGV4YW1wbGUuY29t") + "\r\n"
                   "CC: " + EncodedWord("Q2FybCBDb2xl") + "\r\n"
                   "Subject: " + EncodedWord("UXVhcnRlcmx5IHJlcG9ydA==") + "\r\n" +
                   MultipartStart(b) + TextPart("text/plain", "Hello") + MultipartEnd(b));
    EXPECT_EQ(LogText(), u"Item Name:\tJohn Smith Quarterly report\r\n");
    EXPECT_EQ(mail.SentDateText, u"3/5/2013 14:7:9");
    EXPECT_EQ(mail.Importance, 2);
    EXPECT_EQ(mail.CategoriesText, u"Work;Urgent");
    EXPECT_EQ(mail.BodyIsHtml, 0);
    EXPECT_EQ(app.errorCount, 0u);
}

TEST_F(MailEmlTest, ThreeValueBodyFallsBackToCreationDate)
{
    OpenDatabase("mail.json");
    const std::string eml = MailEml(2314);
    const std::string b = BoundaryOf(eml);
    // 1 July 2014 is under daylight saving; the Date field carries the true
    // local offset.
    EXPECT_EQ(eml, "Date: Tue, 1 Jul 2014 08:30:00 +0200\r\n"
                   "Subject: " + EncodedWord("VGhyZWU=") + "\r\n" +
                   MultipartStart(b) + TextPart("text/plain", "one;two;three") + MultipartEnd(b));
    EXPECT_EQ(LogText(), u"Item Name:\tThree\r\n");
}

TEST_F(MailEmlTest, MissingSubjectItemGivesOnlyTheEmptyBodyPart)
{
    OpenDatabase("mail.json");
    const std::string eml = MailEml(2318);
    const std::string b = BoundaryOf(eml);
    EXPECT_EQ(eml, MultipartStart(b) + "\r\n" + MultipartEnd(b));
    EXPECT_EQ(LogText(), u"Item Name:\t\r\n");
    EXPECT_TRUE(mail.AttachmentNames.empty());
}

TEST_F(MailEmlTest, DayZeroSentDateTakesTheCreationDate)
{
    OpenDatabase("mail.json");
    const std::string eml = MailEml(2322);
    EXPECT_EQ(mail.SentDateText, u"3/5/2013 14:7:9");
    EXPECT_EQ(eml.substr(0, eml.find("\r\n")), "Date: Tue, 5 Mar 2013 14:07:09 +0100");
}

TEST_F(MailEmlTest, NonAsciiSubjectIsOneEncodedWord)
{
    OpenDatabase("mail.json");
    const std::string eml = MailEml(2326);
    const std::string b = BoundaryOf(eml);
    EXPECT_EQ(eml, "Subject: " + EncodedWord("R3LDvMOfZSBhdXMgS8O2bG4g4pyT") + "\r\n" + MultipartStart(b) + "\r\n" +
                       MultipartEnd(b));
    EXPECT_EQ(LogText(), u"Item Name:\tGr\u00fc\u00dfe aus K\u00f6ln \u2713\r\n");
}

TEST_F(MailEmlTest, LongSubjectStaysOneUnfoldedLine)
{
    OpenDatabase("mail.json");
    mail.SubjectText = std::u16string(500, u'x');
    ASSERT_EQ(WriteMailEml(*converter, mail, EmlPath(), 2326), 1);
    const std::string eml = ReadEml();
    const std::string line = eml.substr(0, eml.find("\r\n"));
    EXPECT_EQ(line.size(), 689u);
    EXPECT_EQ(line.substr(0, 19), "Subject: =?utf-8?B?");
    EXPECT_EQ(line.substr(line.size() - 6), "eHg=?=");
}

struct HtmlCase {
    LNNOTEID noteId;
    const char* codePage;
};

class HtmlBodyTest : public CWriterFixture, public ::testing::WithParamInterface<HtmlCase> {};

TEST_P(HtmlBodyTest, HtmlItemGivesUtf8HtmlPart)
{
    setenv("NSF2PST_CODEPAGE", GetParam().codePage, 1);
    OpenDatabase("mail.json");
    const std::string eml = MailEml(GetParam().noteId);
    unsetenv("NSF2PST_CODEPAGE");
    const std::string b = BoundaryOf(eml);
    EXPECT_EQ(eml.substr(eml.find("Content-Type")),
              MultipartStart(b) + TextPart("text/html", "<p>Gr\xc3\xbc\xc3\x9f" "e</p>") + MultipartEnd(b));
    EXPECT_EQ(mail.BodyIsHtml, 1);
}

INSTANTIATE_TEST_SUITE_P(Encodings, HtmlBodyTest,
                         ::testing::Values(HtmlCase{2334, "windows-1252"}, HtmlCase{2338, "windows-1252"},
                                           HtmlCase{2338, "ISO-8859-1"}));

TEST_F(MailEmlTest, RichTextBodyBecomesHtmlWithItsImageSavedLocally)
{
    OpenDatabase("mail.json");
    const std::string eml = MailEml(2346);
    const std::string b = BoundaryOf(eml);
    EXPECT_EQ(mail.BodyIsHtml, 1);
    const std::string start = MultipartStart(b) + "Content-Type: text/html; charset=\"UTF-8\"\r\n"
                                                  "Content-Transfer-Encoding: 8bit\r\n\r\n";
    ASSERT_NE(eml.find(start), std::string::npos) << eml;
    EXPECT_NE(eml.find("A paragraph of plain text."), std::string::npos);
    EXPECT_NE(eml.find((tmp / "temp/").string()), std::string::npos) << "image not pointed at the saved file";
    EXPECT_EQ(eml.substr(eml.size() - MultipartEnd(b).size()), MultipartEnd(b));
}

TEST_F(MailEmlTest, AltSendToSuppliesAddressesWhenInternetAddressesAreOnlyDots)
{
    OpenDatabase("mail.json");
    app.settings.translateAddresses = 0;
    const std::string eml = MailEml(2342);
    EXPECT_EQ(mail.ToText, u"jane@acme.com;bob@example.com");
    EXPECT_NE(eml.find("To: " + EncodedWord("amFuZUBhY21lLmNvbTtib2JAZXhhbXBsZS5jb20=") + "\r\n"), std::string::npos);

    app.settings.translateAddresses = 1;
    app.settings.useSmtpPattern = 1;
    app.settings.smtpPatternIndex = 2;
    app.settings.smtpDomain = u"acme.com";
    mail.Clear();
    ReadMailRecord(*converter, 2342, mail);
    EXPECT_EQ(mail.ToText.find(u"jane@acme.com"), std::u16string::npos);
    EXPECT_NE(mail.ToText.find(u"Jane.Doe@acme.com"), std::u16string::npos);
}

TEST_F(MailEmlTest, SealedBodyIsReadOnlyWhenDecryptionIsAsked)
{
    OpenDatabase("mail.json");
    app.settings.removeEncryption = 0;
    mail.Clear();
    ReadMailRecord(*converter, 2362, mail);
    EXPECT_EQ(mail.SubjectText, u"Sealed");
    EXPECT_EQ(mail.BodyText, u"");
    app.settings.removeEncryption = 1;
    mail.Clear();
    ReadMailRecord(*converter, 2362, mail);
    EXPECT_EQ(mail.BodyText, u"Secret");
}

TEST_F(MailEmlTest, UnknownDocumentLeavesTheRecordEmpty)
{
    OpenDatabase("mail.json");
    mail.Clear();
    ReadMailRecord(*converter, 9996, mail);
    EXPECT_EQ(mail.SubjectText, u"");
    EXPECT_EQ(mail.SentDateText, u"");
}

TEST_F(MailEmlTest, FailureWhileWritingLogsCountsAndLeavesNoFile)
{
    OpenDatabase("mail.json");
    mail.SubjectText = u"Gone";
    mail.AttachmentNames = u"x.txt, ";
    // The document cannot be had again for its attachments.
    EXPECT_EQ(WriteMailEml(*converter, mail, EmlPath(), 9996), 0);
    EXPECT_EQ(LogText(), u"Item Name:\tGone\r\nAttachments:\tERROR:Mail Entry is Not Dump \r\n");
    EXPECT_EQ(app.errorCount, 1u);
    EXPECT_FALSE(std::filesystem::exists(tmp / "1.eml"));
}

TEST_F(MailEmlTest, EmlThatCannotBeCreatedIsNeitherLoggedNorCounted)
{
    OpenDatabase("mail.json");
    mail.SubjectText = u"Nowhere";
    EXPECT_EQ(WriteMailEml(*converter, mail, sys::Utf8ToUtf16((tmp / "missing/1.eml").string()), 2310), 0);
    EXPECT_EQ(LogText(), u"Item Name:\tNowhere\r\n");
    EXPECT_EQ(app.errorCount, 0u);
}

TEST_F(MailEmlTest, InternetHeadersAreKeptAsOneMorePart)
{
    OpenDatabase("mail.json");
    app.settings.saveInternetHeaders = 1;
    const std::string eml = MailEml(2310);
    const std::u16string text = InternetHeadersText(mail.InternetHeaders);
    EXPECT_NE(text.find(u"Subject:Quarterly report\r\n"), std::u16string::npos);
    EXPECT_NE(text.find(u"PostedDate:03/05/2013 14:07:09\r\n"), std::u16string::npos);
    EXPECT_NE(text.find(u"SendTo:CN=Jane Doe/O=Acme,bob@example.com\r\n"), std::u16string::npos);
    const std::string b = BoundaryOf(eml);
    const std::string last = NextPart(b) + FilePart("SW50ZXJuZXQgaGVhZGVycy50eHQ=", "");
    const size_t at = eml.find(last);
    ASSERT_NE(at, std::string::npos) << eml;
    EXPECT_EQ(eml.find(TextPart("text/plain", "Hello") + last), eml.find(TextPart("text/plain", "Hello")));
    EXPECT_EQ(LogText(), u"Item Name:\tJohn Smith Quarterly report\r\n");

    app.settings.saveInternetHeaders = 0;
    MailEml(2310);
    EXPECT_TRUE(mail.InternetHeaders.empty());
    EXPECT_EQ(ReadEml().find("SW50ZXJuZXQgaGVhZGVycy50eHQ="), std::string::npos);
}

}  // namespace
