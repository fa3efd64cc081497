// Starting the built programs from a test and waiting for them.
#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

// Starts path with args; the test's environment with overrides on top.
// Returns the child's pid, or -1.
inline pid_t StartProgram(const std::string& path, const std::vector<std::string>& args,
                          const std::map<std::string, std::string>& overrides) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        if (!overrides.count(entry.substr(0, entry.find('=')))) env.push_back(entry);
    }
    for (const auto& [name, value] : overrides) env.push_back(name + "=" + value);
    std::vector<char*> envp, argv;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string program = path;
    argv.push_back(program.data());
    std::vector<std::string> argsCopy = args;
    for (std::string& a : argsCopy) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    return posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv.data(), envp.data()) == 0 ? pid : -1;
}

// The child's wait status once it has ended; nothing if it still runs when
// the limit is up (a limit that only keeps a broken test from hanging).
inline std::optional<int> WaitForExit(pid_t pid, std::chrono::milliseconds limit = std::chrono::seconds(60)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) return status;
        if (done < 0 || std::chrono::steady_clock::now() > end) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

inline bool StillRunning(pid_t pid) {
    int status = 0;
    return waitpid(pid, &status, WNOHANG) == 0;
}
