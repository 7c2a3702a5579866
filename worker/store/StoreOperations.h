// The worker's calls into the store library, by DISPID. Every call except the
// creation of the session and the plain property puts marked "once" runs
// inside a guard: when it throws it is made once more, and when that throws
// too the error is dropped and the call yields an empty result. Callers test
// only for null objects.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/store/Dispatch.h"

namespace storeops {

using store::CVariant;
using store::DispatchPtr;

// Store DISPIDs used by the runs.
enum EDispid : int32_t {
    DispLogon = 0x6002001F,
    DispDefaultFolder = 7,
    DispFolderByPath = 0x60020016,
    DispTimeZones = 0x60020017,
    DispTimeZoneByText = 0x60020001,
    DispEndSession = 0x12,
    DispFolderItems = 0x11,
    DispItemsAdd = 4,
    DispItemImport = 0x47,
    DispItemSave = 6,
    DispContactPicture = 0x600400e0,
    DispAddMember = 0x6004000b,
    DispSourceKey = 0x7E000001,
    DispSavedOver = 0x7E000002,
    // The Notes document's own times (Greenwich) and Internet identifiers,
    // and a task's start and due as the instants their days begin.
    DispCreationTime = 0x7E000003,
    DispLastModificationTime = 0x7E000004,
    DispInternetMessageId = 0x7E000005,
    DispInReplyToId = 0x7E000006,
    DispInternetReferences = 0x7E000007,
    DispTaskStartInstant = 0x7E000008,
    DispTaskDueInstant = 0x7E000009,
    // A meeting's identity (the UID its copies share) and whether the
    // mailbox owner chairs it.
    DispMeetingUid = 0x7E00000A,
    DispMeetingOwnerChairs = 0x7E00000B,
    // The session holds the commits of the saves that follow until asked
    // to commit them.
    DispHoldSaves = 0x7E00000C,
    DispCommitSaves = 0x7E00000D,
};

enum EDefaultFolder : int32_t { FolderCalendar = 9, FolderContacts = 10, FolderTasks = 13, FolderDistLists = 28 };
enum EImportFormat : int32_t { ImportRfc822 = 1024, ImportVCard = 6, ImportICalendar = 8, ImportDistList = 0 };

// Runs the call, once more when it throws, and yields empty on a second failure.
CVariant Guarded(const DispatchPtr& object, int32_t dispid, store::EInvokeKind kind,
                 const std::vector<CVariant>& args = {});

// No guard: creating the session; null when the store library is not there.
DispatchPtr CreateSession();
DispatchPtr Logon(const DispatchPtr& session, const std::u16string& pstPath);
DispatchPtr DefaultFolder(const DispatchPtr& session, int32_t kind);
DispatchPtr FolderByPath(const DispatchPtr& session, const std::u16string& folderPath);
DispatchPtr TimeZoneFromText(const DispatchPtr& session, const std::u16string& zoneText);
void EndSession(const DispatchPtr& session);

DispatchPtr Items(const DispatchPtr& folder);
DispatchPtr AddItem(const DispatchPtr& items, const std::u16string& messageClass);
void Import(const DispatchPtr& item, const std::u16string& filePath, int32_t format);
void Save(const DispatchPtr& item);
// Saves the item under the identity of the document it was made from: saving
// the same document again (a run restarted after a crash between the save and
// the next record) replaces the item instead of adding a second one.
// Made twice like the guarded calls.
struct CSaveResult {
    std::string failure;     // why the save failed; empty when the item was saved
    bool savedOver = false;  // the save replaced the item saved earlier from that source
};
CSaveResult SaveFrom(const DispatchPtr& item, const std::u16string& sourceKey);
// Held saves: after HoldSaves the session commits the saves that follow
// together, when CommitSaves is called. Neither is made twice: CommitSaves
// returns why the commit failed (and then none of the held saves is kept),
// empty when they are committed. Without a session both do nothing.
void HoldSaves(const DispatchPtr& session);
std::string CommitSaves(const DispatchPtr& session);
void CallMethod(const DispatchPtr& item, int32_t dispid, const std::vector<CVariant>& args);

// Property put inside the guard.
void Put(const DispatchPtr& item, int32_t dispid, const CVariant& value);
// Property put made once, without the guard: a failure propagates.
void PutOnce(const DispatchPtr& item, int32_t dispid, const CVariant& value);

}  // namespace storeops
