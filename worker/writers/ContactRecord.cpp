#include "worker/writers/ContactRecord.h"

namespace {

struct CContactItem {
    std::u16string_view itemName;
    std::u16string ContactRecord::*field;
};

using R = ContactRecord;

// Item names as Notes spells them on the Person and Group forms. Two names
// feed MailAddress and each MiscPhoneN; the reader copies in form order, so
// the later field on the form wins.
constexpr CContactItem contactItems[] = {
    {u"FullNameInput", &R::FullNameInput},
    {u"CompanyName", &R::CompanyName},
    {u"JobTitle", &R::JobTitle},
    {u"FirstName", &R::FirstName},
    {u"MiddleInitial", &R::MiddleInitial},
    {u"LastName", &R::LastName},
    {u"Title", &R::Title},
    {u"Suffix", &R::Suffix},
    {u"email_1", &R::MailAddress},
    {u"MailAddress", &R::MailAddress},
    {u"miscPhone1", &R::MiscPhone1},
    {u"MiscPhone1", &R::MiscPhone1},
    {u"miscPhone2", &R::MiscPhone2},
    {u"MiscPhone2", &R::MiscPhone2},
    {u"miscPhone3", &R::MiscPhone3},
    {u"MiscPhone3", &R::MiscPhone3},
    {u"email_5", &R::email_5},
    {u"primaryPhoneNumber", &R::primaryPhoneNumber},
    {u"OfficePhoneNumber", &R::OfficePhoneNumber},
    {u"PhoneNumber", &R::PhoneNumber},
    {u"CellPhoneNumber", &R::CellPhoneNumber},
    {u"OfficeFAXPhoneNumber", &R::OfficeFAXPhoneNumber},
    {u"PhoneNumber_6", &R::PhoneNumber_6},
    {u"PhoneNumber_8", &R::PhoneNumber_8},
    {u"HomeFaxPhoneNumber", &R::HomeFaxPhoneNumber},
    {u"PersPager", &R::PersPager},
    {u"PhoneNumber_9", &R::PhoneNumber_9},
    {u"PhoneNumber_10", &R::PhoneNumber_10},
    {u"SametimeLogin", &R::SametimeLogin},
    {u"Department", &R::Department},
    {u"Location", &R::Location},
    {u"Manager", &R::Manager},
    {u"Assistant", &R::Assistant},
    {u"Website", &R::Website},
    {u"Blogsite", &R::Blogsite},
    {u"Spouse", &R::Spouse},
    {u"Children", &R::Children},
    {u"Custom1", &R::Custom1},
    {u"Custom2", &R::Custom2},
    {u"Custom3", &R::Custom3},
    {u"Birthday", &R::Birthday},
    {u"Anniversary", &R::Anniversary},
    {u"OfficeStreetAddress", &R::OfficeStreetAddress},
    {u"OfficeCity", &R::OfficeCity},
    {u"OfficeState", &R::OfficeState},
    {u"OfficeZip", &R::OfficeZip},
    {u"OfficeCountry", &R::OfficeCountry},
    {u"StreetAddress", &R::StreetAddress},
    {u"City", &R::City},
    {u"State", &R::State},
    {u"Zip", &R::Zip},
    {u"Country", &R::Country},
    {u"OtherStreetAddress", &R::OtherStreetAddress},
    {u"OtherCity", &R::OtherCity},
    {u"OtherState", &R::OtherState},
    {u"OtherZip", &R::OtherZip},
    {u"OtherCountry", &R::OtherCountry},
    {u"Categories", &R::Categories},
    {u"ShortName", &R::ShortName},
    {u"AltFullNameSort", &R::AltFullNameSort},
    {u"Comment", &R::Comment},
    {u"ListName", &R::ListName},
    {u"ListDescription", &R::ListDescription},
    {u"Members", &R::Members},
    {u"ListOwner", &R::ListOwner},
};

}  // namespace

std::u16string* ContactFieldFor(ContactRecord& record, std::u16string_view itemName) {
    for (const CContactItem& item : contactItems) {
        if (item.itemName == itemName) return &(record.*item.field);
    }
    return nullptr;
}

int32_t PreferredAddressOf(std::u16string_view value) {
    if (value == u"Home") return 1;
    if (value == u"Other") return 3;
    return 2;
}
