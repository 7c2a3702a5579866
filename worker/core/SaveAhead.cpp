#include "worker/core/SaveAhead.h"

#include <algorithm>
#include <utility>

#include "platform/sys/Files.h"

namespace {

// At most this many saves are committed together.
constexpr size_t maxHeldSaves = 16;

// At most this many mails, and this many bytes of their message files,
// wait for the store; a single larger mail still goes alone.
// A handing thread that finds no room imports waiting mails while it can;
// one that has to wait goes on once half of those mails are saved, so that
// the two threads do not wake each other for every mail.
constexpr size_t maxWaitingJobs = 16;
constexpr size_t resumeWaitingJobs = maxWaitingJobs / 2;
constexpr uint64_t maxWaitingBytes = 16u << 20;

}  // namespace

CSaveAhead::~CSaveAhead() {
    if (thread.joinable()) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            closing = true;
            DropWaiting();
        }
        work.notify_all();
        thread.join();
    }
    DeleteFiles(imported);
}

void CSaveAhead::Start(CJob job) {
    if (!thread.joinable()) thread = std::thread([this] { Loop(); });
    ++handed;
    std::vector<std::u16string> done;  // imported message files left to this thread
    bool queued = false;
    {
        std::unique_lock<std::mutex> lock(mutex);
        done.swap(imported);
        while (!HasRoom(job.bytes, maxWaitingJobs - 1) && ImportAhead(lock)) {
        }
        if (!HasRoom(job.bytes, maxWaitingJobs - 1)) {
            wantedBytes = job.bytes;
            handerWants = EWant::Room;
            room.wait(lock, [&] { return HasRoom(job.bytes, resumeWaitingJobs); });
            handerWants = EWant::Nothing;
        }
        if (stopped) {
            // Dropped unrun, as every job after a stop.
            if (!job.messageFile.empty()) sys::DeleteFile(job.messageFile);
        } else {
            waitingBytes += job.bytes;
            CWaiting queuedJob;
            queuedJob.job = std::move(job);
            queuedJob.number = ++numbered;
            waiting.push_back(std::move(queuedJob));
            queued = true;
        }
    }
    if (queued) work.notify_one();
    DeleteFiles(done);
}

bool CSaveAhead::Stopped() {
    std::lock_guard<std::mutex> lock(mutex);
    return stopped;
}

CSaveAhead::CDrained CSaveAhead::Drain() {
    std::unique_lock<std::mutex> lock(mutex);
    handerWants = EWant::Idle;
    room.wait(lock, [this] { return Idle(); });
    handerWants = EWant::Nothing;
    CDrained drained{ended, stopped};
    ended = 0;
    handed = 0;
    std::vector<std::u16string> done;
    done.swap(imported);
    lock.unlock();
    DeleteFiles(done);
    return drained;
}

void CSaveAhead::DeleteFiles(const std::vector<std::u16string>& files) {
    for (const std::u16string& file : files) sys::DeleteFile(file);
}

void CSaveAhead::Loop() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        work.wait(lock, [this] { return !waiting.empty() || closing; });
        if (waiting.empty()) return;
        running = true;
        // Saves the mails waiting, up to maxHeldSaves of them, under one
        // commit; a save that fails ends the run of saves there.
        std::vector<CSaved> run;
        do {
            importedAhead.wait(lock, [this] { return !waiting.front().importing; });
            CWaiting job = std::move(waiting.front());
            waiting.pop_front();
            lock.unlock();
            if (run.empty()) storeops::HoldSaves(session);
            run.push_back(Save(job));
            const uint64_t bytes = job.job.bytes;
            std::u16string messageFile = std::move(job.job.messageFile);
            job = CWaiting{};  // the item goes here, on this thread
            lock.lock();
            // A message file is deleted by whichever thread has time for it:
            // the handing thread when mails wait here, this one otherwise.
            if (!messageFile.empty()) {
                if (waiting.size() >= resumeWaitingJobs) {
                    imported.push_back(std::move(messageFile));
                } else {
                    lock.unlock();
                    sys::DeleteFile(messageFile);
                    lock.lock();
                }
            }
            waitingBytes -= bytes;
            if (handerWants == EWant::Room && HasRoom(wantedBytes, resumeWaitingJobs)) room.notify_one();
        } while (!waiting.empty() && run.size() < maxHeldSaves && run.back().saved.failure.empty());
        lock.unlock();
        const auto [endedNow, stop] = EndRun(run);
        run.clear();
        lock.lock();
        ended += endedNow;
        if (stop) {
            stopped = true;
            DropWaiting();
        }
        running = false;
        const bool wakeHander = handerWants == EWant::Room ? HasRoom(wantedBytes, resumeWaitingJobs)
                                                          : handerWants == EWant::Idle && Idle();
        if (wakeHander) room.notify_one();
    }
}

