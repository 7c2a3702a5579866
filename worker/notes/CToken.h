// CToken: the tokenizer both programs use to split Notes lists joined with
// ";" and folder paths joined with "\". It keeps the text still to be split,
// the separator (one blank unless set) and a flag for a last token that is
// still to be handed out.
//
// The protocol the callers follow: ask MoreTokens before every NextToken. A
// text without the separator gives no tokens at all; "a;b" gives "a" and
// "b"; "a;" gives "a" and an empty last token; "a;;b" gives "a", "" and "b".
// After a separator exactly one character is skipped, whatever the
// separator's length.
#pragma once
#include <string>
#include <string_view>

class CToken {
public:
    explicit CToken(std::u16string_view text);

    // Slot order of the virtual operations is fixed: NextToken, MoreTokens,
    // then the destructor.
    virtual std::u16string NextToken();
    virtual bool MoreTokens();
    virtual ~CToken();

    void SetSeparator(std::u16string_view separator);

private:
    bool HasSeparator() const;

    std::u16string remaining;
    std::u16string separator = u" ";
    bool lastPending = false;
};
