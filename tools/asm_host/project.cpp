#include "project.h"

#include <fio.h>

#include <dbcm.h>
#include <msg.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <system_error>

namespace fs = std::filesystem;

namespace
{

// Whether the path is the directory itself or lies inside it (both
// normalised and absolute).
bool is_within(const fs::path& path, const fs::path& directory)
{
    auto d = directory.begin();
    auto p = path.begin();
    for (; d != directory.end(); ++d, ++p)
    {
        if (d->empty())
            continue;  // the trailing empty element of "dir/"
        if (p == path.end() || *p != *d)
            return false;
    }
    return true;
}

// The path without trailing separators ("out/" is "out"); the root stays.
fs::path without_trailing_separator(const fs::path& path)
{
    fs::path result = path;
    while (!result.empty() && result.filename().empty() && result != result.root_path())
        result = result.parent_path();
    return result;
}

fs::path normalised(const fs::path& path)
{
    std::error_code ec;
    fs::path result = fs::weakly_canonical(fs::absolute(path), ec);
    if (ec)
        throw PROJECT_ERROR(path.string() + ": " + ec.message());
    return result;
}

// mkdir that fails when the directory exists: a project directory is never
// shared with an earlier run.
bool make_new_directory(const fs::path& directory)
{
    if (::mkdir(directory.c_str(), 0777) == 0)
        return true;
    if (errno == EEXIST)
        return false;
    throw PROJECT_ERROR(directory.string() + ": cannot create the directory: " + std::strerror(errno));
}

// A 64-bit digest of a file's bytes (the XXH64 algorithm, seed 0): 32 bytes
// a step in four lanes, read in blocks of 1 MiB, so that a large file costs
// little more than reading it.
class DIGEST
{
public:
    void update(const unsigned char* data, size_t size)
    {
        m_total += size;
        // Blocks are multiples of 32 bytes but the last: only the last has a
        // tail.
        for (; size >= 32; data += 32, size -= 32)
        {
            m_lanes[0] = round(m_lanes[0], read64(data));
            m_lanes[1] = round(m_lanes[1], read64(data + 8));
            m_lanes[2] = round(m_lanes[2], read64(data + 16));
            m_lanes[3] = round(m_lanes[3], read64(data + 24));
        }
        m_tail.assign(data, data + size);
    }

    uint64_t finish() const
    {
        uint64_t hash;
        if (m_total >= 32)
        {
            hash = rotl(m_lanes[0], 1) + rotl(m_lanes[1], 7) + rotl(m_lanes[2], 12) + rotl(m_lanes[3], 18);
            for (uint64_t lane : m_lanes)
                hash = (hash ^ round(0, lane)) * PRIME1 + PRIME4;
        }
        else
        {
            hash = PRIME5;
        }
        hash += m_total;
        const unsigned char* p = m_tail.data();
        size_t left = m_tail.size();
        for (; left >= 8; p += 8, left -= 8)
            hash = rotl(hash ^ round(0, read64(p)), 27) * PRIME1 + PRIME4;
        if (left >= 4)
        {
            hash = rotl(hash ^ (static_cast<uint64_t>(read32(p)) * PRIME1), 23) * PRIME2 + PRIME3;
            p += 4;
            left -= 4;
        }
        for (; left > 0; ++p, --left)
            hash = rotl(hash ^ (*p * PRIME5), 11) * PRIME1;
        hash ^= hash >> 33;
        hash *= PRIME2;
        hash ^= hash >> 29;
        hash *= PRIME3;
        hash ^= hash >> 32;
        return hash;
    }

private:
    static constexpr uint64_t PRIME1 = 0x9E3779B185EBCA87ull;
    static constexpr uint64_t PRIME2 = 0xC2B2AE3D27D4EB4Full;
    static constexpr uint64_t PRIME3 = 0x165667B19E3779F9ull;
    static constexpr uint64_t PRIME4 = 0x85EBCA77C2B2AE63ull;
    static constexpr uint64_t PRIME5 = 0x27D4EB2F165667C5ull;

