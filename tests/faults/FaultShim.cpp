// A shim preloaded into a process (LD_PRELOAD) that makes the system calls of chosen
// paths fail, wait, or kill the process, so tests can see what the app does when the
// disk does not cooperate. Rules and their syntax: tests/faults/README.md.
//
// Everything the shim itself does with files goes through raw system calls, never
// through the functions it replaces, and it allocates nothing: it runs inside open()
// and write() of every thread, Qt's and Chromium's included.
#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dlfcn.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

enum class Call { open, fsync, write, rename };
enum class Action { none, fail, kill, killAfter, hold };

struct Rule {
    Call call;
    Action action;
    int error;
    long remaining;  // < 0: every time
    char glob[480];
};

constexpr int kMaxRules = 32;
constexpr std::size_t kMaxPath = 4096;

struct State {
    pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
    Rule rules[kMaxRules];
    int count = 0;
    bool loaded = false;
    struct stat seen {};  // the rules file as last read
};
State g;
thread_local int t_inside = 0;

const struct {
    const char* name;
    int value;
} kErrors[] = {{"EIO", EIO},         {"EDQUOT", EDQUOT}, {"ENOSPC", ENOSPC}, {"EACCES", EACCES},
               {"EPERM", EPERM},     {"EROFS", EROFS},   {"ENOENT", ENOENT}, {"EEXIST", EEXIST},
               {"EINTR", EINTR},     {"EAGAIN", EAGAIN}, {"EFBIG", EFBIG},   {"EXDEV", EXDEV},
               {"EBUSY", EBUSY},     {"ENOMEM", ENOMEM}, {"EMFILE", EMFILE}, {"ENAMETOOLONG", ENAMETOOLONG},
               {"ETXTBSY", ETXTBSY}, {"EINVAL", EINVAL}};

int rawOpen(const char* path, int flags, mode_t mode = 0)
{
    return static_cast<int>(syscall(SYS_openat, AT_FDCWD, path, flags | O_CLOEXEC, mode));
}
void rawClose(int fd) { syscall(SYS_close, fd); }
void rawWrite(int fd, const char* s, std::size_t n) { syscall(SYS_write, fd, s, n); }
bool rawStat(const char* path, struct stat* st) { return syscall(SYS_newfstatat, AT_FDCWD, path, st, 0) == 0; }

const char* rulesFile()
{
    const char* f = std::getenv("FLINTLY_FAULTS_FILE");
    return f && *f ? f : nullptr;
}

// "<rules file><suffix>", or nothing without a rules file.
bool besideRules(const char* suffix, char* out, std::size_t size)
{
    const char* f = rulesFile();
    return f && std::snprintf(out, size, "%s%s", f, suffix) < static_cast<int>(size);
}

void note(const char* what, const char* path)
{
    char line[kMaxPath + 64];
    const int n = std::snprintf(line, sizeof line, "%s %s\n", what, path);
    char log[kMaxPath];
    const int fd = besideRules(".log", log, sizeof log) ? rawOpen(log, O_WRONLY | O_CREAT | O_APPEND, 0644) : -1;
    const std::size_t length = n < 0 ? 0 : (static_cast<std::size_t>(n) < sizeof line ? n : sizeof line - 1);
    rawWrite(fd >= 0 ? fd : 2, line, length);
    if (fd >= 0)
        rawClose(fd);
}

bool parseLine(char* line, Rule* rule)
{
    char* save = nullptr;
    char* call = strtok_r(line, " \t", &save);
    char* glob = strtok_r(nullptr, " \t", &save);
    char* action = strtok_r(nullptr, " \t", &save);
    char* count = strtok_r(nullptr, " \t", &save);
    if (!call || !glob || !action || std::strlen(glob) >= sizeof rule->glob)
        return false;
    if (!std::strcmp(call, "open"))
        rule->call = Call::open;
    else if (!std::strcmp(call, "fsync"))
        rule->call = Call::fsync;
    else if (!std::strcmp(call, "write"))
        rule->call = Call::write;
    else if (!std::strcmp(call, "rename"))
        rule->call = Call::rename;
    else
        return false;
    rule->error = 0;
    if (!std::strcmp(action, "kill"))
        rule->action = Action::kill;
    else if (!std::strcmp(action, "kill-after"))
        rule->action = Action::killAfter;
    else if (!std::strcmp(action, "hold"))
        rule->action = Action::hold;
    else {
        rule->action = Action::fail;
        for (const auto& e : kErrors)
            if (!std::strcmp(action, e.name))
                rule->error = e.value;
        if (rule->error == 0)
            return false;
    }
    rule->remaining = count ? std::strtol(count, nullptr, 10) : -1;
    std::strcpy(rule->glob, glob);
    return true;
}

