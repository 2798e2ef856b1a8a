// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The sandbox in three layers, each applied when the kernel has it:
// no_new_privs, so that nothing the process runs gains rights (and so that
// it may load the other two unprivileged); Landlock, which limits the file
// system to reading the trees given (and, from its ABI 6, signals to the
// process's own descendants); and a seccomp filter, which refuses the calls
// a reader never makes, whatever the path or descriptor. The filter comes
// last, so that it constrains no step of the setup.
#include "engine/sandbox.h"

#include "engine/sanitizer.h"

#include <linux/landlock.h>
#include <seccomp.h>

#include <fcntl.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace {

// Landlock's rights later than the ABI 2 of Debian 12's kernel headers; the
// values are the kernel's and never change.
constexpr uint64_t fs_rights_abi1 = (1ULL << 13) - 1;  // execute .. make symlink
constexpr uint64_t fs_refer = 1ULL << 13;              // ABI 2
constexpr uint64_t fs_truncate = 1ULL << 14;           // ABI 3
constexpr uint64_t fs_ioctl_dev = 1ULL << 15;          // ABI 5
constexpr uint64_t net_bind_tcp = 1ULL << 0;           // ABI 4
constexpr uint64_t net_connect_tcp = 1ULL << 1;
constexpr uint64_t scope_abstract_unix_socket = 1ULL << 0;  // ABI 6
constexpr uint64_t scope_signal = 1ULL << 1;

// The ruleset record as of ABI 6. An older kernel takes it too: it accepts a
// longer record than it knows as long as the fields it does not know are 0.
struct ruleset_attr {
    uint64_t handled_access_fs;
    uint64_t handled_access_net;
    uint64_t scoped;
};

void add_missing(std::string &missing, const std::string &what) {
    if (!missing.empty()) missing += ", ";
    missing += what;
}

// Every right the ABI knows is handled, so that only what a rule grants is
// left: reading files and listing directories beneath the trees.
ruleset_attr ruleset_for(int abi) {
    ruleset_attr attr{fs_rights_abi1, 0, 0};
    if (abi >= 2) attr.handled_access_fs |= fs_refer;
    if (abi >= 3) attr.handled_access_fs |= fs_truncate;
    if (abi >= 4) attr.handled_access_net = net_bind_tcp | net_connect_tcp;
    if (abi >= 5) attr.handled_access_fs |= fs_ioctl_dev;
    // A signal only to the process itself and those it forks later (its
    // workers), which keeps kill(-1) from reaching the user's other programs.
    if (abi >= 6) attr.scoped = scope_abstract_unix_socket | scope_signal;
    return attr;
}

void allow_reading(int ruleset, const std::string &path) {
    int fd = open(path.c_str(), O_PATH | O_CLOEXEC);
    if (fd < 0) return;  // not there: nothing to read
    struct stat st {};
    if (fstat(fd, &st) == 0) {
        // The kernel refuses a directory's rights on a rule for a file.
        landlock_path_beneath_attr rule{};
        rule.allowed_access = LANDLOCK_ACCESS_FS_READ_FILE;
        if (S_ISDIR(st.st_mode)) rule.allowed_access |= LANDLOCK_ACCESS_FS_READ_DIR;
        rule.parent_fd = fd;
        syscall(SYS_landlock_add_rule, ruleset, LANDLOCK_RULE_PATH_BENEATH, &rule, 0);
    }
    close(fd);
}

void enter_landlock(const std::vector<std::string> &trees, sandbox_result &result) {
    long abi = syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
    if (abi < 0) {
        const char *why = errno == ENOSYS       ? "not in this kernel"
                          : errno == EOPNOTSUPP ? "turned off at boot"
                                                : strerror(errno);
        add_missing(result.missing, std::string("Landlock (") + why + ")");
        return;
    }
    result.landlock_abi = static_cast<int>(abi);
    ruleset_attr attr = ruleset_for(result.landlock_abi);
    auto ruleset = static_cast<int>(syscall(SYS_landlock_create_ruleset, &attr, sizeof attr, 0U));
    if (ruleset < 0) {
        add_missing(result.missing, std::string("Landlock ruleset (") + strerror(errno) + ")");
        return;
    }
    for (const std::string &tree : trees) allow_reading(ruleset, tree);
    if (syscall(SYS_landlock_restrict_self, ruleset, 0U) == 0)
        result.landlock = 1;
    else
        add_missing(result.missing, std::string("Landlock (") + strerror(errno) + ")");
    close(ruleset);
    if (result.landlock && result.landlock_abi < 6)
        add_missing(result.missing, "a scope for signals (Landlock ABI 6)");
}

