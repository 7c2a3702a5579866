// What the readers and writers could not carry of the current document: each
// loss is a short reason kept in the conversion context for the conversion
// report (the pass records the document as incomplete with them), and where
// the run log would not say it otherwise, a warning line that the folder
// summary counts.
#pragma once
#include <string>
#include <string_view>

#include "platform/notes/NotesTypes.h"

class CNsfConverter;
class LNNote;
struct HtmlConversionContext;

// Keeps the reason (once) for the document being converted.
void ReportLoss(CNsfConverter& context, std::u16string reason);
// Also writes "WARNING:" + warning + CR LF to the run log and counts it.
void WarnLoss(CNsfConverter& context, std::u16string_view warning, std::u16string reason);

// After the rich-text conversion of the note: says when the body was too
// large to convert (the converter ran out of memory), when a rich-text field
// is damaged beyond reading, and when damaged CD records were left out of it.
void ReportRichTextLosses(CNsfConverter& context, const LNNote& note, const HtmlConversionContext& html,
                          const std::u16string& convertedText);
