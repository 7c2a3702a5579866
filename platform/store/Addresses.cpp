#include "platform/store/Addresses.h"

#include "platform/store/MapiTags.h"
#include "platform/store/StoreText.h"

namespace store {

std::vector<CAddress> ParseAddressList(std::u16string_view text) {
    std::vector<CAddress> out;
    std::u16string piece;
    bool quoted = false;
    int angle = 0;
    auto flush = [&] {
        std::u16string t = Trim(piece);
        if (!t.empty()) {
            CAddress a = ParseAddress(t);
            if (!a.name.empty() || !a.address.empty()) out.push_back(std::move(a));
        }
        piece.clear();
    };
    for (char16_t c : text) {
        if (c == u'"') quoted = !quoted;
        else if (c == u'<' && !quoted) ++angle;
        else if (c == u'>' && !quoted && angle > 0) --angle;
        if ((c == u';' || c == u',') && !quoted && angle == 0) {
            flush();
            continue;
        }
        piece.push_back(c);
    }
    flush();
    return out;
}

namespace {

std::u16string Unquote(std::u16string text) {
    text = Trim(text);
    if (text.size() >= 2 && text.front() == u'"' && text.back() == u'"') text = text.substr(1, text.size() - 2);
    return Trim(text);
}

}  // namespace

CAddress ParseAddress(std::u16string_view piece) {
    CAddress a;
    std::u16string text = Trim(piece);
    size_t open = text.rfind(u'<');
    size_t close = text.rfind(u'>');
    if (open != std::u16string::npos && close != std::u16string::npos && close > open) {
        a.address = Trim(text.substr(open + 1, close - open - 1));
        a.name = Unquote(text.substr(0, open));
        if (a.name.empty()) a.name = a.address;
    } else {
        a.name = Unquote(text);
        a.address = a.name;
    }
    if (a.address.rfind(u"mailto:", 0) == 0 || StartsWithNoCase(a.address, u"mailto:")) a.address = a.address.substr(7);
    a.addressType = a.address.find(u'@') != std::u16string::npos ? u"SMTP" : u"NOTES";
    return a;
}

namespace {

void AppendUtf16z(std::string& out, std::u16string_view text) {
    for (char16_t c : text) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    out.append(2, '\0');
}

}  // namespace

std::string OneOffEntryId(const CAddress& address) {
    static const unsigned char oneOffUid[16] = {0x81, 0x2B, 0x1F, 0xA4, 0xBE, 0xA3, 0x10, 0x19,
                                                0x9D, 0x6E, 0x00, 0xDD, 0x01, 0x0F, 0x54, 0x02};
    std::string out(4, '\0');
    out.append(reinterpret_cast<const char*>(oneOffUid), 16);
    out.append(2, '\0');              // version
    out.push_back('\x01');            // flags 0x9001: Unicode, no lookup, no rich info
    out.push_back('\x90');
    AppendUtf16z(out, address.name);
    AppendUtf16z(out, address.addressType);
    AppendUtf16z(out, address.address);
    return out;
}

std::string AddressSearchKey(const CAddress& address) {
    std::string key = ToUtf8(address.addressType + u":" + address.address);
    for (char& c : key) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    key.push_back('\0');
    return key;
}

void SetRecipients(CMessageData& data, int32_t type, const std::vector<CAddress>& addresses) {
    std::vector<CRecipient> kept;
    for (auto& r : data.recipients)
        if (r.props.GetInt(tagRecipientType) != type) kept.push_back(std::move(r));
    for (const CAddress& a : addresses) {
        CRecipient r;
        r.props.Set(tagRecipientType, type);
        r.props.Set(tagDisplayName, a.name);
        r.props.Set(tagEmailAddress, a.address);
        r.props.Set(tagAddrType, a.addressType);
        if (a.addressType == u"SMTP") r.props.Set(tagSmtpAddress, a.address);
        std::string entryId = OneOffEntryId(a);
        r.props.Set(tagEntryId, entryId);
        r.props.Set(tagRecordKey, entryId);
        r.props.Set(tagSearchKey, AddressSearchKey(a));
        r.props.Set(tagObjectType, int32_t(6));
        r.props.Set(tagDisplayType, int32_t(0));
        r.props.Set(tagSendRichInfo, false);
        r.props.Set(tagResponsibility, false);
        r.props.Set(tagRecipientFlags, int32_t(1));
        r.props.Set(tagRecipientTrackStatus, int32_t(0));
        kept.push_back(std::move(r));
    }
    data.recipients = std::move(kept);
    for (size_t i = 0; i < data.recipients.size(); ++i) data.recipients[i].props.Set(tagRowid, static_cast<int32_t>(i));
}

std::u16string RecipientDisplayList(const CMessageData& data, int32_t type) {
    std::vector<std::u16string> names;
    for (const auto& r : data.recipients)
        if (r.props.GetInt(tagRecipientType) == type) names.push_back(r.props.GetString(tagDisplayName));
    return Join(names, u"; ");
}

namespace {

void SetGroup(CPropertyBag& props, const CAddress& a, uint32_t name, uint32_t email, uint32_t type, uint32_t entryId,
              uint32_t searchKey, uint32_t smtp) {
    props.Set(name, a.name);
    props.Set(email, a.address);
    props.Set(type, a.addressType);
    props.Set(entryId, OneOffEntryId(a));
    props.Set(searchKey, AddressSearchKey(a));
    if (a.addressType == u"SMTP") props.Set(smtp, a.address);
    else props.Remove(smtp);
}

}  // namespace

void SetSender(CPropertyBag& props, const CAddress& a) {
    SetGroup(props, a, tagSenderName, tagSenderEmail, tagSenderAddrType, tagSenderEntryId, tagSenderSearchKey,
             tagSenderSmtp);
}

void SetSentRepresenting(CPropertyBag& props, const CAddress& a) {
    SetGroup(props, a, tagSentReprName, tagSentReprEmail, tagSentReprAddrType, tagSentReprEntryId,
             tagSentReprSearchKey, tagSentReprSmtp);
}

}  // namespace store
