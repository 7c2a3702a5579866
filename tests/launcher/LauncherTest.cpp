// The front program's pieces that need no child processes: the command line,
// the progress line and the figures written for benchmarks.
#include <gtest/gtest.h>

#include <cstdio>

#include "launcher/ConversionStats.h"
#include "launcher/LauncherOptions.h"
#include "launcher/ProgressLine.h"

namespace {

TEST(LauncherOptions, BadCommandLinesAreRefusedWithAReason) {
    struct Case {
        std::vector<std::string> args;
        std::string error;  // part of the message
    } cases[] = {
        {{}, "database"},
        {{"--bogus", "a.nsf"}, "--bogus"},
        {{"a.nsf", "b.nsf"}, "the last argument is the output folder"},
        {{"--gui", "a.nsf", "b.nsf", "out"}, "--gui converts one database"},
        {{"--jobs", "0", "a.nsf", "b.nsf", "out"}, "--jobs takes a number"},
        {{"--from", "2024-13-01", "a.nsf"}, "not a date"},
        {{"--from", "2024-05-02", "--to", "2024-05-01", "a.nsf"}, "--to lies before --from"},
        {{"--period", "5w", "a.nsf"}, "--period takes one of"},
        {{"--period", "1y", "--from", "2024-01-01", "a.nsf"}, "cannot be combined"},
        {{"--smtp-pattern", "9", "--domain", "x.org", "a.nsf"}, "1 to 8"},
        {{"--smtp-pattern", "2", "a.nsf"}, "--smtp-pattern needs --domain"},
        {{"a.nsf", "--stats"}, "--stats needs a value"},
    };
    for (const Case& c : cases) {
        ParseResult r = ParseLauncherOptions(c.args);
        std::string line;
        for (const auto& a : c.args) line += a + " ";
        EXPECT_FALSE(r.options) << line;
        EXPECT_NE(r.error.find(c.error), std::string::npos) << line << "-> " << r.error;
    }
}

TEST(LauncherOptions, PeriodsAndExplicitRangesBecomeDateRanges) {
    struct Case {
        std::vector<std::string> args;
        size_t ranges;
    } cases[] = {
        {{"a.nsf"}, 0},
        {{"--period", "all", "a.nsf"}, 0},
        {{"--period", "1w", "a.nsf"}, 1},
        {{"--period", "3y", "a.nsf"}, 1},
        {{"--from", "2020-01-01", "a.nsf"}, 1},
    };
    for (const Case& c : cases) {
        ParseResult r = ParseLauncherOptions(c.args);
        ASSERT_TRUE(r.options) << r.error;
        EXPECT_EQ(r.options->settings.dateRanges.size(), c.ranges) << c.args[0] << " " << c.args[1];
        for (const DateRange& range : r.options->settings.dateRanges) EXPECT_LT(range.start, range.end);
    }
    ParseResult stats = ParseLauncherOptions({"--stats", "figures.json", "a.nsf", "out"});
    ASSERT_TRUE(stats.options);
    EXPECT_EQ(stats.options->statsPath, "figures.json");
    EXPECT_EQ(stats.options->outputDir, "out");
}

TEST(ProgressLine, TextNamesThePhaseTheItemsAndTheRate) {
    EXPECT_EQ(FormatProgress("Folder 2 of 5, Inbox", 1234, 210.4), "Folder 2 of 5, Inbox: 1234 items, 210 items/s");
    EXPECT_EQ(FormatProgress("Calendar entries", 1, 0.6), "Calendar entries: 1 item, 1 items/s");
}

std::string Captured(const std::function<void(CProgressLine&)>& use, bool enabled, bool live) {
    char* text = nullptr;
    size_t size = 0;
    std::FILE* out = open_memstream(&text, &size);
    {
        CProgressLine line(out, enabled, live);
        use(line);
    }
    std::fclose(out);
    std::string result(text, size);
    std::free(text);
    return result;
}

TEST(ProgressLine, LiveLineIsClearedBeforeMessagesAndEndsWithTheCount) {
    auto script = [](CProgressLine& p) {
        p.Phase("Folder 1 of 2, Inbox");
        p.Update(10);
        p.Message("Folder 2 of 2: Sent");
        p.Phase("Folder 2 of 2, Sent");
        p.Finish(10);
    };
    EXPECT_EQ(Captured(script, true, true),
              "\rFolder 1 of 2, Inbox: 10 items, 0 items/s\x1b[K\r\x1b[KFolder 2 of 2: Sent\n"
              "Folder 2 of 2, Sent: 10 items, 0 items/s\n");
    // Not on a terminal: no control sequences, and no line for every update.
    EXPECT_EQ(Captured(script, true, false), "Folder 2 of 2: Sent\nFolder 2 of 2, Sent: 10 items, 0 items/s\n");
    EXPECT_EQ(Captured(script, false, false), "Folder 2 of 2: Sent\n");
}

// In a log (CI, a pipe) every folder and the calendar entries end with a line
// of what they added; the terminal's live line stays as it was.
TEST(ProgressLine, InALogEachPhaseEndsWithWhatItAdded) {
    auto script = [](CProgressLine& p) {
        p.Message("Folder 1 of 2: Inbox");
        p.Phase("Folder 1 of 2, Inbox");
        p.Update(0);
        p.Update(4);
        p.EndPhase(5);
        p.Message("Folder 2 of 2: Sent");
        p.Phase("Folder 2 of 2, Sent");
        p.EndPhase(5);
        p.Message("Calendar entries: 3");
        p.Phase("Calendar entries");
        p.Update(6);
        p.EndPhase(8);
        p.Finish(8);
    };
    EXPECT_EQ(Captured(script, true, false),
              "Folder 1 of 2: Inbox\n"
              "Folder 1 of 2, Inbox: 5 items added, 5 in the PST\n"
              "Folder 2 of 2: Sent\n"
              "Folder 2 of 2, Sent: 0 items added, 5 in the PST\n"
              "Calendar entries: 3\n"
              "Calendar entries: 3 items added, 8 in the PST\n");
    const std::string live = Captured(script, true, true);
    EXPECT_EQ(live.find("added"), std::string::npos);
    EXPECT_EQ(live.substr(live.rfind('\r')), "\r\x1b[KCalendar entries: 8 items, 0 items/s\n");
    EXPECT_EQ(Captured(script, false, false), "Folder 1 of 2: Inbox\nFolder 2 of 2: Sent\nCalendar entries: 3\n");
}

// The count costs a query of the staging store: it is fetched for an update
// only when the update would show it or start the rate from it.
TEST(ProgressLine, TheCountIsWantedOnlyWhenAnUpdateWouldUseIt) {
    struct Case {
        bool enabled, live, dueFirst, dueAfterUpdate;
    };
    for (const Case& c : {Case{false, false, false, false}, Case{true, false, true, false}, Case{true, true, true, true}}) {
        std::FILE* out = std::tmpfile();
        ASSERT_NE(out, nullptr);
        CProgressLine p(out, c.enabled, c.live);
        p.Phase("Folder 1 of 1, Inbox");
        EXPECT_EQ(p.Due(), c.dueFirst) << c.enabled << c.live;
        p.Update(3);
        EXPECT_EQ(p.Due(), c.dueAfterUpdate) << c.enabled << c.live;
        std::fclose(out);
    }
}

TEST(ConversionStats, JsonHoldsEveryPhase) {
    ConversionStats s;
    s.viewer.Add({0, 0, 0.25, 20480});
    s.mail.Add({255, 0, 10.5, 60000});
    s.mail.Add({255, 0, 2.0, 70000});
    s.calendar.Add({255, 0, 1.0, 50000});
    s.pstSeconds = 3.5;
    s.pstBytes = 1048576;
    s.messages = 42;
    s.launcherPeakRssKiB = 30000;
    s.totalSeconds = 17.75;
    EXPECT_EQ(FormatStatsJson(s),
              "{\n"
              "  \"viewer\": {\"seconds\": 0.250, \"runs\": 1, \"peakRssKiB\": 20480},\n"
              "  \"mail\": {\"seconds\": 12.500, \"runs\": 2, \"peakRssKiB\": 70000},\n"
              "  \"calendar\": {\"seconds\": 1.000, \"runs\": 1, \"peakRssKiB\": 50000},\n"
              "  \"pst\": {\"seconds\": 3.500, \"bytes\": 1048576, \"messages\": 42, \"peakRssKiB\": 30000},\n"
              "  \"total\": {\"seconds\": 17.750}\n"
              "}\n");
}

}  // namespace
