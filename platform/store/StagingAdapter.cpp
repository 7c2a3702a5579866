// The message store on top of the staging store that the PST writer reads.
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <utility>

#include "platform/pst/StagingStore.h"
#include "platform/store/DispatchArgs.h"
#include "platform/store/MessageStore.h"
#include "platform/store/StoreText.h"

namespace store {
namespace {

pst::PropValue ToStaged(const CPropValue& value) {
    return std::visit(
        [](const auto& v) -> pst::PropValue {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, CFileTime>) return v.value;
            else return v;
        },
        value);
}

class CStagingMessageStore : public IMessageStore {
public:
    explicit CStagingMessageStore(std::unique_ptr<pst::CStagingStore> s) : staging(std::move(s)) {}

    FolderId TopFolder() override { return Id(Staging().DefaultFolder(pst::EDefaultFolder::IpmSubtree)); }

    FolderId DefaultFolder(int32_t kind, const std::u16string& name, const std::u16string& containerClass) override {
        switch (kind) {
        case 9: return Id(Staging().DefaultFolder(pst::EDefaultFolder::Calendar));
        case 10:
        case 28: return Id(Staging().DefaultFolder(pst::EDefaultFolder::Contacts));
        case 13: return Id(Staging().DefaultFolder(pst::EDefaultFolder::Tasks));
        case 3: return Id(Staging().DefaultFolder(pst::EDefaultFolder::DeletedItems));
        case 4: return Id(Staging().DefaultFolder(pst::EDefaultFolder::Outbox));
        case 5: return Id(Staging().DefaultFolder(pst::EDefaultFolder::SentItems));
        case 6: return Id(Staging().DefaultFolder(pst::EDefaultFolder::Inbox));
        case 11: return Id(Staging().DefaultFolder(pst::EDefaultFolder::Journal));
        case 12: return Id(Staging().DefaultFolder(pst::EDefaultFolder::Notes));
        case 16: return Id(Staging().DefaultFolder(pst::EDefaultFolder::Drafts));
        default: return IMessageStore::DefaultFolder(kind, name, containerClass);
        }
    }

    std::optional<FolderId> FindSubfolder(FolderId parent, const std::u16string& name) override {
        auto found = Staging().FindChildFolder(static_cast<pst::FolderId>(parent), name);
        if (!found) return std::nullopt;
        return Id(*found);
    }

    FolderId CreateFolder(FolderId parent, const std::u16string& name, const std::u16string& containerClass) override {
        return Id(Staging().CreateFolder(static_cast<pst::FolderId>(parent), name, containerClass));
    }

    CSavedItem SaveMessage(FolderId folder, const CMessageData& message, std::optional<MessageId> existing) override {
        pst::CStagedMessage staged = Convert(message);
        if (existing) {
            Staging().ReplaceMessage(static_cast<pst::MessageId>(*existing), staged);
            return {*existing, true};
        }
        RefuseWhenAsked();
        CSavedItem item;
        item.id = static_cast<MessageId>(Staging().SaveMessage(static_cast<pst::FolderId>(folder), staged, &item.replaced));
        ++uncommitted;
        if (!Staging().CommitsHeld()) CrashAfterSavesWhenAsked();
        return item;
    }

    void HoldSaves() override { Staging().HoldCommits(); }

    void CommitSaves() override {
        if (!Staging().CommitsHeld()) return;
        try {
            Staging().CommitHeld();
        } catch (const pst::CStagingError& e) {
            uncommitted = 0;
            ThrowDispatch(hrFail, std::string("the saved items cannot be committed: ") + e.what());
        }
        CrashAfterSavesWhenAsked();
    }

    void Close() override { staging.reset(); }

private:
    static FolderId Id(pst::FolderId id) { return static_cast<FolderId>(id); }

    pst::CStagingStore& Staging() {
        if (!staging) ThrowDispatch(hrNotLoggedOn, "the store is closed");
        return *staging;
    }

    pst::CPropBag ConvertBag(const CPropertyBag& bag) {
        pst::CPropBag out;
        for (const auto& [tag, value] : bag.Tagged()) out.Set(tag, ToStaged(value));
        for (const auto& [key, value] : bag.Named()) {
            uint16_t id = key.name.empty() ? Staging().NamedPropertyId(key.guid, key.lid)
                                           : Staging().NamedPropertyId(key.guid, key.name);
            out.Set(pst::MakeTag(id, key.type), ToStaged(value));
        }
        return out;
    }

    pst::CStagedMessage Convert(const CMessageData& message) {
        pst::CStagedMessage staged;
        staged.sourceKey = message.sourceKey;
        staged.props = ConvertBag(message.props);
        for (const auto& r : message.recipients) staged.recipients.push_back(ConvertBag(r.props));
        for (const auto& a : message.attachments) {
            pst::CStagedAttachment att;
            att.props = ConvertBag(a.props);
            if (a.embedded) att.embedded = std::make_shared<pst::CStagedMessage>(Convert(*a.embedded));
            staged.attachments.push_back(std::move(att));
        }
        return staged;
    }

    // The count a fault-injection variable gives, 0 when it is not set.
    static long FaultCount(const char* name) {
        const char* text = std::getenv(name);
        return text ? std::strtol(text, nullptr, 10) : 0L;
    }

    // Fault injection for tests: PSTSTORE_KILL_AFTER_SAVES=N kills the process
    // (SIGKILL, nothing flushed, no handler runs) right after its Nth commit
    // of new messages (a save, or a run of held saves), the moment a crash
    // can leave saved items whose documents the converter has not yet
    // recorded as done.
    void CrashAfterSavesWhenAsked() {
        static const long limit = FaultCount("PSTSTORE_KILL_AFTER_SAVES");
        if (std::exchange(uncommitted, 0) > 0) ++commits;
        if (limit > 0 && commits >= limit) raise(SIGKILL);
    }

    // Fault injection for tests: PSTSTORE_REFUSE_FROM=N refuses the Nth new
    // message and every one after it, as a full disk would.
    void RefuseWhenAsked() {
        static const long first = FaultCount("PSTSTORE_REFUSE_FROM");
        if (first > 0 && ++attempts >= first) ThrowDispatch(hrFail, "no space left on the device (refused for a test)");
    }

    std::unique_ptr<pst::CStagingStore> staging;
    long commits = 0;      // of new messages
    long uncommitted = 0;  // new messages saved since the last commit
    long attempts = 0;
};

}  // namespace

std::unique_ptr<IMessageStore> OpenStagingStore(const std::u16string& pstPath, const std::u16string& displayName) {
    try {
        std::filesystem::path pstFile(ToUtf8(pstPath));
        if (pstFile.has_parent_path()) std::filesystem::create_directories(pstFile.parent_path());
        auto staging = pst::CStagingStore::Open(pst::CStagingStore::PathForPst(pstFile), displayName);
        return std::make_unique<CStagingMessageStore>(std::move(staging));
    } catch (const pst::CStagingError& e) {
        ThrowDispatch(hrFail, std::string("the PST store cannot be opened: ") + e.what());
    } catch (const std::filesystem::filesystem_error& e) {
        ThrowDispatch(hrFail, std::string("the PST store cannot be opened: ") + e.what());
    }
}

}  // namespace store