// Rules are separated by line breaks or ';'; '#' starts a comment.
void parse(char* text)
{
    char* save = nullptr;
    for (char* line = strtok_r(text, "\n;", &save); line && g.count < kMaxRules;
         line = strtok_r(nullptr, "\n;", &save)) {
        if (char* hash = std::strchr(line, '#'))
            *hash = '\0';
        if (parseLine(line, &g.rules[g.count]))
            ++g.count;
    }
}

// Under the mutex: reads the rules again if the file changed since (or came or went).
void refresh()
{
    const char* file = rulesFile();
    struct stat st {};
    const bool exists = file && rawStat(file, &st);
    if (g.loaded && exists == (g.seen.st_ino != 0)
        && (!exists
            || (st.st_ino == g.seen.st_ino && st.st_size == g.seen.st_size && st.st_mtim.tv_sec == g.seen.st_mtim.tv_sec
                && st.st_mtim.tv_nsec == g.seen.st_mtim.tv_nsec)))
        return;
    g.loaded = true;
    const struct stat none {};
    g.seen = exists ? st : none;
    g.count = 0;
    static char text[16384];
    if (const char* inline_ = std::getenv("FLINTLY_FAULTS")) {
        std::snprintf(text, sizeof text, "%s", inline_);
        parse(text);
    }
    if (exists) {
        const int fd = rawOpen(file, O_RDONLY);
        if (fd >= 0) {
            const long n = syscall(SYS_read, fd, text, sizeof text - 1);
            rawClose(fd);
            text[n > 0 ? n : 0] = '\0';
            parse(text);
        }
    }
}

bool anyRules() { return std::getenv("FLINTLY_FAULTS") || rulesFile(); }

// The action for this call on these paths; `take` spends one of a counted rule's hits.
Rule find(Call call, const char* a, const char* b, bool take)
{
    Rule found{call, Action::none, 0, 0, {}};
    pthread_mutex_lock(&g.mutex);
    refresh();
    for (int i = 0; i < g.count; ++i) {
        Rule& r = g.rules[i];
        if (r.call != call || r.remaining == 0)
            continue;
        if ((a && fnmatch(r.glob, a, 0) == 0) || (b && fnmatch(r.glob, b, 0) == 0)) {
            found = r;
            if (take && r.remaining > 0)
                --r.remaining;
            break;
        }
    }
    pthread_mutex_unlock(&g.mutex);
    return found;
}

const char* callName(Call c)
{
    switch (c) {
    case Call::open: return "open";
    case Call::fsync: return "fsync";
    case Call::write: return "write";
    case Call::rename: return "rename";
    }
    return "?";
}

// What to do before the real call: false means fail with errno set. `after` is set
// when the process is to die right after the call.
bool admit(Call call, const char* a, const char* b, bool* after)
{
    *after = false;
    if (t_inside || !anyRules())
        return true;
    ++t_inside;
    const Rule r = find(call, a, b, true);
    char what[64];
    bool go = true;
    switch (r.action) {
    case Action::none: break;
    case Action::fail:
        std::snprintf(what, sizeof what, "%s %d", callName(call), r.error);
        note(what, a);
        errno = r.error;
        go = false;
        break;
    case Action::kill:
        note(callName(call), a);
        note("kill", a);
        syscall(SYS_kill, getpid(), SIGKILL);
        break;
    case Action::killAfter:
        note(callName(call), a);
        *after = true;
        break;
    case Action::hold: {
        // Until the rule is taken out of the file; the test sees ".held" meanwhile.
        note("hold", a);
        char held[kMaxPath];
        if (besideRules(".held", held, sizeof held)) {
            const int fd = rawOpen(held, O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd >= 0) {
                rawWrite(fd, a, std::strlen(a));
                rawClose(fd);
            }
        }
        const struct timespec tick {
            0, 10'000'000
        };
        while (find(call, a, b, false).action == Action::hold)
            nanosleep(&tick, nullptr);
        if (besideRules(".held", held, sizeof held))
            syscall(SYS_unlinkat, AT_FDCWD, held, 0);
        note("released", a);
        break;
    }
    }
    --t_inside;
    return go;
}

