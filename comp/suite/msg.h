// Message library of the suite (stand-in): message objects, posting, the
// message index, id registration, the debug log and internal errors.
//
// Every posted message is recorded in its report (the active report unless
// the message names one) and printed to standard output as
// "Error (ID): text", "Warning (ID): text" or "Info (ID): text".
#pragma once

#include <cstdarg>
#include <cstddef>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

enum MSG_POST_TYPE
{
    MSG_POST_TYPE_ERROR = 0,
    MSG_POST_TYPE_INFO = 1,
    MSG_POST_TYPE_WARNING = 2,
};

// Debug level of msg_local_vdebug.
typedef int MSG_D_LEVEL;

// What the library keeps of one posted message.
struct MSG_RECORD
{
    MSG_POST_TYPE kind;
    unsigned id;            // 0 for a silent message
    std::string id_name;    // the part of the literal after its last slash
    std::string text;       // the literal's text with its placeholders filled
    int severity_level;     // MSG_BASE::DEFAULT_SEVERITY_LEVEL when never set
    bool silent;
    // The sub-messages added to the message, in order, posted with it.
    std::vector<MSG_RECORD> sub_messages = {};
};

// A report that receives posted messages.
class MSG_REPORT
{
public:
    const std::vector<MSG_RECORD>& messages() const { return m_messages; }
    void add(const MSG_RECORD& record) { m_messages.push_back(record); }
    void clear() { m_messages.clear(); }

    // The report that receives messages posted without a report of their own.
    static MSG_REPORT& active();

private:
    std::vector<MSG_RECORD> m_messages;
};

class MSG_POST
{
public:
    virtual ~MSG_POST() = default;
    // Posts the message into its report; false when it could not be posted.
    virtual bool post() = 0;
};

class MSG_BASE : public MSG_POST
{
public:
    static constexpr int DEFAULT_SEVERITY_LEVEL = -1;

    explicit MSG_BASE(MSG_POST_TYPE kind, MSG_REPORT* report = nullptr);

    // Fills the message from one literal "text/ID_NAME". The arguments follow
    // in placeholder-number order: a const char* for each %n!s! and an int for
    // each %n!d!. An argument of a placeholder the literal does not use cannot
    // be told apart, so every number from 1 to the highest must appear.
    void fill_args(const char* literal, ...);

    void set_report(MSG_REPORT* report) { m_report = report; }
    void set_id(unsigned id) { m_id = id; }
    void set_severity_level(int level) { m_severity_level = level; }

    bool post() override;

    // Adds a sub-message, which the message takes over; it is recorded
    // with the message and printed under it when the message is posted.
    // A null or silent sub-message adds nothing.
    void add_sub_message(MSG_BASE* sub_message);
    size_t sub_message_count() const { return m_sub_messages.size(); }

    MSG_POST_TYPE kind() const { return m_kind; }
    unsigned id() const { return m_id; }
    int severity_level() const { return m_severity_level; }
    const std::string& text() const { return m_text; }
    const std::string& id_name() const { return m_id_name; }
    MSG_REPORT* report() const { return m_report; }
    virtual bool is_silent() const { return false; }

private:
    MSG_POST_TYPE m_kind;
    MSG_REPORT* m_report;
    unsigned m_id = 0;
    int m_severity_level = DEFAULT_SEVERITY_LEVEL;
    std::string m_text;
    std::string m_id_name;
    std::vector<std::unique_ptr<MSG_BASE>> m_sub_messages;
};

class MSG_E : public MSG_BASE
{
public:
    explicit MSG_E(MSG_REPORT* report = nullptr) : MSG_BASE(MSG_POST_TYPE_ERROR, report) {}
};

class MSG_W : public MSG_BASE
{
public:
    explicit MSG_W(MSG_REPORT* report = nullptr) : MSG_BASE(MSG_POST_TYPE_WARNING, report) {}
};

class MSG_I : public MSG_BASE
{
public:
    explicit MSG_I(MSG_REPORT* report = nullptr) : MSG_BASE(MSG_POST_TYPE_INFO, report) {}
};

// Silent variants of a suppressed warning or info: no text, no id; posting
// records the silent message and prints nothing.
class MSG_W_NULL : public MSG_W
{
public:
    bool is_silent() const override { return true; }
};

class MSG_I_NULL : public MSG_I
{
public:
    bool is_silent() const override { return true; }
};

// The index of suppressed message ids.
class MSG_INDEX
{
public:
    static MSG_INDEX* get_default_index();

    bool is_suppressed(unsigned id) const;
    void suppress(unsigned id);
    void clear();

private:
    // A design may suppress many ids: each is looked up at once.
    std::unordered_set<unsigned> m_suppressed;
};

// Registers a module's message ids with their kinds for as long as it lives.
class MSG_ID_REGISTRAR
{
public:
    MSG_ID_REGISTRAR(const unsigned* ids, const MSG_POST_TYPE* kinds, size_t count);
    ~MSG_ID_REGISTRAR();
    MSG_ID_REGISTRAR(const MSG_ID_REGISTRAR&) = delete;
    MSG_ID_REGISTRAR& operator=(const MSG_ID_REGISTRAR&) = delete;

private:
    const unsigned* m_ids;
    size_t m_count;
};

// Whether an id is registered, and its kind (false when it is not).
bool msg_is_registered_id(unsigned id, MSG_POST_TYPE* kind = nullptr);
size_t msg_registered_id_count();

// One line of the debug log.
struct MSG_DEBUG_LINE
{
    std::string component;
    MSG_D_LEVEL level;
    std::string text;
};

// Writes one debug line (printf-style format) under a component tag. The
// line is kept in memory and, when an echo is set, written to it.
// Returns true when the line was written.
bool msg_local_vdebug(const char* component, MSG_D_LEVEL level, const char* format, va_list args);

const std::vector<MSG_DEBUG_LINE>& msg_debug_lines();
// Writes every later debug line to the open descriptor as it comes, one
// write a line; -1 stops the echo. The descriptor stays the caller's (it is
// never closed here). Returns, for the echo that this call stops, 0 when
// every line went out whole, else the error (errno) of the first line that
// did not.
int msg_set_debug_echo_descriptor(int fd);

// The exception that MSG_INTERNAL_ERROR::report throws. It does not derive
// from std::exception, so no handler for standard exceptions swallows it.
class MSG_INTERNAL_ERROR_EXCEPTION
{
public:
    MSG_INTERNAL_ERROR_EXCEPTION(std::string condition, std::string component, std::string file, int line)
        : m_condition(std::move(condition)), m_component(std::move(component)), m_file(std::move(file)), m_line(line)
    {
    }
    const std::string& condition() const { return m_condition; }
    const std::string& component() const { return m_component; }
    const std::string& file() const { return m_file; }
    int line() const { return m_line; }

private:
    std::string m_condition;
    std::string m_component;
    std::string m_file;
    int m_line;
};

class MSG_INTERNAL_ERROR
{
public:
    // Prints the report to standard error and throws
    // MSG_INTERNAL_ERROR_EXCEPTION; never returns.
    [[noreturn]] static void report(const char* condition, const char* component, const char* file, int line);
};

// Forgets every posted message, debug line, suppressed id and the echo.
void msg_reset();
