#include "FakeHtmlApi.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/sys/Text.h"

namespace fake {
namespace {

struct Converter {
    std::string text;
    bool converted = false;
    bool isMain = false;  // a note or item conversion, which has the references
};

struct LockedReference {
    HTMLAPIReference reference{};
    std::vector<HTMLAPI_URLComponent> components;
    std::vector<std::string> names;
    std::string text;
    bool locked = false;
};

Script script;
Record record;
std::map<HTMLHANDLE, Converter> converters;
std::map<MEMHANDLE, std::unique_ptr<LockedReference>> references;
std::map<MEMHANDLE, DWORD> referenceIndex;
HTMLHANDLE nextConverter = 100;
MEMHANDLE nextReference = 500;
int creations = 0;

constexpr STATUS BadHandle = 0x0240;
constexpr STATUS NoElement = 0x0241;

std::string Replace(std::string text, const std::string& from, const std::string& to)
{
    const size_t at = text.find(from);
    if (at != std::string::npos && !from.empty()) {
        text.replace(at, from.size(), to);
    }
    return text;
}

}  // namespace

void Reset(const Script& newScript)
{
    script = newScript;
    record = Record{};
    converters.clear();
    references.clear();
    referenceIndex.clear();
    creations = 0;
}

Record& Recorded() { return record; }

}  // namespace fake

using namespace fake;

