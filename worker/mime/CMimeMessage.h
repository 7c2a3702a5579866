// The top entity of an Internet message, with the message-level header
// setters. Field names are written exactly as "From", "To", "CC", "BCC",
// "Subject" and "Date"; values are taken as given (already packed as
// encoded words by the caller).
#pragma once
#include <string_view>

#include "worker/mime/CMimeBody.h"

class CMimeMessage : public CMimeBody {
public:
    void SetFrom(std::string_view value);
    void SetTo(std::string_view value);
    void SetCc(std::string_view value);
    void SetBcc(std::string_view value);
    void SetSubject(std::string_view value);
    // The "Date" field for a local time of this machine, e.g.
    // "Tue, 5 Mar 2013 14:07:09 +0100". A time that does not convert to a
    // non-negative time value (such as one before 1970) sets no field.
    void SetDate(int year, int month, int day, int hour, int minute, int second);
};
