#include "asm_fstream.h"
#include "asm_signal_registry.h"
#include "file_size_limit.h"

#include <fio.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace fs = std::filesystem;
using asm_io::kestil_fstream;
using asm_io::kestil_ifstream;
using asm_io::kestil_ofstream;

namespace
{

class FullPathStreams : public testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/asm_fstream_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }

    std::string path(const std::string& name) const { return m_dir + "/" + name; }

    void write_file(const std::string& name, const std::string& content) const
    {
        std::ofstream out(path(name), std::ios::binary);
        out << content;
    }

    std::string read_file(const std::string& name) const
    {
        std::ifstream in(path(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    static std::string read_all(std::istream& in)
    {
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // The names in the directory, in name order.
    std::vector<std::string> entries() const
    {
        std::vector<std::string> names;
        for (const fs::directory_entry& entry : fs::directory_iterator(m_dir))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string m_dir;
};

// The descriptor that the next open gets.
int next_descriptor()
{
    const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (fd >= 0)
        ::close(fd);
    return fd;
}

// Descriptor 0 closed while it lives, as in a program started with its
// standard input closed, so that the next open gets it; put back after.
class DESCRIPTOR_0_FREE
{
public:
    DESCRIPTOR_0_FREE() : m_saved(::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 3)) { ::close(STDIN_FILENO); }
    ~DESCRIPTOR_0_FREE()
    {
        if (m_saved >= 0)
        {
            ::dup2(m_saved, STDIN_FILENO);
            ::close(m_saved);
        }
    }
    DESCRIPTOR_0_FREE(const DESCRIPTOR_0_FREE&) = delete;
    DESCRIPTOR_0_FREE& operator=(const DESCRIPTOR_0_FREE&) = delete;

private:
    int m_saved;
};

}  // namespace

TEST_F(FullPathStreams, ReadsTextAndBinaryFiles)
{
    write_file("design.txt", "line one\nline two\n");
    kestil_ifstream text;
    text.open(path("design.txt").c_str(), std::ios::in, asm_io::kestil_share_deny_none);
    ASSERT_TRUE(text.is_open());
    std::string first;
    std::getline(text, first);
    EXPECT_EQ(first, "line one");

    const std::string bytes("\x00\x01\r\n\xff", 5);
    write_file("key.zky", bytes);
    kestil_ifstream binary;
    binary.open(path("key.zky").c_str(), std::ios::in | std::ios::binary, 0x40);
    EXPECT_EQ(read_all(binary), bytes);
}

TEST_F(FullPathStreams, NameIsResolvedThroughItsFullPath)
{
    write_file("data.txt", "found");
    ASSERT_EQ(chdir(m_dir.c_str()), 0);
    // The directory "missing" does not exist: the system cannot resolve the
    // name as given, but its normalised full path names data.txt.
    const char* name = "missing/../data.txt";
    std::ifstream plain(name);
    ASSERT_FALSE(plain.is_open());

    kestil_ifstream in;
    in.open(name);
    ASSERT_TRUE(in.is_open());
    EXPECT_TRUE(in.good());
    EXPECT_EQ(read_all(in), "found");

    kestil_ofstream out("missing/../written.txt");
    ASSERT_TRUE(out.is_open());
    out << "w";
    out.close();
    EXPECT_EQ(read_file("written.txt"), "w");
}

TEST_F(FullPathStreams, OpenOfAnOpenStreamChangesNothing)
{
    write_file("first.txt", "first");
    write_file("second.txt", "second");
    kestil_ifstream in;
    in.open(path("first.txt").c_str());
    ASSERT_TRUE(in.good());
    in.open(path("second.txt").c_str());
    EXPECT_TRUE(in.good());
    EXPECT_EQ(read_all(in), "first");

    // After reading to the end the state is kept as it is, too.
    in.get();
    const std::ios::iostate at_end = in.rdstate();
    ASSERT_NE(at_end, std::ios::goodbit);
    in.open(path("second.txt").c_str());
    EXPECT_EQ(in.rdstate(), at_end);
    EXPECT_TRUE(in.is_open());
}

TEST_F(FullPathStreams, OpenOfAnOpenOutputStreamKeepsWritingTheFirstFile)
{
    kestil_ofstream out(path("a.txt").c_str());
    out.open(path("b.txt").c_str());
    EXPECT_TRUE(out.good());
    out << "to a";
    out.close();
    EXPECT_EQ(read_file("a.txt"), "to a");
    EXPECT_FALSE(fs::exists(path("b.txt")));
}

TEST_F(FullPathStreams, FailedOpenSetsTheFailBitAndLeavesTheBufferClosed)
{
    kestil_ifstream in;
    in.open(path("absent.txt").c_str());
    EXPECT_TRUE(in.fail());
    EXPECT_FALSE(in.bad());
    EXPECT_FALSE(in.is_open());

    // A later successful open clears the state.
    write_file("present.txt", "x");
    in.open(path("present.txt").c_str());
    EXPECT_TRUE(in.good());
    EXPECT_TRUE(in.is_open());

    kestil_ofstream out(path("no_such_dir/out.txt").c_str());
    EXPECT_TRUE(out.fail());
    EXPECT_FALSE(out.is_open());
}

TEST_F(FullPathStreams, NullOrEmptyNameFails)
{
    kestil_ifstream in;
    in.open(nullptr);
    EXPECT_TRUE(in.fail());
    EXPECT_FALSE(in.is_open());

    kestil_ifstream empty;
    empty.open("");
    EXPECT_TRUE(empty.fail());
    EXPECT_FALSE(empty.is_open());

    kestil_ofstream out("");
    EXPECT_TRUE(out.fail());
    EXPECT_FALSE(out.is_open());
}

TEST_F(FullPathStreams, InputStreamAlwaysOpensForReading)
{
    // With out as the only mode given, in is added: a missing file is not
    // created, and an existing one is read without being truncated. The
    // stream opens for reading only: a read-only file opens (for a user
    // other than root) whatever the mode asks, also as descriptor 0.
    kestil_ifstream missing;
    missing.open(path("never.txt").c_str(), std::ios::out);
    EXPECT_TRUE(missing.fail());
    EXPECT_FALSE(fs::exists(path("never.txt")));

    write_file("kept.txt", "content");
    ASSERT_EQ(::chmod(path("kept.txt").c_str(), 0444), 0);
    for (const bool zero_free : {false, true})
        for (const std::ios::openmode mode : {std::ios::binary, std::ios::out | std::ios::binary})
        {
            SCOPED_TRACE(zero_free ? "descriptor 0 free" : "");
            std::optional<DESCRIPTOR_0_FREE> free_0;
            if (zero_free)
            {
                free_0.emplace();
                ASSERT_EQ(next_descriptor(), 0);
            }
            kestil_ifstream in;
            in.open(path("kept.txt").c_str(), mode);
            EXPECT_EQ(read_all(in), "content") << mode;
        }
}

TEST_F(FullPathStreams, OutputStreamAlwaysOpensForWriting)
{
    write_file("report.txt", "old content that is long");
    kestil_ofstream out(path("report.txt").c_str());
    out << "new";
    out.close();
    EXPECT_EQ(read_file("report.txt"), "new");

    // With in as the only mode given, out is added and nothing truncates.
    write_file("patch.bin", "hello world");
    kestil_ofstream patch;
    patch.open(path("patch.bin").c_str(), std::ios::in | std::ios::binary);
    ASSERT_TRUE(patch.is_open());
    patch << "HE";
    patch.close();
    EXPECT_EQ(read_file("patch.bin"), "HEllo world");

    kestil_ofstream truncating(path("t.txt").c_str(), std::ios::trunc, 0);
    truncating << "t";
    truncating.close();
    EXPECT_EQ(read_file("t.txt"), "t");
}

TEST_F(FullPathStreams, ReadWriteStreamTakesTheModeAsGiven)
{
    write_file("pfg.log", "first run\n");
    kestil_fstream log;
    log.open(path("pfg.log").c_str(), std::ios::out | std::ios::app, asm_io::kestil_share_deny_none);
    ASSERT_TRUE(log.is_open());
    log << "second run\n";
    log.close();
    EXPECT_EQ(read_file("pfg.log"), "first run\nsecond run\n");

    // in alone: a missing file is not created.
    kestil_fstream reading;
    reading.open(path("missing.log").c_str(), std::ios::in);
    EXPECT_TRUE(reading.fail());
    EXPECT_FALSE(fs::exists(path("missing.log")));

    // out alone: it is.
    kestil_fstream writing;
    writing.open(path("created.log").c_str(), std::ios::out);
    EXPECT_TRUE(writing.good());
    EXPECT_TRUE(fs::exists(path("created.log")));

    kestil_fstream both;
    both.open(path("pfg.log").c_str());
    std::string line;
    std::getline(both, line);
    EXPECT_EQ(line, "first run");
}

TEST_F(FullPathStreams, WriteStreamsOpenEachModeAsTheStandardStreamsDoAndCloseOnExec)
{
    // Each mode on a file that holds "hello world": where the stream stands
    // once open (a write-only append at the end, as fopen's "a" puts it; a
    // read-write one at the start, as "a+" does) and what a
    // write of "HE" leaves, or nullopt where the mode cannot open the file
    // (the file is then left as it was). The descriptor of an open stream is
    // not passed to a program that the process starts. The stream takes the
    // lowest free descriptor, found just before its open; each mode that
    // opens also runs with descriptor 0 free, which the stream then gets.
    struct CASE
    {
        const char* what;
        bool read_write;  // kestil_fstream, else kestil_ofstream
        std::ios::openmode mode;
        std::streamoff at;
        std::optional<std::string> left;
    };
    const CASE cases[] = {
        {"out", false, std::ios::out, 0, "HE"},
        {"out trunc", false, std::ios::out | std::ios::trunc, 0, "HE"},
        {"app", false, std::ios::app, 11, "hello worldHE"},
        {"in, out added", false, std::ios::in, 0, "HEllo world"},
        {"in ate, out added", false, std::ios::in | std::ios::ate, 11, "hello worldHE"},
        {"out ate", false, std::ios::out | std::ios::ate, 0, "HE"},
        {"in out", true, std::ios::in | std::ios::out, 0, "HEllo world"},
        {"in out trunc", true, std::ios::in | std::ios::out | std::ios::trunc, 0, "HE"},
        {"in app", true, std::ios::in | std::ios::app, 0, "hello worldHE"},
        {"in out app", true, std::ios::in | std::ios::out | std::ios::app, 0, "hello worldHE"},
        {"out app binary", true, std::ios::out | std::ios::app | std::ios::binary, 11, "hello worldHE"},
        {"trunc app", true, std::ios::trunc | std::ios::app, 0, std::nullopt},
        {"trunc alone", true, std::ios::trunc, 0, std::nullopt},
    };
    const auto write_through = [this](auto& stream, const CASE& c, bool zero_free) {
        const int next = next_descriptor();
        ASSERT_GE(next, 0);
        if (zero_free)
        {
            ASSERT_EQ(next, 0);
        }
        stream.open(path("modes.txt").c_str(), c.mode);
        ASSERT_EQ(stream.is_open(), c.left.has_value());
        if (stream.is_open())
        {
            EXPECT_EQ(::fcntl(next, F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
            EXPECT_EQ(static_cast<std::streamoff>(stream.tellp()), c.at);
            stream << "HE";
            stream.close();
        }
        EXPECT_EQ(read_file("modes.txt"), c.left.value_or("hello world"));
    };
    for (const bool zero_free : {false, true})
        for (const CASE& c : cases)
        {
            if (zero_free && !c.left)
                continue;
            SCOPED_TRACE(std::string(c.what) + (zero_free ? ", descriptor 0 free" : ""));
            write_file("modes.txt", "hello world");
            std::optional<DESCRIPTOR_0_FREE> free_0;
            if (zero_free)
                free_0.emplace();
            if (c.read_write)
            {
                kestil_fstream stream;
                write_through(stream, c, zero_free);
            }
            else
            {
                kestil_ofstream stream;
                write_through(stream, c, zero_free);
            }
        }

    // A FIFO put in a file's place is refused at once, as a directory is,
    // whether anyone reads it or not, and never opened, so that a reader
    // waiting for a writer goes on waiting; a character device is written.
    ASSERT_EQ(mkfifo(path("pipe").c_str(), 0600), 0);
    const int reader = ::open(path("pipe").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    pollfd waiting = {reader, POLLIN, 0};
    ASSERT_EQ(mkfifo(path("unread").c_str(), 0600), 0);
    fs::create_directory(path("directory"));
    for (const std::string& target : {path("unread"), path("pipe"), path("directory"), std::string("/dev/null")})
    {
        SCOPED_TRACE(target);
        const bool written = target == "/dev/null";
        kestil_ofstream out(target.c_str());
        EXPECT_EQ(out.is_open(), written);
        kestil_fstream both;
        both.open(target.c_str(), std::ios::out | std::ios::app);
        EXPECT_EQ(both.is_open(), written);
        out << "x";
        both << "x";
        EXPECT_EQ(out.good(), written);
        EXPECT_EQ(both.good(), written);
    }
    // A reader's poll sees a hang-up once a writer has come and gone.
    EXPECT_EQ(::poll(&waiting, 1, 0), 0) << "the FIFO was opened for writing";
    ::close(reader);
}

TEST_F(FullPathStreams, ReaderRefusesAnythingButARegularFile)
{
    write_file("plain.txt", "plain");
    fs::create_directory(path("dir"));
    ASSERT_EQ(mkfifo(path("pipe").c_str(), 0600), 0);
    fs::create_symlink(path("plain.txt"), path("link"));

    // A FIFO without a writer would block the open; /dev/zero never ends.
    for (const std::string& name : {path("dir"), path("pipe"), std::string("/dev/zero"), path("none")})
    {
        kestil_ifstream in;
        in.open(name.c_str());
        EXPECT_FALSE(in.is_open()) << name;
        EXPECT_TRUE(in.fail()) << name;
        EXPECT_FALSE(asm_io::kestil_is_regular_file(name.c_str())) << name;
    }
    kestil_ifstream linked;
    linked.open(path("link").c_str());
    EXPECT_EQ(read_all(linked), "plain");
    EXPECT_TRUE(asm_io::kestil_is_regular_file(path("link").c_str()));
    EXPECT_FALSE(asm_io::kestil_is_regular_file(""));

    // The suite's reader, which the host and the stand-ins use, the same:
    // opened without waiting on the FIFO, refused by its own kind, and
    // handed on blocking.
    std::vector<std::string> opened;
    for (const std::string& name : {path("dir"), path("pipe"), std::string("/dev/zero"), path("none"), path("link")})
    {
        errno = 0;
        FIO_STAT record;
        const int fd = fio_open_regular_file(name, &record);
        const int error = errno;
        std::string row = name.substr(name.rfind('/') + 1) + ": ";
        if (fd < 0)
            row += std::strerror(error);
        else
            row += "size " + std::to_string(record.st_size) +
                   ((::fcntl(fd, F_GETFL) & O_NONBLOCK) != 0 ? ", non-blocking" : ", blocking") +
                   ((::fcntl(fd, F_GETFD) & FD_CLOEXEC) != 0 ? ", close-on-exec" : "");
        if (fd >= 0)
            ::close(fd);
        opened.push_back(row);
    }
    const std::vector<std::string> expected = {"dir: Invalid argument", "pipe: Invalid argument",
                                               "zero: Invalid argument", "none: No such file or directory",
                                               "link: size 5, blocking, close-on-exec"};
    EXPECT_EQ(opened, expected);
}

TEST_F(FullPathStreams, AtomicWriterReplacesTheFileOnlyOnCommit)
{
    write_file("out.txt", "old");
    ASSERT_EQ(chdir(m_dir.c_str()), 0);
    {
        asm_io::kestil_atomic_ofstream out("missing/../out.txt");
        ASSERT_TRUE(out.good());
        EXPECT_EQ(out.target(), path("out.txt"));
        out << "new text";
        // Until the commit the reader sees the old file, and no more than
        // the one temporary lies beside it.
        EXPECT_EQ(read_file("out.txt"), "old");
        EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 2);
        ASSERT_TRUE(out.commit());
        EXPECT_FALSE(out.commit());
    }
    EXPECT_EQ(read_file("out.txt"), "new text");

    // Destroyed without a commit: the target stays and no temporary is left.
    {
        asm_io::kestil_atomic_ofstream out(path("out.txt").c_str());
        out << "lost";
    }
    EXPECT_EQ(read_file("out.txt"), "new text");
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 1);
}

TEST_F(FullPathStreams, AtomicWriterReportsEveryFailure)
{
    // No directory for the temporary.
    asm_io::kestil_atomic_ofstream nowhere(path("none/out.txt").c_str());
    EXPECT_TRUE(nowhere.fail());
    EXPECT_FALSE(nowhere.commit());

    // Only a regular file or a new name is replaced, by either writer: a
    // directory, a FIFO without a reader (never waited for) and a socket are
    // refused as they stand; a character device, reached here through a
    // link, is written as it stands and the link stays.
    fs::create_directory(path("dir"));
    ASSERT_EQ(mkfifo(path("pipe").c_str(), 0600), 0);
    const int listening = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path("socket").c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    fs::create_symlink("/dev/null", path("null"));
    const auto kind = [](const std::string& file) {
        struct stat info;
        if (::lstat(file.c_str(), &info) != 0)
            return std::string("none");
        if (S_ISLNK(info.st_mode))
            return "link to " + std::string(::stat(file.c_str(), &info) == 0 && S_ISCHR(info.st_mode)
                                                ? "character device"
                                                : "something else");
        return std::string(S_ISDIR(info.st_mode)    ? "directory"
                           : S_ISFIFO(info.st_mode) ? "FIFO"
                           : S_ISSOCK(info.st_mode) ? "socket"
                                                    : "other");
    };
    std::vector<std::string> outcomes;
    for (const char* target : {"dir", "pipe", "socket", "null"})
    {
        asm_io::kestil_atomic_ofstream out(path(target).c_str());
        out << "text";
        const bool stream = out.commit();
        const bool suite = fio_write_file_atomically(path(target), "text");
        outcomes.push_back(std::string(target) + ": stream " + (stream ? "wrote" : "refused") + ", fio " +
                           (suite ? "wrote" : "refused") + ", now " + kind(path(target)));
    }
    ::close(listening);
    const std::vector<std::string> expected = {
        "dir: stream refused, fio refused, now directory", "pipe: stream refused, fio refused, now FIFO",
        "socket: stream refused, fio refused, now socket",
        "null: stream wrote, fio wrote, now link to character device"};
    EXPECT_EQ(outcomes, expected);
    EXPECT_EQ(entries(), (std::vector<std::string>{"dir", "null", "pipe", "socket"}));
    for (const char* target : {"dir", "pipe", "socket", "null"})
        fs::remove(path(target));

    // A write that fails part way, as on a full disk: the file size limit
    // makes every write past 16 bytes fail (EFBIG).
    write_file("kept.txt", "kept");
    bool committed = true;
    {
        FILE_SIZE_LIMIT limit(16);
        asm_io::kestil_atomic_ofstream out(path("kept.txt").c_str());
        out << std::string(1 << 20, 'x');
        committed = out.commit();
    }
    EXPECT_FALSE(committed);
    EXPECT_EQ(read_file("kept.txt"), "kept");
    EXPECT_EQ(entries(), std::vector<std::string>{"kept.txt"});

    asm_io::kestil_atomic_ofstream unnamed("");
    EXPECT_TRUE(unnamed.fail());
    EXPECT_FALSE(unnamed.commit());
}

TEST_F(FullPathStreams, AtomicWritersGiveANewFileTheUmaskModeAndAReplacedFileItsOwn)
{
    // Each writer under each umask: a new file (mode "none" before), and
    // files of three modes replaced, which are another user's first where
    // the process may give them away (as root). The file written holds the text, with its mode and owner. The
    // stream also writes through descriptor 0, as in a host started with
    // its standard input closed.
    const auto stream = [](const std::string& file) {
        asm_io::kestil_atomic_ofstream out(file.c_str());
        out << "new";
        return out.commit();
    };
    const std::pair<std::string, std::function<bool(const std::string&)>> writers[] = {
        {"stream", stream},
        {"stream as descriptor 0",
         [&](const std::string& file) {
             const DESCRIPTOR_0_FREE free_0;
             return next_descriptor() == 0 && stream(file);
         }},
        {"fio", [](const std::string& file) { return fio_write_file_atomically(file, "new"); }},
    };
    const auto octal = [](int mode) {
        char text[16];
        std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode));
        return mode < 0 ? std::string("none") : std::string(text);
    };
    const auto owner = [](uid_t uid, gid_t gid) {
        return " owner " + std::to_string(uid) + ":" + std::to_string(gid);
    };
    const auto row = [&](const std::string& writer, mode_t mask, int before, bool written, const std::string& after) {
        return writer + " umask " + octal(static_cast<int>(mask)) + ": " + octal(before) + " -> " +
               (written ? "written " : "failed ") + after;
    };
    for (const mode_t mask : {077, 002, 022})
    {
        const mode_t previous = ::umask(mask);
        for (const auto& [writer, write] : writers)
        {
            for (const int before : {-1, 0600, 0664, 0444})
            {
                const std::string name = writer + "_" + std::to_string(mask) + "_" + std::to_string(before);
                const std::string file = path(name);
                std::string wanted_owner = owner(::geteuid(), ::getegid());
                if (before >= 0)
                {
                    write_file(name, "old");
                    ASSERT_EQ(::chmod(file.c_str(), static_cast<mode_t>(before)), 0);
                    if (::chown(file.c_str(), 65534, 65534) == 0)
                        wanted_owner = owner(65534, 65534);
                }
                const bool written = write(file);
                struct stat info;
                const std::string after = ::stat(file.c_str(), &info) == 0
                                              ? octal(static_cast<int>(info.st_mode & 07777)) +
                                                    owner(info.st_uid, info.st_gid) + " \"" + read_file(name) + "\""
                                              : "none";
                const std::string wanted = octal(before >= 0 ? before : 0666 & ~mask) + wanted_owner + " \"new\"";
                EXPECT_EQ(row(writer, mask, before, written, after), row(writer, mask, before, true, wanted));
            }
        }
        ::umask(previous);
    }
}

TEST_F(FullPathStreams, AtomicWritersTrackTheirTemporariesUntilRenamedOrRemoved)
{
    write_file("out.txt", "old");
    {
        // While the stream writes, its temporary is the one the module's
        // clean-up for a signal removes; the commit then fails and the
        // target stays.
        asm_io::kestil_atomic_ofstream out(path("out.txt").c_str());
        out << "new";
        ASSERT_EQ(entries().size(), 2u);
        asm_clean_up_on_signal();
        EXPECT_EQ(entries(), std::vector<std::string>{"out.txt"});
        EXPECT_FALSE(out.commit());
    }
    EXPECT_EQ(read_file("out.txt"), "old");

    // Every way a write ends forgets its temporary: were one kept, the
    // slots (fewer than the rounds) would run out.
    fs::create_directory(path("taken"));
    for (int round = 0; round < 40; ++round)
    {
        EXPECT_TRUE(fio_write_file_atomically(path("fio.txt"), "x"));
        EXPECT_FALSE(fio_write_file_atomically(path("taken"), "x"));
        {
            FILE_SIZE_LIMIT limit(1);
            EXPECT_FALSE(fio_write_file_atomically(path("fio.txt"), "too long"));
        }
        asm_io::kestil_atomic_ofstream committed(path("stream.txt").c_str());
        committed << "x";
        EXPECT_TRUE(committed.commit());
        asm_io::kestil_atomic_ofstream refused(path("taken").c_str());
        refused << "x";
        EXPECT_FALSE(refused.commit());
        asm_io::kestil_atomic_ofstream dropped(path("stream.txt").c_str());
        dropped << "lost";
    }
    EXPECT_TRUE(fio_track_temporary(path("last")));
    fio_untrack_temporary(path("last"));
    const std::vector<std::string> left = {"fio.txt", "out.txt", "stream.txt", "taken"};
    EXPECT_EQ(entries(), left);

    // A full registry never leaves a file untracked: with every slot taken
    // the next write fails and makes nothing, for the stream and for the
    // suite's writer alike; a slot given back serves again.
    std::vector<std::unique_ptr<asm_io::kestil_atomic_ofstream>> open;
    while (open.size() < 1000)
    {
        open.push_back(std::make_unique<asm_io::kestil_atomic_ofstream>(path("stream.txt").c_str()));
        if (open.back()->fail())
            break;
    }
    ASSERT_TRUE(open.back()->fail()) << open.size() << " writers, none refused";
    EXPECT_EQ(entries().size(), left.size() + open.size() - 1);
    open.pop_back();
    open.pop_back();
    open.push_back(std::make_unique<asm_io::kestil_atomic_ofstream>(path("stream.txt").c_str()));
    EXPECT_TRUE(open.back()->good());
    open.clear();
    std::vector<std::string> tracked;
    while (tracked.size() < 1000 && fio_track_temporary(path("slot" + std::to_string(tracked.size()))))
        tracked.push_back(path("slot" + std::to_string(tracked.size())));
    std::string error;
    EXPECT_FALSE(fio_write_file_atomically(path("fio.txt"), "untracked", &error));
    EXPECT_EQ(error, "cannot create a temporary file for '" + path("fio.txt") + "': " + std::strerror(EAGAIN));
    for (const std::string& slot : tracked)
        fio_untrack_temporary(slot);
    EXPECT_EQ(read_file("fio.txt"), "x");
    EXPECT_EQ(entries(), left);
}
