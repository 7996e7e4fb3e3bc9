// KvdDiskSystem.h - what each platform's file of disk operations gives the shared
// part of NewFile (KvdDisk.cpp): a descriptor's few system calls, each failure told
// in the words of KvdDisk.h's Error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "KvdDisk.h"

namespace kvddisk {
namespace systemcalls {

// Creates `path` new (never opens an existing file); the descriptor, or -1.
int CreateNew(const std::string& path, Error& error);
// Writes all of `size` bytes, or fails.
bool WriteAll(int fd, const char* data, size_t size, Error& error);
// Asks the disk to start on `size` bytes from `from`, without waiting; a no-op
// where the platform has no such call.
void StartDisk(int fd, uint64_t from, uint64_t size);
// Waits until everything written is on the disk.
bool Flush(int fd, Error& error);
bool Close(int fd, Error& error);
unsigned long ProcessId();

}  // namespace systemcalls
}  // namespace kvddisk
