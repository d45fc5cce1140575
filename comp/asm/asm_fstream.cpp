#include "asm_fstream.h"

#include <fio.h>

#include <cstdio>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace asm_io
{

namespace
{

bool is_regular_path(const std::string& full_path)
{
    struct stat info;
    return ::stat(full_path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// Opens the buffer on the file that the descriptor holds, through the
// descriptor's /proc/self/fd entry: the system reopens that very file and
// walks no name again, so a name swapped meanwhile for a link, a FIFO or
// another file leads nowhere. The descriptor stays open.
bool open_through_descriptor(std::filebuf& buffer, int fd, std::ios_base::openmode mode)
{
    const std::string entry = "/proc/self/fd/" + std::to_string(fd);
    return buffer.open(entry.c_str(), mode) != nullptr;
}

template <typename STREAM>
void open_by_full_path(STREAM& stream, const char* name, std::ios_base::openmode mode, bool regular_only = false)
{
    if (stream.rdbuf()->is_open())
        return;
    // The full path of an empty name is the current directory, which must
    // not pass for the file.
    if (name == nullptr || *name == '\0')
    {
        stream.setstate(std::ios_base::failbit);
        return;
    }
    const std::string full_path = fio_get_unc_full_path(name);
    bool opened = false;
    if (regular_only)
    {
        // The kind is checked on the descriptor that is then read, never
        // on the name before an open by name.
        const int fd = fio_open_regular_file(full_path);
        opened = fd >= 0 && open_through_descriptor(*stream.rdbuf(), fd, mode);
        if (fd >= 0)
            ::close(fd);
    }
    else
    {
        opened = stream.rdbuf()->open(full_path.c_str(), mode) != nullptr;
    }
    if (opened)
        stream.clear();
    else
        stream.setstate(std::ios_base::failbit);
}

}  // namespace

bool kestil_is_regular_file(const char* name)
{
    return name != nullptr && *name != '\0' && is_regular_path(fio_get_unc_full_path(name));
}

void kestil_ifstream::open(const char* name, std::ios_base::openmode mode, int /*prot*/)
{
    open_by_full_path(*this, name, mode | std::ios_base::in, true);
}

kestil_ofstream::kestil_ofstream(const char* name, std::ios_base::openmode mode, int prot) : std::ofstream()
{
    open(name, mode, prot);
}

void kestil_ofstream::open(const char* name, std::ios_base::openmode mode, int /*prot*/)
{
    open_by_full_path(*this, name, mode | std::ios_base::out);
}

void kestil_fstream::open(const char* name, std::ios_base::openmode mode, int /*prot*/)
{
    open_by_full_path(*this, name, mode);
}

kestil_atomic_ofstream::kestil_atomic_ofstream(const char* name, std::ios_base::openmode mode) : std::ofstream()
{
    if (name == nullptr || *name == '\0')
    {
        setstate(std::ios_base::failbit);
        return;
    }
    m_target = fio_get_unc_full_path(name);
    const int fd = fio_create_temporary(m_target, &m_temp);
    if (fd < 0)
    {
        setstate(std::ios_base::failbit);
        return;
    }
    // The stream writes the file that was made, whatever its name comes to
    // lead to meanwhile. The mode is set once the stream has opened it for
    // writing (a replaced read-only file keeps its mode).
    const bool opened = open_through_descriptor(*rdbuf(), fd, mode | std::ios_base::out | std::ios_base::trunc) &&
                        fio_set_replacement_mode(fd, m_target);
    ::close(fd);
    if (!opened)
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
        fio_untrack_temporary(m_temp);
    }
    m_temp.clear();
}

bool kestil_atomic_ofstream::commit()
{
    if (m_temp.empty())
        return false;
    flush();
    const bool written = !fail() && rdbuf()->close() != nullptr;
    if (!written || std::rename(m_temp.c_str(), m_target.c_str()) != 0)
    {
        setstate(std::ios_base::failbit);
        discard();
        return false;
    }
    fio_untrack_temporary(m_temp);
    m_temp.clear();
    return true;
}

}  // namespace asm_io
