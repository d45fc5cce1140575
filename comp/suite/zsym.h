// Symbol library of the suite (stand-in): interned symbols. A symbol is a
// name within a namespace; the same name in the same namespace is always the
// same symbol, and its text lives as long as the process.
#pragma once

#include <string>

// A namespace of symbols, identified by its symbol value.
enum ZSYM_NAMESPACE : int
{
    ZSYM_NAMESPACE_NONE = 0,
    // The namespace of plain names (the one ZSYM(name) uses).
    ZSYM_NAMESPACE_NAME = 1,
    // The names of device elements (the device symbol library's).
    ZSYM_NAMESPACE_LOCATION_ELEMENT = 2,
};

class ZSYM
{
public:
    // The null symbol: no namespace, no text.
    ZSYM() = default;
    // The symbol of a name in the plain-name namespace. Defined by the
    // modules that use it, not by this library.
    explicit ZSYM(const char* name);

    // Makes this the interned symbol of the name in the namespace. A null
    // name gives the null symbol.
    void use(ZSYM_NAMESPACE name_space, const char* name);

    // The symbol's text; null for the null symbol.
    const char* cname() const;

    bool is_null() const { return m_entry == nullptr; }
    // The namespace the symbol belongs to; ZSYM_NAMESPACE_NONE for the null
    // symbol.
    ZSYM_NAMESPACE get_namespace() const;
    // The namespace's name, "::" and the symbol's text ("" for the null
    // symbol).
    std::string full_name() const;
    bool operator==(const ZSYM& other) const { return m_entry == other.m_entry; }
    bool operator!=(const ZSYM& other) const { return m_entry != other.m_entry; }

    struct ENTRY;

private:
    const ENTRY* m_entry = nullptr;
};

// The symbol that names a namespace ("none", "name", "location_element"; the
// decimal value for any other). It belongs to ZSYM_NAMESPACE_NONE.
ZSYM zsym_namespace_symbol(ZSYM_NAMESPACE name_space);

// The namespace in which the module's ZSYM(name) makes its symbols: the
// plain-name namespace unless a ZSYM_MODIFY_NAMESPACE_SCOPE says otherwise.
ZSYM_NAMESPACE zsym_current_namespace();

// Makes a namespace current for the scope's lifetime; the previous one is
// current again when it ends. Scopes nest.
class ZSYM_MODIFY_NAMESPACE_SCOPE
{
public:
    explicit ZSYM_MODIFY_NAMESPACE_SCOPE(ZSYM_NAMESPACE name_space);
    ~ZSYM_MODIFY_NAMESPACE_SCOPE();
    ZSYM_MODIFY_NAMESPACE_SCOPE(const ZSYM_MODIFY_NAMESPACE_SCOPE&) = delete;
    ZSYM_MODIFY_NAMESPACE_SCOPE& operator=(const ZSYM_MODIFY_NAMESPACE_SCOPE&) = delete;

private:
    ZSYM_NAMESPACE m_previous;
};
