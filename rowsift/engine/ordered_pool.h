// Jobs run several at a time whose results must go on in the jobs' order:
// the parts of one log into its output, the logs of one command into its
// messages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <thread>

namespace rowsift {

// Starts a thread running `body`; throws std::system_error when the system
// has no thread to give (as std::thread's constructor does).
using StartThread = std::thread (*)(std::function<void()> body);

std::thread StartStdThread(std::function<void()> body);

struct OrderedJobs {
  std::size_t count = 0;
  // Runs job `index`, on any of the threads.
  std::function<void(std::size_t index)> work;
  // Hands on the result of job `index`: on one thread at a time, in order of
  // index, once its work is done.
  std::function<void(std::size_t index)> deliver;
  // At most this many jobs are begun past the last one delivered, so that
  // only so many results wait at any time.
  std::size_t ahead = SIZE_MAX;
};

// Runs every job on up to `threads` threads, the calling one among them.
// Threads the system will not start are done without: the jobs go on on the
// others, on the calling thread alone if need be. The first exception of a
// job or a delivery stops the taking of jobs; it is thrown here once every
// thread has ended.
void RunInOrder(const OrderedJobs& jobs, unsigned threads, StartThread start = StartStdThread);

}  // namespace rowsift
