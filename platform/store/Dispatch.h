// The store library's objects are reached by number (DISPID) through one
// dispatch interface, as a late-bound automation client would: Invoke with a
// DISPID, the kind of call and the arguments as variants. Failures throw
// CDispatchError; callers guard them.
#pragma once
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace store {

class IDispatchObject;
using DispatchPtr = std::shared_ptr<IDispatchObject>;

struct CMissing {
    bool operator==(const CMissing&) const = default;
};
struct COleDate {
    double value = 0;  // days since 1899-12-30, time of day as the fraction
    bool operator==(const COleDate&) const = default;
};

// empty, 32-bit integer, boolean, string, date, object, missing
class CVariant {
public:
    using Value = std::variant<std::monostate, int32_t, bool, std::u16string, COleDate, DispatchPtr, CMissing>;
    CVariant() = default;
    CVariant(int32_t v) : value(v) {}
    CVariant(bool v) : value(v) {}
    CVariant(std::u16string v) : value(std::move(v)) {}
    CVariant(const char16_t* v) : value(std::u16string(v)) {}
    CVariant(COleDate v) : value(v) {}
    CVariant(DispatchPtr v) : value(std::move(v)) {}
    CVariant(CMissing v) : value(v) {}

    bool IsEmpty() const { return std::holds_alternative<std::monostate>(value); }
    bool IsMissing() const { return std::holds_alternative<CMissing>(value); }
    bool IsObject() const { return std::holds_alternative<DispatchPtr>(value) && std::get<DispatchPtr>(value); }
    DispatchPtr Object() const { return IsObject() ? std::get<DispatchPtr>(value) : nullptr; }

    Value value;
};

enum class EInvokeKind { Method, PropertyGet, PropertyPut };

class CDispatchError : public std::runtime_error {
public:
    CDispatchError(uint32_t code, const std::string& what) : std::runtime_error(what), hresult(code) {}
    uint32_t hresult;
};

class IDispatchObject {
public:
    virtual ~IDispatchObject() = default;
    // Arguments in the order the caller gives them; throws CDispatchError.
    virtual CVariant Invoke(int32_t dispid, EInvokeKind kind, const std::vector<CVariant>& args) = 0;
};

// Creates a top-level object from its ProgID ("Redemption.RDOSession");
// returns null when no such class is available.
DispatchPtr CreateObject(const std::u16string& progId);

}  // namespace store
