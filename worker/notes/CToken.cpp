// The tokenizer over the remaining text; see CToken.h for the protocol.
#include "worker/notes/CToken.h"

CToken::CToken(std::u16string_view text) : remaining(text) {}

CToken::~CToken() = default;

void CToken::SetSeparator(std::u16string_view newSeparator)
{
    separator.assign(newSeparator);
}

bool CToken::HasSeparator() const
{
    // An empty separator is never found: otherwise it would match everywhere
    // and the caller's loop would never end.
    return !separator.empty() && remaining.find(separator) != std::u16string::npos;
}

bool CToken::MoreTokens()
{
    return HasSeparator() || lastPending;
}

std::u16string CToken::NextToken()
{
    if (lastPending) {
        lastPending = false;
        return remaining;
    }
    const size_t at = HasSeparator() ? remaining.find(separator) : std::u16string::npos;
    if (at == std::u16string::npos) {
        // Called without a separator ahead: nothing before it, the whole
        // text stays and becomes the last token.
        lastPending = true;
        return std::u16string();
    }
    std::u16string token = remaining.substr(0, at);
    // One character is skipped past the start of the separator.
    remaining.erase(0, at + 1);
    if (!HasSeparator()) {
        lastPending = true;
    }
    return token;
}
