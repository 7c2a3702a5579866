// The MIME part that carries one file of a message (a link file or a
// detached attachment): "Content-Transfer-Encoding: base64", then
// "Content-Type: application/octet-stream" named by the encoded word of the
// file's name, and the file's bytes as content. No Content-Disposition.
#pragma once
#include <string>
#include <string_view>

#include "platform/sys/Files.h"

class CMimeBody;

// Adds the part to `message`. False when the bytes could not be taken (out
// of memory); the part then has its fields but neither content nor name.
bool AddEmbeddedFilePart(CMimeBody& message, std::u16string_view name, std::string_view bytes);
// The same with a buffer the part takes over, so that a file of megabytes
// is not copied again (which also cannot run out of memory).
void AddEmbeddedFilePart(CMimeBody& message, std::u16string_view name, sys::CBytes bytes);
