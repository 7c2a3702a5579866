// ContactRecord: what the contact reader takes from a Notes "Person" or
// "Group" document for the vCard writer, the group writer and the store
// properties the mail-folder pass sets. Text fields carry the names of the
// Notes items that fill them; every text is empty when the document lacks
// the item.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "worker/writers/NotesIdentity.h"

struct ContactRecord {
    std::u16string FullNameInput, CompanyName, JobTitle, FirstName, MiddleInitial, LastName, Title, Suffix;
    std::u16string MailAddress;                        // "email_1" or "MailAddress"
    std::u16string MiscPhone1, MiscPhone2, MiscPhone3; // "miscPhoneN" or "MiscPhoneN"
    std::u16string email_5, primaryPhoneNumber, OfficePhoneNumber, PhoneNumber, CellPhoneNumber,
        OfficeFAXPhoneNumber, PhoneNumber_6, PhoneNumber_8, HomeFaxPhoneNumber, PersPager, PhoneNumber_9,
        PhoneNumber_10, SametimeLogin;
    std::u16string Department, Location, Manager, Assistant, Website, Blogsite, Spouse, Children, Custom1,
        Custom2, Custom3;
    std::u16string Birthday, Anniversary;              // Notes date texts joined with ";"
    std::u16string OfficeStreetAddress, OfficeCity, OfficeState, OfficeZip, OfficeCountry;
    std::u16string StreetAddress, City, State, Zip, Country;
    std::u16string OtherStreetAddress, OtherCity, OtherState, OtherZip, OtherCountry;
    std::u16string Categories, ShortName, AltFullNameSort, Comment;
    std::u16string ListName, ListDescription, Members, ListOwner;  // groups
    // "primaryAddress": 1 home, 2 business (also any other value), 3 other;
    // 0 when the document has no such item.
    int32_t preferredAddress = 0;
    std::u16string attachmentNames;  // each name followed by ", "
    std::u16string htmlText;         // the whole document as HTML
    NotesIdentity identity;          // created and modified times, for the store

    // All texts empty, preferredAddress 0.
    void Reset() { *this = ContactRecord(); }
};

// The text field an item name fills, compared exactly (case included);
// nothing for names the record does not keep and for "primaryAddress".
std::u16string* ContactFieldFor(ContactRecord& record, std::u16string_view itemName);

// The preferred-address number of a "primaryAddress" value.
int32_t PreferredAddressOf(std::u16string_view value);
