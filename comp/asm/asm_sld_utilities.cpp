#include "asm_sld_utilities.h"

#include "asm_common.h"
#include "asm_fstream.h"
#include "asm_messages.h"
#include "asm_util.h"

#include <cfg.h>
#include <cmp.h>
#include <dev.h>
#include <gen.h>
#include <hdb.h>
#include <sci.h>
#include <thr_drl.h>
#include <xml.h>
#include <zdb.h>
#include <zhd.h>
#include <zlib_compress.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

#define ASM_SOURCE_TAG "comp/asm/asm_sld_utilities"

namespace
{

const uint64_t MAX_FIELD_32 = 0xFFFFFFFFull;
const uint64_t MAX_NAME_FIELD = 0xFFFFull;

const char* const DESIGN_HASH_FILE_NAME = "design_hash.bin";
const char* const SLD_SYSCONFILES_MODEL = "sld_sysconfiles";
const char* const KOVX_LIBRARY = "sld_kovx";
const char* const KOVX_FUNCTION = "kovx_create_sld_file";

// The extension library's entry point: writes the SLD file text into the
// stream and sets the string to the design hash in hexadecimal text.
typedef bool (*KOVX_CREATE_SLD_FILE)(std::ostream& out, std::string& design_hash);

void put_le32(uint8_t* at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}

// The entry point of the loaded extension library; the library stays loaded.
KOVX_CREATE_SLD_FILE find_kovx_create_sld_file()
{
    void* library = thr_drl_load(KOVX_LIBRARY);
    if (library == nullptr)
    {
        const std::string error = thr_drl_get_error();
        internal_error(error.c_str(), ASM_SOURCE_TAG, __LINE__);
    }
    void* function = thr_drl_find_function(library, KOVX_FUNCTION);
    if (function == nullptr)
    {
        const std::string error = thr_drl_get_error();
        internal_error(error.c_str(), ASM_SOURCE_TAG, __LINE__);
    }
    return reinterpret_cast<KOVX_CREATE_SLD_FILE>(function);
}

// The rest of the stream. A read error of the file buffer ends the read with
// the bad bit set (read() catches what the buffer throws).
bool read_stream(std::istream& in, std::string& text)
{
    char buffer[1 << 16];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0)
        text.append(buffer, static_cast<size_t>(in.gcount()));
    return !in.bad();
}

// A digit's value, 0 for a character that is none.
int hex_value(char c) { return std::max(0, hex_digit_value(c)); }

}  // namespace

uint64_t sld_compression_threshold()
{
    static std::once_flag once;
    static uint64_t threshold = SLD_DEFAULT_COMPRESSION_THRESHOLD;
    std::call_once(once, [] {
        const int value = cfg_get_int_value("sld_asm_file_size_req_for_compress", 0);
        threshold = value >= 1 ? static_cast<uint64_t>(value) : SLD_DEFAULT_COMPRESSION_THRESHOLD;
    });
    return threshold;
}

std::vector<uint8_t> sld_decode_hex_text(const std::string& text)
{
    std::vector<uint8_t> bytes(text.size() / 2);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(16 * hex_value(text[2 * i]) + hex_value(text[2 * i + 1]));
    return bytes;
}

// ---------------------------------------------------------------------------
// Content sources

bool ASM_SLD_FILESYS_FIO_WRAPPER::stat(const char* name, FIO_STAT* record)
{
    return FIO_FILE_SYSTEM::status(name, record);
}

bool ASM_SLD_FILESYS_FIO_WRAPPER::read(const char* name, uint8_t* buffer, uint64_t size)
{
    asm_io::kestil_ifstream in;
    in.open(name, std::ios_base::in | std::ios_base::binary);
    if (!in.is_open())
        return false;
    in.read(reinterpret_cast<char*>(buffer), static_cast<std::streamsize>(size));
    // A file shorter than its status said (changed since) is a failed read.
    const bool complete = !in.fail() && static_cast<uint64_t>(in.gcount()) == size;
    in.close();
    return complete;
}

bool ASM_SLD_FILESYS_DESIGN_HASH::stat(const char*, FIO_STAT* record)
{
    record->st_size = static_cast<off_t>(m_design_hash_size + 6);
    record->st_ctime = 0;
    return true;
}

