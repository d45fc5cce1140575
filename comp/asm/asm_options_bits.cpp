// The bit-settings context, the walk over the bit_settings elements with its
// three action modes, the evaluation of read and compared bits, and the
// bit-settings debug files.
#include "asm_bit_settings.h"

#include "asm_common.h"
#include "asm_fstream.h"
#include "asm_options.h"

#include <cdb.h>
#include <dev.h>
#include <fio.h>
#include <gen_string.h>
#include <hdb.h>

#include <xercesc/dom/DOM.hpp>

#define ASM_SOURCE_TAG ASM_OPTIONS_SOURCE_TAG

using xercesc::DOMElement;

namespace
{

int32_t bit_sequence_counter = 0;

// What the walk keeps for the option register and the JTAG user code. The
// override word and mask belong to the override elements alone; a read or
// compare element has its own word and mask, so it never changes what is
// forced.
struct REGISTER_STATE
{
    uint32_t override_word = 0;
    uint32_t override_mask = 0;
    uint32_t element_word = 0;
    uint32_t element_mask = 0;
    uint32_t override_jtag = 0;
    bool override_jtag_flag = false;
    bool jtag_report_flag = false;
    uint32_t image_option_register = 0;
    uint32_t image_jtag = 0;
};

// One image of the bitstream: its bytes (null when the device has none) and
// its size in bits.
struct IMAGE
{
    const uint8_t* bytes;
    uint32_t size;
    const char* name;
};

struct IMAGES
{
    IMAGE cram;
    IMAGE cff;
    IMAGE unvm;
    IMAGE option_reg;
};

// The image and index of a cell's address; null image for the no-bit space
// (bits 31 and 30); fails for an address of no space.
const IMAGE* image_of(const IMAGES& images, uint32_t address, uint32_t& index)
{
    if ((address & 0x80000000u) == 0)
    {
        index = address;
        return &images.cram;
    }
    if ((address & ASM_NO_BIT_TAG) == ASM_NO_BIT_TAG)
        return NULL;
    if ((address & ASM_CFF_TAG) == ASM_CFF_TAG)
    {
        index = address & ~ASM_CFF_TAG;
        return &images.cff;
    }
    if ((address & ASM_UNVM_TAG) == ASM_UNVM_TAG)
    {
        index = address & ~ASM_UNVM_TAG;
        return &images.unvm;
    }
    if ((address & ASM_OPTION_REG_TAG) == ASM_OPTION_REG_TAG)
    {
        index = address & ~ASM_OPTION_REG_TAG;
        return &images.option_reg;
    }
    asm_options_fail("Unrecognized address", __LINE__);
}

// The bit a read or compare cell addresses, with the image bounds checked.
uint8_t current_bit(const IMAGES& images, uint32_t address)
{
    uint32_t index = 0;
    const IMAGE* image = image_of(images, address, index);
    if (image == NULL)
        return 0;
    if (image->bytes == NULL)
    {
        if (image == &images.cff)
            asm_options_fail("CFF bits don't exist for this device family", __LINE__);
        if (image == &images.unvm)
            asm_options_fail("UNVM bits don't exist for this device family", __LINE__);
        if (image == &images.option_reg)
            asm_options_fail("Option Reg bits don't exist for this device family", __LINE__);
    }
    if (image->bytes == NULL || index >= image->size)
        asm_options_fail(safe_sprintf("Bit index %u is outside the %s image of %u bits in the Assembler "
                                      "assignments file",
                                      index, image->name, image->size),
                         __LINE__);
    return static_cast<uint8_t>((image->bytes[index / 8] >> (index % 8)) & 1u);
}

// A forced cell of a space that the device has must lie inside its image; a
// space that the device lacks is handed on as it is.
void check_forced_bit(const IMAGES& images, uint32_t address)
{
    uint32_t index = 0;
    const IMAGE* image = image_of(images, address, index);
    if (image == NULL || image->bytes == NULL)
        return;
    if (index >= image->size)
        asm_options_fail(safe_sprintf("Forced bit index %u is outside the %s image of %u bits in the Assembler "
                                      "assignments file",
                                      index, image->name, image->size),
                         __LINE__);
}

ASM_ELEMENT_LIST child_elements(const DOMElement* element, const char* name)
{
    ASM_ELEMENT_LIST list;
    get_child_elements(list, element, name);
    for (DOMElement* child : list)
        ASM_REQUIRE(child != NULL);
    return list;
}

// Whether a node name equals an ASCII name.
bool name_equals(const XMLCh* node_name, const char* name)
{
    for (; *name != '\0'; ++node_name, ++name)
        if (*node_name != static_cast<XMLCh>(static_cast<unsigned char>(*name)))
            return false;
    return *node_name == 0;
}

}  // namespace

