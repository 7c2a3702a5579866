// The item kinds and the operations that fill an item's MAPI model: property
// puts by DISPID, file imports, the contact picture, distribution-list
// members, and the derived properties computed on save.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/store/Dispatch.h"
#include "platform/store/MessageData.h"

namespace store {

enum class EItemKind { Mail, Task, Contact, DistList, Appointment };

// Members of the store's own beyond the library's: the times and Internet
// identifiers of the document an item was made from, and a task's start and
// due as instants. Dates in Greenwich time.
constexpr int32_t dispidCreationTime = 0x7E000003;
constexpr int32_t dispidLastModificationTime = 0x7E000004;
constexpr int32_t dispidInternetMessageId = 0x7E000005;
constexpr int32_t dispidInReplyToId = 0x7E000006;
constexpr int32_t dispidInternetReferences = 0x7E000007;
constexpr int32_t dispidTaskStartInstant = 0x7E000008;
constexpr int32_t dispidTaskDueInstant = 0x7E000009;
// A meeting's identity (text: the iCalendar UID or an Outlook id in hex) and
// whether the mailbox owner chairs it (boolean: organized, else received
// and accepted). Both belong to every item of the meeting's series.
constexpr int32_t dispidMeetingUid = 0x7E00000A;
constexpr int32_t dispidMeetingOwnerChairs = 0x7E00000B;

EItemKind KindOfClass(std::u16string_view messageClass);

// A property put; unknown DISPIDs throw CDispatchError.
void PutItemProperty(EItemKind kind, CMessageData& data, int32_t dispid, const CVariant& value);

// File imports; a file that cannot be parsed throws CDispatchError.
void ImportRfc822(CMessageData& data, std::string_view bytes);
void ImportVCard(CMessageData& data, std::string_view bytes);
void ImportICalendar(CMessageData& data, std::string_view bytes);
void ImportPlainText(CMessageData& data, std::string_view bytes);

// Points the HTML's references to local image files at inline attachments
// of the item (taken in once per file).
std::u16string EmbedLocalImages(const std::u16string& html, CMessageData& data);

// The contact picture from an image file's bytes.
void SetContactPicture(CMessageData& data, const std::string& imageBytes);
// One distribution-list member (name, address, address type).
void AddDistListMember(CMessageData& data, const std::u16string& name, const std::u16string& address,
                       const std::u16string& addressType);

// The Internet header block of an imported message, composed from its values.
std::u16string ComposeTransportHeaders(const CMessageData& data);

// Derived properties (flags, display lists, sizes, defaults of the kind).
void PrepareForSave(EItemKind kind, CMessageData& data);

}  // namespace store
