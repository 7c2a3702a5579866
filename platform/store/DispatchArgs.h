// Helpers for the dispatch objects: reading typed arguments out of variants
// and raising the automation errors a late-bound caller expects.
#pragma once
#include <string>
#include <vector>

#include "platform/store/Dispatch.h"

namespace store {

constexpr uint32_t hrFail = 0x80004005;             // E_FAIL
constexpr uint32_t hrMemberNotFound = 0x80020003;   // DISP_E_MEMBERNOTFOUND
constexpr uint32_t hrTypeMismatch = 0x80020005;     // DISP_E_TYPEMISMATCH
constexpr uint32_t hrParamNotFound = 0x80020004;    // DISP_E_PARAMNOTFOUND
constexpr uint32_t hrNotLoggedOn = 0x80040111;      // MAPI_E_LOGON_FAILED

[[noreturn]] void ThrowDispatch(uint32_t hresult, const std::string& what);
[[noreturn]] void ThrowUnknownMember(const char* objectName, int32_t dispid, EInvokeKind kind);

// Runs a member and turns any other failure (the staging store's, memory)
// into a dispatch error, as a caller of the automation interface sees it.
template <class F>
CVariant Guarded(F&& member) {
    try {
        return member();
    } catch (const CDispatchError&) {
        throw;
    } catch (const std::exception& e) {
        throw CDispatchError(hrFail, e.what());
    }
}

// Typed reads of argument i; a missing or mistyped argument throws.
const CVariant& Arg(const std::vector<CVariant>& args, size_t i);
std::u16string ArgString(const std::vector<CVariant>& args, size_t i);
int32_t ArgInt(const std::vector<CVariant>& args, size_t i);
bool ArgBool(const std::vector<CVariant>& args, size_t i);
double ArgDate(const std::vector<CVariant>& args, size_t i);
DispatchPtr ArgObject(const std::vector<CVariant>& args, size_t i);

}  // namespace store
