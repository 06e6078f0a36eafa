// The pool that keeps results in order: every job done and delivered once,
// in order, whatever threads the system gives.
#include "ordered_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <vector>

namespace rowsift {
namespace {

// Jobs that finish out of order; the deliveries must not.
std::vector<std::size_t> RunJobs(std::size_t count, unsigned threads, StartThread start,
                                 std::size_t ahead = SIZE_MAX) {
  std::vector<std::size_t> results(count);
  std::vector<std::size_t> delivered;
  OrderedJobs jobs;
  jobs.count = count;
  jobs.ahead = ahead;
  jobs.work = [&](std::size_t i) {
    if (i % 3 == 0) std::this_thread::yield();
    results[i] = i * i;
  };
  jobs.deliver = [&](std::size_t i) { delivered.push_back(results[i]); };
  RunInOrder(jobs, threads, start);
  return delivered;
}

std::vector<std::size_t> Squares(std::size_t count) {
  std::vector<std::size_t> squares;
  for (std::size_t i = 0; i < count; ++i) squares.push_back(i * i);
  return squares;
}

std::atomic<int> startsAllowed{0};
std::thread StartWhileAllowed(std::function<void()> body) {
  if (startsAllowed-- <= 0)
    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
  return std::thread(std::move(body));
}

TEST(RunInOrder, DeliversEveryJobOnceInOrderOnAnyNumberOfThreads) {
  for (unsigned threads : {1u, 2u, 8u}) {
    EXPECT_EQ(RunJobs(500, threads, StartStdThread), Squares(500)) << threads;
    EXPECT_EQ(RunJobs(500, threads, StartStdThread, 2), Squares(500)) << threads << ", 2 ahead";
  }
  EXPECT_TRUE(RunJobs(0, 4, StartStdThread).empty());
}

TEST(RunInOrder, GoesOnWithTheThreadsTheSystemGives) {
  for (int allowed : {0, 2}) {
    startsAllowed = allowed;
    EXPECT_EQ(RunJobs(300, 8, StartWhileAllowed, 4), Squares(300)) << allowed << " started";
  }
}

TEST(RunInOrder, AFailingJobStopsTheRunAndIsThrownOnceAllThreadsEnded) {
  std::atomic<int> worked{0};
  std::vector<std::size_t> delivered;
  OrderedJobs jobs;
  jobs.count = 1000;
  jobs.ahead = 4;
  jobs.work = [&](std::size_t i) {
    ++worked;
    if (i == 10) throw std::runtime_error("job 10");
  };
  jobs.deliver = [&](std::size_t i) { delivered.push_back(i); };
  EXPECT_THROW(RunInOrder(jobs, 4), std::runtime_error);
  EXPECT_LE(delivered.size(), 10u);
  EXPECT_LT(worked.load(), 20) << "no job begun far past the failure";
}

}  // namespace
}  // namespace rowsift
