// Stored messages byte for byte: header lines, the multipart layout with
// its delimiters, nested parts, content through the transfer codecs, and
// the measure that bounds the stored size.
#include <gtest/gtest.h>

#include <string>

#include "BoundaryPattern.h"
#include "ScopedTimeZone.h"
#include "worker/mime/CMimeMessage.h"

namespace {

std::string Store(const CMimeBody& body)
{
    const int64_t measured = body.MeasureStored();
    std::string out(static_cast<size_t>(measured), '\0');
    const int64_t written = body.StoreTo(out.data(), measured);
    EXPECT_GE(written, 0);
    EXPECT_LE(written, measured);
    out.resize(static_cast<size_t>(written < 0 ? 0 : written));
    return out;
}

std::string BoundaryOf(const std::string& stored)
{
    const std::string tag = "boundary=\"";
    const size_t begin = stored.find(tag);
    EXPECT_NE(begin, std::string::npos);
    if (begin == std::string::npos) return std::string();
    const size_t end = stored.find('"', begin + tag.size());
    return stored.substr(begin + tag.size(), end - begin - tag.size());
}

std::string Repeat(const std::string& text, int count)
{
    std::string result;
    for (int i = 0; i < count; ++i) result += text;
    return result;
}

}  // namespace

TEST(MessageStore, MailWithTextPartAndAttachment)
{
    const CScopedTimeZone zone("Europe/Berlin");
    CMimeMessage message;
    message.SetDate(2013, 3, 5, 14, 7, 9);
    message.SetFrom("=?utf-8?B?Sm9obiBTbWl0aA==?=");
    message.SetTo("=?utf-8?B?SmFuZSBEb2U=?=");
    message.SetSubject("=?utf-8?B?UXVhcnRlcmx5IHJlcG9ydA==?=");
    message.SetContentType("multipart/mixed");
    message.SetBoundary();
    CMimeBody* body = message.AddPart();
    body->SetContentType("text/plain");
    body->SetCharset("UTF-8");
    body->SetTransferEncoding("8bit");
    body->SetTextContent("Gr\xc3\xbc\xc3\x9f" "e\r\nline two");
    CMimeBody* file = message.AddPart();
    file->SetTransferEncoding("base64");
    file->SetContentType("application/octet-stream");
    const std::string data(58, 'x');
    file->SetBinaryContent("=?utf-8?B?YS50eHQ=?=", data.data(), static_cast<int64_t>(data.size()));

    const std::string stored = Store(message);
    const std::string b = BoundaryOf(stored);
    EXPECT_TRUE(IsGeneratedBoundary(b)) << b;
    const std::string expected =
        "Date: Tue, 5 Mar 2013 14:07:09 +0100\r\n"
        "From: =?utf-8?B?Sm9obiBTbWl0aA==?=\r\n"
        "To: =?utf-8?B?SmFuZSBEb2U=?=\r\n"
        "Subject: =?utf-8?B?UXVhcnRlcmx5IHJlcG9ydA==?=\r\n"
        "Content-Type: multipart/mixed; boundary=\"" + b + "\"\r\n"
        "\r\n"
        "--" + b + "\r\n"
        "Content-Type: text/plain; charset=\"UTF-8\"\r\n"
        "Content-Transfer-Encoding: 8bit\r\n"
        "\r\n"
        "Gr\xc3\xbc\xc3\x9f" "e\r\nline two"
        "\r\n--" + b + "\r\n"
        "Content-Transfer-Encoding: base64\r\n"
        "Content-Type: application/octet-stream; name=\"=?utf-8?B?YS50eHQ=?=\"\r\n"
        "\r\n" +
        Repeat("eHh4", 19) + "\r\n"
        "eA==\r\n"
        "\r\n--" + b + "--\r\n";
    EXPECT_EQ(stored, expected);
}

TEST(MessageStore, EmptyBodyPartStillStored)
{
    CMimeMessage message;
    message.SetContentType("multipart/mixed");
    message.SetBoundary("B");
    message.AddPart();
    EXPECT_EQ(message.MeasureStored(), 65);
    EXPECT_EQ(Store(message),
              "Content-Type: multipart/mixed; boundary=\"B\"\r\n"
              "\r\n"
              "--B\r\n"
              "\r\n"
              "\r\n--B--\r\n");
}

