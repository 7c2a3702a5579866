// Header fields: parameters inside a field value, and replacing fields in
// place.
#include <gtest/gtest.h>

#include <string>

#include "worker/mime/CMimeMessage.h"

TEST(HeaderField, SetFieldParameter)
{
    struct Case {
        const char* value;
        const char* parameter;
        const char* parameterValue;
        const char* expected;
    };
    const Case cases[] = {
        {"text/plain", "charset", "UTF-8", "text/plain; charset=\"UTF-8\""},
        {"text/plain; charset=\"UTF-8\"", "charset", "\"ISO-8859-1\"", "text/plain; charset=\"ISO-8859-1\""},
        {"text/plain; charset=us-ascii; format=flowed", "charset", "UTF-8",
         "text/plain; charset=\"UTF-8\"; format=flowed"},
        {"text/plain; CHARSET=a", "charset", "b", "text/plain; CHARSET=\"b\""},
        {"text/plain; charset = a", "charset", "b", "text/plain; charset = \"b\""},
        {"text/plain; xcharset=a", "charset", "b", "text/plain; xcharset=a; charset=\"b\""},
        {"text/plain; charsetx=a", "charset", "b", "text/plain; charsetx=a; charset=\"b\""},
        {"charset=a", "charset", "b", "charset=a; charset=\"b\""},
        {"multipart/mixed; x=\"a;charset=1\"; charset=2", "charset", "b",
         "multipart/mixed; x=\"a;charset=1\"; charset=\"b\""},
        {"a; name=foo@bar", "name", "x", "a; name=\"x\"@bar"},
        {"a", "name", "", "a; name=\"\""},
        {"a", "name", "\"", "a; name=\"\""},
        {"a", "name", "\"abc", "a; name=\"abc\""},
        {"a", "name", "abc\"", "a; name=\"abc\""},
        {"multipart/mixed", "boundary", "__=_Part_Boundary_001_012345.006789",
         "multipart/mixed; boundary=\"__=_Part_Boundary_001_012345.006789\""},
    };
    for (const Case& c : cases) {
        CMimeHeaderField field("Content-Type", c.value);
        field.SetFieldParameter(c.parameter, c.parameterValue);
        EXPECT_EQ(field.value, c.expected) << c.value;
    }
}

TEST(HeaderField, FieldParameter)
{
    struct Case {
        const char* value;
        const char* parameter;
        const char* expected;
    };
    const Case cases[] = {
        {"text/plain; charset=\"UTF-8\"", "charset", "UTF-8"},
        {"text/plain; charset=\"UTF-8\"", "Charset", "UTF-8"},
        {"text/plain; charset=us-ascii", "charset", "us-ascii"},
        {"text/plain", "charset", ""},
        {"charset=abc", "charset", ""},
        {"a; name=foo/bar?x.y", "name", "foo/bar?x.y"},
        {"a; name=foo@bar", "name", "foo"},
        {"a; name=\"a b;c\"; size=3", "size", "3"},
        {"a;\r\n\tname=\r\n \"x\"", "name", "x"},
        {"a; name=\"unclosed", "name", "unclosed"},
        {"a; filename=x; name=y", "name", "y"},
        {"a; name", "name", ""},
    };
    for (const Case& c : cases) {
        const CMimeHeaderField field("Content-Type", c.value);
        EXPECT_EQ(field.FieldParameter(c.parameter), c.expected) << c.value;
    }
}

TEST(Header, PutFieldReplacesInPlace)
{
    CMimeMessage message;
    message.SetFrom("f");
    message.SetCc("old");
    message.SetSubject("s");
    message.PutField("cc", "new");
    ASSERT_EQ(message.Fields().size(), 3u);
    EXPECT_EQ(message.Fields()[1].name, "cc");
    EXPECT_EQ(message.Fields()[1].value, "new");
    std::string out(message.MeasureStored(), '\0');
    out.resize(message.StoreTo(out.data(), out.size()));
    EXPECT_EQ(out, "From: f\r\ncc: new\r\nSubject: s\r\n\r\n");
}

TEST(Header, FindAndFieldValue)
{
    CMimeMessage message;
    message.SetTo("a");
    message.SetBcc("b");
    ASSERT_NE(message.FieldValue("to"), nullptr);
    EXPECT_EQ(*message.FieldValue("TO"), "a");
    EXPECT_EQ(message.FindField("Bcc")->name, "BCC");
    EXPECT_EQ(message.FieldValue("Cc"), nullptr);
    message.ClearAll();
    EXPECT_EQ(message.FindField("To"), nullptr);
}

TEST(Header, CharsetAndNameWithoutContentType)
{
    CMimeBody text;
    text.SetCharset("UTF-8");
    EXPECT_EQ(*text.FieldValue("Content-Type"), "text/plain; charset=\"UTF-8\"");
    CMimeBody file;
    file.SetName("a.txt");
    EXPECT_EQ(*file.FieldValue("Content-Type"), "application/octet-stream; name=\"a.txt\"");
}

TEST(Header, StoreRefusesAHeaderThatDoesNotFit)
{
    CMimeMessage message;
    message.SetSubject("0123456789");
    char buffer[64];
    EXPECT_EQ(message.StoreTo(buffer, 10), 0);  // below name + 4
    EXPECT_EQ(message.StoreTo(buffer, 22), 0);  // the blank line no longer fits
    EXPECT_EQ(message.MeasureStored(), 23);
    ASSERT_EQ(message.StoreTo(buffer, 23), 23);
    EXPECT_EQ(std::string(buffer, 23), "Subject: 0123456789\r\n\r\n");
}
