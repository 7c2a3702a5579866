// Address translation of Notes names under every combination of the
// translation settings: SMTP patterns, address map from CSV or Names.nsf,
// and the display names used when translation is off.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "worker/writers/AddressTranslation.h"

namespace {

struct SMapSource {
    uint8_t csv;
    uint8_t namesNsf;
};
const SMapSource kMapSources[] = {{1, 0}, {0, 1}, {1, 1}};

ExportSettings Settings(uint8_t csv, uint8_t namesNsf, uint8_t pattern, uint32_t index = 2)
{
    ExportSettings settings;
    settings.translateAddresses = 1;
    settings.useCsvMap = csv;
    settings.useNamesNsf = namesNsf;
    settings.useSmtpPattern = pattern;
    settings.smtpPatternIndex = index;
    settings.smtpDomain = u"acme.com";
    settings.addressMap = {
        {u"john smith", u"js@corp.com"},
        {u"jdoe/bar", u"jd@foo.com;jd@bar.com"},
        {u"admin", u"root@acme.com;admin@ops.net"},
    };
    return settings;
}

// Every combination of the settings that Translate and display-name
// conversion can meet.
std::vector<ExportSettings> AllCombinations()
{
    std::vector<ExportSettings> all;
    for (uint8_t csv : {0, 1}) {
        for (uint8_t names : {0, 1}) {
            for (uint8_t pattern : {0, 1}) {
                for (uint32_t index : {0u, 2u, 7u, 9u}) all.push_back(Settings(csv, names, pattern, index));
            }
        }
    }
    return all;
}

}  // namespace

TEST(AddressTranslation, CommonNameOf)
{
    struct Case {
        std::u16string name, expected;
    };
    const Case cases[] = {
        {u"CN=John Smith/OU=Sales/O=Acme", u"John Smith"},
        {u"John Smith/Acme", u""},
        {u"cn=John Smith/O=Acme", u""},
        {u"CN=Admin", u"Admin"},
        {u"O=Acme/CN=Late", u"Late"},
        {u"CN=/O=Acme", u""},
        {u"", u""},
    };
    for (const Case& c : cases) EXPECT_EQ(CAddressTranslator::CommonNameOf(c.name), c.expected);
}

TEST(AddressTranslation, MakeSmtpAddressByPattern)
{
    struct Case {
        std::u16string name;
        uint32_t index;
        std::u16string expected;
    };
    const Case cases[] = {
        {u"John Smith", 0, u"John@acme.com"},         {u"John Smith", 1, u"Smith@acme.com"},
        {u"John Smith", 2, u"John.Smith@acme.com"},   {u"John Smith", 3, u"Smith.John@acme.com"},
        {u"John Smith", 4, u"J.Smith@acme.com"},      {u"John Smith", 5, u"Smith.J@acme.com"},
        {u"John Smith", 6, u"John.S@acme.com"},       {u"John Smith", 7, u"S.John@acme.com"},
        {u"John Smith", 8, u""},                      {u"Admin", 2, u"Admin.SMTP@acme.com"},
        {u"Admin", 4, u"A.SMTP@acme.com"},            {u"Admin", 7, u"S.Admin@acme.com"},
        {u"Mary Ann van Dyke", 2, u"MaryAnnvan.Dyke@acme.com"},
        {u"john smith", 5, u"smith.j@acme.com"},      {u"John ", 6, u"John.@acme.com"},
        {u"J\u00f6rg M\u00fcller", 3, u"M\u00fcller.J\u00f6rg@acme.com"},
    };
    for (const Case& c : cases) {
        const ExportSettings settings = Settings(0, 0, 1, c.index);
        EXPECT_EQ(CAddressTranslator(settings).MakeSmtpAddress(c.name), c.expected) << c.index;
    }
    ExportSettings typed = Settings(0, 0, 1, 2);
    typed.smtpDomain = u"Acme.COM";
    EXPECT_EQ(CAddressTranslator(typed).MakeSmtpAddress(u"A B"), u"A.B@Acme.COM");
}

TEST(AddressTranslation, PickAddress)
{
    struct Case {
        std::u16string value, name, expected;
    };
    const Case cases[] = {
        {u"a@foo.com;b@acme.com", u"CN=John/O=Acme", u"b@acme.com"},
        {u"a@foo.com;b@bar.com", u"CN=John/O=Acme", u"a@foo.com"},
        {u"a@foo.com;b@Acme.com", u"CN=John/O=Acme", u"a@foo.com"},
        {u"nobody;b@acme", u"x/acme", u"b@acme"},
        {u"first;second", u"x", u"first"},
        {u"only@acme.com", u"CN=John/O=Acme", u""},
        {u"", u"CN=John/O=Acme", u""},
        {u"a@foo.com;", u"CN=John/O=Acme", u"a@foo.com"},
    };
    for (const Case& c : cases) EXPECT_EQ(CAddressTranslator::PickAddress(c.value, c.name), c.expected);
}