TEST(MessageStore, NestedMultipart)
{
    CMimeMessage message;
    message.SetContentType("multipart/mixed");
    message.SetBoundary("outer");
    CMimeBody* alternative = message.AddPart();
    alternative->SetContentType("multipart/alternative");
    alternative->SetBoundary("inner");
    CMimeBody* plain = alternative->AddPart();
    plain->SetContentType("text/plain");
    plain->SetTextContent("plain");
    CMimeBody* html = alternative->AddPart();
    html->SetContentType("text/html");
    html->SetTextContent("<p>html</p>");
    CMimeBody* file = message.AddPart();
    file->SetTransferEncoding("BASE64");
    file->SetContentType("application/octet-stream");
    file->SetBinaryContent("dir\\sub\\abc.bin", "abc", 3);

    EXPECT_EQ(Store(message),
              "Content-Type: multipart/mixed; boundary=\"outer\"\r\n"
              "\r\n"
              "--outer\r\n"
              "Content-Type: multipart/alternative; boundary=\"inner\"\r\n"
              "\r\n"
              "--inner\r\n"
              "Content-Type: text/plain\r\n"
              "\r\n"
              "plain"
              "\r\n--inner\r\n"
              "Content-Type: text/html\r\n"
              "\r\n"
              "<p>html</p>"
              "\r\n--inner--\r\n"
              "\r\n--outer\r\n"
              "Content-Transfer-Encoding: BASE64\r\n"
              "Content-Type: application/octet-stream; name=\"abc.bin\"\r\n"
              "\r\n"
              "YWJj\r\n"
              "\r\n--outer--\r\n");
}

TEST(MessageStore, MultipartWithoutBoundaryFails)
{
    CMimeMessage message;
    message.SetContentType("multipart/mixed");
    message.AddPart();
    char buffer[256];
    EXPECT_EQ(message.StoreTo(buffer, sizeof buffer), -1);

    CMimeMessage nested;
    nested.SetBoundary("B");
    CMimeBody* inner = nested.AddPart();
    inner->SetContentType("multipart/mixed");
    inner->AddPart();
    EXPECT_EQ(nested.StoreTo(buffer, sizeof buffer), -1);
}

TEST(MessageStore, ShortCapacityDropsPartsAndClosingDelimiter)
{
    CMimeMessage message;
    message.SetBoundary("B");
    message.AddPart();
    char buffer[128];
    // Header alone: 47 bytes; the first delimiter needs 7 more.
    ASSERT_EQ(message.StoreTo(buffer, 53), 47);
    EXPECT_EQ(std::string(buffer, 47), "Content-Type: multipart/mixed; boundary=\"B\"\r\n\r\n");
    // Room for the part but not for the closing delimiter.
    ASSERT_EQ(message.StoreTo(buffer, 62), 54);
    EXPECT_EQ(std::string(buffer + 45, 9), "\r\n--B\r\n\r\n");
}

TEST(MessageStore, TextContent)
{
    CMimeBody body;
    EXPECT_EQ(body.SetTextContent("ab\0cd", 0), 2);
    EXPECT_EQ(body.Content(), "ab");
    EXPECT_EQ(body.SetTextContent("ab\0cd", 5), 5);
    EXPECT_EQ(body.Content(), std::string("ab\0cd", 5));
    EXPECT_EQ(body.Content().data()[5], '\0');
    EXPECT_EQ(body.SetTextContent(""), 0);
    EXPECT_EQ(body.ContentLength(), 0);
}

TEST(MessageStore, BinaryContentKeepsEarlierContentWhenEmpty)
{
    CMimeBody part;
    part.SetContentType("application/octet-stream");
    ASSERT_TRUE(part.SetBinaryContent("C:\\x\\first.bin", "12", 2));
    ASSERT_TRUE(part.SetBinaryContent("second.bin", "", 0));
    EXPECT_EQ(part.Content(), "12");
    EXPECT_EQ(*part.FieldValue("Content-Type"), "application/octet-stream; name=\"second.bin\"");
}

// Attachments of 30 MiB and more are carried whole rather than emptied.
TEST(MessageStore, LargeAttachmentsCarriedWhole)
{
    for (const int64_t length : {int64_t{31457279}, int64_t{31457280}}) {
        const std::string data(static_cast<size_t>(length), '\x5a');
        CMimeBody part;
        part.SetTransferEncoding("base64");
        part.SetContentType("application/octet-stream");
        ASSERT_TRUE(part.SetBinaryContent("big.bin", data.data(), length));
        EXPECT_EQ(part.ContentLength(), length);
        const int64_t encoded = 4 * ((length + 2) / 3);
        const int64_t lineBreaks = 2 * ((encoded + 75) / 76);
        const int64_t header = static_cast<int64_t>(
            std::string("Content-Transfer-Encoding: base64\r\n"
                        "Content-Type: application/octet-stream; name=\"big.bin\"\r\n\r\n").size());
        EXPECT_EQ(static_cast<int64_t>(Store(part).size()), header + encoded + lineBreaks) << length;
    }
}

TEST(MessageStore, ClearAllDropsFieldsContentAndParts)
{
    CMimeMessage message;
    message.SetBoundary("B");
    message.AddPart()->AddPart()->SetTextContent("x");
    message.SetTextContent("preamble");
    message.ClearAll();
    EXPECT_TRUE(message.Fields().empty());
    EXPECT_TRUE(message.Parts().empty());
    EXPECT_EQ(message.ContentLength(), 0);
    EXPECT_EQ(Store(message), "\r\n");
}
