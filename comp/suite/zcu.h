// Compiler facade utility of the suite (stand-in): the facade of the
// running compilation, for callers that are not handed one.
#pragma once

class CMP_FACADE;

class ZCU_FACADE_UTIL
{
public:
    // The process-wide utility, created on first use.
    static ZCU_FACADE_UTIL* get_instance();

    // The current compiler facade (not owned); null when none was set.
    CMP_FACADE* get_facade() const { return m_facade; }
    void set_facade(CMP_FACADE* facade) { m_facade = facade; }

private:
    CMP_FACADE* m_facade = nullptr;
};
