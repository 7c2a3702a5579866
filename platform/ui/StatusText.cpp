#include "platform/ui/StatusText.h"

namespace ui {
namespace {

bool IsLineBreak(char16_t c) { return c == u'\r' || c == u'\n' || c == u'\u2028' || c == u'\u2029'; }

bool IsControl(char16_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

}  // namespace

std::u16string OneLine(std::u16string_view text) {
    size_t begin = 0, end = text.size();
    while (begin < end && IsLineBreak(text[begin])) ++begin;
    while (end > begin && IsLineBreak(text[end - 1])) --end;
    std::u16string line;
    line.reserve(end - begin);
    for (size_t i = begin; i < end; ++i) {
        const char16_t c = text[i];
        if (c == u'\r' && i + 1 < end && text[i + 1] == u'\n') continue;  // CR LF: the LF gives the blank
        if (IsLineBreak(c) || c == u'\t')
            line.push_back(u' ');
        else if (!IsControl(c))
            line.push_back(c);
    }
    return line;
}

}  // namespace ui
