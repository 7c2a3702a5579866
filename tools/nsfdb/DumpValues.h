// Raw item values into description values. A value is written in its
// readable form (text, times, numbers, HTML, rich-text elements) only when
// building that form gives back the same value; anything else is written
// raw, so that a dump built again holds what the database held.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "platform/notes/ItemCodec.h"
#include "tools/nsfdb/DescriptionValues.h"

namespace nsfdb {

std::string Utf8(const std::string& lmbcs);
// An ISO text, or {"datetime": ISO, "dst": true}.
Json TimeJson(const TIMEDATE& td);
// True when TimeJson of td reads back as td.
bool ExactTime(const TIMEDATE& td);
Json RawJson(const std::string& raw);

// The value of one item that is not rich text.
Json ValueJson(const std::string& raw, CDocContext& ctx);

// The rich-text field made of these items (all of one name) as elements,
// when building them gives the same elements: the same text in the same
// fonts, the same link targets (resolved through the note's $Links list,
// links), images with the same bytes at the same positions, the same
// attachment icons, and no records the description format cannot hold.
// On success the field's doclinks are added to ctx.links as build adds them.
std::optional<Json> RichTextJson(const std::vector<std::string>& parts, const std::vector<notes::CNoteLink>& links,
                                 CDocContext& ctx);

}  // namespace nsfdb
