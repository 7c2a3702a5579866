// Store saves on a thread of their own: the mail-folder pass hands mails
// over and goes on reading and composing the next documents while the
// store imports and saves them, one after the other in the order handed.
// What waits is bounded (a number of mails and the bytes of their message
// files). A handing thread that finds no room does not just wait: it runs
// the imports of the mails waiting last, which the saving thread then
// skips, so both threads share the work.
//
// The saves of the mails found waiting are committed together, up to a
// number of them; a save that fails ends such a run. Each job brings its
// own bookkeeping, `begin` and then `end`, run on the saving thread once
// its save is committed (or has failed), so that nothing records a mail as
// done before the store holds it for good. An `end` that returns false
// stops the saving, and every job after it is dropped unrun; a mail of its
// run that was saved all the same is saved again, over the same item, by
// the run that redoes its document. Drain() waits until nothing is left.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/store/Dispatch.h"
#include "worker/store/StoreOperations.h"

class CSaveAhead {
public:
    struct CJob {
        store::DispatchPtr item;
        std::u16string sourceKey;
        std::function<void()> begin;
        // Imports the message file into the item and puts its properties;
        // may be empty. It touches the item only, so it may run on either
        // thread.
        std::function<void()> importAndPuts;
        std::u16string messageFile;           // deleted after the job when set
        uint64_t bytes = 0;                   // the message file's size
        // How the job ended: the save's result, or the import's failure
        // (the item was then not saved). False stops the saving.
        std::function<bool(storeops::CSaveResult&, std::exception_ptr)> end;
    };

    // How a drain found the jobs handed since the one before.
    struct CDrained {
        size_t ended = 0;      // jobs that ran to their end, in order
        bool stopped = false;  // the last of them stopped the saving
    };

    // The saves are committed together through the session; without one
    // each save commits itself.
    explicit CSaveAhead(store::DispatchPtr storeSession = nullptr) : session(std::move(storeSession)) {}
    ~CSaveAhead();
    CSaveAhead(const CSaveAhead&) = delete;
    CSaveAhead& operator=(const CSaveAhead&) = delete;

    // Queues the job. When too much is waiting already, waits until half
    // of the waiting mails are saved.
    void Start(CJob job);
    // Whether jobs were handed since the last drain.
    bool Busy() const { return handed > 0; }
    // Whether an end has stopped the saving.
    bool Stopped();
    CDrained Drain();

private:
    // A waiting job. The handing thread that takes its import empties
    // job.importAndPuts, and its failure is kept here for the job's end.
    struct CWaiting {
        CJob job;
        uint64_t number = 0;     // in the order handed
        bool importing = false;  // its import runs on the handing thread
        std::exception_ptr importFailure;
    };

    // A job whose save is made, waiting for the commit of its run.
    struct CSaved {
        std::function<void()> begin;
        std::function<bool(storeops::CSaveResult&, std::exception_ptr)> end;
        storeops::CSaveResult saved;
        std::exception_ptr importFailure;
    };

    void Loop();
    // Imports (unless that was done ahead) and saves the job's item.
    CSaved Save(CWaiting& job);
    // Commits the run and ends its jobs in order; returns how many ended
    // and whether the last of them stopped the saving.
    std::pair<size_t, bool> EndRun(std::vector<CSaved>& run);
    // On the handing thread, with the lock held: runs the import of the
    // last waiting job whose import has not begun; false when there is none.
    bool ImportAhead(std::unique_lock<std::mutex>& lock);
    void DropWaiting();
    static void DeleteFiles(const std::vector<std::u16string>& files);
    // Under the lock.
    bool Idle() const;
    bool HasRoom(uint64_t bytes, size_t jobsAtMost) const;

    enum class EWant { Nothing, Room, Idle };

    store::DispatchPtr session;
    std::mutex mutex;
    std::condition_variable work;  // for the saving thread
    std::condition_variable room;  // for the handing thread
    std::condition_variable importedAhead;  // for the saving thread
    EWant handerWants = EWant::Nothing;
    uint64_t wantedBytes = 0;
    std::deque<CWaiting> waiting;
    uint64_t numbered = 0;  // jobs queued so far
    std::vector<std::u16string> imported;  // message files for the handing thread to delete
    uint64_t waitingBytes = 0;  // of the waiting jobs and the one running
    bool running = false;
    bool stopped = false;
    bool closing = false;
    size_t handed = 0;  // since the last drain (handing thread only)
    size_t ended = 0;   // since the last drain
    std::thread thread;
};