struct denial {
    const char *name;
    int error;
    int newer;  // for a call newer than Debian 12's libseccomp: its number, else -1
};

// The number of a call added to the kernel since 5.x, the same on every
// architecture but alpha and mips.
constexpr int unified(int number) {
#if defined(__alpha__) || defined(__mips__)
    (void)number;
    return -1;
#else
    return number;
#endif
}

// Refused whatever their arguments. EACCES where the file system or the
// network would refuse, EPERM where a right is lacking, ENOSYS where the C
// library then falls back to an older call whose arguments the filter sees
// (openat2 and clone3 take theirs in a record it cannot read).
constexpr denial always_denied[] = {
    // No new connection: the engine talks to the tile over the socket it inherits.
    {"socket", EACCES, -1},
    {"socketpair", EACCES, -1},
    {"connect", EACCES, -1},
    {"bind", EACCES, -1},
    {"listen", EACCES, -1},
    {"accept", EACCES, -1},
    {"accept4", EACCES, -1},
    {"execve", EACCES, -1},
    {"execveat", EACCES, -1},
    // Another process's memory or descriptors, read or steered.
    {"ptrace", EPERM, -1},
    {"process_vm_readv", EPERM, -1},
    {"process_vm_writev", EPERM, -1},
    {"process_madvise", EPERM, -1},
    {"pidfd_getfd", EPERM, -1},
    {"openat2", ENOSYS, -1},
    {"clone3", ENOSYS, -1},
    // A ring's operations (opens, connects) would pass the filter unseen.
    {"io_uring_setup", EPERM, -1},
    {"io_uring_enter", EPERM, -1},
    {"io_uring_register", EPERM, -1},
    // New namespaces, a user namespace above all, are much kernel to attack.
    {"unshare", EPERM, -1},
    {"setns", EPERM, -1},
    {"bpf", EPERM, -1},
    {"perf_event_open", EPERM, -1},
    {"userfaultfd", EPERM, -1},
    {"add_key", EPERM, -1},
    {"request_key", EPERM, -1},
    {"keyctl", EPERM, -1},
    // Nothing made, removed, renamed, linked or cut in the file system, which
    // Landlock may be absent to refuse, nor any file's mode, owner, times or
    // extended attributes changed, which Landlock never refuses.
    {"creat", EACCES, -1},
    {"mkdir", EACCES, -1},
    {"mkdirat", EACCES, -1},
    {"rmdir", EACCES, -1},
    {"mknod", EACCES, -1},
    {"mknodat", EACCES, -1},
    {"unlink", EACCES, -1},
    {"unlinkat", EACCES, -1},
    {"rename", EACCES, -1},
    {"renameat", EACCES, -1},
    {"renameat2", EACCES, -1},
    {"link", EACCES, -1},
    {"linkat", EACCES, -1},
    {"symlink", EACCES, -1},
    {"symlinkat", EACCES, -1},
    {"truncate", EACCES, -1},
    {"ftruncate", EACCES, -1},  // the inherited standard output may be the user's file
    {"fallocate", EACCES, -1},
    {"chmod", EACCES, -1},
    {"fchmod", EACCES, -1},
    {"fchmodat", EACCES, -1},
    {"fchmodat2", EACCES, unified(452)},
    {"chown", EACCES, -1},
    {"fchown", EACCES, -1},
    {"lchown", EACCES, -1},
    {"fchownat", EACCES, -1},
    {"utime", EACCES, -1},
    {"utimes", EACCES, -1},
    {"futimesat", EACCES, -1},
    {"utimensat", EACCES, -1},
    {"setxattr", EACCES, -1},
    {"lsetxattr", EACCES, -1},
    {"fsetxattr", EACCES, -1},
    {"setxattrat", EACCES, unified(463)},
    {"removexattr", EACCES, -1},
    {"lremovexattr", EACCES, -1},
    {"fremovexattr", EACCES, -1},
    {"removexattrat", EACCES, unified(466)},
    {"file_setattr", EACCES, unified(469)},
};

// 0, or the error of adding the rule. A call that neither this architecture
// nor the filter's tables know is one the process cannot make.
int deny(scmp_filter_ctx filter, const denial &d, std::initializer_list<scmp_arg_cmp> args = {}) {
    int number = seccomp_syscall_resolve_name(d.name);
    if (number == __NR_SCMP_ERROR) number = d.newer;
    if (number == -1) return 0;
    return seccomp_rule_add_array(filter, SCMP_ACT_ERRNO(static_cast<uint32_t>(d.error)), number,
                                  static_cast<unsigned>(args.size()), args.begin());
}

