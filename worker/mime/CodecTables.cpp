// Filling and look-up of the codec and media-type tables.
#include "worker/mime/CodecTables.h"

#include "worker/mime/CMimeBody.h"

namespace {

template <class Base, class Codec>
std::unique_ptr<Base> Make()
{
    return std::make_unique<Codec>();
}

void FillTransferCodecs(CNameTable<TransferCodecFactory>& table)
{
    table.Enter("quoted-printable", &Make<CMimeCodeBase, CMimeCodeQP>);
    table.Enter("base64", &Make<CMimeCodeBase, CMimeCodeBase64>);
}

void FillFieldCodecs(CNameTable<FieldCodecFactory>& table)
{
    for (const char* name : {"Subject", "Comments", "Content-Description"}) {
        table.Enter(name, &Make<CFieldCodeBase, CFieldCodeText>);
    }
    for (const char* name : {"From", "To", "Resent-To", "Cc", "Resent-Cc", "Bcc", "Resent-Bcc",
                             "Reply-To", "Resent-Reply-To"}) {
        table.Enter(name, &Make<CFieldCodeBase, CFieldCodeAddress>);
    }
    for (const char* name : {"Content-Type", "Content-Disposition"}) {
        table.Enter(name, &Make<CFieldCodeBase, CFieldCodeParameter>);
    }
}

// Touches every table during static initialisation, so that all of them are
// filled before the first message is built.
const bool tablesFilled = (TransferCodecTable(), FieldCodecTable(), MediaTypeTable(), true);

}  // namespace

CNameTable<TransferCodecFactory>& TransferCodecTable()
{
    static CNameTable<TransferCodecFactory> table = [] {
        CNameTable<TransferCodecFactory> filled;
        FillTransferCodecs(filled);
        return filled;
    }();
    return table;
}

CNameTable<FieldCodecFactory>& FieldCodecTable()
{
    static CNameTable<FieldCodecFactory> table = [] {
        CNameTable<FieldCodecFactory> filled;
        FillFieldCodecs(filled);
        return filled;
    }();
    return table;
}

CNameTable<PartFactory>& MediaTypeTable()
{
    static CNameTable<PartFactory> table;
    return table;
}

std::unique_ptr<CMimeCodeBase> CreateTransferCodec(std::string_view encodingName)
{
    const TransferCodecFactory factory = TransferCodecTable().Find(encodingName.empty() ? "7bit" : encodingName);
    return factory ? factory() : std::make_unique<CMimeCodeBase>();
}

std::unique_ptr<CFieldCodeBase> CreateFieldCodec(std::string_view fieldName)
{
    const FieldCodecFactory factory = FieldCodecTable().Find(fieldName);
    return factory ? factory() : std::make_unique<CFieldCodeBase>();
}

std::unique_ptr<CMimeBody> CreatePart(std::string_view mediaType)
{
    const PartFactory factory = MediaTypeTable().Find(mediaType);
    return factory ? factory() : std::make_unique<CMimeBody>();
}
