// Field codecs: values pass verbatim; the classes differ in their delimiters
// and initial quoting state.
#include "worker/mime/FieldCodecs.h"

size_t CFieldCodeBase::EncodedLength() const { return inputLength; }
size_t CFieldCodeBase::Encode(char* buffer, size_t capacity) const { return CopyInput(buffer, capacity); }
size_t CFieldCodeBase::Decode(char* buffer, size_t capacity) const { return CopyInput(buffer, capacity); }
bool CFieldCodeBase::IsDelimiter(char) const { return false; }
int CFieldCodeBase::InitialQuoteState() const { return 0; }

int CFieldCodeText::InitialQuoteState() const { return 255; }

bool CFieldCodeAddress::IsDelimiter(char c) const { return c == ',' || c == ':'; }

bool CFieldCodeParameter::IsDelimiter(char c) const { return c == ';'; }
