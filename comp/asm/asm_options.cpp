#include "asm_options.h"

#include "asm_common.h"
#include "asm_fstream.h"
#include "asm_messages.h"
#include "asm_util.h"

#include <asm_model.h>
#include <asmdb.h>
#include <cfg.h>
#include <dev.h>
#include <dmgr.h>
#include <dstr.h>
#include <gen.h>

#include <xercesc/dom/DOM.hpp>
#include <xercesc/dom/impl/DOMAttrImpl.hpp>
#include <xercesc/dom/impl/DOMDocumentImpl.hpp>
#include <xercesc/framework/LocalFileInputSource.hpp>
#include <xercesc/framework/XMLFormatter.hpp>
#include <xercesc/framework/XMLGrammarPoolImpl.hpp>
#include <xercesc/internal/XMLScanner.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/sax/ErrorHandler.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/util/BinInputStream.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/TransService.hpp>
#include <xercesc/util/XMLEntityResolver.hpp>
#include <xercesc/util/XMLResourceIdentifier.hpp>
#include <xercesc/util/XMLString.hpp>
#include <xercesc/util/XMLUni.hpp>

#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#define ASM_SOURCE_TAG "comp/asm/asm_options"

using xercesc::DOMAttr;
using xercesc::DOMDocument;
using xercesc::DOMElement;
using xercesc::DOMNamedNodeMap;
using xercesc::DOMNode;
using xercesc::DOMNodeList;
using xercesc::DOMText;
using xercesc::XMLPlatformUtils;
using xercesc::XMLString;

