// In-memory model of one store item as MAPI sees it: tagged and named
// properties, recipient rows and attachments. Items are filled by property
// puts and file imports and handed to the staging store on save.
#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace store {

// Property types as MAPI numbers them (the low word of a property tag).
enum EPropType : uint16_t {
    ptInt32 = 0x0003,
    ptDouble = 0x0005,
    ptBoolean = 0x000B,
    ptTime = 0x0040,
    ptString = 0x001F,
    ptBinary = 0x0102,
    ptMultiInt32 = 0x1003,
    ptMultiString = 0x101F,
    ptMultiBinary = 0x1102,
};

using CGuid = std::array<uint8_t, 16>;

// FILETIME: 100-ns intervals since 1601-01-01 UTC.
struct CFileTime {
    int64_t value = 0;
    bool operator==(const CFileTime&) const = default;
};

using CPropValue = std::variant<int32_t, double, bool, CFileTime, std::u16string, std::string,
                                std::vector<int32_t>, std::vector<std::u16string>, std::vector<std::string>>;

// Named property: a property set and either a numeric LID or a string name.
struct CNamedKey {
    CGuid guid{};
    uint32_t lid = 0;
    std::u16string name;  // used when not empty
    uint16_t type = 0;
    auto operator<=>(const CNamedKey&) const = default;
};

class CPropertyBag {
public:
    // Tagged properties, keyed by the full tag (id << 16 | type).
    void Set(uint32_t tag, CPropValue value);
    void Remove(uint32_t tag);
    bool Has(uint32_t tag) const { return tagged.count(tag) != 0; }
    const CPropValue* Get(uint32_t tag) const;
    std::u16string GetString(uint32_t tag) const;
    std::optional<int32_t> GetInt(uint32_t tag) const;

    void SetNamed(const CNamedKey& key, CPropValue value);
    void RemoveNamed(const CNamedKey& key);
    const CPropValue* GetNamed(const CNamedKey& key) const;

    const std::map<uint32_t, CPropValue>& Tagged() const { return tagged; }
    const std::map<CNamedKey, CPropValue>& Named() const { return named; }

private:
    std::map<uint32_t, CPropValue> tagged;
    std::map<CNamedKey, CPropValue> named;
};

struct CRecipient {
    CPropertyBag props;
};

struct CMessageData;

struct CAttachment {
    CPropertyBag props;
    // The message the attachment holds (attach method 5) instead of data.
    std::shared_ptr<const CMessageData> embedded;
};

struct CMessageData {
    CPropertyBag props;
    std::vector<CRecipient> recipients;
    std::vector<CAttachment> attachments;
    // Local image files already taken in as inline attachments: path -> content ID.
    std::map<std::u16string, std::u16string> embeddedImages;
    // What the item is made from; a later save with the same key replaces it.
    std::string sourceKey;
    // Further items made from the same source (the instances of a series that
    // no recurrence pattern holds): each is this item with these properties
    // set, saved along with it under a source key of its own.
    std::vector<CPropertyBag> siblings;
};

}  // namespace store
