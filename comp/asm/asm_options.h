// The assembler options file: the XML file of assembler assignments with its
// includes, validated against assembler_asgn.xsd from the module's directory.
// The asm_assignments blocks that match the compilation, device and keyword
// are merged into one element, the collecting element, from which the netlist
// selection and the bit settings are read.
#pragma once

#include <fio.h>

#include <xercesc/util/XercesDefs.hpp>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

XERCES_CPP_NAMESPACE_BEGIN
class XMLGrammarPool;
class DOMDocument;
class DOMElement;
class DOMNode;
class DOMNodeList;
XERCES_CPP_NAMESPACE_END

class ASMCC_NETLIST_FAQ;
class ASM_BITFIELD;
class ASM_BIT_SETTINGS_CONTEXT;
class ASMDB_DIE;
class ASMDB_DIRT;
class CDB_CHIP_DB_ENTRY;
class DEV_DEVICE;
struct DB_BIT_SETTING;

// Deletes a bit-settings context (asm_bit_settings.h); the options object
// holds its context through it.
struct ASM_BIT_SETTINGS_CONTEXT_DELETER
{
    void operator()(ASM_BIT_SETTINGS_CONTEXT* context) const;
};

// The parser of a load, reused for every file (asm_options.cpp).
struct ASM_XML_PARSE_STATE;
struct ASM_XML_PARSE_STATE_DELETER
{
    void operator()(ASM_XML_PARSE_STATE* state) const;
};

// A root-level asm_assignments block as the parser met it, matched as it
// started: the block when it matches and was built; null, with the block's
// device_check, when it does not match and was not built.
struct ASM_SEEN_BLOCK
{
    xercesc::DOMElement* element;
    std::string device_check;
};

// The cell elements of a bit-settings file (address_1d, address_2d, token_1d
// and token_2d in a cram, cff or expanded_option_register section, a base
// address or an address package) are the bulk of a large file. The loader
// does not build them as DOM elements but keeps them as records beside their
// parent element (asm_cell_records): names and attributes, as the DOM
// elements would carry them, in document order. A load that writes the debug
// copy of the file builds them as DOM elements, as every other element.
class ASM_CELL_RECORDS
{
public:
    // Starts the next record, of an element with the name.
    void add_record(const XMLCh* name);
    // Adds an attribute (qualified name and value) to the last record.
    void add_attribute(const XMLCh* name, const XMLCh* value);

    size_t size() const { return m_records.size(); }
    std::string name(size_t record) const;
    // The value of the record's attribute; "" when the record does not carry
    // it.
    std::string attribute(size_t record, const char* name) const;

private:
    // A text of m_text; 32-bit offsets keep the records small.
    struct TEXT
    {
        uint32_t offset;
        uint32_t size;
    };
    struct RECORD
    {
        TEXT name;
        uint32_t first_attribute;
        uint32_t attribute_count;
    };
    struct ATTRIBUTE
    {
        TEXT name;
        TEXT value;
    };
    TEXT add_text(const XMLCh* text);
    bool text_equals(const TEXT& text, const char* other) const;

    std::vector<RECORD> m_records;
    std::vector<ATTRIBUTE> m_attributes;
    // The names and values (UTF-8), one after the other.
    std::string m_text;
};

// The cell records kept beside an element; null when it has none.
const ASM_CELL_RECORDS* asm_cell_records(const xercesc::DOMElement* element);

class ASM_OPTIONS
{
public:
    ASM_OPTIONS();
    ~ASM_OPTIONS();
    ASM_OPTIONS(const ASM_OPTIONS&) = delete;
    ASM_OPTIONS& operator=(const ASM_OPTIONS&) = delete;

    // Loads the file with its includes and keeps the asm_assignments blocks
    // that match the three texts; m_initialized tells the outcome. A relative
    // path is taken from the current directory. Called once per object.
    void initialize(const FIO_PATH& file, const std::string& cmp_name, const std::string& device_name,
                    const std::string& keyword);

    // The netlist selection of the kept netlist_spec, owned by the caller;
    // null when there is none. Only for an initialised object.
    ASMCC_NETLIST_FAQ* create_netlist_faq();

    // Applies the kept bit_settings elements to the bitstream: appends the
    // forced bits to settings and sets the wrapper's option register and
    // JTAG user code when the file forces them. Nothing at all for an object
    // that is not initialised. The first call makes the bit-settings context
    // from the arguments (the chip may be null); later calls use it as made.
    // A fault of the file leaves the settings as they were.
    void apply_bit_settings(std::vector<DB_BIT_SETTING>& settings, ASM_BITFIELD* bitfield, DEV_DEVICE* device,
                            ASMDB_DIE* asmdb_die, ASMDB_DIRT* asmdb_dirt, CDB_CHIP_DB_ENTRY* chip);

