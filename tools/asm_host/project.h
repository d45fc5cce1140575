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

// An input of a command that its debug log may not overwrite: a file, or
// everything inside a directory; what names it in the refusal.
struct DEBUG_LOG_INPUT
{
    std::filesystem::path path;
    bool directory;
    std::string what;
};

// The file a debug log's lines go to: the path with its symbolic links
// followed to their end (a link to a file that does not exist yet leads to
// that file), absolute and normal.
std::filesystem::path debug_log_target(const std::filesystem::path& debug_log);

// Refuses a debug log (the target of the name, given as name) that is the
// same file as one of the inputs, whatever path reaches it (a hard or
// symbolic link), that lies inside one of the input directories or is the
// same file as one inside them.
void check_debug_log_inputs(const std::filesystem::path& target, const std::string& name,
                            const std::vector<DEBUG_LOG_INPUT>& inputs);

// Refuses a debug log as check_debug_log_inputs does, and one that lies
// inside the project directory that create_project_directory will make with
// the same arguments (source is the directory copied into it) or is that
// directory or one above it, that is not a regular file, that cannot be
// opened for writing as it stands (an append-only file among them), or
// whose directory takes no new file (the log is written to a temporary
// beside it). Makes nothing; returns the log's target.
std::filesystem::path check_debug_log(const std::filesystem::path& debug_log, const std::filesystem::path& requested,
                                      const std::filesystem::path& default_parent,
                                      const std::filesystem::path& source,
                                      const std::vector<DEBUG_LOG_INPUT>& inputs);

// Makes a new temporary file ".<name>.XXXXXX" beside the file, with the
// file's own permissions when it exists (else those of a new file under the
// umask); its descriptor, its path in temporary. -1 with errno set when it
// cannot be made.
int create_temporary_beside(const std::filesystem::path& file, std::string& temporary);

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
