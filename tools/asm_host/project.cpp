#include "project.h"

#include <fio.h>

#include <dbcm.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>
#include <system_error>

namespace fs = std::filesystem;

namespace
{

// Whether the path is the directory itself or lies inside it (both
// normalised and absolute).
bool is_within(const fs::path& path, const fs::path& directory)
{
    auto d = directory.begin();
    auto p = path.begin();
    for (; d != directory.end(); ++d, ++p)
    {
        if (d->empty())
            continue;  // the trailing empty element of "dir/"
        if (p == path.end() || *p != *d)
            return false;
    }
    return true;
}

// The path without trailing separators ("out/" is "out"); the root stays.
fs::path without_trailing_separator(const fs::path& path)
{
    fs::path result = path;
    while (!result.empty() && result.filename().empty() && result != result.root_path())
        result = result.parent_path();
    return result;
}

fs::path normalised(const fs::path& path)
{
    std::error_code ec;
    fs::path result = fs::weakly_canonical(fs::absolute(path), ec);
    if (ec)
        throw PROJECT_ERROR(path.string() + ": " + ec.message());
    return result;
}

// mkdir that fails when the directory exists: a project directory is never
// shared with an earlier run.
bool make_new_directory(const fs::path& directory)
{
    if (::mkdir(directory.c_str(), 0777) == 0)
        return true;
    if (errno == EEXIST)
        return false;
    throw PROJECT_ERROR(directory.string() + ": cannot create the directory: " + std::strerror(errno));
}

uint64_t digest_of(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw PROJECT_ERROR(file.string() + ": cannot read the file");
    // FNV-1a over the bytes.
    uint64_t hash = 14695981039346656037ull;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0)
    {
        for (std::streamsize i = 0; i < in.gcount(); ++i)
        {
            hash ^= static_cast<unsigned char>(buffer[i]);
            hash *= 1099511628211ull;
        }
    }
    return hash;
}

// The outermost of the directories that create_directories would make for
// the path; empty when the path exists.
fs::path first_missing_directory(const fs::path& path)
{
    std::error_code ec;
    fs::path missing;
    for (fs::path each = path; !each.empty() && !fs::exists(each, ec); each = each.parent_path())
    {
        missing = each;
        if (each == each.parent_path())
            break;
    }
    return missing;
}

// Makes the directory and its missing parents; the outermost one made goes
// to *first_created (unless one was made before).
void create_directories(const fs::path& directory, fs::path* first_created, std::error_code& ec)
{
    const fs::path missing = first_missing_directory(directory);
    fs::create_directories(directory, ec);
    if (first_created != nullptr && first_created->empty())
        *first_created = missing;
}

}  // namespace

fs::path create_project_directory(const fs::path& requested_path, const fs::path& default_parent,
                                  const fs::path& design_directory, fs::path* first_created)
{
    const fs::path design = normalised(design_directory);
    const fs::path requested = without_trailing_separator(requested_path);
    std::error_code ec;
    if (!requested.empty())
    {
        const fs::path target = normalised(requested);
        if (is_within(target, design))
            throw PROJECT_ERROR(requested.string() + ": the project directory cannot lie inside the design directory");
        if (fs::exists(target, ec) || fs::is_symlink(target, ec))
            throw PROJECT_ERROR(requested.string() + ": already exists (a project directory is never reused)");
        if (target.has_parent_path())
            create_directories(target.parent_path(), first_created, ec);
        if (ec)
            throw PROJECT_ERROR(requested.string() + ": cannot create the parent directories: " + ec.message());
        if (!make_new_directory(target))
            throw PROJECT_ERROR(requested.string() + ": already exists (a project directory is never reused)");
        if (first_created != nullptr && first_created->empty())
            *first_created = target;
        return requested;
    }

    const fs::path parent = normalised(default_parent);
    if (is_within(parent, design))
        throw PROJECT_ERROR(default_parent.string() +
                            ": the project directory cannot lie inside the design directory; give --out");
    create_directories(parent, first_created, ec);
    if (ec)
        throw PROJECT_ERROR(default_parent.string() + ": cannot create the directory: " + ec.message());
    const std::string name = design.filename().empty() ? std::string("design") : design.filename().string();
    for (int n = 1;; ++n)
    {
        const fs::path candidate = default_parent / (name + "-" + std::to_string(n));
        if (make_new_directory(candidate))
        {
            if (first_created != nullptr && first_created->empty())
                *first_created = candidate;
            return candidate;
        }
    }
}

