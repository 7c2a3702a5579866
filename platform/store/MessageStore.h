// The persistence side of the store objects: a folder tree under the top of
// the store and items committed one by one, or a run of them together. One
// implementation keeps items in memory (for tests of the dispatch layer);
// the other commits them to the staging store next to the PST file, from
// which the PST is written.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/store/MessageData.h"

namespace store {

using FolderId = uint64_t;
using MessageId = uint64_t;

// A committed item: its id, and whether the save replaced an item saved before.
struct CSavedItem {
    MessageId id = 0;
    bool replaced = false;
};

class IMessageStore {
public:
    virtual ~IMessageStore() = default;
    // The folder under which user folders live (the store's top of folders).
    virtual FolderId TopFolder() = 0;
    // The store's default folder of a kind (calendar, contacts, tasks...);
    // the plain implementation finds or creates it by name under the top.
    virtual FolderId DefaultFolder(int32_t kind, const std::u16string& name, const std::u16string& containerClass);
    virtual std::optional<FolderId> FindSubfolder(FolderId parent, const std::u16string& name) = 0;
    virtual FolderId CreateFolder(FolderId parent, const std::u16string& name, const std::u16string& containerClass) = 0;
    // Commits the item at once. An existing id replaces that item's content,
    // and so does a saved item that carries the same source key.
    virtual CSavedItem SaveMessage(FolderId folder, const CMessageData& message,
                                   std::optional<MessageId> existing) = 0;
    // From HoldSaves() on, saves are committed together by CommitSaves()
    // (which throws when that fails, and then none of them is kept); a store
    // that commits each save at once ignores both.
    virtual void HoldSaves() {}
    virtual void CommitSaves() {}
    virtual void Close() = 0;
};

std::unique_ptr<IMessageStore> CreateMemoryStore();
// Opens (creating when absent) the staging store that belongs to the PST path.
std::unique_ptr<IMessageStore> OpenStagingStore(const std::u16string& pstPath, const std::u16string& displayName);

}  // namespace store
