// Batches without child processes: which command lines make a batch and what
// each conversion of it gets, the databases and PST names of a batch, when
// an earlier run's result stands, and the batch's exit status.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "launcher/BatchPlan.h"
#include "launcher/BatchSummary.h"
#include "launcher/LauncherOptions.h"

namespace fs = std::filesystem;

namespace {

class BatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "batch-test-XXXXXX").string();
        ASSERT_TRUE(mkdtemp(pattern.data()));
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string Touch(const std::string& name) {
        fs::path path = dir / name;
        fs::create_directories(path.parent_path());
        std::ofstream(path) << "x";
        return path.string();
    }
    fs::path dir;
};

TEST_F(BatchTest, CommandLinesChooseOneDatabaseOrABatch) {
    Touch("mail/a.nsf");
    std::string folder = (dir / "mail").string();
    struct Case {
        std::vector<std::string> args;
        bool batch;
        std::vector<std::string> databases;
        std::string outputDir, pstName;
        std::vector<std::string> passOn;
    } cases[] = {
        {{"a.nsf", "out"}, false, {}, "out", "", {}},
        {{"a.nsf", "out/x.PST"}, false, {}, "out", "x", {}},
        {{"a.nsf", "x.pst"}, false, {}, ".", "x", {}},
        {{"--jobs", "3", "--domain", "b.org", "--smtp-pattern", "2", "a.nsf", "b.nsf", "out"}, true,
         {"a.nsf", "b.nsf"}, "out", "", {"--domain", "b.org", "--smtp-pattern", "2"}},
        {{folder, "out"}, true, {folder}, "out", "", {}},
        {{folder}, true, {folder}, ".", "", {}},
    };
    for (const Case& c : cases) {
        ParseResult r = ParseLauncherOptions(c.args);
        ASSERT_TRUE(r.options) << c.args[0] << ": " << r.error;
        EXPECT_EQ(r.options->batch, c.batch) << c.args[0];
        if (c.batch) {
            EXPECT_EQ(r.options->databasePaths, c.databases);
        }
        EXPECT_EQ(r.options->outputDir, c.outputDir) << c.args[0];
        EXPECT_EQ(r.options->pstName, c.pstName) << c.args[0];
        EXPECT_EQ(r.options->passOn, c.passOn) << c.args[0];
    }
}

TEST_F(BatchTest, FoldersGiveTheirDatabasesInOrderAndSharedNamesAreNumbered) {
    std::string b = Touch("in/b.nsf"), a = Touch("in/A.NSF");
    Touch("in/readme.txt");
    Touch("in/sub/c.nsf");  // not searched: only the folder's own files
    std::string otherA = Touch("other/a.nsf");
    std::string error;
    auto plan = PlanBatch({(dir / "in").string(), otherA, b, (dir / "missing.nsf").string()}, error);
    std::vector<std::pair<std::string, std::string>> got;
    for (const CBatchItem& item : plan) got.push_back({fs::path(item.database).filename().string(), item.pstStem});
    std::vector<std::pair<std::string, std::string>> expected = {
        {"A.NSF", "A"}, {"b.nsf", "b"}, {"a.nsf", "a (2)"}, {"missing.nsf", "missing"}};
    EXPECT_EQ(got, expected);  // b.nsf given twice counts once
    fs::create_directories(dir / "empty");
    EXPECT_TRUE(PlanBatch({(dir / "empty").string()}, error).empty());
    EXPECT_NE(error.find("no databases"), std::string::npos);
}

TEST_F(BatchTest, AnEarlierResultStandsOnlyWhenFinishedUnchangedAndItsPstIsThere) {
    std::string pst = Touch("out/a.pst");
    CBatchEntry done;
    done.size = 10;
    done.modified = 20;
    done.ended = true;
    done.row.status = 3;
    done.row.pst = pst;
    struct Case {
        const char* what;
        void (*change)(CBatchEntry&);
        bool stands;
    } cases[] = {
        {"as it was", [](CBatchEntry&) {}, true},
        {"was running", [](CBatchEntry& e) { e.ended = false; }, false},
        {"failed", [](CBatchEntry& e) { e.row.status = 1; }, false},
        {"stopped", [](CBatchEntry& e) { e.row.status = 130; }, false},
        {"database grew", [](CBatchEntry& e) { e.size = 11; }, false},
        {"database touched", [](CBatchEntry& e) { e.modified = 21; }, false},
        {"PST removed", [](CBatchEntry& e) { e.row.pst += ".gone"; }, false},
    };
    for (const Case& c : cases) {
        CBatchEntry entry = done;
        c.change(entry);
        EXPECT_EQ(AlreadyDone(&entry, 10, 20), c.stands) << c.what;
    }
    EXPECT_FALSE(AlreadyDone(nullptr, 10, 20));

    // The state survives a new process: saved, loaded, found by key.
    std::string path = (dir / "state.json").string();
    CBatchState state(path);
    state.Set("/db/a.nsf", done);
    ASSERT_TRUE(state.Save());
    CBatchState again(path);
    ASSERT_TRUE(again.Load());
    ASSERT_TRUE(again.Find("/db/a.nsf"));
    EXPECT_TRUE(AlreadyDone(again.Find("/db/a.nsf"), 10, 20));
}

TEST(BatchSummary, ExitStatusSaysTheWorstOutcome) {
    struct Case {
        std::vector<int> statuses;
        bool stopped;
        int expected;
    } cases[] = {
        {{0, 0}, false, 0}, {{0, 3}, false, 3}, {{3, 1, 0}, false, 1}, {{0, 2}, false, 1},
        {{0, -1}, false, 1}, {{0, 0}, true, 130}, {{}, false, 0},
    };
    for (const Case& c : cases) {
        std::vector<CBatchRow> rows;
        for (int s : c.statuses) rows.emplace_back().status = s;
        EXPECT_EQ(BatchExitStatus(rows, c.stopped), c.expected);
    }
}

TEST(BatchSummary, CsvQuotesPathsWithCommasAndQuotes) {
    CBatchRow row;
    row.database = "/m/\"x\", y.nsf";
    row.outcome = "failed";
    row.status = 1;
    row.reason = "cut, damaged";
    EXPECT_EQ(BatchCsvLine(row), "\"/m/\"\"x\"\", y.nsf\",failed,1,0,0,0,0,,,,0.0,\"cut, damaged\"\r\n");
}

}  // namespace
