// The project directory of one host run: a fresh copy of the design
// directory, and what the run changed in it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include <sys/types.h>

// A problem with the project directory or its files; what() says which path
// and what went wrong.
class PROJECT_ERROR : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Refuses the project directory that create_project_directory would be
// asked for: a requested path that exists, that lies inside the design
// directory, or that goes up ("x/../y") from a directory that does not
// exist; a default parent inside the design directory. Makes nothing.
void check_project_directory(const std::filesystem::path& requested, const std::filesystem::path& default_parent,
                             const std::filesystem::path& design_directory);

// Makes the project directory and returns it, after the checks of
// check_project_directory. A requested path must not exist yet (its parents
// are made as needed). Without one, the first free
// "<default_parent>/<name>-<n>" (n = 1, 2, ...) is made. The directory may
// not lie inside the design directory, which is copied into it.
// A trailing separator of the requested path is dropped. The outermost
// directory that the call made (the project directory or a parent of it)
// goes to *first_created, so that a failed start can take it back.
std::filesystem::path create_project_directory(const std::filesystem::path& requested,
                                               const std::filesystem::path& default_parent,
                                               const std::filesystem::path& design_directory,
                                               std::filesystem::path* first_created = nullptr);

// Refuses a design directory that holds anything but regular files and
// directories (symbolic links, devices, pipes, sockets).
void check_design_directory(const std::filesystem::path& design_directory);

// The identity of a file (device and inode, links followed); none when there
// is no file. A file written anew through a rename is a new one, even with
// the old bytes.
typedef std::pair<dev_t, ino_t> FILE_IDENTITY;
std::optional<FILE_IDENTITY> file_identity(const std::filesystem::path& file);

// The first line of every debug log that the host writes (without its line
// end). An existing regular file is taken for a debug log only when it
// begins with this line or is empty.
extern const char DEBUG_LOG_FIRST_LINE[];

// A run's debug log. It is opened once, and everything about the file is
// decided on that descriptor: nothing is renamed, and nothing opened again
// by name.
class DEBUG_LOG
{
public:
    DEBUG_LOG() = default;
    DEBUG_LOG(const DEBUG_LOG&) = delete;
    DEBUG_LOG& operator=(const DEBUG_LOG&) = delete;
    // Closes the log; a file that open() made for a run that never started
    // is removed again.
    ~DEBUG_LOG();

    // Opens the log of the name, its symbolic links followed (a link to a
    // file not made yet leads to that file). Refused, making nothing: a log
    // inside the source directory (what names it in the refusal) or the
    // design directory (process-sof's, which the run reads but does not
    // copy; none when empty), or that is a file of either by another name
    // (a hard link); inside the project directory that
    // create_project_directory will make with the same arguments, or that
    // is that directory or one above it; an existing file that is not an
    // empty regular file, a regular file that begins with
    // DEBUG_LOG_FIRST_LINE, the host's own standard output or error, a
    // character device or a FIFO that a process reads (never waiting for
    // one); a regular file locked by another run or process (runs whose own
    // output the log is share its lock). A new file is made here, and is
    // this run's own. Throws the PROJECT_ERROR naming the log.
    void open(const std::filesystem::path& name, const std::filesystem::path& requested,
              const std::filesystem::path& default_parent, const std::filesystem::path& source,
              const std::string& source_what, const std::filesystem::path& design = {});

    bool is_open() const { return m_fd >= 0; }
    // The name the log was given.
    const std::string& name() const { return m_name; }
    // Whether the file at the path is the log: the same path once links are
    // followed, or the same file.
    bool is(const std::filesystem::path& file) const;

    // Starts the run's lines (nothing for a log not open): a regular file is
    // emptied (unless it is the host's standard output or error), the first
    // line written, and every debug line then written as it comes. False
    // with the problem when the file cannot be emptied.
    bool start(std::string& problem);

    // Stops the lines and closes the log (nothing for a log not open); false
    // with the problem, naming the log, when a line could not be written or
    // the name that led to the log's file when it was opened leads
    // elsewhere now (the file was replaced or moved).
    bool finish(std::string& problem);

private:
    // Closes the descriptors; see the destructor.
    void close();

    // The descriptor opened by the name: the file's kind, identity and
    // lock are those of this one.
    int m_fd = -1;
    // The descriptor the lines go through: m_fd, or a duplicate of the
    // host's standard output or error when the log is that file, so that
    // the lines and the host's output share one offset.
    int m_lines_fd = -1;
    std::string m_name;
    std::filesystem::path m_target;
    bool m_created = false;
    // Whether the log is the host's standard output or error (never
    // emptied).
    bool m_shared = false;
    // Whether the name led to the descriptor's file when it was opened: only
    // then does finish() check it again.
    bool m_named = false;
    bool m_started = false;
    // The error of the first line that could not be written; 0 for none.
    int m_error = 0;
};

// Copies the design directory's contents into the (empty) project directory,
// refusing what check_design_directory refuses; files keep their permission
// bits, directories theirs less the umask. Throws the PROJECT_ERROR.
void copy_design_directory(const std::filesystem::path& design_directory, const std::filesystem::path& project);

// Copies a regular file to the target (fio_copy_regular_file: a FIFO or
// device in its place is refused, never read); the copy keeps its
// permission bits. Throws the PROJECT_ERROR naming the source.
void copy_regular_file(const std::filesystem::path& source, const std::filesystem::path& target);

// Size and content digest of each regular file under a directory (symbolic
// links followed; a link that leads nowhere is no file), by path relative to
// it. An entry whose status or bytes cannot be read (it vanished, its links
// form a loop) is a PROJECT_ERROR naming it.
struct FILE_STATE
{
    uintmax_t size;
    uint64_t digest;
};
typedef std::map<std::string, FILE_STATE> DIRECTORY_SNAPSHOT;
DIRECTORY_SNAPSHOT snapshot_directory(const std::filesystem::path& directory);

// The files of after that are new or differ from before, in path order.
std::vector<std::pair<std::string, uintmax_t>> changed_files(const DIRECTORY_SNAPSHOT& before,
                                                             const DIRECTORY_SNAPSHOT& after);

// Writes the bytes to a temporary file beside the target and renames it into
// place, so the target is never half-written.
void write_file_atomically(const std::filesystem::path& file, const std::string& bytes);

class DBCM_SECTION_STORE;

// A chip-database section and the file its bytes went to.
struct SECTION_FILE
{
    std::string section;
    size_t size;
    std::string file;
};

// Writes each section's bytes, unchanged, to its own file in the directory
// (named by section_file_name, never one of the files already there), in
// store order. A null store has none.
std::vector<SECTION_FILE> write_section_files(const DBCM_SECTION_STORE* store, const std::filesystem::path& directory);

// A file name for a chip-database section: "<name>.bin", with every
// character other than letters, digits, '_', '-' and '.' replaced by '_';
// when that file name is already in used, ".2", ".3", ... comes before
// ".bin". Adds the result to used.
std::string section_file_name(const std::string& section, std::set<std::string>& used);