void collect_child_elements(const DOMElement* element, const std::vector<const char*>& names,
                            const std::vector<ASM_ELEMENT_LIST*>& lists)
{
    ASM_REQUIRE(element != NULL);
    ASM_REQUIRE(names.size() == lists.size());
    for (xercesc::DOMNode* temp_node = element->getFirstChild(); temp_node != NULL;
         temp_node = temp_node->getNextSibling())
    {
        if (temp_node->getNodeType() != xercesc::DOMNode::ELEMENT_NODE)
            continue;
        const XMLCh* node_name = temp_node->getNodeName();
        for (size_t i = 0; i < names.size(); ++i)
        {
            if (name_equals(node_name, names[i]))
            {
                lists[i]->push_back(static_cast<DOMElement*>(temp_node));
                break;
            }
        }
    }
}

std::string ASM_CELL_ELEMENT::attribute(const char* name) const
{
    if (m_element != NULL)
        return get_attribute_string(name, m_element);
    ASM_REQUIRE(m_records != NULL);
    return m_records->attribute(m_record, name);
}

void collect_cell_elements(const DOMElement* element, const std::vector<const char*>& names,
                           const std::vector<ASM_CELL_LIST*>& lists)
{
    ASM_REQUIRE(element != NULL);
    ASM_REQUIRE(names.size() == lists.size());
    std::vector<ASM_ELEMENT_LIST> built(names.size());
    std::vector<ASM_ELEMENT_LIST*> built_lists;
    for (ASM_ELEMENT_LIST& list : built)
        built_lists.push_back(&list);
    collect_child_elements(element, names, built_lists);
    const ASM_CELL_RECORDS* records = asm_cell_records(element);
    for (size_t i = 0; i < names.size(); ++i)
    {
        // One load either builds an element's cells or keeps them all as
        // records, so document order is the order of either.
        ASM_REQUIRE(records == NULL || built[i].empty());
        for (const DOMElement* child : built[i])
            lists[i]->push_back(ASM_CELL_ELEMENT(child));
    }
    if (records == NULL)
        return;
    for (size_t record = 0; record < records->size(); ++record)
    {
        const std::string name = records->name(record);
        for (size_t i = 0; i < names.size(); ++i)
        {
            if (name == names[i])
            {
                lists[i]->push_back(ASM_CELL_ELEMENT(records, record));
                break;
            }
        }
    }
}

int32_t asm_next_bit_sequence() { return bit_sequence_counter++; }

int32_t asm_peek_bit_sequence() { return bit_sequence_counter; }

void asm_options_fail(const std::string& text, int line) { internal_error(text.c_str(), ASM_SOURCE_TAG, line); }

void ASM_BIT_SETTINGS_CONTEXT_DELETER::operator()(ASM_BIT_SETTINGS_CONTEXT* context) const { delete context; }

ASM_BIT_SETTINGS_CONTEXT::ASM_BIT_SETTINGS_CONTEXT(ASM_BITFIELD* bitfield, DEV_DEVICE* device, ASMDB_DIE* asmdb_die,
                                                   ASMDB_DIRT* asmdb_dirt, CDB_CHIP_DB_ENTRY* chip)
    : m_bitfield(bitfield),
      m_device(device),
      m_asmdb_die(asmdb_die),
      m_asmdb_dirt(asmdb_dirt),
      m_chip(chip),
      m_has_chip(chip != NULL),
      m_num_cram_columns(0)
{
}

