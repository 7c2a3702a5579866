#include "worker/notes/CleanName.h"

namespace {

bool CannotStandInFileName(char16_t c)
{
    switch (c) {
    case u'\n': case u'\r': case u'/': case u':': case u'*': case u'?':
    case u'<': case u'>': case u'|': case u'"': case u'\\': case u'\t':
        return true;
    default:
        return false;
    }
}

// C0 and C1 controls and DEL, the line and paragraph separators, and the
// bidirectional embeddings, overrides and isolates.
bool CannotStandInPartName(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

}  // namespace

std::u16string CleanName(std::u16string_view name)
{
    std::u16string cleaned(name);
    for (char16_t& c : cleaned) {
        if (CannotStandInFileName(c)) {
            c = u' ';
        }
    }
    return cleaned;
}

std::u16string CleanPartName(std::u16string_view cleanedName)
{
    std::u16string name;
    name.reserve(cleanedName.size());
    for (const char16_t c : cleanedName) {
        if (!CannotStandInPartName(c)) {
            name.push_back(c);
        }
    }
    // A name of nothing but such characters still names the attachment.
    if (name.empty() && !cleanedName.empty()) {
        name.push_back(u'_');
    }
    return name;
}
