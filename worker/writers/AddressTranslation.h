// Translation of Notes names into the addresses stored in sender and
// recipient fields. Readers pass the document's Internet-address text
// (elements joined with ";", "." for a name without Internet address) and
// the matching Notes names text:
// - TranslateToSmtp, when address translation is on, resolves each name by
//   the document's own Internet address, then the address map (keys are
//   lower-case names), then the SMTP pattern with the chosen domain, and
//   finally keeps the name itself;
// - ToDisplayNames otherwise gives Internet addresses and common names.
// Lists are split with CToken at ";": a text without ";" is no list at all
// and is taken whole.
#pragma once
#include <string>
#include <string_view>

#include "worker/core/ExportSettings.h"

class CAddressTranslator {
public:
    // Reads the translation options of `settings`, which must outlive the
    // translator.
    explicit CAddressTranslator(const ExportSettings& settings) : settings(settings) {}

    std::u16string TranslateToSmtp(std::u16string_view internetText, std::u16string_view namesText) const;
    std::u16string ToDisplayNames(std::u16string_view internetText, std::u16string_view namesText) const;

    // The text after "CN=" up to the next "/"; empty without "CN=".
    static std::u16string CommonNameOf(std::u16string_view name);
    // An address for a common name by the chosen SMTP pattern (0 to 7) and
    // domain; empty for any other pattern number.
    std::u16string MakeSmtpAddress(std::u16string_view commonName) const;
    // The address of a ";"-list whose domain label occurs in the lower-cased
    // Notes name, else the first one; empty when the value is no list.
    static std::u16string PickAddress(std::u16string_view mapValue, std::u16string_view notesName);

private:
    bool UsesAddressMap() const;
    std::u16string ResolveName(std::u16string_view notesName) const;
    // The map's address for a lower-cased key, or nothing when absent.
    const std::u16string* MapValue(std::u16string_view name) const;

    const ExportSettings& settings;
};