// Each flag that asks to write or to make is a rule of its own, since the
// comparisons of one rule must all hold.
int deny_writing_opens(scmp_filter_ctx filter) {
    int status = 0;
    for (unsigned flag : {O_WRONLY, O_RDWR, O_CREAT, O_TRUNC}) {
        status |=
            deny(filter, {"open", EACCES, -1}, {scmp_arg_cmp{1, SCMP_CMP_MASKED_EQ, flag, flag}});
        status |=
            deny(filter, {"openat", EACCES, -1}, {scmp_arg_cmp{2, SCMP_CMP_MASKED_EQ, flag, flag}});
    }
    return status;
}

int deny_namespaced_clones(scmp_filter_ctx filter) {
#if defined(__s390__) || defined(__CRIS__)
    constexpr unsigned flags_arg = 1;
#else
    constexpr unsigned flags_arg = 0;
#endif
    int status = 0;
    for (unsigned long flag : {CLONE_NEWUSER, CLONE_NEWNS, CLONE_NEWPID, CLONE_NEWNET, CLONE_NEWIPC,
                               CLONE_NEWUTS, CLONE_NEWCGROUP}) {
        scmp_arg_cmp cmp{flags_arg, SCMP_CMP_MASKED_EQ, flag, flag};
        status |= deny(filter, {"clone", EPERM, -1}, {cmp});
    }
    return status;
}

// A terminal the engine inherits as its standard output or error would
// otherwise take typed input from it, run by the user's shell. The kernel
// reads the request as 32 bits, so only those are compared.
int deny_terminal_input(scmp_filter_ctx filter) {
    int status = 0;
    for (unsigned long request : {TIOCSTI, TIOCLINUX})
        status |= deny(filter, {"ioctl", EPERM, -1},
                       {scmp_arg_cmp{1, SCMP_CMP_MASKED_EQ, 0xffffffffUL, request}});
    return status;
}

void enter_seccomp(sandbox_result &result) {
    scmp_filter_ctx filter = seccomp_init(SCMP_ACT_ALLOW);
    if (!filter) {
        add_missing(result.missing, "seccomp filter (no memory)");
        return;
    }
    // The filter names calls by the native numbers: a call of another ABI
    // (i386's int 0x80, x32's numbers) would mean another call, so it ends
    // the process instead.
    int status = seccomp_attr_set(filter, SCMP_FLTATR_ACT_BADARCH, SCMP_ACT_KILL_PROCESS);
    for (const denial &d : always_denied) status |= deny(filter, d);
    status |= deny_writing_opens(filter);
    status |= deny_namespaced_clones(filter);
    status |= deny_terminal_input(filter);
    // Half a filter is not loaded: what it left out could be what matters.
    if (status == 0) status = seccomp_load(filter);
    if (status == 0)
        result.seccomp = 1;
    else
        add_missing(result.missing, std::string("seccomp filter (") + strerror(-status) + ")");
    seccomp_release(filter);
}

void add_if_there(std::vector<std::string> &trees, const std::string &path) {
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) trees.push_back(path);
}

}  // namespace

std::vector<std::string> system_read_trees() {
    std::vector<std::string> trees;
    // The zone database, where the library's and the C library's zones come
    // from; the user's zone may be a file of another tree, or a copy.
    add_if_there(trees, "/usr/share/zoneinfo");
    if (const char *tzdir = getenv("TZDIR"); tzdir && *tzdir) add_if_there(trees, tzdir);
    add_if_there(trees, "/etc/localtime");
    char target[PATH_MAX];
    if (realpath("/etc/localtime", target)) add_if_there(trees, target);
    // Shared objects loaded on first use (gconv's among them), the locale
    // archive and ICU's data.
    for (const char *lib : {"/usr/lib", "/lib", "/usr/lib64", "/lib64"}) add_if_there(trees, lib);
#ifdef DS_ADDRESS_SANITIZER
    // A sanitizer's report reads /proc/self/maps, and a rule names a fixed
    // directory, not the "self" of processes forked later. Elsewhere /proc
    // stays closed: the engine opens its statm before the sandbox (for its
    // workers' memory limit) and reads it through that descriptor.
    add_if_there(trees, "/proc");
#endif
    return trees;
}

sandbox_result enter_sandbox(const sandbox_paths &paths) {
    sandbox_result result;
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0)
        result.no_new_privs = 1;
    else
        add_missing(result.missing, std::string("no_new_privs (") + strerror(errno) + ")");
    std::vector<std::string> trees = system_read_trees();
    trees.insert(trees.end(), paths.read_trees.begin(), paths.read_trees.end());
    enter_landlock(trees, result);
    enter_seccomp(result);
    return result;
}
