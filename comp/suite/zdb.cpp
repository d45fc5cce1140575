#include "zdb.h"

const char* const ZDB_DIRECTORY_MODEL::s_model_type_string = "ZDB_DIRECTORY_MODEL";

ZDB_MODEL* ZDB_DATABASE::get_model(const ZDB_PATH& path, int version, int flags) const
{
    if (version != 0 || flags != 0)
        return nullptr;
    auto it = m_models.find(path.text());
    return it == m_models.end() ? nullptr : it->second.get();
}

void ZDB_DATABASE::add_model(const ZDB_PATH& path, std::unique_ptr<ZDB_MODEL> model)
{
    m_models[path.text()] = std::move(model);
}
