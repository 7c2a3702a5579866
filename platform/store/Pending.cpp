// Placeholders while the item kinds are being filled in.
#include "platform/store/DispatchArgs.h"
#include "platform/store/ItemModel.h"
#include "platform/store/MapiTags.h"
#include "platform/store/StoreText.h"

namespace store {

EItemKind KindOfClass(std::u16string_view messageClass) {
    if (StartsWithNoCase(messageClass, u"IPM.Task")) return EItemKind::Task;
    if (StartsWithNoCase(messageClass, u"IPM.Contact")) return EItemKind::Contact;
    if (StartsWithNoCase(messageClass, u"IPM.DistList")) return EItemKind::DistList;
    if (StartsWithNoCase(messageClass, u"IPM.Appointment")) return EItemKind::Appointment;
    return EItemKind::Mail;
}

void PutItemProperty(EItemKind, CMessageData&, int32_t dispid, const CVariant&) {
    ThrowUnknownMember("item", dispid, EInvokeKind::PropertyPut);
}
void ImportRfc822(CMessageData&, const std::string&) { ThrowDispatch(hrFail, "not yet"); }
void ImportVCard(CMessageData&, const std::string&) { ThrowDispatch(hrFail, "not yet"); }
void ImportICalendar(CMessageData&, const std::string&) { ThrowDispatch(hrFail, "not yet"); }
void ImportPlainText(CMessageData&, const std::string&) { ThrowDispatch(hrFail, "not yet"); }
void SetContactPicture(CMessageData&, const std::string&) { ThrowDispatch(hrFail, "not yet"); }
void AddDistListMember(CMessageData&, const std::u16string&, const std::u16string&, const std::u16string&) {
    ThrowDispatch(hrFail, "not yet");
}
void PrepareForSave(EItemKind, CMessageData&) {}

}  // namespace store
