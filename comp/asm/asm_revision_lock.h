// The assignment library's revision write lock, held for a scope.
#pragma once

#include <acf.h>

// Holds the revision write lock while it lives, when it could take it, and
// releases it also when an exception passes; a lock held by someone else is
// never released here.
class REVISION_WRITE_LOCK
{
public:
    REVISION_WRITE_LOCK() : m_taken(ACF_MANAGER::get_acf_manager()->get_revision_manager()->write_lock(true)) {}
    ~REVISION_WRITE_LOCK()
    {
        if (m_taken)
            ACF_MANAGER::get_acf_manager()->get_revision_manager()->write_unlock(true);
    }
    REVISION_WRITE_LOCK(const REVISION_WRITE_LOCK&) = delete;
    REVISION_WRITE_LOCK& operator=(const REVISION_WRITE_LOCK&) = delete;

    bool taken() const { return m_taken; }

private:
    bool m_taken;
};