    static uint64_t rotl(uint64_t x, int r) { return (x << r) | (x >> (64 - r)); }
    static uint64_t round(uint64_t lane, uint64_t input) { return rotl(lane + input * PRIME2, 31) * PRIME1; }
    // Little-endian, whatever the machine.
    static uint64_t read64(const unsigned char* p)
    {
        uint64_t value = 0;
        for (int i = 7; i >= 0; --i)
            value = (value << 8) | p[i];
        return value;
    }
    static uint32_t read32(const unsigned char* p)
    {
        return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
               (static_cast<uint32_t>(p[3]) << 24);
    }

    uint64_t m_lanes[4] = {PRIME1 + PRIME2, PRIME2, 0, 0 - PRIME1};
    uint64_t m_total = 0;
    std::vector<unsigned char> m_tail;
};

// The digest of the file behind the descriptor, read to its end; the
// descriptor is closed.
uint64_t digest_of(int fd, const fs::path& file)
{
    std::vector<unsigned char> buffer(1 << 20);
    DIGEST digest;
    for (;;)
    {
        // Fill the whole block: only the file's last block may be short.
        size_t filled = 0;
        while (filled < buffer.size())
        {
            const ssize_t n = ::read(fd, buffer.data() + filled, buffer.size() - filled);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
            {
                ::close(fd);
                throw PROJECT_ERROR(file.string() + ": cannot read the file: " + std::strerror(errno));
            }
            if (n == 0)
                break;
            filled += static_cast<size_t>(n);
        }
        digest.update(buffer.data(), filled);
        if (filled < buffer.size())
            break;
    }
    ::close(fd);
    return digest.finish();
}

// The outermost of the directories that create_directories would make for
// the path; empty when the path exists.
fs::path first_missing_directory(const fs::path& path)
{
    std::error_code ec;
    fs::path missing;
    for (fs::path each = path; !each.empty() && !fs::exists(each, ec); each = each.parent_path())
    {
        missing = each;
        if (each == each.parent_path())
            break;
    }
    return missing;
}

// Makes the directory and its missing parents; the outermost one made goes
// to *first_created (unless one was made before).
void create_directories(const fs::path& directory, fs::path* first_created, std::error_code& ec)
{
    const fs::path missing = first_missing_directory(directory);
    fs::create_directories(directory, ec);
    if (first_created != nullptr && first_created->empty())
        *first_created = missing;
}

}  // namespace

void check_project_directory(const fs::path& requested_path, const fs::path& default_parent,
                             const fs::path& design_directory)
{
    const fs::path design = normalised(design_directory);
    const fs::path requested = without_trailing_separator(requested_path);
    std::error_code ec;
    if (!requested.empty())
    {
        // "x/../y" leads nowhere while x is missing, whatever the path
        // comes to on paper.
        fs::path prefix;
        for (const fs::path& element : requested)
        {
            if (element == ".." && !prefix.empty() && !fs::is_directory(prefix, ec))
                throw PROJECT_ERROR(requested.string() + ": " + prefix.string() + " does not exist");
            prefix /= element;
        }
        const fs::path target = normalised(requested);
        if (is_within(target, design))
            throw PROJECT_ERROR(requested.string() + ": the project directory cannot lie inside the design directory");
        if (fs::exists(target, ec) || fs::is_symlink(target, ec))
            throw PROJECT_ERROR(requested.string() + ": already exists (a project directory is never reused)");
        return;
    }
    if (is_within(normalised(default_parent), design))
        throw PROJECT_ERROR(default_parent.string() +
                            ": the project directory cannot lie inside the design directory; give --out");
}

