#include "ordered_pool.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <utility>
#include <vector>

namespace rowsift {

std::thread StartStdThread(std::function<void()> body) { return std::thread(std::move(body)); }

void RunInOrder(const OrderedJobs& jobs, unsigned threads, StartThread start) {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<bool> done(jobs.count, false);
  std::size_t next = 0;
  std::size_t delivered = 0;
  bool delivering = false;
  std::exception_ptr failure;

  // Each thread, the calling one too: hands on what is ready in order, else
  // takes the next job, else waits for another thread to change either.
  const auto take = [&] {
    std::unique_lock<std::mutex> lock(mutex);
    const auto fail = [&] {
      if (!failure) failure = std::current_exception();
      changed.notify_all();
    };
    while (!failure && delivered < jobs.count) {
      if (!delivering && done[delivered]) {
        delivering = true;
        while (!failure && delivered < jobs.count && done[delivered]) {
          lock.unlock();
          try {
            jobs.deliver(delivered);
          } catch (...) {
            lock.lock();
            delivering = false;
            fail();
            return;
          }
          lock.lock();
          ++delivered;
        }
        delivering = false;
        changed.notify_all();
      } else if (next < jobs.count && next - delivered < jobs.ahead) {
        const std::size_t job = next++;
        lock.unlock();
        try {
          jobs.work(job);
        } catch (...) {
          lock.lock();
          fail();
          return;
        }
        lock.lock();
        done[job] = true;
        changed.notify_all();
      } else {
        changed.wait(lock);
      }
    }
  };

  std::vector<std::thread> helpers;
  try {
    const std::size_t wanted = std::min<std::size_t>(threads, jobs.count);
    helpers.reserve(wanted);
    for (std::size_t i = 1; i < wanted; ++i) helpers.push_back(start(take));
  } catch (const std::exception&) {
    // No more threads to be had: the ones started, and this one, take every job.
  }
  take();
  for (std::thread& helper : helpers) helper.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace rowsift