bool ASM_SLD_FILESYS_DESIGN_HASH::read(const char*, uint8_t* buffer, uint64_t content_size)
{
    if (!(content_size == (this->m_design_hash_size + 6)))
        internal_error("content_size == (this->m_design_hash_size + 6)", ASM_SOURCE_TAG, __LINE__);
    std::memset(buffer, 0, 2);
    if (m_design_hash_size > 0)
        std::memcpy(buffer + 2, m_design_hash, m_design_hash_size);
    std::memset(buffer + 2 + m_design_hash_size, 0, 4);
    return true;
}

bool ASM_SLD_FILESYS_JTAG_ID::stat(const char*, FIO_STAT* record)
{
    record->st_size = static_cast<off_t>(m_jtag_id_size);
    record->st_ctime = 0;
    return true;
}

bool ASM_SLD_FILESYS_JTAG_ID::read(const char*, uint8_t* buffer, uint64_t content_size)
{
    if (!(content_size == (this->m_jtag_id_size)))
        internal_error("content_size == (this->m_jtag_id_size)", ASM_SOURCE_TAG, __LINE__);
    if (m_jtag_id_size > 0)
        std::memcpy(buffer, m_jtag_id.data(), m_jtag_id_size);
    return true;
}

// ---------------------------------------------------------------------------
// Packet

ASM_SLD_FILE_PACKET::ASM_SLD_FILE_PACKET(ASM_SLD_FILESYS_INTERFACE* source, const char* name)
    : m_source(source), m_name(name)
{
    std::memset(m_header, 0, sizeof m_header);
    std::memset(&m_status, 0, sizeof m_status);
}

ASM_SLD_FILE_PACKET::~ASM_SLD_FILE_PACKET() {}

bool ASM_SLD_FILE_PACKET::load_content()
{
    const uint64_t threshold = sld_compression_threshold();
    std::memset(&m_status, 0, sizeof m_status);
    if (!m_source->stat(m_name, &m_status))
        return false;
    // Held in 64 bits until checked against the 32-bit field.
    const uint64_t length = m_status.st_size > 0 ? static_cast<uint64_t>(m_status.st_size) : 0;
    if (length > MAX_FIELD_32)
    {
        asm_debug_log(2, "Debug file %s is too large to pack (%llu bytes)", m_name,
                      static_cast<unsigned long long>(length));
        return false;
    }

    if (length <= threshold)
    {
        m_header[5] = 0;
        m_content.assign(length, 0);
        if (!m_source->read(m_name, m_content.data(), length))
        {
            m_content.clear();
            return false;
        }
        put_le32(m_header + 12, static_cast<uint32_t>(length));
        return true;
    }

    m_header[5] = 1;
    std::vector<uint8_t> source(length);
    if (!m_source->read(m_name, source.data(), length))
        return false;
    const uint64_t capacity = std::min<uint64_t>(length + (length >> 9) + 12, MAX_FIELD_32);
    std::vector<uint8_t> output(capacity);
    uint32_t stored = static_cast<uint32_t>(capacity);
    const int result = zlib_compress(output.data(), &stored, source.data(), static_cast<uint32_t>(length));
    // A stream that would not fit the 32-bit field is refused like any other
    // size that does not fit.
    if (result != 0 && capacity == MAX_FIELD_32)
        return false;
    if (result != 0 || stored == 0)
        internal_error("file compression failed", ASM_SOURCE_TAG, __LINE__);
    output.resize(stored);
    output.shrink_to_fit();
    m_content.swap(output);
    put_le32(m_header + 12, stored);
    return true;
}