namespace
{

// Whether an asm_assignments block's cmp, device or keyword attribute takes
// in the load's own text: the same text, or "any".
bool block_attribute_matches(const std::string& value, const std::string& text)
{
    return value == text || value == "any";
}

// An options file may not expand more entities than this. Document type
// declarations are refused, so no entity can be declared; the bound is a
// second line of defence.
const XMLSize_t ENTITY_EXPANSION_LIMIT = 100;

[[noreturn]] void fail(const std::string& text, int line) { internal_error(text.c_str(), ASM_SOURCE_TAG, line); }

void debug_line(const std::string& line) { asm_debug_log(2, "%s", line.c_str()); }

bool is_ascii(const std::string& text)
{
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// 8-bit text (UTF-8) as XML characters, for as long as the object lives.
// ASCII text, the attribute and element names and most values, is widened
// as it stands; other text goes through the library's UTF-8 transcoder.
class XML_TEXT
{
public:
    explicit XML_TEXT(const std::string& text)
    {
        if (is_ascii(text))
        {
            m_ascii.assign(text.begin(), text.end());
            return;
        }
        m_transcoded.reset(new xercesc::TranscodeFromStr(reinterpret_cast<const XMLByte*>(text.data()), text.size(),
                                                         "UTF-8", XMLPlatformUtils::fgMemoryManager));
    }
    const XMLCh* get() const { return m_transcoded ? m_transcoded->str() : m_ascii.c_str(); }

private:
    std::basic_string<XMLCh> m_ascii;
    std::unique_ptr<xercesc::TranscodeFromStr> m_transcoded;
};

// XML characters as 8-bit text (UTF-8), whole; null gives "".
std::string to_text(const XMLCh* text)
{
    if (text == NULL)
        return std::string();
    std::string ascii;
    for (const XMLCh* c = text; *c != 0; ++c)
    {
        if (*c >= 0x80)
        {
            xercesc::TranscodeToStr result(text, "UTF-8", XMLPlatformUtils::fgMemoryManager);
            return std::string(reinterpret_cast<const char*>(result.str()), result.length());
        }
        ascii.push_back(static_cast<char>(*c));
    }
    return ascii;
}

// The node after a node of the subtree below root, in document order; null
// after the last. Through the first-child, next-sibling and parent links and
// without recursion: a walk over the subtree is linear in its size, however
// wide or deep it is.
DOMNode* next_in_document_order(DOMNode* node, const DOMNode* root)
{
    if (DOMNode* first_child = node->getFirstChild())
        return first_child;
    while (node != root && node->getNextSibling() == NULL)
        node = node->getParentNode();
    return node == root ? NULL : node->getNextSibling();
}

std::string xml_exception_text(const xercesc::XMLException& exception)
{
    return "Assembler XML " + to_text(exception.getType()) + " (File " +
           (exception.getSrcFile() ? exception.getSrcFile() : "") + " Line " +
           std::to_string(exception.getSrcLine()) + "): " + to_text(exception.getMessage());
}

// Releases a DOM object when the scope ends.
template <typename T>
struct RELEASE_GUARD
{
    T* object;
    ~RELEASE_GUARD()
    {
        if (object != NULL)
            object->release();
    }
};

// Posts every diagnostic of the parser as the user error
// EASM_ASM_ASSIGNMENTS_FILE_ERROR and counts it; the parse itself goes on
// as far as the parser goes.
class ASM_XML_ERROR_HANDLER : public xercesc::ErrorHandler
{
public:
    // The file is named in place of a diagnostic that names none (a file
    // that cannot be read).
    explicit ASM_XML_ERROR_HANDLER(const std::string& file) : m_file(file) {}
    ~ASM_XML_ERROR_HANDLER() override = default;

    void warning(const xercesc::SAXParseException& diagnostic) override { report(diagnostic); }
    void error(const xercesc::SAXParseException& diagnostic) override { report(diagnostic); }
    void fatalError(const xercesc::SAXParseException& diagnostic) override { report(diagnostic); }
    void resetErrors() override {}

    void report(const xercesc::SAXParseException& diagnostic)
    {
        std::string system_id = to_text(diagnostic.getSystemId());
        if (system_id.empty())
            system_id = m_file;
        const std::string message = to_text(diagnostic.getMessage());
        const int32_t line = static_cast<int32_t>(diagnostic.getLineNumber());
        const int32_t column = static_cast<int32_t>(diagnostic.getColumnNumber());
        post_message(msg_EASM_ASM_ASSIGNMENTS_FILE_ERROR(system_id, line, message, column));
        ++m_error_count;
    }

    int32_t m_error_count = 0;

private:
    std::string m_file;
};

// The key under which an element holds its cell records (user data of the
// DOM node). A copy of the element, made by cloning or importing it, holds
// the same records.
const XMLCh* cell_records_key()
{
    static const XML_TEXT key("asm_cell_records");
    return key.get();
}

class ASM_CELL_RECORDS_HANDLER : public xercesc::DOMUserDataHandler
{
public:
    void handle(DOMOperationType operation, const XMLCh* const key, void* data, const DOMNode*, DOMNode* dst) override
    {
        if ((operation == NODE_CLONED || operation == NODE_IMPORTED) && dst != NULL)
            dst->setUserData(key, data, this);
    }
};

// Never destroyed: the DOM calls it for every element that holds records
// when the element is released, however late in the process.
ASM_CELL_RECORDS_HANDLER* cell_records_handler()
{
    static ASM_CELL_RECORDS_HANDLER* handler = new ASM_CELL_RECORDS_HANDLER();
    return handler;
}

// The parser of options files. A document type declaration is refused as a
// fatal error as soon as it is seen, before its internal subset is read, so
// no DTD is loaded and no entity is declared or expanded.
//
// The parser can also build the root element of a file straight into
// another document, below a holder node of that document, instead of into
// the file's own document: an included file's blocks are then in the
// collecting element's document already and move into it without a copy.
// Everything outside the root element (the XML declaration, comments before
// and after the root) still goes to the file's own document.
//
// Unless told to build them, the parser keeps the cell elements of the
// bit settings as records beside their parent element instead of building
// them (see ASM_CELL_RECORDS): they are most of a large file, and building
// DOM nodes costs far more than reading the file. The scanner still reads
// and validates them. The text around such an element joins the text before
// it.
//
// Text is handed to the DOM one node at a time: the pieces that the scanner
// reports in a row (the whitespace between cell records among them) are
// gathered here and given to the base parser once, as it would have joined
// them. Appended piece by piece, a long text grows its buffer again and
// again, and the document gives each outgrown buffer back by a search of
// every large block it holds, which makes a file of many such texts load in
// time that grows with the square of its size.
class ASM_XML_DOM_PARSER : public xercesc::XercesDOMParser
{
public:
    using xercesc::XercesDOMParser::XercesDOMParser;

    ~ASM_XML_DOM_PARSER() override { end_target(); }

    // The root element of the next parse goes below the holder, in the
    // holder's document.
    void set_target(DOMNode* holder)
    {
        m_holder = holder;
        m_target = static_cast<xercesc::DOMDocumentImpl*>(holder->getOwnerDocument());
    }

    // Gives the parser its own document back if the parse ended inside the
    // root element: the parser releases only documents that it made.
    void end_target()
    {
        if (m_own_document != NULL)
        {
            fDocument = m_own_document;
            fCurrentParent = fDocument;
            fCurrentNode = fDocument;
            m_own_document = NULL;
        }
        m_holder = NULL;
        m_target = NULL;
    }

    // The document of the last parse, handed over to the caller, who owns it
    // from then on; null when the parse made none. The parser forgets it: a
    // later parse that fails before it makes a document of its own hands
    // over null, never the document given away before.
    DOMDocument* take_document()
    {
        DOMDocument* document = adoptDocument();
        fDocument = NULL;
        fCurrentParent = NULL;
        fCurrentNode = NULL;
        return document;
    }

    // Readies the block records for the next parse.
    void start_file()
    {
        m_pending_text.clear();
        m_has_pending_text = false;
        m_seen_blocks.clear();
        m_depth = 0;
        m_skip_depth = 0;
        m_cell_parent = NULL;
        m_cell_parent_records = NULL;
    }

    // Whether cell elements are built as DOM elements (else kept as
    // records).
    void set_build_cells(bool build_cells) { m_build_cells = build_cells; }

    // Hands the text gathered last to the document: called when the parse
    // ends, however it ends, as the scanner reports nothing more.
    void flush_text()
    {
        if (!m_has_pending_text)
            return;
        if (m_pending_ignorable)
            xercesc::XercesDOMParser::ignorableWhitespace(m_pending_text.data(), m_pending_text.size(), false);
        else
            xercesc::XercesDOMParser::docCharacters(m_pending_text.data(), m_pending_text.size(), false);
        m_pending_text.clear();
        m_has_pending_text = false;
    }

    void startElement(const xercesc::XMLElementDecl& elemDecl, const unsigned int urlId, const XMLCh* const elemPrefix,
                      const xercesc::RefVectorOf<xercesc::XMLAttr>& attrList, const XMLSize_t attrCount,
                      const bool isEmpty, const bool isRoot) override
    {
        if (m_skip_depth > 0)
        {
            if (!isEmpty)
                ++m_skip_depth;
            return;
        }
        const bool unprefixed = elemPrefix == NULL || *elemPrefix == 0;
        if (!m_build_cells && unprefixed && keep_cell_record(elemDecl, attrList, attrCount))
        {
            if (!isEmpty)
                m_skip_depth = 1;
            return;
        }
        flush_text();
        const bool block =
            m_depth == 1 && unprefixed && XMLString::equals(elemDecl.getBaseName(), m_block_tag.get());
        if (block && !block_matches(attrList, attrCount))
        {
            // Not built: recorded with its device_check in its place. The
            // text that follows starts a node of its own, as it would next
            // to the block.
            m_seen_blocks.push_back(
                ASM_SEEN_BLOCK{NULL, to_text(attribute_value(attrList, attrCount, m_device_check_attribute))});
            fCurrentNode = fCurrentParent;
            if (!isEmpty)
                m_skip_depth = 1;
            return;
        }
        ++m_depth;
        if (m_holder != NULL && m_own_document == NULL && fCurrentParent == fDocument)
        {
            m_own_document = fDocument;
            fDocument = m_target;
            fCurrentParent = m_holder;
            fCurrentNode = m_holder;
        }
        xercesc::XercesDOMParser::startElement(elemDecl, urlId, elemPrefix, attrList, attrCount, isEmpty, isRoot);
        // The new element is the current node, also when it was empty and
        // has ended already.
        if (block)
            m_seen_blocks.push_back(ASM_SEEN_BLOCK{static_cast<DOMElement*>(fCurrentNode), std::string()});
    }

    void endElement(const xercesc::XMLElementDecl& elemDecl, const unsigned int urlId, const bool isRoot,
                    const XMLCh* const elemPrefix) override
    {
        if (m_skip_depth > 0)
        {
            --m_skip_depth;
            return;
        }
        flush_text();
        --m_depth;
        xercesc::XercesDOMParser::endElement(elemDecl, urlId, isRoot, elemPrefix);
        if (m_own_document != NULL && fCurrentParent == m_holder)
        {
            // The root element ended: what follows it is the file's own.
            fDocument = m_own_document;
            fCurrentParent = fDocument;
            fCurrentNode = fDocument;
            fWithinElement = false;
            m_own_document = NULL;
            m_holder = NULL;
            m_target = NULL;
        }
    }

    // Nothing inside a block that is not built reaches the document. Text
    // waits for the next event that reaches it (see flush_text); a text node
    // is ignorable whitespace when its first piece is.
    void docCharacters(const XMLCh* const chars, const XMLSize_t length, const bool cdataSection) override
    {
        if (m_skip_depth != 0)
            return;
        if (cdataSection)
        {
            flush_text();
            xercesc::XercesDOMParser::docCharacters(chars, length, cdataSection);
            return;
        }
        gather_text(chars, length, false);
    }
    void ignorableWhitespace(const XMLCh* const chars, const XMLSize_t length, const bool) override
    {
        if (m_skip_depth != 0)
            return;
        if (!getIncludeIgnorableWhitespace())
            return;
        gather_text(chars, length, true);
    }
    void docComment(const XMLCh* const comment) override
    {
        if (m_skip_depth != 0)
            return;
        flush_text();
        xercesc::XercesDOMParser::docComment(comment);
    }
    void docPI(const XMLCh* const target, const XMLCh* const data) override
    {
        if (m_skip_depth != 0)
            return;
        flush_text();
        xercesc::XercesDOMParser::docPI(target, data);
    }
    void startEntityReference(const xercesc::XMLEntityDecl& entDecl) override
    {
        if (m_skip_depth != 0)
            return;
        flush_text();
        xercesc::XercesDOMParser::startEntityReference(entDecl);
    }
    void endEntityReference(const xercesc::XMLEntityDecl& entDecl) override
    {
        if (m_skip_depth != 0)
            return;
        flush_text();
        xercesc::XercesDOMParser::endEntityReference(entDecl);
    }
    void endDocument() override
    {
        flush_text();
        xercesc::XercesDOMParser::endDocument();
    }

    // The three texts that a root-level asm_assignments block is matched
    // against as it starts.
    void set_block_filter(const std::string& cmp_name, const std::string& device_name, const std::string& keyword)
    {
        m_cmp_name = cmp_name;
        m_device_name = device_name;
        m_keyword = keyword;
    }

    // The root-level asm_assignments blocks of the parse, in document order,
    // each recorded as it starts (see ASM_SEEN_BLOCK).
    std::vector<ASM_SEEN_BLOCK> m_seen_blocks;

    void doctypeDecl(const xercesc::DTDElementDecl&, const XMLCh* const, const XMLCh* const, const bool,
                     const bool) override
    {
        XML_TEXT text("DOCTYPE declarations are not allowed in Assembler options files");
        xercesc::SAXParseException diagnostic(text.get(), *getScanner()->getLocator());
        if (getErrorHandler() != NULL)
            getErrorHandler()->fatalError(diagnostic);
        // The scanner ends the parse on an error code, as after its own first
        // fatal error.
        throw xercesc::XMLErrs::DuplicateDocTypeDecl;
    }

private:
    // Text outside an element never reaches the document, as the base
    // parser drops it.
    void gather_text(const XMLCh* const chars, const XMLSize_t length, bool ignorable)
    {
        if (!fWithinElement)
            return;
        if (!m_has_pending_text)
        {
            m_has_pending_text = true;
            m_pending_ignorable = ignorable;
        }
        m_pending_text.append(chars, length);
    }

    // Keeps a cell element below a parent that holds cells as a record of
    // the parent; false for any other element.
    bool keep_cell_record(const xercesc::XMLElementDecl& elemDecl,
                          const xercesc::RefVectorOf<xercesc::XMLAttr>& attrList, const XMLSize_t attrCount)
    {
        const XMLCh* name = elemDecl.getBaseName();
        bool cell = false;
        for (const XML_TEXT& cell_tag : m_cell_tags)
            cell = cell || XMLString::equals(name, cell_tag.get());
        if (!cell || fCurrentParent == NULL)
            return false;
        if (fCurrentParent != m_cell_parent)
        {
            if (fCurrentParent->getNodeType() != DOMNode::ELEMENT_NODE)
                return false;
            const XMLCh* parent_name = fCurrentParent->getNodeName();
            bool holder = false;
            for (const XML_TEXT& holder_tag : m_cell_holder_tags)
                holder = holder || XMLString::equals(parent_name, holder_tag.get());
            if (!holder)
                return false;
            ASM_CELL_RECORDS* records =
                static_cast<ASM_CELL_RECORDS*>(fCurrentParent->getUserData(cell_records_key()));
            if (records == NULL)
            {
                m_cell_records.emplace_back();
                records = &m_cell_records.back();
                fCurrentParent->setUserData(cell_records_key(), records, cell_records_handler());
            }
            m_cell_parent = fCurrentParent;
            m_cell_parent_records = records;
        }
        m_cell_parent_records->add_record(name);
        for (XMLSize_t index = 0; index < attrCount; ++index)
        {
            const xercesc::XMLAttr* attribute = attrList.elementAt(index);
            m_cell_parent_records->add_attribute(attribute->getQName(), attribute->getValue());
        }
        return true;
    }

    // A root-level asm_assignments block that does not match the three texts
    // (cmp, device and keyword, each its own text or "any" by the schema's
    // default) is not built: it would only be dropped again. The scanner
    // still reads and validates all of it. The values are the attributes'
    // as the element would carry them, defaults included.
    bool block_matches(const xercesc::RefVectorOf<xercesc::XMLAttr>& attrList, const XMLSize_t attrCount) const
    {
        return attribute_matches(attrList, attrCount, m_cmp_attribute, m_cmp_name) &&
               attribute_matches(attrList, attrCount, m_device_attribute, m_device_name) &&
               attribute_matches(attrList, attrCount, m_keyword_attribute, m_keyword);
    }

    static const XMLCh* attribute_value(const xercesc::RefVectorOf<xercesc::XMLAttr>& attrList,
                                        const XMLSize_t attrCount, const XML_TEXT& name)
    {
        for (XMLSize_t index = 0; index < attrCount; ++index)
        {
            const xercesc::XMLAttr* attribute = attrList.elementAt(index);
            if (XMLString::equals(attribute->getQName(), name.get()))
                return attribute->getValue();
        }
        return NULL;
    }

    static bool attribute_matches(const xercesc::RefVectorOf<xercesc::XMLAttr>& attrList, const XMLSize_t attrCount,
                                  const XML_TEXT& name, const std::string& text)
    {
        return block_attribute_matches(to_text(attribute_value(attrList, attrCount, name)), text);
    }

    const XML_TEXT m_block_tag{"asm_assignments"};
    const XML_TEXT m_cmp_attribute{"cmp"};
    const XML_TEXT m_device_attribute{"device"};
    const XML_TEXT m_keyword_attribute{"keyword"};
    const XML_TEXT m_device_check_attribute{"device_check"};
    const XML_TEXT m_cell_tags[4] = {XML_TEXT("address_1d"), XML_TEXT("address_2d"), XML_TEXT("token_1d"),
                                     XML_TEXT("token_2d")};
    const XML_TEXT m_cell_holder_tags[6] = {XML_TEXT("cram"),           XML_TEXT("cff"),
                                            XML_TEXT("expanded_option_register"), XML_TEXT("base_address_1d"),
                                            XML_TEXT("base_address_2d"), XML_TEXT("address_package")};
    bool m_build_cells = true;
    // The cell records of every document the parser built; they live as
    // long as the parser.
    std::deque<ASM_CELL_RECORDS> m_cell_records;
    // The last parent that took a cell in this parse, and its records.
    DOMNode* m_cell_parent = NULL;
    ASM_CELL_RECORDS* m_cell_parent_records = NULL;
    std::string m_cmp_name;
    std::string m_device_name;
    std::string m_keyword;
    // Depth of the element being built (1 inside the root element).
    int m_depth = 0;
    // Depth inside a block that is not built; 0 outside one.
    int m_skip_depth = 0;
    DOMNode* m_holder = NULL;
    xercesc::DOMDocumentImpl* m_target = NULL;
    // The parser's document while it builds into the target.
    xercesc::DOMDocumentImpl* m_own_document = NULL;
    // The text reported since the last event that reached the document,
    // and whether its first piece was ignorable whitespace.
    std::basic_string<XMLCh> m_pending_text;
    bool m_has_pending_text = false;
    bool m_pending_ignorable = false;
};

// Reads an options file through the module's file stream, which opens
// regular files only. A directory, FIFO or device is not opened: the parser
// then reports it as any file that cannot be opened, and nothing blocks on a
// FIFO or reads a device without end.
class ASM_FILE_INPUT_STREAM : public xercesc::BinInputStream
{
public:
    explicit ASM_FILE_INPUT_STREAM(std::unique_ptr<asm_io::kestil_ifstream> stream) : m_stream(std::move(stream)) {}

    XMLFilePos curPos() const override { return m_position; }

    XMLSize_t readBytes(XMLByte* const toFill, const XMLSize_t maxToRead) override
    {
        m_stream->read(reinterpret_cast<char*>(toFill), static_cast<std::streamsize>(maxToRead));
        // A read error is the parser's fault of a file it cannot read, not
        // an early end of the file.
        if (m_stream->bad())
            ThrowXML(xercesc::XMLPlatformUtilsException, xercesc::XMLExcepts::File_CouldNotReadFromFile);
        const XMLSize_t count = static_cast<XMLSize_t>(m_stream->gcount());
        m_position += count;
        return count;
    }

    const XMLCh* getContentType() const override { return NULL; }

private:
    std::unique_ptr<asm_io::kestil_ifstream> m_stream;
    XMLFilePos m_position = 0;
};

class ASM_FILE_INPUT_SOURCE : public xercesc::InputSource
{
public:
    ASM_FILE_INPUT_SOURCE(const XMLCh* system_id, const std::string& path)
        : xercesc::InputSource(system_id), m_path(path)
    {
    }

    // Null for a file that cannot be opened.
    xercesc::BinInputStream* makeStream() const override
    {
        std::unique_ptr<asm_io::kestil_ifstream> stream(new asm_io::kestil_ifstream());
        stream->open(m_path.c_str(), std::ios_base::in | std::ios_base::binary);
        if (!stream->is_open())
            return NULL;
        return new ASM_FILE_INPUT_STREAM(std::move(stream));
    }

private:
    std::string m_path;
};

// The serializer's output, written to a stream.
class ASM_STREAM_FORMAT_TARGET : public xercesc::XMLFormatTarget
{
public:
    explicit ASM_STREAM_FORMAT_TARGET(std::ostream& stream) : m_stream(stream) {}

    void writeChars(const XMLByte* const toWrite, const XMLSize_t count, xercesc::XMLFormatter* const) override
    {
        m_stream.write(reinterpret_cast<const char*>(toWrite), static_cast<std::streamsize>(count));
    }

private:
    std::ostream& m_stream;
};

// Gives the parser the schema file and nothing else. With the parser's own
// resolution turned off, no other DTD, schema or entity is fetched, from the
// network or from a file.
class ASM_XML_ENTITY_RESOLVER : public xercesc::XMLEntityResolver
{
public:
    explicit ASM_XML_ENTITY_RESOLVER(const std::string& schema_path) : m_schema_path(schema_path) {}

    xercesc::InputSource* resolveEntity(xercesc::XMLResourceIdentifier* resource) override
    {
        if (resource == NULL || resource->getResourceIdentifierType() != xercesc::XMLResourceIdentifier::SchemaGrammar ||
            !XMLString::equals(resource->getSystemId(), m_schema_path.get()))
            return NULL;
        return new xercesc::LocalFileInputSource(m_schema_path.get());
    }

private:
    XML_TEXT m_schema_path;
};

// The path itself when absolute, else taken from the directory.
FIO_PATH absolute_path(const FIO_PATH& path, const std::string& directory)
{
    if (path.absolute())
        return path;
    return FIO_PATH(directory + "/" + path.text());
}

// The path with symbolic links, "." and ".." resolved, for telling whether
// two paths name one file. Computed once per file named.
std::string canonical_path(const FIO_PATH& path)
{
    std::error_code ec;
    std::filesystem::path canonical = std::filesystem::weakly_canonical(path.fullpath(), ec);
    return ec ? path.fullpath() : canonical.string();
}

// The same, with the resolved directories kept in the map: a file that is
// not a symbolic link resolves to its resolved directory and its name, so
// the files of one directory resolve that directory once.
std::string canonical_path(const FIO_PATH& path, std::unordered_map<std::string, std::string>& directories)
{
    const std::filesystem::path full(path.fullpath());
    const std::filesystem::path name = full.filename();
    if (name.empty() || name == "." || name == ".." || !full.has_parent_path())
        return canonical_path(path);
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::symlink_status(full, ec);
    if (std::filesystem::is_symlink(status) || (ec && status.type() != std::filesystem::file_type::not_found))
        return canonical_path(path);
    const std::string parent = full.parent_path().string();
    auto found = directories.find(parent);
    if (found == directories.end())
    {
        std::filesystem::path canonical = std::filesystem::weakly_canonical(parent, ec);
        if (ec)
            return canonical_path(path);
        found = directories.emplace(parent, canonical.string()).first;
    }
    return (std::filesystem::path(found->second) / name).string();
}

// Takes a child element of the root out of the document tree and checks the
// tree afterwards: a node without parent is in no child list. The caller
// releases it.
void remove_from_root(DOMElement* root_element, DOMElement* temp_element)
{
    DOMNode* parent_node = temp_element->getParentNode();
    ASM_REQUIRE((parent_node != NULL) && parent_node->isSameNode(root_element));
    parent_node->removeChild(temp_element);
    ASM_REQUIRE(temp_element->getParentNode() == NULL);
}

// Whether the first element has more child nodes than the second; counts no
// further than the shorter list.
bool has_more_children(const DOMElement* first, const DOMElement* second)
{
    const DOMNode* a = first->getFirstChild();
    const DOMNode* b = second->getFirstChild();
    while (a != NULL && b != NULL)
    {
        a = a->getNextSibling();
        b = b->getNextSibling();
    }
    return a != NULL;
}

// The device check of an asm_assignments block: a device_check other than
// "any" must be the debug name of the current device.
void check_device(const std::string& device_check)
{
    if (device_check == "any")
        return;
    DEV_DEVICE* device = DMGR_UTILITY::get_current_device();
    if (device == NULL)
    {
        debug_line("Device check is NOT working !!!");
        return;
    }
    const DEV_BASIC_INFO* basic_info = device->get_basic_info();
    ASM_REQUIRE(basic_info != NULL);
    const char* debug_name = dstr_get_debug_string(basic_info->get_device_enum());
    if (debug_name == NULL || device_check != debug_name)
        fail("device used in the design is not matching with device specify in ASM option file", __LINE__);
}

// Reads one block set of a netlist_spec: its list type (the default when the
// set is absent) and its block_name children.
void read_block_set(DOMElement* netlist_spec, const char* set_name, const char* count_condition, bool& exclusive,
                    std::vector<DOMElement*>& block_names)
{
    std::vector<DOMElement*> sets;
    get_child_elements(sets, netlist_spec, set_name);
    if (sets.size() > 1)
        fail(count_condition, __LINE__);
    if (sets.empty())
        return;
    std::string list_type_name = get_attribute_string("list_type", sets[0]);
    ASM_REQUIRE(list_type_name.size() > 0);
    debug_line(safe_sprintf("list_type -> %s", list_type_name.c_str()));
    if (list_type_name == "inclusive")
        exclusive = false;
    else if (list_type_name == "exclusive")
        exclusive = true;
    else
        fail("Illegal string", __LINE__);
    get_child_elements(block_names, sets[0], "block_name");
}

// The block names of a set, each converted to its block type and handed on.
template <typename ADD>
void add_block_names(const std::vector<DOMElement*>& block_names, ADD add)
{
    for (DOMElement* block_name : block_names)
    {
        DOMNode* temp_text_node = block_name->getFirstChild();
        ASM_REQUIRE(temp_text_node != NULL);
        DOMNode::NodeType temp_node_type = temp_text_node->getNodeType();
        ASM_REQUIRE(temp_node_type == DOMNode::TEXT_NODE);
        const XMLCh* xmlstr_const = static_cast<DOMText*>(temp_text_node)->getData();
        ASM_REQUIRE(xmlstr_const != NULL);
        const std::string name = to_text(xmlstr_const);
        debug_line(safe_sprintf("block_name -> %s", name.c_str()));
        add(asmdb_get_asmdb_arch_group_block_type_by_string(name.c_str()));
    }
}

}  // namespace

XMLSize_t KESTIL_DOM_PARSER::find_node_index(const DOMNodeList& list, const DOMNode* node)
{
    for (XMLSize_t index = list.getLength(); index > 0; --index)
    {
        if (list.item(index - 1) == node)
            return index - 1;
    }
    return static_cast<XMLSize_t>(-1);
}

// The parser of a load with its helpers, which outlive it.
struct ASM_XML_PARSE_STATE
{
    xercesc::SecurityManager security_manager;
    std::unique_ptr<ASM_XML_ENTITY_RESOLVER> entity_resolver;
    std::unique_ptr<ASM_XML_DOM_PARSER> parser;
};

void ASM_XML_PARSE_STATE_DELETER::operator()(ASM_XML_PARSE_STATE* state) const { delete state; }

ASM_OPTIONS::ASM_OPTIONS()
    : m_dom_element(NULL),
      m_dom_document(NULL),
      m_initialized(false),
      m_error_count(0),
      m_xml_platform_initialized(false),
      m_grammar_pool(NULL),
      m_build_cells(true)
{
}

ASM_OPTIONS::~ASM_OPTIONS()
{
    m_parsed_files.clear();
    m_unparsed_files.clear();
    // A failed load may hold a document too; it goes with the object, before
    // the XML platform that it lives in, and before the parser that holds
    // the cell records its elements point to.
    if (m_dom_document != NULL)
        m_dom_document->release();
    m_dom_document = NULL;
    m_dom_element = NULL;
    m_parse_state.reset();
    // The compiled schema goes after the last document made with it.
    delete m_grammar_pool;
    m_grammar_pool = NULL;
    if (m_xml_platform_initialized)
        XMLPlatformUtils::Terminate();
}

void ASM_OPTIONS::initialize(const FIO_PATH& file, const std::string& cmp_name, const std::string& device_name,
                             const std::string& keyword)
{
    const FIO_PATH input = absolute_path(file, FIO_FILE_SYSTEM::get_current_directory());
    m_unparsed_files.push_back(input);
    m_known_files.insert(canonical_path(input));
    m_cmp_name = cmp_name;
    m_device_name = device_name;
    m_keyword = keyword;
    // The debug copy is written from the document, which then holds every
    // element.
    const bool dump_options = cfg_is_on("asm_dump_options");
    m_build_cells = dump_options;

    if (!m_xml_platform_initialized)
    {
        try
        {
            XMLPlatformUtils::Initialize(xercesc::XMLUni::fgXercescDefaultLocale, NULL, NULL, NULL);
        }
        catch (const xercesc::XMLException& exception)
        {
            fail(xml_exception_text(exception), __LINE__);
        }
        m_xml_platform_initialized = true;
    }

    while (!m_unparsed_files.empty())
        parse_file();

    for (const FIO_PATH& parsed : m_parsed_files)
        debug_line("Successfully parsed XML file " + parsed.fullpath());

    if (m_dom_element == NULL)
    {
        debug_line("ASM_OPTIONS failed to initialize... no valid asm_assignments elements found in XML file");
        return;
    }
    if (m_error_count > 0)
    {
        debug_line("ASM_OPTIONS failed to initialize... errors found in XML file");
        return;
    }
    m_initialized = true;

    if (dump_options)
    {
        FIO_PATH debug_path = input;
        debug_path.extension("xml", "");
        debug_path.base(debug_path.base() + "_debug");
        write_dom_to_file(m_dom_document, debug_path.fullpath());
        debug_line("Successfully generated output XML file " + debug_path.fullpath());
    }
}

void ASM_OPTIONS::parse_file()
{
    const size_t unparsed_size = m_unparsed_files.size();
    ASM_REQUIRE(unparsed_size > 0);
    const FIO_PATH file = m_unparsed_files.back();
    m_unparsed_files.pop_back();
    m_parsed_files.push_back(file);

    // The schema is found and checked by the first file of the load; the
    // later files take it compiled from the pool.
    if (m_schema_path.empty())
    {
        const std::string path = gen_get_module_path() + "assembler_asgn.xsd";
        if (!FIO_FILE_SYSTEM::exists(FIO_PATH(path)))
            fail("Can't find Assembler XML schema file " + path, __LINE__);
        m_schema_path = path;
    }
    const std::string& schema_path = m_schema_path;
    const std::string full_path = file.fullpath();
    if (!FIO_FILE_SYSTEM::exists(file))
        fail("Can't find Assembler Options XML file " + full_path, __LINE__);

    // The parser is made by the first file of the load and reused; a
    // document that does not become m_dom_document lives only through this
    // call, whichever way it ends.
    std::unique_ptr<ASM_XML_ERROR_HANDLER> handler;
    ASM_XML_DOM_PARSER* parser = NULL;
    DOMDocument* dom_document = NULL;
    struct DOCUMENT_GUARD
    {
        DOMDocument*& document;
        const ASM_OPTIONS& owner;
        ~DOCUMENT_GUARD()
        {
            if (document != NULL && !(owner.m_dom_document != NULL && document->isSameNode(owner.m_dom_document)))
                document->release();
            document = NULL;
        }
    } document_guard{dom_document, *this};
    // A file read after the collecting element exists is built into the
    // collecting element's document, below this holder, which goes with the
    // rest of the file when the call ends.
    xercesc::DOMDocumentFragment* holder = NULL;
    struct HOLDER_GUARD
    {
        xercesc::DOMDocumentFragment*& holder;
        ASM_XML_DOM_PARSER*& parser;
        ~HOLDER_GUARD()
        {
            // The parser keeps no pointer to this file's handler.
            if (parser != NULL)
            {
                parser->end_target();
                parser->setErrorHandler(NULL);
            }
            if (holder != NULL)
                holder->release();
            holder = NULL;
        }
    } holder_guard{holder, parser};

    try
    {
        if (m_grammar_pool == NULL)
            m_grammar_pool = new xercesc::XMLGrammarPoolImpl(XMLPlatformUtils::fgMemoryManager);
        XML_TEXT schema_location(schema_path);
        if (!m_parse_state)
        {
            std::unique_ptr<ASM_XML_PARSE_STATE, ASM_XML_PARSE_STATE_DELETER> state(new ASM_XML_PARSE_STATE);
            state->security_manager.setEntityExpansionLimit(ENTITY_EXPANSION_LIMIT);
            state->parser.reset(new ASM_XML_DOM_PARSER(NULL, XMLPlatformUtils::fgMemoryManager, m_grammar_pool));
            ASM_XML_DOM_PARSER* made = state->parser.get();
            made->setValidationScheme(xercesc::XercesDOMParser::Val_Auto);
            made->setDoNamespaces(true);
            made->setDoSchema(true);
            made->setExternalNoNamespaceSchemaLocation(schema_location.get());
            made->setValidationSchemaFullChecking(true);
            made->setValidationConstraintFatal(true);
            // The file is user input: schema hints in it are ignored, nothing
            // external is loaded but the schema, entity expansion is bounded.
            made->setLoadSchema(false);
            made->setLoadExternalDTD(false);
            made->setDisableDefaultEntityResolution(true);
            state->entity_resolver.reset(new ASM_XML_ENTITY_RESOLVER(schema_path));
            made->setXMLEntityResolver(state->entity_resolver.get());
            made->setSecurityManager(&state->security_manager);
            made->set_block_filter(m_cmp_name, m_device_name, m_keyword);
            m_parse_state = std::move(state);
        }
        parser = m_parse_state->parser.get();
        parser->set_build_cells(m_build_cells);

        handler.reset(new ASM_XML_ERROR_HANDLER(full_path));
        parser->setErrorHandler(handler.get());

        // The schema is compiled by the first file's parser (its problems,
        // if any, reported as that file's) and taken from the pool by every
        // later one: validation is the same, the schema is read once.
        if (!m_grammar_pool->getGrammarEnumerator().hasMoreElements())
            parser->loadGrammar(xercesc::LocalFileInputSource(schema_location.get()), xercesc::Grammar::SchemaGrammarType,
                                true);
        parser->useCachedGrammarInParse(true);

        if (m_dom_document != NULL)
        {
            holder = m_dom_document->createDocumentFragment();
            parser->set_target(holder);
        }

        parser->start_file();
        XML_TEXT file_name(full_path);
        parser->parse(ASM_FILE_INPUT_SOURCE(file_name.get(), full_path));
        // A parse that stopped at an error leaves the text it read last.
        parser->flush_text();

        parser->end_target();
        dom_document = parser->take_document();
        DOMElement* root_element = NULL;
        if (holder != NULL)
        {
            for (DOMNode* node = holder->getFirstChild(); node != NULL && root_element == NULL;
                 node = node->getNextSibling())
                if (node->getNodeType() == DOMNode::ELEMENT_NODE)
                    root_element = static_cast<DOMElement*>(node);
        }
        else if (dom_document != NULL)
        {
            root_element = dom_document->getDocumentElement();
        }
        // A file that could not be read, or read to no root element, has
        // already been reported and only counts as failed.
        const bool unreadable = root_element == NULL && handler->m_error_count > 0;
        if (!unreadable)
        {
            ASM_REQUIRE(dom_document != NULL);
            ASM_REQUIRE(root_element != NULL);
            check_dom_attributes(holder != NULL ? static_cast<DOMNode*>(holder) : dom_document);
            std::vector<ASM_SEEN_BLOCK> seen_blocks;
            seen_blocks.swap(parser->m_seen_blocks);
            select_blocks(root_element, holder != NULL ? m_dom_document : dom_document, holder != NULL, &seen_blocks);
            process_includes(root_element);
        }
    }
    catch (const MSG_INTERNAL_ERROR_EXCEPTION&)
    {
        throw;
    }
    catch (const xercesc::SAXParseException& exception)
    {
        fail("XML Parser error: File \"" + to_text(exception.getSystemId()) + "\" Line " +
                 std::to_string(exception.getLineNumber()) + " : " + to_text(exception.getMessage()),
             __LINE__);
    }
    catch (const xercesc::XMLException& exception)
    {
        fail(xml_exception_text(exception), __LINE__);
    }
    catch (const xercesc::DOMException& exception)
    {
        fail("Assembler XML processing error: (Filename = " + full_path +
                 " Exception code = " + std::to_string(static_cast<int16_t>(exception.code)) + ") " +
                 to_text(exception.getMessage()),
             __LINE__);
    }
    catch (...)
    {
        fail("Unknown error encountered processing Assembler XML file " + full_path, __LINE__);
    }

    m_error_count += handler->m_error_count;
}

void check_dom_attributes(DOMNode* dom_node)
{
    ASM_REQUIRE(dom_node != NULL);
    // Every descendant in document order.
    DOMNode* temp_node = dom_node->getFirstChild();
    while (temp_node != NULL)
    {
        if (temp_node->hasAttributes())
        {
            DOMNamedNodeMap* named_map = temp_node->getAttributes();
            ASM_REQUIRE(named_map != NULL);
            for (XMLSize_t attribute = 0; attribute < named_map->getLength(); ++attribute)
            {
                DOMNode* temp_attrib = named_map->item(attribute);
                ASM_REQUIRE(temp_attrib != NULL);
                DOMNode::NodeType temp_node_type = temp_attrib->getNodeType();
                ASM_REQUIRE(temp_node_type == DOMNode::ATTRIBUTE_NODE);
                DOMAttr* attr = static_cast<DOMAttr*>(temp_attrib);
                if (!attr->getSpecified())
                {
                    // Setting the value to itself makes the attribute
                    // specified. The parser's attributes are marked so
                    // directly, which leaves the value as it is and spares
                    // rebuilding its text node.
                    if (xercesc::DOMAttrImpl* attr_impl = dynamic_cast<xercesc::DOMAttrImpl*>(attr))
                    {
                        attr_impl->setSpecified(true);
                    }
                    else
                    {
                        // The value is copied first: setting it frees the
                        // storage that getValue points into.
                        const std::basic_string<XMLCh> value(attr->getValue());
                        attr->setValue(value.c_str());
                    }
                }
            }
        }
        temp_node = next_in_document_order(temp_node, dom_node);
    }
}

void ASM_OPTIONS::select_asm_assignments(DOMDocument* dom_document)
{
    ASM_REQUIRE(dom_document != NULL);
    DOMElement* root_element = dom_document->getDocumentElement();
    ASM_REQUIRE(root_element != NULL);
    select_blocks(root_element, dom_document, false);
}

void ASM_OPTIONS::select_blocks(DOMElement* root_element, DOMDocument* dom_document, bool built_into_collecting,
                                const std::vector<ASM_SEEN_BLOCK>* seen_blocks)
{
    std::vector<DOMElement*> elements;
    get_child_elements(elements, root_element, "asm_assignments");
    // The blocks that the parser recorded, in document order: one that it
    // did not build only has its device checked, in its place. A block in
    // the tree that it did not record is judged after them.
    size_t next = 0;
    if (seen_blocks != NULL)
    {
        for (const ASM_SEEN_BLOCK& seen : *seen_blocks)
        {
            if (seen.element == NULL)
            {
                check_device(seen.device_check);
                continue;
            }
            ASM_REQUIRE(next < elements.size() && elements[next] == seen.element);
            select_block(root_element, dom_document, built_into_collecting, elements[next++]);
        }
    }
    for (; next < elements.size(); ++next)
        select_block(root_element, dom_document, built_into_collecting, elements[next]);
}

void ASM_OPTIONS::select_block(DOMElement* root_element, DOMDocument* dom_document, bool built_into_collecting,
                               DOMElement* temp_element)
{
    ASM_REQUIRE(temp_element != NULL);
    const std::string cmp = get_attribute_string("cmp", temp_element);
    const std::string device = get_attribute_string("device", temp_element);
    const std::string keyword = get_attribute_string("keyword", temp_element);
    const std::string device_check = get_attribute_string("device_check", temp_element);
    const bool matches = block_attribute_matches(cmp, m_cmp_name) && block_attribute_matches(device, m_device_name) &&
                         block_attribute_matches(keyword, m_keyword);

    check_device(device_check);

    if (!matches)
    {
        remove_from_root(root_element, temp_element);
        temp_element->release();
        return;
    }

    if (m_dom_element == NULL)
    {
        m_dom_element = temp_element;
        m_dom_document = dom_document;
        m_dom_element->setAttribute(XML_TEXT("cmp").get(), XML_TEXT(m_cmp_name).get());
        m_dom_element->setAttribute(XML_TEXT("device").get(), XML_TEXT(m_device_name).get());
        m_dom_element->setAttribute(XML_TEXT("keyword").get(), XML_TEXT(m_keyword).get());
        return;
    }

    // A later match is merged: its children move to the end of the
    // collecting element, in their order, and the emptied block goes.
    if (built_into_collecting)
    {
        // A later file's block, built into the collecting element's
        // document: its children move over as they are.
        remove_from_root(root_element, temp_element);
    }
    else if (!dom_document->isSameNode(m_dom_document))
    {
        DOMNode* node = m_dom_document->importNode(temp_element, true);
        ASM_REQUIRE(node != NULL);
        DOMNode::NodeType temp_node_type = node->getNodeType();
        ASM_REQUIRE(temp_node_type == DOMNode::ELEMENT_NODE);
        DOMElement* delete_node = temp_element;
        temp_element = static_cast<DOMElement*>(node);
        remove_from_root(root_element, delete_node);
        delete_node->release();
    }
    else if (has_more_children(temp_element, m_dom_element))
    {
        // The same merge, with the shorter child list moved: the
        // collecting element's children go to the front of the later
        // block, which takes the collecting element's attributes and
        // place and becomes the collecting element. A large block after
        // a small one is then merged at the cost of the small one.
        take_collecting_role(root_element, temp_element);
        return;
    }
    else
    {
        remove_from_root(root_element, temp_element);
    }

    while (DOMNode* temp_node = temp_element->getFirstChild())
    {
        DOMNode* parent_node = temp_node->getParentNode();
        ASM_REQUIRE((parent_node != NULL) && parent_node->isSameNode(temp_element));
        parent_node->removeChild(temp_node);
        ASM_REQUIRE(temp_node->getParentNode() == NULL);
        m_dom_element->appendChild(temp_node);
        parent_node = temp_node->getParentNode();
        ASM_REQUIRE((parent_node != NULL) && parent_node->isSameNode(this->m_dom_element));
    }
    ASM_REQUIRE(temp_element->getParentNode() == NULL);
    temp_element->release();
}

void ASM_OPTIONS::take_collecting_role(DOMElement* root_element, DOMElement* temp_element)
{
    // The attributes become the collecting element's, exactly.
    DOMNamedNodeMap* named_map = temp_element->getAttributes();
    ASM_REQUIRE(named_map != NULL);
    std::vector<std::basic_string<XMLCh>> dropped;
    for (XMLSize_t attribute = 0; attribute < named_map->getLength(); ++attribute)
    {
        DOMNode* temp_attrib = named_map->item(attribute);
        ASM_REQUIRE(temp_attrib != NULL);
        if (!m_dom_element->hasAttribute(temp_attrib->getNodeName()))
            dropped.emplace_back(temp_attrib->getNodeName());
    }
    for (const std::basic_string<XMLCh>& name : dropped)
        temp_element->removeAttribute(name.c_str());
    named_map = m_dom_element->getAttributes();
    ASM_REQUIRE(named_map != NULL);
    for (XMLSize_t attribute = 0; attribute < named_map->getLength(); ++attribute)
    {
        DOMNode* temp_attrib = named_map->item(attribute);
        ASM_REQUIRE(temp_attrib != NULL);
        temp_element->setAttribute(temp_attrib->getNodeName(), temp_attrib->getNodeValue());
    }

    // The collecting element's children, in order, before the block's own.
    DOMNode* first_child = temp_element->getFirstChild();
    while (DOMNode* temp_node = m_dom_element->getFirstChild())
    {
        DOMNode* parent_node = temp_node->getParentNode();
        ASM_REQUIRE((parent_node != NULL) && parent_node->isSameNode(this->m_dom_element));
        parent_node->removeChild(temp_node);
        ASM_REQUIRE(temp_node->getParentNode() == NULL);
        temp_element->insertBefore(temp_node, first_child);
        parent_node = temp_node->getParentNode();
        ASM_REQUIRE((parent_node != NULL) && parent_node->isSameNode(temp_element));
    }

    // The block takes the collecting element's place; the emptied former
    // collecting element goes.
    root_element->insertBefore(temp_element, m_dom_element);
    DOMNode* parent_node = temp_element->getParentNode();
    ASM_REQUIRE((parent_node != NULL) && parent_node->isSameNode(root_element));
    DOMElement* delete_node = m_dom_element;
    m_dom_element = temp_element;
    remove_from_root(root_element, delete_node);
    delete_node->release();
}

void ASM_OPTIONS::process_include_elements(DOMDocument* dom_document)
{
    ASM_REQUIRE(dom_document != NULL);
    DOMElement* root_element = dom_document->getDocumentElement();
    ASM_REQUIRE(root_element != NULL);
    process_includes(root_element);
}

void ASM_OPTIONS::process_includes(DOMElement* root_element)
{
    // Relative include paths are taken from the current directory (the
    // project directory in a run), whichever file names them.
    const std::string current_directory = FIO_FILE_SYSTEM::get_current_directory();

    std::vector<DOMElement*> elements;
    get_child_elements(elements, root_element, "include");
    for (DOMElement* temp_element : elements)
    {
        ASM_REQUIRE(temp_element != NULL);
        const std::string path = get_attribute_string("path", temp_element);
        if (path.empty())
            fail("illegal filename found in INCLUDE statement in ASM Options file", __LINE__);
        const FIO_PATH include(absolute_path(FIO_PATH(path), current_directory).fullpath());

        // A file already read or already waiting is not queued again.
        if (m_known_files.insert(canonical_path(include, m_canonical_directories)).second)
            m_unparsed_files.push_back(include);

        remove_from_root(root_element, temp_element);
        temp_element->release();
    }
}

void ASM_OPTIONS::write_dom_to_file(DOMNode* node, const std::string& path)
{
    ASM_REQUIRE(node != NULL);
    try
    {
        // The copy replaces the file whole or not at all: a write that fails
        // (a full disk) is the failure of a file that cannot be opened, and
        // an earlier copy stays as it was.
        XML_TEXT file_name(path);
        const xercesc::XMLPlatformUtilsException cannot_open(__FILE__, __LINE__,
                                                             xercesc::XMLExcepts::File_CouldNotOpenFile,
                                                             file_name.get(), NULL, NULL, NULL,
                                                             XMLPlatformUtils::fgMemoryManager);
        asm_io::kestil_atomic_ofstream stream(path.c_str(), std::ios_base::out | std::ios_base::binary);
        if (!stream.good())
            throw cannot_open;
        ASM_STREAM_FORMAT_TARGET target(stream);

        XML_TEXT feature("LS");
        xercesc::DOMImplementation* impl = xercesc::DOMImplementationRegistry::getDOMImplementation(feature.get());
        ASM_REQUIRE(impl != NULL);
        xercesc::DOMLSSerializer* writer = impl->createLSSerializer();
        ASM_REQUIRE(writer != NULL);
        RELEASE_GUARD<xercesc::DOMLSSerializer> writer_guard{writer};

        xercesc::DOMConfiguration* config = writer->getDomConfig();
        if (config->canSetParameter(xercesc::XMLUni::fgDOMWRTDiscardDefaultContent, false))
            config->setParameter(xercesc::XMLUni::fgDOMWRTDiscardDefaultContent, false);
        if (config->canSetParameter(xercesc::XMLUni::fgDOMWRTValidation, true))
            config->setParameter(xercesc::XMLUni::fgDOMWRTValidation, true);
        if (config->canSetParameter(xercesc::XMLUni::fgDOMWRTFormatPrettyPrint, true))
            config->setParameter(xercesc::XMLUni::fgDOMWRTFormatPrettyPrint, true);

        xercesc::DOMLSOutput* dom_ls_output = impl->createLSOutput();
        ASM_REQUIRE(dom_ls_output);
        RELEASE_GUARD<xercesc::DOMLSOutput> output_guard{dom_ls_output};
        dom_ls_output->setByteStream(&target);
        ASM_REQUIRE(writer->write(node, dom_ls_output));
        if (!stream.commit())
            throw cannot_open;
    }
    catch (const xercesc::XMLException& exception)
    {
        fail(xml_exception_text(exception), __LINE__);
    }
}

void ASM_CELL_RECORDS::add_record(const XMLCh* name)
{
    ASM_REQUIRE(m_attributes.size() < UINT32_MAX);
    // Records of one name, the common case, share its text.
    if (!m_records.empty())
    {
        const TEXT& last = m_records.back().name;
        const size_t size = XMLString::stringLen(name);
        bool same = size == last.size;
        for (size_t i = 0; same && i < size; ++i)
            same = name[i] < 0x80 && static_cast<char>(name[i]) == m_text[last.offset + i];
        if (same)
        {
            m_records.push_back(RECORD{last, static_cast<uint32_t>(m_attributes.size()), 0});
            return;
        }
    }
    m_records.push_back(RECORD{add_text(name), static_cast<uint32_t>(m_attributes.size()), 0});
}

void ASM_CELL_RECORDS::add_attribute(const XMLCh* name, const XMLCh* value)
{
    ASM_REQUIRE(!m_records.empty());
    ASM_REQUIRE(m_attributes.size() < UINT32_MAX);
    const TEXT name_text = add_text(name);
    m_attributes.push_back(ATTRIBUTE{name_text, add_text(value)});
    ++m_records.back().attribute_count;
}

std::string ASM_CELL_RECORDS::name(size_t record) const
{
    ASM_REQUIRE(record < m_records.size());
    const TEXT& text = m_records[record].name;
    return m_text.substr(text.offset, text.size);
}

std::string ASM_CELL_RECORDS::attribute(size_t record, const char* name) const
{
    ASM_REQUIRE(record < m_records.size() && name != NULL);
    const RECORD& entry = m_records[record];
    for (size_t index = entry.first_attribute; index < entry.first_attribute + entry.attribute_count; ++index)
    {
        const ATTRIBUTE& attribute = m_attributes[index];
        if (text_equals(attribute.name, name))
            return m_text.substr(attribute.value.offset, attribute.value.size);
    }
    return std::string();
}

ASM_CELL_RECORDS::TEXT ASM_CELL_RECORDS::add_text(const XMLCh* text)
{
    const size_t offset = m_text.size();
    // ASCII text as it stands, other text through the transcoder.
    size_t size = 0;
    bool ascii = true;
    for (; text != NULL && text[size] != 0; ++size)
        ascii = ascii && text[size] < 0x80;
    if (ascii)
    {
        m_text.resize(offset + size);
        char* out = &m_text[offset];
        for (size_t i = 0; i < size; ++i)
            out[i] = static_cast<char>(text[i]);
    }
    else
    {
        m_text += to_text(text);
    }
    // 32-bit offsets: the cells of one parent element would take a file of
    // several GiB to pass them, which is refused rather than misread.
    ASM_REQUIRE(m_text.size() <= UINT32_MAX);
    return TEXT{static_cast<uint32_t>(offset), static_cast<uint32_t>(m_text.size() - offset)};
}

bool ASM_CELL_RECORDS::text_equals(const TEXT& text, const char* other) const
{
    return m_text.compare(text.offset, text.size, other) == 0;
}

const ASM_CELL_RECORDS* asm_cell_records(const DOMElement* element)
{
    ASM_REQUIRE(element != NULL);
    return static_cast<const ASM_CELL_RECORDS*>(element->getUserData(cell_records_key()));
}

std::string get_attribute_string(const char* attr_name, const DOMElement* element)
{
    ASM_REQUIRE((attr_name != NULL) && (element != NULL));
    XML_TEXT name(attr_name);
    const XMLCh* xmlstr_const = element->getAttribute(name.get());
    ASM_REQUIRE(xmlstr_const != NULL);
    return to_text(xmlstr_const);
}

void get_child_elements(std::vector<DOMElement*>& list, const DOMElement* element, const char* tag_name)
{
    ASM_REQUIRE(element != NULL);
    ASM_REQUIRE(tag_name != NULL);
    XML_TEXT tag(tag_name);
    for (DOMNode* temp_node = element->getFirstChild(); temp_node != NULL; temp_node = temp_node->getNextSibling())
    {
        if (!XMLString::equals(temp_node->getNodeName(), tag.get()))
            continue;
        DOMNode::NodeType temp_node_type = temp_node->getNodeType();
        ASM_REQUIRE(temp_node_type == DOMNode::ELEMENT_NODE);
        list.push_back(static_cast<DOMElement*>(temp_node));
    }
}

void get_descendant_elements(std::vector<DOMElement*>& list, const DOMElement* element, const char* tag_name)
{
    ASM_REQUIRE((tag_name != NULL) && (element != NULL));
    XML_TEXT tag(tag_name);
    for (DOMNode* temp_node = element->getFirstChild(); temp_node != NULL;
         temp_node = next_in_document_order(temp_node, element))
    {
        if (temp_node->getNodeType() == DOMNode::ELEMENT_NODE && XMLString::equals(temp_node->getNodeName(), tag.get()))
            list.push_back(static_cast<DOMElement*>(temp_node));
    }
}

ASMCC_NETLIST_FAQ* ASM_OPTIONS::create_netlist_faq()
{
    ASM_REQUIRE(m_initialized);
    std::vector<DOMElement*> result;
    get_descendant_elements(result, m_dom_element, "netlist_spec");
    const size_t num_netlist_specs = result.size();
    ASM_REQUIRE(num_netlist_specs <= 1);
    if (num_netlist_specs == 0)
        return NULL;

    DOMNode* temp_node = result[0];
    ASM_REQUIRE(temp_node != NULL);
    DOMNode::NodeType temp_node_type = temp_node->getNodeType();
    ASM_REQUIRE(temp_node_type == DOMNode::ELEMENT_NODE);
    DOMElement* netlist_spec = static_cast<DOMElement*>(temp_node);

    const std::string source_netlist_name = get_attribute_string("source_netlist", netlist_spec);
    ASM_REQUIRE(source_netlist_name.size() > 0);
    debug_line(safe_sprintf("source_netlist -> %s", source_netlist_name.c_str()));
    ASMCC_SOURCE_NETLIST_TYPE source_netlist = ASMCC_SOURCE_NETLIST_TYPE_FULL_PLACE_AND_ROUTE;
    if (source_netlist_name == "post_map")
        source_netlist = ASMCC_SOURCE_NETLIST_TYPE_POST_MAP;
    else if (source_netlist_name == "early_timing_estimate")
        source_netlist = ASMCC_SOURCE_NETLIST_TYPE_EARLY_TIMING_ESTIMATE;
    else if (source_netlist_name == "full_place_and_route")
        source_netlist = ASMCC_SOURCE_NETLIST_TYPE_FULL_PLACE_AND_ROUTE;
    else
        fail("Illegal string", __LINE__);

    const std::string prewired_periphery_name = get_attribute_string("prewired_periphery", netlist_spec);
    ASM_REQUIRE(prewired_periphery_name.size() > 0);
    debug_line(safe_sprintf("prewired_periphery -> %s", prewired_periphery_name.c_str()));
    bool prewired_periphery = false;
    if (prewired_periphery_name == "on")
        prewired_periphery = true;
    else if (prewired_periphery_name == "off")
        prewired_periphery = false;
    else
        fail("Illegal string", __LINE__);

    bool block_processing_exclusive = true;
    bool bcm_transform_exclusive = true;
    bool bcm_parameters_exclusive = false;
    std::vector<DOMElement*> block_processing_names;
    std::vector<DOMElement*> bcm_transform_names;
    std::vector<DOMElement*> bcm_parameters_names;
    read_block_set(netlist_spec, "assembler_block_processing_set", "num_assembler_block_processing_sets <= 1",
                   block_processing_exclusive, block_processing_names);
    read_block_set(netlist_spec, "bcm_transform_set", "num_bcm_transform_sets <= 1", bcm_transform_exclusive,
                   bcm_transform_names);
    read_block_set(netlist_spec, "bcm_parameters_mapped_to_bits_set", "num_bcm_parameters_mapped_to_bits_sets <= 1",
                   bcm_parameters_exclusive, bcm_parameters_names);

    std::unique_ptr<ASMCC_NETLIST_FAQ> faq(new ASMCC_NETLIST_FAQ(
        source_netlist, prewired_periphery, block_processing_exclusive, bcm_transform_exclusive, bcm_parameters_exclusive));
    add_block_names(block_processing_names,
                    [&](ASMDB_ARCH_GROUP_BLOCK_TYPE type) { faq->add_block_to_block_processing_set(type); });
    add_block_names(bcm_transform_names,
                    [&](ASMDB_ARCH_GROUP_BLOCK_TYPE type) { faq->add_block_to_bcm_transform_set(type); });
    add_block_names(bcm_parameters_names,
                    [&](ASMDB_ARCH_GROUP_BLOCK_TYPE type) { faq->add_block_to_bcm_parameters_mapped_to_bits_set(type); });
    return faq.release();
}