    // Steps of the load.
    // Takes the last queued file, parses and validates it, keeps its matching
    // blocks and queues its includes.
    void parse_file();
    // Keeps the matching asm_assignments blocks of a document (the first one
    // found becomes the collecting element, later ones are merged into it)
    // and drops the others.
    void select_asm_assignments(xercesc::DOMDocument* dom_document);
    // The same for the root element of a file in dom_document. A file built
    // into the collecting element's document (built_into_collecting) has its
    // later matching blocks merged as those of another file: their children
    // go to the end of the collecting element. seen_blocks, when given, are
    // the blocks the parser judged as it met them, in document order, before
    // any block in the tree that it did not judge.
    void select_blocks(xercesc::DOMElement* root_element, xercesc::DOMDocument* dom_document, bool built_into_collecting,
                       const std::vector<ASM_SEEN_BLOCK>* seen_blocks = NULL);
    // Keeps, merges or drops one block of the root (see select_blocks).
    void select_block(xercesc::DOMElement* root_element, xercesc::DOMDocument* dom_document, bool built_into_collecting,
                      xercesc::DOMElement* temp_element);
    // Merges a later matching block of m_dom_document that has more children
    // than the collecting element by making it the collecting element (see
    // select_asm_assignments).
    void take_collecting_role(xercesc::DOMElement* root_element, xercesc::DOMElement* temp_element);
    // Queues the files that the document's include elements name (a relative
    // path is taken from the current directory) and drops the include
    // elements.
    void process_include_elements(xercesc::DOMDocument* dom_document);
    // The same for the include elements below a file's root element.
    void process_includes(xercesc::DOMElement* root_element);
    // Writes the node as pretty-printed XML to the file.
    void write_dom_to_file(xercesc::DOMNode* node, const std::string& path);

    // The collecting element, in m_dom_document; null until a block matched.
    xercesc::DOMElement* m_dom_element;
    // Owned.
    xercesc::DOMDocument* m_dom_document;
    // Files taken for parsing, in the order taken.
    std::vector<FIO_PATH> m_parsed_files;
    // Files waiting; the last one is taken first.
    std::vector<FIO_PATH> m_unparsed_files;
    std::string m_cmp_name;
    std::string m_device_name;
    std::string m_keyword;
    // True after a successful load: a block matched and no file had a
    // diagnostic.
    bool m_initialized;
    // Parser diagnostics over all files.
    int32_t m_error_count;
    // Whether initialize started the XML platform, which the destructor then
    // ends again.
    bool m_xml_platform_initialized;
    // The canonical paths of the files taken or queued: a file named again is
    // not queued again.
    std::unordered_set<std::string> m_known_files;
    // The directories of the files named, with symbolic links, "." and ".."
    // resolved.
    std::unordered_map<std::string, std::string> m_canonical_directories;
    // The schema file, found and checked by the first parse of the load.
    std::string m_schema_path;
    // The schema, compiled by the first parse of the load and reused by every
    // later one; owned.
    xercesc::XMLGrammarPool* m_grammar_pool;
    // The parser, made by the first parse of the load; ends before the
    // compiled schema. It holds the cell records of the load's documents.
    std::unique_ptr<ASM_XML_PARSE_STATE, ASM_XML_PARSE_STATE_DELETER> m_parse_state;
    // Whether the load builds every element as a DOM element (for the debug
    // copy) or keeps the cell elements as records; set by initialize.
    bool m_build_cells;
    // Null until the bit settings are applied; holds no DOM object, so it
    // may end after the XML platform.
    std::unique_ptr<ASM_BIT_SETTINGS_CONTEXT, ASM_BIT_SETTINGS_CONTEXT_DELETER> m_bit_settings_context;
};

// Turns every attribute that the schema defaulted, below the node, into one
// that is specified.
void check_dom_attributes(xercesc::DOMNode* dom_node);

// The value of an attribute: its schema default or "" when the element does
// not carry it.
std::string get_attribute_string(const char* attr_name, const xercesc::DOMElement* element);

// Appends to the list, in document order, the direct child elements whose
// name equals tag_name exactly. The list is not emptied first.
void get_child_elements(std::vector<xercesc::DOMElement*>& list, const xercesc::DOMElement* element,
                        const char* tag_name);

// Appends to the list, in document order, every element below the element
// (at any depth) whose name equals tag_name exactly. One walk over the
// subtree, linear in its size. The list is not emptied first.
void get_descendant_elements(std::vector<xercesc::DOMElement*>& list, const xercesc::DOMElement* element,
                             const char* tag_name);

// The DOM helpers of the loader.
class KESTIL_DOM_PARSER
{
public:
    // The index of a node in a list, searched from the last item backward;
    // -1 when the list does not hold it.
    static XMLSize_t find_node_index(const xercesc::DOMNodeList& list, const xercesc::DOMNode* node);
};
