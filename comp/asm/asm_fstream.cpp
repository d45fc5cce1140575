#include "asm_fstream.h"

#include <fio.h>

#include <cstdio>
#include <string>
#include <vector>

#include <fcntl.h>
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
    if (regular_only && !is_regular_path(full_path))
    {
        stream.setstate(std::ios_base::failbit);
        return;
    }
    if (stream.rdbuf()->open(full_path.c_str(), mode))
        stream.clear();
    else
        stream.setstate(std::ios_base::failbit);
    // The host keeps its own outputs (the debug log) off the files a run read.
    if (stream.rdbuf()->is_open() && (mode & std::ios_base::in))
        fio_record_read(full_path);
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
    const size_t slash = m_target.rfind('/');
    const std::string base = m_target.substr(slash + 1);
    std::string pattern = m_target.substr(0, slash + 1) + "." + base + ".XXXXXX";
    std::vector<char> temp(pattern.begin(), pattern.end());
    temp.push_back('\0');
    const int fd = base.empty() ? -1 : ::mkstemp(temp.data());
    if (fd < 0)
    {
        setstate(std::ios_base::failbit);
        return;
    }
    // A finished file is readable by everyone, as a plain new file would be.
    ::fchmod(fd, 0644);
    ::close(fd);
    m_temp = temp.data();
    if (!rdbuf()->open(m_temp.c_str(), mode | std::ios_base::out | std::ios_base::trunc))
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
        std::remove(m_temp.c_str());
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
    m_temp.clear();
    return true;
}

}  // namespace asm_io