void ASM_OPTIONS::apply_bit_settings(std::vector<DB_BIT_SETTING>& settings, ASM_BITFIELD* bitfield,
                                     DEV_DEVICE* device, ASMDB_DIE* asmdb_die, ASMDB_DIRT* asmdb_dirt,
                                     CDB_CHIP_DB_ENTRY* chip)
{
    if (!m_initialized)
        return;
    if (m_bit_settings_context == NULL)
    {
        std::unique_ptr<ASM_BIT_SETTINGS_CONTEXT, ASM_BIT_SETTINGS_CONTEXT_DELETER> context(
            new ASM_BIT_SETTINGS_CONTEXT(bitfield, device, asmdb_die, asmdb_dirt, chip));
        ASM_REQUIRE(device != NULL);
        ASM_REQUIRE(asmdb_die != NULL);
        ASM_REQUIRE(bitfield != NULL);
        context->read_num_cram_columns();
        m_bit_settings_context = std::move(context);
    }
    m_bit_settings_context->process_bit_settings(settings, m_dom_element);
}

void ASM_BIT_SETTINGS_CONTEXT::read_num_cram_columns()
{
    const DEV_BASIC_INFO* basic_info = m_device->get_basic_info();
    ASM_REQUIRE(basic_info != NULL);
    ASM_REQUIRE(basic_info->is_valid_int_enum(DEV_BASIC_INFO_INT_CRAM_COLS));
    this->m_num_cram_columns = basic_info->get_int_data(DEV_BASIC_INFO_INT_CRAM_COLS);
    ASM_REQUIRE(this->m_num_cram_columns > 0);
}

