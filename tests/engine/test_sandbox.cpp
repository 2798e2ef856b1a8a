// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The sandbox seen from inside: each row forks a child that enters it, with
// a temporary folder as its only calendar tree, tries one thing and reports
// how it went.
#include "engine/sandbox.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>

namespace {

struct folders {
    std::string inside, outside;  // the tree given, and one that is not
};

// 0 when it worked, else the errno it met.
using attempt = int (*)(const folders &);

int errno_of(long r) { return r < 0 ? errno : 0; }

int read_one_byte(const std::string &path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    char c = 0;
    int e = errno_of(read(fd, &c, 1));
    close(fd);
    return e;
}

int open_with(const std::string &path, int flags) {
    int fd = open(path.c_str(), flags | O_CLOEXEC, 0600);
    if (fd >= 0) close(fd);
    return errno_of(fd);
}

int socket_of(int family) {
    int fd = socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0) close(fd);
    return errno_of(fd);
}

// What a worker does: forked, it writes to a pipe; the engine kills it and
// waits for it.
int fork_a_worker() {
    int p[2];
    if (pipe2(p, O_CLOEXEC) != 0) return errno;
    pid_t pid = fork();
    if (pid == 0) {
        char c = 'y';
        if (write(p[1], &c, 1) != 1) _exit(1);
        for (;;) pause();
    }
    char c = 0;
    bool wrote = read(p[0], &c, 1) == 1 && c == 'y';
    int e = errno_of(kill(pid, SIGKILL));
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFSIGNALED(status)) e = ECHILD;
    close(p[0]);
    close(p[1]);
    return wrote ? e : EPIPE;
}

// New York's offset in November 2023 is known only from its zone file.
int new_york_offset_known() {
    setenv("TZ", "America/New_York", 1);
    tzset();
    time_t t = 1700000000;
    struct tm local {};
    return localtime_r(&t, &local) && local.tm_gmtoff == -5 * 3600 ? 0 : ENOENT;
}

enum needs { nothing, seccomp, landlock, landlock_signals };

struct row {
    const char *name;
    attempt try_it;
    int expected;  // errno, 0 for success
    needs feature;
};

void PrintTo(const row &r, std::ostream *os) { *os << r.name; }

const row rows[] = {
    {"reads_its_tree", [](const folders &f) { return read_one_byte(f.inside + "/a.ics"); }, 0,
     nothing},
    {"reads_no_other_tree", [](const folders &f) { return read_one_byte(f.outside + "/b.ics"); },
     EACCES, landlock},
    {"opens_nothing_for_writing",
     [](const folders &f) { return open_with(f.inside + "/a.ics", O_WRONLY); }, EACCES, seccomp},
    {"creates_no_file",
     [](const folders &f) { return open_with(f.inside + "/new.ics", O_RDONLY | O_CREAT); }, EACCES,
     seccomp},
    {"no_inet_socket", [](const folders &) { return socket_of(AF_INET); }, EACCES, seccomp},
    {"no_inet6_socket", [](const folders &) { return socket_of(AF_INET6); }, EACCES, seccomp},
    {"no_unix_socket", [](const folders &) { return socket_of(AF_UNIX); }, EACCES, seccomp},
    {"runs_no_program",
     [](const folders &) { return errno_of(execl("/bin/true", "true", nullptr)); }, EACCES,
     seccomp},
    // Seized rather than attached, so that a failure does not stop the test.
    {"traces_no_process",
     [](const folders &) { return errno_of(ptrace(PTRACE_SEIZE, getppid(), nullptr, nullptr)); },
     EPERM, seccomp},
    {"signals_no_process_it_did_not_fork",
     [](const folders &) { return errno_of(kill(getppid(), 0)); }, EPERM, landlock_signals},
    {"reads_the_zone_database", [](const folders &) { return new_york_offset_known(); }, 0,
     nothing},
    {"forks_and_waits_for_workers", [](const folders &) { return fork_a_worker(); }, 0, nothing},
};

struct child_report {
    int outcome, seccomp, landlock, landlock_abi;
};

class sandbox : public testing::TestWithParam<row> {
  protected:
    void SetUp() override {
        for (std::string *dir : {&f.inside, &f.outside}) {
            char name[] = "/tmp/ds-sandbox-XXXXXX";
            ASSERT_NE(mkdtemp(name), nullptr);
            *dir = name;
        }
        std::ofstream(f.inside + "/a.ics") << "BEGIN:VCALENDAR\n";
        std::ofstream(f.outside + "/b.ics") << "BEGIN:VCALENDAR\n";
    }
    void TearDown() override {
        std::filesystem::remove_all(f.inside);
        std::filesystem::remove_all(f.outside);
    }
    folders f;
};

TEST_P(sandbox, attempt) {
    const row &r = GetParam();
    int p[2];
    ASSERT_EQ(pipe2(p, O_CLOEXEC), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        sandbox_result applied = enter_sandbox({{f.inside}});
        child_report out{r.try_it(f), applied.seccomp, applied.landlock, applied.landlock_abi};
        _exit(write(p[1], &out, sizeof out) == sizeof out ? 0 : 1);
    }
    close(p[1]);
    child_report got{};
    ssize_t n = read(p[0], &got, sizeof got);
    close(p[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_EQ(n, ssize_t(sizeof got)) << "the sandboxed child ended without a report";
    if (r.feature == seccomp && !got.seccomp) GTEST_SKIP() << "no seccomp filter";
    if (r.feature == landlock && !got.landlock) GTEST_SKIP() << "no Landlock";
    if (r.feature == landlock_signals && (!got.landlock || got.landlock_abi < 6))
        GTEST_SKIP() << "Landlock ABI " << got.landlock_abi << " does not scope signals";
    EXPECT_EQ(got.outcome, r.expected) << strerror(got.outcome);
}

INSTANTIATE_TEST_SUITE_P(rows, sandbox, testing::ValuesIn(rows),
                         [](const testing::TestParamInfo<row> &info) { return info.param.name; });

}  // namespace
