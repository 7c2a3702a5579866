// A message store held in memory: the folder tree and the saved items, for
// tests of the dispatch objects and for runs that need no file.
#pragma once
#include <map>
#include <vector>

#include "platform/store/MessageStore.h"

namespace store {

class CMemoryStore : public IMessageStore {
public:
    struct CFolder {
        FolderId parent = 0;
        std::u16string name;
        std::u16string containerClass;
    };
    struct CSaved {
        FolderId folder = 0;
        CMessageData data;
    };

    FolderId TopFolder() override { return 1; }
    std::optional<FolderId> FindSubfolder(FolderId parent, const std::u16string& name) override;
    FolderId CreateFolder(FolderId parent, const std::u16string& name, const std::u16string& containerClass) override;
    CSavedItem SaveMessage(FolderId folder, const CMessageData& message, std::optional<MessageId> existing) override;
    void Close() override { closed = true; }

    std::map<FolderId, CFolder> folders;
    std::map<MessageId, CSaved> messages;
    bool closed = false;

private:
    FolderId nextFolder = 2;
    MessageId nextMessage = 1;
};

}  // namespace store
