#include "worker/writers/DocumentLosses.h"

#include <algorithm>
#include <new>
#include <vector>

#include "platform/notes/LNNotes.h"
#include "worker/core/NsfConverter.h"
#include "worker/core/PassSupport.h"
#include "worker/notes/HtmlConversion.h"

namespace {

// Every rich-text field name of the note, once each (a long field is kept in
// several items of one name).
std::vector<LNString> RichTextFieldNames(const LNNote& note)
{
    std::vector<LNItem> items;
    std::vector<LNString> names;
    if (note.GetItems(&items, LNITEMTYPE_RICHTEXT) != LNNOERROR) return names;
    for (const LNItem& item : items) {
        const LNString name = item.GetName();
        if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    }
    return names;
}

void ReportDamagedFields(CNsfConverter& context, const LNNote& note)
{
    LNINT damaged = 0;
    bool unreadable = false;
    for (const LNString& name : RichTextFieldNames(note)) {
        LNRichText field;
        const LNSTATUS status = note.GetItem(name, &field);
        if (status == ERR_CD_RECORD) unreadable = true;
        if (status == LNNOERROR) damaged += field.GetDamagedRecordCount();
    }
    if (unreadable) {
        WarnLoss(context, u"The body is damaged and cannot be read: " + NotesErrorText(ERR_CD_RECORD),
                 u"body damaged");
    } else if (damaged > 0) {
        WarnLoss(context, u"Damaged rich-text records were left out of the body: " +
                              Decimal(static_cast<uint64_t>(damaged)),
                 u"body partly damaged");
    }
}

void ReportTooLarge(CNsfConverter& context)
{
    WarnLoss(context, u"The body is too large to convert: " + NotesErrorText(ERR_NO_MEMORY),
             u"body too large to convert");
}

}  // namespace

void ReportLoss(CNsfConverter& context, std::u16string reason)
{
    std::vector<std::u16string>& problems = context.documentProblems;
    if (std::find(problems.begin(), problems.end(), reason) == problems.end()) problems.push_back(std::move(reason));
}

void WarnLoss(CNsfConverter& context, std::u16string_view warning, std::u16string reason)
{
    context.app.runLog.WriteRaw(u"WARNING:" + std::u16string(warning) + u"\r\n");
    ++context.app.warningCount;
    ReportLoss(context, std::move(reason));
}

void ReportRichTextLosses(CNsfConverter& context, const LNNote& note, const HtmlConversionContext& html,
                          const std::u16string& convertedText)
{
    if (convertedText.empty() && html.status == ERR_NO_MEMORY) {
        ReportTooLarge(context);
        return;
    }
    try {
        ReportDamagedFields(context, note);
    } catch (const std::bad_alloc&) {
        ReportTooLarge(context);
    }
}
