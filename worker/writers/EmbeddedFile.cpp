#include "worker/writers/EmbeddedFile.h"

#include "worker/mime/CMimeBody.h"
#include "worker/writers/EncodedWord.h"

bool AddEmbeddedFilePart(CMimeBody& message, std::u16string_view name, std::string_view bytes)
{
    CMimeBody* part = message.AddPart();
    part->SetTransferEncoding("base64");
    part->SetContentType("application/octet-stream");
    return part->SetBinaryContent(Utf8EncodedWord(name), bytes.data(), static_cast<int64_t>(bytes.size()));
}
