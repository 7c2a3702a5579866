// Task documents to .eml: no subject gate, start and due dates from the
// date/time fields of the form, plain text before HTML, and the task's
// failure line.
#include <filesystem>

#include "WriterFixture.h"

namespace {

class TaskEmlTest : public CWriterFixture {};

TEST_F(TaskEmlTest, TaskWithoutSubjectKeepsEverythingElse)
{
    OpenDatabase("task.json");
    const std::string eml = TaskEml(2410);
    const std::string b = BoundaryOf(eml);
    EXPECT_EQ(eml, "Date: Tue, 5 Mar 2013 14:07:09 +0100\r\n"
                   "From: " + EncodedWord("Sm9obiBTbWl0aA==") + "\r\n"
                   "To: " + EncodedWord("SmFuZSBEb2U=") + "\r\n" +
                   MultipartStart(b) + TextPart("text/plain", "Do it") + NextPart(b) +
                   FilePart("cGxhbi50eHQ=", "cGxhbg==\r\n") + MultipartEnd(b));
    EXPECT_EQ(LogText(), u"Item Name:\tJohn Smith \r\nAttachments:\tplan.txt,\r\n");
    EXPECT_EQ(task.StartDateText, u"02/03/2024 09:00:00;02/04/2024 10:30:00");
    EXPECT_EQ(task.DueDateText, u"02/10/2024");
}

TEST_F(TaskEmlTest, RichTextBodyOfTaskIsPlainTextButOfMailIsHtml)
{
    OpenDatabase("task.json");
    const std::string eml = TaskEml(2414);
    const std::string b = BoundaryOf(eml);
    EXPECT_EQ(eml, "Subject: " + EncodedWord("UmljaA==") + "\r\n" + MultipartStart(b) +
                       TextPart("text/plain", "A paragraph of plain text.") + MultipartEnd(b));
    EXPECT_EQ(task.BodyIsHtml, 0);

    mail.Clear();
    ReadMailRecord(*converter, 2414, mail);
    EXPECT_EQ(mail.BodyIsHtml, 1);
    EXPECT_NE(mail.BodyText.find(u"A paragraph of plain text."), std::u16string::npos);
}

TEST_F(TaskEmlTest, FailureLineOfTasks)
{
    OpenDatabase("task.json");
    task.AttachmentNames = u"plan.txt, ";
    EXPECT_EQ(WriteTaskEml(*converter, task, EmlPath(), 9996), 0);
    EXPECT_EQ(LogText(), u"Item Name:\t\r\nAttachments:\tERROR:Task Entry is Not Dump \r\n");
    EXPECT_EQ(app.errorCount, 1u);
    EXPECT_FALSE(std::filesystem::exists(tmp / "1.eml"));
}

}  // namespace
