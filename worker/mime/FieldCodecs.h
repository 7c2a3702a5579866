// Field codecs: how a header field's value is written. Each field name has a
// codec class (unstructured text, addresses, parameters, or the default).
// A codec is given the field's charset tag; with the tag empty, as for every
// field this system writes, the value is copied unchanged and its encoded
// length is the value's length. With a tag the value is copied as well:
// the charset-driven encoding is not needed by any message of the system.
#pragma once
#include <string>

#include "worker/mime/MimeCodecs.h"

class CFieldCodeBase : public CMimeCodeBase {
public:
    size_t EncodedLength() const override;
    size_t Encode(char* buffer, size_t capacity) const override;
    size_t Decode(char* buffer, size_t capacity) const override;

    // Whether a byte separates the structure of the field's value.
    virtual bool IsDelimiter(char c) const;
    // Initial quoting state of the value's tokenizer; 255 marks a value that
    // is one unstructured run.
    virtual int InitialQuoteState() const;

    std::string charset;
};

class CFieldCodeText : public CFieldCodeBase {
public:
    int InitialQuoteState() const override;
};

class CFieldCodeAddress : public CFieldCodeBase {
public:
    bool IsDelimiter(char c) const override;
};

class CFieldCodeParameter : public CFieldCodeBase {
public:
    bool IsDelimiter(char c) const override;
};
