// Threads, events, waits and the named mutex, in-process on the standard
// library; the named mutex is an abstract local socket so that it is
// machine-wide and vanishes with its process.
#include "platform/backend.h"
#include "platform/core/handles.h"
#include "platform/instance.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>
#include <cstring>
#include <cerrno>

namespace platform {
namespace {

// Something that can be waited for: signalled or not.
class Waiter : public KernelObject {
public:
    bool Waitable() const override { return true; }

    // True when signalled within the time; an auto-reset object is consumed.
    bool Wait(DWORD milliseconds) {
        std::unique_lock<std::mutex> guard(lock_);
        auto ready = [this] { return signalled_; };
        if (milliseconds == 0) {
            // A poll: no timed wait, which would cost the timer's slack.
            if (!signalled_) return false;
        } else if (milliseconds == INFINITE) {
            cv_.wait(guard, ready);
        } else if (!cv_.wait_for(guard, std::chrono::milliseconds(milliseconds), ready)) {
            return false;
        }
        if (!manual_) signalled_ = false;
        return true;
    }
    void Set(bool on) {
        std::lock_guard<std::mutex> guard(lock_);
        signalled_ = on;
        if (on) cv_.notify_all();
    }

protected:
    explicit Waiter(bool manual, bool initial) : manual_(manual), signalled_(initial) {}

private:
    std::mutex lock_;
    std::condition_variable cv_;
    bool manual_;
    bool signalled_;
};

class Event : public Waiter {
public:
    Event(bool manual, bool initial) : Waiter(manual, initial) {}
};

// A thread is signalled once its routine has returned.
class Thread : public Waiter {
public:
    Thread() : Waiter(true, false) {}

    void Start(LPTHREAD_START_ROUTINE routine, LPVOID parameter, std::shared_ptr<Thread> self) {
        std::thread([routine, parameter, self] {
            {
                std::unique_lock<std::mutex> guard(self->gate_);
                self->gateCv_.wait(guard, [&] { return self->suspend_ == 0; });
            }
            DWORD code = routine(parameter);
            {
                std::lock_guard<std::mutex> guard(self->gate_);
                self->exitCode_ = code;
                self->running_ = false;
            }
            self->Set(true);
        }).detach();
    }
    void SetSuspended(bool on) { suspend_ = on ? 1 : 0; }
    DWORD Resume() {
        std::lock_guard<std::mutex> guard(gate_);
        DWORD previous = suspend_;
        if (suspend_ > 0) --suspend_;
        gateCv_.notify_all();
        return previous;
    }
    bool ExitCode(DWORD* code) {
        std::lock_guard<std::mutex> guard(gate_);
        *code = running_ ? STILL_ACTIVE : exitCode_;
        return true;
    }

private:
    std::mutex gate_;
    std::condition_variable gateCv_;
    DWORD suspend_ = 0;
    bool running_ = true;
    DWORD exitCode_ = STILL_ACTIVE;
};

// Named events live in one process-wide namespace.
std::mutex g_namesLock;
std::map<std::string, std::weak_ptr<Event>> g_namedEvents;

std::atomic<DWORD> g_nextThreadId{1000};
thread_local DWORD t_threadId = 0;

class NamedMutex : public KernelObject {
public:
    explicit NamedMutex(int fd) : fd_(fd) {}
    ~NamedMutex() override {
        if (fd_ < 0) return;
        // Wake the listener and wait for it: the name is free only once no
        // call holds the socket any more.
        ::shutdown(fd_, SHUT_RDWR);
        if (server_.joinable()) server_.join();
        ::close(fd_);
    }
    int fd() const { return fd_; }
    void Serve(std::thread server) { server_ = std::move(server); }

private:
    int fd_;
    std::thread server_;
};

std::mutex g_instanceLock;
std::function<void(const std::string&)> g_activateHandler;
std::string g_contestedMutex;

sockaddr_un abstractAddress(const std::string& name, socklen_t* length) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    // sun_path[0] stays 0: the abstract namespace.
    std::string full = "corvane." + name;
    size_t n = std::min(full.size(), sizeof(address.sun_path) - 1);
    std::memcpy(address.sun_path + 1, full.data(), n);
    *length = (socklen_t)(offsetof(sockaddr_un, sun_path) + 1 + n);
    return address;
}

}  // namespace

void SetActivateHandler(std::function<void(const std::string&)> handler) {
    std::lock_guard<std::mutex> guard(g_instanceLock);
    g_activateHandler = std::move(handler);
}

std::string ContestedMutexName() {
    std::lock_guard<std::mutex> guard(g_instanceLock);
    return g_contestedMutex;
}

bool ActivateOtherInstance(const char* mutexName, const std::string& request) {
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    socklen_t length = 0;
    sockaddr_un address = abstractAddress(mutexName, &length);
    std::string line = request + "\n";
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
              ::send(fd, line.data(), line.size(), MSG_NOSIGNAL) == (ssize_t)line.size();
    ::close(fd);
    return ok;
}

