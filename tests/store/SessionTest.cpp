#include <gtest/gtest.h>

#include <filesystem>

#include "platform/store/Dispatch.h"
#include "platform/store/MemoryStore.h"
#include "platform/store/StoreObjects.h"

using namespace store;

namespace {

DispatchPtr Call(const DispatchPtr& obj, int32_t dispid, std::vector<CVariant> args = {}) {
    return obj->Invoke(dispid, EInvokeKind::Method, args).Object();
}

struct CMemorySession {
    std::shared_ptr<CSessionObject> session = std::make_shared<CSessionObject>();
    CMemoryStore* memory = nullptr;
    CMemorySession() {
        auto store = std::make_unique<CMemoryStore>();
        memory = store.get();
        session->LogonToStore(std::move(store), u"/tmp/x.pst");
    }
};

}  // namespace

TEST(StoreSession, UnknownProgIdGivesNull) {
    EXPECT_EQ(CreateObject(u"Outlook.Application"), nullptr);
    EXPECT_NE(CreateObject(u"Redemption.RDOSession"), nullptr);
}

TEST(StoreSession, LogonToPstAndEnd) {
    char dir[] = "/tmp/storetestXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string pstPath = std::string(dir) + "/out/My Mail.pst";
    auto session = CreateObject(u"Redemption.RDOSession");
    std::u16string path(pstPath.begin(), pstPath.end());
    auto storeObj = Call(session, 0x6002001F, {CVariant(path), CVariant(u"Personal Folders"), CVariant(int32_t(1)),
                                                CVariant(CMissing{}), CVariant(CMissing{})});
    ASSERT_NE(storeObj, nullptr);
    auto calendar = Call(session, 7, {CVariant(int32_t(9))});
    ASSERT_NE(calendar, nullptr);
    session->Invoke(0x12, EInvokeKind::Method, {});
    EXPECT_THROW(Call(session, 7, {CVariant(int32_t(9))}), CDispatchError);
    EXPECT_THROW(calendar->Invoke(0x11, EInvokeKind::PropertyGet, {}), CDispatchError);
    std::filesystem::remove_all(dir);
}

TEST(StoreSession, FolderPathsNestAndAreFoundAgain) {
    CMemorySession s;
    auto q1 = Call(s.session, 0x60020016, {CVariant(u"Archive\\2013\\Q1")});
    auto q1again = Call(s.session, 0x60020016, {CVariant(u"archive\\2013\\Q1")});
    ASSERT_NE(q1, nullptr);
    EXPECT_EQ(std::dynamic_pointer_cast<CFolderObject>(q1)->Id(), std::dynamic_pointer_cast<CFolderObject>(q1again)->Id());
    ASSERT_EQ(s.memory->folders.size(), 3u);
    FolderId id = std::dynamic_pointer_cast<CFolderObject>(q1)->Id();
    std::vector<std::u16string> chain;
    while (id != s.memory->TopFolder()) {
        chain.insert(chain.begin(), s.memory->folders.at(id).name);
        id = s.memory->folders.at(id).parent;
    }
    EXPECT_EQ(chain, (std::vector<std::u16string>{u"Archive", u"2013", u"Q1"}));
}

TEST(StoreSession, DefaultFoldersAreStable) {
    CMemorySession s;
    auto id = [&](int32_t kind) {
        return std::dynamic_pointer_cast<CFolderObject>(Call(s.session, 7, {CVariant(kind)}))->Id();
    };
    EXPECT_EQ(id(9), id(9));
    EXPECT_EQ(id(10), id(28));
    EXPECT_NE(id(10), id(13));
    EXPECT_EQ(s.memory->folders.at(id(9)).containerClass, u"IPF.Appointment");
    EXPECT_EQ(s.memory->folders.at(id(13)).containerClass, u"IPF.Task");
    EXPECT_THROW(Call(s.session, 7, {CVariant(int32_t(999))}), CDispatchError);
}
