#include "viewer/dialogs/AddressSources.h"

#include <algorithm>
#include <cwctype>
#include <vector>

#include "platform/notes/LNNotes.h"
#include "platform/sys/Files.h"
#include "platform/sys/Text.h"

namespace {

bool IsBlank(char16_t c) { return std::iswspace(static_cast<wint_t>(c)) != 0; }
bool IsAsciiLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }
bool IsAsciiDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

template <class Pred>
std::u16string_view TrimLeft(std::u16string_view text, Pred drop) {
    while (!text.empty() && drop(text.front())) text.remove_prefix(1);
    return text;
}

template <class Pred>
std::u16string_view TrimRight(std::u16string_view text, Pred drop) {
    while (!text.empty() && drop(text.back())) text.remove_suffix(1);
    return text;
}

template <class Pred>
std::u16string_view Trim(std::u16string_view text, Pred drop) {
    return TrimRight(TrimLeft(text, drop), drop);
}

std::u16string_view TrimBlanks(std::u16string_view text) { return Trim(text, IsBlank); }

// Blanks, then commas, then double quotes at both ends, repeated while that
// removes something: the blanks a removed comma or quote uncovers go too, so
// a quoted name followed by ", address" gives the same address as an
// unquoted one.
std::u16string CleanValue(std::u16string_view value) {
    for (size_t before = value.size() + 1; value.size() != before;) {
        before = value.size();
        value = TrimBlanks(value);
        value = Trim(value, [](char16_t c) { return c == u','; });
        value = Trim(value, [](char16_t c) { return c == u'"'; });
    }
    return std::u16string(value);
}

std::u16string Text(const LNString& notesText) { return sys::LmbcsToUtf16(notesText.GetBytes()); }

struct PersonFields {
    std::u16string fullName, firstName, middleInitial, lastName, address;
    bool fullSet = false, firstSet = false, middleSet = false, lastSet = false;
    bool Complete() const { return fullSet && firstSet && middleSet && lastSet && !address.empty(); }
};

// The item's text: plain text for a rich-text field, else the values joined
// with ";"; empty when the document has no such item.
std::u16string FieldValue(const LNDocument& doc, const LNFormField& field) {
    const LNString name = field.GetName();
    if (!doc.HasItem(name)) return {};
    if (field.GetType() == LNFORMFIELDTYPE_RICHTEXT) {
        LNRichText body;
        if (doc.GetItem(name, &body) != LNNOERROR) return {};
        return Text(body.GetText());
    }
    LNItem item;
    if (doc.GetItem(name, &item) != LNNOERROR) return {};
    LNText text;
    if (item.GetType() == LNITEMTYPE_TEXT) {
        text = item;
        return Text(text.GetText());
    }
    if (item.GetType() == LNITEMTYPE_DATETIMES) return Text(LNDatetimes(item).GetText());
    return {};
}

void TakeField(PersonFields& person, const std::string& name, const std::u16string& value) {
    if (name == "FullNameInput") {
        person.fullName = value;
        person.fullSet = true;
    } else if (name == "FirstName") {
        person.firstName = value;
        person.firstSet = true;
    } else if (name == "MiddleInitial") {
        person.middleInitial = value;
        person.middleSet = true;
    } else if (name == "LastName") {
        person.lastName = value;
        person.lastSet = true;
    } else if (person.address.empty() && !value.empty()) {
        person.address = value;
    }
}

bool IsPersonField(const std::string& name) {
    static const char* const names[] = {"FullNameInput", "FirstName", "MiddleInitial", "LastName",
                                        "email_1",       "MailAddress", "miscPhone1",  "MiscPhone1"};
    return std::find(std::begin(names), std::end(names), name) != std::end(names);
}

void AddPerson(SettingsMap& map, const PersonFields& person) {
    if (person.address.empty()) return;
    if (!person.fullName.empty()) AddAddress(map, sys::ToLower(person.fullName), person.address);
    std::u16string joined;
    for (const std::u16string* part : {&person.firstName, &person.middleInitial, &person.lastName}) {
        if (part->empty()) continue;
        if (!joined.empty()) joined += u' ';
        joined += *part;
    }
    joined = std::u16string(TrimRight(joined, IsBlank));
    if (!joined.empty()) AddAddress(map, sys::ToLower(joined), person.address);
}

