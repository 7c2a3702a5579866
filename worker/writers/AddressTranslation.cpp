// Address translation over ";"-lists of Notes names and Internet addresses.
#include "worker/writers/AddressTranslation.h"

#include <vector>

#include "platform/sys/Text.h"
#include "worker/notes/CToken.h"

namespace {

const std::u16string_view kCommonNameTag = u"CN=";
const std::u16string_view kNoAddress = u".";

std::vector<std::u16string> SplitList(std::u16string_view text)
{
    std::vector<std::u16string> elements;
    CToken token(text);
    token.SetSeparator(u";");
    while (token.MoreTokens()) elements.push_back(token.NextToken());
    return elements;
}

bool Contains(std::u16string_view text, std::u16string_view part)
{
    return text.find(part) != std::u16string_view::npos;
}

void StripTrailingSeparators(std::u16string& text)
{
    while (!text.empty() && text.back() == u';') text.pop_back();
}

std::u16string WithoutBlanks(std::u16string_view text)
{
    std::u16string result;
    for (char16_t c : text) {
        if (c != u' ') result += c;
    }
    return result;
}

std::u16string FirstLetter(const std::u16string& text)
{
    return text.substr(0, 1);
}

// A name shown in place of a Notes name: its common name, or the name
// itself when it has none.
std::u16string DisplayNameOf(std::u16string_view name)
{
    std::u16string common = CAddressTranslator::CommonNameOf(name);
    return common.empty() ? std::u16string(name) : common;
}

// An Internet element as shown: a Notes name in it becomes its display name.
std::u16string DisplayElement(const std::u16string& element)
{
    return Contains(element, kCommonNameTag) ? DisplayNameOf(element) : element;
}

}  // namespace

std::u16string CAddressTranslator::CommonNameOf(std::u16string_view name)
{
    const size_t at = name.find(kCommonNameTag);
    if (at == std::u16string_view::npos) return std::u16string();
    const std::u16string_view rest = name.substr(at + kCommonNameTag.size());
    return std::u16string(rest.substr(0, rest.find(u'/')));
}

std::u16string CAddressTranslator::MakeSmtpAddress(std::u16string_view commonName) const
{
    std::u16string first(commonName);
    std::u16string last = u"SMTP";
    const size_t blank = commonName.rfind(u' ');
    if (blank != std::u16string_view::npos) {
        first = WithoutBlanks(commonName.substr(0, blank));
        last = WithoutBlanks(commonName.substr(blank));
    }
    const std::u16string at = u"@" + settings.smtpDomain;
    switch (settings.smtpPatternIndex) {
    case 0: return first + at;
    case 1: return last + at;
    case 2: return first + u"." + last + at;
    case 3: return last + u"." + first + at;
    case 4: return FirstLetter(first) + u"." + last + at;
    case 5: return last + u"." + FirstLetter(first) + at;
    case 6: return first + u"." + FirstLetter(last) + at;
    case 7: return FirstLetter(last) + u"." + first + at;
    default: return std::u16string();
    }
}

std::u16string CAddressTranslator::PickAddress(std::u16string_view mapValue, std::u16string_view notesName)
{
    const std::vector<std::u16string> addresses = SplitList(mapValue);
    if (addresses.empty()) return std::u16string();
    const std::u16string lowerName = sys::ToLower(notesName);
    for (const std::u16string& address : addresses) {
        const size_t at = address.find(u'@');
        if (at == std::u16string::npos) continue;
        std::u16string label = address.substr(at + 1);
        label = label.substr(0, label.find(u'.'));
        if (Contains(lowerName, label)) return address;
    }
    return addresses.front();
}

bool CAddressTranslator::UsesAddressMap() const
{
    return settings.useCsvMap == 1 || settings.useNamesNsf == 1;
}

const std::u16string* CAddressTranslator::MapValue(std::u16string_view name) const
{
    const auto found = settings.addressMap.find(sys::ToLower(name));
    return found == settings.addressMap.end() ? nullptr : &found->second;
}

std::u16string CAddressTranslator::ResolveName(std::u16string_view notesName) const
{
    const std::u16string common = CommonNameOf(notesName);
    if (!UsesAddressMap()) {
        return common.empty() ? std::u16string(notesName) : MakeSmtpAddress(common);
    }
    const std::u16string_view key = common.empty() ? notesName : std::u16string_view(common);
    if (const std::u16string* value = MapValue(key)) {
        std::u16string picked = PickAddress(*value, notesName);
        return picked.empty() ? *value : picked;
    }
    if (common.empty()) return std::u16string(notesName);
    return settings.useSmtpPattern == 1 ? MakeSmtpAddress(common) : common;
}

std::u16string CAddressTranslator::TranslateToSmtp(std::u16string_view internetText,
                                                   std::u16string_view namesText) const
{
    if (!UsesAddressMap() && settings.useSmtpPattern != 1) return std::u16string();
    if (!internetText.empty() && internetText != kNoAddress && !Contains(internetText, u";")) {
        return std::u16string(internetText);
    }
    const std::vector<std::u16string> internet = SplitList(internetText);
    const std::vector<std::u16string> names = SplitList(namesText);
    if (internet.empty() && names.empty()) return ResolveName(namesText);
    std::u16string result;
    if (internet.size() == names.size()) {
        for (size_t i = 0; i < internet.size(); ++i) {
            result += (internet[i] == kNoAddress ? ResolveName(names[i]) : internet[i]) + u";";
        }
    } else if (!internet.empty()) {
        for (const std::u16string& element : internet) {
            if (element != kNoAddress) result += element + u";";
        }
    } else {
        for (const std::u16string& name : names) result += ResolveName(name) + u";";
    }
    StripTrailingSeparators(result);
    return result;
}

std::u16string CAddressTranslator::ToDisplayNames(std::u16string_view internetText,
                                                  std::u16string_view namesText) const
{
    if (!internetText.empty() && internetText != kNoAddress && !Contains(internetText, u";") &&
        !Contains(internetText, kCommonNameTag)) {
        return std::u16string(internetText);
    }
    const std::vector<std::u16string> internet = SplitList(internetText);
    const std::vector<std::u16string> names = SplitList(namesText);
    if (internet.empty()) return DisplayNameOf(namesText);
    std::u16string result;
    if (internet.size() == names.size()) {
        for (size_t i = 0; i < internet.size(); ++i) {
            result += (internet[i] == kNoAddress ? DisplayNameOf(names[i]) : DisplayElement(internet[i])) + u";";
        }
    } else {
        for (const std::u16string& element : internet) {
            if (element != kNoAddress) result += DisplayElement(element) + u";";
        }
    }
    StripTrailingSeparators(result);
    return result;
}
