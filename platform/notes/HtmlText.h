// HTML text as the native MIME body needs it: the content of a document's
// <body>, the readable text of HTML, plain text as HTML, and the cid: URLs
// by which HTML refers to the images sent along with it.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace notes {

// The content of the <body> element; for a fragment without one, the text
// without its <head> element and its <html> and <!DOCTYPE> tags.
std::u16string HtmlBodyContent(std::u16string_view html);

// The text a reader sees: tags and comments dropped (script and style with
// their content), line breaks for <br> and around paragraphs, list items,
// table rows, headings and blocks, white space folded, character references
// decoded; lines end with CR LF.
std::u16string HtmlToText(std::u16string_view html);

// Plain text as HTML: & < > " escaped, each line break as <br> and CR LF.
std::u16string TextToHtml(std::u16string_view text);

// A src or background attribute of a tag whose value is a cid: URL.
struct CCidReference {
    size_t begin = 0;        // the value, with its quotes when it has them
    size_t length = 0;
    std::string contentId;   // the URL after "cid:", %-escapes decoded
};
std::vector<CCidReference> FindCidReferences(std::u16string_view html);

}  // namespace notes
