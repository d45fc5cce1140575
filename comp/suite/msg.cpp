#include "msg.h"
#include "gen_string.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>

#include <unistd.h>

namespace
{

struct REGISTERED_ID
{
    MSG_POST_TYPE kind;
    size_t count;  // registrars that hold the id
};

std::map<unsigned, REGISTERED_ID>& registered_ids()
{
    static std::map<unsigned, REGISTERED_ID> ids;
    return ids;
}

std::vector<MSG_DEBUG_LINE>& debug_lines()
{
    static std::vector<MSG_DEBUG_LINE> lines;
    return lines;
}

// The descriptor that the debug lines are echoed to; -1 for none.
int& debug_echo_descriptor()
{
    static int descriptor = -1;
    return descriptor;
}

// The error of the first line that could not be echoed whole; 0 for none.
int& debug_echo_error()
{
    static int error = 0;
    return error;
}

// Stops the echo; the error of its first line that failed.
int stop_debug_echo()
{
    const int error = debug_echo_error();
    debug_echo_descriptor() = -1;
    debug_echo_error() = 0;
    return error;
}

const char* kind_label(MSG_POST_TYPE kind)
{
    switch (kind)
    {
    case MSG_POST_TYPE_ERROR:
        return "Error";
    case MSG_POST_TYPE_WARNING:
        return "Warning";
    case MSG_POST_TYPE_INFO:
        return "Info";
    }
    return "Message";
}

// A placeholder of a message literal: %n!s! or %n!d!.
struct PLACEHOLDER
{
    size_t begin;
    size_t end;
    int number;
    char type;
};

bool parse_placeholder(const std::string& text, size_t pos, PLACEHOLDER& out)
{
    // text[pos] == '%'
    size_t i = pos + 1;
    int number = 0;
    size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9')
    {
        number = number * 10 + (text[i] - '0');
        ++i;
        ++digits;
    }
    if (digits == 0 || i + 2 >= text.size() || text[i] != '!' || text[i + 2] != '!')
        return false;
    char type = text[i + 1];
    if (type != 's' && type != 'd')
        return false;
    out = PLACEHOLDER{pos, i + 3, number, type};
    return true;
}

}  // namespace

MSG_REPORT& MSG_REPORT::active()
{
    static MSG_REPORT report;
    return report;
}

MSG_BASE::MSG_BASE(MSG_POST_TYPE kind, MSG_REPORT* report) : m_kind(kind), m_report(report) {}

void MSG_BASE::fill_args(const char* literal, ...)
{
    std::string whole = literal ? literal : "";
    size_t slash = whole.rfind('/');
    std::string text = slash == std::string::npos ? whole : whole.substr(0, slash);
    m_id_name = slash == std::string::npos ? std::string() : whole.substr(slash + 1);

    std::vector<PLACEHOLDER> placeholders;
    int highest = 0;
    for (size_t pos = text.find('%'); pos != std::string::npos; pos = text.find('%', pos + 1))
    {
        PLACEHOLDER ph;
        if (parse_placeholder(text, pos, ph))
        {
            placeholders.push_back(ph);
            highest = std::max(highest, ph.number);
        }
    }

    // The arguments come in placeholder-number order; each one's type is the
    // type its placeholder asks for.
    std::vector<std::string> values(highest + 1);
    va_list args;
    va_start(args, literal);
    for (int n = 1; n <= highest; ++n)
    {
        auto it = std::find_if(placeholders.begin(), placeholders.end(),
                               [n](const PLACEHOLDER& ph) { return ph.number == n; });
        if (it == placeholders.end())
            break;
        if (it->type == 's')
        {
            const char* s = va_arg(args, const char*);
            values[n] = s ? s : "";
        }
        else
        {
            values[n] = std::to_string(va_arg(args, int));
        }
    }
    va_end(args);

    std::string filled;
    size_t done = 0;
    for (const PLACEHOLDER& ph : placeholders)
    {
        filled.append(text, done, ph.begin - done);
        filled += values[ph.number];
        done = ph.end;
    }
    filled.append(text, done, std::string::npos);
    m_text = filled;
}

