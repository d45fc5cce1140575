// File-path library of the suite (stand-in): a path as directory, base name
// and extension over the real file system.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include <sys/stat.h>

// Kinds of files with a standard extension, by the suite's numbering.
enum FIO_EXTENSION_TYPE : int
{
    FIO_EXTENSION_NONE = -1,
    FIO_EXTENSION_TCL = 56,
    FIO_EXTENSION_SETTINGS = 81,  // a revision's settings file
    FIO_EXTENSION_KIND_SLD = 208,  // the design's debug (SLD) file
};

// The extension of a type, without the dot ("tcl" for FIO_EXTENSION_TCL,
// "zsf" for FIO_EXTENSION_SETTINGS, "sld" for FIO_EXTENSION_KIND_SLD); "" for FIO_EXTENSION_NONE and every type
// the stand-in does not know.
std::string fio_get_extension(FIO_EXTENSION_TYPE type);

class FIO_PATH
{
public:
    FIO_PATH() = default;
    // Splits "dir/base.ext": the directory is everything before the last
    // "/", the extension what follows the last "." of the file name.
    FIO_PATH(const char* path);
    FIO_PATH(const std::string& path);
    FIO_PATH(const std::string& directory, const std::string& base, const std::string& extension);

    const std::string& directory() const { return m_directory; }
    const std::string& base() const { return m_base; }
    const std::string& extension() const { return m_extension; }
    void directory(const std::string& directory) { m_directory = directory; }
    void base(const std::string& base) { m_base = base; }
    // The second argument is a suffix that joins the extension ("" for none).
    void extension(const std::string& extension, const std::string& suffix = "");
    // The extension of one of the suite's file kinds (fio_get_extension);
    // the second argument is a version, -1 for none. A kind the library
    // does not know leaves the path without extension.
    void extension(int kind, int version);
    // Replaces the file name (base and extension) with the name.
    void filename(const std::string& name);
    // Normalises the path lexically ("a/./b/../c" becomes "a/c"); a relative
    // path stays relative.
    void become_simplified();
    // A relative path is taken from the base's directory (an empty base: the
    // current directory); an absolute path stays as it is.
    void become_absolute(const FIO_PATH& base);

    // Enters a directory: an absolute one replaces the directory, a relative
    // one is appended to it.
    void cd(const std::string& directory);
    // Removes the extension.
    void no_extension() { m_extension.clear(); }

    bool has_directory() const { return !m_directory.empty(); }
    // Whether the path is absolute (its directory starts at the root).
    bool absolute() const { return !m_directory.empty() && m_directory[0] == '/'; }
    bool empty() const { return m_directory.empty() && m_base.empty() && m_extension.empty(); }

    // The file name: base plus "." and extension when there is one.
    std::string filename() const;
    // The path as given: directory, "/", file name.
    std::string text() const;
    operator std::string() const { return text(); }
    // The absolute, lexically normalised path (relative paths are taken from
    // the current directory).
    std::string fullpath() const;

    bool operator==(const FIO_PATH& other) const { return text() == other.text(); }
    bool operator!=(const FIO_PATH& other) const { return !(*this == other); }

private:
    std::string m_directory;
    std::string m_base;
    std::string m_extension;
};

// The status record of a file: the platform's own.
typedef struct stat FIO_STAT;

// One entry of a directory listing.
struct FIO_FINDDATA
{
    std::string name;
    // FIO_ATTRIBUTE_DIRECTORY for a directory, 0 for anything else.
    unsigned attrib = 0;
};
constexpr unsigned FIO_ATTRIBUTE_DIRECTORY = 0x10;

// What FIO_FILE_SYSTEM::status reports of a file.
struct FIO_FILE_STATUS
{
    // The file's size in bytes.
    uint64_t size = 0;
};