namespace {

// The first instance listens on its mutex name; whoever connects asks it to
// come to the front.
std::thread serveActivations(int listenFd) {
    return std::thread([listenFd] {
        for (;;) {
            int client = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) {
                if (errno == EINTR) continue;
                return;  // the mutex was closed
            }
            // One short line; a client that sends nothing is not waited for long.
            timeval wait{2, 0};
            ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
            std::string request;
            char buffer[256];
            ssize_t n;
            while (request.size() < 1024 && (n = ::recv(client, buffer, sizeof buffer, 0)) > 0) {
                request.append(buffer, (size_t)n);
                if (request.find('\n') != std::string::npos) break;
            }
            ::close(client);
            if (size_t end = request.find('\n'); end != std::string::npos) {
                request.resize(end);
                std::function<void(const std::string&)> handler;
                {
                    std::lock_guard<std::mutex> guard(g_instanceLock);
                    handler = g_activateHandler;
                }
                if (handler) handler(request);
            }
        }
    });
}

}  // namespace
}  // namespace platform

using namespace platform;

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, size_t, LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter,
                    DWORD dwCreationFlags, LPDWORD lpThreadId) {
    if (!lpStartAddress) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto thread = std::make_shared<Thread>();
    thread->SetSuspended((dwCreationFlags & CREATE_SUSPENDED) != 0);
    DWORD id = g_nextThreadId++;
    if (lpThreadId) *lpThreadId = id;
    HANDLE handle = AddHandle(thread);
    auto routine = lpStartAddress;
    // The new thread learns its id before the routine runs.
    thread->Start(
        [](LPVOID p) -> DWORD {
            auto* call = static_cast<std::pair<LPTHREAD_START_ROUTINE, std::pair<LPVOID, DWORD>>*>(p);
            auto routineCopy = call->first;
            LPVOID parameter = call->second.first;
            t_threadId = call->second.second;
            delete call;
            return routineCopy(parameter);
        },
        new std::pair<LPTHREAD_START_ROUTINE, std::pair<LPVOID, DWORD>>(routine, {lpParameter, id}), thread);
    return handle;
}

DWORD ResumeThread(HANDLE hThread) {
    auto thread = LookupAs<Thread>(hThread);
    if (!thread) {
        SetLastError(ERROR_INVALID_HANDLE);
        return (DWORD)-1;
    }
    return thread->Resume();
}

BOOL GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode) {
    auto thread = LookupAs<Thread>(hThread);
    if (!thread || !lpExitCode) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return thread->ExitCode(lpExitCode) ? TRUE : FALSE;
}

DWORD GetCurrentThreadId() {
    if (t_threadId == 0) t_threadId = g_nextThreadId++;
    return t_threadId;
}

HANDLE CreateEventA(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState, LPCSTR lpName) {
    std::shared_ptr<Event> event;
    bool existed = false;
    if (lpName && *lpName) {
        std::lock_guard<std::mutex> guard(g_namesLock);
        auto& slot = g_namedEvents[lpName];
        event = slot.lock();
        existed = event != nullptr;
        if (!event) {
            event = std::make_shared<Event>(bManualReset != FALSE, bInitialState != FALSE);
            slot = event;
        }
    } else {
        event = std::make_shared<Event>(bManualReset != FALSE, bInitialState != FALSE);
    }
    HANDLE handle = AddHandle(event);
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

BOOL SetEvent(HANDLE hEvent) {
    auto event = LookupAs<Event>(hEvent);
    if (!event) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    event->Set(true);
    return TRUE;
}

BOOL ResetEvent(HANDLE hEvent) {
    auto event = LookupAs<Event>(hEvent);
    if (!event) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    event->Set(false);
    return TRUE;
}

namespace {
std::mutex g_pumpLock;
std::function<void(int)> g_waitPump;
std::thread::id g_pumpThread;
}  // namespace

void platform::SetWaitPump(std::function<void(int)> pump) {
    std::lock_guard<std::mutex> guard(g_pumpLock);
    g_waitPump = std::move(pump);
    g_pumpThread = std::this_thread::get_id();
}

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    auto object = LookupAs<Waiter>(hHandle);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    std::function<void(int)> pump;
    if (dwMilliseconds == INFINITE) {
        std::lock_guard<std::mutex> guard(g_pumpLock);
        if (g_waitPump && g_pumpThread == std::this_thread::get_id()) pump = g_waitPump;
    }
    if (pump) {
        pump(0);
        while (!object->Wait(10)) pump(1);
        pump(2);
        return WAIT_OBJECT_0;
    }
    return object->Wait(dwMilliseconds) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

void Sleep(DWORD dwMilliseconds) {
    if (dwMilliseconds == 0)
        std::this_thread::yield();
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds));
}

HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL, LPCSTR lpName) {
    if (!lpName || !*lpName) {
        SetLastError(ERROR_SUCCESS);
        return AddHandle(std::make_shared<NamedMutex>(-1));
    }
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    socklen_t length = 0;
    sockaddr_un address = abstractAddress(lpName, &length);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0) {
        ::close(fd);
        if (errno != EADDRINUSE) {
            SetLastError(ERROR_ACCESS_DENIED);
            return nullptr;
        }
        // Another process holds the name: a handle all the same, as Windows gives.
        {
            std::lock_guard<std::mutex> guard(g_instanceLock);
            g_contestedMutex = lpName;
        }
        HANDLE handle = AddHandle(std::make_shared<NamedMutex>(-1));
        SetLastError(ERROR_ALREADY_EXISTS);
        return handle;
    }
    ::listen(fd, 4);
    auto mutex = std::make_shared<NamedMutex>(fd);
    mutex->Serve(serveActivations(fd));
    HANDLE handle = AddHandle(mutex);
    SetLastError(ERROR_SUCCESS);
    return handle;
}
