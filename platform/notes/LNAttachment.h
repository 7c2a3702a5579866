// File attachments ($FILE objects) of a note.
#pragma once
#include <memory>

#include "platform/notes/LNString.h"

namespace notes {
struct CAttachmentData;
}

class LNAttachment {
public:
    LNString GetAttachmentName() const;   // Notes text
    LNINT GetFileSize() const;
    // Writes the file's bytes to path (Notes text; converted to the file
    // system's charset), creating or truncating it. ERR_FILE_WRITE when the
    // file cannot be written.
    LNSTATUS Detach(const LNString& path) const;

    // Internal.
    void Assign(std::shared_ptr<const notes::CAttachmentData> attachment) { data = std::move(attachment); }

private:
    std::shared_ptr<const notes::CAttachmentData> data;
};
