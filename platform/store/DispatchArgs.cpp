#include "platform/store/DispatchArgs.h"

namespace store {

void ThrowDispatch(uint32_t hresult, const std::string& what) { throw CDispatchError(hresult, what); }

void ThrowUnknownMember(const char* objectName, int32_t dispid, EInvokeKind kind) {
    static const char* const kinds[] = {"method", "property get", "property put"};
    ThrowDispatch(hrMemberNotFound, std::string(objectName) + ": no " + kinds[static_cast<int>(kind)] +
                                        " with DISPID 0x" + [&] {
                                            char buf[16];
                                            snprintf(buf, sizeof buf, "%x", static_cast<unsigned>(dispid));
                                            return std::string(buf);
                                        }());
}

const CVariant& Arg(const std::vector<CVariant>& args, size_t i) {
    if (i >= args.size() || args[i].IsMissing()) ThrowDispatch(hrParamNotFound, "argument missing");
    return args[i];
}

std::u16string ArgString(const std::vector<CVariant>& args, size_t i) {
    const CVariant& v = Arg(args, i);
    if (v.IsEmpty()) return {};
    if (auto s = std::get_if<std::u16string>(&v.value)) return *s;
    if (auto n = std::get_if<int32_t>(&v.value)) {
        std::string text = std::to_string(*n);
        return std::u16string(text.begin(), text.end());
    }
    ThrowDispatch(hrTypeMismatch, "string argument expected");
}

int32_t ArgInt(const std::vector<CVariant>& args, size_t i) {
    const CVariant& v = Arg(args, i);
    if (auto n = std::get_if<int32_t>(&v.value)) return *n;
    if (auto b = std::get_if<bool>(&v.value)) return *b ? -1 : 0;
    if (v.IsEmpty()) return 0;
    ThrowDispatch(hrTypeMismatch, "integer argument expected");
}

bool ArgBool(const std::vector<CVariant>& args, size_t i) {
    const CVariant& v = Arg(args, i);
    if (auto b = std::get_if<bool>(&v.value)) return *b;
    if (auto n = std::get_if<int32_t>(&v.value)) return *n != 0;
    if (v.IsEmpty()) return false;
    ThrowDispatch(hrTypeMismatch, "boolean argument expected");
}

double ArgDate(const std::vector<CVariant>& args, size_t i) {
    const CVariant& v = Arg(args, i);
    if (auto d = std::get_if<COleDate>(&v.value)) return d->value;
    if (auto n = std::get_if<int32_t>(&v.value)) return *n;
    ThrowDispatch(hrTypeMismatch, "date argument expected");
}

DispatchPtr ArgObject(const std::vector<CVariant>& args, size_t i) {
    const CVariant& v = Arg(args, i);
    if (v.IsObject()) return v.Object();
    ThrowDispatch(hrTypeMismatch, "object argument expected");
}

}  // namespace store