void killNow(const char* path)
{
    note("kill", path);
    syscall(SYS_kill, getpid(), SIGKILL);
}

// The path of `name` as the kernel will see it (relative to `dirfd`), for matching.
const char* absolute(int dirfd, const char* name, char* out)
{
    if (!name || name[0] == '/')
        return name;
    char base[kMaxPath];
    if (dirfd == AT_FDCWD) {
        if (!getcwd(base, sizeof base))
            return name;
    } else {
        char link[64];
        std::snprintf(link, sizeof link, "/proc/self/fd/%d", dirfd);
        const long n = syscall(SYS_readlinkat, AT_FDCWD, link, base, sizeof base - 1);
        if (n <= 0)
            return name;
        base[n] = '\0';
    }
    const int n = std::snprintf(out, kMaxPath, "%s/%s", base, name);
    return n > 0 && static_cast<std::size_t>(n) < kMaxPath ? out : name;
}

const char* pathOfFd(int fd, char* out)
{
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const long n = syscall(SYS_readlinkat, AT_FDCWD, link, out, kMaxPath - 1);
    out[n > 0 ? n : 0] = '\0';
    return out;
}

template <typename F> F real(const char* name) { return reinterpret_cast<F>(dlsym(RTLD_NEXT, name)); }

bool takesMode(int flags) { return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE; }

int openPath(int dirfd, const char* path, int flags, mode_t mode)
{
    char full[kMaxPath];
    bool after = false;
    if (!admit(Call::open, absolute(dirfd, path, full), nullptr, &after))
        return -1;
    using OpenAt = int (*)(int, const char*, int, ...);
    static const OpenAt openat64Real = real<OpenAt>("openat64");
    const int fd = openat64Real(dirfd, path, flags, mode);
    if (after)
        killNow(path);
    return fd;
}

template <typename F, typename... Args> int makeTemporary(const char* name, char* templ, Args... args)
{
    char full[kMaxPath];
    bool after = false;
    if (!admit(Call::open, absolute(AT_FDCWD, templ, full), nullptr, &after))
        return -1;
    const int fd = real<F>(name)(templ, args...);
    if (after)
        killNow(templ);
    return fd;
}

int syncFd(int fd, const char* name)
{
    bool after = false;
    char path[kMaxPath] = "";
    if (anyRules() && !t_inside)
        pathOfFd(fd, path);
    if (!admit(Call::fsync, path, nullptr, &after))
        return -1;
    using Sync = int (*)(int);
    const Sync f = real<Sync>(name);
    const int rc = f(fd);
    if (after)
        killNow(path);
    return rc;
}

bool admitWrite(int fd, bool* after)
{
    *after = false;
    if (t_inside || !anyRules())
        return true;
    // Writes are many: the descriptor's path is looked up only when a rule is about writes.
    bool any = false;
    pthread_mutex_lock(&g.mutex);
    refresh();
    for (int i = 0; i < g.count && !any; ++i)
        any = g.rules[i].call == Call::write;
    pthread_mutex_unlock(&g.mutex);
    if (!any)
        return true;
    char path[kMaxPath];
    return admit(Call::write, pathOfFd(fd, path), nullptr, after);
}

