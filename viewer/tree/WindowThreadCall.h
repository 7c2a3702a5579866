// Synchronous calls into the thread that owns a window. A worker thread (the
// folder scan) that inserts, checks, bolds or expands tree items hands the
// call to the window's thread and waits for its result, so painting never
// sees a record half made. When the window is closed for such calls before
// the call ran, the caller gets a default result instead of waiting for ever,
// and the queued call will not run; so the window's thread may close and then
// wait for a worker without a deadlock.
#pragma once

#include <chrono>
#include <exception>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <type_traits>

namespace tree {

class IWindowThread {
 public:
  virtual ~IWindowThread() = default;
  virtual bool IsWindowThread() const = 0;
  // False once the window takes no more calls.
  virtual bool IsOpen() const { return true; }
  // Queues a task for the window's thread. A task that will never run must
  // be destroyed (not kept), which releases its waiting caller.
  virtual void Post(std::function<void()> task) = 0;
};

namespace detail {

template <class R>
struct CallState {
  std::mutex guard;
  bool started = false;
  bool abandoned = false;
  std::promise<R> promise;
};

template <class R>
R DefaultResult() {
  if constexpr (std::is_void_v<R>) return;
  else return R{};
}

}  // namespace detail

// Runs task on the window's thread and returns its result; on the window's
// own thread it runs at once, and for a closed window it does not run.
// Exceptions of the task reach the caller.
template <class F>
auto SendToWindowThread(IWindowThread& window, F&& task) -> std::invoke_result_t<F&> {
  using R = std::invoke_result_t<F&>;
  if (!window.IsOpen()) return detail::DefaultResult<R>();
  if (window.IsWindowThread()) return task();
  auto state = std::make_shared<detail::CallState<R>>();
  std::future<R> result = state->promise.get_future();
  window.Post([state, &task]() {
    {
      std::lock_guard lock(state->guard);
      if (state->abandoned) return;  // the caller has gone; task is gone too
      state->started = true;
    }
    try {
      if constexpr (std::is_void_v<R>) {
        task();
        state->promise.set_value();
      } else {
        state->promise.set_value(task());
      }
    } catch (...) {
      state->promise.set_exception(std::current_exception());
    }
  });
  std::weak_ptr<detail::CallState<R>> watch = state;
  state.reset();  // only the queued task keeps the state alive now
  for (;;) {
    if (result.wait_for(std::chrono::milliseconds(20)) == std::future_status::ready) break;
    if (window.IsOpen()) continue;
    auto live = watch.lock();
    if (!live) break;  // the task was dropped: the future reports it
    std::lock_guard lock(live->guard);
    if (!live->started) {
      live->abandoned = true;
      return detail::DefaultResult<R>();
    }
  }
  try {
    return result.get();
  } catch (const std::future_error&) {
    return detail::DefaultResult<R>();
  }
}

}  // namespace tree
