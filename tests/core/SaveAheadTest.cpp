#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <iterator>
#include <set>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/pst/StagingStore.h"
#include "platform/sys/Files.h"
#include "platform/sys/Text.h"
#include "tests/core/TestBytes.h"
#include "worker/core/RunLog.h"
#include "worker/core/SaveAhead.h"

using namespace testbytes;

// The saving thread writes the lines of earlier documents while the
// converting thread holds its own: those must reach the file at once, not
// join the held ones.
TEST(RunLogTest, HoldingKeepsOnlyTheHoldingThreadsLines) {
    CScratchDir dir;
    const std::u16string path = dir.File(u"KelvroNSF2PST_log_.txt");
    ASSERT_TRUE(sys::WriteWholeFile(path, ""));
    CRunLog log;
    ASSERT_TRUE(log.Open(path));
    log.Hold();
    log.WriteLine(u"Email number: 2 ");
    std::thread([&] { log.WriteLine(u"saved 1"); }).join();
    EXPECT_EQ(ReadAll(path), W(u"saved 1\r\n"));
    log.WriteHeld(log.Unhold());
    log.WriteLine(u"after");
    EXPECT_EQ(ReadAll(path), W(u"saved 1\r\nEmail number: 2 \r\nafter\r\n"));
}

// Jobs run in order; an import that fails reaches its end without a save;
// an end that stops the saving drops every later job unrun, and the message
// files of all of them are gone.
TEST(SaveAheadTest, StopDropsEveryLaterJobUnrunWithItsMessageFile) {
    CScratchDir dir;
    std::vector<std::string> events;  // written on the saving thread only
    std::vector<std::u16string> files;
    CSaveAhead saves;
    for (int i = 0; i < 8; ++i) {
        files.push_back(dir.File(u"job" + std::u16string(1, char16_t(u'0' + i)) + u".eml"));
        ASSERT_TRUE(sys::WriteWholeFile(files.back(), "Subject: x\r\n\r\nbody"));
        CSaveAhead::CJob job;
        job.messageFile = files.back();
        job.bytes = 20;
        job.begin = [&events, i] { events.push_back("begin " + std::to_string(i)); };
        if (i == 2) job.importAndPuts = [] { throw std::runtime_error("unreadable"); };
        job.end = [&events, i](storeops::CSaveResult& saved, std::exception_ptr importFailure) {
            events.push_back("end " + std::to_string(i) + (importFailure ? " import failed" : "") +
                             (!importFailure && !saved.failure.empty() ? " not saved" : ""));
            return i != 4;
        };
        saves.Start(std::move(job));
    }
    EXPECT_TRUE(saves.Busy());
    const CSaveAhead::CDrained drained = saves.Drain();
    EXPECT_EQ(drained.ended, 5u);
    EXPECT_TRUE(drained.stopped);
    EXPECT_FALSE(saves.Busy());
    // Without an item the store refuses the save: "not saved".
    EXPECT_EQ(events, (std::vector<std::string>{"begin 0", "end 0 not saved", "begin 1", "end 1 not saved", "begin 2",
                                                "end 2 import failed", "begin 3", "end 3 not saved", "begin 4",
                                                "end 4 not saved"}));
    for (const auto& file : files) EXPECT_FALSE(sys::FileExists(file));
}

// While mails wait behind a slow save, the handing thread deletes the
// message files already imported; none is deleted before its import, and
// none is left once the saves are drained.
TEST(SaveAheadTest, MessageFilesOutliveTheirImportAndNoneIsLeft) {
    CScratchDir dir;
    std::vector<std::u16string> files;
    std::promise<void> queued;
    std::shared_future<void> allQueued = queued.get_future().share();
    std::atomic<int> missingAtImport{0};
    CSaveAhead saves;
    for (int i = 0; i < 16; ++i) {
        files.push_back(dir.File(u"mail" + sys::Widen(std::to_string(i)) + u".eml"));
        ASSERT_TRUE(sys::WriteWholeFile(files.back(), "Subject: x\r\n\r\nbody"));
        CSaveAhead::CJob job;
        job.messageFile = files.back();
        job.bytes = 20;
        job.begin = [i, allQueued] {
            if (i == 0) allQueued.wait();
        };
        job.importAndPuts = [&missingAtImport, file = files.back()] {
            if (!sys::FileExists(file)) ++missingAtImport;
        };
        job.end = [](storeops::CSaveResult&, std::exception_ptr) { return true; };
        saves.Start(std::move(job));
    }
    queued.set_value();
    EXPECT_FALSE(saves.Drain().stopped);
    EXPECT_EQ(missingAtImport.load(), 0);
    for (const auto& file : files) EXPECT_FALSE(sys::FileExists(file));
}

