// The unloadable runtime's thread functions, through a DLL built on them.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "unique_resource.h"

namespace {

template <typename Function>
Function* Export(HMODULE probe, const char* name) {
  return reinterpret_cast<Function*>(reinterpret_cast<void (*)()>(::GetProcAddress(probe, name)));
}

// Later keys end first: a value may live in the storage of an earlier key.
TEST(UnloadableRuntime, AThreadsLaterKeysEndBeforeEarlierOnes) {
  const kit::unique_hmodule probe(::LoadLibraryA("runtime_probe.dll"));
  ASSERT_TRUE(probe);
  int set = -1;
  std::thread([&] { set = Export<int()>(probe.get(), "SetTwoKeys")(); }).join();
  ASSERT_EQ(set, 0);
  EXPECT_EQ(Export<int()>(probe.get(), "SeenAtThreadEnd")(), 42);
}

TEST(UnloadableRuntime, AnInitialiserThatThrowsRunsAgainOnTheNextCall) {
  const kit::unique_hmodule probe(::LoadLibraryA("runtime_probe.dll"));
  ASSERT_TRUE(probe);
  EXPECT_EQ(Export<int()>(probe.get(), "RunsOfAThrowingInitialiser")(), 2);
}

}  // namespace
