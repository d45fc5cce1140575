// The SLD processing: the design's debug (SLD) files packed into one blob
// for the SRAM object file, and the SLD file made through the debug-instance
// extension library.
//
// The blob is a plain concatenation of packets, one per embedded file:
//
//   offset  width  field (multi-byte fields little-endian)
//   0       4      time stamp, bits 0-31 of the file's st_ctime (0 for the
//                  synthesised files design_hash.bin and jtag_id.txt)
//   4       1      time stamp, bits 32-39
//   5       1      1 when the content is one zlib stream, 0 when raw
//   6       2      N: length of the name field, its NUL included
//   8       4      reserved, 0
//   12      4      S: length of the stored content
//   16      N      the name in UTF-8 (project-relative when the file lies
//                  under the project directory) and a NUL
//   16 + N  S      the content
#pragma once

#include "asm_isld.h"

#include <fio.h>

#include <cstdint>
#include <memory>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

class CMP_FACADE;
class CDB_CHIP_DB_ENTRY;
class ZHD_PARTITION;

// Files above this many bytes are stored compressed, unless the INI switch
// sld_asm_file_size_req_for_compress (read once per process) gives another
// threshold of 1 or more.
constexpr uint64_t SLD_DEFAULT_COMPRESSION_THRESHOLD = 1024;
uint64_t sld_compression_threshold();

// Where a packet takes its bytes from.
class ASM_SLD_FILESYS_INTERFACE
{
public:
    virtual ~ASM_SLD_FILESYS_INTERFACE() {}
    // Fills the status record (size and st_ctime are used); false when the
    // name has none.
    virtual bool stat(const char* name, FIO_STAT* record) = 0;
    // Fills exactly size bytes of content; false when they cannot be read.
    virtual bool read(const char* name, uint8_t* buffer, uint64_t size) = 0;
};

// A file on disk.
class ASM_SLD_FILESYS_FIO_WRAPPER : public ASM_SLD_FILESYS_INTERFACE
{
public:
    bool stat(const char* name, FIO_STAT* record) override;
    // False when the file cannot be opened or holds fewer bytes than asked.
    bool read(const char* name, uint8_t* buffer, uint64_t size) override;
};

// design_hash.bin: two zero bytes, the hash bytes, four zero bytes.
class ASM_SLD_FILESYS_DESIGN_HASH : public ASM_SLD_FILESYS_INTERFACE
{
public:
    // The bytes are not copied: they outlive the source.
    ASM_SLD_FILESYS_DESIGN_HASH(const uint8_t* design_hash, uint64_t design_hash_size)
        : m_design_hash(design_hash), m_design_hash_size(design_hash_size)
    {
    }
    bool stat(const char* name, FIO_STAT* record) override;
    bool read(const char* name, uint8_t* buffer, uint64_t content_size) override;

private:
    const uint8_t* m_design_hash;
    uint64_t m_design_hash_size;
};

// jtag_id.txt: the text's bytes, no NUL.
class ASM_SLD_FILESYS_JTAG_ID : public ASM_SLD_FILESYS_INTERFACE
{
public:
    explicit ASM_SLD_FILESYS_JTAG_ID(const std::string& jtag_id)
        : m_jtag_id(jtag_id), m_jtag_id_size(jtag_id.size())
    {
    }
    bool stat(const char* name, FIO_STAT* record) override;
    bool read(const char* name, uint8_t* buffer, uint64_t content_size) override;

private:
    std::string m_jtag_id;
    uint64_t m_jtag_id_size;
};

// One packet being written: one object serves one write.
class ASM_SLD_FILE_PACKET
{
public:
    static constexpr size_t HEADER_SIZE = 16;

    // Neither the source nor the name is owned.
    ASM_SLD_FILE_PACKET(ASM_SLD_FILESYS_INTERFACE* source, const char* name);
    virtual ~ASM_SLD_FILE_PACKET();
    ASM_SLD_FILE_PACKET(const ASM_SLD_FILE_PACKET&) = delete;
    ASM_SLD_FILE_PACKET& operator=(const ASM_SLD_FILE_PACKET&) = delete;

    // Appends the packet to the stream. False, with the stream unchanged,
    // when the file has no status, its content cannot be read, its name is
    // not valid text, or a size does not fit its field (content above
    // UINT32_MAX, a name of 65,535 UTF-8 bytes or more, a blob that would
    // pass UINT32_MAX bytes).
    bool write(std::ostream& out);
    // Takes the status and content from the source, compressing the content
    // above the threshold. False when the status or the content cannot be
    // had or the content is too large for the packet.
    bool load_content();

private:
    ASM_SLD_FILESYS_INTERFACE* m_source;
    const char* m_name;
    std::vector<char> m_encoded_name;
    uint8_t m_header[HEADER_SIZE];
    std::vector<uint8_t> m_content;
    // The status of the content load, whose time stamp the header carries.
    FIO_STAT m_status;
};

