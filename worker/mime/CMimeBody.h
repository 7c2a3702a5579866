// One MIME entity: a header, its own content (the bytes before transfer
// encoding) and an ordered list of child parts it owns. Stored, a body is
// its header, its content through the transfer codec named by its
// Content-Transfer-Encoding field, and for a multipart body each part after
// a "--boundary" delimiter, then the closing delimiter.
//
// Attachment content is carried whole whatever its size; the only refusal
// is running out of memory, which SetBinaryContent reports by returning
// false so that the caller can log and count the lost attachment.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "worker/mime/CMimeHeader.h"
#include "worker/mime/MimeCodecs.h"

class CMimeBody : public CMimeHeader {
public:
    CMimeBody() = default;
    ~CMimeBody() override;

    // Also frees the content and destroys the parts, front to back.
    void ClearAll() override;
    int64_t MeasureStored() const override;
    // Returns the bytes written; 0 when the header did not fit; -1 when the
    // body has parts but no boundary parameter.
    int64_t StoreTo(char* buffer, int64_t capacity) const override;
    int64_t ParseFrom(const char* bytes, int64_t length) override;

    void SetContentType(std::string_view type);
    void SetTransferEncoding(std::string_view encoding);
    // The "charset" parameter of Content-Type; adds "text/plain" when the
    // body has no Content-Type yet.
    void SetCharset(std::string_view charset);
    // The "name" parameter of Content-Type; adds "application/octet-stream"
    // when the body has no Content-Type yet.
    void SetName(std::string_view name);

    // Copies `length` bytes (0: up to the first zero byte) into a new,
    // zero-terminated buffer. Returns the length, or -1 when memory runs
    // out (the content is then empty).
    int64_t SetTextContent(const char* bytes, int64_t length);
    int64_t SetTextContent(std::string_view text);
    // Copies the bytes when there are any, then names the part after the
    // display name's last '\'. Returns false, with neither content nor name
    // set, only when memory runs out.
    bool SetBinaryContent(std::string_view displayName, const char* bytes, int64_t length);
    // The same with bytes the body takes over instead of copying.
    void TakeBinaryContent(std::string_view displayName, std::unique_ptr<char[]> bytes, int64_t length);

    // Appends a new, empty part owned by this body.
    CMimeBody* AddPart();
    // Makes the body multipart/mixed (unless its type is already multipart)
    // and sets its "boundary" parameter; an empty text generates one.
    void SetBoundary(std::string_view boundary = {});

    std::string_view Content() const;
    int64_t ContentLength() const { return contentLength; }
    const std::vector<std::unique_ptr<CMimeBody>>& Parts() const { return parts; }

private:
    int64_t StoreParts(char* buffer, int64_t capacity, int64_t at) const;
    std::unique_ptr<CMimeCodeBase> ContentCodec() const;
    void FreeContent();

    std::unique_ptr<char[]> content;
    int64_t contentLength = 0;
    std::vector<std::unique_ptr<CMimeBody>> parts;
};
