#include "worker/notes/HtmlConversion.h"

#include <algorithm>
#include <new>
#include <optional>

#include "platform/notes/LNErrors.h"
#include "platform/sys/Files.h"
#include "platform/sys/TempPath.h"
#include "platform/sys/Text.h"
#include "worker/notes/ImagePosition.h"
#include "worker/notes/LmbcsPieces.h"

namespace {

thread_local uint64_t imageFilesSaved = 0;

const char* const NoteConversionOptions[] = {
    "ForceSectionExpand=1", "RowAtATimeTableAlt=1", "ForceOutlineExpand=1", nullptr};

const char BodyItem[] = "Body";

// One conversion attempt: the conversion process is started for it and,
// on every way out, its converter is destroyed and the process ended.
class CConversionAttempt {
public:
    explicit CConversionAttempt(HtmlConversionContext& context) : context(context)
    {
        context.status = HTMLProcessInitialize();
        started = context.status == NOERROR;
    }
    ~CConversionAttempt()
    {
        if (context.converter != NULLHANDLE) {
            HTMLDestroyConverter(context.converter);
            context.converter = NULLHANDLE;
        }
        if (started) {
            HTMLProcessTerminate();
        }
    }
    CConversionAttempt(const CConversionAttempt&) = delete;
    CConversionAttempt& operator=(const CConversionAttempt&) = delete;

