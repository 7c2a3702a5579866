// Property groups shared by every item kind: subject, bodies, categories,
// importance and the conversions of dates into FILETIME values.
#pragma once
#include <string>

#include "platform/store/MessageData.h"

namespace store {

void SetSubject(CPropertyBag& props, const std::u16string& subject);
void SetPlainBody(CPropertyBag& props, const std::u16string& text);
// The HTML as UTF-8 bytes plus a plain-text rendition of it.
void SetHtmlBody(CPropertyBag& props, const std::u16string& html);
void SetHtmlBodyBytes(CPropertyBag& props, const std::string& utf8Html);
// Text of an HTML document: tags dropped, block ends as line breaks, entities decoded.
std::u16string HtmlToText(std::u16string_view html);
// Categories from a list joined with ";" or ","; duplicates and empty pieces dropped.
void SetCategories(CPropertyBag& props, std::u16string_view text);

// OLE date (wall clock) taken as UTC, and taken as the host's local time.
CFileTime OleDateAsUtc(double oleDate);
CFileTime OleDateFromLocal(double oleDate);
CFileTime FileTimeFromUnix(int64_t unixSeconds);
CFileTime FileTimeNow();
// Calendar date plus time taken as UTC; nothing when the fields are out of range.
bool MakeUtcFileTime(int year, int month, int day, int hour, int minute, int second, CFileTime& out);

}  // namespace store
