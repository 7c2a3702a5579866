// Renders the rich-text fields of a note to HTML (LMBCS text) with the
// references the converter reports: images (with the item name and the
// "index.hex offset" position), document links and attachment hotspots. A
// native MIME body gives its own HTML; its images are elements at offset 0
// of their parts' items.
#pragma once
#include <string>
#include <vector>

#include "platform/notes/HtmlApi.h"
#include "platform/notes/NotesState.h"

namespace notes {

struct CHtmlTarget {
    UAT attribute = UAT_None;
    URT valueType = URT_None;
    std::string name;   // URT_Name
    UNID unid{};          // URT_Unid
    DBID replica{};       // URT_RepId
};

struct CHtmlReference {
    HTMLAPI_REF_TYPE type = HTMLAPI_REF_UNKNOWN;
    CmdId command = CmdId_None;
    std::string text;   // the URL as written into the HTML
    std::vector<CHtmlTarget> targets;
};

// The converter's output: literal LMBCS pieces with reference slots between.
struct CHtmlResult {
    std::vector<std::string> literals;   // literals.size() == slots.size() + 1
    std::vector<size_t> slots;           // index into references
    std::vector<CHtmlReference> references;
    std::string Text() const;
};

// Fields: the rich-text field names to render, in order. Throws LNSTATUS.
CHtmlResult RenderFields(const CNoteRef& note, const std::vector<std::string>& fields);
// Names of the visible rich-text fields of the note (CD records or native
// MIME), in note order.
std::vector<std::string> RichTextFields(const CNoteRef& note);

}  // namespace notes