bool ASM_SLD_FILE_PACKET::write(std::ostream& out)
{
    if (!load_content())
        return false;

    const std::string name = gen_get_relative_path_if_starts_with_project_dir(m_name != nullptr ? m_name : "");
    m_encoded_name.assign(2 * name.size() + 1, '\0');
    const long utf8_length = xml_encode_to_utf8(name.c_str(), m_encoded_name.data(), m_encoded_name.size());
    if (utf8_length < 0)
        return false;
    const uint64_t name_length = static_cast<uint64_t>(utf8_length) + 1;
    if (name_length > MAX_NAME_FIELD)
    {
        asm_debug_log(2, "Debug file name of %llu bytes is too long to pack", static_cast<unsigned long long>(name_length));
        return false;
    }
    const uint64_t content_length = m_content.size();

    // The blob's length is handed on as 32 bits: a packet that would carry it
    // past that is not written.
    const std::streamoff position = out.tellp();
    const uint64_t blob_length = position > 0 ? static_cast<uint64_t>(position) : 0;
    if (blob_length + HEADER_SIZE + name_length + content_length > MAX_FIELD_32)
    {
        asm_debug_log(2, "Debug file %s does not fit in the debug file blob", m_encoded_name.data());
        return false;
    }

    // The time stamp of the status taken with the content.
    const uint64_t time_stamp = static_cast<uint64_t>(m_status.st_ctime);
    put_le32(m_header, static_cast<uint32_t>(time_stamp));
    m_header[4] = static_cast<uint8_t>(time_stamp >> 32);
    m_header[6] = static_cast<uint8_t>(name_length);
    m_header[7] = static_cast<uint8_t>(name_length >> 8);
    put_le32(m_header + 8, 0);

    out.write(reinterpret_cast<const char*>(m_header), HEADER_SIZE);
    asm_debug_log(2, "Pack debug file: %s %s with size %lld", m_encoded_name.data(),
                  m_header[5] != 0 ? "compressed" : "uncompressed", static_cast<long long>(content_length));
    out.write(m_encoded_name.data(), static_cast<std::streamsize>(name_length));
    out.write(reinterpret_cast<const char*>(m_content.data()), static_cast<std::streamsize>(content_length));
    return !out.fail();
}

// ---------------------------------------------------------------------------
// Tag creator

ASM_SLD_TAG_CREATOR::ASM_SLD_TAG_CREATOR(CMP_FACADE* cmp, const FIO_PATH* sld_file_path, const uint8_t* design_hash,
                                         uint64_t design_hash_size)
    : m_jtag_id_file_name("jtag_id.txt"),
      m_cmp(cmp),
      m_sld_file_path(sld_file_path),
      m_design_hash(design_hash),
      m_design_hash_size(design_hash_size)
{
}

ASM_SLD_TAG_CREATOR::~ASM_SLD_TAG_CREATOR() {}

bool ASM_SLD_TAG_CREATOR::build_content()
{
    const bool result = add_design_hash();
    add_sld_file();
    add_jtag_id();
    ZHD_DESIGN* design = ZHD_ROOT::get()->get_design("");
    add_partition_files(design != nullptr ? design->get_top_partition() : nullptr);
    return result;
}

bool ASM_SLD_TAG_CREATOR::add_design_hash()
{
    if (m_design_hash_size == 0)
    {
        std::set<std::string> debug_files;
        SCI_INSTANCE_BUILDER::get_debug_filenames(debug_files);
        SCI_INSTANCE_BUILDER::get_design_hash(&m_design_hash, &m_design_hash_size, debug_files);
        if (m_design_hash == nullptr)
            m_design_hash_size = 0;
    }
    ASM_SLD_FILESYS_DESIGN_HASH source(m_design_hash, m_design_hash_size);
    ASM_SLD_FILE_PACKET packet(&source, DESIGN_HASH_FILE_NAME);
    return packet.write(m_packets);
}

bool ASM_SLD_TAG_CREATOR::add_sld_file()
{
    return m_sld_file_path != nullptr && add_file(m_sld_file_path->fullpath());
}

std::string ASM_SLD_TAG_CREATOR::get_jtag_id_text(const std::vector<std::string>& jtag_ids)
{
    std::string text;
    for (size_t i = 0; i < jtag_ids.size(); ++i)
    {
        if (i > 0)
            text += ",";
        text += jtag_ids[i];
    }
    return text;
}

bool ASM_SLD_TAG_CREATOR::add_jtag_id()
{
    const DEV_PART part = m_cmp->get_part();
    DEV_PART_MANAGER part_manager;
    ASM_SLD_FILESYS_JTAG_ID source(get_jtag_id_text(part_manager.get_device_jtag_id(part)));
    ASM_SLD_FILE_PACKET packet(&source, m_jtag_id_file_name.c_str());
    return packet.write(m_packets);
}

bool ASM_SLD_TAG_CREATOR::add_file(const std::string& path)
{
    ASM_SLD_FILE_PACKET packet(&m_file_source, path.c_str());
    if (!packet.write(m_packets))
    {
        post_message(msg_WASM_SLD_EMBEDDED_FILE_ERROR(path));
        return false;
    }
    return true;
}

