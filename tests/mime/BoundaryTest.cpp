// Generated boundaries: format, the seeded draws, the 001 to 009 counter
// cycle, and how SetBoundary treats the Content-Type field.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "BoundaryPattern.h"
#include "worker/mime/CMimeBody.h"
#include "worker/mime/MimeBoundary.h"

namespace {

int CounterOf(const std::string& boundary)
{
    return std::stoi(boundary.substr(std::string("__=_Part_Boundary_").size(), 3));
}

}  // namespace

TEST(Boundary, FormatAndDrawOrder)
{
    const uint32_t seed = 0x5eed1234u;
    SeedBoundaryRandom(seed);
    const int first = DrawBoundaryRandom();
    const int second = DrawBoundaryRandom();
    const std::string boundary = GenerateBoundary(seed);
    char tail[32];
    std::snprintf(tail, sizeof tail, "_%06d.%06d", second, first);
    EXPECT_TRUE(IsGeneratedBoundary(boundary));
    EXPECT_TRUE(boundary.ends_with(tail)) << boundary << " " << tail;
}

TEST(Boundary, SameSeedDiffersOnlyInCounterWhichCycles)
{
    const uint32_t seed = 1363, otherSeed = 99;
    std::string previous = GenerateBoundary(seed);
    for (int i = 0; i < 20; ++i) {
        const std::string next = GenerateBoundary(seed);
        EXPECT_EQ(CounterOf(next), CounterOf(previous) % 9 + 1) << next;
        EXPECT_EQ(next.substr(21), previous.substr(21));
        EXPECT_EQ(next.substr(0, 18), previous.substr(0, 18));
        previous = next;
    }
    EXPECT_NE(GenerateBoundary(otherSeed).substr(21), previous.substr(21));
}

TEST(Boundary, SetBoundaryOnContentType)
{
    struct Case {
        const char* contentType;  // null: no field
        const char* expectedType;
    };
    const Case cases[] = {
        {nullptr, "multipart/mixed; boundary=\"B\""},
        {"multipart/mixed", "multipart/mixed; boundary=\"B\""},
        {"text/plain; charset=\"UTF-8\"", "multipart/mixed; boundary=\"B\""},
        {"Multipart/Related ; type=x", "Multipart/Related ; type=x; boundary=\"B\""},
        {"multipart", "multipart; boundary=\"B\""},
        {"multipart/mixed; boundary=\"old\"", "multipart/mixed; boundary=\"B\""},
    };
    for (const Case& c : cases) {
        CMimeBody body;
        if (c.contentType) body.SetContentType(c.contentType);
        body.SetBoundary("B");
        ASSERT_EQ(body.Fields().size(), 1u);
        EXPECT_EQ(body.Fields()[0].value, c.expectedType);
    }
}

TEST(Boundary, GeneratedWhenNoTextGiven)
{
    CMimeBody body;
    body.SetContentType("multipart/mixed");
    body.SetBoundary();
    const std::string boundary = body.FindField("Content-Type")->FieldParameter("boundary");
    EXPECT_TRUE(IsGeneratedBoundary(boundary));
}

TEST(Boundary, SuccessiveMessagesCycleTheCounter)
{
    int previous = 0;
    for (int i = 0; i < 12; ++i) {
        CMimeBody message;
        message.SetContentType("multipart/mixed");
        message.SetBoundary();
        const int counter = CounterOf(message.FindField("Content-Type")->FieldParameter("boundary"));
        if (previous != 0) {
            EXPECT_EQ(counter, previous % 9 + 1);
        }
        previous = counter;
    }
}
