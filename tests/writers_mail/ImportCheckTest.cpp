// The written .eml files read back by the store's message import: subject,
// attachments under their cleaned names, and the Notes items kept in the
// Internet headers file.
#include "WriterFixture.h"
#include "platform/store/ItemModel.h"
#include "platform/store/MapiTags.h"

namespace {

class ImportCheckTest : public CWriterFixture {};

TEST_F(ImportCheckTest, AttachmentsArriveUnderTheirCleanedNames)
{
    OpenDatabase("mail.json");
    store::CMessageData data;
    store::ImportRfc822(data, MailEml(2358));
    EXPECT_EQ(data.props.GetString(store::tagSubject), u"Files");
    ASSERT_EQ(data.attachments.size(), 5u);
    EXPECT_EQ(data.attachments[0].props.GetString(store::tagAttachLongFilename), u"a b c .txt");
    EXPECT_EQ(data.attachments[2].props.GetString(store::tagAttachLongFilename), u"tab and break.txt");
    EXPECT_EQ(data.attachments[4].props.GetString(store::tagAttachLongFilename), u"..");
}

TEST_F(ImportCheckTest, NotesItemsArriveAsInternetHeadersFile)
{
    OpenDatabase("mail.json");
    app.settings.saveInternetHeaders = 1;
    store::CMessageData data;
    store::ImportRfc822(data, MailEml(2310));
    EXPECT_EQ(data.props.GetString(store::tagSubject), u"Quarterly report");
    ASSERT_EQ(data.attachments.size(), 1u);
    EXPECT_EQ(data.attachments[0].props.GetString(store::tagAttachLongFilename), u"Internet headers.txt");
    const store::CPropValue* bytes = data.attachments[0].props.Get(store::tagAttachDataBinary);
    ASSERT_NE(bytes, nullptr);
    ASSERT_TRUE(std::holds_alternative<std::string>(*bytes));
    const std::string& text = std::get<std::string>(*bytes);
    EXPECT_NE(text.find("\r\nSubject:Quarterly report\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\nCategories:Work,Urgent\r\n"), std::string::npos);
}

}  // namespace