fs::path create_project_directory(const fs::path& requested_path, const fs::path& default_parent,
                                  const fs::path& design_directory, fs::path* first_created)
{
    check_project_directory(requested_path, default_parent, design_directory);
    const fs::path design = normalised(design_directory);
    const fs::path requested = without_trailing_separator(requested_path);
    std::error_code ec;
    if (!requested.empty())
    {
        const fs::path target = normalised(requested);
        if (target.has_parent_path())
            create_directories(target.parent_path(), first_created, ec);
        if (ec)
            throw PROJECT_ERROR(requested.string() + ": cannot create the parent directories: " + ec.message());
        if (!make_new_directory(target))
            throw PROJECT_ERROR(requested.string() + ": already exists (a project directory is never reused)");
        if (first_created != nullptr && first_created->empty())
            *first_created = target;
        return requested;
    }

    const fs::path parent = normalised(default_parent);
    create_directories(parent, first_created, ec);
    if (ec)
        throw PROJECT_ERROR(default_parent.string() + ": cannot create the directory: " + ec.message());
    const std::string name = design.filename().empty() ? std::string("design") : design.filename().string();
    for (int n = 1;; ++n)
    {
        const fs::path candidate = default_parent / (name + "-" + std::to_string(n));
        if (make_new_directory(candidate))
        {
            if (first_created != nullptr && first_created->empty())
                *first_created = candidate;
            return candidate;
        }
    }
}

namespace
{

// The status of an entry of a design directory, which holds only regular
// files and directories: the copy holds what the run may write over, a
// symbolic link would lead its writes out of the project directory, a device
// or pipe would hang the copy. Anything else is refused by name.
fs::file_status design_entry_status(const fs::directory_entry& entry)
{
    std::error_code status_ec;
    const fs::file_status status = entry.symlink_status(status_ec);
    if (status_ec)
        throw PROJECT_ERROR(entry.path().string() + ": cannot read the file's status: " + status_ec.message());
    if (fs::is_symlink(status))
        throw PROJECT_ERROR(entry.path().string() +
                            ": a symbolic link; a design directory holds only files and directories");
    if (!fs::is_regular_file(status) && !fs::is_directory(status))
        throw PROJECT_ERROR(entry.path().string() +
                            ": not a regular file; a design directory holds only files and directories");
    return status;
}

}  // namespace

void check_design_directory(const fs::path& design_directory)
{
    std::error_code ec;
    for (fs::recursive_directory_iterator it(design_directory, ec), end; !ec && it != end; it.increment(ec))
        design_entry_status(*it);
    if (ec)
        throw PROJECT_ERROR(design_directory.string() + ": cannot list the directory: " + ec.message());
}

std::optional<FILE_IDENTITY> file_identity(const fs::path& file)
{
    struct stat status;
    if (::stat(file.c_str(), &status) != 0)
        return std::nullopt;
    return FILE_IDENTITY(status.st_dev, status.st_ino);
}

const char DEBUG_LOG_FIRST_LINE[] = "asm_host debug log (a later run given this file as its --debug-log replaces it)";

