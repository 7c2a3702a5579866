#include "platform/store/MeetingIdentity.h"

#include <cctype>

namespace store {
namespace {

const char outlookIdPrefix[] = "040000008200E00074C5B7101A82E008";
constexpr size_t headerSize = 40;  // prefix, instance date, creation time, reserved, data size

std::optional<std::string> FromHex(const std::string& text) {
    if (text.size() % 2 != 0) return std::nullopt;
    std::string out;
    for (size_t i = 0; i < text.size(); i += 2) {
        auto nibble = [](char c) -> int {
            if (c >= '0' && c <= '9') return c - '0';
            c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
            return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        };
        int high = nibble(text[i]), low = nibble(text[i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        out.push_back(static_cast<char>(high * 16 + low));
    }
    return out;
}

// An Outlook id in hex: the prefix, a whole header and as much data as it says.
std::optional<std::string> OutlookId(const std::string& uid) {
    if (uid.size() < 82 || uid.size() % 2 != 0) return std::nullopt;
    for (size_t i = 0; i < 32; ++i)
        if (toupper(static_cast<unsigned char>(uid[i])) != outlookIdPrefix[i]) return std::nullopt;
    return FromHex(uid);
}

void Put32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

}  // namespace

std::string GlobalObjectIdOfUid(const std::string& uid) {
    if (auto id = OutlookId(uid)) return WithInstanceDate(*id, CCivilDate{0, 0, 0});
    std::string id = *FromHex(outlookIdPrefix);
    id.append(4, '\0');   // no instance date
    id.append(16, '\0');  // creation time and reserved bytes
    std::string data = "vCal-Uid";
    Put32(data, 1);
    data += uid;
    data.push_back('\0');
    Put32(id, static_cast<uint32_t>(data.size()));
    return id + data;
}

std::string WithInstanceDate(std::string id, const CCivilDate& date) {
    if (id.size() < headerSize) return id;
    id[16] = static_cast<char>((date.year >> 8) & 0xFF);  // the year is big-endian
    id[17] = static_cast<char>(date.year & 0xFF);
    id[18] = static_cast<char>(date.month);
    id[19] = static_cast<char>(date.day);
    return id;
}

CCivilDate InstanceDateOf(const std::string& id) {
    if (id.size() < headerSize) return CCivilDate{0, 0, 0};
    auto byte = [&](size_t i) { return static_cast<int>(static_cast<uint8_t>(id[i])); };
    return CCivilDate{byte(16) << 8 | byte(17), byte(18), byte(19)};
}

}  // namespace store