int renamePaths(int fromDir, const char* from, int toDir, const char* to, unsigned flags)
{
    char a[kMaxPath], b[kMaxPath];
    bool after = false;
    if (!admit(Call::rename, absolute(fromDir, from, a), absolute(toDir, to, b), &after))
        return -1;
    using RenameAt2 = int (*)(int, const char*, int, const char*, unsigned);
    static const RenameAt2 f = real<RenameAt2>("renameat2");
    const int rc = f(fromDir, from, toDir, to, flags);
    if (after)
        killNow(to);
    return rc;
}

}  // namespace

extern "C" {

int open(const char* path, int flags, ...)
{
    mode_t mode = 0;
    if (takesMode(flags)) {
        va_list ap;
        va_start(ap, flags);
        mode = va_arg(ap, mode_t);
        va_end(ap);
    }
    return openPath(AT_FDCWD, path, flags, mode);
}

int open64(const char* path, int flags, ...)
{
    mode_t mode = 0;
    if (takesMode(flags)) {
        va_list ap;
        va_start(ap, flags);
        mode = va_arg(ap, mode_t);
        va_end(ap);
    }
    return openPath(AT_FDCWD, path, flags, mode);
}

int openat(int dirfd, const char* path, int flags, ...)
{
    mode_t mode = 0;
    if (takesMode(flags)) {
        va_list ap;
        va_start(ap, flags);
        mode = va_arg(ap, mode_t);
        va_end(ap);
    }
    return openPath(dirfd, path, flags, mode);
}

int openat64(int dirfd, const char* path, int flags, ...)
{
    mode_t mode = 0;
    if (takesMode(flags)) {
        va_list ap;
        va_start(ap, flags);
        mode = va_arg(ap, mode_t);
        va_end(ap);
    }
    return openPath(dirfd, path, flags, mode);
}

// glibc creates these files with its own, internal open: they are caught here, by the
// template's path.
int mkstemp(char* templ) { return makeTemporary<int (*)(char*)>("mkstemp", templ); }
int mkstemp64(char* templ) { return makeTemporary<int (*)(char*)>("mkstemp64", templ); }
int mkostemp(char* templ, int flags) { return makeTemporary<int (*)(char*, int)>("mkostemp", templ, flags); }
int mkostemp64(char* templ, int flags) { return makeTemporary<int (*)(char*, int)>("mkostemp64", templ, flags); }

int fsync(int fd) { return syncFd(fd, "fsync"); }
int fdatasync(int fd) { return syncFd(fd, "fdatasync"); }

ssize_t write(int fd, const void* buf, size_t n)
{
    bool after = false;
    if (!admitWrite(fd, &after))
        return -1;
    using Write = ssize_t (*)(int, const void*, size_t);
    static const Write f = real<Write>("write");
    const ssize_t rc = f(fd, buf, n);
    if (after)
        killNow("write");
    return rc;
}

ssize_t pwrite64(int fd, const void* buf, size_t n, off_t at)
{
    bool after = false;
    if (!admitWrite(fd, &after))
        return -1;
    using PWrite = ssize_t (*)(int, const void*, size_t, off_t);
    static const PWrite f = real<PWrite>("pwrite64");
    const ssize_t rc = f(fd, buf, n, at);
    if (after)
        killNow("pwrite");
    return rc;
}

ssize_t pwrite(int fd, const void* buf, size_t n, off_t at) { return pwrite64(fd, buf, n, at); }

ssize_t writev(int fd, const struct iovec* iov, int count)
{
    bool after = false;
    if (!admitWrite(fd, &after))
        return -1;
    using WriteV = ssize_t (*)(int, const struct iovec*, int);
    static const WriteV f = real<WriteV>("writev");
    const ssize_t rc = f(fd, iov, count);
    if (after)
        killNow("writev");
    return rc;
}

int rename(const char* from, const char* to) { return renamePaths(AT_FDCWD, from, AT_FDCWD, to, 0); }
int renameat(int fromDir, const char* from, int toDir, const char* to)
{
    return renamePaths(fromDir, from, toDir, to, 0);
}
int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned flags)
{
    return renamePaths(fromDir, from, toDir, to, flags);
}

}  // extern "C"