void ASM_BIT_SETTINGS_CONTEXT::process_bit_settings(std::vector<DB_BIT_SETTING>& settings, DOMElement* main_element)
{
    ASM_REQUIRE(main_element != NULL);

    IMAGES images;
    images.cram = IMAGE{m_bitfield->get_base_address(), m_bitfield->get_cram_size(), "CRAM"};
    images.cff = IMAGE{m_bitfield->get_cff_base_address(), m_bitfield->get_cff_size(), "CFF"};
    images.unvm = IMAGE{m_bitfield->get_unvm_base_address(), m_bitfield->get_unvm_size(), "UNVM"};
    images.option_reg =
        IMAGE{m_bitfield->get_option_reg_base_address(), m_bitfield->get_option_reg_size(), "Option Reg"};
    REGISTER_STATE state;
    state.image_jtag = m_bitfield->get_jtag_user_code();
    state.image_option_register = m_bitfield->get_option_reg();

    ASM_FORCED_BIT_LIST override_list;
    ASM_FORCED_BIT_LIST element_list;
    ASM_TOKEN_TABLE shared_tokens;
    ASM_TOKEN_ARRAY_TABLE shared_token_arrays;
    ASM_PACKAGE_TABLE shared_packages;
    ASM_DESCRIPTION_TABLE shared_descriptions;

    ASM_ELEMENT_LIST bit_settings_elements;
    get_child_elements(bit_settings_elements, main_element, "bit_settings");
    const ASM_ELEMENT_LIST shared_token_files = child_elements(main_element, "token_file");
    const ASM_ELEMENT_LIST shared_package_elements = child_elements(main_element, "address_package");

    for (DOMElement* token_file : shared_token_files)
        read_token_file(FIO_PATH(get_attribute_string("filename", token_file)).fullpath(), shared_tokens,
                        shared_token_arrays);
    parse_address_package(shared_package_elements, shared_descriptions, shared_tokens, shared_token_arrays,
                          shared_packages);

    for (DOMElement* bit_settings_element : bit_settings_elements)
    {
        ASM_REQUIRE(bit_settings_element != NULL);
        const std::string action = get_attribute_string("action", bit_settings_element);
        const bool write_mode = gen_strcmp(action.c_str(), "override") == 0;
        const bool compare_mode = gen_strcmp(action.c_str(), "compare") == 0;
        const bool read_mode = gen_strcmp(action.c_str(), "read") == 0;
        ASM_REQUIRE(write_mode || compare_mode || read_mode);

        ASM_ELEMENT_LIST cram_sections, cff_sections, archgroups, jtag_user_codes, option_registers,
            expanded_option_registers, token_files, debug_modes, package_elements;
        collect_child_elements(bit_settings_element,
                               {"cram", "cff", "archgroups", "jtag_user_code", "option_register",
                                "expanded_option_register", "token_file", "debug_mode", "address_package"},
                               {&cram_sections, &cff_sections, &archgroups, &jtag_user_codes, &option_registers,
                                &expanded_option_registers, &token_files, &debug_modes, &package_elements});

        if (!write_mode && debug_modes.empty())
            asm_options_fail("Assembler \"bit_settings\" action modes \"read\" or \"compare\" require that a "
                             "\"debug_mode\" element is specified",
                             __LINE__);

        ASM_FORCED_BIT_LIST& cells = write_mode ? override_list : element_list;
        const size_t first_new_cell = cells.size();

        ASM_TOKEN_TABLE tokens;
        ASM_TOKEN_ARRAY_TABLE token_arrays;
        merge_token_tables(tokens, shared_tokens, token_arrays, shared_token_arrays);
        for (DOMElement* token_file : token_files)
            read_token_file(FIO_PATH(get_attribute_string("filename", token_file)).fullpath(), tokens,
                            token_arrays);

        ASM_PACKAGE_TABLE packages;
        ASM_DESCRIPTION_TABLE descriptions;
        merge_address_packages(packages, shared_packages, descriptions, shared_descriptions);
        parse_address_package(package_elements, descriptions, tokens, token_arrays, packages);

        for (DOMElement* section : cram_sections)
            process_bit_section(cells, descriptions, tokens, token_arrays, section, ASM_CRAM_TAG, packages);
        for (DOMElement* section : cff_sections)
            process_bit_section(cells, descriptions, tokens, token_arrays, section, ASM_CFF_TAG, packages);
        for (DOMElement* option_register : option_registers)
        {
            if (write_mode)
                parse_option_register(&state.override_word, &state.override_mask, true, option_register);
            else
                parse_option_register(&state.element_word, &state.element_mask, false, option_register);
        }
        for (DOMElement* section : expanded_option_registers)
            process_bit_section(cells, descriptions, tokens, token_arrays, section, ASM_OPTION_REG_TAG, packages);
        for (DOMElement* jtag_user_code : jtag_user_codes)
        {
            if (write_mode)
            {
                if (state.override_jtag_flag)
                    asm_options_fail("Found repeated JTAG user code settings", __LINE__);
                state.override_jtag_flag = true;
                parse_jtag_user_code(&state.override_jtag, jtag_user_code);
            }
            else
            {
                state.jtag_report_flag = true;
            }
        }
        for (DOMElement* archgroup : archgroups)
            parse_element_location(cells, descriptions, archgroup);

        if (write_mode)
        {
            for (size_t i = first_new_cell; i < cells.size(); ++i)
                check_forced_bit(images, cells[i].address);
        }
        else
        {
            for (size_t i = 0; i < element_list.size(); ++i)
            {
                const ASM_FORCED_BIT cell = element_list[i];
                const uint8_t current = current_bit(images, cell.address);
                element_list.set_value(i, read_mode ? current : static_cast<uint8_t>((cell.value ^ current) & 1u));
            }
        }

        for (DOMElement* debug_mode : debug_modes)
        {
            const std::string value = get_attribute_string("value", debug_mode);
            if (gen_strcmp(value.c_str(), "true") != 0 && gen_strcmp(value.c_str(), "1") != 0)
                continue;
            std::string filename = get_attribute_string("filename", debug_mode);
            if (filename.compare(0, 9, "[project]") == 0)
            {
                HDB_CHIP* hdb_chip = m_has_chip ? m_chip->get_chip() : NULL;
                ASM_REQUIRE(hdb_chip != NULL);
                filename = hdb_chip->get_name() + filename.substr(9);
            }
            const bool style_2d = gen_strcmp(get_attribute_string("cram_style", debug_mode).c_str(), "2-d") == 0;
            const FIO_PATH path(filename);
            if (write_mode)
                write_bit_settings_debug_file(override_list, descriptions, path, style_2d, state.override_word,
                                              state.override_mask, state.override_jtag, state.override_jtag_flag);
            else if (read_mode)
                write_bit_settings_debug_file(element_list, descriptions, path, style_2d,
                                              state.image_option_register, state.element_mask, state.image_jtag,
                                              state.jtag_report_flag);
            else
                write_bit_settings_debug_file(element_list, descriptions, path, style_2d,
                                              state.image_option_register ^ state.element_word, state.element_mask,
                                              state.image_jtag, state.jtag_report_flag);
        }

        element_list.clear();
        state.element_word = 0;
        state.element_mask = 0;
        state.jtag_report_flag = false;
    }

    // The settings change only when the whole file went through.
    override_list.move_settings_to(settings);
    if (state.override_mask != 0)
        m_bitfield->set_option_reg((state.image_option_register & ~state.override_mask) |
                                   (state.override_word & state.override_mask));
    if (state.override_jtag_flag)
        m_bitfield->set_jtag_user_code(state.override_jtag);
}

