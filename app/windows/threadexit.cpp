// Destructors of thread_local objects for MinGW-w64 builds; linked into every
// executable as an object file, so that its __cxa_thread_atexit is the one the
// compiler's registrations reach, never the C++ runtime's.
//
// The C++ runtime keeps each thread's destructor list under a winpthreads key
// that it creates on first use. Emulated TLS, which holds the thread_local
// objects themselves, keeps each thread's storage under a key of its own,
// created when the first thread_local is touched, which is earlier. When a
// thread ends, winpthreads runs key destructors in key order: the storage was
// freed first and the objects in it destroyed afterwards, from freed memory.
// A thread that had matched a regular expression passed a stale pointer to the
// regex JIT's stack release and crashed inside winpthreads' thread-exit
// handler, which left winpthreads' key lock read-locked: the C++ runtime's
// clean-up at process exit then waited for that lock for ever.
//
// Here the list lives under a key created from a TLS callback when the process
// attaches, before any other code of the executable runs, so it comes before
// the emulated TLS key and its destructor runs before the storage is released,
// both for threads that winpthreads started and for native threads (Qt's),
// whose keys it releases in its own TLS callback.
//
// Qt's DLLs register their thread_local objects (such as the regular
// expression JIT stack) with the C++ runtime DLL's __cxa_thread_atexit, whose
// list this file cannot take over. Its key is made here too, right after ours
// and as early, by registering a destructor that does nothing: the runtime
// creates its key on the first registration. Left to the first thread_local
// of Qt's, it came after the emulated TLS key, a thread that had matched a
// regular expression crashed as it ended, and the program hung at exit in the
// runtime's pthread_key_delete.

#if !defined(__MINGW64__)
#error "Only for 64-bit MinGW-w64 builds"
#endif

#include <pthread.h>
#include <windows.h>

#include <cstdlib>

namespace {

struct Destructor
{
    void (*destroy)(void *);
    void *object;
    Destructor *next;
};

pthread_key_t listKey;
bool keyCreated = false;
LONG exitHandlerRegistered = 0;

// Newest first, as construction order requires; destructors may construct
// further thread_local objects, whose destructors run here too.
void runList(Destructor *list)
{
    for (;;) {
        while (list) {
            Destructor *entry = list;
            list = entry->next;
            entry->destroy(entry->object);
            std::free(entry);
        }
        list = static_cast<Destructor *>(pthread_getspecific(listKey));
        if (!list)
            return;
        pthread_setspecific(listKey, nullptr);
    }
}

// winpthreads calls this for every thread whose value was ever set, also with
// a null value.
void onThreadEnd(void *list)
{
    runList(static_cast<Destructor *>(list));
}

// exit() ends the calling thread without a thread-exit notification.
void onExit()
{
    if (Destructor *list = static_cast<Destructor *>(pthread_getspecific(listKey))) {
        pthread_setspecific(listKey, nullptr);
        runList(list);
    }
}

void doNothing(void *) {}

// The C++ runtime DLL's own registration, which this file's definition hides
// from the executable. Null when the runtime is linked statically.
using ThreadAtExit = int (*)(void (*)(void *), void *, void *);
ThreadAtExit runtimeThreadAtExit()
{
    HMODULE runtime = GetModuleHandleW(L"libstdc++-6.dll");
    if (!runtime)
        return nullptr;
    return reinterpret_cast<ThreadAtExit>(
        reinterpret_cast<void (*)()>(GetProcAddress(runtime, "__cxa_thread_atexit")));
}

int runtimeKeyAnchor;

void NTAPI onProcessEvent(PVOID, DWORD reason, PVOID)
{
    if (reason != DLL_PROCESS_ATTACH || keyCreated)
        return;
    keyCreated = pthread_key_create(&listKey, onThreadEnd) == 0;
    if (ThreadAtExit registerWithRuntime = runtimeThreadAtExit())
        registerWithRuntime(doNothing, &runtimeKeyAnchor, nullptr);
}

} // namespace

// Sorted before winpthreads' callback (.CRT$XLF); the linker keeps .CRT$XL*.
extern "C" __attribute__((section(".CRT$XLB"), used)) PIMAGE_TLS_CALLBACK glanceway_thread_exit_callback =
    onProcessEvent;

extern "C" int __cxa_thread_atexit(void (*destroy)(void *), void *object, void *) noexcept
{
    if (!keyCreated)
        return -1;
    auto *entry = static_cast<Destructor *>(std::malloc(sizeof(Destructor)));
    if (!entry)
        return -1;
    // Like the C++ runtime: the thread that calls exit() runs its list from
    // an exit handler registered on first use, after the static objects built
    // since then are destroyed and before those built earlier.
    if (InterlockedCompareExchange(&exitHandlerRegistered, 1, 0) == 0)
        std::atexit(onExit);
    *entry = {destroy, object, static_cast<Destructor *>(pthread_getspecific(listKey))};
    pthread_setspecific(listKey, entry);
    return 0;
}
