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