void ASM_BIT_SETTINGS_CONTEXT::write_bit_settings_debug_file(const ASM_FORCED_BIT_LIST& cells,
                                                             const ASM_DESCRIPTION_TABLE& descriptions,
                                                             const FIO_PATH& path, bool style_2d,
                                                             uint32_t option_register, uint32_t option_mask,
                                                             uint32_t jtag_value, bool jtag_flag)
{
    FIO_PATH file = path;
    if (!file.has_directory())
        file.directory(FIO_FILE_SYSTEM::get_current_directory());
    const std::string full_path = file.fullpath();

    struct SECTION
    {
        const char* header;
        uint32_t tag;
        bool closing_line;
    };
    static const SECTION SECTIONS[] = {{"$CRAM\n", ASM_CRAM_TAG, true},
                                       {"$CFF\n", ASM_CFF_TAG, true},
                                       {"$UNVM\n", ASM_UNVM_TAG, true},
                                       {"$OPTION_REG\n", ASM_OPTION_REG_TAG, false}};

    std::string text;
    for (const SECTION& section : SECTIONS)
    {
        bool any = false;
        for (const ASM_FORCED_BIT cell : cells)
        {
            const uint32_t address = cell.address;
            if ((address & ASM_NO_BIT_TAG) == ASM_NO_BIT_TAG)
                continue;
            const bool member = section.tag == ASM_CRAM_TAG ? (address & 0x80000000u) == 0
                                                            : (address & section.tag) == section.tag;
            if (!member)
                continue;
            if (!any)
                text += section.header;
            any = true;
            if (section.tag != ASM_CRAM_TAG)
                text += std::to_string(address & ~section.tag);
            else if (style_2d)
                text += std::to_string(address / static_cast<uint32_t>(m_num_cram_columns)) + " " +
                        std::to_string(address % static_cast<uint32_t>(m_num_cram_columns));
            else
                text += std::to_string(address);
            text += cell.value != 0 ? " : 1" : " : 0";
            auto description = descriptions.find(cell.sequence);
            if (description != descriptions.end())
                text += " : " + description->second;
            text += "\n";
        }
        if (any && section.closing_line)
            text += "\n";
    }
    if (option_mask != 0)
    {
        text += "\n$OPTION_REGISTER\n";
        for (uint32_t i = 0; i < 32; ++i)
            if ((option_mask >> i) & 1u)
                text += std::to_string(i) + " : " + (((option_register >> i) & 1u) ? "1" : "0") + "\n";
    }
    if (jtag_flag)
    {
        char buffer[40];
        text += std::string("\n$JTAG_USER_CODE : ") + gen_itoa(static_cast<int>(jtag_value), buffer, 2) + "\n";
    }

    // The file is replaced whole or not at all: a write that fails (a full
    // disk) is the failure of a file that cannot be opened, and an earlier
    // file of the name stays as it was.
    asm_io::kestil_atomic_ofstream stream(full_path.c_str(), std::ios_base::out | std::ios_base::trunc);
    if (stream.good())
        stream.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!stream.commit())
        asm_options_fail("Cannot open file " + full_path + " for bit settings debug output", __LINE__);
    asm_debug_log(2, "%s", ("Successfully generated debug output file " + full_path).c_str());
}
