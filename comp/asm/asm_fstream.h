// File streams that open a file by its full path: the name the caller gives
// goes through fio_get_unc_full_path first. Otherwise they are the standard
// file streams over char.
#pragma once

#include <fstream>
#include <ios>

namespace asm_io
{

// The share permission every caller passes ("deny none"). Linux has no share
// modes: the value is accepted and ignored.
constexpr int kestil_share_deny_none = 0x40;

// open() of each class: a stream whose file is already open is left as it is
// (no state change); otherwise the full path of the name is opened with the
// mode, the state is cleared on success and the fail bit set on failure (a
// null or empty name fails).

class kestil_ifstream : public std::ifstream
{
public:
    kestil_ifstream() = default;
    ~kestil_ifstream() override = default;

    // Opens for reading: the mode always includes in.
    void open(const char* name, std::ios_base::openmode mode = std::ios_base::in, int prot = kestil_share_deny_none);
};

class kestil_ofstream : public std::ofstream
{
public:
    kestil_ofstream() = default;
    // Starts closed, then opens as open() does.
    explicit kestil_ofstream(const char* name, std::ios_base::openmode mode = std::ios_base::out,
                             int prot = kestil_share_deny_none);
    ~kestil_ofstream() override = default;

    // Opens for writing: the mode always includes out.
    void open(const char* name, std::ios_base::openmode mode = std::ios_base::out, int prot = kestil_share_deny_none);
};

class kestil_fstream : public std::fstream
{
public:
    kestil_fstream() = default;
    ~kestil_fstream() override = default;

    // Opens with the mode as given.
    void open(const char* name, std::ios_base::openmode mode = std::ios_base::in | std::ios_base::out,
              int prot = kestil_share_deny_none);
};

}  // namespace asm_io