bool CSaveAhead::Idle() const { return waiting.empty() && !running; }

bool CSaveAhead::HasRoom(uint64_t bytes, size_t jobsAtMost) const {
    return Idle() || (waiting.size() <= jobsAtMost && waitingBytes + bytes <= maxWaitingBytes);
}

bool CSaveAhead::ImportAhead(std::unique_lock<std::mutex>& lock) {
    auto ahead = std::find_if(waiting.rbegin(), waiting.rend(),
                              [](const CWaiting& w) { return static_cast<bool>(w.job.importAndPuts); });
    if (ahead == waiting.rend()) return false;
    ahead->importing = true;
    const uint64_t number = ahead->number;
    std::function<void()> import = std::exchange(ahead->job.importAndPuts, nullptr);
    lock.unlock();
    std::exception_ptr failure;
    try {
        import();
    } catch (...) {
        failure = std::current_exception();
    }
    import = nullptr;
    lock.lock();
    // A stop may have dropped the job meanwhile; then its import is lost with it.
    for (auto w = waiting.rbegin(); w != waiting.rend(); ++w) {
        if (w->number != number) continue;
        w->importing = false;
        w->importFailure = failure;
        importedAhead.notify_one();
        break;
    }
    return true;
}

CSaveAhead::CSaved CSaveAhead::Save(CWaiting& waited) {
    CJob& job = waited.job;
    CSaved done;
    done.importFailure = waited.importFailure;
    if (job.importAndPuts && !done.importFailure) {
        try {
            job.importAndPuts();
        } catch (...) {
            done.importFailure = std::current_exception();
        }
    }
    if (!done.importFailure) {
        try {
            done.saved = storeops::SaveFrom(job.item, job.sourceKey);
        } catch (const std::exception& e) {
            done.saved.failure = e.what();
        } catch (...) {
            done.saved.failure = "unknown error";
        }
    }
    done.begin = std::move(job.begin);
    done.end = std::move(job.end);
    return done;
}

std::pair<size_t, bool> CSaveAhead::EndRun(std::vector<CSaved>& run) {
    if (const std::string failure = storeops::CommitSaves(session); !failure.empty()) {
        // None of the run was kept.
        for (CSaved& done : run)
            if (!done.importFailure && done.saved.failure.empty()) done.saved = {failure, false};
    }
    size_t endedNow = 0;
    for (CSaved& done : run) {
        bool goOn = false;
        try {
            done.begin();
            goOn = done.end(done.saved, done.importFailure);
        } catch (...) {
            // Bookkeeping that cannot be written stops the saving: nothing
            // after it may be kept.
            goOn = false;
        }
        ++endedNow;
        if (!goOn) return {endedNow, true};
    }
    return {endedNow, false};
}

void CSaveAhead::DropWaiting() {
    for (CWaiting& w : waiting) {
        if (!w.job.messageFile.empty()) sys::DeleteFile(w.job.messageFile);
        waitingBytes -= w.job.bytes;
    }
    waiting.clear();
}
