// File streams that open a file by its full path: the name the caller gives
// goes through fio_get_unc_full_path first. Otherwise they are the standard
// file streams over char. Each opens the file itself (POSIX, never through
// /proc, close-on-exec, so that no process the run starts inherits it) and
// hands the descriptor to the stream's own file buffer; the readers and the
// atomic writer check the kind of the file they opened first.
#pragma once

#include <fstream>
#include <ios>
#include <string>

namespace asm_io
{

// The share permission every caller passes ("deny none"). Linux has no share
// modes: the value is accepted and ignored.
constexpr int kestil_share_deny_none = 0x40;

// open() of each class: a stream whose file is already open is left as it is
// (no state change); otherwise the full path of the name is opened with the
// mode, the state is cleared on success and the fail bit set on failure (a
// null or empty name fails).

// True when the full path of the name is a regular file (links followed).
// Every reader of the module reads regular files only: a directory, a FIFO
// or a device is refused like a missing file, so that no read blocks on a
// pipe or runs on without end. This is a check of the name only;
// kestil_ifstream checks the file it opened, which is the one it reads.
bool kestil_is_regular_file(const char* name);

class kestil_ifstream : public std::ifstream
{
public:
    kestil_ifstream() = default;
    ~kestil_ifstream() override = default;

    // Opens for reading only, whatever else the mode asks (binary is kept):
    // a read-only file opens. A name that is not a regular file fails as a
    // missing file does; the open never waits on a FIFO, and the stream
    // reads the file whose kind was checked.
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

// Writes a file whole or not at all. A target that is a regular file or a
// new name is replaced: the stream writes to a new temporary file in the
// directory of the target's full path (registered for the signal handler,
// asm_signal_registry.h), through the descriptor made, never by its name
// again; commit() closes it and renames it over the target. The file gets
// the replaced file's mode (and its owner where the process may give it),
// or for a new target 0666 less the umask. A target that is a character
// device (/dev/null) is written as it stands, as a plain open would. Any
// other target (a directory, a FIFO, a socket, a block device) is refused
// without waiting: the stream fails. A stream destroyed without a
// successful commit removes its temporary and leaves the target as it was.
class kestil_atomic_ofstream : public std::ofstream
{
public:
    explicit kestil_atomic_ofstream(const char* name, std::ios_base::openmode mode = std::ios_base::out);
    ~kestil_atomic_ofstream() override;

    kestil_atomic_ofstream(const kestil_atomic_ofstream&) = delete;
    kestil_atomic_ofstream& operator=(const kestil_atomic_ofstream&) = delete;

    // True when every write, the close and the rename succeeded; otherwise
    // the temporary is removed and the target is untouched. Once only.
    bool commit();

    // The full path of the target.
    const std::string& target() const { return m_target; }

private:
    void discard();

    std::string m_target;
    std::string m_temp;  // empty when the target is written as it stands
    int m_temp_slot = -1;
};

// The text of a file of /proc, read on a descriptor of its own, without the
// streams' full path and checks (a file that is read again and again, such
// as a children list, costs its read and no more); empty when it cannot be
// read.
std::string read_proc_text(const char* path);

}  // namespace asm_io
