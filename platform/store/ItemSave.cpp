// Derived properties computed when an item is saved: flags, display lists,
// sizes, the defaults each kind of item needs to show right, and the
// composed texts of contacts (file-as name, e-mail slots, full addresses).
#include <random>

#include "platform/store/Addresses.h"
#include "platform/store/AppointmentImport.h"
#include "platform/store/Attachments.h"
#include "platform/store/ItemCommon.h"
#include "platform/store/ItemModel.h"
#include "platform/store/MapiTags.h"
#include "platform/store/StoreText.h"

namespace store {
namespace {

std::string RandomKey() {
    static std::mt19937_64 generator{std::random_device{}()};
    std::string key(16, '\0');
    for (size_t i = 0; i < 16; i += 8) {
        uint64_t v = generator();
        for (int k = 0; k < 8; ++k) key[i + k] = static_cast<char>((v >> (8 * k)) & 0xFF);
    }
    return key;
}

template <class T>
void Default(CPropertyBag& p, uint32_t tag, T value) {
    if (!p.Has(tag)) p.Set(tag, std::move(value));
}
template <class T>
void DefaultNamed(CPropertyBag& p, const CNamedKey& key, T value) {
    if (!p.GetNamed(key)) p.SetNamed(key, std::move(value));
}

std::u16string NamedText(const CPropertyBag& p, const CNamedKey& key) {
    const CPropValue* v = p.GetNamed(key);
    return v && std::holds_alternative<std::u16string>(*v) ? std::get<std::u16string>(*v) : u"";
}

const CFileTime* NamedTime(const CPropertyBag& p, const CNamedKey& key) {
    const CPropValue* v = p.GetNamed(key);
    return v ? std::get_if<CFileTime>(v) : nullptr;
}

size_t ValueSize(const CPropValue& v) {
    return std::visit(
        [](const auto& x) -> size_t {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, std::u16string>) return x.size() * 2 + 2;
            else if constexpr (std::is_same_v<T, std::string>) return x.size();
            else if constexpr (std::is_same_v<T, std::vector<std::u16string>>) {
                size_t n = 0;
                for (const auto& s : x) n += s.size() * 2 + 6;
                return n;
            } else if constexpr (std::is_same_v<T, std::vector<std::string>>) {
                size_t n = 0;
                for (const auto& s : x) n += s.size() + 4;
                return n;
            } else if constexpr (std::is_same_v<T, std::vector<int32_t>>) return x.size() * 4;
            else return 8;
        },
        v);
}

size_t BagSize(const CPropertyBag& p) {
    size_t n = 0;
    for (const auto& [tag, v] : p.Tagged()) n += ValueSize(v) + 8;
    for (const auto& [key, v] : p.Named()) n += ValueSize(v) + 8;
    return n;
}

void PrepareCommon(EItemKind kind, CMessageData& data) {
    CPropertyBag& p = data.props;
    CFileTime now = FileTimeNow();
    Default(p, tagCreationTime, now);
    Default(p, tagLastModificationTime, now);
    Default(p, tagSearchKey, RandomKey());
    Default(p, tagImportance, int32_t(1));
    Default(p, tagSensitivity, int32_t(0));
    Default(p, tagPriority, int32_t(0));
    Default(p, tagMessageStatus, int32_t(0));
    Default(p, tagMessageToMe, false);
    Default(p, tagMessageCcMe, false);
    Default(p, tagMessageLocaleId, int32_t(1033));
    if (!p.Has(tagSubject)) SetSubject(p, u"");
    p.Set(tagDisplayTo, RecipientDisplayList(data, 1));
    p.Set(tagDisplayCc, RecipientDisplayList(data, 2));
    p.Set(tagDisplayBcc, RecipientDisplayList(data, 3));

    bool visibleAttachment = false;
    for (size_t i = 0; i < data.attachments.size(); ++i) {
        CPropertyBag& a = data.attachments[i].props;
        a.Set(tagAttachNumber, static_cast<int32_t>(i));
        const CPropValue* hidden = a.Get(tagAttachmentHidden);
        if (!(hidden && std::get_if<bool>(hidden) && std::get<bool>(*hidden))) visibleAttachment = true;
    }
    p.Set(tagHasAttachments, visibleAttachment);

    int32_t flags = p.GetInt(tagMessageFlags).value_or(0);
    flags = visibleAttachment ? (flags | mfHasAttach) : (flags & ~mfHasAttach);
    if (kind != EItemKind::Mail) flags = (flags | mfRead) & ~(mfUnsent | mfSubmitted);
    p.Set(tagMessageFlags, flags);

    size_t size = BagSize(p);
    for (const auto& r : data.recipients) size += BagSize(r.props);
    for (const auto& a : data.attachments) size += BagSize(a.props);
    p.Set(tagMessageSize, static_cast<int32_t>(std::min<size_t>(size, 0x7FFFFFFF)));
}

void PrepareTask(CPropertyBag& p) {
    const CFileTime* start = NamedTime(p, Task(0x8104, ptTime));
    const CFileTime* due = NamedTime(p, Task(0x8105, ptTime));
    if (start && (!due || due->value < start->value)) {
        CFileTime s = *start;
        p.SetNamed(Task(0x8105, ptTime), s);
        if (const CFileTime* cs = NamedTime(p, Common(0x8516, ptTime))) p.SetNamed(Common(0x8517, ptTime), *cs);
    }
    DefaultNamed(p, Task(0x8101, ptInt32), int32_t(0));      // not started
    DefaultNamed(p, Task(0x8102, ptDouble), 0.0);           // percent complete
    DefaultNamed(p, Task(0x811C, ptBoolean), false);        // complete
    DefaultNamed(p, Task(0x8113, ptInt32), int32_t(1));      // not assigned
    DefaultNamed(p, Task(0x8129, ptInt32), int32_t(0));      // ownership: not assigned
    DefaultNamed(p, Task(0x812A, ptInt32), int32_t(0));      // acceptance: not assigned
    DefaultNamed(p, Task(0x8126, ptBoolean), false);        // not recurring
    DefaultNamed(p, Common(0x8518, ptInt32), int32_t(0));    // task mode: plain task
    p.SetNamed(Common(0x85A4, ptString), p.GetString(tagSubject));  // to-do title
}

std::u16string JoinNonEmpty(std::initializer_list<std::u16string> parts, std::u16string_view separator) {
    std::vector<std::u16string> kept;
    for (const auto& s : parts)
        if (!s.empty()) kept.push_back(s);
    return Join(kept, separator);
}

// street CRLF city state zip CRLF country, leaving out empty lines.
std::u16string FullAddress(const std::u16string& street, const std::u16string& city, const std::u16string& state,
                           const std::u16string& zip, const std::u16string& country) {
    return JoinNonEmpty({street, JoinNonEmpty({city, state, zip}, u" "), country}, u"\r\n");
}

void PrepareContactAddresses(CPropertyBag& p) {
    auto named = [&](uint32_t lid) { return NamedText(p, Address(lid, ptString)); };
    auto setAddress = [&](uint32_t lid, const std::u16string& text) {
        if (text.empty()) p.RemoveNamed(Address(lid, ptString));
        else p.SetNamed(Address(lid, ptString), text);
    };
    std::u16string home = FullAddress(p.GetString(tagHomeAddressStreet), p.GetString(tagHomeAddressCity),
                                      p.GetString(tagHomeAddressState), p.GetString(tagHomeAddressPostalCode),
                                      p.GetString(tagHomeAddressCountry));
    std::u16string work = FullAddress(named(0x8045), named(0x8046), named(0x8047), named(0x8048), named(0x8049));
    std::u16string other = FullAddress(p.GetString(tagOtherAddressStreet), p.GetString(tagOtherAddressCity),
                                       p.GetString(tagOtherAddressState), p.GetString(tagOtherAddressPostalCode),
                                       p.GetString(tagOtherAddressCountry));
    setAddress(0x801A, home);
    setAddress(0x801B, work);
    setAddress(0x801C, other);
    const CPropValue* selected = p.GetNamed(Address(0x8022, ptInt32));
    int32_t which = selected && std::get_if<int32_t>(selected) ? std::get<int32_t>(*selected) : 0;
    std::u16string mailing = which == 1 ? home : which == 2 ? work : which == 3 ? other : u"";
    if (mailing.empty())
        mailing = FullAddress(p.GetString(tagStreetAddress), p.GetString(tagLocality), p.GetString(tagStateOrProvince),
                              p.GetString(tagPostalCode), p.GetString(tagCountry));
    if (mailing.empty()) p.Remove(tagPostalAddress);
    else p.Set(tagPostalAddress, mailing);
}

void PrepareContactEmails(CPropertyBag& p, const std::u16string& displayName) {
    static const uint32_t bases[3] = {0x8080, 0x8090, 0x80A0};
    std::vector<int32_t> used;
    int32_t mask = 0;
    for (int slot = 0; slot < 3; ++slot) {
        uint32_t base = bases[slot];
        std::u16string address = Trim(NamedText(p, Address(base + 3, ptString)));
        if (address.empty()) {
            for (uint32_t off : {0u, 2u, 4u}) p.RemoveNamed(Address(base + off, ptString));
            p.RemoveNamed(Address(base + 5, ptBinary));
            continue;
        }
        CAddress a = ParseAddress(address);
        std::u16string shown = displayName.empty() ? a.address : displayName + u" (" + a.address + u")";
        p.SetNamed(Address(base + 3, ptString), a.address);
        p.SetNamed(Address(base + 2, ptString), a.addressType);
        p.SetNamed(Address(base + 0, ptString), shown);
        p.SetNamed(Address(base + 4, ptString), a.address);
        p.SetNamed(Address(base + 5, ptBinary), OneOffEntryId(CAddress{shown, a.address, a.addressType}));
        used.push_back(slot);
        mask |= 1 << slot;
    }
    if (used.empty()) {
        p.RemoveNamed(Address(0x8028, ptMultiInt32));
        p.RemoveNamed(Address(0x8029, ptInt32));
    } else {
        p.SetNamed(Address(0x8028, ptMultiInt32), used);
        p.SetNamed(Address(0x8029, ptInt32), mask);
    }
}

void PrepareContact(CPropertyBag& p) {
    std::u16string first = p.GetString(tagGivenName), last = p.GetString(tagSurname);
    std::u16string middle = p.GetString(tagMiddleName), company = p.GetString(tagCompanyName);
    std::u16string display = p.GetString(tagDisplayName);
    if (display.empty()) {
        display = JoinNonEmpty({p.GetString(tagDisplayNamePrefix), first, middle, last, p.GetString(tagGeneration)}, u" ");
        if (display.empty()) display = company;
        if (!display.empty()) p.Set(tagDisplayName, display);
    }
    if (p.GetString(tagSubject).empty() && !display.empty()) SetSubject(p, display);
    std::u16string fileAs;
    int32_t fileAsId;
    if (!last.empty()) {
        std::u16string given = JoinNonEmpty({first, middle}, u" ");
        fileAs = given.empty() ? last : last + u", " + given;
        fileAsId = 0x8017;
    } else if (!company.empty()) {
        fileAs = company;
        fileAsId = 0x3A16;
    } else {
        fileAs = display;
        fileAsId = 0x3001;
    }
    p.SetNamed(Address(0x8005, ptString), fileAs);
    p.SetNamed(Address(0x8006, ptInt32), fileAsId);
    PrepareContactAddresses(p);
    PrepareContactEmails(p, display);
    DefaultNamed(p, Address(0x8015, ptBoolean), false);
}

void PrepareAppointment(CMessageData& data) {
    CPropertyBag& p = data.props;
    const CFileTime* start = NamedTime(p, Appointment(0x820D, ptTime));
    const CFileTime* end = NamedTime(p, Appointment(0x820E, ptTime));
    if (start && (!end || end->value < start->value)) {
        CFileTime s = *start;
        SetAppointmentEnd(p, s);
        end = NamedTime(p, Appointment(0x820E, ptTime));
    }
    if (start && end) {
        int64_t minutes = (end->value - start->value) / 600000000LL;
        p.SetNamed(Appointment(0x8213, ptInt32), static_cast<int32_t>(std::min<int64_t>(minutes, 0x7FFFFFFF)));
        const CPropValue* delta = p.GetNamed(Common(0x8501, ptInt32));
        int32_t minutesBefore = delta && std::get_if<int32_t>(delta) ? std::get<int32_t>(*delta) : 15;
        p.SetNamed(Common(0x8502, ptTime), *start);
        p.SetNamed(Common(0x8560, ptTime), CFileTime{start->value - int64_t(minutesBefore) * 600000000LL});
    }
    DefaultNamed(p, Common(0x8503, ptBoolean), false);
    DefaultNamed(p, Appointment(0x8205, ptInt32), int32_t(2));   // busy
    DefaultNamed(p, Appointment(0x8215, ptBoolean), false);     // not all day
    DefaultNamed(p, Appointment(0x8223, ptBoolean), false);     // not recurring
    DefaultNamed(p, Appointment(0x8201, ptInt32), int32_t(0));   // sequence
    // Whose meeting it is, when not put: one with attendees was received and accepted.
    bool meeting = !data.recipients.empty();
    DefaultNamed(p, Appointment(0x8217, ptInt32), int32_t(meeting ? 3 : 0));  // meeting, received
    DefaultNamed(p, Appointment(0x8218, ptInt32), int32_t(meeting ? 3 : 0));  // accepted
    ShareWithExceptions(data);
}

}  // namespace

void PrepareForSave(EItemKind kind, CMessageData& data) {
    switch (kind) {
    case EItemKind::Task: PrepareTask(data.props); break;
    case EItemKind::Contact: PrepareContact(data.props); break;
    case EItemKind::Appointment: PrepareAppointment(data); break;
    case EItemKind::Mail:
    case EItemKind::DistList: break;
    }
    if (data.props.Has(tagTransportHeaders)) data.props.Set(tagTransportHeaders, ComposeTransportHeaders(data));
    PrepareCommon(kind, data);
}

}  // namespace store
