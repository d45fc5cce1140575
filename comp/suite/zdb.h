// Project directory library of the suite (stand-in): the project database,
// which holds models (such as directories of generated files) by their
// database path.
#pragma once

#include "fio.h"

#include <map>
#include <memory>
#include <string>

// A database path: a location (such as a partition's database directory)
// and a model name inside it.
class ZDB_PATH
{
public:
    ZDB_PATH() = default;
    explicit ZDB_PATH(const std::string& location) : m_location(location) {}

    const std::string& get_location() const { return m_location; }
    const std::string& get_model_name() const { return m_model_name; }
    void set_model_name(const std::string& name) { m_model_name = name; }
    // "location/model".
    std::string text() const { return m_location + "/" + m_model_name; }

private:
    std::string m_location;
    std::string m_model_name;
};

class ZDB_MODEL
{
public:
    virtual ~ZDB_MODEL() = default;
    // The name of the model's type.
    virtual const char* get_model_type_string() const = 0;
};

// A model that is a directory on disk.
class ZDB_DIRECTORY_MODEL : public ZDB_MODEL
{
public:
    static const char* const s_model_type_string;

    explicit ZDB_DIRECTORY_MODEL(const FIO_PATH& directory) : m_directory(directory) {}
    const char* get_model_type_string() const override { return s_model_type_string; }
    // The directory.
    const FIO_PATH& get_fio_path() const { return m_directory; }

private:
    FIO_PATH m_directory;
};

class ZDB_DATABASE
{
public:
    // The model at the path; null when there is none. The two further
    // arguments (a version and flags of the real library) must be 0.
    ZDB_MODEL* get_model(const ZDB_PATH& path, int version, int flags) const;
    // Population: the model at the path (replacing an earlier one).
    void add_model(const ZDB_PATH& path, std::unique_ptr<ZDB_MODEL> model);

private:
    std::map<std::string, std::unique_ptr<ZDB_MODEL>> m_models;
};