TEST(AddressTranslation, TranslateToSmtpUnderEverySource)
{
    struct Case {
        std::u16string internet, names;
        std::u16string patternOnly, mapOnly, mapAndPattern;
    };
    const Case cases[] = {
        {u"", u"CN=John Smith/O=Acme", u"John.Smith@acme.com", u"js@corp.com", u"js@corp.com"},
        {u".", u"CN=John Smith/O=Acme", u"John.Smith@acme.com", u"js@corp.com", u"js@corp.com"},
        {u"", u"CN=JOHN SMITH/O=Acme", u"JOHN.SMITH@acme.com", u"js@corp.com", u"js@corp.com"},
        {u"john@x.com", u"CN=John Smith/O=Acme", u"john@x.com", u"john@x.com", u"john@x.com"},
        {u"", u"CN=Jane Doe/O=Acme", u"Jane.Doe@acme.com", u"Jane Doe", u"Jane.Doe@acme.com"},
        {u"", u"CN=Admin/O=Acme", u"Admin.SMTP@acme.com", u"root@acme.com", u"root@acme.com"},
        {u"", u"JDoe/Bar", u"JDoe/Bar", u"jd@bar.com", u"jd@bar.com"},
        {u"", u"jsmith", u"jsmith", u"jsmith", u"jsmith"},
        {u"a@x.com;.", u"CN=A B/O=X;CN=John Smith/O=Acme", u"a@x.com;John.Smith@acme.com",
         u"a@x.com;js@corp.com", u"a@x.com;js@corp.com"},
        {u"a@x.com;.", u"n1;jsmith", u"a@x.com;jsmith", u"a@x.com;jsmith", u"a@x.com;jsmith"},
        {u"", u"CN=A B/O=X;CN=Jane Doe/O=Y", u"A.B@acme.com;Jane.Doe@acme.com", u"A B;Jane Doe",
         u"A.B@acme.com;Jane.Doe@acme.com"},
        {u"a@x.com;b@y.com", u"CN=A B/O=X", u"a@x.com;b@y.com", u"a@x.com;b@y.com", u"a@x.com;b@y.com"},
        {u"a@x.com;.;", u"n1;n2", u"a@x.com", u"a@x.com", u"a@x.com"},
        {u".;.", u"CN=A B/O=X", u"", u"", u""},
        {u"", u"CN=A B/O=X;", u"A.B@acme.com", u"A B", u"A.B@acme.com"},
        {u"x@y.z;", u"CN=John Smith/O=Acme;", u"x@y.z", u"x@y.z", u"x@y.z"},
        {u"", u"", u"", u"", u""},
    };
    for (const Case& c : cases) {
        const ExportSettings pattern = Settings(0, 0, 1);
        EXPECT_EQ(CAddressTranslator(pattern).TranslateToSmtp(c.internet, c.names), c.patternOnly) << "pattern";
        for (const SMapSource& source : kMapSources) {
            const ExportSettings mapOnly = Settings(source.csv, source.namesNsf, 0);
            const ExportSettings both = Settings(source.csv, source.namesNsf, 1);
            EXPECT_EQ(CAddressTranslator(mapOnly).TranslateToSmtp(c.internet, c.names), c.mapOnly) << "map";
            EXPECT_EQ(CAddressTranslator(both).TranslateToSmtp(c.internet, c.names), c.mapAndPattern) << "both";
        }
        const ExportSettings none = Settings(0, 0, 0);
        EXPECT_EQ(CAddressTranslator(none).TranslateToSmtp(c.internet, c.names), u"") << "no source";
    }
}

TEST(AddressTranslation, PatternIndexReachesResolvedNames)
{
    for (const SMapSource& source : kMapSources) {
        const ExportSettings settings = Settings(source.csv, source.namesNsf, 1, 4);
        EXPECT_EQ(CAddressTranslator(settings).TranslateToSmtp(u".;.", u"CN=Jane Doe/O=X;CN=Ann Lee/O=Y"),
                  u"J.Doe@acme.com;A.Lee@acme.com");
    }
    const ExportSettings outOfRange = Settings(0, 0, 1, 8);
    EXPECT_EQ(CAddressTranslator(outOfRange).TranslateToSmtp(u"", u"CN=Jane Doe/O=X"), u"");
    EXPECT_EQ(CAddressTranslator(outOfRange).TranslateToSmtp(u"", u"jane"), u"jane");
}

TEST(AddressTranslation, ToDisplayNamesIgnoresTranslationSettings)
{
    struct Case {
        std::u16string internet, names, expected;
    };
    const Case cases[] = {
        {u"", u"CN=John Smith/O=Acme", u"John Smith"},
        {u"john@x.com", u"CN=John Smith/O=Acme", u"john@x.com"},
        {u".", u"CN=A B/O=X", u"A B"},
        {u"CN=E F/O=X", u"whatever", u"whatever"},
        {u"a@x.com;.", u"CN=A B/O=X;CN=C D/O=X", u"a@x.com;C D"},
        {u"CN=E F/O=X;.", u"n1;plain", u"E F;plain"},
        {u"a@x.com;.;b@y.com", u"n1;n2", u"a@x.com;b@y.com"},
        {u"a@x.com;CN=E F/O=X", u"n1", u"a@x.com;E F"},
        {u"", u"jsmith", u"jsmith"},
        {u"", u"CN=A B/O=X;CN=C D/O=X", u"A B"},
        {u"", u"", u""},
        {u".;.", u"n1", u""},
        {u"CN=/O=X;.", u"a;b", u"CN=/O=X;b"},
        {u"a@x.com;", u"CN=A B/O=X;", u"a@x.com"},
    };
    for (const ExportSettings& settings : AllCombinations()) {
        const CAddressTranslator translator(settings);
        for (const Case& c : cases) EXPECT_EQ(translator.ToDisplayNames(c.internet, c.names), c.expected);
    }
}
