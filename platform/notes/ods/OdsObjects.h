// The object layer of a real NSF file: the object records that hold the
// bytes of attachments, and their compression. An object record holds a
// short header, then the bytes as the attachment's FILEOBJECT says: stored
// as they are, or Huffman-compressed (checked against their sum).
#pragma once
#include <string>

#include "platform/notes/ItemCodec.h"
#include "platform/notes/ods/OdsContainer.h"

namespace notes::ods {

// The decoded bytes of the attachment file describes, exactly its declared
// size. Throws CNoteUnreadable with ERR_OBJECT_DAMAGED (bytes missing or
// broken), ERR_OBJECT_EXTERNAL (no object in this file: kept by the server's
// attachment store) or ERR_OBJECT_COMPRESSION (LZ1 or an unknown scheme).
std::string ReadOdsObject(const COdsContainer& container, const CFileObject& file);

}  // namespace notes::ods
