// Report database library of the suite (stand-in): the compilation report as
// folders of tables, each table a list of rows of texts. The first row of a
// table holds its column titles.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

// Table names and column titles of the assembler's section.
extern const char* const RDB_ASSEMBLER_FILES_TABLE_NAME;
extern const char* const RDB_ASSEMBLER_FILENAME;
extern const char* const RDB_ASSEMBLER_CRC_TABLE_NAME;
extern const char* const RDB_ASSEMBLER_FILE_SETTINGS;
extern const char* const RDB_OPTION;
extern const char* const RDB_SETTING;
extern const char* const RDB_CRC_CLOCK_RATE;

class RDB_ROW
{
public:
    explicit RDB_ROW(std::vector<std::string> texts) : m_texts(std::move(texts)) {}
    const std::vector<std::string>& texts() const { return m_texts; }

private:
    std::vector<std::string> m_texts;
};

class RDB_TABLE_OBJECT
{
public:
    explicit RDB_TABLE_OBJECT(std::string name) : m_name(std::move(name)) {}
    RDB_TABLE_OBJECT(const RDB_TABLE_OBJECT&) = delete;
    RDB_TABLE_OBJECT& operator=(const RDB_TABLE_OBJECT&) = delete;

    // Takes the row over.
    void add_row(RDB_ROW* row) { m_rows.emplace_back(row); }

    const std::string& name() const { return m_name; }
    size_t row_count() const { return m_rows.size(); }
    const RDB_ROW& row(size_t index) const { return *m_rows.at(index); }

private:
    std::string m_name;
    std::vector<std::unique_ptr<RDB_ROW>> m_rows;
};

class RDB_FOLDER_OBJECT
{
public:
    explicit RDB_FOLDER_OBJECT(std::string name) : m_name(std::move(name)) {}
    RDB_FOLDER_OBJECT(const RDB_FOLDER_OBJECT&) = delete;
    RDB_FOLDER_OBJECT& operator=(const RDB_FOLDER_OBJECT&) = delete;

    // Takes the table over.
    void add_table(RDB_TABLE_OBJECT* table) { m_tables.emplace_back(table); }

    const std::string& name() const { return m_name; }
    size_t table_count() const { return m_tables.size(); }
    const RDB_TABLE_OBJECT& table(size_t index) const { return *m_tables.at(index); }
    // The first table of that name; null when there is none.
    const RDB_TABLE_OBJECT* find_table(const std::string& name) const;

private:
    std::string m_name;
    std::vector<std::unique_ptr<RDB_TABLE_OBJECT>> m_tables;
};

class RDB_REPORT
{
public:
    RDB_REPORT() = default;
    RDB_REPORT(const RDB_REPORT&) = delete;
    RDB_REPORT& operator=(const RDB_REPORT&) = delete;

    // The folder that receives new tables; a report starts with one folder,
    // "Assembler".
    RDB_FOLDER_OBJECT* get_current_folder();
    // Opens a new folder and makes it current.
    RDB_FOLDER_OBJECT* open_folder(const std::string& name);

    size_t folder_count() const { return m_folders.size(); }
    const RDB_FOLDER_OBJECT& folder(size_t index) const { return *m_folders.at(index); }

    // The report as text: each folder's name, then each table as its name
    // and its rows, the cells of a row separated by " ; ".
    void write_text(std::ostream& out) const;

private:
    std::vector<std::unique_ptr<RDB_FOLDER_OBJECT>> m_folders;
};

// A new table of that name; null for an empty name.
RDB_TABLE_OBJECT* rdb_create_table(const char* name);
RDB_ROW* rdb_create_row(const std::vector<std::string>& texts);
RDB_ROW* rdb_create_row(const std::string& first, const std::string& second);
