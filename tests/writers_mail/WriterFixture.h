// A conversion context over a Notes database built from a JSON description
// of this folder's data directory, with its own temporary path (TMPDIR), an
// empty run log, and the time zone of Berlin. Everything a test makes lies
// under one directory that is removed afterwards.
#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "worker/core/NsfConverter.h"
#include "worker/writers/MailEml.h"
#include "worker/writers/TaskEml.h"

class CWriterFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    void OpenDatabase(const std::string& descriptionName);
    // A description made by the test itself (paths relative to the data directory).
    void OpenDatabaseFromText(const std::string& descriptionJson);
    std::u16string EmlPath() const;
    // Reads, writes and returns the .eml of a mail; expects the writer to report 1.
    std::string MailEml(LNNOTEID noteId);
    std::string TaskEml(LNNOTEID noteId);
    std::string ReadEml() const;
    std::u16string LogText() const;
    // Every file below the test's directory, relative to it.
    std::vector<std::string> FilesUnderRoot() const;

    static std::string BoundaryOf(const std::string& eml);

    std::filesystem::path root;
    std::filesystem::path tmp;  // the temporary path, ending in '/'
    CsavingprocessApp app;
    std::unique_ptr<CNsfConverter> converter;
    MailRecord mail;
    TaskRecord task;

private:
    void SetEnv(const char* name, const std::string& value);
    std::vector<std::pair<std::string, std::optional<std::string>>> savedEnv;
};

// Pieces of an expected .eml.
std::string EncodedWord(const std::string& base64);
std::string MultipartStart(const std::string& boundary);
std::string NextPart(const std::string& boundary);
std::string MultipartEnd(const std::string& boundary);
std::string TextPart(const std::string& type, const std::string& utf8Body);
std::string FilePart(const std::string& nameBase64, const std::string& base64Lines);
