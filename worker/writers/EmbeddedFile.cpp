#include "worker/writers/EmbeddedFile.h"

#include "worker/mime/CMimeBody.h"
#include "worker/writers/EncodedWord.h"

namespace {

CMimeBody* AddFilePart(CMimeBody& message)
{
    CMimeBody* part = message.AddPart();
    part->SetTransferEncoding("base64");
    part->SetContentType("application/octet-stream");
    return part;
}

}  // namespace

bool AddEmbeddedFilePart(CMimeBody& message, std::u16string_view name, std::string_view bytes)
{
    return AddFilePart(message)->SetBinaryContent(Utf8EncodedWord(name), bytes.data(),
                                                  static_cast<int64_t>(bytes.size()));
}

void AddEmbeddedFilePart(CMimeBody& message, std::u16string_view name, sys::CBytes bytes)
{
    AddFilePart(message)->TakeBinaryContent(Utf8EncodedWord(name), std::move(bytes.data),
                                            static_cast<int64_t>(bytes.size));
}
