// The JSON reading helpers of design.json's readers: a value with its key
// path (VALUE), an object whose unread keys are refused (OBJECT), a list's
// duplicate check (UNIQUE) and the settings lists. Every design_*.cpp reader
// reads through them, so that each key is checked and reported alike:
// DESIGN_ERROR with the file, the key path and the problem.
#pragma once

#include "design.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace design_json
{

using nlohmann::json;

// How deep netlists (atoms' children) and blocks (blocks' children) may nest.
// The design's data, the suite populated from it and the module's walks over
// it go one level at a time; the bound keeps every one of them far from the
// end of the stack.
inline constexpr int MAX_NESTING = 100;

// One JSON value and where it stands in the file.
class VALUE
{
public:
    VALUE(const json& value, std::string path, const std::string& file)
        : m_value(value), m_path(std::move(path)), m_file(file)
    {
    }

    [[noreturn]] void fail(const std::string& problem) const { throw DESIGN_ERROR(m_file, m_path, problem); }

    const json& json_value() const { return m_value; }
    const std::string& path() const { return m_path; }
    const std::string& file() const { return m_file; }

    long long integer(long long min, long long max) const
    {
        if (!m_value.is_number_integer())
            fail("expected an integer");
        const std::string range = "expected an integer from " + std::to_string(min) + " to " + std::to_string(max);
        if (m_value.is_number_unsigned())
        {
            const uint64_t value = m_value.get<uint64_t>();
            if (max < 0 || value > static_cast<uint64_t>(max))
                fail(range);
            return static_cast<long long>(value);
        }
        const int64_t value = m_value.get<int64_t>();
        if (value < min || value > max)
            fail(range);
        return value;
    }
    int int32() const { return static_cast<int>(integer(INT_MIN, INT_MAX)); }
    uint64_t uint64() const
    {
        if (!m_value.is_number_integer())
            fail("expected an integer");
        if (!m_value.is_number_unsigned() && m_value.get<int64_t>() < 0)
            fail("expected an integer from 0 to " + std::to_string(UINT64_MAX));
        return m_value.get<uint64_t>();
    }
    uint32_t uint32() const { return static_cast<uint32_t>(integer(0, UINT32_MAX)); }

    bool boolean() const
    {
        if (!m_value.is_boolean())
            fail("expected a boolean (true or false)");
        return m_value.get<bool>();
    }

    std::string string() const
    {
        if (!m_value.is_string())
            fail("expected a string");
        return m_value.get<std::string>();
    }

    std::string nonempty_string() const
    {
        std::string text = string();
        if (text.empty())
            fail("expected a non-empty string");
        return text;
    }

    // A non-empty string that names files of the project directory (the
    // revision's, the chip's, the compile instance's): no "/" (a file
    // elsewhere), not "." or ".." (a directory), no control character (a
    // NUL would cut the name short, a line end would break the report's
    // lines), not so long that a file named after it is no file name. what
    // is "a revision name" and the like; added is the most bytes that a file
    // named after it adds to it (its longest extension, with the atomic
    // writer's temporary "." before and ".XXXXXX" after).
    std::string file_name_part(const std::string& what, size_t added) const
    {
        std::string text = nonempty_string();
        if (text.size() + added > NAME_MAX)
            fail(what + " names files of the project directory and cannot be longer than " +
                 std::to_string(NAME_MAX - added) + " bytes");
        if (text.find('/') != std::string::npos)
            fail(what + " names files of the project directory and cannot hold \"/\"");
        if (text == "." || text == "..")
            fail(what + " names files of the project directory and cannot be \"" + text + "\"");
        for (char c : text)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
                fail(what + " names files of the project directory and cannot hold control characters");
        return text;
    }

    // A non-empty string; any other value is refused with the one problem
    // "expected a non-empty string".
    std::string nonempty_text() const
    {
        if (!m_value.is_string() || m_value.get_ref<const std::string&>().empty())
            fail("expected a non-empty string");
        return m_value.get<std::string>();
    }

    // Every key of an object, whatever its name, each value with its path.
    void each_entry(const std::function<void(const std::string&, const VALUE&)>& read) const
    {
        if (!m_value.is_object())
            fail("expected an object");
        for (auto it = m_value.begin(); it != m_value.end(); ++it)
            read(it.key(), VALUE(it.value(), child_path(it.key()), m_file));
    }

    // The path of the object's key.
    std::string child_path(const std::string& key) const
    {
        if (m_path.empty())
            return key;
        std::string path;
        path.reserve(m_path.size() + 1 + key.size());
        return path.append(m_path).append(1, '.').append(key);
    }

    // The elements of an array, each with its own path.
    std::vector<VALUE> elements() const
    {
        if (!m_value.is_array())
            fail("expected an array");
        std::vector<VALUE> list;
        list.reserve(m_value.size());
        for (size_t i = 0; i < m_value.size(); ++i)
            list.emplace_back(m_value[i], element_path(i), m_file);
        return list;
    }

    // The path of the array's element at the index.
    std::string element_path(size_t index) const
    {
        std::string path;
        path.reserve(m_path.size() + 24);
        return path.append(m_path).append(1, '[').append(std::to_string(index)).append(1, ']');
    }

private:
    const json& m_value;
    std::string m_path;
    const std::string& m_file;
};

// An object whose keys are read one by one; finish() refuses every key that
// no read asked for.
class OBJECT
{
public:
    explicit OBJECT(const VALUE& value) : m_value(value)
    {
        if (!value.json_value().is_object())
            value.fail("expected an object");
    }
    explicit OBJECT(VALUE&& value) : m_value(std::move(value))
    {
        if (!m_value.json_value().is_object())
            m_value.fail("expected an object");
    }

    // The key is kept by reference until finish(): pass a string literal.
    std::optional<VALUE> optional(const char* key)
    {
        const std::string_view name(key);
        if (!known(name))
        {
            if (m_known_count < m_first_known.size())
                m_first_known[m_known_count++] = name;
            else
                m_more_known.push_back(name);
        }
        auto found = m_value.json_value().find(key);
        if (found == m_value.json_value().end())
            return std::nullopt;
        return VALUE(*found, child_path(key), m_value.file());
    }

    VALUE required(const char* key)
    {
        std::optional<VALUE> value = optional(key);
        if (!value)
            throw DESIGN_ERROR(m_value.file(), child_path(key), "required key is missing");
        return std::move(*value);
    }

    // Refuses, before any value is read, an object that lacks one of the
    // keys, the first missing one in the list's order.
    void require(std::initializer_list<const char*> keys) const
    {
        for (const char* key : keys)
            if (m_value.json_value().find(key) == m_value.json_value().end())
                throw DESIGN_ERROR(m_value.file(), child_path(key), "required key is missing");
    }

    // Reads the object's keys in the file's order, each by `read`; a key not
    // in the list is refused when it is reached.
    void each_key(std::initializer_list<const char*> keys,
                  const std::function<void(const std::string&, const VALUE&)>& read)
    {
        for (const char* key : keys)
            optional(key);
        const json& object = m_value.json_value();
        for (auto it = object.begin(); it != object.end(); ++it)
        {
            if (!known(it.key()))
                throw DESIGN_ERROR(m_value.file(), child_path(it.key()), "unknown key");
            read(it.key(), VALUE(it.value(), child_path(it.key()), m_value.file()));
        }
    }

    // Refuses every key not in the list before any value is read (finish()
    // refuses them after the reads). The keys are kept like optional()'s.
    void only(std::initializer_list<const char*> keys)
    {
        for (const char* key : keys)
            optional(key);
        finish();
    }

    void finish() const
    {
        for (auto it = m_value.json_value().begin(); it != m_value.json_value().end(); ++it)
            if (!known(it.key()))
                throw DESIGN_ERROR(m_value.file(), child_path(it.key()), "unknown key");
    }

    // Reads each element of an array of objects; an absent key is an empty
    // array unless it is required.
    void each_object(const char* key, bool is_required, const std::function<void(OBJECT&)>& read)
    {
        std::optional<VALUE> list = is_required ? std::optional<VALUE>(required(key)) : optional(key);
        if (!list)
            return;
        // Element by element, each path made once.
        const json& array = list->json_value();
        if (!array.is_array())
            list->fail("expected an array");
        for (size_t i = 0; i < array.size(); ++i)
        {
            OBJECT object(VALUE(array[i], list->element_path(i), list->file()));
            read(object);
            object.finish();
        }
    }

    const VALUE& value() const { return m_value; }

private:
    std::string child_path(const std::string& key) const { return m_value.child_path(key); }

    bool known(std::string_view key) const
    {
        const auto first_end = m_first_known.begin() + static_cast<std::ptrdiff_t>(m_known_count);
        return std::find(m_first_known.begin(), first_end, key) != first_end ||
               std::find(m_more_known.begin(), m_more_known.end(), key) != m_more_known.end();
    }

    VALUE m_value;
    // The keys asked for, searched in order: a handful per object, kept in
    // place without allocating; more go to the list.
    std::array<std::string_view, 12> m_first_known;
    size_t m_known_count = 0;
    std::vector<std::string_view> m_more_known;
};

// Refuses a second entry of the same identity in one list.
template <typename KEY>
class UNIQUE
{
public:
    explicit UNIQUE(const char* what) : m_what(what) {}
    size_t count(const KEY& key) const { return m_seen.count(key); }
    void check(const KEY& key, const VALUE& where)
    {
        if (!m_seen.insert(key).second)
        {
            std::ostringstream text;
            text << m_what << " " << key << " is given twice";
            where.fail(text.str());
        }
    }

private:
    const char* m_what;
    std::set<KEY> m_seen;
};

// A settings list: objects of "id", "type" and "value", each id once.
std::vector<DESIGN_SETTING> read_settings(const VALUE& list_value);

// Generated options: settings of one value each (not "multi").
std::vector<DESIGN_SETTING> read_generated_options(const VALUE& list_value);

}  // namespace design_json
