#include "platform/notes/HtmlText.h"

#include <cstdint>

namespace notes {

namespace {

char16_t LowerAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }
bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f'; }
bool IsNameChar(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'-' ||
           c == u'_' || c == u':';
}

// Position of the ASCII pattern (lower case) in text from `from`, ignoring case.
size_t FindNoCase(std::u16string_view text, std::string_view pattern, size_t from = 0) {
    if (pattern.size() > text.size()) return std::u16string_view::npos;
    for (size_t i = from; i + pattern.size() <= text.size(); ++i) {
        size_t k = 0;
        while (k < pattern.size() && LowerAscii(text[i + k]) == static_cast<char16_t>(pattern[k])) ++k;
        if (k == pattern.size()) return i;
    }
    return std::u16string_view::npos;
}

bool StartsNoCase(std::u16string_view text, std::string_view pattern) {
    return text.size() >= pattern.size() && FindNoCase(text.substr(0, pattern.size()), pattern) == 0;
}

// One tag: its lower-case name ("/p" for an end tag, "!" for a declaration)
// and its attributes, from '<' to the end of the tag.
struct CTag {
    std::u16string name;
    size_t end = 0;   // just after '>'
    struct CAttribute {
        std::u16string name;
        size_t valueBegin = 0, valueLength = 0;   // with the quotes
        std::u16string value;                     // without them
    };
    std::vector<CAttribute> attributes;
};

size_t SkipSpaces(std::u16string_view s, size_t i) {
    while (i < s.size() && IsSpace(s[i])) ++i;
    return i;
}

void ReadAttributeValue(std::u16string_view s, size_t& i, CTag::CAttribute& a) {
    a.valueBegin = i;
    if (i < s.size() && (s[i] == u'"' || s[i] == u'\'')) {
        char16_t quote = s[i];
        size_t close = s.find(quote, i + 1);
        if (close == std::u16string_view::npos) close = s.size();
        a.value = std::u16string(s.substr(i + 1, close - i - 1));
        i = close < s.size() ? close + 1 : close;
    } else {
        while (i < s.size() && !IsSpace(s[i]) && s[i] != u'>') ++i;
        a.value = std::u16string(s.substr(a.valueBegin, i - a.valueBegin));
    }
    a.valueLength = i - a.valueBegin;
}

// The tag that starts at s[at] == '<'; nothing when '<' starts no tag.
bool ReadTag(std::u16string_view s, size_t at, CTag& tag) {
    size_t i = at + 1;
    if (i < s.size() && (s[i] == u'/' || s[i] == u'!' || s[i] == u'?')) tag.name += s[i++];
    while (i < s.size() && IsNameChar(s[i])) tag.name += LowerAscii(s[i++]);
    if (tag.name.empty() || (tag.name == u"/" && i == at + 2)) return false;
    while (i < s.size() && s[i] != u'>') {
        i = SkipSpaces(s, i);
        if (i < s.size() && s[i] == u'/') ++i;
        CTag::CAttribute a;
        while (i < s.size() && !IsSpace(s[i]) && s[i] != u'=' && s[i] != u'>') a.name += LowerAscii(s[i++]);
        i = SkipSpaces(s, i);
        if (i < s.size() && s[i] == u'=') {
            i = SkipSpaces(s, i + 1);
            ReadAttributeValue(s, i, a);
        }
        if (!a.name.empty()) tag.attributes.push_back(std::move(a));
        else if (i < s.size() && s[i] != u'>') ++i;
    }
    tag.end = i < s.size() ? i + 1 : i;
    return true;
}

char16_t NamedEntity(std::u16string_view name) {
    static const struct {
        const char16_t* name;
        char16_t c;
    } entities[] = {{u"amp", u'&'},     {u"lt", u'<'},      {u"gt", u'>'},      {u"quot", u'"'},
                    {u"apos", u'\''},   {u"nbsp", u' '},    {u"copy", u'\u00A9'}, {u"reg", u'\u00AE'},
                    {u"euro", u'\u20AC'}, {u"shy", 0},      {u"ndash", u'\u2013'}, {u"mdash", u'\u2014'},
                    {u"laquo", u'\u00AB'}, {u"raquo", u'\u00BB'}, {u"bull", u'\u2022'}, {u"hellip", u'\u2026'}};
    for (const auto& e : entities)
        if (name == e.name) return e.c;
    return u'\uFFFF';
}

// Decodes the character reference at s[i] == '&'; appends it and returns the
// length used, or 0 when it is not one.
size_t AppendReference(std::u16string_view s, size_t i, std::u16string& out) {
    size_t semi = s.find(u';', i);
    if (semi == std::u16string_view::npos || semi - i > 10) return 0;
    std::u16string_view body = s.substr(i + 1, semi - i - 1);
    if (body.size() >= 2 && body[0] == u'#') {
        bool hex = body[1] == u'x' || body[1] == u'X';
        uint32_t code = 0;
        for (size_t k = hex ? 2 : 1; k < body.size(); ++k) {
            char16_t c = body[k];
            int digit = c >= u'0' && c <= u'9' ? c - u'0'
                        : hex && LowerAscii(c) >= u'a' && LowerAscii(c) <= u'f' ? LowerAscii(c) - u'a' + 10
                                                                               : -1;
            if (digit < 0) return 0;
            code = code * (hex ? 16 : 10) + static_cast<uint32_t>(digit);
            if (code > 0x10FFFF) return 0;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (code >> 10));
            out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        } else if (code != 0) {
            out += static_cast<char16_t>(code);
        }
        return semi - i + 1;
    }
    char16_t c = NamedEntity(body);
    if (c == u'\uFFFF') return 0;
    if (c != 0) out += c;
    return semi - i + 1;
}

