// KivAttachments.cpp - each thread's stack of attachments: a thread_local natively; on
// Windows a TLS slot of the DLL, whose DllMain keeps the DLL loaded once loaded, ends the
// stack of a thread that ends and, should the DLL be freed, every stack left (so that an
// open write leaves nothing).
#include "KivAttachments.h"

#include <new>

KivAttachment* KivThread::Attach(KvdLegacyToUtf8 convert, bool& outOfMemory)
{
    outOfMemory = false;
    if (refused_ == 0 && stack_.size() < kMaxAttachments) {
        try {
            stack_.reserve(kMaxAttachments);  // once: the push below cannot fail after the make
            stack_.push_back(std::make_unique<KivAttachment>(convert));
            return stack_.back().get();
        } catch (const std::bad_alloc&) {
            outOfMemory = true;
        }
    }
    ++refused_;
    return nullptr;
}

void KivThread::Detach()
{
    if (refused_ > 0)
        --refused_;
    else if (!stack_.empty())
        stack_.pop_back();
}

#ifdef _WIN32
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <mutex>

namespace {

std::mutex g_lock;  // guards the making of g_slot and the list of stacks
std::atomic<DWORD> g_slot{TLS_OUT_OF_INDEXES};

// Every thread's stack, for the FreeLibrary that must end them all.
std::vector<KivThread*>& AllThreads()
{
    static std::vector<KivThread*> all;
    return all;
}

DWORD Slot()
{
    std::lock_guard<std::mutex> lock(g_lock);
    if (g_slot.load() == TLS_OUT_OF_INDEXES)
        g_slot.store(TlsAlloc());
    return g_slot.load();
}

void EndThisThread()
{
    DWORD slot = g_slot.load();
    if (slot == TLS_OUT_OF_INDEXES)
        return;
    KivThread* thread = static_cast<KivThread*>(TlsGetValue(slot));
    if (thread == nullptr)
        return;
    TlsSetValue(slot, nullptr);
    {
        std::lock_guard<std::mutex> lock(g_lock);
        auto& all = AllThreads();
        all.erase(std::remove(all.begin(), all.end(), thread), all.end());
    }
    delete thread;
}

void EndAllThreads()
{
    std::vector<KivThread*> all;
    {
        std::lock_guard<std::mutex> lock(g_lock);
        all.swap(AllThreads());
    }
    for (KivThread* thread : all)
        delete thread;
}

}  // namespace

KivThread* KivThread::Current(bool make)
{
    DWORD slot = g_slot.load();
    if (slot == TLS_OUT_OF_INDEXES)
        slot = Slot();
    if (slot == TLS_OUT_OF_INDEXES)
        return nullptr;
    KivThread* thread = static_cast<KivThread*>(TlsGetValue(slot));
    if (thread != nullptr || !make)
        return thread;
    std::unique_ptr<KivThread> fresh(new KivThread);
    {
        std::lock_guard<std::mutex> lock(g_lock);
        AllThreads().push_back(fresh.get());
    }
    if (!TlsSetValue(slot, fresh.get())) {
        std::lock_guard<std::mutex> lock(g_lock);
        AllThreads().pop_back();
        return nullptr;
    }
    return fresh.release();
}

#if defined(__GLIBCXX__)
namespace __gnu_cxx {
void __freeres();
}
#endif

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH: {
        // Loaded once, kept until the process ends: the C++ runtime linked in keeps a
        // thread-local storage slot and a thread record at every load that no unload gives
        // back, so a host that loads and frees the library for each use would run out of
        // slots after a few hundred uses. Should the platform refuse, it goes on unpinned.
        HMODULE kept = nullptr;
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                           reinterpret_cast<LPCWSTR>(instance), &kept);
        break;
    }
    case DLL_THREAD_DETACH:
        EndThisThread();  // its writes are abandoned: their temporary files go
        break;
    case DLL_PROCESS_DETACH: {
        // FreeLibrary where the library could not be kept (reserved NULL): the process goes
        // on without this code. At the process's end the system closes every handle, and
        // temporary files go with them.
        if (reserved == nullptr) {
            EndAllThreads();
            DWORD slot = g_slot.exchange(TLS_OUT_OF_INDEXES);
            if (slot != TLS_OUT_OF_INDEXES)
                TlsFree(slot);
#if defined(__GLIBCXX__)
            // The statically linked C++ runtime takes a reserve for exceptions thrown when
            // memory is short (about 72 KB, at load) and never gives it back: a host that
            // loads and frees Kiv.dll again and again would lose it each time.
            __gnu_cxx::__freeres();
#endif
        }
        break;
    }
    default: break;
    }
    return TRUE;
}

#else

namespace {
// Ends the thread's attachments with it. The library is linked, not loaded later, so its
// slot may sit with the program's own (each call asks for it).
thread_local std::unique_ptr<KivThread> t_current __attribute__((tls_model("initial-exec")));
}  // namespace

KivThread* KivThread::Current(bool make)
{
    if (t_current == nullptr && make)
        t_current.reset(new KivThread);
    return t_current.get();
}

#endif
