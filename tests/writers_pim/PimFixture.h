// A conversion context for the contact, group and calendar writers: its own
// temporary path (TMPDIR), an empty run log, the time zone of Berlin, and
// optionally a Notes database built from a JSON description of this
// folder's data directory. Everything lies under one directory that is
// removed afterwards.
#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "worker/core/NsfConverter.h"

class CPimFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    void OpenDatabase(const std::string& descriptionName);
    // A path below the test's temporary path.
    std::u16string TempFile(const std::string& name) const;
    std::string ReadBytes(const std::u16string& path) const;
    std::u16string LogText() const;
    // Every file below the temporary path, relative to it.
    std::vector<std::string> TempFiles() const;
    // Sets an environment variable until the test ends.
    void SetEnv(const char* name, const std::string& value);
    void UnsetEnv(const char* name);

    std::filesystem::path root;
    std::filesystem::path tmp;  // the temporary path
    CsavingprocessApp app;
    std::unique_ptr<CNsfConverter> converter;

private:
    void SaveEnv(const char* name);
    std::vector<std::pair<std::string, std::optional<std::string>>> savedEnv;
};
