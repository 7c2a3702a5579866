// Calls from a worker thread into the window's thread: results come back,
// tree changes happen on the window's thread only, and a window that goes
// away releases the waiting caller.
#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <atomic>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "viewer/tree/CXHtmlTree.h"
#include "viewer/tree/WindowThreadCall.h"

namespace {

using namespace tree;

// A window thread: runs queued tasks until closed; closing drops the rest.
class CFakeWindowThread : public IWindowThread {
 public:
  CFakeWindowThread() : worker([this] { Run(); }) {}
  ~CFakeWindowThread() override { Close(); }

  bool IsWindowThread() const override { return std::this_thread::get_id() == worker.get_id(); }
  bool IsOpen() const override { return open.load(); }
  void Shut() { open = false; }
  void Post(std::function<void()> task) override {
    std::unique_lock lock(guard);
    if (closed) return;  // the task is destroyed here
    tasks.push_back(std::move(task));
    wake.notify_one();
  }
  void Close() {
    {
      std::lock_guard lock(guard);
      closed = true;
      tasks.clear();
      wake.notify_one();
    }
    Release();
    if (worker.joinable()) worker.join();
  }
  // Holds the window thread until Release, so tasks pile up.
  void Block() { RunHere([this] { std::unique_lock lock(holdGuard); holdWake.wait(lock, [this] { return !held; }); }); }
  void Release() {
    std::lock_guard lock(holdGuard);
    held = false;
    holdWake.notify_all();
  }

 private:
  void RunHere(std::function<void()> task) { Post(std::move(task)); }
  void Run() {
    for (;;) {
      std::function<void()> task;
      {
        std::unique_lock lock(guard);
        wake.wait(lock, [this] { return closed || !tasks.empty(); });
        if (closed) return;
        task = std::move(tasks.front());
        tasks.pop_front();
      }
      task();
    }
  }

  std::mutex guard;
  std::condition_variable wake;
  std::deque<std::function<void()>> tasks;
  bool closed = false;
  std::mutex holdGuard;
  std::condition_variable holdWake;
  bool held = true;
  std::atomic<bool> open{true};
  std::thread worker;
};

TEST(WindowThreadCall, WorkerInsertsAndChecksOnTheWindowThread) {
  CFakeWindowThread window;
  CXHtmlTree tree;
  tree.Initialize(true);
  tree.SetSmartCheckBoxes(true);
  std::thread::id usedBy;
  const HTREEITEM root = SendToWindowThread(window, [&] {
    usedBy = std::this_thread::get_id();
    return tree.InsertItem(u"mail.nsf", 0, 0);
  });
  for (int i = 0; i < 50; ++i) {
    const HTREEITEM child = SendToWindowThread(window, [&] { return tree.InsertItem(u"folder", 10, 10, root); });
    SendToWindowThread(window, [&] { tree.SetCheck(child, i % 2 == 0); });
  }
  EXPECT_NE(usedBy, std::this_thread::get_id());
  EXPECT_EQ(SendToWindowThread(window, [&] { return tree.GetCheckedCount(); }), 25);
  EXPECT_EQ(tree.GetItemRecord(root)->descendantCount, 50);
}

TEST(WindowThreadCall, ExceptionsReachTheCaller) {
  CFakeWindowThread window;
  EXPECT_THROW(SendToWindowThread(window, []() -> int { throw std::runtime_error("x"); }), std::runtime_error);
}

TEST(WindowThreadCall, ClosedWindowReleasesTheCallerWithADefault) {
  CFakeWindowThread window;
  window.Block();
  std::thread closer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    window.Close();  // drops the queued call while the caller waits
  });
  const int answer = SendToWindowThread(window, [] { return 42; });
  EXPECT_EQ(answer, 0);
  closer.join();
  EXPECT_EQ(SendToWindowThread(window, [] { return 7; }), 0);
}

TEST(WindowThreadCall, ClosingForCallsReleasesAWaitingCallerAndSkipsItsCall) {
  CFakeWindowThread window;
  window.Block();  // the window's thread is busy, e.g. waiting for the worker
  std::atomic<bool> ran{false};
  std::atomic<int> answer{-1};
  std::thread worker([&] { answer = SendToWindowThread(window, [&] { ran = true; return 5; }); });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  window.Shut();
  worker.join();  // would hang if the caller kept waiting
  EXPECT_EQ(answer.load(), 0);
  window.Release();
  window.Close();
  EXPECT_FALSE(ran.load());
}

}  // namespace
