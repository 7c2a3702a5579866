#include "platform/store/StoreObjects.h"

#include "platform/store/DispatchArgs.h"
#include "platform/store/ItemObject.h"
#include "platform/store/StoreText.h"
#include "platform/store/TimeZone.h"

namespace store {

IMessageStore& CStoreContext::Store() {
    if (!store) ThrowDispatch(hrNotLoggedOn, "the session is not logged on");
    return *store;
}

namespace {

struct CDefaultFolderName {
    int32_t kind;
    const char16_t* name;
    const char16_t* containerClass;
};
constexpr CDefaultFolderName defaultFolderNames[] = {
    {folderCalendar, u"Calendar", u"IPF.Appointment"},
    {folderContacts, u"Contacts", u"IPF.Contact"},
    {folderTasks, u"Tasks", u"IPF.Task"},
    {folderDistLists, u"Contacts", u"IPF.Contact"},  // distribution lists live with the contacts
    {3, u"Deleted Items", u"IPF.Note"},
    {4, u"Outbox", u"IPF.Note"},
    {5, u"Sent Items", u"IPF.Note"},
    {6, u"Inbox", u"IPF.Note"},
    {11, u"Journal", u"IPF.Journal"},
    {12, u"Notes", u"IPF.StickyNote"},
    {16, u"Drafts", u"IPF.Note"},
};

}  // namespace

CVariant CSessionObject::Invoke(int32_t dispid, EInvokeKind kind, const std::vector<CVariant>& args) {
    return Guarded([&] { return InvokeMember(dispid, kind, args); });
}

CVariant CSessionObject::InvokeMember(int32_t dispid, EInvokeKind kind, const std::vector<CVariant>& args) {
    if (kind == EInvokeKind::Method) {
        switch (dispid) {
        case 0x6002001F: {  // log on to a PST file, creating it when absent
            std::u16string path = ArgString(args, 0);
            std::u16string displayName = args.size() > 1 && !args[1].IsMissing() ? ArgString(args, 1) : u"Personal Folders";
            if (path.empty()) ThrowDispatch(hrFail, "no PST path given");
            return CVariant(LogonToStore(OpenStagingStore(path, displayName), path));
        }
        case 7:
            return CVariant(DefaultFolder(ArgInt(args, 0)));
        case 0x60020016:
            return CVariant(FolderFromPath(ArgString(args, 0)));
        case 0x12:
            Logoff();
            return {};
        case dispidHoldSaves:
            if (!context) ThrowDispatch(hrNotLoggedOn, "not logged on");
            context->Store().HoldSaves();
            return {};
        case dispidCommitSaves:
            if (!context) ThrowDispatch(hrNotLoggedOn, "not logged on");
            context->Store().CommitSaves();
            return {};
        default:
            break;
        }
    }
    if (kind == EInvokeKind::PropertyGet) {
        if (dispid == 0x60020017) return CVariant(DispatchPtr(std::make_shared<CTimeZonesObject>()));
    }
    ThrowUnknownMember("session", dispid, kind);
}

DispatchPtr CSessionObject::LogonToStore(std::unique_ptr<IMessageStore> store, const std::u16string& path) {
    if (!store) ThrowDispatch(hrFail, "the message store could not be opened");
    if (LoggedOn()) Logoff();
    context = std::make_shared<CStoreContext>();
    context->store = std::move(store);
    context->pstPath = path;
    defaultFolders.clear();
    storeObject = std::make_shared<CStoreObject>(weak_from_this());
    return storeObject;
}

DispatchPtr CSessionObject::DefaultFolder(int32_t kind) {
    const CDefaultFolderName* entry = nullptr;
    for (const auto& d : defaultFolderNames)
        if (d.kind == kind) entry = &d;
    if (!entry) ThrowDispatch(hrFail, "no default folder of kind " + std::to_string(kind));
    if (!context) ThrowDispatch(hrNotLoggedOn, "not logged on");
    IMessageStore& store = context->Store();
    auto cached = defaultFolders.find(kind);
    FolderId id;
    if (cached != defaultFolders.end()) {
        id = cached->second;
    } else {
        id = store.DefaultFolder(kind, entry->name, entry->containerClass);
        defaultFolders[kind] = id;
    }
    return std::make_shared<CFolderObject>(context, id, entry->name);
}

DispatchPtr CSessionObject::FolderFromPath(const std::u16string& path) {
    if (!context) ThrowDispatch(hrNotLoggedOn, "not logged on");
    IMessageStore& store = context->Store();
    FolderId id = store.TopFolder();
    std::u16string name;
    for (const std::u16string& piece : Split(path, u'\\')) {
        std::u16string part = Trim(piece);
        if (part.empty()) continue;
        auto found = store.FindSubfolder(id, part);
        id = found ? *found : store.CreateFolder(id, part, u"IPF.Note");
        name = part;
    }
    if (name.empty()) ThrowDispatch(hrFail, "empty folder path");
    return std::make_shared<CFolderObject>(context, id, name);
}

void CSessionObject::Logoff() {
    if (context && context->store) {
        std::unique_ptr<IMessageStore> store = std::move(context->store);
        store->Close();
    }
    context.reset();
    storeObject.reset();
    defaultFolders.clear();
}

CVariant CStoreObject::Invoke(int32_t dispid, EInvokeKind kind, const std::vector<CVariant>& args) {
    auto owner = session.lock();
    if (!owner || !owner->LoggedOn()) ThrowDispatch(hrNotLoggedOn, "the store is closed");
    if (kind == EInvokeKind::Method && (dispid == 7 || dispid == 0x60020016)) return owner->Invoke(dispid, kind, args);
    ThrowUnknownMember("store", dispid, kind);
}

CVariant CFolderObject::Invoke(int32_t dispid, EInvokeKind kind, const std::vector<CVariant>&) {
    return Guarded([&] { return InvokeMember(dispid, kind); });
}

CVariant CFolderObject::InvokeMember(int32_t dispid, EInvokeKind kind) {
    context->Store();
    if (kind == EInvokeKind::PropertyGet && dispid == 0x11)
        return CVariant(DispatchPtr(std::make_shared<CItemsObject>(context, folder)));
    ThrowUnknownMember("folder", dispid, kind);
}

CVariant CItemsObject::Invoke(int32_t dispid, EInvokeKind kind, const std::vector<CVariant>& args) {
    return Guarded([&] { return InvokeMember(dispid, kind, args); });
}

CVariant CItemsObject::InvokeMember(int32_t dispid, EInvokeKind kind, const std::vector<CVariant>& args) {
    context->Store();
    if (kind == EInvokeKind::Method && dispid == 4) {
        std::u16string messageClass = args.empty() || args[0].IsMissing() ? u"IPM.Note" : ArgString(args, 0);
        if (messageClass.empty()) messageClass = u"IPM.Note";
        return CVariant(DispatchPtr(std::make_shared<CItemObject>(context, folder, messageClass)));
    }
    ThrowUnknownMember("items", dispid, kind);
}

CVariant CTimeZonesObject::Invoke(int32_t dispid, EInvokeKind kind, const std::vector<CVariant>& args) {
    if (kind == EInvokeKind::Method && dispid == 0x60020001) {
        std::u16string text = args.empty() || args[0].IsMissing() || args[0].IsEmpty() ? u"" : ArgString(args, 0);
        return CVariant(DispatchPtr(std::make_shared<CTimeZoneObject>(ParseNotesZone(text))));
    }
    ThrowUnknownMember("time zones", dispid, kind);
}

DispatchPtr CreateObject(const std::u16string& progId) {
    if (EqualNoCase(progId, u"Redemption.RDOSession")) return std::make_shared<CSessionObject>();
    return nullptr;
}

}  // namespace store
