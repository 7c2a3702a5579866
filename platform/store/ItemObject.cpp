#include "platform/store/ItemObject.h"

#include "platform/store/DispatchArgs.h"
#include "platform/store/MapiTags.h"
#include "platform/store/SiblingItems.h"
#include "platform/store/StoreText.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace store {

namespace {
constexpr uint64_t maxImportBytes = 512ull * 1024 * 1024;
}

sys::CBytes ReadImportFile(const std::u16string& path) {
    std::string fsPath = ToUtf8(path);
    int fd = open(fsPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) ThrowDispatch(hrFail, "cannot open the file to import: " + fsPath);
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<uint64_t>(st.st_size) > maxImportBytes) {
        close(fd);
        ThrowDispatch(hrFail, "not a readable file: " + fsPath);
    }
    sys::CBytes bytes(static_cast<size_t>(st.st_size));
    const auto size = static_cast<size_t>(st.st_size);
    size_t done = 0;
    while (done < size) {
        ssize_t n = read(fd, bytes.data.get() + done, size - done);
        if (n < 0) {
            close(fd);
            ThrowDispatch(hrFail, "cannot read the file to import: " + fsPath);
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    close(fd);
    bytes.size = done;
    return bytes;
}

CItemObject::CItemObject(std::shared_ptr<CStoreContext> ctx, FolderId id, std::u16string messageClass)
    : context(std::move(ctx)), folder(id), kind(KindOfClass(messageClass)) {
    data.props.Set(tagMessageClass, messageClass);
}

CVariant CItemObject::Invoke(int32_t dispid, EInvokeKind how, const std::vector<CVariant>& args) {
    return Guarded([&] { return InvokeMember(dispid, how, args); });
}

CVariant CItemObject::InvokeMember(int32_t dispid, EInvokeKind how, const std::vector<CVariant>& args) {
    context->Store();
    switch (how) {
    case EInvokeKind::Method:
        return InvokeMethod(dispid, args);
    case EInvokeKind::PropertyPut:
        if (args.empty()) ThrowDispatch(hrParamNotFound, "property put without a value");
        if (dispid == dispidSourceKey) {
            data.sourceKey = ToUtf8(ArgString(args, args.size() - 1));
            return {};
        }
        PutItemProperty(kind, data, dispid, args.back());
        return {};
    case EInvokeKind::PropertyGet:
        if (dispid == 0) return CVariant(data.props.GetString(tagSubject));
        if (dispid == dispidSavedOver) return CVariant(savedOver);
        break;
    }
    ThrowUnknownMember("item", dispid, how);
}

CVariant CItemObject::InvokeMethod(int32_t dispid, const std::vector<CVariant>& args) {
    switch (dispid) {
    case 0x47:
        Import(ArgString(args, 0), args.size() > 1 && !args[1].IsMissing() ? ArgInt(args, 1) : importRfc822);
        return {};
    case 6:
        Save();
        return {};
    case 0x600400e0:
        if (kind != EItemKind::Contact) break;
        SetContactPicture(data, std::string(ReadImportFile(ArgString(args, 0)).View()));
        return {};
    case 0x6004000b: {
        if (kind != EItemKind::DistList) break;
        auto optional = [&](size_t i) { return i < args.size() && !args[i].IsMissing() ? ArgString(args, i) : u""; };
        AddDistListMember(data, ArgString(args, 0), optional(1), optional(2));
        return {};
    }
    default:
        break;
    }
    ThrowUnknownMember("item", dispid, EInvokeKind::Method);
}

void CItemObject::Import(const std::u16string& path, int32_t format) {
    const sys::CBytes file = ReadImportFile(path);
    const std::string_view bytes = file.View();
    // The import works on a copy, so a file that fails half-way leaves the item as it was.
    CMessageData work = data;
    switch (format) {
    case importRfc822: ImportRfc822(work, bytes); break;
    case importVCard: ImportVCard(work, bytes); break;
    case importICalendar: ImportICalendar(work, bytes); break;
    case importText: ImportPlainText(work, bytes); break;
    default: ThrowDispatch(hrFail, "unknown import format " + std::to_string(format));
    }
    data = std::move(work);
}

void CItemObject::Save() {
    PrepareForSave(kind, data);
    IMessageStore& store = context->Store();
    const CSavedItem saved = store.SaveMessage(folder, data, savedId);
    savedId = saved.id;
    savedOver = saved.replaced;
    siblingIds.resize(data.siblings.size());
    for (size_t i = 0; i < data.siblings.size(); ++i) {
        CMessageData sibling = SiblingItem(data, i);
        PrepareForSave(kind, sibling);
        siblingIds[i] = store.SaveMessage(folder, sibling, siblingIds[i]).id;
    }
}

}  // namespace store
