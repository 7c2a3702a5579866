// The two item methods besides import and save: the contact picture and
// the members of a distribution list (one-off entries kept in the two
// member lists, in step, with their checksum).
#include "platform/store/Addresses.h"
#include "platform/store/Attachments.h"
#include "platform/store/DispatchArgs.h"
#include "platform/store/ItemModel.h"
#include "platform/store/MapiTags.h"
#include "platform/store/StoreText.h"

namespace store {
namespace {

const char16_t* ImageType(const std::string& bytes) {
    auto starts = [&](const char* magic, size_t n) { return bytes.size() >= n && bytes.compare(0, n, magic, n) == 0; };
    if (starts("\xFF\xD8\xFF", 3)) return u"image/jpeg";
    if (starts("\x89PNG", 4)) return u"image/png";
    if (starts("GIF8", 4)) return u"image/gif";
    if (starts("BM", 2)) return u"image/bmp";
    return nullptr;
}

constexpr size_t maxMemberListBytes = 15000;

uint32_t Crc32(const std::string& bytes, uint32_t crc) {
    static uint32_t table[256];
    static bool ready = [] {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[i] = c;
        }
        return true;
    }();
    (void)ready;
    for (unsigned char b : bytes) crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
    return crc;
}

std::vector<std::string> BinaryList(const CPropertyBag& p, const CNamedKey& key) {
    const CPropValue* v = p.GetNamed(key);
    if (v && std::holds_alternative<std::vector<std::string>>(*v)) return std::get<std::vector<std::string>>(*v);
    return {};
}

}  // namespace

void SetContactPicture(CMessageData& data, const std::string& imageBytes) {
    const char16_t* type = ImageType(imageBytes);
    if (!type) ThrowDispatch(hrFail, "the contact picture is not an image");
    std::vector<CAttachment> kept;
    for (auto& a : data.attachments) {
        const CPropValue* photo = a.props.Get(tagAttachmentContactPhoto);
        if (!(photo && std::get_if<bool>(photo) && std::get<bool>(*photo))) kept.push_back(std::move(a));
    }
    CAttachment picture = MakeAttachment(u"ContactPicture.jpg", type, imageBytes);
    picture.props.Set(tagAttachmentContactPhoto, true);
    picture.props.Set(tagAttachmentHidden, true);
    kept.push_back(std::move(picture));
    data.attachments = std::move(kept);
    data.props.SetNamed(Address(0x8015, ptBoolean), true);
}

void AddDistListMember(CMessageData& data, const std::u16string& name, const std::u16string& address,
                       const std::u16string& addressType) {
    std::u16string shown = Trim(name);
    CAddress member;
    if (!Trim(address).empty()) {
        member.address = Trim(address);
        member.name = shown.empty() ? member.address : shown;
        member.addressType = Trim(addressType).empty()
                                 ? (member.address.find(u'@') != std::u16string::npos ? u"SMTP" : u"NOTES")
                                 : Trim(addressType);
    } else {
        if (shown.empty()) return;  // an empty piece of the member list adds nobody
        member = ParseAddress(shown);
    }
    CNamedKey membersKey = Address(0x8055, ptMultiBinary), oneOffKey = Address(0x8054, ptMultiBinary);
    std::vector<std::string> members = BinaryList(data.props, membersKey);
    std::vector<std::string> oneOffs = BinaryList(data.props, oneOffKey);
    oneOffs.resize(members.size());
    std::string entry = OneOffEntryId(member);
    size_t total = entry.size();
    for (const auto& m : members) total += m.size();
    if (total > maxMemberListBytes) ThrowDispatch(hrFail, "the distribution list is full");
    members.push_back(entry);
    oneOffs.push_back(entry);
    uint32_t crc = 0xFFFFFFFFu;
    for (const auto& m : members) crc = Crc32(m, crc);
    data.props.SetNamed(membersKey, members);
    data.props.SetNamed(oneOffKey, oneOffs);
    data.props.SetNamed(Address(0x804C, ptInt32), static_cast<int32_t>(crc ^ 0xFFFFFFFFu));
}

}  // namespace store
