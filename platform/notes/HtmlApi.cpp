#include "platform/notes/HtmlApi.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "platform/notes/HtmlRenderer.h"
#include "platform/notes/LNErrors.h"
#include "platform/notes/MimeBody.h"
#include "platform/notes/TimeDate.h"
#include "platform/sys/Text.h"

using notes::CHtmlResult;

namespace {

struct CConverter {
    bool converted = false;
    bool binary = false;
    CHtmlResult html;
    std::string binaryData;
    std::vector<std::string> options;
    std::string Text() const { return binary ? binaryData : html.Text(); }
};

// A locked reference: the structure handed out and the storage it points into.
struct CReferenceBlock {
    HTMLAPIReference ref{};
    std::vector<HTMLAPI_URLComponent> targets;
    std::vector<std::unique_ptr<std::string>> strings;
    char* Keep(const std::string& s) {
        strings.push_back(std::make_unique<std::string>(s));
        return strings.back()->data();
    }
};

std::mutex apiLock;
std::atomic<int> processCount{0};
std::map<HTMLHANDLE, std::unique_ptr<CConverter>> converters;
std::map<MEMHANDLE, std::unique_ptr<CReferenceBlock>> blocks;

CConverter* FindConverter(HTMLHANDLE h) {
    auto it = converters.find(h);
    return it == converters.end() ? nullptr : it->second.get();
}

std::unique_ptr<CReferenceBlock> MakeBlock(const notes::CHtmlReference& r) {
    auto block = std::make_unique<CReferenceBlock>();
    block->ref.RefType = r.type;
    block->ref.pRefText = block->Keep(r.text);
    block->ref.CommandId = r.command;
    block->ref.pFragment = block->Keep("");
    block->targets.resize(r.targets.size());
    for (size_t i = 0; i < r.targets.size(); ++i) {
        auto& c = block->targets[i];
        c = HTMLAPI_URLComponent{};
        c.AddressableType = r.targets[i].attribute;
        c.ReferenceType = r.targets[i].valueType;
        if (c.ReferenceType == URT_Name) c.Value.name = block->Keep(r.targets[i].name);
        else if (c.ReferenceType == URT_Unid) c.Value.unid = r.targets[i].unid;
        else if (c.ReferenceType == URT_RepId) c.Value.dbid = r.targets[i].replica;
    }
    block->ref.pTargets = block->targets.empty() ? nullptr : block->targets.data();
    block->ref.NumTargets = static_cast<DWORD>(block->targets.size());
    return block;
}

// Resolves the handles of a conversion call.
STATUS Resolve(HTMLHANDLE hHTML, DBHANDLE hDB, NOTEHANDLE hNote, CConverter** conv,
               std::shared_ptr<notes::CNoteRef>* note) {
    if (processCount <= 0) return ERR_HTMLAPI_NOT_STARTED;
    *conv = FindConverter(hHTML);
    if (!*conv) return ERR_HTMLAPI_BAD_CONVERTER;
    *note = notes::FindNote(hNote);
    auto db = notes::FindDatabase(hDB);
    if (!*note || !db || (*note)->db != db) return ERR_INVALID_HANDLE;
    return NOERROR;
}

STATUS Render(CConverter* conv, const notes::CNoteRef& note, const std::vector<std::string>& fields) {
    try {
        conv->html = notes::RenderFields(note, fields);
    } catch (LNSTATUS s) {
        return s;
    } catch (const notes::CNsfError&) {
        return ERR_DB_CORRUPT;
    } catch (const std::bad_alloc&) {
        return ERR_NO_MEMORY;
    }
    conv->binary = false;
    conv->converted = true;
    return NOERROR;
}

}  // namespace

