// Device database library of the suite (stand-in): the device's pads and
// the package's pins.
#pragma once

#include "dygr.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

enum DEV_PAD_INT_ENUM : int
{
    // The pad's global id (its location among the routing elements).
    DEV_PAD_INT_GLOBAL_ID = 0,
    // The id of the package pin bonded to the pad.
    DEV_PAD_INT_PIN_ID = 1,
};

enum DEV_PAD_STRING_ENUM : int
{
    DEV_PAD_STRING_IC_DESIGN_NAME = 6,
    DEV_PAD_STRING_IC_IO_BLOCK_CELL_NAME = 14,
};

enum DEV_PIN_STRING_ENUM : int
{
    DEV_PIN_STRING_USER_PIN_NAME = 0,
};

class DEV_PAD
{
public:
    bool is_valid_int_enum(DEV_PAD_INT_ENUM which) const { return m_ints.count(which) != 0; }
    // 0 when the datum is not valid.
    uint32_t get_int(DEV_PAD_INT_ENUM which) const
    {
        auto found = m_ints.find(which);
        return found == m_ints.end() ? 0 : found->second;
    }
    bool is_valid_string_enum(DEV_PAD_STRING_ENUM which) const { return m_strings.count(which) != 0; }
    // "" when the string is not valid.
    const std::string& get_string(DEV_PAD_STRING_ENUM which) const
    {
        static const std::string none;
        auto found = m_strings.find(which);
        return found == m_strings.end() ? none : found->second;
    }

    void set_int(DEV_PAD_INT_ENUM which, uint32_t value) { m_ints[which] = value; }
    void set_string(DEV_PAD_STRING_ENUM which, const std::string& value) { m_strings[which] = value; }

private:
    std::map<int, uint32_t> m_ints;
    std::map<int, std::string> m_strings;
};

// The device's pads by index. A slot may stay empty (a null pad).
class DEV_PAD_INFO
{
public:
    uint32_t get_number_of_pads() const { return static_cast<uint32_t>(m_pads.size()); }
    // Null for an empty slot or an index out of range.
    const DEV_PAD* get_pad(uint32_t index) const { return index < m_pads.size() ? m_pads[index].get() : nullptr; }

    // Population: a pad at the next index (null: an empty slot).
    DEV_PAD* add_pad(std::unique_ptr<DEV_PAD> pad)
    {
        m_pads.push_back(std::move(pad));
        return m_pads.back().get();
    }

private:
    std::vector<std::unique_ptr<DEV_PAD>> m_pads;
};

// The package: strings of its pins by pin id.
class DEV_PKG_INFO
{
public:
    bool is_valid_pin_string_enum(uint32_t pin, DEV_PIN_STRING_ENUM which) const
    {
        return m_strings.count(std::make_pair(pin, static_cast<int>(which))) != 0;
    }
    // "" when the string is not valid.
    std::string get_pin_string(uint32_t pin, DEV_PIN_STRING_ENUM which) const
    {
        auto found = m_strings.find(std::make_pair(pin, static_cast<int>(which)));
        return found == m_strings.end() ? std::string() : found->second;
    }
    void set_pin_string(uint32_t pin, DEV_PIN_STRING_ENUM which, const std::string& value)
    {
        m_strings[std::make_pair(pin, static_cast<int>(which))] = value;
    }

private:
    std::map<std::pair<uint32_t, int>, std::string> m_strings;
};
