// Used when the library is built without the staging store: a logon keeps
// the items in memory only.
#include "platform/store/MessageStore.h"

namespace store {

std::unique_ptr<IMessageStore> OpenStagingStore(const std::u16string&, const std::u16string&) {
    return CreateMemoryStore();
}

}  // namespace store
