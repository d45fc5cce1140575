#include "asm_fstream.h"

#include <fio.h>

#include <string>

namespace asm_io
{

namespace
{

template <typename STREAM>
void open_by_full_path(STREAM& stream, const char* name, std::ios_base::openmode mode)
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
    if (stream.rdbuf()->open(full_path.c_str(), mode))
        stream.clear();
    else
        stream.setstate(std::ios_base::failbit);
}

}  // namespace

void kestil_ifstream::open(const char* name, std::ios_base::openmode mode, int /*prot*/)
{
    open_by_full_path(*this, name, mode | std::ios_base::in);
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

}  // namespace asm_io
