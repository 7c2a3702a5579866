// The identity Outlook matches meeting items by: the global object id made
// from an iCalendar UID (an Outlook id written out in hex is taken back as
// it is; any other UID is wrapped as a third-party id), with the original
// date of an instance when the item stands for one instance of a series.
#pragma once
#include <optional>
#include <string>

#include "platform/store/CivilTime.h"

namespace store {

// The id of the whole meeting (no instance date): the clean global object id.
std::string GlobalObjectIdOfUid(const std::string& uid);
// The same id carrying the date of one instance.
std::string WithInstanceDate(std::string globalObjectId, const CCivilDate& date);
// The instance date an id carries (all zero for the whole meeting or no id).
CCivilDate InstanceDateOf(const std::string& globalObjectId);

}  // namespace store
