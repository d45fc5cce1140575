#include "asm_fstream.h"

#include "asm_signal_registry.h"

#include <fio.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace asm_io
{

namespace
{

// The readers and the atomic writer attach a descriptor to the stream's own
// file buffer through libstdc++'s protected members (_M_file and the rest,
// as its stdio_filebuf does); no other standard library has them.
#ifdef __GLIBCXX__

// A file buffer opened on a descriptor: what libstdc++'s stdio_filebuf does
// in its constructor, done on the stream's own buffer. The buffer is swapped
// in, opened and swapped back, so that a buffer the caller set before the
// open (pubsetbuf) is the one used.
class DESCRIPTOR_FILEBUF : public std::filebuf
{
public:
    // Opens the buffer on the descriptor, which it then owns (its close
    // closes the descriptor). False when it cannot: the descriptor is closed.
    static bool open(std::filebuf& buffer, int fd, std::ios_base::openmode mode)
    {
        DESCRIPTOR_FILEBUF opening;
        opening.swap(buffer);
        const bool opened = opening.open_descriptor(fd, mode);
        opening.swap(buffer);
        if (!opened)
            ::close(fd);
        return opened;
    }

private:
    bool open_descriptor(int fd, std::ios_base::openmode mode)
    {
        if (is_open() || _M_file.sys_open(fd, mode) == nullptr)
            return false;
        _M_allocate_internal_buffer();
        _M_mode = mode;
        _M_reading = false;
        _M_writing = false;
        _M_set_buffer(-1);
        _M_state_last = _M_state_cur = _M_state_beg;
        return true;
    }
};

#else
#error "asm_fstream.cpp attaches descriptors to std::filebuf through libstdc++'s members; build with libstdc++"
// Declared only, so that the #error above is the build's one message.
struct DESCRIPTOR_FILEBUF
{
    static bool open(std::filebuf& buffer, int fd, std::ios_base::openmode mode);
};
#endif

// Closes the descriptor and returns -1 with errno as it was before.
int close_keeping_errno(int fd)
{
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return -1;
}

// Opens the path without waiting (a FIFO without a writer, or one without
// a reader, would hold a blocking open), keeps the descriptor only when
// its own status is of the kind asked (S_ISREG, S_ISCHR), and makes it
// blocking again. A file that access creates gets 0666 less the umask.
// The descriptor, or -1.
int open_kind(const std::string& path, int access, bool (*kind)(mode_t))
{
    const int fd = ::open(path.c_str(), access | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0)
        return -1;
    struct stat info;
    if (::fstat(fd, &info) != 0)
        return close_keeping_errno(fd);
    const int flags = ::fcntl(fd, F_GETFL);
    if (!kind(info.st_mode) || flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
        return close_keeping_errno(fd);
    return fd;
}

bool is_regular(mode_t mode) { return S_ISREG(mode); }
bool is_character_device(mode_t mode) { return S_ISCHR(mode); }
bool is_regular_or_character_device(mode_t mode) { return S_ISREG(mode) || S_ISCHR(mode); }

// The process's umask. /proc/self/status states it; where it does not (no
// /proc, an older kernel) umask() has to set it to read it, so the value is
// put back at once, one reader at a time.
mode_t process_umask()
{
    const std::string status = read_proc_text("/proc/self/status");
    const size_t line = status.find("\nUmask:");
    if (line != std::string::npos)
    {
        const char* digits = status.c_str() + line + std::strlen("\nUmask:");
        char* end = nullptr;
        const long mask = std::strtol(digits, &end, 8);
        if (end != digits && mask >= 0 && mask <= 0777)
            return static_cast<mode_t>(mask);
    }
    static std::mutex lock;
    const std::lock_guard<std::mutex> guard(lock);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// The open(2) flags of a file stream's mode, as the standard library maps
// the mode to fopen's ("w", "a", "r+" and the rest); -1 for a mode it has
// no file mode for. binary and ate change nothing here.
int open_flags(std::ios_base::openmode mode)
{
    using std::ios_base;
    switch (static_cast<int>(mode & (ios_base::in | ios_base::out | ios_base::trunc | ios_base::app)))
    {
    case ios_base::out:
    case ios_base::out | ios_base::trunc:
        return O_WRONLY | O_CREAT | O_TRUNC;
    case ios_base::app:
    case ios_base::out | ios_base::app:
        return O_WRONLY | O_CREAT | O_APPEND;
    case ios_base::in:
        return O_RDONLY;
    case ios_base::in | ios_base::out:
        return O_RDWR;
    case ios_base::in | ios_base::out | ios_base::trunc:
        return O_RDWR | O_CREAT | O_TRUNC;
    case ios_base::in | ios_base::app:
    case ios_base::in | ios_base::out | ios_base::app:
        return O_RDWR | O_CREAT | O_APPEND;
    default:
        return -1;
    }
}

// Opens the buffer on the path with the mode, as std::filebuf::open does
// (a write-only append starts at the end, as fopen's "a" does, and ate
// seeks there), but close-on-exec, so that a tool or a script's process
// that the run starts inherits none of the run's own files, and without
// waiting: like the module's other writers it writes a regular file or a
// character device (/dev/null), and anything else (a FIFO put in a file's
// place, which would hold the open until someone reads it) is refused,
// before it is opened where its name already shows it.
bool open_close_on_exec(std::filebuf& buffer, const std::string& path, std::ios_base::openmode mode)
{
    const int flags = open_flags(mode);
    struct stat existing;
    if (flags < 0 || (::stat(path.c_str(), &existing) == 0 && !is_regular_or_character_device(existing.st_mode)))
        return false;
    const int fd = open_kind(path, flags, is_regular_or_character_device);
    if (fd < 0)
        return false;
    if ((flags & O_ACCMODE) == O_WRONLY && (flags & O_APPEND) != 0 && ::lseek(fd, 0, SEEK_END) < 0 &&
        errno != ESPIPE)
    {
        ::close(fd);
        return false;
    }
    if (!DESCRIPTOR_FILEBUF::open(buffer, fd, mode))
        return false;
    if ((mode & std::ios_base::ate) != 0 &&
        buffer.pubseekoff(0, std::ios_base::end, mode) == std::filebuf::pos_type(std::filebuf::off_type(-1)))
    {
        buffer.close();
        return false;
    }
    return true;
}

template <typename STREAM, typename OPEN>
void open_by_full_path(STREAM& stream, const char* name, OPEN open)
{
    if (stream.rdbuf()->is_open())
        return;
    // The full path of an empty name is the current directory, which must
    // not pass for the file.
    if (name != nullptr && *name != '\0' && open(*stream.rdbuf(), fio_get_unc_full_path(name)))
        stream.clear();
    else
        stream.setstate(std::ios_base::failbit);
}

}  // namespace

bool kestil_is_regular_file(const char* name)
{
    struct stat info;
    return name != nullptr && *name != '\0' && ::stat(fio_get_unc_full_path(name).c_str(), &info) == 0 &&
           S_ISREG(info.st_mode);
}

void kestil_ifstream::open(const char* name, std::ios_base::openmode mode, int /*prot*/)
{
    const std::ios_base::openmode reading = std::ios_base::in | (mode & std::ios_base::binary);
    open_by_full_path(*this, name, [reading](std::filebuf& buffer, const std::string& full_path) {
        // The kind is checked on the descriptor that is then read, never on
        // the name before an open by name.
        const int fd = open_kind(full_path, O_RDONLY, is_regular);
        return fd >= 0 && DESCRIPTOR_FILEBUF::open(buffer, fd, reading);
    });
}

kestil_ofstream::kestil_ofstream(const char* name, std::ios_base::openmode mode, int prot) : std::ofstream()
{
    open(name, mode, prot);
}

void kestil_ofstream::open(const char* name, std::ios_base::openmode mode, int /*prot*/)
{
    open_by_full_path(*this, name, [mode](std::filebuf& buffer, const std::string& full_path) {
        return open_close_on_exec(buffer, full_path, mode | std::ios_base::out);
    });
}

void kestil_fstream::open(const char* name, std::ios_base::openmode mode, int /*prot*/)
{
    open_by_full_path(*this, name, [mode](std::filebuf& buffer, const std::string& full_path) {
        return open_close_on_exec(buffer, full_path, mode);
    });
}

kestil_atomic_ofstream::kestil_atomic_ofstream(const char* name, std::ios_base::openmode mode) : std::ofstream()
{
    if (name == nullptr || *name == '\0')
    {
        setstate(std::ios_base::failbit);
        return;
    }
    m_target = fio_get_unc_full_path(name);
    // Only a regular file or a new name is replaced; a character device is
    // written as it stands, and anything else is refused.
    struct stat existing;
    const bool exists = ::stat(m_target.c_str(), &existing) == 0;
    int fd = -1;
    if (exists && S_ISCHR(existing.st_mode))
    {
        fd = open_kind(m_target, O_WRONLY, is_character_device);
    }
    else if (exists ? S_ISREG(existing.st_mode) : errno == ENOENT)
    {
        fd = asm_registry::make_temporary(m_target, m_temp, m_temp_slot);
        // A replaced file keeps its owner where the process may give it
        // (as root), then its mode: a change of owner clears the set-id bits.
        if (fd >= 0 && exists)
        {
            [[maybe_unused]] const int kept = ::fchown(fd, existing.st_uid, existing.st_gid);
        }
        if (fd >= 0 && ::fchmod(fd, exists ? existing.st_mode & 07777 : 0666 & ~process_umask()) != 0)
            fd = close_keeping_errno(fd);
    }
    // The stream writes the file that was opened or made, whatever its name
    // comes to lead to meanwhile.
    if (fd < 0 || !DESCRIPTOR_FILEBUF::open(*rdbuf(), fd, std::ios_base::out | (mode & std::ios_base::binary)))
    {
        discard();
        setstate(std::ios_base::failbit);
    }
}

kestil_atomic_ofstream::~kestil_atomic_ofstream()
{
    discard();
}

void kestil_atomic_ofstream::discard()
{
    if (rdbuf()->is_open())
        rdbuf()->close();
    if (!m_temp.empty())
    {
        std::remove(m_temp.c_str());
        asm_registry::forget_temporary(m_temp_slot);
    }
    m_temp.clear();
    m_temp_slot = -1;
}

bool kestil_atomic_ofstream::commit()
{
    if (!rdbuf()->is_open())
        return false;
    flush();
    const bool written = !fail() && rdbuf()->close() != nullptr;
    if (!written || (!m_temp.empty() && std::rename(m_temp.c_str(), m_target.c_str()) != 0))
    {
        setstate(std::ios_base::failbit);
        discard();
        return false;
    }
    asm_registry::forget_temporary(m_temp_slot);
    m_temp.clear();
    m_temp_slot = -1;
    return true;
}

std::string read_proc_text(const char* path)
{
    std::string text;
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) != 0;)
    {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            break;
        text.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return text;
}

}  // namespace asm_io
