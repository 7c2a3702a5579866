// A conversion context for the reader and writer tests: its own temporary
// path (TMPDIR), an empty run log, the time zone of Berlin, and optionally a
// Notes database built from a JSON description in the test folder's data
// directory. Everything lies under one directory that is removed afterwards.
#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "worker/core/NsfConverter.h"

class CConverterFixture : public ::testing::Test {
protected:
    // `folder` names the test folder under tests/ (its data directory, and
    // the prefix of the scratch directory).
    explicit CConverterFixture(std::string folder) : testFolder(std::move(folder)) {}
    void SetUp() override;
    void TearDown() override;

    void OpenDatabase(const std::string& descriptionName);
    // A description made by the test itself (paths relative to the data directory).
    void OpenDatabaseFromText(const std::string& descriptionJson);
    std::u16string LogText() const;
    // Sets an environment variable until the test ends.
    void SetEnv(const char* name, const std::string& value);
    void UnsetEnv(const char* name);

    std::filesystem::path root;
    std::filesystem::path tmp;  // the temporary path, ending in '/'
    CsavingprocessApp app;
    std::unique_ptr<CNsfConverter> converter;

private:
    std::filesystem::path DataDirectory() const;
    void SaveEnv(const char* name);
    std::string testFolder;
    std::vector<std::pair<std::string, std::optional<std::string>>> savedEnv;
};

// The whole content of a file.
std::string ReadFileBytes(const std::filesystem::path& path);
