#include "platform/store/MemoryStore.h"

#include "platform/store/StoreText.h"

namespace store {

std::optional<FolderId> CMemoryStore::FindSubfolder(FolderId parent, const std::u16string& name) {
    for (const auto& [id, folder] : folders)
        if (folder.parent == parent && EqualNoCase(folder.name, name)) return id;
    return std::nullopt;
}

FolderId CMemoryStore::CreateFolder(FolderId parent, const std::u16string& name, const std::u16string& containerClass) {
    FolderId id = nextFolder++;
    folders[id] = CFolder{parent, name, containerClass};
    return id;
}

CSavedItem CMemoryStore::SaveMessage(FolderId folder, const CMessageData& message, std::optional<MessageId> existing) {
    if (!existing && !message.sourceKey.empty())
        for (const auto& [savedId, saved] : messages)
            if (saved.data.sourceKey == message.sourceKey) existing = savedId;
    const CSavedItem item{existing ? *existing : nextMessage++, existing.has_value()};
    messages[item.id] = CSaved{folder, message};
    return item;
}

FolderId IMessageStore::DefaultFolder(int32_t, const std::u16string& name, const std::u16string& containerClass) {
    FolderId top = TopFolder();
    auto found = FindSubfolder(top, name);
    return found ? *found : CreateFolder(top, name, containerClass);
}

std::unique_ptr<IMessageStore> CreateMemoryStore() { return std::make_unique<CMemoryStore>(); }

}  // namespace store
