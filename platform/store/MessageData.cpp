#include "platform/store/MessageData.h"

namespace store {

void CPropertyBag::Set(uint32_t tag, CPropValue value) { tagged[tag] = std::move(value); }

void CPropertyBag::Remove(uint32_t tag) { tagged.erase(tag); }

const CPropValue* CPropertyBag::Get(uint32_t tag) const {
    auto it = tagged.find(tag);
    return it == tagged.end() ? nullptr : &it->second;
}

std::u16string CPropertyBag::GetString(uint32_t tag) const {
    const CPropValue* v = Get(tag);
    if (v && std::holds_alternative<std::u16string>(*v)) return std::get<std::u16string>(*v);
    return {};
}

std::optional<int32_t> CPropertyBag::GetInt(uint32_t tag) const {
    const CPropValue* v = Get(tag);
    if (v && std::holds_alternative<int32_t>(*v)) return std::get<int32_t>(*v);
    return std::nullopt;
}

void CPropertyBag::SetNamed(const CNamedKey& key, CPropValue value) { named[key] = std::move(value); }

void CPropertyBag::RemoveNamed(const CNamedKey& key) { named.erase(key); }

const CPropValue* CPropertyBag::GetNamed(const CNamedKey& key) const {
    auto it = named.find(key);
    return it == named.end() ? nullptr : &it->second;
}

}  // namespace store