bool BreaksLine(std::u16string_view name) {
    if (!name.empty() && name[0] == u'/') name.remove_prefix(1);
    static const char16_t* const blocks[] = {u"p",  u"div", u"tr", u"li", u"ul", u"ol", u"table", u"blockquote",
                                             u"h1", u"h2",  u"h3", u"h4", u"h5", u"h6", u"pre",   u"hr"};
    for (const char16_t* b : blocks)
        if (name == b) return true;
    return false;
}

// Folded text: runs of blanks become one, blanks at line ends go, at most one
// empty line in a row, no empty lines at either end.
std::u16string Tidy(const std::u16string& text) {
    std::u16string out;
    int newlines = 0;
    bool blank = false;
    for (char16_t c : text) {
        if (c == u'\n') {
            blank = false;
            if (!out.empty() && newlines < 2) {
                out += u"\r\n";
                ++newlines;
            }
        } else if (c == u' ') {
            blank = true;
        } else {
            if (blank && newlines == 0 && !out.empty()) out += u' ';
            blank = false;
            newlines = 0;
            out += c;
        }
    }
    while (out.size() >= 2 && out.compare(out.size() - 2, 2, u"\r\n") == 0) out.resize(out.size() - 2);
    return out;
}

}  // namespace

std::u16string HtmlBodyContent(std::u16string_view html) {
    size_t body = FindNoCase(html, "<body");
    if (body != std::u16string_view::npos) {
        CTag tag;
        size_t from = ReadTag(html, body, tag) ? tag.end : body + 5;
        size_t to = FindNoCase(html, "</body", from);
        return std::u16string(html.substr(from, to == std::u16string_view::npos ? std::u16string_view::npos : to - from));
    }
    std::u16string out;
    for (size_t i = 0; i < html.size();) {
        CTag tag;
        if (html[i] != u'<' || !ReadTag(html, i, tag)) {
            out += html[i++];
        } else if (tag.name == u"head") {
            size_t close = FindNoCase(html, "</head", tag.end);
            CTag end;
            i = close == std::u16string_view::npos ? html.size() : ReadTag(html, close, end) ? end.end : close + 6;
        } else if (tag.name == u"html" || tag.name == u"/html" || StartsNoCase(tag.name, "!doctype")) {
            i = tag.end;
        } else {
            out.append(html.substr(i, tag.end - i));
            i = tag.end;
        }
    }
    return out;
}

