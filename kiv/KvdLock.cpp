// KvdLock.cpp - the writers' lock between processes, the same on every platform above
// the Disk's byte-range locks: which file is locked, the check that the path still
// names it, the bounded wait and the turn a writer gives to those that waited.
#include <chrono>
#include <map>
#include <mutex>
#include <thread>

#include "KvdDisk.h"

namespace kvddisk {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kWriterSlot = 0;
constexpr int kWaiterSlot = 1;
// Tries come often while a wait is short, as behind one or two commits of a small file,
// so that the next writer follows at once; seldom when it is long.
constexpr auto kPollSoon = std::chrono::microseconds(200);
constexpr auto kPollLater = std::chrono::milliseconds(1);
constexpr auto kSoon = std::chrono::milliseconds(50);
// How long a writer that others waited for stays back at its next take: long enough
// for a waiter that held the old file to open the new one and take it.
constexpr auto kGiveWay = std::chrono::milliseconds(30);

// The targets whose lock this process let go while others waited, and until when it
// gives way to them.
std::mutex g_givingWayLock;
std::map<std::string, Clock::time_point>& GivingWay()
{
    static std::map<std::string, Clock::time_point> until;
    return until;
}

Clock::time_point GiveWayUntil(const std::string& target)
{
    std::lock_guard<std::mutex> lock(g_givingWayLock);
    auto found = GivingWay().find(target);
    if (found == GivingWay().end())
        return Clock::time_point();
    Clock::time_point until = found->second;
    GivingWay().erase(found);
    return until;
}

void GiveWay(const std::string& target)
{
    std::lock_guard<std::mutex> lock(g_givingWayLock);
    auto& until = GivingWay();
    if (until.size() > 64)  // targets never taken again: keep few
        until.clear();
    until[target] = Clock::now() + kGiveWay;
}

// The locks that this process holds, by lock file: its writers of one file share one
// (the lock is between processes; among a process's own writers the last step of a
// commit goes one at a time and the change check decides, KvdWriteSession.cpp).
struct Shared {
    Disk* disk;
    FileHandle lock;
    int writers;
};
std::mutex g_sharedLock;
std::map<std::string, Shared>& SharedLocks()
{
    static std::map<std::string, Shared> held;
    return held;
}

bool JoinShared(const std::string& path)
{
    std::lock_guard<std::mutex> lock(g_sharedLock);
    auto found = SharedLocks().find(path);
    if (found == SharedLocks().end())
        return false;
    ++found->second.writers;
    return true;
}

}  // namespace

std::string WriteLock::LockPath(const std::string& target) { return target + ".~lock"; }

WriteLock::Result WriteLock::Take(const std::string& target, unsigned waitMilliseconds)
{
    Release();
    const std::string path = LockPath(target);
    if (JoinShared(path)) {
        path_ = path;
        target_ = target;
        return Result::kHeld;
    }
    const Clock::time_point begun = Clock::now();
    const Clock::time_point deadline = begun + std::chrono::milliseconds(waitMilliseconds);
    auto pause = [&] { std::this_thread::sleep_for(Clock::now() - begun < kSoon ? kPollSoon : kPollLater); };
    const Clock::time_point giveWay = GiveWayUntil(target);
    Error error;
    for (;;) {
        FileHandle lock;
        if (!disk_.OpenLock(path, true, lock, error)) {
            // Held for a moment by a writer that removes it: once more. Else there is no
            // lock here (no folder, no right to make a file in it, a name too long, a
            // device), and Begin says what is wrong with the path if anything is.
            if (error.kind != Failure::kHeldOpen)
                return Result::kNone;
            if (Clock::now() >= deadline)
                return Result::kBusy;
            pause();
            continue;
        }
        bool waiting = false;
        Disk::Locked got;
        for (;;) {
            got = disk_.TryLock(lock, kWriterSlot, true);
            if (got == Disk::Locked::kTaken && Clock::now() < giveWay) {
                // Others waited for this writer's last lock of the file: let them have it
                // first. One that takes it makes this writer a waiter like them.
                disk_.Unlock(lock, kWriterSlot);
                got = Disk::Locked::kBusy;
            } else if (got != Disk::Locked::kBusy) {
                break;
            }
            if (Clock::now() >= deadline)
                break;
            if (!waiting && disk_.TryLock(lock, kWaiterSlot, false) == Disk::Locked::kTaken)
                waiting = true;
            pause();
            if (JoinShared(path)) {  // another writer of this process took it meanwhile
                if (waiting)
                    disk_.Unlock(lock, kWaiterSlot);
                disk_.CloseLock(lock, path, false);
                path_ = path;
                target_ = target;
                return Result::kHeld;
            }
        }
        if (waiting)
            disk_.Unlock(lock, kWaiterSlot);
        if (got != Disk::Locked::kTaken) {
            disk_.CloseLock(lock, path, false);
            return got == Disk::Locked::kBusy ? Result::kBusy : Result::kNone;
        }
        // The lock counts only on the file that the path names now: the writer that held
        // it before may have removed it, and another made a new one.
        if (disk_.StillNames(lock, path)) {
            std::lock_guard<std::mutex> shared(g_sharedLock);
            auto found = SharedLocks().find(path);
            if (found != SharedLocks().end()) {  // a writer of this process, just before
                ++found->second.writers;
                disk_.Unlock(lock, kWriterSlot);
                disk_.CloseLock(lock, path, false);
            } else {
                SharedLocks()[path] = Shared{&disk_, lock, 1};
            }
            path_ = path;
            target_ = target;
            return Result::kHeld;
        }
        disk_.Unlock(lock, kWriterSlot);
        disk_.CloseLock(lock, path, false);
        if (Clock::now() >= deadline)
            return Result::kBusy;
    }
}

void WriteLock::Release()
{
    if (path_.empty())
        return;
    std::lock_guard<std::mutex> shared(g_sharedLock);
    auto found = SharedLocks().find(path_);
    if (found != SharedLocks().end() && --found->second.writers == 0) {
        Disk& disk = *found->second.disk;
        FileHandle& lock = found->second.lock;
        // Someone waits when the waiters' range cannot be had whole: the lock file stays
        // for them, and this process gives way at its next take. Else the file goes,
        // while it is still held: a writer that opened it meanwhile finds its path
        // naming nothing.
        Disk::Locked waiters = disk.TryLock(lock, kWaiterSlot, true);
        if (waiters == Disk::Locked::kTaken)
            disk.Unlock(lock, kWaiterSlot);
        else if (waiters == Disk::Locked::kBusy)
            GiveWay(target_);
        bool remove = waiters == Disk::Locked::kTaken;
        if (!remove)
            disk.Unlock(lock, kWriterSlot);
        disk.CloseLock(lock, path_, remove);
        SharedLocks().erase(found);
    }
    path_.clear();
}

}  // namespace kvddisk
