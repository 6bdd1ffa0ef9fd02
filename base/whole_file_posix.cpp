// The safe save on POSIX systems; Windows has its own in the Win32 layer.
#include "base/text_file.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char TEMPORARY_NAME[] = "/.elemtrix-XXXXXX";
constexpr int MAX_LINKS = 40; // as the kernel allows before ELOOP

// The file that a chain of symbolic links leads to, also when it does not exist yet.
bool final_path(const char *path, std::string &target) {
    target = path;
    for (int links = 0; links < MAX_LINKS; ++links) {
        struct stat s;
        if (lstat(target.c_str(), &s) != 0 || !S_ISLNK(s.st_mode))
            return true;
        std::string next(static_cast<std::size_t>(s.st_size) + 1, '\0');
        const ssize_t length = readlink(target.c_str(), &next[0], next.size());
        if (length < 0 || static_cast<std::size_t>(length) >= next.size())
            return false;
        next.resize(static_cast<std::size_t>(length));
        const std::size_t slash = target.rfind('/');
        if (next[0] != '/' && slash != std::string::npos)
            next = target.substr(0, slash + 1) + next;
        target = next;
    }
    return false;
}

std::string folder_of(const std::string &path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

bool write_all(int fd, const char *bytes, std::size_t size) {
    for (std::size_t done = 0; done < size;) {
        const ssize_t part = write(fd, bytes + done, size - done);
        if (part < 0 && errno == EINTR)
            continue;
        if (part <= 0)
            return false;
        done += static_cast<std::size_t>(part);
    }
    return true;
}

mode_t new_file_mode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// The rename is on disk only once the folder is.
void sync_folder(const std::string &folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

} // namespace

bool wt_save_whole_file(const char *path, const char *bytes, std::size_t size) {
    std::string target;
    if (!final_path(path, target))
        return false;
    struct stat old;
    const bool exists = stat(target.c_str(), &old) == 0;
    // Root may write anything: a file without write bits counts as read-only all the same.
    if (exists && (!S_ISREG(old.st_mode) || !(old.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) ||
                   access(target.c_str(), W_OK) != 0))
        return false;
    const std::string folder = folder_of(target);
    std::string temporary = folder + TEMPORARY_NAME;
    const int fd = mkstemp(&temporary[0]);
    if (fd < 0)
        return false;
    bool saved = fchmod(fd, exists ? old.st_mode & 07777 : new_file_mode()) == 0 &&
                 write_all(fd, bytes, size) && fsync(fd) == 0;
    saved = close(fd) == 0 && saved;
    saved = saved && rename(temporary.c_str(), target.c_str()) == 0;
    if (saved)
        sync_folder(folder);
    else
        unlink(temporary.c_str());
    return saved;
}
