// The context of the mail and task writer tests (a database from this
// folder's data directory) and the pieces of the .eml files they expect.
#pragma once
#include <string>
#include <vector>

#include "tests/writers_common/ConverterFixture.h"
#include "worker/writers/MailEml.h"
#include "worker/writers/TaskEml.h"

class CWriterFixture : public CConverterFixture {
protected:
    CWriterFixture() : CConverterFixture("writers_mail") {}

    std::u16string EmlPath() const;
    // Reads, writes and returns the .eml of a mail; expects the writer to report 1.
    std::string MailEml(LNNOTEID noteId);
    std::string TaskEml(LNNOTEID noteId);
    std::string ReadEml() const;
    // Every file below the test's directory, relative to it.
    std::vector<std::string> FilesUnderRoot() const;

    static std::string BoundaryOf(const std::string& eml);

    MailRecord mail;
    TaskRecord task;
};

// Pieces of an expected .eml.
std::string EncodedWord(const std::string& base64);
std::string MultipartStart(const std::string& boundary);
std::string NextPart(const std::string& boundary);
std::string MultipartEnd(const std::string& boundary);
std::string TextPart(const std::string& type, const std::string& utf8Body);
std::string FilePart(const std::string& nameBase64, const std::string& base64Lines);
