// KvdTestDisks.h - disks for the tests of the exchange library: one that hands every
// call on to another (the system's), one that fails the n-th call, and one that stops
// the process at a chosen call.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "KvdDisk.h"

// Hands every call on to `inner`; a test overrides what it wants to see or change.
// Before each call that can fail, Before(call) may answer for it: false fails the call
// with `error` as Before left it.
class PassThroughDisk : public kvddisk::Disk {
public:
    explicit PassThroughDisk(kvddisk::Disk& inner = kvddisk::SystemDisk()) : inner_(inner) {}

    bool GetStamp(const std::string& path, kvddisk::Stamp& stamp, kvddisk::Error& error) override;
    std::string Resolve(const std::string& path) override { return inner_.Resolve(path); }
    kvddisk::NameRoom RoomOfName(const std::string& path) override { return inner_.RoomOfName(path); }
    bool OpenToRead(const std::string& path, kvddisk::FileHandle& file, kvddisk::Error& error) override;
    bool ReadAt(const kvddisk::FileHandle& file, uint64_t offset, char* data, size_t size, size_t& got,
                kvddisk::Error& error) override;
    bool Close(kvddisk::FileHandle& file, kvddisk::Error& error) override;
    bool CreateTemporary(const std::string& path, kvddisk::FileHandle& file, kvddisk::Error& error) override;
    bool Append(const kvddisk::FileHandle& file, const char* data, size_t size, kvddisk::Error& error) override;
    void StartDisk(const kvddisk::FileHandle& file, uint64_t from, uint64_t size) override;
    bool Flush(const kvddisk::FileHandle& file, kvddisk::Error& error) override;
    bool PutInPlace(kvddisk::FileHandle& file, const std::string& path, const std::string& target,
                    kvddisk::Error& error) override;
    void Discard(kvddisk::FileHandle& file, const std::string& path) override;
    bool ListBeside(const std::string& target, std::vector<std::string>& suffixes, kvddisk::Error& error) override;
    bool RemoveLeftover(const std::string& path, unsigned long process, kvddisk::Error& error) override;
    unsigned long ProcessId() override;
    bool StampOfOpen(const kvddisk::FileHandle& file, kvddisk::Stamp& stamp) override
    {
        return inner_.StampOfOpen(file, stamp);
    }
    // The writers' lock, as the inner disk keeps it (never failed by Before).
    bool OpenLock(const std::string& path, bool create, kvddisk::FileHandle& lock, kvddisk::Error& error) override
    {
        return inner_.OpenLock(path, create, lock, error);
    }
    Locked TryLock(const kvddisk::FileHandle& lock, int slot, bool exclusive) override
    {
        return inner_.TryLock(lock, slot, exclusive);
    }
    void Unlock(const kvddisk::FileHandle& lock, int slot) override { inner_.Unlock(lock, slot); }
    bool StillNames(const kvddisk::FileHandle& lock, const std::string& path) override
    {
        return inner_.StillNames(lock, path);
    }
    void CloseLock(kvddisk::FileHandle& lock, const std::string& path, bool remove) override
    {
        inner_.CloseLock(lock, path, remove);
    }

protected:
    virtual bool Before(kvddisk::Call /*call*/, kvddisk::Error& /*error*/) { return true; }
    kvddisk::Disk& inner_;
};

// Fails the n-th call that can fail (counting from 1; 0: none) with an input/output
// error, as a failing disk does, and records every such call.
class FaultDisk : public PassThroughDisk {
public:
    using PassThroughDisk::PassThroughDisk;
    void FailCall(int n) { failAt_ = n; count_ = 0; calls_.clear(); }
    int Count() const { return count_; }
    const std::vector<kvddisk::Call>& Calls() const { return calls_; }
    // The call that was failed, if one was.
    bool Failed(kvddisk::Call& call) const;

protected:
    bool Before(kvddisk::Call call, kvddisk::Error& error) override;

private:
    int failAt_ = 0;
    int count_ = 0;
    std::vector<kvddisk::Call> calls_;
};

// Runs `atCall` before the first call of the kind `kind` (a test stops the process there).
class StopDisk : public PassThroughDisk {
public:
    StopDisk(kvddisk::Call kind, std::function<void()> atCall) : kind_(kind), atCall_(std::move(atCall)) {}

protected:
    bool Before(kvddisk::Call call, kvddisk::Error& error) override;

private:
    kvddisk::Call kind_;
    std::function<void()> atCall_;
};