// Packs the debug files of one run into the packet stream.
class ASM_SLD_TAG_CREATOR
{
public:
    // The design hash is not owned; a size of 0 makes the creator ask the
    // debug-instance library for one. A null SLD file path packs no SLD file
    // (one that could not be written, already reported).
    ASM_SLD_TAG_CREATOR(CMP_FACADE* cmp, const FIO_PATH* sld_file_path, const uint8_t* design_hash,
                        uint64_t design_hash_size);
    virtual ~ASM_SLD_TAG_CREATOR();

    // design_hash.bin, the SLD file, jtag_id.txt and the files of every
    // partition's sld_sysconfiles directory, in that order. The result is
    // that of design_hash.bin alone.
    bool build_content();
    bool add_design_hash();
    bool add_sld_file();
    bool add_jtag_id();
    // One file on disk; a file that cannot be packed posts the warning
    // WASM_SLD_EMBEDDED_FILE_ERROR.
    bool add_file(const std::string& path);
    // The partition, its subtree and its next siblings, depth first; a
    // reconfigurable partition is skipped with its subtree. The result is
    // that of the partition's own directory.
    bool add_partition_files(ZHD_PARTITION* partition);
    // The strings joined by ",".
    static std::string get_jtag_id_text(const std::vector<std::string>& jtag_ids);

    // The packets written so far: the SLD blob.
    std::string get_blob() const { return m_packets.str(); }

private:
    bool add_own_files(ZHD_PARTITION* partition);

    const std::string m_jtag_id_file_name;
    ASM_SLD_FILESYS_FIO_WRAPPER m_file_source;
    std::ostringstream m_packets;
    CMP_FACADE* m_cmp;
    const FIO_PATH* m_sld_file_path;
    const uint8_t* m_design_hash;
    uint64_t m_design_hash_size;
};

// The full path of the partition's sld_sysconfiles directory in the project
// database; "" (with a debug line) when it cannot be located.
std::string find_sld_sysconfiles(ZHD_PARTITION* partition);

// The SLD processing of one device run: made, run and destroyed while the
// project adapter is constructed.
class ASM_SLD_PROCESSOR
{
public:
    // Nothing is owned. The output base path is the project output directory
    // with the revision name as base name.
    ASM_SLD_PROCESSOR(CMP_FACADE* cmp, CDB_CHIP_DB_ENTRY* chip, ASM_ISLD* sink, const std::string* device_name,
                      const FIO_PATH* output_base_path);
    ~ASM_SLD_PROCESSOR();
    ASM_SLD_PROCESSOR(const ASM_SLD_PROCESSOR&) = delete;
    ASM_SLD_PROCESSOR& operator=(const ASM_SLD_PROCESSOR&) = delete;

    // Makes the SLD file when it is missing or stale, then packs the debug
    // files and hands the blob to the sink.
    void process();
    // Unless sld_sof_omit_debug_files is on: the blob to the sink (nothing
    // when design_hash.bin cannot be packed).
    void pack_debug_files();
    // Sets the SLD file path (the compile instance's name, extension of the
    // SLD kind, in the output directory) and rewrites the file through the
    // extension library unless its content would not change. The file is
    // replaced whole or not at all; one that cannot be written posts the
    // warning WASM_SLD_EMBEDDED_FILE_ERROR once and is not packed.
    void create_sld_file_with_kovx();
    // The text the extension library writes now, by way of a temporary file
    // beside the SLD file ("tmp" appended to its name); sets the design hash.
    // A temporary file that cannot be opened posts EASM_ASM_FAIL_TO_OPEN_FILE
    // (the text is then empty); only a file made here is removed.
    void create_sld_text_in_temp_file(std::string& text);
    // The SLD file's present content ("" when it cannot be read).
    void read_whole_file(std::string& text);
    // A further partition region's SLD data: none yet (a debug line).
    void process_partition(ZHD_PARTITION* partition, ASM_ISLD_DEBUG* sink);

    const FIO_PATH& get_sld_file_path() const { return m_sld_file_path; }
    const uint8_t* get_design_hash() const { return m_design_hash.get(); }
    uint64_t get_design_hash_size() const { return m_design_hash_size; }

private:
    // Replaces the design hash with the bytes of the hexadecimal text.
    void set_design_hash_from_text(const std::string& text);

    ASM_ISLD* m_sink;
    CMP_FACADE* m_cmp;
    CDB_CHIP_DB_ENTRY* m_chip;
    const std::string* m_device_name;
    const FIO_PATH* m_output_base_path;
    FIO_PATH m_sld_file_path;
    // The SLD file holds this run's text (unchanged or written whole): only
    // then is it packed.
    bool m_sld_file_written;
    std::unique_ptr<uint8_t[]> m_design_hash;
    uint64_t m_design_hash_size;
};

// The bytes of a hexadecimal text: two characters a byte, most significant
// nibble first; a last unpaired character is ignored, and a character other
// than 0-9, a-f, A-F counts as 0.
std::vector<uint8_t> sld_decode_hex_text(const std::string& text);
