// Test support: builds a staging store together with the expectation of
// what independent readers must find in the PST written from it, writes the
// PST and runs check_pst.py (pffinfo, pffexport, readpst, pypff and
// pst-extractor) on it.
#pragma once
#include <nlohmann/json.hpp>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/pst/PstWriter.h"
#include "platform/pst/StagingStore.h"

namespace pst::test {

// A directory under the build tree that is removed with the object.
class CScratchDir {
public:
    explicit CScratchDir(const std::string& name);
    ~CScratchDir();
    const std::filesystem::path& Path() const { return path; }

private:
    std::filesystem::path path;
};

std::string Utf8(const std::u16string& s);
std::string Hex(const std::string& bytes);
std::string Utf16LeBytes(const std::u16string& s);
// The test pattern: byte i = (i + seed) % 251.
std::string Pattern(size_t size, int seed);
void WritePatternFile(const std::filesystem::path& path, uint64_t size, int seed);

struct CAttachmentSpec {
    std::u16string name;
    uint64_t size = 0;
    int seed = 0;
    bool fromFile = false;  // streamed from a file instead of given as bytes
};

struct CRecipientSpec {
    std::u16string name;
    std::u16string email;
    int type = 1;  // 1 To, 2 CC, 3 BCC
};

class CScenario {
public:
    explicit CScenario(const std::string& name, const std::u16string& storeName = u"Test Store");

    CStagingStore& Store() { return *store; }
    // Creates the folders of a path under the IPM subtree ("Inbox/Sub").
    FolderId Folder(const std::u16string& path, const std::u16string& containerClass = u"IPF.Note");
    // Records a folder that must exist with this many messages.
    void ExpectFolder(const std::u16string& path, const std::u16string& containerClass, int messages);

    // Saves a message and records what readers must find. Properties of
    // `extra` are expected back byte for byte.
    void AddMessage(const std::u16string& folderPath, const std::u16string& subject, const CPropBag& extra = {},
                    const std::vector<CRecipientSpec>& recipients = {},
                    const std::vector<CAttachmentSpec>& attachments = {});
    // Saves a message as given; readers must find it by its subject with as
    // many attachments (embedded messages are not compared further).
    void AddStaged(const std::u16string& folderPath, const CStagedMessage& message);
    std::filesystem::path WorkDir() const { return dir.Path() / "work"; }
    void ExpectNamed(const Guid& guid, uint32_t lid, uint16_t propId);
    void ExpectNamed(const Guid& guid, const std::u16string& name, uint16_t propId);
    void ExpectEntryId(const std::string& owner, uint32_t tag, const std::u16string& folderPath);
    void SkipPffexport() { expected["pffexport"] = false; }
    void ExpectReadpstSkips(int n) { expected["readpstSkips"] = n; }
    void ExpectExtractorSkips(int n) { expected["extractorSkips"] = n; }

    // Writes the PST; returns the writer's error text (empty on success).
    std::string WritePst();
    std::string WritePst(const CWriteOptions& options, CWriteStats* stats);
    // Runs the independent readers; returns their report ("ok" when clean).
    std::string Check(int* exitCode);
    // The same for another file (a part of a split PST) and expectation.
    std::string CheckFile(const std::filesystem::path& file, const nlohmann::json& expectation, int* exitCode);
    const nlohmann::json& Expected() const { return expected; }
    std::filesystem::path Dir() const { return dir.Path(); }
    const std::filesystem::path& PstPath() const { return pst; }

private:
    static std::string PathKey(const std::u16string& path);
    CScratchDir dir;
    std::filesystem::path pst;
    std::unique_ptr<CStagingStore> store;
    nlohmann::json expected;
    std::map<std::string, int> messageCounts;
    std::map<std::u16string, FolderId> folderIds;
    int fileCounter = 0;
};

// Expected raw bytes of a property value as the PST holds it.
std::string ExpectedBytes(PropTag tag, const PropValue& value);

}  // namespace pst::test