bool ASM_SLD_TAG_CREATOR::add_partition_files(ZHD_PARTITION* partition)
{
    // The partition, then its subtree, then each next sibling with its own
    // subtree (siblings in a loop: a long row of siblings costs no stack).
    bool result = true;
    for (ZHD_PARTITION* current = partition; current != nullptr; current = current->get_next_sibling())
    {
        if (current->is_reconfigurable())
            continue;
        const bool ok = add_own_files(current);
        add_partition_files(current->get_first_child());
        if (current == partition)
            result = ok;
    }
    return result;
}

bool ASM_SLD_TAG_CREATOR::add_own_files(ZHD_PARTITION* partition)
{
    bool ok = true;
    const std::string directory = find_sld_sysconfiles(partition);
    if (directory.empty())
        return ok;

    FIO_FINDDATA entry;
    const intptr_t find_handle = FIO_FILE_SYSTEM::findfirst((directory + "/" + "*").c_str(), &entry);
    if (!(find_handle != 0 && find_handle != 1 && find_handle != -1))
        internal_error("find_handle != 0 && find_handle != 1 && find_handle != -1", ASM_SOURCE_TAG, __LINE__);
    do
    {
        if ((entry.attrib & FIO_ATTRIBUTE_DIRECTORY) != 0 || entry.name.empty() || entry.name[0] == '.')
            continue;
        FIO_PATH file(directory + "/" + entry.name);
        file.become_simplified();
        file.become_absolute(FIO_PATH());
        const std::string full_path = file.fullpath();
        asm_debug_log(2, "Creating content for file: %s", full_path.c_str());
        // After the first failure the rest are listed but not packed.
        if (ok)
            ok = add_file(full_path);
    } while (FIO_FILE_SYSTEM::findnext(find_handle, &entry) == 0);
    FIO_FILE_SYSTEM::findclose(find_handle);
    return ok;
}

std::string find_sld_sysconfiles(ZHD_PARTITION* partition)
{
    ZDB_DATABASE* database = ZHD_ROOT::get()->get_project_database();
    if (database != nullptr && partition != nullptr)
    {
        ZDB_PATH path = partition->get_db_directory_path(ZHD_PARTITION::s_unspecified);
        path.set_model_name(SLD_SYSCONFILES_MODEL);
        ZDB_MODEL* model = database->get_model(path, 0, 0);
        if (model != nullptr &&
            std::strcmp(model->get_model_type_string(), ZDB_DIRECTORY_MODEL::s_model_type_string) == 0)
            return static_cast<ZDB_DIRECTORY_MODEL*>(model)->get_fio_path().fullpath();
    }
    asm_debug_log(2, "%s",
                  "Something has gone awry, unable to locate debug files.  Tracewell support will be limited.");
    return std::string();
}

// ---------------------------------------------------------------------------
// Processor

ASM_SLD_PROCESSOR::ASM_SLD_PROCESSOR(CMP_FACADE* cmp, CDB_CHIP_DB_ENTRY* chip, ASM_ISLD* sink,
                                     const std::string* device_name, const FIO_PATH* output_base_path)
    : m_sink(sink),
      m_cmp(cmp),
      m_chip(chip),
      m_device_name(device_name),
      m_output_base_path(output_base_path),
      m_sld_file_written(false),
      m_design_hash_size(0)
{
}

ASM_SLD_PROCESSOR::~ASM_SLD_PROCESSOR() {}

void ASM_SLD_PROCESSOR::process()
{
    create_sld_file_with_kovx();
    pack_debug_files();
}

void ASM_SLD_PROCESSOR::pack_debug_files()
{
    if (cfg_is_on("sld_sof_omit_debug_files"))
        return;
    auto creator = std::make_unique<ASM_SLD_TAG_CREATOR>(m_cmp, m_sld_file_written ? &m_sld_file_path : nullptr,
                                                         m_design_hash.get(), m_design_hash_size);
    if (creator->build_content())
    {
        // Every packet checked that the blob stays within 32 bits.
        const std::string blob = creator->get_blob();
        m_sink->set_sld_blob(static_cast<uint32_t>(blob.size()), reinterpret_cast<const uint8_t*>(blob.data()));
    }
}

void ASM_SLD_PROCESSOR::set_design_hash_from_text(const std::string& text)
{
    const std::vector<uint8_t> bytes = sld_decode_hex_text(text);
    m_design_hash.reset(new uint8_t[bytes.size()]);
    std::copy(bytes.begin(), bytes.end(), m_design_hash.get());
    m_design_hash_size = bytes.size();
}