// A handing thread that finds the queue full runs the imports of the mails
// waiting last instead of idling: each import runs once and before its
// mail's end, the ends keep their order, and an import that failed ahead
// still ends its mail as not imported.
TEST(SaveAheadTest, HandingThreadImportsWaitingMailsWhenTheQueueIsFull) {
    constexpr int kJobs = 40;
    const std::thread::id handingThread = std::this_thread::get_id();
    std::mutex guard;
    std::vector<std::string> events;
    std::vector<int> imports(kJobs, 0);
    std::vector<bool> importedByHander(kJobs, false);
    std::atomic<int> importsAhead{0};
    CSaveAhead saves;
    for (int i = 0; i < kJobs; ++i) {
        CSaveAhead::CJob job;
        job.bytes = 1;
        // The first save waits until the handing thread has run the
        // imports of the 16 mails queued behind it (or gives up).
        job.begin = [i, &importsAhead] {
            for (int waited = 0; i == 0 && importsAhead < 16 && waited < 500; ++waited)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        };
        job.importAndPuts = [&, i] {
            std::lock_guard<std::mutex> lock(guard);
            ++imports[i];
            events.push_back("import " + std::to_string(i));
            if (std::this_thread::get_id() == handingThread) {
                importedByHander[i] = true;
                ++importsAhead;
            }
            if (i == 15) throw std::runtime_error("unreadable");
        };
        job.end = [&, i](storeops::CSaveResult&, std::exception_ptr importFailure) {
            std::lock_guard<std::mutex> lock(guard);
            events.push_back("end " + std::to_string(i) + (importFailure ? " import failed" : ""));
            return true;
        };
        saves.Start(std::move(job));
    }
    EXPECT_FALSE(saves.Drain().stopped);
    EXPECT_GE(importsAhead.load(), 16);
    EXPECT_TRUE(importedByHander[15]);
    std::vector<std::string> ends;
    for (int i = 0; i < kJobs; ++i) {
        EXPECT_EQ(imports[i], 1) << "job " << i;
        const std::string end = "end " + std::to_string(i) + (i == 15 ? " import failed" : "");
        ends.push_back(end);
        auto import = std::find(events.begin(), events.end(), "import " + std::to_string(i));
        EXPECT_LT(import - events.begin(), std::find(events.begin(), events.end(), end) - events.begin()) << end;
    }
    std::vector<std::string> endsSeen;
    std::copy_if(events.begin(), events.end(), std::back_inserter(endsSeen),
                 [](const std::string& e) { return e.rfind("end ", 0) == 0; });
    EXPECT_EQ(endsSeen, ends);
}

// The saves of mails waiting together are committed together, and a mail's
// bookkeeping runs only once its save is committed: by its end, another
// reader of the store sees that save and every one before it.
TEST(SaveAheadTest, EndsRunOnlyOnceTheirSavesAreCommitted) {
    constexpr int kJobs = 12;
    CScratchDir dir;
    const std::u16string pstPath = dir.File(u"mailbox.pst");
    const auto staging = pst::CStagingStore::PathForPst(sys::ToFsPath(pstPath));
    store::DispatchPtr session = storeops::CreateSession();
    ASSERT_TRUE(session);
    ASSERT_TRUE(storeops::Logon(session, pstPath));
    store::DispatchPtr items = storeops::Items(storeops::FolderByPath(session, u"Mail"));
    ASSERT_TRUE(items);
    std::promise<void> handed;
    std::shared_future<void> allHanded = handed.get_future().share();
    std::vector<uint64_t> seenAtEnd(kJobs, 0);
    {
        CSaveAhead saves(session);
        for (int i = 0; i < kJobs; ++i) {
            CSaveAhead::CJob job;
            job.item = storeops::AddItem(items, u"IPM.Note");
            job.sourceKey = u"note " + sys::Widen(std::to_string(i));
            job.bytes = 1;
            // The mails behind the first wait until every one is handed.
            job.begin = [i, allHanded] {
                if (i == 0) allHanded.wait();
            };
            job.end = [&, i](storeops::CSaveResult& saved, std::exception_ptr importFailure) {
                if (saved.failure.empty() && !importFailure) seenAtEnd[i] = pst::CStagingStore::CountMessages(staging);
                return true;
            };
            saves.Start(std::move(job));
        }
        handed.set_value();
        EXPECT_FALSE(saves.Drain().stopped);
    }
    for (int i = 0; i < kJobs; ++i) EXPECT_GE(seenAtEnd[i], uint64_t(i + 1)) << "end " << i;
    EXPECT_LE(std::set<uint64_t>(seenAtEnd.begin(), seenAtEnd.end()).size(), 2u);
    storeops::EndSession(session);
    EXPECT_EQ(pst::CStagingStore::CountMessages(staging), uint64_t(kJobs));
}
