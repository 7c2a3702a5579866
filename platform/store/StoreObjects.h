// The dispatch objects above the message store: session, store, folder, item
// collection and the time-zone collection. Items are in ItemObject.h.
#pragma once
#include <map>
#include <memory>
#include <string>

#include "platform/store/Dispatch.h"
#include "platform/store/MessageStore.h"

namespace store {

// Shared by the session and every object it hands out; after the session
// ends, the objects refuse further work.
struct CStoreContext {
    std::unique_ptr<IMessageStore> store;
    std::u16string pstPath;
    IMessageStore& Store();
};

// Default folder kinds a caller asks for.
constexpr int32_t folderCalendar = 9;
constexpr int32_t folderContacts = 10;
constexpr int32_t folderTasks = 13;
constexpr int32_t folderDistLists = 28;

// Session methods of this store library: hold the commits of the saves that
// follow, and commit what is held (failing when that cannot be done).
constexpr int32_t dispidHoldSaves = 0x7E00000C;
constexpr int32_t dispidCommitSaves = 0x7E00000D;

class CSessionObject : public IDispatchObject, public std::enable_shared_from_this<CSessionObject> {
public:
    CVariant Invoke(int32_t dispid, EInvokeKind kind, const std::vector<CVariant>& args) override;
    // Logs on to an existing message store instead of a PST file (tests, tools).
    DispatchPtr LogonToStore(std::unique_ptr<IMessageStore> store, const std::u16string& path);
    DispatchPtr DefaultFolder(int32_t kind);
    DispatchPtr FolderFromPath(const std::u16string& path);
    void Logoff();
    bool LoggedOn() const { return context && context->store; }

private:
    CVariant InvokeMember(int32_t dispid, EInvokeKind kind, const std::vector<CVariant>& args);

    std::shared_ptr<CStoreContext> context;
    DispatchPtr storeObject;
    std::map<int32_t, FolderId> defaultFolders;
};

class CStoreObject : public IDispatchObject {
public:
    explicit CStoreObject(std::weak_ptr<CSessionObject> owner) : session(std::move(owner)) {}
    CVariant Invoke(int32_t dispid, EInvokeKind kind, const std::vector<CVariant>& args) override;

private:
    std::weak_ptr<CSessionObject> session;
};

class CFolderObject : public IDispatchObject {
public:
    CFolderObject(std::shared_ptr<CStoreContext> ctx, FolderId id, std::u16string name)
        : context(std::move(ctx)), folder(id), folderName(std::move(name)) {}
    CVariant Invoke(int32_t dispid, EInvokeKind kind, const std::vector<CVariant>& args) override;
    FolderId Id() const { return folder; }
    const std::u16string& Name() const { return folderName; }

private:
    CVariant InvokeMember(int32_t dispid, EInvokeKind kind);

    std::shared_ptr<CStoreContext> context;
    FolderId folder;
    std::u16string folderName;
};

class CItemsObject : public IDispatchObject {
public:
    CItemsObject(std::shared_ptr<CStoreContext> ctx, FolderId id) : context(std::move(ctx)), folder(id) {}
    CVariant Invoke(int32_t dispid, EInvokeKind kind, const std::vector<CVariant>& args) override;

private:
    CVariant InvokeMember(int32_t dispid, EInvokeKind kind, const std::vector<CVariant>& args);

    std::shared_ptr<CStoreContext> context;
    FolderId folder;
};

class CTimeZonesObject : public IDispatchObject {
public:
    CVariant Invoke(int32_t dispid, EInvokeKind kind, const std::vector<CVariant>& args) override;
};

}  // namespace store
