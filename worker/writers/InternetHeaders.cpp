#include "worker/writers/InternetHeaders.h"

#include <cstdio>

#include "platform/notes/LNNotes.h"
#include "platform/sys/Text.h"
#include "worker/notes/NotesText.h"
#include "worker/writers/EmbeddedFile.h"

namespace {

constexpr WORD ValueFlags = ITEM_SUMMARY | 0x0008;

std::u16string JoinTexts(const LNText& text)
{
    std::u16string joined;
    for (LNINT i = 0; i < text.GetCount(); ++i) {
        if (i > 0) joined += u',';
        joined += FromNotesText(text[i]);
    }
    return joined;
}

std::u16string JoinTimes(const LNDatetimes& times)
{
    std::u16string joined = FromNotesText(times.GetText());
    for (char16_t& c : joined) {
        if (c == u';') c = u',';
    }
    return joined;
}

std::u16string JoinNumbers(const LNNumbers& numbers)
{
    std::u16string joined;
    for (LNINT i = 0; i < numbers.GetCount(); ++i) {
        char digits[32];
        std::snprintf(digits, sizeof digits, "%g", numbers[i]);
        if (i > 0) joined += u',';
        for (const char* p = digits; *p; ++p) joined += static_cast<char16_t>(*p);
    }
    return joined;
}

// The value as text; binary values (rich text, objects, links) give none.
std::u16string ValueText(const LNItem& item)
{
    switch (item.GetDataType()) {
    case TYPE_TEXT:
    case TYPE_TEXT_LIST:
        return JoinTexts(LNText(item));
    case TYPE_TIME:
    case TYPE_TIME_RANGE:
        return JoinTimes(LNDatetimes(item));
    case TYPE_NUMBER:
    case TYPE_NUMBER_RANGE:
        return JoinNumbers(LNNumbers(item));
    default:
        return {};
    }
}

}  // namespace

std::vector<NotesHeaderLine> CollectInternetHeaders(const LNNote& note)
{
    std::vector<LNItem> items;
    std::vector<NotesHeaderLine> lines;
    if (note.GetItems(&items, LNITEMTYPE_ANY) != LNNOERROR) return lines;
    for (const LNItem& item : items) {
        NotesHeaderLine line;
        line.name = FromNotesText(item.GetName());
        if ((item.GetFlags() & ValueFlags) != 0 && item.GetValueSize() > 2) line.value = ValueText(item);
        lines.push_back(std::move(line));
    }
    return lines;
}

std::u16string InternetHeadersText(const std::vector<NotesHeaderLine>& lines)
{
    std::u16string text;
    for (const NotesHeaderLine& line : lines) text += line.name + u":" + line.value + u"\r\n";
    return text;
}

void AddInternetHeadersPart(CMimeBody& message, const std::vector<NotesHeaderLine>& lines)
{
    if (lines.empty()) return;
    AddEmbeddedFilePart(message, InternetHeadersFileName, sys::Utf16ToUtf8(InternetHeadersText(lines)));
}