void ASM_SLD_PROCESSOR::create_sld_file_with_kovx()
{
    FIO_PATH path = *m_output_base_path;
    const HDB_NAMESPACE* cap_inst = m_cmp->get_cap_inst();
    path.filename(cap_inst != nullptr ? cap_inst->get_name_string() : std::string());
    path.extension(FIO_EXTENSION_KIND_SLD, -1);
    m_sld_file_path = path;
    m_sld_file_written = false;

    if (FIO_FILE_SYSTEM::exists(m_sld_file_path))
    {
        std::string now;
        std::string present;
        create_sld_text_in_temp_file(now);
        read_whole_file(present);
        // An empty text is what a failed temporary run leaves: it proves
        // nothing about the file, which is then written again.
        if (!now.empty() && now == present)
        {
            m_sld_file_written = true;
            return;
        }
    }

    // The .sof packs the file and the next run compares against it: it is
    // replaced whole or not at all.
    const std::string full_path = m_sld_file_path.fullpath();
    asm_io::kestil_atomic_ofstream out(full_path.c_str());
    const bool opened = out.good();
    if (!opened)
        post_message(msg_WASM_SLD_EMBEDDED_FILE_ERROR(full_path));
    KOVX_CREATE_SLD_FILE create_sld_file = find_kovx_create_sld_file();
    std::string design_hash;
    if (!create_sld_file(out, design_hash))
        asm_debug_log(2, "%s failed to write %s", KOVX_FUNCTION, full_path.c_str());
    if (!design_hash.empty())
        set_design_hash_from_text(design_hash);
    m_sld_file_written = out.commit();
    // A file that was opened but not written whole (a full disk, a directory
    // in its place) is reported like one that could not be opened.
    if (opened && !m_sld_file_written)
        post_message(msg_WASM_SLD_EMBEDDED_FILE_ERROR(full_path));
}

void ASM_SLD_PROCESSOR::create_sld_text_in_temp_file(std::string& text)
{
    text.clear();
    const std::string temp_path = m_sld_file_path.fullpath() + "tmp";
    auto out = std::make_unique<asm_io::kestil_ofstream>(temp_path.c_str(), std::ios_base::out | std::ios_base::trunc);
    const bool made = out->good();
    if (!made)
        post_message(msg_EASM_ASM_FAIL_TO_OPEN_FILE(temp_path));
    KOVX_CREATE_SLD_FILE create_sld_file = find_kovx_create_sld_file();
    std::string design_hash;
    if (create_sld_file(*out, design_hash) && !design_hash.empty())
        set_design_hash_from_text(design_hash);
    // What the library wrote reaches the file before it is read back.
    out->flush();

    auto in = std::make_unique<asm_io::kestil_ifstream>();
    in->open(temp_path.c_str(), std::ios_base::in);
    if (!in->good())
        post_message(msg_EASM_ASM_FAIL_TO_OPEN_FILE(temp_path));
    else if (made)  // a file left by someone else says nothing of the text now
        read_stream(*in, text);

    // Whatever stands at the path when it could not be opened (a directory,
    // another's file) is not this run's to remove.
    if (made)
    {
        if (std::remove(temp_path.c_str()) == 0)
        {
            asm_debug_log(2, "File %s removed", temp_path.c_str());
        }
        else
        {
            const std::string reason = std::strerror(errno);
            asm_debug_log(2, "File %s can not be removed due to %s", temp_path.c_str(), reason.c_str());
        }
    }
    in.reset();
    out.reset();
}

void ASM_SLD_PROCESSOR::read_whole_file(std::string& text)
{
    text.clear();
    const std::string full_path = m_sld_file_path.fullpath();
    asm_io::kestil_ifstream in;
    in.open(full_path.c_str(), std::ios_base::in);
    if (!in.good())
    {
        post_message(msg_EASM_ASM_FAIL_TO_OPEN_FILE(full_path));
        return;
    }
    read_stream(in, text);
}

void ASM_SLD_PROCESSOR::process_partition(ZHD_PARTITION* /*partition*/, ASM_ISLD_DEBUG* /*sink*/)
{
    asm_debug_log(2, "%s", "Not Implemented Yet");
}
