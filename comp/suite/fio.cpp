#include "fio.h"

#include <filesystem>
#include <fcntl.h>
#include <unistd.h>
#include <sys/stat.h>
#include <vector>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <cerrno>
#include <system_error>
#include <dirent.h>
#include <fnmatch.h>
#include <algorithm>
#include <map>
#include <mutex>
#include <atomic>
#include <climits>
#include <csignal>
#include <pthread.h>

namespace fs = std::filesystem;

namespace
{

bool fail_with(std::string* error, const std::string& reason)
{
    if (error)
        *error = reason;
    return false;
}

// Closes the descriptor and returns -1 with errno as it was before.
int close_keeping_errno(int fd)
{
    const int saved_errno = errno;
    ::close(fd);
    errno = saved_errno;
    return -1;
}

// Opens the path with the access (O_RDONLY, O_WRONLY) when it is a file of
// the kind (S_IFREG, S_IFCHR), checked on the descriptor: opened without
// waiting (a FIFO without a writer or a reader would hold the open), then
// made blocking. The descriptor (close-on-exec) with the file's status in
// *record, or -1 with errno set: EINVAL for a file of another kind.
int open_of_kind(const std::string& path, int access, mode_t kind, FIO_STAT* record = nullptr)
{
    const int fd = ::open(path.c_str(), access | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat info;
    if (::fstat(fd, &info) != 0)
        return close_keeping_errno(fd);
    if ((info.st_mode & S_IFMT) != kind)
    {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
        return close_keeping_errno(fd);
    if (record != nullptr)
        *record = info;
    return fd;
}

// The process's umask. /proc/self/status states it; without that line (an
// older kernel, no /proc) umask() has to set it to read it, so the value is
// put back at once, one reader at a time.
mode_t process_umask()
{
    std::string status;
    const size_t line =
        fio_read_regular_file("/proc/self/status", status) ? status.find("\nUmask:") : std::string::npos;
    if (line != std::string::npos)
    {
        const char* digits = status.c_str() + line + std::strlen("\nUmask:");
        char* end = nullptr;
        const long mask = std::strtol(digits, &end, 8);
        if (end != digits && mask >= 0 && mask <= 0777)
            return static_cast<mode_t>(mask);
    }
    static std::mutex lock;
    std::lock_guard<std::mutex> guard(lock);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// The slots of the tracked temporaries. A slot is claimed by the writer
// (state 1) while its path is copied, and published (state 2) once whole, so
// that a signal handler reads only complete paths.
constexpr size_t TEMPORARY_SLOTS = 32;
struct TEMPORARY_SLOT
{
    std::atomic<int> state{0};
    char path[PATH_MAX];
};
TEMPORARY_SLOT g_temporaries[TEMPORARY_SLOTS];

}  // namespace

bool fio_track_temporary(const std::string& path)
{
    if (path.empty() || path.size() >= PATH_MAX)
        return false;
    for (TEMPORARY_SLOT& slot : g_temporaries)
    {
        int free_state = 0;
        if (!slot.state.compare_exchange_strong(free_state, 1))
            continue;
        std::memcpy(slot.path, path.c_str(), path.size() + 1);
        slot.state.store(2);
        return true;
    }
    return false;
}

void fio_untrack_temporary(const std::string& path)
{
    for (TEMPORARY_SLOT& slot : g_temporaries)
    {
        int published = 2;
        if (slot.state.load() == 2 && std::strcmp(slot.path, path.c_str()) == 0 &&
            slot.state.compare_exchange_strong(published, 1))
        {
            slot.state.store(0);
            return;
        }
    }
}

void fio_remove_tracked_temporaries()
{
    for (TEMPORARY_SLOT& slot : g_temporaries)
        if (slot.state.load() == 2)
            ::unlink(slot.path);
}

namespace
{

void split(const std::string& path, std::string& directory, std::string& base, std::string& extension)
{
    size_t slash = path.rfind('/');
    std::string name = path;
    directory.clear();
    if (slash != std::string::npos)
    {
        // The root keeps its slash so that "/x" stays absolute.
        directory = slash == 0 ? std::string("/") : path.substr(0, slash);
        name = path.substr(slash + 1);
    }
    size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0 || name == "..")
    {
        base = name;
        extension.clear();
    }
    else
    {
        base = name.substr(0, dot);
        extension = name.substr(dot + 1);
    }
}

}  // namespace

FIO_PATH::FIO_PATH(const char* path) : FIO_PATH(std::string(path ? path : "")) {}

FIO_PATH::FIO_PATH(const std::string& path) { split(path, m_directory, m_base, m_extension); }

FIO_PATH::FIO_PATH(const std::string& directory, const std::string& base, const std::string& extension)
    : m_directory(directory), m_base(base), m_extension(extension)
{
}

void FIO_PATH::extension(const std::string& extension, const std::string& suffix)
{
    m_extension = extension + suffix;
}

std::string FIO_PATH::filename() const { return m_extension.empty() ? m_base : m_base + "." + m_extension; }

std::string FIO_PATH::text() const
{
    if (m_directory.empty())
        return filename();
    if (m_directory.back() == '/')
        return m_directory + filename();
    return m_directory + "/" + filename();
}

std::string FIO_PATH::fullpath() const { return fio_get_unc_full_path(text().c_str()); }

bool FIO_FILE_SYSTEM::exists(const FIO_PATH& path)
{
    std::error_code ec;
    return fs::exists(path.text(), ec);
}

bool FIO_FILE_SYSTEM::is_directory(const FIO_PATH& path)
{
    std::error_code ec;
    return fs::is_directory(path.text(), ec);
}

bool FIO_FILE_SYSTEM::status(const FIO_PATH& path, FIO_FILE_STATUS& status)
{
    std::error_code ec;
    if (!fs::is_regular_file(path.text(), ec) || ec)
        return false;
    const uintmax_t size = fs::file_size(path.text(), ec);
    if (ec)
        return false;
    status.size = static_cast<uint64_t>(size);
    return true;
}

std::string FIO_FILE_SYSTEM::get_current_directory()
{
    std::error_code ec;
    fs::path directory = fs::current_path(ec);
    return ec ? std::string() : directory.string();
}

std::string fio_get_unc_full_path(const char* name)
{
    std::error_code ec;
    fs::path absolute = fs::absolute(fs::path(name ? name : ""), ec);
    if (ec)
        return name ? name : "";
    return absolute.lexically_normal().string();
}

int fio_create_temporary(const std::string& path, std::string* temporary)
{
    const size_t slash = path.rfind('/');
    const size_t name = slash == std::string::npos ? 0 : slash + 1;
    if (name == path.size())
    {
        errno = EINVAL;
        return -1;
    }
    std::string pattern = path.substr(0, name) + "." + path.substr(name) + ".XXXXXX";
    // The file is made and tracked with the ending signals held back, so
    // that a signal never finds it made but not yet tracked. A file that
    // cannot be tracked (every slot taken) is not kept.
    sigset_t ending, previous;
    sigemptyset(&ending);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGPIPE})
        sigaddset(&ending, signal);
    pthread_sigmask(SIG_BLOCK, &ending, &previous);
    int fd = ::mkostemp(&pattern[0], O_CLOEXEC);
    int saved = errno;
    if (fd >= 0 && !fio_track_temporary(pattern))
    {
        ::unlink(pattern.c_str());
        ::close(fd);
        fd = -1;
        saved = EAGAIN;
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = saved;
    if (fd < 0)
        return -1;
    if (temporary != nullptr)
        *temporary = pattern;
    return fd;
}

bool fio_set_replacement_mode(int fd, const std::string& path)
{
    struct stat existing;
    const bool replaces = ::stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);
    // The file keeps its owner where the process may give it (as root);
    // elsewhere the new file stays the process's own. Before the mode: a
    // change of owner clears the set-id bits.
    if (replaces)
    {
        [[maybe_unused]] const int kept = ::fchown(fd, existing.st_uid, existing.st_gid);
    }
    return ::fchmod(fd, replaces ? existing.st_mode & 07777 : 0666 & ~process_umask()) == 0;
}