void ReadPerson(LNDocument& doc, SettingsMap& map) {
    LNForm form;
    if (doc.GetFormNote(&form) != LNNOERROR || form.Open() != LNNOERROR) return;
    std::vector<LNFormField> fields;
    form.GetFormFields(&fields, LNTYPE_FORM_FIELD);
    PersonFields person;
    for (const LNFormField& field : fields) {
        const std::string name = field.GetName().GetBytes();
        if (!IsPersonField(name)) continue;
        TakeField(person, name, FieldValue(doc, field));
        if (person.Complete()) break;
    }
    AddPerson(map, person);
    form.Close();
}

}  // namespace

bool IsValidDomainName(std::u16string_view domain) {
    const size_t dot = domain.find(u'.');
    if (domain.empty() || dot == std::u16string_view::npos) return false;
    const std::u16string_view label = domain.substr(0, dot);
    const std::u16string_view ending = domain.substr(dot + 1);
    if (ending.size() < 2 || !std::all_of(ending.begin(), ending.end(), IsAsciiLetter)) return false;
    return std::all_of(label.begin(), label.end(), [](char16_t c) {
        return IsAsciiLetter(c) || IsAsciiDigit(c) || c == u'-' || c == u'_';
    });
}

ECsvLine ParseCsvLine(std::u16string_view line, std::u16string& key, std::u16string& value) {
    std::u16string_view rawKey, rawValue;
    if (!line.empty() && line.front() == u'"') {
        line.remove_prefix(1);
        const size_t quote = line.find(u'"');
        if (quote == std::u16string_view::npos) return ECsvLine::Ignored;
        rawKey = TrimRight(line.substr(0, quote), [](char16_t c) { return IsBlank(c) || c == u'"'; });
        rawKey = TrimLeft(rawKey, IsBlank);
        rawValue = line.substr(quote + 1);
    } else {
        const size_t comma = line.find(u',');
        if (comma == std::u16string_view::npos) return ECsvLine::Invalid;
        rawKey = TrimBlanks(line.substr(0, comma));
        rawValue = line.substr(comma + 1);
    }
    key = sys::ToLower(rawKey);
    value = CleanValue(rawValue);
    return ECsvLine::Entry;
}

ECsvResult ReadCsvText(std::u16string_view text, SettingsMap& map) {
    while (!text.empty()) {
        const size_t end = text.find(u'\n');
        std::u16string_view line = text.substr(0, end);
        text = end == std::u16string_view::npos ? std::u16string_view{} : text.substr(end + 1);
        if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
        std::u16string key, value;
        switch (ParseCsvLine(line, key, value)) {
        case ECsvLine::Invalid: return ECsvResult::NotValid;
        case ECsvLine::Ignored: break;
        case ECsvLine::Entry: map[key] = value; break;
        }
    }
    return ECsvResult::Read;
}

ECsvResult ReadCsvFile(const std::u16string& path, SettingsMap& map, uint8_t& useCsvMap) {
    std::string bytes;
    if (!sys::ReadWholeFile(path, bytes)) return ECsvResult::CannotOpen;
    useCsvMap = 1;
    return ReadCsvText(sys::AnsiToUtf16(bytes), map);
}

void AddAddress(SettingsMap& map, const std::u16string& key, const std::u16string& address) {
    auto [it, inserted] = map.try_emplace(key, address);
    if (!inserted) it->second += u";" + address;
}

bool ReadNamesAddressBook(LNNotesSession& session, LNDatabase& database, const std::u16string& path,
                          SettingsMap& map, uint8_t& useNamesNsf) {
    session.Initialize();
    const std::string ansiPath = sys::Utf16ToAnsi(path);
    if (session.GetDatabase(ansiPath.c_str(), &database, "") != LNNOERROR || database.Open() != LNNOERROR) {
        session.Term();
        return false;
    }
    useNamesNsf = 1;
    try {
        std::vector<LNDocument> documents;
        database.GetDocuments(&documents);
        for (LNDocument& doc : documents) {
            if (doc.Open(0) != LNNOERROR) continue;
            if (doc.GetFormName().GetBytes() == "Person") ReadPerson(doc, map);
            doc.Close();
        }
    } catch (LNSTATUS) {
        // The entries read so far stay.
    }
    database.Close();
    session.Term();
    return true;
}
