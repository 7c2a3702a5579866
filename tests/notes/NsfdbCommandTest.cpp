#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

namespace {

// Runs the nsfdb program and returns its exit code; stderr goes to a file.
class NsfdbCommand : public ::testing::Test {
protected:
    NsfdbCommand() {
        dir = std::filesystem::temp_directory_path() / ("nsfdb-cmd-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir);
    }
    ~NsfdbCommand() override { std::filesystem::remove_all(dir); }
    int Run(const std::string& args) {
        std::string command = std::string(NSF2PST_BINARY_DIR) + "/tools/nsfdb/nsfdb " + args + " > " +
                              (dir / "out.txt").string() + " 2> " + (dir / "err.txt").string();
        int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string Read(const std::string& name) {
        std::ifstream in(dir / name);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    void Write(const std::string& name, const std::string& text) { std::ofstream(dir / name) << text; }
    std::filesystem::path dir;
};

TEST_F(NsfdbCommand, BuildsAndDumps) {
    Write("d.json", R"({"title": "T", "documents": [{"noteId": 8, "form": "Memo", "items": {"Subject": "Hi"}}]})");
    ASSERT_EQ(Run("build " + (dir / "d.json").string() + " " + (dir / "d.nsf").string()), 0) << Read("err.txt");
    ASSERT_EQ(Run("dump " + (dir / "d.nsf").string()), 0);
    EXPECT_NE(Read("out.txt").find("\"Subject\": \"Hi\""), std::string::npos);
}

TEST_F(NsfdbCommand, BadDescriptionFailsWithoutOutput) {
    Write("bad.json", R"({"documents": [{"noteId": 8, "items": {"Body": {"richtext": [{"image": "missing.gif"}]}}}]})");
    EXPECT_EQ(Run("build " + (dir / "bad.json").string() + " " + (dir / "bad.nsf").string()), 1);
    EXPECT_NE(Read("err.txt").find("document 1 (noteId 8), item \"Body\""), std::string::npos) << Read("err.txt");
    EXPECT_FALSE(std::filesystem::exists(dir / "bad.nsf"));
    Write("broken.json", "{");
    EXPECT_EQ(Run("build " + (dir / "broken.json").string() + " " + (dir / "b.nsf").string()), 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "b.nsf"));
}

TEST_F(NsfdbCommand, DumpsARealFileWithAttachmentFilesThatBuildReads) {
    std::string sample = std::string(NSF2PST_SOURCE_DIR) + "/tests/data/nsf-samples/attachment.nsf";
    std::filesystem::create_directories(dir / "out");
    ASSERT_EQ(Run("dump " + sample + " --attachments " + (dir / "files").string() + " --output " +
                  (dir / "out" / "d.json").string()),
              0)
        << Read("err.txt");
    EXPECT_EQ(Read("out.txt"), "");
    EXPECT_EQ(std::filesystem::file_size(dir / "files" / "tms.log"), 10948u);
    EXPECT_NE(Read("out/d.json").find("\"path\": \"../files/tms.log\""), std::string::npos);
    EXPECT_EQ(Run("build " + (dir / "out" / "d.json").string() + " " + (dir / "d.nsf").string()), 0) << Read("err.txt");
    EXPECT_EQ(Run("dump " + sample + " --attachments"), 2);
    EXPECT_EQ(Run("dump " + sample + " --bogus x"), 2);
}

TEST_F(NsfdbCommand, HelpDescribesTheFormat) {
    EXPECT_EQ(Run("--help"), 0);
    EXPECT_NE(Read("out.txt").find("docs/nsfdb.md"), std::string::npos);
    EXPECT_EQ(Run("dump"), 2);
}

}  // namespace
