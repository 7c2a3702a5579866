// A store save on a thread of its own: the mail-folder pass hands a mail's
// item over and goes on reading and composing the next document while the
// store commits it. One save at a time; Finish() waits for it and says how
// it went. The item is not touched by the pass while its save runs.
#pragma once
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "platform/store/Dispatch.h"
#include "worker/store/StoreOperations.h"

class CSaveAhead {
public:
    CSaveAhead() = default;
    ~CSaveAhead();
    CSaveAhead(const CSaveAhead&) = delete;
    CSaveAhead& operator=(const CSaveAhead&) = delete;

    // Starts saving `item` under `sourceKey`; the save before must be finished.
    void Start(store::DispatchPtr item, std::u16string sourceKey);
    // Waits for the save started last (one must have been started).
    storeops::CSaveResult Finish();

private:
    void Loop();

    std::mutex mutex;
    std::condition_variable changed;
    store::DispatchPtr item;
    std::u16string sourceKey;
    storeops::CSaveResult result;
    bool queued = false;   // waiting for the thread
    bool done = false;     // saved, result ready
    bool stopping = false;
    std::thread thread;
};
