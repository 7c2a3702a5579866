#include <gtest/gtest.h>

#include "tests/core/TestBytes.h"
#include "worker/core/ExportSettings.h"

using namespace testbytes;

namespace {

ExportSettings EverythingSet() {
    ExportSettings s;
    s.counterSet = 1;
    s.includeSystemViews = 1;
    s.exportRequested = 0;
    s.destinationFolder = u"C:/Pst/Müller";
    s.reservedPath = u"";
    s.logFilePath = u"/work/KelvroNSF2PST_log_.txt";
    s.includeAllView = 0;
    s.reservedFlagA = 7;
    s.reservedFlagB = 8;
    s.reservedFlagC = 9;
    s.translateAddresses = 1;
    s.useSmtpPattern = 1;
    s.smtpPatternIndex = 3;
    s.smtpDomain = u"пример.рф";
    s.useCsvMap = 1;
    s.useNamesNsf = 0;
    s.useFolderMapping = 1;
    s.removeEncryption = 1;
    s.saveDocLinks = 1;
    s.saveInternetHeaders = 1;
    s.addressMap = {{u"zed", u"z@x.org"}, {u"Ábel", u"a@x.org"}, {u"bob", u"b@x.org"}};
    s.folderMapping = {{u"Inbox", u"Posteingang"}, {u"Drafts", u"Entwürfe"}};
    s.dateRanges = {{43831.5, 0, 43861.25, 1}, {44000.0, 2, 44000.0, 0}};
    return s;
}

// Every field in file order, written out by hand.
std::string EverythingSetBytes() {
    auto str = [](std::u16string_view s) { return U32(static_cast<uint32_t>(s.size())) + W(s); };
    std::string b;
    b += U8(1) + U8(1) + U8(0);
    b += str(u"C:/Pst/Müller") + str(u"") + str(u"/work/KelvroNSF2PST_log_.txt");
    b += U32(0) + U32(7) + U32(8) + U32(9);
    b += U8(1) + U8(1) + U32(3) + str(u"пример.рф");
    b += U8(1) + U8(0) + U8(1);
    b += U32(1) + U32(1) + U32(1);
    // ordinal UTF-16 order: "bob" < "zed" < "Ábel" (U+00C1)
    b += U64(3) + str(u"bob") + str(u"b@x.org") + str(u"zed") + str(u"z@x.org") + str(u"Ábel") + str(u"a@x.org");
    b += U64(2) + str(u"Drafts") + str(u"Entwürfe") + str(u"Inbox") + str(u"Posteingang");
    b += U64(2) + F64(43831.5) + U32(0) + F64(43861.25) + U32(1) + F64(44000.0) + U32(2) + F64(44000.0) + U32(0);
    return b;
}

}  // namespace

TEST(ExportSettingsFile, WritesEveryFieldInOrder) {
    CScratchDir dir;
    ASSERT_TRUE(WriteExportSettings(dir.File(u"config.txt"), EverythingSet()));
    EXPECT_EQ(ReadAll(dir.File(u"config.txt")), EverythingSetBytes());
}

TEST(ExportSettingsFile, ReadsBackEqual) {
    CScratchDir dir;
    ASSERT_TRUE(WriteExportSettings(dir.File(u"config.txt"), EverythingSet()));
    ExportSettings read;
    ASSERT_TRUE(ReadExportSettings(dir.File(u"config.txt"), read));
    EXPECT_EQ(read, EverythingSet());
}

TEST(ExportSettingsFile, RepeatedMapKeyKeepsFirstValue) {
    auto str = [](std::u16string_view s) { return U32(static_cast<uint32_t>(s.size())) + W(s); };
    std::string bytes = SerializeExportSettings(ExportSettings{});
    // Replace the empty address map (first u64 count after the fixed part) with a duplicated key.
    ExportSettings empty;
    std::string head = bytes.substr(0, bytes.size() - 24);
    std::string withMap = head + U64(2) + str(u"k") + str(u"first") + str(u"k") + str(u"second") + U64(0) + U64(0);
    ExportSettings read;
    ASSERT_TRUE(ParseExportSettings(withMap, read));
    EXPECT_EQ(read.addressMap.at(u"k"), u"first");
}

TEST(ExportSettingsFile, EmptyCollectionsAndEqualBounds) {
    ExportSettings s;
    s.dateRanges = {{45000.0, 0, 45000.0, 0}};
    ExportSettings read;
    ASSERT_TRUE(ParseExportSettings(SerializeExportSettings(s), read));
    EXPECT_TRUE(read.addressMap.empty());
    EXPECT_TRUE(read.folderMapping.empty());
    ASSERT_EQ(read.dateRanges.size(), 1u);
    EXPECT_EQ(read.dateRanges[0].start, read.dateRanges[0].end);
}

TEST(ExportSettingsFile, CutAtEveryOffsetKeepsDefaults) {
    const std::string bytes = EverythingSetBytes();
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        ExportSettings read;
        EXPECT_FALSE(ParseExportSettings(std::string_view(bytes).substr(0, cut), read)) << "cut at " << cut;
        EXPECT_EQ(read, ExportSettings{}) << "cut at " << cut;
    }
}

TEST(ExportSettingsFile, HugeCountsAreRefused) {
    ExportSettings defaults;
    std::string bytes = SerializeExportSettings(defaults);
    // Claim 2^60 address-map pairs, then 2^32-1 characters in a string.
    std::string hugeMap = bytes.substr(0, bytes.size() - 24) + U64(1ull << 60) + U64(0) + U64(0);
    ExportSettings read;
    EXPECT_FALSE(ParseExportSettings(hugeMap, read));
    std::string hugeString = U8(0) + U8(0) + U8(1) + U32(0xFFFFFFFFu) + "ab";
    EXPECT_FALSE(ParseExportSettings(hugeString, read));
    EXPECT_EQ(read, defaults);
}

TEST(ExportSettingsFile, MissingFileIsNeverCreated) {
    CScratchDir dir;
    ExportSettings read;
    EXPECT_FALSE(ReadExportSettings(dir.File(u"config.txt"), read));
    EXPECT_FALSE(sys::FileExists(dir.File(u"config.txt")));
    EXPECT_EQ(read.exportRequested, 1);
    EXPECT_EQ(read.includeAllView, 1u);
}