    bool Started() const { return started; }

private:
    HtmlConversionContext& context;
    bool started = false;
};

// The second converter that renders one image element.
class CElementConverter {
public:
    ~CElementConverter()
    {
        if (handle != NULLHANDLE) {
            HTMLDestroyConverter(handle);
        }
    }
    STATUS Create() { return HTMLCreateConverter(&handle); }
    void Destroy()
    {
        HTMLDestroyConverter(handle);
        handle = NULLHANDLE;
    }
    HTMLHANDLE Handle() const { return handle; }

private:
    HTMLHANDLE handle = NULLHANDLE;
};

// The reference of the context, unlocked and freed on every way out.
class CReferenceHold {
public:
    explicit CReferenceHold(HtmlConversionContext& context) : context(context) {}
    ~CReferenceHold()
    {
        if (context.referenceHandle != NULLHANDLE) {
            if (context.reference != nullptr) {
                OSUnlockObject(context.referenceHandle);
            }
            OSMemFree(context.referenceHandle);
        }
        context.referenceHandle = NULLHANDLE;
        context.reference = nullptr;
    }
    CReferenceHold(const CReferenceHold&) = delete;
    CReferenceHold& operator=(const CReferenceHold&) = delete;

private:
    HtmlConversionContext& context;
};

// The converter's whole text (property 0 bytes from offset 0).
std::optional<std::string> ReadConverterText(STATUS& status, HTMLHANDLE converter)
{
    DWORD length = 0;
    status = HTMLGetProperty(converter, HTMLAPI_PROP_TEXTLENGTH, &length);
    if (status != NOERROR) {
        return std::nullopt;
    }
    std::string text(static_cast<size_t>(length) + 1, '\0');
    DWORD copied = length;
    status = HTMLGetText(converter, 0, &copied, text.data());
    if (status != NOERROR) {
        return std::nullopt;
    }
    text.resize(std::min(copied, length));
    return text;
}

std::u16string ConverterTextAsUtf16(HtmlConversionContext& context)
{
    const std::optional<std::string> text = ReadConverterText(context.status, context.converter);
    return text ? TranslateLmbcsToUtf16(*text) : std::u16string();
}

// An image reference whose last target is the position in an item and the
// one before it the item's name.
struct ImageTarget {
    const char* itemName;
    ImagePosition position;
};

std::optional<ImageTarget> FindImageTarget(const HTMLAPIReference& reference)
{
    const DWORD count = reference.NumTargets;
    if (reference.RefType != HTMLAPI_REF_IMG || count < 2 || reference.pTargets == nullptr) {
        return std::nullopt;
    }
    const HTMLAPI_URLComponent& last = reference.pTargets[count - 1];
    const HTMLAPI_URLComponent& field = reference.pTargets[count - 2];
    if (last.AddressableType != UAT_FieldOffset || last.Value.name == nullptr ||
        field.AddressableType != UAT_Field || field.Value.name == nullptr) {
        return std::nullopt;
    }
    std::optional<ImagePosition> position = ParseImagePosition(last.Value.name);
    if (!position) {
        return std::nullopt;
    }
    return ImageTarget{field.Value.name, std::move(*position)};
}

// "temp/" under the temporary directory, created when missing; empty when
// there is no safe temporary directory.
std::u16string ImageDirectory()
{
    const std::u16string temp = sys::TempPath();
    if (temp.empty()) {
        return std::u16string();
    }
    std::u16string directory = temp + u"temp/";
    sys::CreateDirectory(directory);
    return directory;
}

// Item name, index characters and offset characters as written, then
// ".gif": Body + 0 + 1C4 gives Body01C4.gif. The name never leaves the
// directory.
std::u16string ImageFileName(const ImageTarget& target)
{
    const std::string name = std::string(target.itemName) + target.position.indexChars +
                             target.position.offsetChars + ".gif";
    return sys::SafeFileName(sys::LmbcsToUtf16(name));
}

void WriteImageFile(const std::u16string& directory, const std::u16string& path,
                    const std::string& bytes)
{
    if (directory.empty()) {
        return;
    }
    sys::CFile file;
    ++imageFilesSaved;
    if (file.CreateOrTruncate(path)) {
        file.Write(bytes);
        file.Close();
    }
}

// Renders the image element and saves it; the reference then points at the
// saved file. A failed element conversion skips the image (status 0).
STATUS SaveOneImage(HtmlConversionContext& context, HTMLHANDLE converter, DWORD index,
                    const ImageTarget& target)
{
    CElementConverter element;
    STATUS status = element.Create();
    if (status != NOERROR) {
        return status;
    }
    if (HTMLConvertElement(element.Handle(), context.databaseHandle, context.noteHandle,
                           target.itemName, target.position.index,
                           target.position.offset) != NOERROR) {
        return NOERROR;
    }
    const std::optional<std::string> bytes = ReadConverterText(status, element.Handle());
    if (!bytes) {
        return status;
    }
    element.Destroy();
    const std::u16string directory = ImageDirectory();
    const std::u16string path = directory + ImageFileName(target);
    WriteImageFile(directory, path, *bytes);
    const std::string ansiPath = sys::Utf16ToAnsi(path);
    return HTMLSetReferenceText(converter, index, ansiPath.c_str());
}

STATUS SaveReference(HtmlConversionContext& context, HTMLHANDLE converter, DWORD index)
{
    CReferenceHold hold(context);
    context.status = HTMLGetReference(converter, index, &context.referenceHandle);
    if (context.status != NOERROR) {
        return context.status;
    }
    context.status = HTMLLockAndFixupReference(context.referenceHandle, &context.reference);
    if (context.status != NOERROR || context.reference == nullptr) {
        context.reference = nullptr;
        return context.status != NOERROR ? context.status : ERR_INVALID_HANDLE;
    }
    const std::optional<ImageTarget> target = FindImageTarget(*context.reference);
    if (!target) {
        return NOERROR;
    }
    context.status = SaveOneImage(context, converter, index, *target);
    return context.status;
}

std::u16string ConvertWholeNote(HtmlConversionContext& context)
{
    CConversionAttempt attempt(context);
    if (!attempt.Started()) {
        return std::u16string();
    }
    context.status = HTMLCreateConverter(&context.converter);
    if (context.status != NOERROR) {
        return std::u16string();
    }
    context.status = HTMLSetHTMLOptions(context.converter, NoteConversionOptions);
    if (context.status != NOERROR) {
        return std::u16string();
    }
    context.status = HTMLConvertNote(context.converter, context.databaseHandle,
                                     context.noteHandle, 0, nullptr);
    if (context.status != NOERROR) {
        return std::u16string();
    }
    context.status = SaveImageReferences(context, context.converter);
    if (context.status != NOERROR) {
        return std::u16string();
    }
    return ConverterTextAsUtf16(context);
}

std::u16string ConvertBodyItem(HtmlConversionContext& context)
{
    CConversionAttempt attempt(context);
    if (!attempt.Started()) {
        return std::u16string();
    }
    WORD dataType = 0;
    DWORD valueLength = 0;
    context.status = NSFItemInfo(context.noteHandle, BodyItem, sizeof BodyItem - 1, nullptr,
                                 &dataType, nullptr, &valueLength);
    if (context.status != NOERROR) {
        return std::u16string();
    }
    context.status = HTMLCreateConverter(&context.converter);
    if (context.status != NOERROR) {
        return std::u16string();
    }
    context.status = HTMLConvertItem(context.converter, context.databaseHandle,
                                     context.noteHandle, BodyItem);
    if (context.status != NOERROR) {
        return std::u16string();
    }
    // Images that cannot be saved keep the converter's own references.
    SaveImageReferences(context, context.converter);
    return ConverterTextAsUtf16(context);
}

}  // namespace

uint64_t ImageFilesSaved() { return imageFilesSaved; }

std::u16string ConvertNoteToHtml(HtmlConversionContext& context)
{
    try {
        return ConvertWholeNote(context);
    } catch (const std::bad_alloc&) {
        context.status = ERR_NO_MEMORY;
        return std::u16string();
    }
}

std::u16string ConvertBodyItemToHtml(HtmlConversionContext& context)
{
    try {
        return ConvertBodyItem(context);
    } catch (const std::bad_alloc&) {
        context.status = ERR_NO_MEMORY;
        return std::u16string();
    }
}

std::u16string ConvertRichTextBodyToHtml(HtmlConversionContext& context)
{
    std::u16string html = ConvertNoteToHtml(context);
    if (html.empty()) {
        html = ConvertBodyItemToHtml(context);
    }
    return html;
}

STATUS SaveImageReferences(HtmlConversionContext& context, HTMLHANDLE converter)
{
    DWORD count = 0;
    if (HTMLGetProperty(converter, HTMLAPI_PROP_NUMREFS, &count) != NOERROR) {
        count = 0;
    }
    for (DWORD index = 0; index < count; ++index) {
        const STATUS status = SaveReference(context, converter, index);
        if (status != NOERROR) {
            return status;
        }
    }
    return NOERROR;
}
