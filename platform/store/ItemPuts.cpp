// Property puts by DISPID. The same number means different things for
// different kinds of item; each kind has its own table, and the members that
// every item shares (subject, bodies, recipients, sender, flags) come last.
#include <algorithm>
#include <cmath>

#include "platform/store/Addresses.h"
#include "platform/store/AppointmentImport.h"
#include "platform/store/Attachments.h"
#include "platform/store/DispatchArgs.h"
#include "platform/store/ItemCommon.h"
#include "platform/store/ItemModel.h"
#include "platform/store/MapiTags.h"
#include "platform/store/MeetingIdentity.h"
#include "platform/store/StoreText.h"
#include "platform/store/TimeZone.h"

namespace store {

EItemKind KindOfClass(std::u16string_view messageClass) {
    if (StartsWithNoCase(messageClass, u"IPM.Task")) return EItemKind::Task;
    if (StartsWithNoCase(messageClass, u"IPM.Contact")) return EItemKind::Contact;
    if (StartsWithNoCase(messageClass, u"IPM.DistList")) return EItemKind::DistList;
    if (StartsWithNoCase(messageClass, u"IPM.Appointment")) return EItemKind::Appointment;
    return EItemKind::Mail;
}

namespace {

std::u16string Text(const CVariant& v) { return ArgString({v}, 0); }
int32_t Int(const CVariant& v) { return ArgInt({v}, 0); }
bool Bool(const CVariant& v) { return ArgBool({v}, 0); }
double Date(const CVariant& v) { return ArgDate({v}, 0); }

// A text put: an empty text removes the property.
void PutText(CPropertyBag& props, uint32_t tag, const std::u16string& text) {
    if (text.empty()) props.Remove(tag);
    else props.Set(tag, text);
}
void PutNamedText(CPropertyBag& props, const CNamedKey& key, const std::u16string& text) {
    if (text.empty()) props.RemoveNamed(key);
    else props.SetNamed(key, text);
}

void SetFlag(CPropertyBag& props, int32_t flag, bool on) {
    int32_t flags = props.GetInt(tagMessageFlags).value_or(0);
    props.Set(tagMessageFlags, on ? (flags | flag) : (flags & ~flag));
}

CAddress FirstAddress(const std::u16string& text) {
    auto list = ParseAddressList(text);
    if (!list.empty()) return list.front();
    return ParseAddress(text);
}

// ---- members every item has ------------------------------------------------

bool PutCommon(CMessageData& data, int32_t dispid, const CVariant& v) {
    CPropertyBag& p = data.props;
    switch (dispid) {
    case 0: SetSubject(p, Text(v)); return true;
    case 0xd: SetCategories(p, Text(v)); return true;
    case 0xb: SetPlainBody(p, Text(v)); return true;
    case 0x1a: SetHtmlBody(p, EmbedLocalImages(Text(v), data)); return true;
    case 0x1b: p.Set(tagImportance, std::clamp(Int(v), 0, 2)); return true;
    case 0x40: SetRecipients(data, 1, ParseAddressList(Text(v))); return true;
    case 0xe: SetRecipients(data, 2, ParseAddressList(Text(v))); return true;
    case 9: SetRecipients(data, 3, ParseAddressList(Text(v))); return true;
    case 0x34: {
        std::u16string text = Text(v);
        if (Trim(text).empty()) return true;
        SetSender(p, FirstAddress(text));
        return true;
    }
    case 0x3a: {
        std::u16string text = Text(v);
        if (Trim(text).empty()) return true;
        SetSentRepresenting(p, FirstAddress(text));
        return true;
    }
    case 0x26: {  // the received-by slot keeps the name only
        std::u16string text = Text(v);
        if (!Trim(text).empty()) p.Set(tagReceivedByName, FirstAddress(text).name);
        return true;
    }
    case 0x29: p.Set(tagMessageDeliveryTime, OleDateFromLocal(Date(v))); return true;
    case 0x38: SetFlag(p, mfUnsent, !Bool(v)); return true;
    case 0x41: SetFlag(p, mfRead, Bool(v)); return true;  // true marks the item read
    case 0x60030093: Bool(v); return true;                // accepted, nothing to store
    case dispidCreationTime: p.Set(tagCreationTime, OleDateAsUtc(Date(v))); return true;
    case dispidLastModificationTime: p.Set(tagLastModificationTime, OleDateAsUtc(Date(v))); return true;
    case dispidInternetMessageId: PutText(p, tagInternetMessageId, Trim(Text(v))); return true;
    case dispidInReplyToId: PutText(p, tagInReplyTo, Trim(Text(v))); return true;
    case dispidInternetReferences: PutText(p, tagInternetReferences, Trim(Text(v))); return true;
    default: return false;
    }
}

// ---- tasks -------------------------------------------------------------------

bool PutTask(CMessageData& data, int32_t dispid, const CVariant& v) {
    CPropertyBag& p = data.props;
    switch (dispid) {
    case 0x60040020: {  // start date: local midnight of the day
        double day = std::floor(Date(v));
        p.SetNamed(Task(0x8104, ptTime), OleDateAsUtc(day));
        p.SetNamed(Common(0x8516, ptTime), OleDateFromLocal(day));
        return true;
    }
    case 0x60040011: {  // due date
        double day = std::floor(Date(v));
        p.SetNamed(Task(0x8105, ptTime), OleDateAsUtc(day));
        p.SetNamed(Common(0x8517, ptTime), OleDateFromLocal(day));
        return true;
    }
    // The instant the start or due day begins where the task was dated,
    // when that zone is known; the dates above take the host's zone.
    case dispidTaskStartInstant: p.SetNamed(Common(0x8516, ptTime), OleDateAsUtc(Date(v))); return true;
    case dispidTaskDueInstant: p.SetNamed(Common(0x8517, ptTime), OleDateAsUtc(Date(v))); return true;
    default: return false;
    }
}

// ---- contacts ------------------------------------------------------------------

struct CContactText {
    int32_t dispid;
    uint32_t tag;      // tagged property, or 0
    uint32_t lid;      // named property in the address set, when tag is 0
};

constexpr CContactText contactTexts[] = {
    {0x60040004, tagAssistant, 0},
    {0x60040006, tagAssistantTelephone, 0},
    {0x6004000a, tagBusiness2Telephone, 0},
    {0x6004000e, 0, 0x8046},  // work address city
    {0x60040010, 0, 0x8049},  // work address country
    {0x60040012, 0, 0x8048},  // work address postal code
    {0x60040016, 0, 0x8047},  // work address state
    {0x60040018, 0, 0x8045},  // work address street
    {0x6004001a, tagBusinessFax, 0},
    {0x6004001e, tagBusinessTelephone, 0},
    {0x6004002d, tagCompanyName, 0},
    {0x60040033, tagDepartmentName, 0},
    {0x60040035, 0, 0x8083},  // e-mail 1
    {0x6004003b, 0, 0x8093},  // e-mail 2
    {0x60040043, 0, 0x80A3},  // e-mail 3
    {0x6004004d, tagGivenName, 0},
    {0x6004005b, tagHome2Telephone, 0},
    {0x6004005f, tagHomeAddressCity, 0},
    {0x60040061, tagHomeAddressCountry, 0},
    {0x60040063, tagHomeAddressPostalCode, 0},
    {0x60040067, tagHomeAddressState, 0},
    {0x60040069, tagHomeAddressStreet, 0},
    {0x6004006b, tagHomeFax, 0},
    {0x6004006d, tagHomeTelephone, 0},
    {0x6004006f, 0, 0x8062},  // instant messaging address
    {0x60040077, tagTitle, 0},
    {0x60040083, tagSurname, 0},
    {0x60040088, tagLocality, 0},
    {0x6004008a, tagCountry, 0},
    {0x6004008c, tagPostalCode, 0},
    {0x60040090, tagStateOrProvince, 0},
    {0x60040092, tagStreetAddress, 0},
    {0x60040094, tagManagerName, 0},
    {0x60040096, tagMiddleName, 0},
    {0x60040098, tagMobileTelephone, 0},
    {0x6004009e, tagNickname, 0},
    {0x600400a0, tagOfficeLocation, 0},
    {0x600400a6, tagOtherAddressCity, 0},
    {0x600400a8, tagOtherAddressCountry, 0},
    {0x600400aa, tagOtherAddressPostalCode, 0},
    {0x600400ae, tagOtherAddressState, 0},
    {0x600400b0, tagOtherAddressStreet, 0},
    {0x600400b4, tagOtherTelephone, 0},
    {0x600400b6, tagPagerTelephone, 0},
    {0x600400ba, tagPrimaryTelephone, 0},
    {0x600400c4, tagSpouseName, 0},
    {0x600400c6, tagGeneration, 0},
    {0x600400ca, tagDisplayNamePrefix, 0},
    {0x600400ce, 0, 0x804F},  // user field 1
    {0x600400d0, 0, 0x8050},
    {0x600400d2, 0, 0x8051},
};

// A date of a contact (birthday, anniversary): the day at noon UTC, so the
// same date shows in every zone, plus the local form at midnight.
void PutContactDate(CPropertyBag& p, uint32_t tag, uint32_t localLid, double oleDate) {
    double day = std::floor(oleDate);
    p.Set(tag, OleDateAsUtc(day + 0.5));
    p.SetNamed(Address(localLid, ptTime), OleDateAsUtc(day));
}

bool PutContact(CMessageData& data, int32_t dispid, const CVariant& v) {
    CPropertyBag& p = data.props;
    for (const auto& entry : contactTexts) {
        if (entry.dispid != dispid) continue;
        if (entry.tag) PutText(p, entry.tag, Text(v));
        else PutNamedText(p, Address(entry.lid, ptString), Text(v));
        return true;
    }
    switch (dispid) {
    case 0x60040002: PutContactDate(p, tagWeddingAnniversary, 0x80DF, Date(v)); return true;
    case 0x60040008: PutContactDate(p, tagBirthday, 0x80DE, Date(v)); return true;
    case 0x6004001c: {  // web page
        std::u16string url = Text(v);
        PutText(p, tagBusinessHomePage, url);
        PutNamedText(p, Address(0x802B, ptString), url);
        return true;
    }
    case 0x60040024: {  // children
        std::vector<std::u16string> names;
        std::u16string text = Text(v);
        for (auto& c : text)
            if (c == u',') c = u';';
        for (const auto& piece : Split(text, u';'))
            if (!Trim(piece).empty()) names.push_back(Trim(piece));
        if (names.empty()) p.Remove(tagChildrensNames);
        else p.Set(tagChildrensNames, names);
        return true;
    }
    case 0x60040051: {  // full name
        std::u16string name = Text(v);
        PutText(p, tagDisplayName, name);
        if (!name.empty()) SetSubject(p, name);
        return true;
    }
    case 0x60040086: {  // the mailing address: which of the three it is
        std::u16string which = Lower(Trim(Text(v)));
        int32_t id = which == u"home" ? 1 : which == u"business" ? 2 : which == u"other" ? 3 : 0;
        if (id) p.SetNamed(Address(0x8022, ptInt32), id);
        return true;
    }
    case 0x600400c2: {
        int32_t id = Int(v);
        if (id >= 1 && id <= 3) p.SetNamed(Address(0x8022, ptInt32), id);
        else p.RemoveNamed(Address(0x8022, ptInt32));
        return true;
    }
    default: return false;
    }
}

// ---- distribution lists ------------------------------------------------------------

bool PutDistList(CMessageData& data, int32_t dispid, const CVariant& v) {
    if (dispid != 0x60040002) return false;
    std::u16string name = Text(v);
    CPropertyBag& p = data.props;
    PutNamedText(p, Address(0x8053, ptString), name);
    PutText(p, tagDisplayName, name);
    PutNamedText(p, Address(0x8005, ptString), name);
    SetSubject(p, name);
    return true;
}

// ---- appointments ------------------------------------------------------------------

void PutZone(CPropertyBag& p, const CVariant& v, uint32_t lid, bool start) {
    auto zone = std::dynamic_pointer_cast<CTimeZoneObject>(ArgObject({v}, 0));
    if (!zone) ThrowDispatch(hrTypeMismatch, "a time-zone object is expected");
    p.SetNamed(Appointment(lid, ptBinary), TimeZoneDefinition(zone->Zone()));
    if (start) {
        p.SetNamed(Appointment(0x8233, ptBinary), TimeZoneStruct(zone->Zone()));
        p.SetNamed(Appointment(0x8234, ptString), zone->Zone().description);
    }
}

void PutAttendees(CMessageData& data, int32_t type, uint32_t lid, const std::u16string& text) {
    auto list = ParseAddressList(text);
    SetRecipients(data, type, list);
    std::vector<std::u16string> names;
    for (const auto& a : list) names.push_back(a.name);
    PutNamedText(data.props, Appointment(lid, ptString), Join(names, u"; "));
}

bool PutAppointment(CMessageData& data, int32_t dispid, const CVariant& v) {
    CPropertyBag& p = data.props;
    switch (dispid) {
    case 0x60040049: PutNamedText(p, Appointment(0x8208, ptString), Text(v)); return true;
    case 0x6004002a: PutAttendees(data, 2, 0x823C, Text(v)); return true;
    case 0x6004003b: PutAttendees(data, 1, 0x823B, Text(v)); return true;
    case 0x2d: p.SetNamed(Common(0x8503, ptBoolean), Bool(v)); return true;
    case 0x6004002f: {
        // Notes counts the offset from the start, negative before it.
        int32_t offset = Int(v);
        p.SetNamed(Common(0x8501, ptInt32), offset <= 0 ? -offset : 0);
        return true;
    }
    case 0x60040042: {  // start, already Greenwich time
        SetAppointmentStart(p, OleDateAsUtc(Date(v)));
        return true;
    }
    case 0x6004000a: {  // end
        SetAppointmentEnd(p, OleDateAsUtc(Date(v)));
        return true;
    }
    case 0x60040046: PutZone(p, v, 0x825E, true); return true;
    case 0x6004000e: PutZone(p, v, 0x825F, false); return true;
    case dispidMeetingUid: {
        std::string uid = ToUtf8(Trim(Text(v)));
        if (!uid.empty()) SetMeetingIdentity(data, GlobalObjectIdOfUid(uid));
        return true;
    }
    case dispidMeetingOwnerChairs: SetMeetingOwnerChairs(p, Bool(v)); return true;
    default: return false;
    }
}

}  // namespace

void PutItemProperty(EItemKind kind, CMessageData& data, int32_t dispid, const CVariant& value) {
    bool done = false;
    switch (kind) {
    case EItemKind::Task: done = PutTask(data, dispid, value); break;
    case EItemKind::Contact: done = PutContact(data, dispid, value); break;
    case EItemKind::DistList: done = PutDistList(data, dispid, value); break;
    case EItemKind::Appointment: done = PutAppointment(data, dispid, value); break;
    case EItemKind::Mail: break;
    }
    if (!done) done = PutCommon(data, dispid, value);
    if (!done) ThrowUnknownMember("item", dispid, EInvokeKind::PropertyPut);
}

}  // namespace store