bool MSG_BASE::post()
{
    MSG_REPORT& report = m_report ? *m_report : MSG_REPORT::active();
    MSG_RECORD record{m_kind, m_id, m_id_name, m_text, m_severity_level, is_silent()};
    for (const auto& sub : m_sub_messages)
        record.sub_messages.push_back(MSG_RECORD{sub->m_kind, sub->m_id, sub->m_id_name, sub->m_text,
                                                 sub->m_severity_level, false});
    report.add(record);
    // The report keeps the texts as posted; the terminal gets them with
    // their control characters escaped, as a name in them may hold any.
    if (!is_silent())
    {
        std::cout << kind_label(m_kind) << " (" << m_id << "): " << gen_printable_text(m_text) << std::endl;
        for (const auto& sub : m_sub_messages)
            std::cout << "    " << kind_label(sub->m_kind) << " (" << sub->m_id
                      << "): " << gen_printable_text(sub->m_text) << std::endl;
    }
    return true;
}

void MSG_BASE::add_sub_message(MSG_BASE* sub_message)
{
    std::unique_ptr<MSG_BASE> owned(sub_message);
    if (owned != nullptr && !owned->is_silent())
        m_sub_messages.push_back(std::move(owned));
}

MSG_INDEX* MSG_INDEX::get_default_index()
{
    static MSG_INDEX index;
    return &index;
}

bool MSG_INDEX::is_suppressed(unsigned id) const { return m_suppressed.count(id) != 0; }

void MSG_INDEX::suppress(unsigned id) { m_suppressed.insert(id); }

void MSG_INDEX::clear() { m_suppressed.clear(); }

MSG_ID_REGISTRAR::MSG_ID_REGISTRAR(const unsigned* ids, const MSG_POST_TYPE* kinds, size_t count)
    : m_ids(ids), m_count(count)
{
    for (size_t i = 0; i < count; ++i)
    {
        auto& entry = registered_ids()[ids[i]];
        entry.kind = kinds[i];
        ++entry.count;
    }
}

MSG_ID_REGISTRAR::~MSG_ID_REGISTRAR()
{
    for (size_t i = 0; i < m_count; ++i)
    {
        auto it = registered_ids().find(m_ids[i]);
        if (it != registered_ids().end() && --it->second.count == 0)
            registered_ids().erase(it);
    }
}

bool msg_is_registered_id(unsigned id, MSG_POST_TYPE* kind)
{
    auto it = registered_ids().find(id);
    if (it == registered_ids().end())
        return false;
    if (kind)
        *kind = it->second.kind;
    return true;
}

size_t msg_registered_id_count() { return registered_ids().size(); }

bool msg_local_vdebug(const char* component, MSG_D_LEVEL level, const char* format, va_list args)
{
    if (format == nullptr)
        return false;
    va_list copy;
    va_copy(copy, args);
    int size = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (size < 0)
        return false;
    std::string text(static_cast<size_t>(size) + 1, '\0');
    std::vsnprintf(&text[0], text.size(), format, args);
    text.resize(static_cast<size_t>(size));

    debug_lines().push_back(MSG_DEBUG_LINE{component ? component : "", level, text});
    if (debug_echo_descriptor() >= 0)
    {
        // One write a line, unbuffered: a process that ends mid-run leaves
        // every line logged before. A line that cannot be echoed is still
        // kept in memory.
        const std::string line = std::string(component ? component : "") + ": " + text + '\n';
        for (size_t done = 0; done < line.size();)
        {
            const ssize_t n = ::write(debug_echo_descriptor(), line.data() + done, line.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
            {
                if (debug_echo_error() == 0)
                    debug_echo_error() = n < 0 ? errno : EIO;
                break;
            }
            done += static_cast<size_t>(n);
        }
    }
    return true;
}

const std::vector<MSG_DEBUG_LINE>& msg_debug_lines() { return debug_lines(); }

int msg_set_debug_echo_descriptor(int fd)
{
    const int error = stop_debug_echo();
    debug_echo_descriptor() = fd;
    return error;
}

void MSG_INTERNAL_ERROR::report(const char* condition, const char* component, const char* file, int line)
{
    std::fflush(stdout);
    // The condition may quote the user's input (a token or file name): the
    // report prints it escaped, the exception carries it as it is.
    std::fprintf(stderr, "Internal Error: Sub-system: %s, File: %s, Line: %d\n%s\n",
                 gen_printable_text(component ? component : "").c_str(), gen_printable_text(file ? file : "").c_str(),
                 line, gen_printable_text(condition ? condition : "").c_str());
    std::fflush(stderr);
    throw MSG_INTERNAL_ERROR_EXCEPTION(condition ? condition : "", component ? component : "", file ? file : "",
                                       line);
}

void msg_reset()
{
    MSG_REPORT::active().clear();
    MSG_INDEX::get_default_index()->clear();
    debug_lines().clear();
    stop_debug_echo();
}