extern "C" {

STATUS HTMLProcessInitialize(void) {
    ++processCount;
    return NOERROR;
}

void HTMLProcessTerminate(void) {
    int n = processCount.load();
    while (n > 0 && !processCount.compare_exchange_weak(n, n - 1)) {}
}

STATUS HTMLCreateConverter(HTMLHANDLE* phHTML) {
    if (!phHTML) return ERR_BAD_PARAM;
    if (processCount <= 0) return ERR_HTMLAPI_NOT_STARTED;
    std::lock_guard<std::mutex> guard(apiLock);
    HTMLHANDLE h = notes::NextHandle();
    converters[h] = std::make_unique<CConverter>();
    *phHTML = h;
    return NOERROR;
}

STATUS HTMLDestroyConverter(HTMLHANDLE hHTML) {
    std::lock_guard<std::mutex> guard(apiLock);
    return converters.erase(hHTML) ? NOERROR : ERR_HTMLAPI_BAD_CONVERTER;
}

STATUS HTMLSetHTMLOptions(HTMLHANDLE hHTML, const char* const* optionList) {
    std::lock_guard<std::mutex> guard(apiLock);
    CConverter* conv = FindConverter(hHTML);
    if (!conv) return ERR_HTMLAPI_BAD_CONVERTER;
    conv->options.clear();
    for (size_t i = 0; optionList && optionList[i]; ++i) conv->options.emplace_back(optionList[i]);
    return NOERROR;
}

STATUS HTMLConvertNote(HTMLHANDLE hHTML, DBHANDLE hDB, NOTEHANDLE hNote, DWORD, HTMLAPI_URLComponent*) {
    std::lock_guard<std::mutex> guard(apiLock);
    CConverter* conv;
    std::shared_ptr<notes::CNoteRef> note;
    if (STATUS s = Resolve(hHTML, hDB, hNote, &conv, &note)) return s;
    auto fields = notes::RichTextFields(*note);
    if (fields.empty()) return ERR_ITEM_NOT_FOUND;
    return Render(conv, *note, fields);
}

STATUS HTMLConvertItem(HTMLHANDLE hHTML, DBHANDLE hDB, NOTEHANDLE hNote, const char* pszItemName) {
    std::lock_guard<std::mutex> guard(apiLock);
    CConverter* conv;
    std::shared_ptr<notes::CNoteRef> note;
    if (STATUS s = Resolve(hHTML, hDB, hNote, &conv, &note)) return s;
    if (!pszItemName) return ERR_BAD_PARAM;
    auto item = note->First(pszItemName);
    if (!item) return ERR_ITEM_NOT_FOUND;
    if (item->Type() != TYPE_COMPOSITE && item->Type() != TYPE_MIME_PART) return ERR_ITEM_DATATYPE;
    return Render(conv, *note, {item->name});
}

STATUS HTMLConvertElement(HTMLHANDLE hHTML, DBHANDLE hDB, NOTEHANDLE hNote, const char* pszItemName,
                          DWORD ItemIndex, DWORD Offset) {
    std::lock_guard<std::mutex> guard(apiLock);
    CConverter* conv;
    std::shared_ptr<notes::CNoteRef> note;
    if (STATUS s = Resolve(hHTML, hDB, hNote, &conv, &note)) return s;
    if (!pszItemName) return ERR_BAD_PARAM;
    try {
        auto field = notes::LoadRichText(*note, pszItemName);
        if (field->mime) {
            auto bytes = Offset == 0 ? field->mime->ImageBytes(static_cast<int>(ItemIndex)) : std::nullopt;
            if (!bytes) return ERR_HTMLAPI_NO_ELEMENT;
            conv->binary = true;
            conv->binaryData = std::move(*bytes);
            conv->converted = true;
            return NOERROR;
        }
        for (const auto& e : field->elements) {
            if (e.kind == notes::CRtElement::kImage && static_cast<DWORD>(e.itemIndex) == ItemIndex &&
                e.offset == Offset) {
                conv->binary = true;
                conv->binaryData = e.bytes;
                conv->converted = true;
                return NOERROR;
            }
        }
    } catch (LNSTATUS s) {
        return s;
    }
    return ERR_HTMLAPI_NO_ELEMENT;
}

STATUS HTMLGetProperty(HTMLHANDLE hHTML, HTMLAPI_PROP_TYPE PropertyType, void* pProperty) {
    std::lock_guard<std::mutex> guard(apiLock);
    CConverter* conv = FindConverter(hHTML);
    if (!conv) return ERR_HTMLAPI_BAD_CONVERTER;
    if (!pProperty) return ERR_BAD_PARAM;
    switch (PropertyType) {
    case HTMLAPI_PROP_TEXTLENGTH:
        if (!conv->converted) return ERR_HTMLAPI_NOT_CONVERTED;
        *static_cast<DWORD*>(pProperty) = static_cast<DWORD>(conv->Text().size());
        return NOERROR;
    case HTMLAPI_PROP_NUMREFS:
        if (!conv->converted) return ERR_HTMLAPI_NOT_CONVERTED;
        *static_cast<DWORD*>(pProperty) = conv->binary ? 0 : static_cast<DWORD>(conv->html.references.size());
        return NOERROR;
    case HTMLAPI_PROP_BINARYDATA:
        *static_cast<BOOL*>(pProperty) = conv->binary ? 1 : 0;
        return NOERROR;
    case HTMLAPI_PROP_USERAGENT_LEN:
        *static_cast<DWORD*>(pProperty) = 0;
        return NOERROR;
    default:
        return ERR_BAD_PARAM;
    }
}

STATUS HTMLGetText(HTMLHANDLE hHTML, DWORD StartingOffset, DWORD* pTextLength, char* pText) {
    std::lock_guard<std::mutex> guard(apiLock);
    CConverter* conv = FindConverter(hHTML);
    if (!conv) return ERR_HTMLAPI_BAD_CONVERTER;
    if (!pTextLength || !pText) return ERR_BAD_PARAM;
    if (!conv->converted) return ERR_HTMLAPI_NOT_CONVERTED;
    std::string text = conv->Text();
    if (StartingOffset > text.size()) return ERR_RANGE;
    DWORD n = std::min<DWORD>(*pTextLength, static_cast<DWORD>(text.size() - StartingOffset));
    std::memcpy(pText, text.data() + StartingOffset, n);
    *pTextLength = n;
    return NOERROR;
}

STATUS HTMLGetReference(HTMLHANDLE hHTML, DWORD Index, MEMHANDLE* phRef) {
    std::lock_guard<std::mutex> guard(apiLock);
    CConverter* conv = FindConverter(hHTML);
    if (!conv) return ERR_HTMLAPI_BAD_CONVERTER;
    if (!phRef) return ERR_BAD_PARAM;
    if (conv->binary || Index >= conv->html.references.size()) return ERR_RANGE;
    MEMHANDLE h = notes::NextHandle();
    blocks[h] = MakeBlock(conv->html.references[Index]);
    *phRef = h;
    return NOERROR;
}

STATUS HTMLLockAndFixupReference(MEMHANDLE hRef, HTMLAPIReference** ppRef) {
    std::lock_guard<std::mutex> guard(apiLock);
    auto it = blocks.find(hRef);
    if (it == blocks.end() || !ppRef) return ERR_INVALID_HANDLE;
    *ppRef = &it->second->ref;
    return NOERROR;
}

STATUS HTMLSetReferenceText(HTMLHANDLE hHTML, DWORD Index, const char* pRefText) {
    std::lock_guard<std::mutex> guard(apiLock);
    CConverter* conv = FindConverter(hHTML);
    if (!conv) return ERR_HTMLAPI_BAD_CONVERTER;
    if (!pRefText) return ERR_BAD_PARAM;
    if (conv->binary || Index >= conv->html.references.size()) return ERR_RANGE;
    conv->html.references[Index].text = pRefText;
    return NOERROR;
}

STATUS NSFItemInfo(NOTEHANDLE note_handle, const char* item_name, WORD name_len, BLOCKID* item_blockid,
                   WORD* value_datatype, BLOCKID* value_blockid, DWORD* value_len) {
    auto note = notes::FindNote(note_handle);
    if (!note) return ERR_INVALID_HANDLE;
    if (!item_name) return ERR_BAD_PARAM;
    auto item = note->First(std::string(item_name, name_len));
    if (!item) return ERR_ITEM_NOT_FOUND;
    if (item_blockid) *item_blockid = BLOCKID{note_handle, 0};
    if (value_blockid) *value_blockid = BLOCKID{note_handle, 1};
    if (value_datatype) *value_datatype = item->Type();
    if (value_len) *value_len = static_cast<DWORD>(item->raw.size());
    return NOERROR;
}

WORD OSTranslate(WORD TranslateMode, const char* In, WORD InLength, char* Out, WORD OutLength) {
    if (!In || !Out) return 0;
    std::string input(In, InLength);
    std::string output;
    switch (TranslateMode) {
    case OS_TRANSLATE_LMBCS_TO_UNICODE: {
        std::u16string wide = sys::LmbcsToUtf16(input);
        size_t n = std::min<size_t>(wide.size(), OutLength / 2);
        if (n > 0 && n < wide.size() && wide[n - 1] >= 0xD800 && wide[n - 1] <= 0xDBFF) --n;
        std::memcpy(Out, wide.data(), n * 2);
        return static_cast<WORD>(n * 2);
    }
    case OS_TRANSLATE_UNICODE_TO_LMBCS: {
        std::u16string wide(InLength / 2, u'\0');
        std::memcpy(wide.data(), In, wide.size() * 2);
        output = sys::Utf16ToLmbcs(wide);
        break;
    }
    case OS_TRANSLATE_NATIVE_TO_LMBCS: output = sys::Utf16ToLmbcs(sys::AnsiToUtf16(input)); break;
    case OS_TRANSLATE_LMBCS_TO_NATIVE: output = sys::Utf16ToAnsi(sys::LmbcsToUtf16(input)); break;
    default: return 0;
    }
    // Whole characters only: shorten until the prefix converts back cleanly.
    size_t n = std::min<size_t>(output.size(), OutLength);
    std::memcpy(Out, output.data(), n);
    return static_cast<WORD>(n);
}

WORD OSLoadString(void*, STATUS StringCode, char* retBuffer, WORD BufferLength) {
    return static_cast<WORD>(LNGetErrorMessageText(StringCode, retBuffer, BufferLength));
}

BOOL OSUnlockObject(DHANDLE Handle) {
    std::lock_guard<std::mutex> guard(apiLock);
    return blocks.count(Handle) ? 1 : 0;
}

STATUS OSMemFree(DHANDLE Handle) {
    std::lock_guard<std::mutex> guard(apiLock);
    return blocks.erase(Handle) ? NOERROR : ERR_INVALID_HANDLE;
}

STATUS ConvertTIMEDATEToText(const void*, const void*, const TIMEDATE* InputTime, char* retTextBuffer,
                             WORD TextBufferLength, WORD* retTextLength) {
    if (!InputTime || !retTextBuffer || TextBufferLength == 0) return ERR_BAD_PARAM;
    if (notes::IsNullTime(*InputTime)) return ERR_TIME_CONVERSION;
    std::string text = notes::NotesTimeText(*InputTime);
    size_t n = std::min<size_t>(text.size(), TextBufferLength - 1u);
    std::memcpy(retTextBuffer, text.data(), n);
    retTextBuffer[n] = '\0';
    if (retTextLength) *retTextLength = static_cast<WORD>(n);
    return NOERROR;
}

}  // extern "C"
