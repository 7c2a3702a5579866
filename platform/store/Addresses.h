// Addresses on items: parsing of the address lists the conversion hands over
// ("Name <addr>", bare addresses, Notes names; joined with ";" or ","),
// one-off entry IDs, recipient rows and the sender groups.
#pragma once
#include <string>
#include <vector>

#include "platform/store/MessageData.h"

namespace store {

struct CAddress {
    std::u16string name;
    std::u16string address;
    std::u16string addressType;  // "SMTP" when the address has an "@", else "NOTES"
    bool operator==(const CAddress&) const = default;
};

// Splits at ";" and "," outside quotes and angle brackets; empty pieces are dropped.
std::vector<CAddress> ParseAddressList(std::u16string_view text);
CAddress ParseAddress(std::u16string_view piece);

// The one-off entry ID of an address (Unicode strings, no rich info).
std::string OneOffEntryId(const CAddress& address);
// "TYPE:ADDRESS" in upper case with a terminating zero byte.
std::string AddressSearchKey(const CAddress& address);

// Replaces the recipient rows of one type (1 To, 2 Cc, 3 Bcc) with these addresses.
void SetRecipients(CMessageData& data, int32_t type, const std::vector<CAddress>& addresses);
// The display names of the rows of one type joined with "; ".
std::u16string RecipientDisplayList(const CMessageData& data, int32_t type);

void SetSender(CPropertyBag& props, const CAddress& address);
void SetSentRepresenting(CPropertyBag& props, const CAddress& address);

}  // namespace store
