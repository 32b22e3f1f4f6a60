#pragma once

#include <string>

#include "platform/handles.hpp"

namespace cv {

// CreateMutexW (default security, not initially owned). A null result throws
// Error(-9, createFailureMessage).
KernelHandle createNamedMutex(const std::wstring& name, const char* createFailureMessage);

// One try without waiting; an abandoned mutex counts as acquired.
bool tryAcquireMutex(HANDLE mutex);
// The same, waiting at most milliseconds: only for a lock held across one
// small file's read and replace.
bool acquireMutexWithin(HANDLE mutex, unsigned long milliseconds);

}  // namespace cv
