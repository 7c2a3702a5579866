// Attachments and appointment times shared by the imports and the methods:
// by-value attachments with their names and MIME types, base64 decoding,
// and the start and end property groups of appointments.
#pragma once
#include <optional>
#include <string>

#include "platform/store/MessageData.h"

namespace store {

CAttachment MakeAttachment(const std::u16string& name, const std::u16string& mimeType, std::string bytes);
// "image/png" and the like from a file name's extension; "application/octet-stream" otherwise.
std::u16string MimeTypeForName(std::u16string_view name);
// The extension with its dot (".jpg"), or empty.
std::u16string ExtensionOf(std::u16string_view name);

// Decodes base64 up to the first '=', skipping white space; nothing on
// characters outside the alphabet.
std::optional<std::string> DecodeBase64(std::string_view text);
// The same; `stop` is where the decoding ended (the '=' or the end).
std::optional<std::string> DecodeBase64Until(std::string_view text, size_t& stop);

void SetAppointmentStart(CPropertyBag& props, const CFileTime& start);
void SetAppointmentEnd(CPropertyBag& props, const CFileTime& end);

}  // namespace store
