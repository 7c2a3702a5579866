// The three process-wide name tables of the MIME model: transfer-encoding
// name to transfer codec, header field name to field codec, media type to
// part factory. They are filled during static initialisation and only read
// afterwards; look-ups ignore letter case. Entering a name removes an
// earlier entry of that name and appends the new one.
#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "worker/mime/FieldCodecs.h"
#include "worker/mime/MimeCodecs.h"
#include "worker/mime/MimeText.h"

class CMimeBody;

template <class Factory>
class CNameTable {
public:
    void Enter(std::string_view name, Factory factory)
    {
        std::erase_if(entries, [&](const auto& entry) { return mime::EqualsNoCase(entry.first, name); });
        entries.emplace_back(std::string(name), factory);
    }
    // The factory entered under `name`, or null.
    Factory Find(std::string_view name) const
    {
        for (const auto& [entryName, factory] : entries) {
            if (mime::EqualsNoCase(entryName, name)) return factory;
        }
        return nullptr;
    }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& entry : entries) names.push_back(entry.first);
        return names;
    }

private:
    std::vector<std::pair<std::string, Factory>> entries;
};

using TransferCodecFactory = std::unique_ptr<CMimeCodeBase> (*)();
using FieldCodecFactory = std::unique_ptr<CFieldCodeBase> (*)();
using PartFactory = std::unique_ptr<CMimeBody> (*)();

CNameTable<TransferCodecFactory>& TransferCodecTable();
CNameTable<FieldCodecFactory>& FieldCodecTable();
CNameTable<PartFactory>& MediaTypeTable();

// The codec for a Content-Transfer-Encoding value: an empty or unknown name
// ("7bit", "8bit", ...) gives the plain copying codec.
std::unique_ptr<CMimeCodeBase> CreateTransferCodec(std::string_view encodingName);
// The codec for a header field name; unknown names give CFieldCodeBase.
std::unique_ptr<CFieldCodeBase> CreateFieldCodec(std::string_view fieldName);
// A new part for a media type; every type not entered gives a CMimeBody.
std::unique_ptr<CMimeBody> CreatePart(std::string_view mediaType);
