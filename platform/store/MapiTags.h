// MAPI property tags and named-property keys the store layer writes.
#pragma once
#include <cstdint>

#include "platform/store/MessageData.h"

namespace store {

constexpr uint32_t Tag(uint16_t id, uint16_t type) { return (uint32_t(id) << 16) | type; }

// Message
constexpr uint32_t tagMessageClass = 0x001A001F;
constexpr uint32_t tagSubject = 0x0037001F;
constexpr uint32_t tagSubjectPrefix = 0x003D001F;
constexpr uint32_t tagNormalizedSubject = 0x0E1D001F;
constexpr uint32_t tagConversationTopic = 0x0070001F;
constexpr uint32_t tagImportance = 0x00170003;
constexpr uint32_t tagPriority = 0x00260003;
constexpr uint32_t tagSensitivity = 0x00360003;
constexpr uint32_t tagClientSubmitTime = 0x00390040;
constexpr uint32_t tagMessageDeliveryTime = 0x0E060040;
constexpr uint32_t tagMessageFlags = 0x0E070003;
constexpr uint32_t tagMessageSize = 0x0E080003;
constexpr uint32_t tagMessageStatus = 0x0E170003;
constexpr uint32_t tagHasAttachments = 0x0E1B000B;
constexpr uint32_t tagDisplayBcc = 0x0E02001F;
constexpr uint32_t tagDisplayCc = 0x0E03001F;
constexpr uint32_t tagDisplayTo = 0x0E04001F;
constexpr uint32_t tagMessageToMe = 0x0057000B;
constexpr uint32_t tagMessageCcMe = 0x0058000B;
constexpr uint32_t tagBody = 0x1000001F;
constexpr uint32_t tagHtml = 0x10130102;
constexpr uint32_t tagNativeBody = 0x10160003;
constexpr uint32_t tagInternetCodepage = 0x3FDE0003;
constexpr uint32_t tagMessageCodepage = 0x3FFD0003;
constexpr uint32_t tagMessageLocaleId = 0x3FF10003;
constexpr uint32_t tagTransportHeaders = 0x007D001F;
constexpr uint32_t tagInternetMessageId = 0x1035001F;
constexpr uint32_t tagInReplyTo = 0x1042001F;
constexpr uint32_t tagInternetReferences = 0x1039001F;
constexpr uint32_t tagCreationTime = 0x30070040;
constexpr uint32_t tagLastModificationTime = 0x30080040;
constexpr uint32_t tagSearchKey = 0x300B0102;
constexpr uint32_t tagStartDate = 0x00600040;
constexpr uint32_t tagEndDate = 0x00610040;
constexpr uint32_t tagIconIndex = 0x10800003;

// Sender, sent-representing and received-by groups
constexpr uint32_t tagSenderName = 0x0C1A001F;
constexpr uint32_t tagSenderEmail = 0x0C1F001F;
constexpr uint32_t tagSenderAddrType = 0x0C1E001F;
constexpr uint32_t tagSenderEntryId = 0x0C190102;
constexpr uint32_t tagSenderSearchKey = 0x0C1D0102;
constexpr uint32_t tagSenderSmtp = 0x5D01001F;
constexpr uint32_t tagSentReprName = 0x0042001F;
constexpr uint32_t tagSentReprEmail = 0x0065001F;
constexpr uint32_t tagSentReprAddrType = 0x0064001F;
constexpr uint32_t tagSentReprEntryId = 0x00410102;
constexpr uint32_t tagSentReprSearchKey = 0x003B0102;
constexpr uint32_t tagSentReprSmtp = 0x5D02001F;
constexpr uint32_t tagReceivedByName = 0x0040001F;

// Recipient rows
constexpr uint32_t tagRecipientType = 0x0C150003;
constexpr uint32_t tagDisplayName = 0x3001001F;
constexpr uint32_t tagAddrType = 0x3002001F;
constexpr uint32_t tagEmailAddress = 0x3003001F;
constexpr uint32_t tagSmtpAddress = 0x39FE001F;
constexpr uint32_t tagEntryId = 0x0FFF0102;
constexpr uint32_t tagRecordKey = 0x0FF90102;
constexpr uint32_t tagObjectType = 0x0FFE0003;
constexpr uint32_t tagDisplayType = 0x39000003;
constexpr uint32_t tagSendRichInfo = 0x3A40000B;
constexpr uint32_t tagResponsibility = 0x0E0F000B;
constexpr uint32_t tagRecipientFlags = 0x5FFD0003;
constexpr uint32_t tagRecipientTrackStatus = 0x5FFF0003;
constexpr uint32_t tagRowid = 0x30000003;

// Attachments
constexpr uint32_t tagAttachDataBinary = 0x37010102;
constexpr uint32_t tagAttachExtension = 0x3703001F;
constexpr uint32_t tagAttachFilename = 0x3704001F;
constexpr uint32_t tagAttachMethod = 0x37050003;
constexpr uint32_t tagAttachLongFilename = 0x3707001F;
constexpr uint32_t tagRenderingPosition = 0x370B0003;
constexpr uint32_t tagAttachMimeTag = 0x370E001F;
constexpr uint32_t tagAttachContentId = 0x3712001F;
constexpr uint32_t tagAttachContentLocation = 0x3713001F;
constexpr uint32_t tagAttachFlags = 0x37140003;
constexpr uint32_t tagAttachSize = 0x0E200003;
constexpr uint32_t tagAttachNumber = 0x0E210003;
constexpr uint32_t tagAttachmentHidden = 0x7FFE000B;
constexpr uint32_t tagAttachmentContactPhoto = 0x7FFF000B;

// Contacts
constexpr uint32_t tagGeneration = 0x3A05001F;
constexpr uint32_t tagGivenName = 0x3A06001F;
constexpr uint32_t tagBusinessTelephone = 0x3A08001F;
constexpr uint32_t tagHomeTelephone = 0x3A09001F;
constexpr uint32_t tagSurname = 0x3A11001F;
constexpr uint32_t tagPostalAddress = 0x3A15001F;
constexpr uint32_t tagCompanyName = 0x3A16001F;
constexpr uint32_t tagTitle = 0x3A17001F;
constexpr uint32_t tagDepartmentName = 0x3A18001F;
constexpr uint32_t tagOfficeLocation = 0x3A19001F;
constexpr uint32_t tagPrimaryTelephone = 0x3A1A001F;
constexpr uint32_t tagBusiness2Telephone = 0x3A1B001F;
constexpr uint32_t tagMobileTelephone = 0x3A1C001F;
constexpr uint32_t tagOtherTelephone = 0x3A1F001F;
constexpr uint32_t tagPagerTelephone = 0x3A21001F;
constexpr uint32_t tagBusinessFax = 0x3A24001F;
constexpr uint32_t tagHomeFax = 0x3A25001F;
constexpr uint32_t tagCountry = 0x3A26001F;
constexpr uint32_t tagLocality = 0x3A27001F;
constexpr uint32_t tagStateOrProvince = 0x3A28001F;
constexpr uint32_t tagStreetAddress = 0x3A29001F;
constexpr uint32_t tagPostalCode = 0x3A2A001F;
constexpr uint32_t tagAssistantTelephone = 0x3A2E001F;
constexpr uint32_t tagHome2Telephone = 0x3A2F001F;
constexpr uint32_t tagAssistant = 0x3A30001F;
constexpr uint32_t tagWeddingAnniversary = 0x3A410040;
constexpr uint32_t tagBirthday = 0x3A420040;
constexpr uint32_t tagMiddleName = 0x3A44001F;
constexpr uint32_t tagDisplayNamePrefix = 0x3A45001F;
constexpr uint32_t tagSpouseName = 0x3A48001F;
constexpr uint32_t tagManagerName = 0x3A4E001F;
constexpr uint32_t tagNickname = 0x3A4F001F;
constexpr uint32_t tagBusinessHomePage = 0x3A51001F;
constexpr uint32_t tagChildrensNames = 0x3A58101F;
constexpr uint32_t tagHomeAddressCity = 0x3A59001F;
constexpr uint32_t tagHomeAddressCountry = 0x3A5A001F;
constexpr uint32_t tagHomeAddressPostalCode = 0x3A5B001F;
constexpr uint32_t tagHomeAddressState = 0x3A5C001F;
constexpr uint32_t tagHomeAddressStreet = 0x3A5D001F;
constexpr uint32_t tagOtherAddressCity = 0x3A5F001F;
constexpr uint32_t tagOtherAddressCountry = 0x3A60001F;
constexpr uint32_t tagOtherAddressPostalCode = 0x3A61001F;
constexpr uint32_t tagOtherAddressState = 0x3A62001F;
constexpr uint32_t tagOtherAddressStreet = 0x3A63001F;

// Property sets of named properties
constexpr CGuid psetAddress = {0x04, 0x20, 0x06, 0x00, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
constexpr CGuid psetAppointment = {0x02, 0x20, 0x06, 0x00, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
constexpr CGuid psetTask = {0x03, 0x20, 0x06, 0x00, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
constexpr CGuid psetCommon = {0x08, 0x20, 0x06, 0x00, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
constexpr CGuid psetPublicStrings = {0x29, 0x03, 0x02, 0x00, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};

inline CNamedKey Named(const CGuid& guid, uint32_t lid, uint16_t type) { return CNamedKey{guid, lid, u"", type}; }
inline CNamedKey Address(uint32_t lid, uint16_t type) { return Named(psetAddress, lid, type); }
inline CNamedKey Appointment(uint32_t lid, uint16_t type) { return Named(psetAppointment, lid, type); }
inline CNamedKey Task(uint32_t lid, uint16_t type) { return Named(psetTask, lid, type); }
inline CNamedKey Common(uint32_t lid, uint16_t type) { return Named(psetCommon, lid, type); }
inline CNamedKey Keywords() { return CNamedKey{psetPublicStrings, 0, u"Keywords", ptMultiString}; }

// Message flags
constexpr int32_t mfRead = 0x01;
constexpr int32_t mfUnmodified = 0x02;
constexpr int32_t mfSubmitted = 0x04;
constexpr int32_t mfUnsent = 0x08;
constexpr int32_t mfHasAttach = 0x10;

}  // namespace store