namespace
{

// The file a debug log's lines go to: the path with its symbolic links
// followed to their end (a link to a file that does not exist yet leads to
// that file), absolute and normal.
fs::path debug_log_target(const fs::path& debug_log)
{
    std::error_code ec;
    fs::path path = fs::absolute(debug_log, ec);
    // weakly_canonical follows the links of a path that exists; a link to a
    // file not made yet is followed here, each step from the link's own
    // directory (a loop stops, and the open fails on it).
    for (int links = 0; links < 40 && fs::is_symlink(path, ec); ++links)
    {
        const fs::path target = fs::read_symlink(path, ec);
        if (ec)
            break;
        path = target.is_absolute() ? target : normalised(path.parent_path()) / target;
    }
    return normalised(path);
}

bool same_file(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Whether the regular file open for writing (its status) is empty or begins
// with the debug log's first line. It is read through a descriptor of its
// own, opened by the same name and found to be the same file; a file that
// cannot be opened for reading is taken only when its size is 0.
bool begins_as_debug_log(const fs::path& log, const struct stat& written)
{
    const int fd = ::open(log.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return written.st_size == 0;
    struct stat status;
    const std::string first_line = std::string(DEBUG_LOG_FIRST_LINE) + "\n";
    std::string start(first_line.size(), '\0');
    size_t filled = 0;
    bool read = ::fstat(fd, &status) == 0 && same_file(status, written);
    while (read && filled < start.size())
    {
        const ssize_t n = ::read(fd, &start[filled], start.size() - filled);
        if (n < 0 && errno == EINTR)
            continue;
        read = n >= 0;
        if (n <= 0)
            break;
        filled += static_cast<size_t>(n);
    }
    ::close(fd);
    return read && (filled == 0 || start == first_line);
}

// The host's standard output or error (the descriptor) when the file that
// the log's descriptor opened is the one it writes to; -1 when it is
// neither. The log's own descriptor is none of them (a host started with
// its standard output closed opens the log there).
int standard_stream_of(const struct stat& file, int log)
{
    for (const int standard : {STDOUT_FILENO, STDERR_FILENO})
    {
        struct stat status;
        if (standard != log && ::fstat(standard, &status) == 0 && same_file(status, file))
            return standard;
    }
    return -1;
}

// Refuses a log that is a file of the directory by another name (a hard
// link to it, or the file that a symbolic link in it leads to): the run
// reads every one of them. What cannot be listed is passed over; the copy
// of a source directory refuses it later.
void refuse_file_of(const std::string& log, const struct stat& file, const fs::path& directory,
                    const std::string& what)
{
    const FILE_IDENTITY identity(file.st_dev, file.st_ino);
    std::error_code ec;
    for (fs::recursive_directory_iterator it(directory, fs::directory_options::skip_permission_denied, ec), end;
         !ec && it != end; it.increment(ec))
        if (file_identity(it->path()) == identity)
            throw PROJECT_ERROR(log + ": the debug log cannot be a file of " + what + " (" + it->path().string() +
                                ")");
}

}  // namespace

void DEBUG_LOG::open(const fs::path& name, const fs::path& requested, const fs::path& default_parent,
                     const fs::path& source, const std::string& source_what, const fs::path& design)
{
    m_name = name.string();
    const fs::path log = debug_log_target(name);
    if (is_within(log, normalised(source)))
        throw PROJECT_ERROR(m_name + ": the debug log cannot lie inside " + source_what);
    if (!design.empty() && is_within(log, normalised(design)))
        throw PROJECT_ERROR(m_name + ": the debug log cannot lie inside the design directory");
    const fs::path project = without_trailing_separator(requested);
    bool in_project = false;
    // The run makes the project directory and its missing parents: the log
    // cannot be one of them.
    if (is_within(normalised(project.empty() ? default_parent : project), log))
        throw PROJECT_ERROR(m_name + ": the debug log cannot be the project directory or a directory above it");
    if (!project.empty())
    {
        in_project = is_within(log, normalised(project));
    }
    else
    {
        // The project will be "<default_parent>/<name>-<n>".
        const fs::path parent = normalised(default_parent);
        const fs::path copied = normalised(source);
        const std::string prefix =
            (copied.filename().empty() ? std::string("design") : copied.filename().string()) + "-";
        if (is_within(log, parent) && log != parent)
        {
            const std::string first = fs::relative(log, parent).begin()->string();
            in_project = first.rfind(prefix, 0) == 0;
        }
    }
    if (in_project)
        throw PROJECT_ERROR(m_name + ": the debug log cannot lie inside the project directory");

    // An existing file is opened by the name given, as it stands (the
    // system follows every link, /dev/stderr's too), never truncated here,
    // never waiting for a FIFO's reader (ENXIO: there is none). A new file
    // is made where the name's links lead, exclusively, so that it is known
    // to be this run's.
    const std::string not_a_log = m_name + ": exists and is not a debug log; remove it or name another file";
    const int flags = O_WRONLY | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    std::error_code ec;
    const std::string given = fs::absolute(name, ec).string();
    int fd = ::open(given.c_str(), flags);
    bool created = false;
    if (fd < 0 && errno == ENOENT)
    {
        fd = ::open(log.c_str(), flags | O_CREAT | O_EXCL, 0666);
        created = fd >= 0;
        if (fd < 0 && errno == ENOENT)
            throw PROJECT_ERROR(m_name + ": cannot write the debug log: its directory does not exist");
        if (fd < 0 && errno == EEXIST)
            fd = ::open(given.c_str(), flags);
    }
    if (fd < 0)
    {
        struct stat status;
        if (errno == ENXIO && ::stat(given.c_str(), &status) == 0 && S_ISFIFO(status.st_mode))
            throw PROJECT_ERROR(m_name + ": a FIFO that no process reads; the debug log never waits for a reader");
        if (errno == ENXIO || errno == EISDIR)
            throw PROJECT_ERROR(not_a_log);
        throw PROJECT_ERROR(m_name + ": cannot write the debug log: " + std::strerror(errno));
    }
    m_fd = fd;
    m_lines_fd = fd;
    m_target = log;
    m_created = created;
    // The host's own standard output or error in a file (--debug-log
    // /dev/stderr > run.log 2>&1) holds what the host printed: it is never
    // emptied, whatever it holds, and the lines go through the host's own
    // descriptor, at the offset where its output goes on.
    struct stat status;
    const bool known = ::fstat(fd, &status) == 0;
    const int standard = known && S_ISREG(status.st_mode) ? standard_stream_of(status, fd) : -1;
    m_shared = standard >= 0;
    const bool accepted =
        known && (S_ISCHR(status.st_mode) || S_ISFIFO(status.st_mode) ||
                  (S_ISREG(status.st_mode) && (created || m_shared || begins_as_debug_log(given, status))));
    if (!accepted)
    {
        close();
        throw PROJECT_ERROR(not_a_log);
    }
    if (S_ISREG(status.st_mode))
    {
        try
        {
            if (!created)
                refuse_file_of(m_name, status, source, source_what);
            if (!created && !design.empty())
                refuse_file_of(m_name, status, design, "the design directory");
        }
        catch (const PROJECT_ERROR&)
        {
            close();
            throw;
        }
        // One log, one run: a run that empties its log holds the lock (on
        // the descriptor it opened, until it ends) alone, so that another
        // run's lock refuses the log before it is emptied. Runs whose own
        // output the log is never empty it and share the lock: side by side
        // on one output they all run, while a run that would empty that
        // file is refused. A file system that keeps no locks takes none.
        if (::flock(fd, (m_shared ? LOCK_SH : LOCK_EX) | LOCK_NB) != 0 && errno == EWOULDBLOCK)
        {
            // A file made here is the other run's once it holds the lock.
            m_created = false;
            close();
            throw PROJECT_ERROR(m_name + ": the debug log is locked by another run or process");
        }
        struct stat named;
        m_named = ::stat(log.c_str(), &named) == 0 && same_file(named, status);
    }
    if (::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
    {
        const int error = errno;
        close();
        throw PROJECT_ERROR(m_name + ": cannot write the debug log: " + std::strerror(error));
    }
    if (m_shared)
    {
        m_lines_fd = ::fcntl(standard, F_DUPFD_CLOEXEC, 0);
        if (m_lines_fd < 0)
        {
            const int error = errno;
            close();
            throw PROJECT_ERROR(m_name + ": cannot write the debug log: " + std::strerror(error));
        }
    }
}

DEBUG_LOG::~DEBUG_LOG() { close(); }

void DEBUG_LOG::close()
{
    if (m_fd < 0)
        return;
    if (m_started)
        msg_set_debug_echo_descriptor(-1);
    // The file that this run made is taken back when the run never started,
    // unless another file has taken its name meanwhile.
    struct stat status;
    struct stat named;
    if (m_created && !m_started && ::fstat(m_fd, &status) == 0 && ::lstat(m_target.c_str(), &named) == 0 &&
        same_file(status, named))
        ::unlink(m_target.c_str());
    if (m_lines_fd >= 0 && m_lines_fd != m_fd)
        ::close(m_lines_fd);
    ::close(m_fd);
    m_fd = -1;
    m_lines_fd = -1;
}

bool DEBUG_LOG::is(const fs::path& file) const
{
    std::error_code ec;
    const fs::path path = fs::weakly_canonical(fs::absolute(file, ec), ec);
    struct stat status;
    struct stat named;
    return (!ec && path == m_target) || (::stat(file.c_str(), &named) == 0 && ::fstat(m_fd, &status) == 0 &&
                                         same_file(status, named));
}

bool DEBUG_LOG::start(std::string& problem)
{
    if (m_fd < 0)
        return true;
    struct stat status;
    if (!m_created && !m_shared && ::fstat(m_fd, &status) == 0 && S_ISREG(status.st_mode) &&
        ::ftruncate(m_fd, 0) != 0)
    {
        problem = m_name + ": cannot write the debug log: " + std::strerror(errno);
        return false;
    }
    m_started = true;
    const std::string first_line = std::string(DEBUG_LOG_FIRST_LINE) + "\n";
    for (size_t done = 0; done < first_line.size();)
    {
        const ssize_t n = ::write(m_lines_fd, first_line.data() + done, first_line.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
        {
            m_error = n < 0 ? errno : EIO;
            break;
        }
        done += static_cast<size_t>(n);
    }
    msg_set_debug_echo_descriptor(m_lines_fd);
    return true;
}

bool DEBUG_LOG::finish(std::string& problem)
{
    if (m_fd < 0)
        return true;
    const int echo_error = msg_set_debug_echo_descriptor(-1);
    if (m_error == 0)
        m_error = echo_error;
    // The name that led to the log's file leads elsewhere or nowhere: a file
    // that the run wrote by the log's name (a listing that the assignments
    // file names) replaced it, or the file was moved. Who reads the log by
    // its name finds no lines there. A name that never led to the file (a
    // /dev/fd/N of a file without a name) is not checked.
    struct stat status;
    struct stat named;
    const bool moved = m_named && ::fstat(m_fd, &status) == 0 &&
                       (::stat(m_target.c_str(), &named) != 0 || !same_file(status, named));
    if (m_lines_fd != m_fd && ::close(m_lines_fd) != 0 && m_error == 0)
        m_error = errno;
    if (::close(m_fd) != 0 && m_error == 0)
        m_error = errno;
    m_fd = -1;
    m_lines_fd = -1;
    if (moved)
    {
        problem = m_name +
                  ": the debug log's name no longer leads to the file its lines were written to (the run or "
                  "another process replaced or moved it)";
        return false;
    }
    if (m_error == 0)
        return true;
    problem = m_name + ": cannot write the debug log: " + std::strerror(m_error);
    return false;
}

void copy_design_directory(const fs::path& design_directory, const fs::path& project)
{
    // Entry by entry, each refused as check_design_directory refuses it: one
    // changed since the check is refused all the same, and each file is read
    // from the descriptor that was opened and found a regular file.
    std::error_code ec;
    for (fs::recursive_directory_iterator it(design_directory, ec), end; !ec && it != end; it.increment(ec))
    {
        const fs::file_status status = design_entry_status(*it);
        const fs::path target = project / it->path().lexically_relative(design_directory);
        if (!fs::is_directory(status))
        {
            copy_regular_file(it->path(), target);
            continue;
        }
        std::error_code copy_ec;
        fs::create_directory(target, it->path(), copy_ec);
        if (copy_ec)
            throw PROJECT_ERROR(it->path().string() + ": cannot copy: " + copy_ec.message());
    }
    if (ec)
        throw PROJECT_ERROR(design_directory.string() + ": cannot list the directory: " + ec.message());
}

void copy_regular_file(const fs::path& source, const fs::path& target)
{
    std::string reason;
    if (!fio_copy_regular_file(source.string(), target.string(), &reason))
        throw PROJECT_ERROR(source.string() + ": cannot copy: " + reason);
}

DIRECTORY_SNAPSHOT snapshot_directory(const fs::path& directory)
{
    DIRECTORY_SNAPSHOT snapshot;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(directory, ec), end; !ec && it != end; it.increment(ec))
    {
        // What the run or another process removes or changes meanwhile is
        // refused by name, never thrown as a bare file-system exception.
        const fs::path file = it->path();
        std::error_code status_ec;
        fs::file_status status = fs::symlink_status(file, status_ec);
        if (!status_ec && fs::is_symlink(status))
        {
            // A link that leads nowhere is no file; one that cannot be
            // followed (a loop) is refused.
            status = fs::status(file, status_ec);
            if (status_ec == std::errc::no_such_file_or_directory)
                continue;
        }
        if (status_ec)
            throw PROJECT_ERROR(file.string() + ": cannot read the file's status: " + status_ec.message());
        if (!fs::is_regular_file(status))
            continue;
        // The size and digest are those of the file opened, checked on its
        // descriptor: one swapped meanwhile for a FIFO or a device is no
        // regular file either, and nothing waits on it.
        FIO_STAT record;
        const int fd = fio_open_regular_file(file.string(), &record);
        if (fd < 0 && errno == EINVAL)
            continue;
        if (fd < 0)
            throw PROJECT_ERROR(file.string() + ": cannot read the file: " + std::strerror(errno));
        const uintmax_t size = static_cast<uintmax_t>(record.st_size);
        snapshot[file.lexically_relative(directory).string()] = FILE_STATE{size, digest_of(fd, file)};
    }
    if (ec)
        throw PROJECT_ERROR(directory.string() + ": cannot list the directory: " + ec.message());
    return snapshot;
}

std::vector<std::pair<std::string, uintmax_t>> changed_files(const DIRECTORY_SNAPSHOT& before,
                                                             const DIRECTORY_SNAPSHOT& after)
{
    std::vector<std::pair<std::string, uintmax_t>> files;
    for (const auto& [path, state] : after)
    {
        auto old = before.find(path);
        if (old == before.end() || old->second.size != state.size || old->second.digest != state.digest)
            files.emplace_back(path, state.size);
    }
    return files;
}

void write_file_atomically(const fs::path& file, const std::string& bytes)
{
    std::string reason;
    if (!fio_write_file_atomically(file.string(), bytes, &reason))
        throw PROJECT_ERROR(file.string() + ": cannot write the file: " + reason);
}

std::string section_file_name(const std::string& section, std::set<std::string>& used)
{
    std::string base = section.empty() ? std::string("section") : section;
    for (char& c : base)
    {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                           c == '-' || c == '.';
        if (!plain)
            c = '_';
    }
    std::string name = base + ".bin";
    for (int n = 2; used.count(name) != 0; ++n)
        name = base + "." + std::to_string(n) + ".bin";
    used.insert(name);
    return name;
}

std::vector<SECTION_FILE> write_section_files(const DBCM_SECTION_STORE* store, const fs::path& directory)
{
    std::vector<SECTION_FILE> files;
    if (store == nullptr)
        return files;
    // Files already in the directory (the design's, the run's) are kept.
    std::set<std::string> used;
    std::error_code ec;
    for (fs::directory_iterator it(directory, ec), end; !ec && it != end; it.increment(ec))
        used.insert(it->path().filename().string());
    for (const DBCM_SECTION& section : store->get_sections())
    {
        const std::string file = section_file_name(section.name, used);
        write_file_atomically(directory / file, section.bytes);
        files.push_back(SECTION_FILE{section.name, section.bytes.size(), file});
    }
    return files;
}
