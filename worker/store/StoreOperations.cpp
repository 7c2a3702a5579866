#include "worker/store/StoreOperations.h"

namespace storeops {

using store::EInvokeKind;

namespace {

// Makes the call; returns why it failed, empty when it went through (its
// result in `result`).
std::string InvokeOnce(const DispatchPtr& object, int32_t dispid, EInvokeKind kind,
                       const std::vector<CVariant>& args, CVariant& result) {
    if (!object) return "no object";
    try {
        result = object->Invoke(dispid, kind, args);
        return {};
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "unknown error";
    }
}

// Makes the call, and once more when it throws; returns why the second
// attempt failed, empty when one went through (its result in `result`).
std::string InvokeTwice(const DispatchPtr& object, int32_t dispid, EInvokeKind kind,
                        const std::vector<CVariant>& args, CVariant& result) {
    std::string failure = InvokeOnce(object, dispid, kind, args, result);
    if (!failure.empty() && object) failure = InvokeOnce(object, dispid, kind, args, result);
    return failure;
}

}  // namespace

CVariant Guarded(const DispatchPtr& object, int32_t dispid, EInvokeKind kind, const std::vector<CVariant>& args) {
    CVariant result;
    InvokeTwice(object, dispid, kind, args, result);  // a second failure is dropped
    return result;
}

DispatchPtr CreateSession() {
    try {
        return store::CreateObject(u"Redemption.RDOSession");
    } catch (...) {
        return nullptr;
    }
}

DispatchPtr Logon(const DispatchPtr& session, const std::u16string& pstPath) {
    return Guarded(session, DispLogon, EInvokeKind::Method,
                   {CVariant(pstPath), CVariant(u"Personal Folders"), CVariant(int32_t{1}),
                    CVariant(store::CMissing{}), CVariant(store::CMissing{})})
        .Object();
}

DispatchPtr DefaultFolder(const DispatchPtr& session, int32_t kind) {
    return Guarded(session, DispDefaultFolder, EInvokeKind::Method, {CVariant(kind)}).Object();
}

DispatchPtr FolderByPath(const DispatchPtr& session, const std::u16string& folderPath) {
    return Guarded(session, DispFolderByPath, EInvokeKind::Method, {CVariant(folderPath)}).Object();
}

DispatchPtr TimeZoneFromText(const DispatchPtr& session, const std::u16string& zoneText) {
    DispatchPtr zones = Guarded(session, DispTimeZones, EInvokeKind::PropertyGet).Object();
    return Guarded(zones, DispTimeZoneByText, EInvokeKind::Method, {CVariant(zoneText)}).Object();
}

void EndSession(const DispatchPtr& session) { Guarded(session, DispEndSession, EInvokeKind::Method); }

DispatchPtr Items(const DispatchPtr& folder) {
    return Guarded(folder, DispFolderItems, EInvokeKind::PropertyGet).Object();
}

DispatchPtr AddItem(const DispatchPtr& items, const std::u16string& messageClass) {
    return Guarded(items, DispItemsAdd, EInvokeKind::Method, {CVariant(messageClass)}).Object();
}

void Import(const DispatchPtr& item, const std::u16string& filePath, int32_t format) {
    Guarded(item, DispItemImport, EInvokeKind::Method, {CVariant(filePath), CVariant(format)});
}

void Save(const DispatchPtr& item) { Guarded(item, DispItemSave, EInvokeKind::Method); }

CSaveResult SaveFrom(const DispatchPtr& item, const std::u16string& sourceKey) {
    Guarded(item, DispSourceKey, EInvokeKind::PropertyPut, {CVariant(sourceKey)});
    CVariant ignored;
    CSaveResult result;
    result.failure = InvokeTwice(item, DispItemSave, EInvokeKind::Method, {}, ignored);
    if (result.failure.empty()) {
        CVariant over = Guarded(item, DispSavedOver, EInvokeKind::PropertyGet);
        result.savedOver = std::holds_alternative<bool>(over.value) && std::get<bool>(over.value);
    }
    return result;
}

void HoldSaves(const DispatchPtr& session) {
    // A session that cannot hold them commits each save itself.
    CVariant ignored;
    if (session) InvokeOnce(session, DispHoldSaves, EInvokeKind::Method, {}, ignored);
}

std::string CommitSaves(const DispatchPtr& session) {
    CVariant ignored;
    return session ? InvokeOnce(session, DispCommitSaves, EInvokeKind::Method, {}, ignored) : std::string();
}

void CallMethod(const DispatchPtr& item, int32_t dispid, const std::vector<CVariant>& args) {
    Guarded(item, dispid, EInvokeKind::Method, args);
}

void Put(const DispatchPtr& item, int32_t dispid, const CVariant& value) {
    Guarded(item, dispid, EInvokeKind::PropertyPut, {value});
}

void PutOnce(const DispatchPtr& item, int32_t dispid, const CVariant& value) {
    if (item) item->Invoke(dispid, EInvokeKind::PropertyPut, {value});
}

}  // namespace storeops
