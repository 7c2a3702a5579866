#include "platform/store/ItemCommon.h"

#include <chrono>
#include <cmath>
#include <ctime>
#include <set>

#include "platform/store/MapiTags.h"
#include "platform/store/StoreText.h"

namespace store {

namespace {
constexpr int64_t ticksPerSecond = 10000000;
constexpr int64_t unixEpochInFileTime = 116444736000000000LL;
constexpr double oleEpochDaysFrom1601 = 109205.0;  // 1601-01-01 to 1899-12-30

bool IsSubjectPrefix(std::u16string_view s, size_t colon) {
    if (colon < 1 || colon > 3) return false;
    for (size_t i = 0; i < colon; ++i)
        if ((s[i] >= u'0' && s[i] <= u'9') || s[i] == u' ') return false;
    return colon + 1 < s.size() && s[colon + 1] == u' ';
}
}  // namespace

void SetSubject(CPropertyBag& props, const std::u16string& subject) {
    props.Set(tagSubject, subject);
    size_t colon = subject.find(u':');
    std::u16string prefix, normalized = subject;
    if (colon != std::u16string::npos && IsSubjectPrefix(subject, colon)) {
        prefix = subject.substr(0, colon + 2);
        normalized = subject.substr(colon + 2);
    }
    props.Set(tagSubjectPrefix, prefix);
    props.Set(tagNormalizedSubject, normalized);
    props.Set(tagConversationTopic, normalized);
}

void SetPlainBody(CPropertyBag& props, const std::u16string& text) {
    props.Set(tagBody, text);
    props.Remove(tagHtml);
    props.Set(tagNativeBody, int32_t(1));
}

namespace {

// The plain text is always the one derived from the HTML beside it (a plain
// body removes the HTML), so the same HTML set again, as when the body is put
// after an import that brought it, keeps the text it has.
void SetHtmlBodyProps(CPropertyBag& props, std::string utf8Html, std::u16string_view html) {
    const CPropValue* held = props.Get(tagHtml);
    const auto* heldHtml = held ? std::get_if<std::string>(held) : nullptr;
    const bool unchanged = heldHtml && *heldHtml == utf8Html && props.Get(tagBody);
    props.Set(tagInternetCodepage, int32_t(65001));
    props.Set(tagNativeBody, int32_t(3));
    if (unchanged) return;
    props.Set(tagHtml, std::move(utf8Html));
    props.Set(tagBody, HtmlToText(html));
}

// Where the next "<meta" (in any case) starts at or after `pos`, or npos.
size_t FindMetaTag(std::u16string_view html, size_t pos) {
    for (size_t at = html.find(u'<', pos); at != std::u16string_view::npos; at = html.find(u'<', at + 1))
        if (EqualNoCase(html.substr(at, 5), u"<meta")) return at;
    return std::u16string_view::npos;
}

// The stored HTML is UTF-8; a <meta> charset that says otherwise is set right.
std::u16string DeclareUtf8(std::u16string html) {
    size_t pos = 0;
    for (;;) {
        size_t meta = FindMetaTag(html, pos);
        if (meta == std::u16string::npos) return html;
        size_t end = html.find(u'>', meta);
        if (end == std::u16string::npos) return html;
        std::u16string lowerTag = Lower(std::u16string_view(html).substr(meta, end - meta));
        size_t charset = lowerTag.find(u"charset=");
        if (charset != std::u16string::npos) {
            size_t valueStart = meta + charset + 8;
            if (valueStart < end && (html[valueStart] == u'"' || html[valueStart] == u'\'')) ++valueStart;
            size_t valueEnd = valueStart;
            while (valueEnd < end && html[valueEnd] != u'"' && html[valueEnd] != u'\'' && html[valueEnd] != u';' &&
                   html[valueEnd] != u' ' && html[valueEnd] != u'/')
                ++valueEnd;
            html.replace(valueStart, valueEnd - valueStart, u"utf-8");
            end = html.find(u'>', meta);
        }
        pos = end;
    }
}

}  // namespace

void SetHtmlBodyBytes(CPropertyBag& props, const std::string& utf8Html) {
    SetHtmlBodyProps(props, utf8Html, FromUtf8(utf8Html));
}

void SetHtmlBody(CPropertyBag& props, const std::u16string& html) {
    std::u16string declared = DeclareUtf8(html);
    SetHtmlBodyProps(props, ToUtf8(declared), declared);
}

namespace {

char16_t DecodeEntity(std::u16string_view name) {
    static const struct { const char16_t* name; char16_t ch; } entities[] = {
        {u"amp", u'&'}, {u"lt", u'<'}, {u"gt", u'>'}, {u"quot", u'"'}, {u"apos", u'\''},
        {u"nbsp", u'\u00A0'}, {u"copy", u'\u00A9'}, {u"reg", u'\u00AE'}, {u"euro", u'\u20AC'},
    };
    if (!name.empty() && name[0] == u'#') {
        long v = 0;
        bool hex = name.size() > 1 && (name[1] == u'x' || name[1] == u'X');
        for (size_t i = hex ? 2 : 1; i < name.size(); ++i) {
            char16_t c = name[i];
            int d = c >= u'0' && c <= u'9' ? c - u'0'
                    : hex && c >= u'a' && c <= u'f' ? c - u'a' + 10
                    : hex && c >= u'A' && c <= u'F' ? c - u'A' + 10 : -1;
            if (d < 0 || v > 0xFFFF) return 0;
            v = v * (hex ? 16 : 10) + d;
        }
        return v > 0 && v < 0xD800 ? static_cast<char16_t>(v) : 0;
    }
    for (const auto& e : entities)
        if (name == e.name) return e.ch;
    return 0;
}

bool IsBlockTag(std::u16string_view tag) {
    static const char16_t* const blocks[] = {u"br", u"p", u"div", u"tr", u"li", u"h1", u"h2", u"h3",
                                             u"h4", u"h5", u"h6", u"table", u"blockquote", u"hr"};
    for (auto b : blocks)
        if (EqualNoCase(tag, b)) return true;
    return false;
}

}  // namespace

std::u16string HtmlToText(std::u16string_view html) {
    std::u16string out;
    out.reserve(html.size());
    size_t i = 0;
    bool skipping = false;  // inside <style> or <script>
    while (i < html.size()) {
        char16_t c = html[i];
        if (c == u'<') {
            size_t end = html.find(u'>', i);
            if (end == std::u16string_view::npos) break;
            std::u16string_view inner = html.substr(i + 1, end - i - 1);
            bool closing = !inner.empty() && inner[0] == u'/';
            size_t nameStart = closing ? 1 : 0, nameEnd = nameStart;
            while (nameEnd < inner.size() && inner[nameEnd] != u' ' && inner[nameEnd] != u'/' &&
                   inner[nameEnd] != u'\t' && inner[nameEnd] != u'\r' && inner[nameEnd] != u'\n')
                ++nameEnd;
            std::u16string_view name = inner.substr(nameStart, nameEnd - nameStart);
            if (EqualNoCase(name, u"style") || EqualNoCase(name, u"script")) skipping = !closing;
            else if (!skipping && IsBlockTag(name) && (!closing || !EqualNoCase(name, u"br"))) {
                if (!out.empty() && out.back() != u'\n') out += u"\r\n";
                else if (EqualNoCase(name, u"br")) out += u"\r\n";
            }
            i = end + 1;
            continue;
        }
        if (skipping) { ++i; continue; }
        if (c == u'&') {
            size_t semi = html.find(u';', i);
            if (semi != std::u16string_view::npos && semi - i <= 10) {
                char16_t decoded = DecodeEntity(html.substr(i + 1, semi - i - 1));
                if (decoded) {
                    out.push_back(decoded == u'\u00A0' ? u' ' : decoded);
                    i = semi + 1;
                    continue;
                }
            }
        }
        if (c == u'\r' || c == u'\n' || c == u'\t') c = u' ';
        if (c == u' ' && (out.empty() || out.back() == u' ' || out.back() == u'\n')) { ++i; continue; }
        out.push_back(c);
        ++i;
    }
    return Trim(out);
}

void SetCategories(CPropertyBag& props, std::u16string_view text) {
    std::vector<std::u16string> values;
    std::set<std::u16string> seen;
    std::u16string normalized(text);
    for (auto& c : normalized)
        if (c == u',') c = u';';
    for (const auto& piece : Split(normalized, u';')) {
        std::u16string v = Trim(piece);
        if (!v.empty() && seen.insert(Lower(v)).second) values.push_back(v);
    }
    if (values.empty()) props.RemoveNamed(Keywords());
    else props.SetNamed(Keywords(), values);
}

CFileTime OleDateAsUtc(double oleDate) {
    double ticks = std::round((oleDate + oleEpochDaysFrom1601) * 86400.0 * 1000.0) * 10000.0;
    return CFileTime{static_cast<int64_t>(ticks)};
}

CFileTime FileTimeFromUnix(int64_t unixSeconds) { return CFileTime{unixSeconds * ticksPerSecond + unixEpochInFileTime}; }

CFileTime OleDateFromLocal(double oleDate) {
    // Split the wall-clock value into fields and let the host's zone place it.
    int64_t asUtc = OleDateAsUtc(oleDate).value;
    int64_t unixSeconds = (asUtc - unixEpochInFileTime) / ticksPerSecond;
    std::time_t t = static_cast<std::time_t>(unixSeconds);
    std::tm fields{};
    gmtime_r(&t, &fields);
    fields.tm_isdst = -1;
    std::time_t local = mktime(&fields);
    if (local == static_cast<std::time_t>(-1)) return CFileTime{asUtc};
    return FileTimeFromUnix(local);
}

CFileTime FileTimeNow() {
    auto now = std::chrono::system_clock::now().time_since_epoch();
    return CFileTime{std::chrono::duration_cast<std::chrono::microseconds>(now).count() * 10 + unixEpochInFileTime};
}

bool MakeUtcFileTime(int year, int month, int day, int hour, int minute, int second, CFileTime& out) {
    if (year < 1601 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 ||
        minute < 0 || minute > 59 || second < 0 || second > 60)
        return false;
    // Days from civil (proleptic Gregorian), counted from 1970-01-01.
    int y = year - (month <= 2 ? 1 : 0);
    int era = (y >= 0 ? y : y - 399) / 400;
    int yoe = y - era * 400;
    int mp = (month + 9) % 12;
    int doy = (153 * mp + 2) / 5 + day - 1;
    int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    int64_t days = static_cast<int64_t>(era) * 146097 + doe - 719468;
    out = FileTimeFromUnix(days * 86400 + hour * 3600 + minute * 60 + second);
    return true;
}

}  // namespace store
