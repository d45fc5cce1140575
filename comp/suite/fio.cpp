#include "fio.h"

#include <filesystem>
#include <unistd.h>
#include <sys/stat.h>
#include <vector>
#include <cstring>
#include <cstdio>
#include <cerrno>
#include <system_error>
#include <dirent.h>
#include <fnmatch.h>
#include <algorithm>
#include <map>
#include <set>
#include <mutex>
#include <atomic>
#include <climits>

namespace fs = std::filesystem;

namespace
{

bool write_error(std::string* error, const std::string& reason)
{
    if (error)
        *error = reason;
    return false;
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

struct READ_RECORD
{
    std::mutex lock;
    std::set<std::pair<dev_t, ino_t>> files;
};

READ_RECORD& read_record()
{
    static READ_RECORD record;
    return record;
}

}  // namespace

void fio_record_read(const std::string& path)
{
    struct stat status;
    if (::stat(path.c_str(), &status) != 0)
        return;
    READ_RECORD& record = read_record();
    std::lock_guard<std::mutex> guard(record.lock);
    record.files.emplace(status.st_dev, status.st_ino);
}

bool fio_was_read(dev_t device, ino_t inode)
{
    READ_RECORD& record = read_record();
    std::lock_guard<std::mutex> guard(record.lock);
    return record.files.count(std::make_pair(device, inode)) != 0;
}

void fio_clear_read_record()
{
    READ_RECORD& record = read_record();
    std::lock_guard<std::mutex> guard(record.lock);
    record.files.clear();
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

bool fio_write_file_atomically(const std::string& path, const std::string& bytes, std::string* error)
{
    const size_t slash = path.rfind('/');
    const std::string prefix = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    if (base.empty())
        return write_error(error, "no file name in '" + path + "'");
    const std::string temp = prefix + "." + base + ".XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0)
        return write_error(error, "cannot create a temporary file for '" + path + "': " + std::strerror(errno));
    // A finished file is readable by everyone, as a plain new file would be.
    fchmod(fd, 0644);
    const char* data = bytes.data();
    size_t left = bytes.size();
    bool ok = true;
    while (ok && left > 0)
    {
        const ssize_t written = ::write(fd, data, left);
        if (written < 0 && errno == EINTR)
            continue;
        ok = written > 0;
        if (ok)
        {
            data += written;
            left -= static_cast<size_t>(written);
        }
    }
    const int saved_errno = errno;
    if (::close(fd) != 0)
        ok = false;
    if (!ok)
    {
        std::remove(name.data());
        return write_error(error, "cannot write '" + path + "': " + std::strerror(saved_errno));
    }
    if (std::rename(name.data(), path.c_str()) != 0)
    {
        const std::string reason = std::strerror(errno);
        std::remove(name.data());
        return write_error(error, "cannot rename into '" + path + "': " + reason);
    }
    return true;
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
