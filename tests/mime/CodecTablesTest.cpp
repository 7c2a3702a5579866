// Codec choice by transfer-encoding name and by header field name.
#include <gtest/gtest.h>

#include <string>

#include "worker/mime/CodecTables.h"

TEST(CodecTables, TransferCodecByName)
{
    struct Case {
        const char* name;
        const char* kind;
    };
    const Case cases[] = {
        {"base64", "base64"},   {"Base64", "base64"}, {"BASE64", "base64"}, {"bAsE64", "base64"},
        {"quoted-printable", "qp"}, {"Quoted-Printable", "qp"}, {"8bit", "copy"}, {"7bit", "copy"},
        {"", "copy"},           {"binary", "copy"},   {"base64 ", "copy"},
    };
    for (const Case& c : cases) {
        auto codec = CreateTransferCodec(c.name);
        std::string kind = "copy";
        if (dynamic_cast<CMimeCodeBase64*>(codec.get())) kind = "base64";
        if (dynamic_cast<CMimeCodeQP*>(codec.get())) kind = "qp";
        EXPECT_EQ(kind, c.kind) << c.name;
    }
}

TEST(CodecTables, CopyCodecsPassContentUnchanged)
{
    const std::string content = "line one\r\nline =C3=A9 \xc3\xa9\r\n";
    for (const char* name : {"8bit", "", "quoted-printable"}) {
        auto codec = CreateTransferCodec(name);
        codec->SetInput(content.data(), content.size(), ECodeDirection::Encode);
        std::string out(codec->OutputLength(), '\0');
        out.resize(codec->Output(out.data(), out.size()));
        EXPECT_EQ(out, content) << name;
    }
}

TEST(CodecTables, FieldCodecByName)
{
    struct Case {
        const char* name;
        const char* kind;
    };
    const Case cases[] = {
        {"Subject", "text"},          {"subject", "text"},         {"Comments", "text"},
        {"Content-Description", "text"}, {"From", "address"},      {"To", "address"},
        {"CC", "address"},            {"BCC", "address"},          {"Resent-Reply-To", "address"},
        {"Content-Type", "parameter"}, {"content-disposition", "parameter"}, {"Date", "base"},
        {"Content-Transfer-Encoding", "base"}, {"X-Mailer", "base"},
    };
    for (const Case& c : cases) {
        auto codec = CreateFieldCodec(c.name);
        std::string kind = "base";
        if (dynamic_cast<CFieldCodeText*>(codec.get())) kind = "text";
        if (dynamic_cast<CFieldCodeAddress*>(codec.get())) kind = "address";
        if (dynamic_cast<CFieldCodeParameter*>(codec.get())) kind = "parameter";
        EXPECT_EQ(kind, c.kind) << c.name;
    }
}

TEST(CodecTables, EnteringANameAgainReplacesAndMovesItLast)
{
    CNameTable<int (*)()> table;
    table.Enter("a", [] { return 1; });
    table.Enter("b", [] { return 2; });
    table.Enter("A", [] { return 3; });
    EXPECT_EQ(table.Names(), (std::vector<std::string>{"b", "A"}));
    EXPECT_EQ(table.Find("a")(), 3);
    EXPECT_EQ(table.Find("c"), nullptr);
}
