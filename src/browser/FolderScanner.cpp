#include "browser/FolderScanner.h"

#include <QFile>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace flintly {

namespace {

constexpr unsigned kWanted = STATX_TYPE | STATX_MTIME | STATX_SIZE | STATX_BTIME;

QDateTime utc(const struct statx_timestamp& t)
{
    return QDateTime::fromMSecsSinceEpoch(t.tv_sec * 1000 + t.tv_nsec / 1000000, Qt::UTC);
}

// `name` is the file name at the end of `path`.
FileInfo record(const std::string& path, const char* name, const struct statx* sx)
{
    // File names are UTF-8 here (what decodeName does, without its detour).
    const QString p = QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size()));
    if (!sx)
        return FileInfo::fromAttributes(p);
    FileInfo f;
    f.id = FileInfo::newId();
    f.path = p;
    f.name = QString::fromUtf8(name, static_cast<qsizetype>(std::strlen(name)) - 3);  // without ".md"
    f.modifiedDate = (sx->stx_mask & STATX_MTIME) ? utc(sx->stx_mtime) : FileInfo::distantPast();
    f.createdDate = (sx->stx_mask & STATX_BTIME) ? utc(sx->stx_btime) : FileInfo::distantPast();
    f.size = (sx->stx_mask & STATX_SIZE) ? static_cast<qint64>(sx->stx_size) : 0;
    return f;
}

void defaultPause() { std::this_thread::sleep_for(std::chrono::milliseconds(1)); }

}  // namespace

bool hasMarkdownExtension(const char* name)
{
    const char* dot = std::strrchr(name, '.');
    if (!dot || dot == name)
        return false;
    return (dot[1] == 'm' || dot[1] == 'M') && (dot[2] == 'd' || dot[2] == 'D') && dot[3] == '\0';
}

std::vector<FileInfo> scanFolder(const QString& folder, const ScanControl& control)
{
    std::vector<FileInfo> out;
    std::string root = QFile::encodeName(folder).toStdString();
    while (root.size() > 1 && root.back() == '/')
        root.pop_back();
    const auto pause = control.pause ? control.pause : defaultPause;

    // Folders still to walk, one open descriptor at a time however deep the tree is.
    std::vector<std::string> pending{root};
    std::vector<std::string> children;
    std::size_t kept = 0;
    std::string path;  // one buffer for every note's path, not one string each
    while (!pending.empty()) {
        if (control.cancelled && control.cancelled->load(std::memory_order_relaxed))
            return {};
        const std::string dir = std::move(pending.back());
        pending.pop_back();
        const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            continue;
        DIR* d = ::fdopendir(fd);
        if (!d) {
            ::close(fd);
            continue;
        }
        const std::string prefix = dir == "/" ? dir : dir + '/';
        children.clear();
        while (const dirent* e = ::readdir(d)) {
            // Checked per entry, not per folder: one folder may hold a hundred thousand.
            if (control.cancelled && control.cancelled->load(std::memory_order_relaxed)) {
                ::closedir(d);
                return {};
            }
            const char* name = e->d_name;
            if (name[0] == '.')
                continue;
            const bool note = hasMarkdownExtension(name);
            unsigned char type = e->d_type;
            struct statx sx {};
            bool haveStat = false;
            if (type == DT_UNKNOWN || (note && type != DT_LNK)) {
                haveStat = ::statx(fd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, kWanted, &sx) == 0;
                if (type == DT_UNKNOWN && haveStat)
                    type = S_ISDIR(sx.stx_mode) ? DT_DIR : S_ISLNK(sx.stx_mode) ? DT_LNK : DT_REG;
            }
            // A linked note is listed with its target's dates and size.
            if (note && type == DT_LNK)
                haveStat = ::statx(fd, name, AT_NO_AUTOMOUNT, kWanted, &sx) == 0;
            if (note) {
                path.assign(prefix);
                path.append(name);
                out.push_back(record(path, name, haveStat ? &sx : nullptr));
                if (++kept % 100 == 0)
                    pause();
            }
            if (type == DT_DIR)
                children.push_back(prefix + name);
        }
        ::closedir(d);
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            pending.push_back(std::move(*it));
    }
    return out;
}

}  // namespace flintly
