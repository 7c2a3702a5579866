#include "worker/core/SaveAhead.h"

CSaveAhead::~CSaveAhead() {
    if (!thread.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    changed.notify_all();
    thread.join();
}

void CSaveAhead::Start(store::DispatchPtr saved, std::u16string key) {
    if (!thread.joinable()) thread = std::thread([this] { Loop(); });
    {
        std::lock_guard<std::mutex> lock(mutex);
        item = std::move(saved);
        sourceKey = std::move(key);
        queued = true;
        done = false;
    }
    changed.notify_all();
}

storeops::CSaveResult CSaveAhead::Finish() {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return done; });
    done = false;
    return std::move(result);
}

void CSaveAhead::Loop() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        changed.wait(lock, [this] { return queued || stopping; });
        if (!queued) return;
        queued = false;
        store::DispatchPtr saving = std::move(item);
        std::u16string key = std::move(sourceKey);
        lock.unlock();
        storeops::CSaveResult saved;
        try {
            saved = storeops::SaveFrom(saving, key);
        } catch (const std::exception& e) {
            saved.failure = e.what();
        } catch (...) {
            saved.failure = "unknown error";
        }
        // The item goes here, on this thread, after its save: the pass
        // never sees it again.
        saving.reset();
        lock.lock();
        result = std::move(saved);
        done = true;
        changed.notify_all();
    }
}
