// Symbol library of the suite (stand-in): interned symbols, one per name
// and namespace.
#pragma once

#include <string>
#include <utility>

class ZSYM
{
public:
    ZSYM() = default;

    // The symbol of the name in the namespace, interned on first use.
    static ZSYM use(int name_space, const char* name);

    // The symbol's name; "" for the empty symbol.
    const char* cname() const;
    int name_space() const;

    bool operator==(const ZSYM& other) const { return m_entry == other.m_entry; }
    bool operator!=(const ZSYM& other) const { return m_entry != other.m_entry; }

private:
    explicit ZSYM(const std::pair<int, std::string>* entry) : m_entry(entry) {}
    const std::pair<int, std::string>* m_entry = nullptr;
};
