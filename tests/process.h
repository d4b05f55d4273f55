// Runs the real program in a folder of its own and collects what it did.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

struct run_result {
    bool exited = false;  // ended by itself, not by a signal or the time limit
    int status = -1;
    long peak_kib = 0;  // peak resident memory
    std::string out, err;
};

// A fresh, empty working folder under the system's temporary folder.
inline fs::path fresh_folder(const std::string &name)
{
    fs::path dir = fs::temp_directory_path() / ("laavasuihku-" + name + "-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

struct running_program {
    pid_t pid = -1;
    int out_fd = -1, err_fd = -1;
};

// Starts the program in `dir` with extra environment (an empty value takes
// the variable away), under a wrapper
// command (valgrind, say) if one is given.
inline running_program start_program(const fs::path &dir, const std::map<std::string, std::string> &env,
                                     const std::vector<std::string> &wrapper = {})
{
    std::vector<std::string> words = wrapper;
    words.push_back(LAAVA_BIN);
    std::vector<char *> argv;
    for (std::string &w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    int out_pipe[2], err_pipe[2];
    if (pipe(out_pipe) != 0 || pipe(err_pipe) != 0)
        return {};
    pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlive a test that died
        dup2(out_pipe[1], 1);
        dup2(err_pipe[1], 2);
        close(out_pipe[0]), close(err_pipe[0]), close(out_pipe[1]), close(err_pipe[1]);
        int null_in = open("/dev/null", O_RDONLY);
        dup2(null_in, 0);
        if (chdir(dir.c_str()) != 0)
            _exit(127);
        for (auto &[key, value] : env)
            value.empty() ? unsetenv(key.c_str()) : setenv(key.c_str(), value.c_str(), 1);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(out_pipe[1]), close(err_pipe[1]);
    return {pid, out_pipe[0], err_pipe[0]};
}

// Collects what the program writes until it ends; sends SIGTERM after
// `term_after` if that is given, and kills it after `limit`.
inline run_result wait_program(running_program &program,
                               std::chrono::milliseconds term_after = std::chrono::milliseconds(-1),
                               std::chrono::milliseconds limit = std::chrono::milliseconds(60000))
{
    run_result result;
    if (program.pid <= 0)
        return result;
    auto start = std::chrono::steady_clock::now();
    bool termed = false;
    pollfd fds[2] = {{program.out_fd, POLLIN, 0}, {program.err_fd, POLLIN, 0}};
    int open_pipes = 2;
    while (open_pipes > 0) {
        auto elapsed = std::chrono::steady_clock::now() - start;
        if (!termed && term_after.count() >= 0 && elapsed >= term_after) {
            kill(program.pid, SIGTERM);
            termed = true;
        }
        if (elapsed >= limit) {
            kill(program.pid, SIGKILL);
            break;
        }
        if (poll(fds, 2, 20) <= 0)
            continue;
        for (pollfd &f : fds) {
            if (f.fd < 0 || !(f.revents & (POLLIN | POLLHUP)))
                continue;
            char buf[4096];
            ssize_t got = read(f.fd, buf, sizeof buf);
            if (got <= 0) {
                close(f.fd);
                f.fd = -1;
                --open_pipes;
            } else {
                (&f == &fds[0] ? result.out : result.err).append(buf, size_t(got));
            }
        }
    }
    for (pollfd &f : fds)
        if (f.fd >= 0)
            close(f.fd);
    int wstatus = 0;
    rusage usage = {};
    wait4(program.pid, &wstatus, 0, &usage);
    program.pid = -1;
    result.peak_kib = usage.ru_maxrss;
    result.exited = WIFEXITED(wstatus);
    result.status = result.exited ? WEXITSTATUS(wstatus) : -1;
    return result;
}

inline run_result run_program(const fs::path &dir, const std::map<std::string, std::string> &env,
                              std::chrono::milliseconds term_after = std::chrono::milliseconds(-1),
                              std::chrono::milliseconds limit = std::chrono::milliseconds(60000))
{
    running_program program = start_program(dir, env);
    return wait_program(program, term_after, limit);
}

// Raw 1024 x 768 x 32 pixels of a frame saved by the frame shim.
inline std::vector<uint32_t> read_frame(const fs::path &path)
{
    std::vector<uint32_t> pixels(1024 * 768);
    std::ifstream in(path, std::ios::binary);
    in.read(reinterpret_cast<char *>(pixels.data()), std::streamsize(pixels.size() * 4));
    if (!in)
        pixels.clear();
    return pixels;
}
