// The header of a MIME entity: an ordered list of fields whose insertion
// order is their output order. Field names are compared without regard to
// letter case and written as the caller gave them. A field's parameters
// ("; name=value") live inside its value text.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CMimeHeaderField {
public:
    CMimeHeaderField() = default;
    CMimeHeaderField(std::string_view name, std::string_view value) : name(name), value(value) {}

    // Sets a parameter to `parameterValue` in double quotes (quotes the value
    // already carries are kept, not doubled). An existing parameter's value
    // text, quotes included, is replaced in place; otherwise
    // "; parameter=value" is appended.
    void SetFieldParameter(std::string_view parameter, std::string_view parameterValue);
    // The parameter's value with one enclosing pair of quotes removed; empty
    // when the field has no such parameter.
    std::string FieldParameter(std::string_view parameter) const;

    std::string name;
    std::string value;
    std::string charset;
};

class CMimeHeader {
public:
    CMimeHeader() = default;
    CMimeHeader(const CMimeHeader&) = delete;
    CMimeHeader& operator=(const CMimeHeader&) = delete;

    // Virtual operations in fixed slot order: destructor, ClearAll,
    // MeasureStored, StoreTo, ParseFrom.
    virtual ~CMimeHeader();
    virtual void ClearAll();
    // Upper bound, in bytes, of what StoreTo writes.
    virtual int64_t MeasureStored() const;
    // Writes "name: value" CRLF for every field, then the blank line.
    // Returns the bytes written, or 0 when a field does not fit.
    virtual int64_t StoreTo(char* buffer, int64_t capacity) const;
    // Reading a stored entity back is not supported; returns -1.
    virtual int64_t ParseFrom(const char* bytes, int64_t length);

    // Replaces the first field of that name in place (name, value and
    // charset tag), or appends a new field at the end.
    void PutField(std::string_view name, std::string_view value);
    CMimeHeaderField* FindField(std::string_view name);
    const CMimeHeaderField* FindField(std::string_view name) const;
    // The field's value, or nothing when the field is absent.
    const std::string* FieldValue(std::string_view name) const;
    const std::vector<CMimeHeaderField>& Fields() const { return fields; }

protected:
    std::vector<CMimeHeaderField> fields;
};
