// vCard import into a contact: names, organisation, e-mail slots, the three
// address lines (home and postal with six components, work with seven, the
// extra one being the office location), telephones, web page, people around
// the contact, birthday and anniversary, the note and an inline photo.
// Values the property puts set before the import are replaced only where
// the card has a value.
#include "platform/store/Attachments.h"
#include "platform/store/ContentLines.h"
#include "platform/store/DispatchArgs.h"
#include "platform/store/ItemCommon.h"
#include "platform/store/ItemModel.h"
#include "platform/store/MapiTags.h"
#include "platform/store/StoreText.h"

namespace store {
namespace {

void SetIfText(CPropertyBag& p, uint32_t tag, const std::u16string& text) {
    if (!Trim(text).empty()) p.Set(tag, text);
}
void SetNamedIfText(CPropertyBag& p, uint32_t lid, const std::u16string& text) {
    if (!Trim(text).empty()) p.SetNamed(Address(lid, ptString), text);
}

std::vector<std::u16string> Components(const std::u16string& value, size_t count) {
    std::vector<std::u16string> parts = Split(value, u';');
    parts.resize(std::max(parts.size(), count));
    return parts;
}

// "19801231" (also "1980-12-31"): the day at noon UTC and the local form at midnight.
void SetCardDate(CPropertyBag& p, uint32_t tag, uint32_t localLid, const std::string& value) {
    std::string digits;
    for (char c : value)
        if (c >= '0' && c <= '9') digits.push_back(c);
        else if (c != '-') break;
    if (digits.size() != 8) return;
    int y = std::stoi(digits.substr(0, 4)), m = std::stoi(digits.substr(4, 2)), d = std::stoi(digits.substr(6, 2));
    CFileTime midnight, noon;
    if (!MakeUtcFileTime(y, m, d, 0, 0, 0, midnight) || !MakeUtcFileTime(y, m, d, 12, 0, 0, noon)) return;
    p.Set(tag, noon);
    p.SetNamed(Address(localLid, ptTime), midnight);
}

struct CCardState {
    int workVoice = 0;
    int homeVoice = 0;
};

void ApplyAddress(CPropertyBag& p, const CContentLine& line) {
    std::u16string value = DecodeValue(line);
    if (line.HasParamValue("TYPE", "WORK") || line.HasBareParam("WORK")) {
        auto c = Components(value, 7);
        SetIfText(p, tagOfficeLocation, c[1]);
        SetNamedIfText(p, 0x8045, c[2]);
        SetNamedIfText(p, 0x8046, c[3]);
        SetNamedIfText(p, 0x8047, c[4]);
        SetNamedIfText(p, 0x8048, c[5]);
        SetNamedIfText(p, 0x8049, c[6]);
        return;
    }
    auto c = Components(value, 6);
    bool home = line.HasParamValue("TYPE", "HOME") || line.HasBareParam("HOME");
    SetIfText(p, home ? tagHomeAddressStreet : tagOtherAddressStreet, c[1]);
    SetIfText(p, home ? tagHomeAddressCity : tagOtherAddressCity, c[2]);
    SetIfText(p, home ? tagHomeAddressState : tagOtherAddressState, c[3]);
    SetIfText(p, home ? tagHomeAddressPostalCode : tagOtherAddressPostalCode, c[4]);
    SetIfText(p, home ? tagHomeAddressCountry : tagOtherAddressCountry, c[5]);
}

void ApplyTelephone(CPropertyBag& p, const CContentLine& line, CCardState& state) {
    std::u16string number = DecodeValue(line);
    auto is = [&](const char* t) { return line.HasParamValue("TYPE", t) || line.HasBareParam(t); };
    if (is("ASSISTANT")) SetIfText(p, tagAssistantTelephone, number);
    else if (is("WORK") && is("FAX")) SetIfText(p, tagBusinessFax, number);
    else if (is("WORK")) SetIfText(p, state.workVoice++ == 0 ? tagBusinessTelephone : tagBusiness2Telephone, number);
    else if (is("HOME") && is("FAX")) SetIfText(p, tagHomeFax, number);
    else if (is("HOME")) SetIfText(p, state.homeVoice++ == 0 ? tagHomeTelephone : tagHome2Telephone, number);
    else if (is("CELL")) SetIfText(p, tagMobileTelephone, number);
    else if (is("MSG")) SetIfText(p, tagOtherTelephone, number);
    else if (is("PAGER")) SetIfText(p, tagPagerTelephone, number);
    else if (is("PREF")) SetIfText(p, tagPrimaryTelephone, number);
    else SetIfText(p, tagOtherTelephone, number);
}

void ApplyCardLine(CMessageData& data, const CContentLine& line, CCardState& state) {
    CPropertyBag& p = data.props;
    const std::string& n = line.name;
    if (n == "N") {
        // Values already put are kept.
        auto c = Components(DecodeValue(line), 5);
        // Commas of the family name were written as separators: extra leading
        // components belong to it.
        while (c.size() > 5) {
            c[0] += u"," + c[1];
            c.erase(c.begin() + 1);
        }
        if (!p.Has(tagSurname)) SetIfText(p, tagSurname, c[0]);
        if (!p.Has(tagGivenName)) SetIfText(p, tagGivenName, c[1]);
        if (!p.Has(tagMiddleName)) SetIfText(p, tagMiddleName, c[2]);
        if (!p.Has(tagDisplayNamePrefix)) SetIfText(p, tagDisplayNamePrefix, c[3]);
        if (!p.Has(tagGeneration)) SetIfText(p, tagGeneration, c[4]);
    } else if (n == "FN") {
        std::u16string name = DecodeValue(line);
        if (!Trim(name).empty() && !p.Has(tagDisplayName)) {
            p.Set(tagDisplayName, name);
            SetSubject(p, name);
        }
    } else if (n == "ORG") {
        auto c = Components(DecodeValue(line), 2);
        SetIfText(p, tagCompanyName, c[0]);
        SetIfText(p, tagDepartmentName, c[1]);
    } else if (n == "NICKNAME") {
        SetIfText(p, tagNickname, DecodeValue(line));
    } else if (n == "EMAIL") {
        // Addresses the puts placed already stay in their slots; others take the first free one.
        std::u16string address = Trim(DecodeValue(line));
        static const uint32_t slots[3] = {0x8083, 0x8093, 0x80A3};
        if (address.empty()) return;
        for (uint32_t lid : slots) {
            const CPropValue* v = p.GetNamed(Address(lid, ptString));
            if (v && std::holds_alternative<std::u16string>(*v) && EqualNoCase(std::get<std::u16string>(*v), address)) return;
        }
        for (uint32_t lid : slots) {
            const CPropValue* v = p.GetNamed(Address(lid, ptString));
            if (!v || (std::holds_alternative<std::u16string>(*v) && Trim(std::get<std::u16string>(*v)).empty())) {
                p.SetNamed(Address(lid, ptString), address);
                return;
            }
        }
    } else if (n == "ADR") {
        ApplyAddress(p, line);
    } else if (n == "TEL") {
        ApplyTelephone(p, line, state);
    } else if (n == "TITLE") {
        SetIfText(p, tagTitle, DecodeValue(line));
    } else if (n == "URL") {
        std::u16string url = DecodeValue(line);
        SetIfText(p, tagBusinessHomePage, url);
        SetNamedIfText(p, 0x802B, url);
    } else if (n == "X-MS-ASSISTANT") {
        SetIfText(p, tagAssistant, DecodeValue(line));
    } else if (n == "X-MS-MANAGER") {
        SetIfText(p, tagManagerName, DecodeValue(line));
    } else if (n == "X-MS-SPOUSE") {
        SetIfText(p, tagSpouseName, DecodeValue(line));
    } else if (n == "X-MS-IMADDRESS") {
        SetNamedIfText(p, 0x8062, DecodeValue(line));
    } else if (n == "BDAY") {
        SetCardDate(p, tagBirthday, 0x80DE, line.value);
    } else if (n == "X-MS-ANNIVERSARY") {
        SetCardDate(p, tagWeddingAnniversary, 0x80DF, line.value);
    } else if (n == "NOTE") {
        // An HTML body put before the import (the whole contact as HTML) stays.
        if (!p.Has(tagHtml)) SetPlainBody(p, DecodeValue(line));
    } else if (n == "PHOTO") {
        auto bytes = DecodeBase64(line.value);
        if (!bytes) ThrowDispatch(hrFail, "the photo of the card is not base64");
        if (!bytes->empty()) SetContactPicture(data, *bytes);
    }
}

}  // namespace

void ImportVCard(CMessageData& data, std::string_view bytes) {
    std::vector<CContentLine> lines = ParseContentLines(bytes);
    auto isMarker = [](const CContentLine& l, const char* name) {
        return EqualNoCase(FromUtf8(TrimAscii(l.value)), FromUtf8(name));
    };
    if (lines.empty() || lines.front().name != "BEGIN" || !isMarker(lines.front(), "VCARD"))
        ThrowDispatch(hrFail, "not a vCard file");
    CCardState state;
    for (size_t i = 1; i < lines.size(); ++i) {
        if (lines[i].name == "END" && isMarker(lines[i], "VCARD")) return;
        ApplyCardLine(data, lines[i], state);
    }
    ThrowDispatch(hrFail, "the vCard file is incomplete");
}

void ImportPlainText(CMessageData& data, std::string_view bytes) {
    std::u16string text;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE) {
        if (bytes.size() % 2 != 0) ThrowDispatch(hrFail, "the text file is cut off");
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                 (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    } else if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        text = FromUtf8(std::string_view(bytes).substr(3));
    } else {
        if (bytes.find('\0') != std::string::npos) ThrowDispatch(hrFail, "the file is not text");
        text = FromCharset(bytes, "UTF-8");
    }
    SetPlainBody(data.props, text);
}

}  // namespace store
