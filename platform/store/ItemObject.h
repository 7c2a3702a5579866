// A store item reached by dispatch: created in a folder's item collection
// with a message class, filled by property puts and file imports, saved to
// the message store. What a DISPID means depends on the kind of item.
#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/store/Dispatch.h"
#include "platform/store/ItemModel.h"
#include "platform/store/StoreObjects.h"
#include "platform/sys/Files.h"

namespace store {

// Import formats of the item method 0x47.
constexpr int32_t importText = 0;
constexpr int32_t importVCard = 6;
constexpr int32_t importICalendar = 8;
constexpr int32_t importRfc822 = 1024;

// Property put of this store (not of the Outlook object model): names what
// the item is made from. Saving an item whose source key was saved before
// replaces that item, so a converter that saves the same document again
// after a crash does not leave two copies.
constexpr int32_t dispidSourceKey = 0x7E000001;
// Property get of this store: true when the last save replaced an item
// saved earlier under the same source key (the item is then no new one).
constexpr int32_t dispidSavedOver = 0x7E000002;

class CItemObject : public IDispatchObject {
public:
    CItemObject(std::shared_ptr<CStoreContext> ctx, FolderId folder, std::u16string messageClass);
    CVariant Invoke(int32_t dispid, EInvokeKind kind, const std::vector<CVariant>& args) override;

    EItemKind Kind() const { return kind; }
    CMessageData& Data() { return data; }
    void Import(const std::u16string& path, int32_t format);
    void Save();

private:
    CVariant InvokeMember(int32_t dispid, EInvokeKind kind, const std::vector<CVariant>& args);
    CVariant InvokeMethod(int32_t dispid, const std::vector<CVariant>& args);

    std::shared_ptr<CStoreContext> context;
    FolderId folder;
    EItemKind kind;
    CMessageData data;
    std::optional<MessageId> savedId;
    std::vector<std::optional<MessageId>> siblingIds;  // the items saved along with this one
    bool savedOver = false;
};

// Reads a whole file for import; throws CDispatchError when it cannot be read.
sys::CBytes ReadImportFile(const std::u16string& path);

}  // namespace store
