#pragma once

// Handle families used across the shell. Win32 only; keep out of decision code.
#include <windows.h>

#include "platform/unique_handle.hpp"

namespace cv {

// Kernel objects whose "no handle" value is null: mutexes, events, processes, threads.
struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle invalid() { return nullptr; }
  static void close(Handle handle) { ::CloseHandle(handle); }
};
using KernelHandle = UniqueHandle<KernelHandleTraits>;

// File handles, whose "no handle" value is INVALID_HANDLE_VALUE.
struct FileHandleTraits {
  using Handle = HANDLE;
  static Handle invalid() { return INVALID_HANDLE_VALUE; }
  static void close(Handle handle) { ::CloseHandle(handle); }
};
using FileHandle = UniqueHandle<FileHandleTraits>;

// Memory handed out by LocalAlloc (security descriptors, argument vectors).
struct LocalMemoryTraits {
  using Handle = HLOCAL;
  static Handle invalid() { return nullptr; }
  static void close(Handle handle) { ::LocalFree(handle); }
};
using LocalMemory = UniqueHandle<LocalMemoryTraits>;

// Memory handed out by GlobalAlloc (the strings of WinHTTP's proxy queries).
struct GlobalMemoryTraits {
  using Handle = HGLOBAL;
  static Handle invalid() { return nullptr; }
  static void close(Handle handle) { ::GlobalFree(handle); }
};
using GlobalMemory = UniqueHandle<GlobalMemoryTraits>;

}  // namespace cv