int fio_open_regular_file(const std::string& path, FIO_STAT* record)
{
    return open_of_kind(path, O_RDONLY, S_IFREG, record);
}

bool fio_read_regular_file(const std::string& path, std::string& bytes, std::string* error)
{
    FIO_STAT info;
    const int fd = fio_open_regular_file(path, &info);
    if (fd < 0)
        return fail_with(error, "cannot read '" + path + "': " +
                                    (errno == EINVAL ? std::string("not a regular file") : std::strerror(errno)));
    bytes.clear();
    bytes.reserve(static_cast<size_t>(info.st_size));
    char buffer[1 << 16];
    for (;;)
    {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
        {
            const std::string reason = std::strerror(errno);
            ::close(fd);
            return fail_with(error, "cannot read '" + path + "': " + reason);
        }
        if (n == 0)
            break;
        bytes.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return true;
}

namespace
{

// Writes the whole buffer; 0, or the errno of the write that failed.
int write_all(int fd, const char* data, size_t size)
{
    while (size > 0)
    {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return written < 0 ? errno : EIO;
        data += written;
        size -= static_cast<size_t>(written);
    }
    return 0;
}

// The step of replace_through_temporary that failed.
enum class REPLACE_STEP
{
    CREATE,
    FILL,
    RENAME,
};

// Fills a new temporary beside the path (fill takes its descriptor and
// returns 0 or the errno of its failure; closing the temporary counts as
// filling it) and renames it over the path. 0, or the errno of the step that
// failed, named in *failed; the temporary is never left behind.
template <typename FILL>
int replace_through_temporary(const std::string& path, FILL fill, REPLACE_STEP* failed)
{
    std::string temporary;
    const int fd = fio_create_temporary(path, &temporary);
    if (fd < 0)
    {
        *failed = REPLACE_STEP::CREATE;
        return errno;
    }
    int failure = fill(fd);
    if (::close(fd) != 0 && failure == 0)
        failure = errno;
    *failed = REPLACE_STEP::FILL;
    if (failure == 0 && std::rename(temporary.c_str(), path.c_str()) != 0)
    {
        failure = errno;
        *failed = REPLACE_STEP::RENAME;
    }
    if (failure != 0)
        std::remove(temporary.c_str());
    fio_untrack_temporary(temporary);
    return failure;
}

}  // namespace

bool fio_write_file_atomically(const std::string& path, const std::string& bytes, std::string* error)
{
    const size_t slash = path.rfind('/');
    if (path.size() == (slash == std::string::npos ? 0 : slash + 1))
        return fail_with(error, "no file name in '" + path + "'");
    // Only a regular file or a new name is replaced. A character device
    // (/dev/null) is written as it stands, as a plain open would; anything
    // else (a directory, a FIFO, a socket, a block device) is refused
    // without waiting.
    struct stat existing;
    if (::stat(path.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode))
    {
        if (!S_ISCHR(existing.st_mode))
            return fail_with(error, "cannot write '" + path + "': neither a regular file nor a character device");
        const int fd = open_of_kind(path, O_WRONLY, S_IFCHR);
        int failure = fd < 0 ? errno : write_all(fd, bytes.data(), bytes.size());
        if (fd >= 0 && ::close(fd) != 0 && failure == 0)
            failure = errno;
        return failure == 0 || fail_with(error, "cannot write '" + path + "': " + std::strerror(failure));
    }
    REPLACE_STEP failed;
    const int failure = replace_through_temporary(
        path,
        [&](int fd) {
            // The reason of the first call that fails: the mode or a write.
            if (!fio_set_replacement_mode(fd, path))
                return errno;
            return write_all(fd, bytes.data(), bytes.size());
        },
        &failed);
    if (failure == 0)
        return true;
    switch (failed)
    {
    case REPLACE_STEP::CREATE:
        return fail_with(error, "cannot create a temporary file for '" + path + "': " + std::strerror(failure));
    case REPLACE_STEP::FILL:
        return fail_with(error, "cannot write '" + path + "': " + std::strerror(failure));
    case REPLACE_STEP::RENAME:
        break;
    }
    return fail_with(error, "cannot rename into '" + path + "': " + std::strerror(failure));
}

bool fio_copy_regular_file(const std::string& source, const std::string& target, std::string* error)
{
    FIO_STAT record;
    const int in = fio_open_regular_file(source, &record);
    if (in < 0)
        return fail_with(error, errno == EINVAL ? std::string("not a regular file") : std::strerror(errno));
    REPLACE_STEP failed;
    const int failure = replace_through_temporary(
        target,
        [&](int out) {
            if (::fchmod(out, record.st_mode & 07777) != 0)
                return errno;
            char buffer[1 << 16];
            for (;;)
            {
                const ssize_t n = ::read(in, buffer, sizeof buffer);
                if (n < 0 && errno == EINTR)
                    continue;
                if (n <= 0)
                    return n < 0 ? errno : 0;
                if (const int written = write_all(out, buffer, static_cast<size_t>(n)))
                    return written;
            }
        },
        &failed);
    ::close(in);
    return failure == 0 || fail_with(error, std::strerror(failure));
}

void FIO_PATH::extension(int kind, int version)
{
    m_extension = fio_get_extension(static_cast<FIO_EXTENSION_TYPE>(kind));
    if (!m_extension.empty() && version >= 0)
        m_extension += std::to_string(version);
}

void FIO_PATH::filename(const std::string& name)
{
    std::string directory;
    split(name, directory, m_base, m_extension);
}

void FIO_PATH::become_simplified()
{
    const std::string path = text();
    if (path.empty())
        return;
    std::string normal = fs::path(path).lexically_normal().string();
    // "dir/" (a directory named with its slash) keeps no trailing slash.
    if (normal.size() > 1 && normal.back() == '/')
        normal.pop_back();
    split(normal, m_directory, m_base, m_extension);
}

void FIO_PATH::become_absolute(const FIO_PATH& base)
{
    if (absolute())
        return;
    const std::string from = base.empty() ? FIO_FILE_SYSTEM::get_current_directory() : base.fullpath();
    split((fs::path(from) / text()).lexically_normal().string(), m_directory, m_base, m_extension);
}

bool FIO_FILE_SYSTEM::status(const char* name, FIO_STAT* record)
{
    if (name == nullptr || record == nullptr)
        return false;
    return ::stat(name, record) == 0;
}

namespace
{

// The open listings, by handle. Handles start above 1: -1 is the failure
// and 0 and 1 are never given.
struct FIND_TABLE
{
    std::mutex lock;
    intptr_t next_handle = 2;
    std::map<intptr_t, std::pair<std::vector<FIO_FINDDATA>, size_t>> listings;
};

FIND_TABLE& find_table()
{
    static FIND_TABLE table;
    return table;
}

}  // namespace

intptr_t FIO_FILE_SYSTEM::findfirst(const char* pattern, FIO_FINDDATA* data)
{
    if (pattern == nullptr || data == nullptr)
        return -1;
    const std::string text(pattern);
    const size_t slash = text.rfind('/');
    const std::string directory = slash == std::string::npos ? "." : (slash == 0 ? "/" : text.substr(0, slash));
    const std::string name_pattern = slash == std::string::npos ? text : text.substr(slash + 1);

    DIR* dir = ::opendir(directory.c_str());
    if (dir == nullptr)
        return -1;
    std::vector<FIO_FINDDATA> entries;
    while (const dirent* entry = ::readdir(dir))
    {
        if (::fnmatch(name_pattern.c_str(), entry->d_name, 0) != 0)
            continue;
        FIO_FINDDATA found;
        found.name = entry->d_name;
        std::error_code ec;
        found.attrib = fs::is_directory(fs::path(directory) / found.name, ec) ? FIO_ATTRIBUTE_DIRECTORY : 0;
        entries.push_back(found);
    }
    ::closedir(dir);
    // In name order, whatever order the file system keeps.
    std::sort(entries.begin(), entries.end(),
              [](const FIO_FINDDATA& a, const FIO_FINDDATA& b) { return a.name < b.name; });
    if (entries.empty())
        return -1;

    *data = entries.front();
    FIND_TABLE& table = find_table();
    std::lock_guard<std::mutex> guard(table.lock);
    const intptr_t handle = table.next_handle++;
    table.listings[handle] = std::make_pair(std::move(entries), size_t(1));
    return handle;
}

int FIO_FILE_SYSTEM::findnext(intptr_t handle, FIO_FINDDATA* data)
{
    FIND_TABLE& table = find_table();
    std::lock_guard<std::mutex> guard(table.lock);
    auto it = table.listings.find(handle);
    if (it == table.listings.end() || data == nullptr || it->second.second >= it->second.first.size())
        return -1;
    *data = it->second.first[it->second.second++];
    return 0;
}

int FIO_FILE_SYSTEM::findclose(intptr_t handle)
{
    FIND_TABLE& table = find_table();
    std::lock_guard<std::mutex> guard(table.lock);
    return table.listings.erase(handle) == 1 ? 0 : -1;
}

std::string fio_get_extension(FIO_EXTENSION_TYPE type)
{
    switch (type)
    {
    case FIO_EXTENSION_TCL:
        return "tcl";
    case FIO_EXTENSION_SETTINGS:
        return "zsf";
    case FIO_EXTENSION_KIND_SLD:
        return "sld";
    default:
        return std::string();
    }
}

void FIO_PATH::cd(const std::string& directory)
{
    if (directory.empty())
        return;
    if (directory[0] == '/' || m_directory.empty())
        m_directory = directory;
    else if (m_directory.back() == '/')
        m_directory += directory;
    else
        m_directory += "/" + directory;
}
