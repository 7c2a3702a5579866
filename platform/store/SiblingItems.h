// The further items an item brings along (the instances of a series that no
// recurrence pattern holds): each is the item as it stands when saved, made
// a single instance (no recurrence, no exception attachments) with its own
// properties set, under a source key of its own, so that saving the item
// again replaces them as well.
#pragma once
#include <cstddef>

#include "platform/store/MessageData.h"

namespace store {

CMessageData SiblingItem(const CMessageData& item, size_t index);

}  // namespace store
