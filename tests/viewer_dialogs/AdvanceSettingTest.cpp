// The advanced settings' logic: first states and the reset at opening, the
// enabling rules, saving a folder mapping, and the steps of OK with the
// settings each leaves behind when a later step shows a message.
#include <gtest/gtest.h>

#include "platform/notes/LNNotes.h"
#include "tests/viewer_dialogs/DialogTestSupport.h"
#include "tools/nsfdb/Description.h"
#include "viewer/dialogs/AdvanceSettingModel.h"

namespace {

class AdvanceSettingTest : public ::testing::Test {
protected:
    void Open(uint8_t includeSystemViews) {
        settings.includeSystemViews = includeSystemViews;
        model.Initialize();
    }
    dialogtest::CTempDir dir;
    ExportSettings settings;
    LNNotesSession session;
    LNDatabase database;
    int waits = 0;
    CAdvanceSettingModel model{settings, session, database, [this] { ++waits; }};
};

TEST_F(AdvanceSettingTest, OpeningResetsTranslationAndMappingEvenWithoutOk) {
    settings.translateAddresses = settings.useSmtpPattern = settings.useCsvMap = 1;
    settings.useNamesNsf = settings.useFolderMapping = 1;
    settings.smtpPatternIndex = 5;
    settings.smtpDomain = u"x.com";
    settings.addressMap[u"a"] = u"b";
    settings.folderMapping[u"Old"] = u"New";
    Open(0);
    ExportSettings expected = settings;
    expected.translateAddresses = expected.useSmtpPattern = expected.useCsvMap = 0;
    expected.useNamesNsf = expected.useFolderMapping = 0;
    expected.smtpPatternIndex = 0;
    expected.smtpDomain.clear();
    expected.addressMap.clear();
    expected.folderMapping = {{u"Inbox", u""},    {u"Drafts", u""},   {u"Sent Items", u""},
                              {u"Trash", u""},    {u"Junk E-mail", u""}, {u"Tasks", u""},
                              {u"Contacts", u""}, {u"Calendar", u""}, {u"Journal", u""}};
    EXPECT_EQ(settings, expected);
    EXPECT_TRUE(model.checks.addNsf && model.checks.addCsv && model.checks.smtpManual);
    EXPECT_FALSE(model.checks.translation || model.checks.folderMapping || model.checks.removeEncryption);
}

TEST_F(AdvanceSettingTest, ExcludeAllFolderFollowsTheSystemViewsOption) {
    Open(1);  // window mode: system views are listed
    EXPECT_FALSE(model.checks.excludeAllFolder);
    EXPECT_FALSE(model.Enabling().excludeAllFolder);
    settings.includeAllView = 1;
    EXPECT_EQ(model.Confirm({}), u"");
    EXPECT_EQ(settings.includeAllView, 1u);

    Open(0);  // save dialog only
    EXPECT_TRUE(model.checks.excludeAllFolder);
    EXPECT_TRUE(model.Enabling().excludeAllFolder);
    EXPECT_EQ(model.Confirm({}), u"");
    EXPECT_EQ(settings.includeAllView, 0u);
    model.checks.excludeAllFolder = false;
    model.checks.removeEncryption = model.checks.saveInternetHeader = true;
    EXPECT_EQ(model.Confirm({}), u"");
    EXPECT_EQ(settings.includeAllView, 1u);
    EXPECT_EQ(settings.removeEncryption, 1u);
    EXPECT_EQ(settings.saveDocLinks, 0u);
    EXPECT_EQ(settings.saveInternetHeaders, 1u);
}

TEST_F(AdvanceSettingTest, EnablingRules) {
    Open(0);
    struct Case {
        bool translation, nsf, csv, smtp, mapping;
        AdvanceSettingEnabling expected;
    };
    const Case cases[] = {
        {false, true, true, true, false, {true, false, false, false, false, false}},
        {true, true, true, true, false, {true, true, true, true, true, false}},
        {true, false, true, false, true, {true, true, false, true, false, true}},
        {false, false, false, false, true, {true, false, false, false, false, true}},
    };
    for (const Case& c : cases) {
        model.checks.translation = c.translation;
        model.checks.addNsf = c.nsf;
        model.checks.addCsv = c.csv;
        model.checks.smtpManual = c.smtp;
        model.checks.folderMapping = c.mapping;
        const AdvanceSettingEnabling e = model.Enabling();
        EXPECT_EQ(e.sourceChecks, c.expected.sourceChecks);
        EXPECT_EQ(e.nsfControls, c.expected.nsfControls);
        EXPECT_EQ(e.csvControls, c.expected.csvControls);
        EXPECT_EQ(e.smtpControls, c.expected.smtpControls);
        EXPECT_EQ(e.mappingControls, c.expected.mappingControls);
    }
}

TEST_F(AdvanceSettingTest, SavingAFolderMapping) {
    Open(0);
    const char16_t* rejected[] = {u"", u"a/b", u"a:b", u"a*", u"a?", u"<a", u"a>", u"a|b", u"a\"b", u"a\\b"};
    for (const char16_t* name : rejected) EXPECT_EQ(model.SaveMapping(0, name), kInvalidFolderNameMessage);
    EXPECT_EQ(model.SaveMapping(-1, u"Mail"), u"");
    EXPECT_EQ(model.SaveMapping(0, u"Posteingang"), kMappingSavedMessage);
    EXPECT_EQ(model.MappedName(0), u"Posteingang");
    EXPECT_EQ(model.MappedName(2), u"");
    EXPECT_EQ(settings.folderMapping.at(u"Inbox"), u"Posteingang");
}

TEST_F(AdvanceSettingTest, FolderMappingNeedsOneSavedName) {
    Open(0);
    model.checks.folderMapping = true;
    EXPECT_EQ(model.Confirm({}), kNoFolderMappingMessage);
    EXPECT_EQ(settings.useFolderMapping, 0);
    model.SaveMapping(8, u"Diary");
    EXPECT_EQ(model.Confirm({}), u"");
    EXPECT_EQ(settings.useFolderMapping, 1);
}

TEST_F(AdvanceSettingTest, TranslationStepsStopAtTheirMessages) {
    Open(0);
    model.checks.translation = true;
    AdvanceSettingInputs inputs;
    inputs.domain = u"example";
    inputs.patternIndex = 2;
    EXPECT_EQ(model.Confirm(inputs), kInvalidDomainMessage);
    EXPECT_EQ(settings.translateAddresses, 1);
    EXPECT_EQ(settings.useSmtpPattern, 0);

    inputs.domain = u"example.com";
    inputs.csvPath = dir.Path("missing.csv");
    EXPECT_EQ(model.Confirm(inputs), kCsvCannotOpenMessage);
    EXPECT_EQ(settings.useSmtpPattern, 1);
    EXPECT_EQ(settings.smtpPatternIndex, 2u);
    EXPECT_EQ(settings.smtpDomain, u"example.com");

    dir.Write("bad.csv", "Ann,ann@a.com\nno comma\n");
    inputs.csvPath = dir.Path("bad.csv");
    EXPECT_EQ(model.Confirm(inputs), kCsvNotValidMessage);
    EXPECT_EQ(settings.useCsvMap, 1);
    EXPECT_EQ(settings.addressMap.at(u"ann"), u"ann@a.com");

    dir.Write("good.csv", "Bob,bob@b.com\n");
    inputs.csvPath = dir.Path("good.csv");
    inputs.nsfPath = dir.Path("missing.nsf");
    EXPECT_EQ(model.Confirm(inputs), kNsfCannotAccessMessage);
    EXPECT_EQ(waits, 0);
    EXPECT_EQ(settings.useNamesNsf, 0);

    model.checks.addNsf = false;
    EXPECT_EQ(model.Confirm(inputs), u"");
    EXPECT_EQ(settings.addressMap, (SettingsMap{{u"ann", u"ann@a.com"}, {u"bob", u"bob@b.com"}}));
}

TEST_F(AdvanceSettingTest, NamesBookIsReadAfterThePleaseWaitMessage) {
    nsfdb::BuildDatabase(nsfdb::Json::parse(R"({"forms": {"Person": [{"name": "FullNameInput", "type": "text"},
        {"name": "MailAddress", "type": "text"}]},
        "documents": [{"form": "Person", "items": {"FullNameInput": "Ann Lee", "MailAddress": "ann@a.com"}}]})"),
                         dir.dir, dir.dir / "names.nsf");
    Open(0);
    model.checks.translation = true;
    model.checks.addCsv = model.checks.smtpManual = false;
    AdvanceSettingInputs inputs;
    inputs.nsfPath = dir.Path("names.nsf");
    EXPECT_EQ(model.Confirm(inputs), u"");
    EXPECT_EQ(waits, 1);
    EXPECT_EQ(settings.useNamesNsf, 1);
    EXPECT_EQ(settings.useSmtpPattern, 0);
    EXPECT_EQ(settings.addressMap, (SettingsMap{{u"ann lee", u"ann@a.com"}}));
}

TEST_F(AdvanceSettingTest, TranslationWithoutAnySourceIsRefused) {
    Open(0);
    model.checks.translation = true;
    model.checks.addNsf = model.checks.addCsv = model.checks.smtpManual = false;
    EXPECT_EQ(model.Confirm({}), kNoTranslationOptionMessage);
    EXPECT_EQ(settings.translateAddresses, 1);
}

TEST(SampleCsv, LiesInTheProgramDirectory) {
    const std::u16string path = SampleCsvPath();
    ASSERT_GE(path.size(), 11u);
    EXPECT_EQ(path.substr(path.size() - 11), u"/sample.csv");
}

}  // namespace
