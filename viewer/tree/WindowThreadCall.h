// Synchronous calls into the thread that owns a window. A worker thread (the
// folder scan) that inserts, checks, bolds or expands tree items hands the
// call to the window's thread and waits for its result, so painting never
// sees a record half made. When the window goes away before the call ran, the
// queued call is dropped and the caller gets a default result instead of
// waiting for ever.
#pragma once

#include <exception>
#include <functional>
#include <future>
#include <memory>
#include <type_traits>

namespace tree {

class IWindowThread {
 public:
  virtual ~IWindowThread() = default;
  virtual bool IsWindowThread() const = 0;
  // False once the window is gone: calls then answer a default result unrun.
  virtual bool IsOpen() const { return true; }
  // Queues a task for the window's thread. A task that will never run must
  // be destroyed (not kept), which releases its waiting caller.
  virtual void Post(std::function<void()> task) = 0;
};

// Runs task on the window's thread and returns its result; on the window's
// own thread it runs at once, and for a window that is gone it does not run.
// Exceptions of the task reach the caller.
template <class F>
auto SendToWindowThread(IWindowThread& window, F&& task) -> std::invoke_result_t<F&> {
  using R = std::invoke_result_t<F&>;
  if (!window.IsOpen()) {
    if constexpr (std::is_void_v<R>) return;
    else return R{};
  }
  if (window.IsWindowThread()) return task();
  auto promise = std::make_shared<std::promise<R>>();
  std::future<R> result = promise->get_future();
  window.Post([promise, &task]() {
    try {
      if constexpr (std::is_void_v<R>) {
        task();
        promise->set_value();
      } else {
        promise->set_value(task());
      }
    } catch (...) {
      promise->set_exception(std::current_exception());
    }
  });
  promise.reset();  // only the queued task keeps the promise alive now
  try {
    return result.get();
  } catch (const std::future_error&) {
    if constexpr (std::is_void_v<R>) return;
    else return R{};
  }
}

}  // namespace tree
