#pragma once
// The file system of the platform the tests run on, with its stage hook for breaking saves.
#ifdef _WIN32
#include "platform/win32/win32_file_system.h"
namespace murmuro::testing {
using NativeFileSystem = win32::Win32FileSystem;
}
#else
#include "platform/posix/posix_file_system.h"
namespace murmuro::testing {
using NativeFileSystem = PosixFileSystem;
}
#endif