void check_design_directory(const fs::path& design_directory)
{
    // The copy holds what the run may write over: a symbolic link would lead
    // its writes out of the project directory, a device or pipe would hang
    // the copy.
    std::error_code ec;
    for (fs::recursive_directory_iterator it(design_directory, ec), end; !ec && it != end; it.increment(ec))
    {
        const fs::file_status status = it->symlink_status(ec);
        if (ec)
            break;
        if (fs::is_symlink(status))
            throw PROJECT_ERROR(it->path().string() +
                                ": a symbolic link; a design directory holds only files and directories");
        if (!fs::is_regular_file(status) && !fs::is_directory(status))
            throw PROJECT_ERROR(it->path().string() +
                                ": not a regular file; a design directory holds only files and directories");
    }
    if (ec)
        throw PROJECT_ERROR(design_directory.string() + ": cannot list the directory: " + ec.message());
}

void check_debug_log(const fs::path& debug_log, const fs::path& requested, const fs::path& default_parent,
                     const fs::path& design_directory)
{
    const fs::path log = normalised(debug_log);
    const std::string name = debug_log.string();
    if (is_within(log, normalised(design_directory)))
        throw PROJECT_ERROR(name + ": the debug log cannot lie inside the design directory");
    const fs::path project = without_trailing_separator(requested);
    bool in_project = false;
    if (!project.empty())
    {
        in_project = is_within(log, normalised(project));
    }
    else
    {
        // The project will be "<default_parent>/<name>-<n>".
        const fs::path parent = normalised(default_parent);
        const fs::path design = normalised(design_directory);
        const std::string prefix =
            (design.filename().empty() ? std::string("design") : design.filename().string()) + "-";
        if (is_within(log, parent) && log != parent)
        {
            const std::string first = fs::relative(log, parent).begin()->string();
            in_project = first.rfind(prefix, 0) == 0;
        }
    }
    if (in_project)
        throw PROJECT_ERROR(name + ": the debug log cannot lie inside the project directory");
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(log, ec);
    if (fs::exists(status) && !fs::is_regular_file(status))
        throw PROJECT_ERROR(name + ": not a regular file");
    if (!fs::is_directory(log.parent_path(), ec))
        throw PROJECT_ERROR(name + ": cannot write the debug log: its directory does not exist");
    const fs::path writable = fs::exists(status) ? log : log.parent_path();
    if (::access(writable.c_str(), W_OK) != 0)
        throw PROJECT_ERROR(name + ": cannot write the debug log: " + std::strerror(errno));
}

void copy_design_directory(const fs::path& design_directory, const fs::path& project)
{
    std::error_code ec;
    fs::copy(design_directory, project, fs::copy_options::recursive, ec);
    if (ec)
        throw PROJECT_ERROR("cannot copy " + design_directory.string() + " to " + project.string() + ": " +
                            ec.message());
}

DIRECTORY_SNAPSHOT snapshot_directory(const fs::path& directory)
{
    DIRECTORY_SNAPSHOT snapshot;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(directory, ec), end; !ec && it != end; it.increment(ec))
    {
        if (!it->is_regular_file())
            continue;
        const fs::path file = it->path();
        snapshot[fs::relative(file, directory).string()] = FILE_STATE{fs::file_size(file), digest_of(file)};
    }
    if (ec)
        throw PROJECT_ERROR(directory.string() + ": cannot list the directory: " + ec.message());
    return snapshot;
}

std::vector<std::pair<std::string, uintmax_t>> changed_files(const DIRECTORY_SNAPSHOT& before,
                                                             const DIRECTORY_SNAPSHOT& after)
{
    std::vector<std::pair<std::string, uintmax_t>> files;
    for (const auto& [path, state] : after)
    {
        auto old = before.find(path);
        if (old == before.end() || old->second.size != state.size || old->second.digest != state.digest)
            files.emplace_back(path, state.size);
    }
    return files;
}

void write_file_atomically(const fs::path& file, const std::string& bytes)
{
    std::string reason;
    if (!fio_write_file_atomically(file.string(), bytes, &reason))
        throw PROJECT_ERROR(file.string() + ": cannot write the file: " + reason);
}

std::string section_file_name(const std::string& section, std::set<std::string>& used)
{
    std::string base = section.empty() ? std::string("section") : section;
    for (char& c : base)
    {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                           c == '-' || c == '.';
        if (!plain)
            c = '_';
    }
    std::string name = base + ".bin";
    for (int n = 2; used.count(name) != 0; ++n)
        name = base + "." + std::to_string(n) + ".bin";
    used.insert(name);
    return name;
}

std::vector<SECTION_FILE> write_section_files(const DBCM_SECTION_STORE* store, const fs::path& directory)
{
    std::vector<SECTION_FILE> files;
    if (store == nullptr)
        return files;
    // Files already in the directory (the design's, the run's) are kept.
    std::set<std::string> used;
    std::error_code ec;
    for (fs::directory_iterator it(directory, ec), end; !ec && it != end; it.increment(ec))
        used.insert(it->path().filename().string());
    for (const DBCM_SECTION& section : store->get_sections())
    {
        const std::string file = section_file_name(section.name, used);
        write_file_atomically(directory / file, section.bytes);
        files.push_back(SECTION_FILE{section.name, section.bytes.size(), file});
    }
    return files;
}