extern "C" {

STATUS HTMLProcessInitialize(void)
{
    if (script.initStatus != 0) {
        return script.initStatus;
    }
    ++record.processStarts;
    return 0;
}

void HTMLProcessTerminate(void) { ++record.processEnds; }

STATUS HTMLCreateConverter(HTMLHANDLE* phHTML)
{
    if (creations++ == script.failCreateAt) {
        return 0x0999;
    }
    *phHTML = nextConverter++;
    converters[*phHTML] = Converter{};
    ++record.convertersCreated;
    return 0;
}

STATUS HTMLDestroyConverter(HTMLHANDLE hHTML)
{
    if (converters.erase(hHTML) == 0) {
        return BadHandle;
    }
    ++record.convertersDestroyed;
    return 0;
}

STATUS HTMLSetHTMLOptions(HTMLHANDLE, const char* const* optionList)
{
    for (; optionList && *optionList; ++optionList) {
        record.options.push_back(*optionList);
    }
    return script.optionsStatus;
}

STATUS HTMLConvertNote(HTMLHANDLE hHTML, DBHANDLE, NOTEHANDLE, DWORD, HTMLAPI_URLComponent*)
{
    record.calls.push_back("note");
    if (script.convertNoteStatus != 0) {
        return script.convertNoteStatus;
    }
    converters[hHTML] = Converter{script.noteHtml, true, true};
    return 0;
}

STATUS HTMLConvertItem(HTMLHANDLE hHTML, DBHANDLE, NOTEHANDLE, const char* pszItemName)
{
    record.calls.push_back(std::string("item ") + pszItemName);
    if (script.convertItemStatus != 0) {
        return script.convertItemStatus;
    }
    converters[hHTML] = Converter{script.itemHtml, true, true};
    return 0;
}

STATUS HTMLConvertElement(HTMLHANDLE hHTML, DBHANDLE, NOTEHANDLE, const char* pszItemName,
                          DWORD ItemIndex, DWORD Offset)
{
    char call[160];
    std::snprintf(call, sizeof call, "element %s %u %x", pszItemName, ItemIndex, Offset);
    record.calls.push_back(call);
    const auto found = script.images.find({pszItemName, ItemIndex, Offset});
    if (found == script.images.end()) {
        return NoElement;
    }
    converters[hHTML] = Converter{found->second, true, false};
    return 0;
}

STATUS HTMLGetProperty(HTMLHANDLE hHTML, HTMLAPI_PROP_TYPE PropertyType, void* pProperty)
{
    const auto found = converters.find(hHTML);
    if (found == converters.end() || !found->second.converted) {
        return BadHandle;
    }
    if (PropertyType == HTMLAPI_PROP_TEXTLENGTH) {
        if (script.textLengthStatus != 0) {
            return script.textLengthStatus;
        }
        *static_cast<DWORD*>(pProperty) = static_cast<DWORD>(found->second.text.size());
        return 0;
    }
    if (PropertyType == HTMLAPI_PROP_NUMREFS) {
        *static_cast<DWORD*>(pProperty) =
            found->second.isMain ? static_cast<DWORD>(script.references.size()) : 0;
        return 0;
    }
    return BadHandle;
}

STATUS HTMLGetText(HTMLHANDLE hHTML, DWORD StartingOffset, DWORD* pTextLength, char* pText)
{
    const auto found = converters.find(hHTML);
    if (found == converters.end()) {
        return BadHandle;
    }
    const std::string& text = found->second.text;
    const size_t n = StartingOffset >= text.size()
                         ? 0
                         : std::min<size_t>(*pTextLength, text.size() - StartingOffset);
    std::memcpy(pText, text.data() + StartingOffset, n);
    *pTextLength = static_cast<DWORD>(n);
    return 0;
}

STATUS HTMLGetReference(HTMLHANDLE, DWORD Index, MEMHANDLE* phRef)
{
    if (script.getReferenceStatus != 0) {
        return script.getReferenceStatus;
    }
    if (Index >= script.references.size()) {
        return BadHandle;
    }
    const Reference& source = script.references[Index];
    auto locked = std::make_unique<LockedReference>();
    locked->text = source.text;
    for (const auto& [type, name] : source.targets) {
        locked->names.push_back(name);
    }
    for (size_t i = 0; i < source.targets.size(); ++i) {
        HTMLAPI_URLComponent component{};
        component.AddressableType = source.targets[i].first;
        component.ReferenceType = URT_Name;
        component.Value.name = locked->names[i].data();
        locked->components.push_back(component);
    }
    locked->reference.RefType = source.type;
    locked->reference.pRefText = locked->text.data();
    locked->reference.pTargets = locked->components.data();
    locked->reference.NumTargets = static_cast<DWORD>(locked->components.size());
    *phRef = nextReference++;
    references[*phRef] = std::move(locked);
    ++record.referencesGot;
    return 0;
}

STATUS HTMLLockAndFixupReference(MEMHANDLE hRef, HTMLAPIReference** ppRef)
{
    if (script.lockStatus != 0) {
        return script.lockStatus;
    }
    const auto found = references.find(hRef);
    if (found == references.end()) {
        return BadHandle;
    }
    found->second->locked = true;
    ++record.locks;
    *ppRef = &found->second->reference;
    return 0;
}

STATUS HTMLSetReferenceText(HTMLHANDLE hHTML, DWORD Index, const char* pRefText)
{
    if (script.setReferenceStatus != 0) {
        return script.setReferenceStatus;
    }
    record.referenceTexts[Index] = pRefText;
    Converter& converter = converters[hHTML];
    converter.text = Replace(converter.text, script.references[Index].text, pRefText);
    return 0;
}

STATUS NSFItemInfo(NOTEHANDLE, const char* item_name, WORD name_len, BLOCKID*, WORD* value_datatype,
                   BLOCKID*, DWORD* value_len)
{
    record.calls.push_back("info " + std::string(item_name, name_len));
    if (!script.bodyPresent) {
        return 0x0222;
    }
    *value_datatype = TYPE_COMPOSITE;
    *value_len = 100;
    return 0;
}

WORD OSTranslate(WORD TranslateMode, const char* In, WORD InLength, char* Out, WORD OutLength)
{
    record.translatedLengths.push_back(InLength);
    if (TranslateMode != OS_TRANSLATE_LMBCS_TO_UNICODE) {
        return 0;
    }
    const std::u16string text = sys::LmbcsToUtf16(std::string_view(In, InLength));
    const size_t bytes = std::min<size_t>(text.size() * 2, OutLength);
    std::memcpy(Out, text.data(), bytes);
    return static_cast<WORD>(bytes);
}

BOOL OSUnlockObject(DHANDLE Handle)
{
    const auto found = references.find(Handle);
    if (found == references.end() || !found->second->locked) {
        return 0;
    }
    found->second->locked = false;
    ++record.unlocks;
    return 1;
}

STATUS OSMemFree(DHANDLE Handle)
{
    if (references.erase(Handle) == 0) {
        return BadHandle;
    }
    ++record.referencesFreed;
    return 0;
}

}  // extern "C"
