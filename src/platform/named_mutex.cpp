#include "platform/named_mutex.hpp"

#include "core/error.hpp"

namespace cv {

KernelHandle createNamedMutex(const std::wstring& name, const char* createFailureMessage) {
  KernelHandle mutex(::CreateMutexW(nullptr, FALSE, name.c_str()));
  ensure(mutex.valid(), SystemFailure, createFailureMessage);
  return mutex;
}

bool tryAcquireMutex(HANDLE mutex) { return acquireMutexWithin(mutex, 0); }

bool acquireMutexWithin(HANDLE mutex, unsigned long milliseconds) {
  const DWORD result = ::WaitForSingleObject(mutex, milliseconds);
  // An abandoned mutex was left by a holder that ended; it is ours now.
  return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

}  // namespace cv
