#include "rdb.h"

const char* const RDB_ASSEMBLER_FILES_TABLE_NAME = "Assembler Generated Files";
const char* const RDB_ASSEMBLER_FILENAME = "File Name";
const char* const RDB_ASSEMBLER_CRC_TABLE_NAME = "Assembler CRC Settings";
const char* const RDB_ASSEMBLER_FILE_SETTINGS = "Assembler Device Options: ";
const char* const RDB_OPTION = "Option";
const char* const RDB_SETTING = "Setting";
const char* const RDB_CRC_CLOCK_RATE = "CRC Clock Rate";

const RDB_TABLE_OBJECT* RDB_FOLDER_OBJECT::find_table(const std::string& name) const
{
    for (const auto& table : m_tables)
    {
        if (table->name() == name)
            return table.get();
    }
    return nullptr;
}

RDB_FOLDER_OBJECT* RDB_REPORT::get_current_folder()
{
    if (m_folders.empty())
        m_folders.emplace_back(new RDB_FOLDER_OBJECT("Assembler"));
    return m_folders.back().get();
}

RDB_FOLDER_OBJECT* RDB_REPORT::open_folder(const std::string& name)
{
    m_folders.emplace_back(new RDB_FOLDER_OBJECT(name));
    return m_folders.back().get();
}

void RDB_REPORT::write_text(std::ostream& out) const
{
    for (const auto& folder : m_folders)
    {
        out << "+-- " << folder->name() << "\n";
        for (size_t t = 0; t < folder->table_count(); ++t)
        {
            const RDB_TABLE_OBJECT& table = folder->table(t);
            out << "\n; " << table.name() << "\n";
            for (size_t r = 0; r < table.row_count(); ++r)
            {
                const std::vector<std::string>& texts = table.row(r).texts();
                out << ";";
                for (size_t c = 0; c < texts.size(); ++c)
                    out << (c == 0 ? " " : " ; ") << texts[c];
                out << " ;\n";
            }
        }
        out << "\n";
    }
}

RDB_TABLE_OBJECT* rdb_create_table(const char* name)
{
    if (name == nullptr || *name == '\0')
        return nullptr;
    return new RDB_TABLE_OBJECT(name);
}

RDB_ROW* rdb_create_row(const std::vector<std::string>& texts) { return new RDB_ROW(texts); }

RDB_ROW* rdb_create_row(const std::string& first, const std::string& second)
{
    return new RDB_ROW({first, second});
}