std::u16string HtmlToText(std::u16string_view html) {
    std::u16string text;
    for (size_t i = 0; i < html.size();) {
        char16_t c = html[i];
        if (c == u'<' && html.substr(i, 4) == u"<!--") {
            size_t close = html.find(u"-->", i + 4);
            i = close == std::u16string_view::npos ? html.size() : close + 3;
            continue;
        }
        CTag tag;
        if (c == u'<' && ReadTag(html, i, tag)) {
            i = tag.end;
            if (tag.name == u"script" || tag.name == u"style" || tag.name == u"head" || tag.name == u"title") {
                std::string close = "</" + std::string(tag.name.begin(), tag.name.end());
                size_t end = FindNoCase(html, close, i);
                CTag endTag;
                i = end == std::u16string_view::npos ? html.size() : ReadTag(html, end, endTag) ? endTag.end : end;
            } else if (tag.name == u"br") {
                text += u'\n';
            } else if (BreaksLine(tag.name)) {
                text += u"\n\n";
            }
            continue;
        }
        if (c == u'&') {
            if (size_t used = AppendReference(html, i, text)) {
                i += used;
                continue;
            }
        }
        text += IsSpace(c) ? u' ' : c;
        ++i;
    }
    // A paragraph break is one empty line; a <br> inside a paragraph stays a
    // single line break.
    std::u16string folded;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 2, u"\n\n") == 0) {
            folded += u"\n\n";
            while (i + 1 < text.size() && (text[i + 1] == u'\n' || text[i + 1] == u' ')) ++i;
        } else {
            folded += text[i];
        }
    }
    return Tidy(folded);
}

std::u16string TextToHtml(std::u16string_view text) {
    std::u16string out;
    for (size_t i = 0; i < text.size(); ++i) {
        switch (char16_t c = text[i]) {
        case u'&': out += u"&amp;"; break;
        case u'<': out += u"&lt;"; break;
        case u'>': out += u"&gt;"; break;
        case u'"': out += u"&quot;"; break;
        case u'\r':
            if (i + 1 < text.size() && text[i + 1] == u'\n') break;
            out += u"<br>\r\n";
            break;
        case u'\n': out += u"<br>\r\n"; break;
        default: out += c;
        }
    }
    return out;
}

std::vector<CCidReference> FindCidReferences(std::u16string_view html) {
    std::vector<CCidReference> found;
    for (size_t i = html.find(u'<'); i != std::u16string_view::npos; i = html.find(u'<', i + 1)) {
        CTag tag;
        if (!ReadTag(html, i, tag)) continue;
        for (const auto& a : tag.attributes) {
            if ((a.name != u"src" && a.name != u"background") || !StartsNoCase(a.value, "cid:")) continue;
            CCidReference ref;
            ref.begin = a.valueBegin;
            ref.length = a.valueLength;
            for (size_t k = 4; k < a.value.size(); ++k) {
                char16_t c = a.value[k];
                auto hex = [](char16_t h) {
                    h = LowerAscii(h);
                    return h >= u'0' && h <= u'9' ? h - u'0' : h >= u'a' && h <= u'f' ? h - u'a' + 10 : -1;
                };
                if (c == u'%' && k + 2 < a.value.size() && hex(a.value[k + 1]) >= 0 && hex(a.value[k + 2]) >= 0) {
                    ref.contentId += static_cast<char>(hex(a.value[k + 1]) * 16 + hex(a.value[k + 2]));
                    k += 2;
                } else if (c < 0x80) {
                    ref.contentId += static_cast<char>(c);
                }
            }
            found.push_back(std::move(ref));
        }
        i = tag.end > i ? tag.end - 1 : i;
    }
    return found;
}

}  // namespace notes
