#include "platform/store/SiblingItems.h"

#include <string>

#include "platform/store/AppointmentImport.h"
#include "platform/store/MapiTags.h"

namespace store {

CMessageData SiblingItem(const CMessageData& item, size_t index) {
    CMessageData sibling;
    sibling.props = item.props;
    sibling.recipients = item.recipients;
    sibling.embeddedImages = item.embeddedImages;
    for (const auto& a : item.attachments)
        if (!IsExceptionAttachment(a)) sibling.attachments.push_back(a);
    RemoveSeries(sibling.props);
    for (const auto& [tag, value] : item.siblings[index].Tagged()) sibling.props.Set(tag, value);
    for (const auto& [key, value] : item.siblings[index].Named()) sibling.props.SetNamed(key, value);
    if (!item.sourceKey.empty()) sibling.sourceKey = item.sourceKey + "/instance " + std::to_string(index + 2);
    return sibling;
}

}  // namespace store
