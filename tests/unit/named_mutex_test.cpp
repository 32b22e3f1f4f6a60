#include "platform/named_mutex.hpp"

#include <gtest/gtest.h>

#include <thread>

#include "core/error.hpp"
#include "platform/text.hpp"

namespace cv {
namespace {

std::wstring uniqueName() { return L"Local\\ZRQTest-" + toWide(newAttemptId()); }

// Mutexes are owned per thread, so a competing try has to come from another one.
bool tryFromOtherThread(const std::wstring& name, bool release) {
  bool acquired = false;
  std::thread other([&] {
    KernelHandle mutex = createNamedMutex(name, "create failed");
    acquired = tryAcquireMutex(mutex.get());
    if (acquired && release) ::ReleaseMutex(mutex.get());
  });
  other.join();
  return acquired;
}

TEST(NamedMutex, SecondHolderIsRefusedUntilTheFirstReleases) {
  const std::wstring name = uniqueName();
  KernelHandle mutex = createNamedMutex(name, "create failed");
  ASSERT_TRUE(tryAcquireMutex(mutex.get()));
  EXPECT_FALSE(tryFromOtherThread(name, true));
  ASSERT_TRUE(::ReleaseMutex(mutex.get()));
  EXPECT_TRUE(tryFromOtherThread(name, true));
}

TEST(NamedMutex, AbandonedMutexCountsAsAcquired) {
  const std::wstring name = uniqueName();
  KernelHandle mutex = createNamedMutex(name, "create failed");
  // The other thread takes it and ends without releasing it.
  ASSERT_TRUE(tryFromOtherThread(name, false));
  // Wine abandons the mutex a moment after the thread has ended, not at once.
  EXPECT_TRUE(acquireMutexWithin(mutex.get(), 5000));
  // Now it is held here, so another thread is refused.
  EXPECT_FALSE(tryFromOtherThread(name, false));
  ::ReleaseMutex(mutex.get());
}

TEST(NamedMutex, CreationFailureCarriesTheCallersMessage) {
  // The name is taken by an object of another type.
  const std::wstring name = uniqueName();
  KernelHandle event(::CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
  ASSERT_TRUE(event.valid());
  try {
    createNamedMutex(name, "Game lock failed");
    FAIL() << "mutex created";
  } catch (const Error& error) {
    EXPECT_EQ(error.code, SystemFailure);
    EXPECT_STREQ(error.what(), "Game lock failed");
  }
}

}  // namespace
}  // namespace cv
