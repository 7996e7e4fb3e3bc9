// KvdTestDisks.cpp
#include "KvdTestDisks.h"

#include <cerrno>
#include <cstring>

using kvddisk::Call;
using kvddisk::Error;
using kvddisk::FileHandle;

bool PassThroughDisk::GetStamp(const std::string& path, kvddisk::Stamp& stamp, Error& error)
{
    return Before(Call::kStat, error) && inner_.GetStamp(path, stamp, error);
}

bool PassThroughDisk::OpenToRead(const std::string& path, FileHandle& file, Error& error)
{
    return Before(Call::kOpen, error) && inner_.OpenToRead(path, file, error);
}

bool PassThroughDisk::ReadAt(const FileHandle& file, uint64_t offset, char* data, size_t size, size_t& got,
                             Error& error)
{
    return Before(Call::kRead, error) && inner_.ReadAt(file, offset, data, size, got, error);
}

bool PassThroughDisk::Close(FileHandle& file, Error& error)
{
    if (!Before(Call::kClose, error)) {
        Error ignored;  // a close that fails still lets go of the handle
        inner_.Close(file, ignored);
        return false;
    }
    return inner_.Close(file, error);
}

bool PassThroughDisk::CreateTemporary(const std::string& path, FileHandle& file, Error& error)
{
    return Before(Call::kCreate, error) && inner_.CreateTemporary(path, file, error);
}

bool PassThroughDisk::Append(const FileHandle& file, const char* data, size_t size, Error& error)
{
    return Before(Call::kWrite, error) && inner_.Append(file, data, size, error);
}

void PassThroughDisk::StartDisk(const FileHandle& file, uint64_t from, uint64_t size)
{
    inner_.StartDisk(file, from, size);
}

bool PassThroughDisk::Flush(const FileHandle& file, Error& error)
{
    return Before(Call::kFlush, error) && inner_.Flush(file, error);
}

bool PassThroughDisk::PutInPlace(FileHandle& file, const std::string& path, const std::string& target,
                                 Error& error)
{
    return Before(Call::kRename, error) && inner_.PutInPlace(file, path, target, error);
}

void PassThroughDisk::Discard(FileHandle& file, const std::string& path) { inner_.Discard(file, path); }

bool PassThroughDisk::ListBeside(const std::string& target, std::vector<std::string>& suffixes, Error& error)
{
    return Before(Call::kList, error) && inner_.ListBeside(target, suffixes, error);
}

bool PassThroughDisk::RemoveLeftover(const std::string& path, unsigned long process, Error& error)
{
    return Before(Call::kRemove, error) && inner_.RemoveLeftover(path, process, error);
}

unsigned long PassThroughDisk::ProcessId() { return inner_.ProcessId(); }

bool FaultDisk::Before(Call call, Error& error)
{
    calls_.push_back(call);
    if (++count_ != failAt_)
        return true;
    error.kind = kvddisk::Failure::kOther;
    error.call = call;
    error.detail = std::strerror(EIO);
    return false;
}

bool FaultDisk::Failed(Call& call) const
{
    if (failAt_ < 1 || failAt_ > static_cast<int>(calls_.size()))
        return false;
    call = calls_[static_cast<size_t>(failAt_ - 1)];
    return true;
}

bool StopDisk::Before(Call call, Error& /*error*/)
{
    if (call == kind_ && atCall_)
        atCall_();
    return true;
}