class FIO_FILE_SYSTEM
{
public:
    // Fills the record for the named file; false when it has no status
    // (missing, or not reachable).
    static bool status(const char* name, FIO_STAT* record);
    // Lists a directory: the pattern is the directory, "/" and a name
    // pattern ("*" or a shell pattern such as "*.txt"). Entries come in name
    // order, "." and ".." included. findfirst
    // gives the first entry and a handle above 1, or -1 when the directory
    // cannot be read or nothing matches; findnext gives the next entry (0)
    // or -1 at the end; findclose releases the handle (0, or -1 for an
    // unknown handle).
    static intptr_t findfirst(const char* pattern, FIO_FINDDATA* data);
    static int findnext(intptr_t handle, FIO_FINDDATA* data);
    static int findclose(intptr_t handle);

    static bool exists(const FIO_PATH& path);
    static bool is_directory(const FIO_PATH& path);
    // The status of the file at the path, as the file system library
    // (std::filesystem) gives it: true and its size in `status`; false,
    // `status` untouched, when the path names no regular file or it cannot
    // be read.
    static bool status(const FIO_PATH& path, FIO_FILE_STATUS& status);
    // The process's current directory ("" when it cannot be read).
    static std::string get_current_directory();
};

// Writes the bytes to a temporary file beside the path and renames it into
// place, so the path never holds a half-written file; the file keeps the
// mode of the file it replaces (fio_set_replacement_mode). Only a regular
// file or a new name is replaced: a character device (/dev/null) is written
// as it stands, and a directory, FIFO, socket or block device is refused
// without waiting. False, with the reason in *error, when the file cannot
// be written.
bool fio_write_file_atomically(const std::string& path, const std::string& bytes, std::string* error = nullptr);

// Copies a regular file to the target, through a temporary beside the target
// and a rename; the copy has the source's permission bits. The source is
// opened as fio_open_regular_file opens it: a FIFO or device, even one put
// in the file's place just before, is refused and never read. False, with
// the reason in *error ("not a regular file", else the system's text), when
// the file cannot be read or the copy written.
bool fio_copy_regular_file(const std::string& source, const std::string& target, std::string* error = nullptr);

// Makes the temporary file beside the path that an atomic writer fills and
// renames over it (".<file name>.XXXXXX" in the path's directory, mode
// 0600) and tracks it (fio_track_temporary). The descriptor, with the
// temporary's path in *temporary; -1 with errno set when it cannot be made
// (EINVAL for a path without a file name, EAGAIN when it cannot be tracked:
// no file is then left).
int fio_create_temporary(const std::string& path, std::string* temporary);

// Gives the file behind the descriptor (a temporary about to replace the
// path) the mode that the path's file has, or else the mode a new file
// gets: 0666 less the process's umask. A replaced file's owner and group
// are given too where the process may (never a failure). False, with errno
// set, when the mode cannot be set.
bool fio_set_replacement_mode(int fd, const std::string& path);

// Opens a file for reading when it is a regular file (links followed). The
// kind is checked on the open descriptor, and the open never waits: a FIFO
// or device, even one put in the file's place just before, is refused and
// never read. The descriptor (blocking, close-on-exec) with the file's
// status in *record, or -1 with errno set: EINVAL for a file that is not a
// regular file.
int fio_open_regular_file(const std::string& path, FIO_STAT* record = nullptr);

// Reads a regular file whole through fio_open_regular_file. False, with the
// reason in *error, when it cannot be opened or read.
bool fio_read_regular_file(const std::string& path, std::string& bytes, std::string* error = nullptr);

// Temporaries being written (the atomic writers' files before their rename)
// are tracked, so that a process ended by a signal can remove them and leave
// no partial file behind. fio_track_temporary takes the path (false when
// every slot is taken: fio_create_temporary then fails);
// fio_untrack_temporary forgets it once it is renamed or removed.
bool fio_track_temporary(const std::string& path);
void fio_untrack_temporary(const std::string& path);

// Removes every tracked temporary; safe to call from a signal handler (it
// only reads fixed slots and calls unlink).
void fio_remove_tracked_temporaries();

// The full path of a file name. The suite gives the wide full UNC name on
// platforms that have one; on Linux it is the absolute narrow path.
std::string fio_get_unc_full_path(const char* name);

