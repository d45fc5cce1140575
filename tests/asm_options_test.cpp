// The assembler options file: loading with includes, schema validation, block
// selection and merge, the debug copy, the parser's safety on hostile input,
// and the netlist selection.
#include "asm_options.h"
#include "cpu_growth.h"
#include "file_size_limit.h"

#include <asm_model.h>
#include <asmdb.h>
#include <cfg.h>
#include <dev.h>
#include <dmgr.h>
#include <dstr.h>
#include <fio.h>
#include <gen.h>
#include <msg.h>

#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/MemoryManager.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/util/RuntimeException.hpp>
#include <xercesc/util/XMLUni.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLString.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <netinet/in.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{

const std::string DATA_DIR = std::string(ASM_TEST_SOURCE_DIR) + "/tests/data/options";

// The condition of the internal error that the call raises; "(none)" when it
// raises none.
std::string internal_error_of(const std::function<void()>& call)
{
    try
    {
        call();
    }
    catch (const MSG_INTERNAL_ERROR_EXCEPTION& error)
    {
        EXPECT_EQ(error.component(), "ASM");
        EXPECT_EQ(error.file(), "comp/asm/asm_options");
        return error.condition();
    }
    return "(none)";
}

std::vector<std::string> debug_texts()
{
    std::vector<std::string> texts;
    for (const MSG_DEBUG_LINE& line : msg_debug_lines())
    {
        EXPECT_EQ(line.component, "ASM");
        texts.push_back(line.text);
    }
    return texts;
}

bool has_debug_line(const std::string& text)
{
    for (const std::string& line : debug_texts())
    {
        if (line == text)
            return true;
    }
    return false;
}

// The texts of the posted options-file errors.
std::vector<std::string> file_errors()
{
    std::vector<std::string> texts;
    for (const MSG_RECORD& record : MSG_REPORT::active().messages())
    {
        EXPECT_EQ(record.id, 115013u);
        EXPECT_EQ(record.id_name, "EASM_ASM_ASSIGNMENTS_FILE_ERROR");
        EXPECT_EQ(record.kind, MSG_POST_TYPE_ERROR);
        texts.push_back(record.text);
    }
    return texts;
}

std::string text_of(const XMLCh* text)
{
    char* bytes = xercesc::XMLString::transcode(text);
    std::string result = bytes;
    xercesc::XMLString::release(&bytes);
    return result;
}

// The filename attributes of the token_file children of an element, in
// order: the markers by which the tests follow the merge.
std::vector<std::string> token_files(const xercesc::DOMElement* element)
{
    std::vector<xercesc::DOMElement*> children;
    get_child_elements(children, element, "token_file");
    std::vector<std::string> names;
    for (const xercesc::DOMElement* child : children)
    {
        // Merged children belong to the collecting element's document.
        EXPECT_EQ(child->getOwnerDocument(), element->getOwnerDocument());
        names.push_back(get_attribute_string("filename", child));
    }
    return names;
}

std::vector<std::string> full_paths(const std::vector<FIO_PATH>& paths)
{
    std::vector<std::string> texts;
    for (const FIO_PATH& path : paths)
        texts.push_back(path.fullpath());
    return texts;
}

std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class OptionsFile : public testing::Test
{
protected:
    void SetUp() override
    {
        msg_reset();
        cfg_clear();
        gen_set_module_path("");
        asmdb_clear_arch_group_block_types();
        dstr_clear();
        DMGR_UTILITY::set_current_device(nullptr);
        std::string pattern = (fs::temp_directory_path() / "asm_options_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
        // Relative include paths are taken from the current directory, as
        // in a run, where it is the project directory.
        fs::current_path(m_dir);
    }

    void TearDown() override
    {
        std::error_code ec;
        fs::current_path(m_start_directory, ec);
        fs::remove_all(m_dir, ec);
    }

    // Writes a file below the test's directory and gives its path.
    std::string write(const std::string& name, const std::string& text)
    {
        fs::path path = fs::path(m_dir) / name;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }

    // An options file of the given body below the root element.
    std::string write_options(const std::string& name, const std::string& body)
    {
        return write(name, "<?xml version=\"1.0\"?>\n<assembler_options>\n" + body + "</assembler_options>\n");
    }

    // Copies the sample files into the test's directory.
    std::string copy_samples()
    {
        fs::copy(DATA_DIR, fs::path(m_dir) / "samples", fs::copy_options::recursive);
        return m_dir + "/samples";
    }

    std::string m_dir;
    fs::path m_start_directory = fs::current_path();
};

// ---------------------------------------------------------------------------
// Includes, selection and merge

TEST_F(OptionsFile, MainSampleKeepsMatchingBlocksOfEveryIncludedFileInMergeOrder)
{
    fs::current_path(DATA_DIR);
    ASM_OPTIONS options;
    options.initialize(FIO_PATH(DATA_DIR + "/main.xml"), "top", "DEVA", "release");
    ASSERT_TRUE(options.m_initialized);
    EXPECT_EQ(options.m_error_count, 0);
    EXPECT_TRUE(file_errors().empty());

    // Depth first, the last include of a file first; the include that leads
    // back to the top file is not followed.
    EXPECT_EQ(full_paths(options.m_parsed_files),
              (std::vector<std::string>{DATA_DIR + "/main.xml", DATA_DIR + "/inc/common.xml",
                                        DATA_DIR + "/inc/sibling.xml", DATA_DIR + "/inc/nested/deep.xml"}));
    EXPECT_TRUE(options.m_unparsed_files.empty());

    // Blocks that miss on cmp, device or keyword are gone; the matching ones
    // are merged in file order, then block order.
    EXPECT_EQ(token_files(options.m_dom_element),
              (std::vector<std::string>{"first.tok", "second.tok", "included.tok", "sibling.tok", "deep.tok"}));
    std::vector<xercesc::DOMElement*> packages;
    get_child_elements(packages, options.m_dom_element, "address_package");
    ASSERT_EQ(packages.size(), 1u);
    EXPECT_EQ(get_attribute_string("name", packages[0]), "second_package");

    // The collecting element is the first match, in the top file's document,
    // which keeps nothing else: no include, no other block.
    ASSERT_NE(options.m_dom_document, nullptr);
    EXPECT_TRUE(options.m_dom_element->getOwnerDocument()->isSameNode(options.m_dom_document));
    xercesc::DOMElement* root = options.m_dom_document->getDocumentElement();
    std::vector<xercesc::DOMElement*> blocks;
    get_child_elements(blocks, root, "asm_assignments");
    get_child_elements(blocks, root, "include");
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0], options.m_dom_element);
    EXPECT_EQ(get_attribute_string("cmp", options.m_dom_element), "top");
    EXPECT_EQ(get_attribute_string("device", options.m_dom_element), "DEVA");
    EXPECT_EQ(get_attribute_string("keyword", options.m_dom_element), "release");

    std::vector<std::string> lines = debug_texts();
    std::vector<std::string> parsed_lines;
    for (const std::string& line : lines)
    {
        if (line.rfind("Successfully parsed XML file ", 0) == 0)
            parsed_lines.push_back(line.substr(29));
    }
    EXPECT_EQ(parsed_lines, full_paths(options.m_parsed_files));
}

TEST_F(OptionsFile, EachOfCmpDeviceAndKeywordDecidesAlone)
{
    const std::string file = write_options(
        "opts.xml",
        "<asm_assignments cmp='c1'><token_file filename='cmp'/></asm_assignments>\n"
        "<asm_assignments device='d1'><token_file filename='device'/></asm_assignments>\n"
        "<asm_assignments keyword='k1'><token_file filename='keyword'/></asm_assignments>\n"
        "<asm_assignments cmp='c1' device='d1' keyword='k1'><token_file filename='all'/></asm_assignments>\n"
        "<asm_assignments><token_file filename='any'/></asm_assignments>\n");
    struct CASE
    {
        const char* cmp;
        const char* device;
        const char* keyword;
        std::vector<std::string> kept;
    };
    const CASE cases[] = {
        {"c1", "d1", "k1", {"cmp", "device", "keyword", "all", "any"}},
        {"c2", "d1", "k1", {"device", "keyword", "any"}},
        {"c1", "d2", "k1", {"cmp", "keyword", "any"}},
        {"c1", "d1", "k2", {"cmp", "device", "any"}},
        {"C1", "D1", "K1", {"any"}},
    };
    for (const CASE& c : cases)
    {
        ASM_OPTIONS options;
        options.initialize(FIO_PATH(file), c.cmp, c.device, c.keyword);
        ASSERT_TRUE(options.m_initialized) << c.cmp << c.device << c.keyword;
        EXPECT_EQ(token_files(options.m_dom_element), c.kept) << c.cmp << " " << c.device << " " << c.keyword;
    }
}

TEST_F(OptionsFile, NoMatchingBlockLeavesTheObjectUninitialised)
{
    const std::string file = write_options("opts.xml", "<asm_assignments cmp='other'/>\n");
    ASM_OPTIONS options;
    options.initialize(FIO_PATH(file), "top", "DEVA", "");
    EXPECT_FALSE(options.m_initialized);
    EXPECT_EQ(options.m_dom_element, nullptr);
    EXPECT_TRUE(file_errors().empty());
    EXPECT_TRUE(has_debug_line(
        "ASM_OPTIONS failed to initialize... no valid asm_assignments elements found in XML file"));
}

TEST_F(OptionsFile, ALaterBlockWithMoreChildrenMergesIntoTheFirstBlocksPlaceAndAttributes)
{
    // However the merge moves the children, the first block's place and
    // attributes hold every match's children in order. (Without a current
    // device, a device check other than "any" only logs.)
    const std::string file = write_options(
        "opts.xml",
        "<asm_assignments cmp='any' device_check='any'><token_file filename='a'/></asm_assignments>\n"
        "<asm_assignments cmp='other'><token_file filename='dropped'/></asm_assignments>\n"
        "<asm_assignments keyword='any' device_check='ZX15F256'><token_file filename='b1'/><token_file filename='b2'/>"
        "<address_package name='p' bit_type='cram'/><token_file filename='b3'/></asm_assignments>\n"
        "<asm_assignments><token_file filename='c'/></asm_assignments>\n"
        "<asm_assignments device_check='ZX15F256'><token_file filename='d1'/><token_file filename='d2'/><token_file filename='d3'/>"
        "<token_file filename='d4'/><token_file filename='d5'/><token_file filename='d6'/></asm_assignments>\n");
    ASM_OPTIONS options;
    options.initialize(FIO_PATH(file), "top", "DEVA", "nightly");
    ASSERT_TRUE(options.m_initialized);
    EXPECT_EQ(token_files(options.m_dom_element),
              (std::vector<std::string>{"a", "b1", "b2", "b3", "c", "d1", "d2", "d3", "d4", "d5", "d6"}));
    std::vector<xercesc::DOMElement*> packages;
    get_child_elements(packages, options.m_dom_element, "address_package");
    ASSERT_EQ(packages.size(), 1u);
    xercesc::DOMElement* root = options.m_dom_document->getDocumentElement();
    EXPECT_EQ(root->getFirstElementChild(), options.m_dom_element);
    EXPECT_EQ(root->getChildElementCount(), 1u);
    xercesc::DOMNamedNodeMap* attributes = options.m_dom_element->getAttributes();
    ASSERT_EQ(attributes->getLength(), 4u);
    EXPECT_EQ(get_attribute_string("cmp", options.m_dom_element), "top");
    EXPECT_EQ(get_attribute_string("device", options.m_dom_element), "DEVA");
    EXPECT_EQ(get_attribute_string("keyword", options.m_dom_element), "nightly");
    EXPECT_EQ(get_attribute_string("device_check", options.m_dom_element), "any");
}

TEST_F(OptionsFile, ManyIndentedSectionsLoadInLinearTimeWithTheirTextsJoined)
{
    // Files of many cram sections, each a bit between a line break and a long
    // indentation: the load's CPU time grows with the file, not with its
    // square (the text of each section once grew piece by piece, and each
    // outgrown piece was looked for among all the document's large texts).
    // The cell is kept as a record, and the text around it is one text node
    // of its section, as it stands in the file.
    const size_t n = 6000;
    const std::string indentation(140, ' ');
    for (size_t size : growth_sizes(n))
    {
        std::string body = "<asm_assignments><bit_settings action=\"override\">\n";
        for (size_t i = 0; i < size; ++i)
            body += "<cram>\n<address_1d addr=\"" + std::to_string(i) + "\" value=\"1\"/>" + indentation +
                    "\n</cram>\n";
        body += "</bit_settings></asm_assignments>\n";
        write_options("opts" + std::to_string(size) + ".xml", body);
    }
    const std::string section_text = "\n" + indentation + "\n";
    EXPECT_TRUE(grows_linearly(n, [&](size_t size) {
        ASM_OPTIONS options;
        options.initialize(FIO_PATH(m_dir + "/opts" + std::to_string(size) + ".xml"), "top", "DEVA", "");
        ASSERT_TRUE(options.m_initialized);
        std::vector<xercesc::DOMElement*> sections;
        get_child_elements(sections, options.m_dom_element->getFirstElementChild(), "cram");
        ASSERT_EQ(sections.size(), size);
        size_t joined = 0;
        for (const xercesc::DOMElement* section : sections)
        {
            const xercesc::DOMNode* text = section->getFirstChild();
            joined += text != nullptr && text->getNextSibling() == nullptr &&
                      text->getNodeType() == xercesc::DOMNode::TEXT_NODE &&
                      text_of(text->getNodeValue()) == section_text;
        }
        EXPECT_EQ(joined, size);
    }));
}

TEST_F(OptionsFile, EmptyTextsOfTheSofToolMatchAnyOrEmptyAttributes)
{
    // The SRAM-object-file tool passes an empty compile name and keyword.
    const std::string file = write_options(
        "opts.xml",
        "<asm_assignments cmp='' keyword=''><token_file filename='empty'/></asm_assignments>\n"
        "<asm_assignments cmp='top'><token_file filename='named'/></asm_assignments>\n"
        "<asm_assignments device='PART1'><token_file filename='part'/></asm_assignments>\n");
    ASM_OPTIONS options;
    options.initialize(FIO_PATH(file), "", "PART1", "");
    ASSERT_TRUE(options.m_initialized);
    EXPECT_EQ(token_files(options.m_dom_element), (std::vector<std::string>{"empty", "part"}));
}

TEST_F(OptionsFile, IncludesAreTakenFromTheCurrentDirectoryNotFromTheIncludingFile)
{
    const std::string samples = copy_samples();
    {
        // From the samples' directory, as a run in a project directory that
        // holds them: the nested includes name paths from there.
        fs::current_path(samples);
        ASM_OPTIONS options;
        options.initialize(FIO_PATH("main.xml"), "top", "DEVA", "release");
        ASSERT_TRUE(options.m_initialized);
        EXPECT_EQ(full_paths(options.m_parsed_files),
                  (std::vector<std::string>{samples + "/main.xml", samples + "/inc/common.xml",
                                            samples + "/inc/sibling.xml", samples + "/inc/nested/deep.xml"}));
    }
    // From elsewhere, the top file (a relative path too) is found, but its
    // include is looked for below the current directory.
    fs::create_directories(m_dir + "/elsewhere");
    fs::current_path(m_dir + "/elsewhere");
    ASM_OPTIONS options;
    EXPECT_EQ(internal_error_of([&] { options.initialize(FIO_PATH("../samples/main.xml"), "top", "DEVA", "release"); }),
              "Can't find Assembler Options XML file " + m_dir + "/elsewhere/inc/common.xml");
    EXPECT_EQ(full_paths(options.m_parsed_files),
              (std::vector<std::string>{samples + "/main.xml", m_dir + "/elsewhere/inc/common.xml"}));
}

TEST_F(OptionsFile, IncludePathsKeepTheirCaseAndAnAbsolutePathIsTakenAsIs)
{
    const std::string upper = write_options("Dir/Upper.xml",
                                            "<asm_assignments><token_file filename='upper'/></asm_assignments>\n");
    write_options("dir/upper.xml", "<asm_assignments><token_file filename='lower'/></asm_assignments>\n");
    const std::string absolute = write_options(
        "abs/Abs.xml", "<asm_assignments><token_file filename='absolute'/></asm_assignments>\n");
    const std::string file = write_options("opts.xml", "<include path='Dir/Upper.xml'/>\n<include path='" +
                                                           absolute + "'/>\n<asm_assignments/>\n");
    ASM_OPTIONS options;
    options.initialize(FIO_PATH(file), "", "", "");
    ASSERT_TRUE(options.m_initialized);
    EXPECT_EQ(full_paths(options.m_parsed_files), (std::vector<std::string>{file, absolute, upper}));
    EXPECT_EQ(token_files(options.m_dom_element), (std::vector<std::string>{"absolute", "upper"}));
}

TEST_F(OptionsFile, AFileNamedTwiceIsReadOnceHoweverItsPathIsSpelled)
{
    // b.xml is named by the top file and, while still waiting, by c.xml; the
    // top file is named again through a differently spelled path.
    const std::string b = write_options("b.xml", "<asm_assignments><token_file filename='b'/></asm_assignments>\n");
    const std::string c = write_options(
        "sub/c.xml", "<include path='b.xml'/>\n<include path='sub/../opts.xml'/>\n"
                     "<asm_assignments><token_file filename='c'/></asm_assignments>\n");
    const std::string file = write_options(
        "opts.xml", "<include path='b.xml'/>\n<include path='./b.xml'/>\n<include path='sub/c.xml'/>\n"
                    "<asm_assignments><token_file filename='top'/></asm_assignments>\n");
    ASM_OPTIONS options;
    options.initialize(FIO_PATH(file), "", "", "");
    ASSERT_TRUE(options.m_initialized);
    EXPECT_EQ(full_paths(options.m_parsed_files), (std::vector<std::string>{file, c, b}));
    EXPECT_EQ(token_files(options.m_dom_element), (std::vector<std::string>{"top", "c", "b"}));
}

TEST_F(OptionsFile, ASymbolicLinkAndItsTargetAreOneFile)
{
    const std::string b = write_options("b.xml", "<asm_assignments><token_file filename='b'/></asm_assignments>\n");
    fs::create_symlink(b, m_dir + "/link.xml");
    // The link is queued first; b.xml, the same file, is then left out.
    const std::string file = write_options("opts.xml", "<include path='link.xml'/>\n<include path='b.xml'/>\n");
    ASM_OPTIONS options;
    options.initialize(FIO_PATH(file), "", "", "");
    ASSERT_TRUE(options.m_initialized);
    EXPECT_EQ(full_paths(options.m_parsed_files), (std::vector<std::string>{file, m_dir + "/link.xml"}));
    EXPECT_EQ(token_files(options.m_dom_element), (std::vector<std::string>{"b"}));
}

TEST_F(OptionsFile, AFileWithoutMatchStillHasItsIncludesFollowed)
{
    const std::string inner =
        write_options("inner.xml", "<asm_assignments><token_file filename='inner'/></asm_assignments>\n");
    const std::string file =
        write_options("opts.xml", "<asm_assignments cmp='nope'/>\n<include path='inner.xml'/>\n");
    ASM_OPTIONS options;
    options.initialize(FIO_PATH(file), "top", "", "");
    ASSERT_TRUE(options.m_initialized);
    EXPECT_EQ(token_files(options.m_dom_element), (std::vector<std::string>{"inner"}));
    // The collecting element lives in the included file's document.
    EXPECT_EQ(options.m_dom_document, options.m_dom_element->getOwnerDocument());
    EXPECT_EQ(get_attribute_string("cmp", options.m_dom_element), "top");
}

TEST_F(OptionsFile, AMissingIncludeIsAnInternalErrorNamingIt)
{
    const std::string file = write_options("opts.xml", "<include path='sub/missing.xml'/>\n<asm_assignments/>\n");
    ASM_OPTIONS options;
    EXPECT_EQ(internal_error_of([&] { options.initialize(FIO_PATH(file), "", "", ""); }),
              "Can't find Assembler Options XML file " + m_dir + "/sub/missing.xml");
}

// An include that names no regular file (a directory, a FIFO, a device) is
// the failure of a file that cannot be opened: one user error naming it, the
// load fails, every other file is still read and nothing blocks or reads
// without end. The directory is named first, so it is read last, after a
// file built into the collecting element's document.
TEST_F(OptionsFile, AnIncludeThatIsNoRegularFileFailsLikeAFileThatCannotBeOpened)
{
    const std::string b = write_options("b.xml", "<asm_assignments><token_file filename='b'/></asm_assignments>\n");
    fs::create_directories(m_dir + "/sub");
    ASSERT_EQ(mkfifo((m_dir + "/pipe.xml").c_str(), 0600), 0);
    const std::string file = write_options(
        "opts.xml", "<include path='sub/'/>\n<include path='/dev/zero'/>\n<include path='pipe.xml'/>\n"
                    "<include path='b.xml'/>\n<asm_assignments><token_file filename='top'/></asm_assignments>\n");
    ASM_OPTIONS options;
    EXPECT_EQ(internal_error_of([&] { options.initialize(FIO_PATH(file), "", "", ""); }), "(none)");
    EXPECT_FALSE(options.m_initialized);
    EXPECT_EQ(full_paths(options.m_parsed_files),
              (std::vector<std::string>{file, b, m_dir + "/pipe.xml", "/dev/zero", m_dir + "/sub/"}));
    EXPECT_EQ(options.m_error_count, 3);
    EXPECT_EQ(token_files(options.m_dom_element), (std::vector<std::string>{"top", "b"}));
    const std::vector<std::string> errors = file_errors();
    ASSERT_EQ(errors.size(), 3u);
    const std::string names[] = {m_dir + "/pipe.xml", "/dev/zero", m_dir + "/sub/"};
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(errors[i], "Assembler Options File \"" + names[i] + "\", line 0, column 0: unable to open primary "
                             "document entity '" + names[i] + "'");
    EXPECT_TRUE(has_debug_line("ASM_OPTIONS failed to initialize... errors found in XML file"));
}

TEST_F(OptionsFile, AnEmptyIncludePathIsAnInternalError)
{
    const std::string file = write_options("opts.xml", "<include path=''/>\n");
    ASM_OPTIONS options;
    EXPECT_EQ(internal_error_of([&] { options.initialize(FIO_PATH(file), "", "", ""); }),
              "illegal filename found in INCLUDE statement in ASM Options file");
}

TEST_F(OptionsFile, LongNamesAreKeptWhole)
{
    const std::string cmp(150, 'c');
    const std::string device = std::string(120, 'd') + "\xc3\xa9";  // ends in a two-byte UTF-8 letter
    const std::string keyword(300, 'k');
    const std::string file = write_options(
        "opts.xml", "<asm_assignments device='" + device + "'><token_file filename='" + cmp + "'/></asm_assignments>\n");
    ASM_OPTIONS options;
    options.initialize(FIO_PATH(file), cmp, device, keyword);
    ASSERT_TRUE(options.m_initialized);
    EXPECT_EQ(get_attribute_string("cmp", options.m_dom_element), cmp);
    EXPECT_EQ(get_attribute_string("device", options.m_dom_element), device);
    EXPECT_EQ(get_attribute_string("keyword", options.m_dom_element), keyword);
    EXPECT_EQ(token_files(options.m_dom_element), (std::vector<std::string>{cmp}));
}

// ---------------------------------------------------------------------------
// Device check

TEST_F(OptionsFile, DeviceCheckPassesForTheCurrentDeviceAndOnlyLogsWithoutOne)
{
    const std::string file = write_options("opts.xml", "<asm_assignments device_check='DEV_SEVEN'/>\n");
    {
        ASM_OPTIONS options;
        options.initialize(FIO_PATH(file), "", "", "");
        EXPECT_TRUE(options.m_initialized);
        EXPECT_TRUE(has_debug_line("Device check is NOT working !!!"));
    }
    msg_reset();
    DEV_DEVICE device;
    device.set_basic_info(std::make_unique<DEV_BASIC_INFO>(DEV_PART_GENERIC, static_cast<DEV_DEVICE_ENUM>(7)));
    dstr_set_debug_string(static_cast<DEV_DEVICE_ENUM>(7), "DEV_SEVEN");
    DMGR_UTILITY::set_current_device(&device);
    ASM_OPTIONS options;
    options.initialize(FIO_PATH(file), "", "", "");
    EXPECT_TRUE(options.m_initialized);
    EXPECT_FALSE(has_debug_line("Device check is NOT working !!!"));
}

TEST_F(OptionsFile, DeviceCheckStopsTheLoadEvenForABlockThatDoesNotMatch)
{
    DEV_DEVICE device;
    device.set_basic_info(std::make_unique<DEV_BASIC_INFO>(DEV_PART_GENERIC, static_cast<DEV_DEVICE_ENUM>(7)));
    dstr_set_debug_string(static_cast<DEV_DEVICE_ENUM>(7), "DEV_SEVEN");
    DMGR_UTILITY::set_current_device(&device);
    const std::string file =
        write_options("opts.xml", "<asm_assignments/>\n<asm_assignments cmp='other' device_check='DEV_EIGHT'/>\n");
    ASM_OPTIONS options;
    EXPECT_EQ(internal_error_of([&] { options.initialize(FIO_PATH(file), "top", "", ""); }),
              "device used in the design is not matching with device specify in ASM option file");
    // A device without a debug name matches no device_check.
    DEV_DEVICE unnamed;
    unnamed.set_basic_info(std::make_unique<DEV_BASIC_INFO>(DEV_PART_GENERIC, static_cast<DEV_DEVICE_ENUM>(9)));
    DMGR_UTILITY::set_current_device(&unnamed);
    ASM_OPTIONS other;
    EXPECT_EQ(internal_error_of([&] { other.initialize(FIO_PATH(file), "", "", ""); }),
              "device used in the design is not matching with device specify in ASM option file");
}

// ---------------------------------------------------------------------------
// Schema, parser diagnostics and files that cannot be read

TEST_F(OptionsFile, SchemaViolationIsAUserErrorWithLineAndMessage)
{
    const std::string file = DATA_DIR + "/bad_schema_violation.xml";
    ASM_OPTIONS options;
    options.initialize(FIO_PATH(file), "", "", "");
    EXPECT_FALSE(options.m_initialized);
    EXPECT_EQ(options.m_error_count, 1);
    std::vector<std::string> errors = file_errors();
    ASSERT_EQ(errors.size(), 1u);
    const std::string prefix = "Assembler Options File \"" + file + "\", line 4, column ";
    EXPECT_EQ(errors[0].substr(0, prefix.size()), prefix) << errors[0];
    EXPECT_NE(errors[0].find("prewired_periphery"), std::string::npos) << errors[0];
    EXPECT_TRUE(has_debug_line("ASM_OPTIONS failed to initialize... errors found in XML file"));
}

TEST_F(OptionsFile, ErrorsOfEveryFileAreCountedAndEveryFileIsRead)
{
    // The included file is still read after the top file's error, and a
    // matching block does not save the load.
    const std::string inner =
        write_options("inner.xml", "<asm_assignments><netlist_spec source_netlist='post_map'/></asm_assignments>\n");
    const std::string file = write_options(
        "opts.xml", "<include path='inner.xml'/>\n<asm_assignments/>\n<asm_assignments unknown='1'/>\n");
    ASM_OPTIONS options;
    options.initialize(FIO_PATH(file), "", "", "");
    EXPECT_FALSE(options.m_initialized);
    EXPECT_EQ(options.m_error_count, 2);
    EXPECT_EQ(full_paths(options.m_parsed_files), (std::vector<std::string>{file, inner}));
    std::vector<std::string> errors = file_errors();
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_NE(errors[0].find("\"" + file + "\", line 5, "), std::string::npos) << errors[0];
    EXPECT_NE(errors[1].find("\"" + inner + "\", line 3, "), std::string::npos) << errors[1];
    EXPECT_TRUE(has_debug_line("ASM_OPTIONS failed to initialize... errors found in XML file"));
}

TEST_F(OptionsFile, FilesThatParseToNoRootAreUserErrors)
{
    const std::string empty = write("empty.xml", "");
    const std::string text = write("text.xml", "this is not XML\n");
    const std::string root = write("root.xml", "<?xml version=\"1.0\"?>\n<options><asm_assignments/></options>\n");
    const std::string directory = m_dir + "/directory.xml";
    fs::create_directories(directory);
    for (const std::string& file : {empty, text, root, directory})
    {
        msg_reset();
        ASM_OPTIONS options;
        EXPECT_EQ(internal_error_of([&] { options.initialize(FIO_PATH(file), "", "", ""); }), "(none)") << file;
        EXPECT_FALSE(options.m_initialized) << file;
        EXPECT_EQ(options.m_error_count, 1) << file;
        std::vector<std::string> errors = file_errors();
        ASSERT_EQ(errors.size(), 1u) << file;
        EXPECT_EQ(errors[0].rfind("Assembler Options File \"" + file + "\", line ", 0), 0u) << errors[0];
    }
    EXPECT_EQ(file_errors()[0], "Assembler Options File \"" + directory +
                                    "\", line 0, column 0: unable to open primary document entity '" + directory +
                                    "'");
}

// A memory manager for the XML library that raises, once, what a test arms it
// with, at the next allocation: the library's own way to fail inside a parse.
class FAILING_MEMORY_MANAGER : public xercesc::MemoryManager
{
public:
    xercesc::MemoryManager* getExceptionMemoryManager() override { return this; }
    void* allocate(XMLSize_t size) override
    {
        if (armed)
        {
            std::function<void()> raise = std::move(armed);
            armed = nullptr;
            raise();
        }
        return ::operator new(size);
    }
    void deallocate(void* p) override { ::operator delete(p); }

    std::function<void()> armed;
};

TEST_F(OptionsFile, ExceptionsOfTheXmlLibraryBecomeInternalErrorsNamingFileLineAndMessage)
{
    FAILING_MEMORY_MANAGER manager;
    // The first start of the platform chooses its memory manager; the
    // loader's own start then only counts.
    xercesc::XMLPlatformUtils::Initialize(xercesc::XMLUni::fgXercescDefaultLocale, nullptr, nullptr, &manager);
    const std::string file = write_options("opts.xml", "<asm_assignments/>\n");
    XMLCh* message = xercesc::XMLString::transcode("the parse broke");
    XMLCh* system_id = xercesc::XMLString::transcode("other.xml");
    const std::string runtime_message =
        text_of(xercesc::RuntimeException("origin.cpp", 42, xercesc::XMLExcepts::Gen_NoSchemaValidator).getMessage());
    const std::string dom_message =
        text_of(xercesc::DOMException(xercesc::DOMException::NOT_FOUND_ERR, 0, &manager).getMessage());
    struct CASE
    {
        std::function<void()> raise;
        std::string condition;
    };
    const CASE cases[] = {
        {[&] { throw xercesc::SAXParseException(message, nullptr, system_id, 7, 3, &manager); },
         "XML Parser error: File \"other.xml\" Line 7 : the parse broke"},
        {[&] { throw xercesc::RuntimeException("origin.cpp", 42, xercesc::XMLExcepts::Gen_NoSchemaValidator, &manager); },
         "Assembler XML RuntimeException (File origin.cpp Line 42): " + runtime_message},
        {[&] { throw xercesc::DOMException(xercesc::DOMException::NOT_FOUND_ERR, 0, &manager); },
         "Assembler XML processing error: (Filename = " + file + " Exception code = 8) " + dom_message},
        {[] { throw 42; }, "Unknown error encountered processing Assembler XML file " + file},
    };
    for (const CASE& c : cases)
    {
        ASM_OPTIONS options;
        manager.armed = c.raise;
        EXPECT_EQ(internal_error_of([&] { options.initialize(FIO_PATH(file), "", "", ""); }), c.condition);
        EXPECT_FALSE(options.m_initialized);
        EXPECT_FALSE(manager.armed);
    }
    EXPECT_FALSE(runtime_message.empty());
    EXPECT_FALSE(dom_message.empty());
    xercesc::XMLString::release(&message);
    xercesc::XMLString::release(&system_id);
    // A load after them still works.
    ASM_OPTIONS options;
    options.initialize(FIO_PATH(file), "", "", "");
    EXPECT_TRUE(options.m_initialized);
    xercesc::XMLPlatformUtils::Terminate();
}

TEST_F(OptionsFile, AWarningAloneMakesTheLoadFail)
{
    // A UTF-8 file that declares another encoding is read on as UTF-8, with
    // the parser's warning; the file is otherwise valid and matches.
    const std::string file = write("opts.xml", "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n"
                                               "<assembler_options><asm_assignments/></assembler_options>\n");
    ASM_OPTIONS options;
    options.initialize(FIO_PATH(file), "", "", "");
    EXPECT_FALSE(options.m_initialized);
    EXPECT_NE(options.m_dom_element, nullptr);
    EXPECT_EQ(options.m_error_count, 1);
    std::vector<std::string> errors = file_errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind("Assembler Options File \"" + file + "\", line 1, column ", 0), 0u) << errors[0];
    EXPECT_TRUE(has_debug_line("ASM_OPTIONS failed to initialize... errors found in XML file"));
}

TEST_F(OptionsFile, MissingSchemaIsAnInternalErrorNamingIt)
{
    gen_set_module_path(m_dir);
    const std::string file = write_options("opts.xml", "<asm_assignments/>\n");
    ASM_OPTIONS options;
    EXPECT_EQ(internal_error_of([&] { options.initialize(FIO_PATH(file), "", "", ""); }),
              "Can't find Assembler XML schema file " + m_dir + "/assembler_asgn.xsd");
}

TEST_F(OptionsFile, DefaultedAttributesBecomeSpecified)
{
    const std::string file = write_options("opts.xml",
                                           "<asm_assignments><bit_settings action='read'><archgroups>"
                                           "<element_index index='1' block_type='B'>"
                                           "<select arch_index='0' arch_type='T' arg='0' arg_string='' value='none'/>"
                                           "</element_index></archgroups></bit_settings></asm_assignments>\n");
    ASM_OPTIONS options;
    options.initialize(FIO_PATH(file), "", "", "");
    ASSERT_TRUE(options.m_initialized);
    EXPECT_EQ(get_attribute_string("device_check", options.m_dom_element), "any");
    std::vector<xercesc::DOMElement*> selects;
    get_descendant_elements(selects, options.m_dom_element, "select");
    ASSERT_EQ(selects.size(), 1u);
    xercesc::DOMElement* select = selects[0];
    EXPECT_EQ(get_attribute_string("array_index", select), "-1");
    EXPECT_EQ(get_attribute_string("array_index_value", select), "0");
    EXPECT_EQ(get_attribute_string("desc", select), "");
    for (const char* name : {"array_index", "array_index_value"})
    {
        XMLCh* xml_name = xercesc::XMLString::transcode(name);
        xercesc::DOMAttr* attribute = select->getAttributeNode(xml_name);
        xercesc::XMLString::release(&xml_name);
        ASSERT_NE(attribute, nullptr) << name;
        EXPECT_TRUE(attribute->getSpecified()) << name;
    }
}

TEST_F(OptionsFile, TheBitSettingsSampleIsAccepted)
{
    ASM_OPTIONS options;
    options.initialize(FIO_PATH(DATA_DIR + "/bit_settings.xml"), "", "", "");
    EXPECT_TRUE(options.m_initialized);
    EXPECT_TRUE(file_errors().empty());
    std::vector<xercesc::DOMElement*> settings;
    get_child_elements(settings, options.m_dom_element, "bit_settings");
    EXPECT_EQ(settings.size(), 3u);
}

// ---------------------------------------------------------------------------
// Parser safety: no document type declaration, nothing fetched

// A TCP listener on a free port of the loopback interface; tells whether
// anything connected to it.
class LISTENER
{
public:
    LISTENER()
    {
        m_socket = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        if (m_socket < 0 || bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
            listen(m_socket, 8) != 0 || getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        m_port = ntohs(address.sin_port);
    }
    ~LISTENER()
    {
        if (m_socket >= 0)
            close(m_socket);
    }
    int port() const { return m_port; }
    bool was_contacted() const
    {
        int connection = accept(m_socket, nullptr, nullptr);
        if (connection >= 0)
        {
            close(connection);
            return true;
        }
        return errno != EAGAIN && errno != EWOULDBLOCK;
    }

private:
    int m_socket = -1;
    int m_port = 0;
};

TEST_F(OptionsFile, ExternalEntitiesAreRefusedAndNothingIsFetched)
{
    LISTENER listener;
    ASSERT_GT(listener.port(), 0);
    const std::string url = "http://127.0.0.1:" + std::to_string(listener.port());
    write("secret.txt", "TOPSECRET");
    const std::string file =
        write("opts.xml", "<?xml version=\"1.0\"?>\n"
                          "<!DOCTYPE assembler_options SYSTEM \"" + url + "/options.dtd\" [\n"
                          "  <!ENTITY secret SYSTEM \"secret.txt\">\n"
                          "  <!ENTITY remote SYSTEM \"" + url + "/remote.txt\">\n"
                          "]>\n"
                          "<assembler_options><asm_assignments cmp=\"&secret;&remote;\"/></assembler_options>\n");
    ASM_OPTIONS options;
    options.initialize(FIO_PATH(file), "TOPSECRET", "", "");
    EXPECT_FALSE(options.m_initialized);
    EXPECT_EQ(options.m_dom_element, nullptr);
    std::vector<std::string> errors = file_errors();
    ASSERT_EQ(errors.size(), 1u);
    const std::string prefix = "Assembler Options File \"" + file + "\", line 2, column ";
    const std::string suffix = ": DOCTYPE declarations are not allowed in Assembler options files";
    EXPECT_EQ(errors[0].rfind(prefix, 0), 0u) << errors[0];
    ASSERT_GT(errors[0].size(), suffix.size());
    EXPECT_EQ(errors[0].substr(errors[0].size() - suffix.size()), suffix);
    EXPECT_FALSE(listener.was_contacted());
    for (const std::string& line : debug_texts())
        EXPECT_EQ(line.find("TOPSECRET"), std::string::npos) << line;
    for (const MSG_RECORD& record : MSG_REPORT::active().messages())
        EXPECT_EQ(record.text.find("TOPSECRET"), std::string::npos) << record.text;
}

TEST_F(OptionsFile, EntityExpansionIsRefused)
{
    std::string entities = "  <!ENTITY a0 \"lollollollollollollollollollol\">\n";
    for (int i = 1; i < 10; ++i)
    {
        std::string previous = "&a" + std::to_string(i - 1) + ";";
        std::string value;
        for (int k = 0; k < 10; ++k)
            value += previous;
        entities += "  <!ENTITY a" + std::to_string(i) + " \"" + value + "\">\n";
    }
    const std::string file = write("opts.xml", "<?xml version=\"1.0\"?>\n<!DOCTYPE assembler_options [\n" + entities +
                                                   "]>\n<assembler_options><asm_assignments cmp=\"&a9;\"/>"
                                                   "</assembler_options>\n");
    ASM_OPTIONS options;
    options.initialize(FIO_PATH(file), "", "", "");
    EXPECT_FALSE(options.m_initialized);
    std::vector<std::string> errors = file_errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("DOCTYPE declarations are not allowed"), std::string::npos) << errors[0];
}

TEST_F(OptionsFile, SchemaHintsOfTheFileAreIgnored)
{
    // The file names a schema of its own on the network and one on disk that
    // would refuse it; the module's schema is used and nothing is fetched.
    LISTENER listener;
    ASSERT_GT(listener.port(), 0);
    const std::string strict = write("strict.xsd",
                                     "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\">"
                                     "<xs:element name=\"other\"/></xs:schema>\n");
    const std::string file = write(
        "opts.xml", "<?xml version=\"1.0\"?>\n<assembler_options "
                    "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" xsi:noNamespaceSchemaLocation=\"" +
                        strict + "\" xsi:schemaLocation=\"urn:x http://127.0.0.1:" + std::to_string(listener.port()) +
                        "/x.xsd\"><asm_assignments/></assembler_options>\n");
    ASM_OPTIONS options;
    options.initialize(FIO_PATH(file), "", "", "");
    EXPECT_TRUE(options.m_initialized);
    EXPECT_TRUE(file_errors().empty());
    EXPECT_FALSE(listener.was_contacted());
}

TEST_F(OptionsFile, AFailedLoadReleasesEverythingAndLaterLoadsStillWork)
{
    // The first object holds a document of a failed load; the platform is
    // shared by both objects and ends with the last one.
    const std::string bad = write_options("bad.xml", "<asm_assignments/>\n<asm_assignments unknown='1'/>\n");
    const std::string good = write_options("good.xml", "<asm_assignments/>\n");
    auto failed = std::make_unique<ASM_OPTIONS>();
    failed->initialize(FIO_PATH(bad), "", "", "");
    EXPECT_FALSE(failed->m_initialized);
    EXPECT_NE(failed->m_dom_document, nullptr);
    ASM_OPTIONS loaded;
    loaded.initialize(FIO_PATH(good), "", "", "");
    failed.reset();
    EXPECT_TRUE(loaded.m_initialized);
    EXPECT_EQ(get_attribute_string("cmp", loaded.m_dom_element), "");
}

// ---------------------------------------------------------------------------
// Debug copy

TEST_F(OptionsFile, DebugCopyHoldsTheMergedDocumentPrettyPrinted)
{
    cfg_set_value("asm_dump_options", "on");
    const std::string samples = copy_samples();
    fs::current_path(samples);
    ASM_OPTIONS options;
    options.initialize(FIO_PATH(samples + "/main.xml"), "top", "DEVA", "release");
    ASSERT_TRUE(options.m_initialized);
    const std::string copy = samples + "/main_debug.xml";
    ASSERT_TRUE(fs::exists(copy));
    EXPECT_TRUE(has_debug_line("Successfully generated output XML file " + copy));

    const std::string text = read_file(copy);
    EXPECT_EQ(text.find("<include"), std::string::npos);
    EXPECT_EQ(text.find("wrong_"), std::string::npos);
    EXPECT_NE(text.find("device_check=\"any\""), std::string::npos) << text;
    EXPECT_NE(text.find("\n  <asm_assignments"), std::string::npos) << text;
    EXPECT_NE(text.find("cmp=\"top\""), std::string::npos) << text;
    // The blanks between the elements of the files are kept as they stood.
    const size_t first = text.find("\n    <token_file filename=\"first.tok\"/>\n  \n");
    const size_t second = text.find("\n    <token_file filename=\"second.tok\"/>\n");
    EXPECT_NE(first, std::string::npos) << text;
    EXPECT_NE(second, std::string::npos) << text;
    EXPECT_LT(first, second) << text;

    // The copy is an options file of its own that yields the same selection.
    cfg_clear();
    ASM_OPTIONS reread;
    reread.initialize(FIO_PATH(copy), "top", "DEVA", "release");
    ASSERT_TRUE(reread.m_initialized);
    EXPECT_EQ(reread.m_parsed_files.size(), 1u);
    EXPECT_EQ(token_files(reread.m_dom_element), token_files(options.m_dom_element));
}

TEST_F(OptionsFile, DebugCopyTakesTheXmlExtensionAndIsOnlyWrittenForASuccessfulLoadOnRequest)
{
    const std::string file = write_options("opts.cfg", "<asm_assignments/>\n");
    {
        ASM_OPTIONS options;
        options.initialize(FIO_PATH(file), "", "", "");
        ASSERT_TRUE(options.m_initialized);
    }
    EXPECT_FALSE(fs::exists(m_dir + "/opts_debug.xml"));
    cfg_set_value("asm_dump_options", "on");
    {
        ASM_OPTIONS failed;
        failed.initialize(FIO_PATH(write_options("bad.xml", "<asm_assignments unknown='1'/>\n")), "", "", "");
        EXPECT_FALSE(failed.m_initialized);
        EXPECT_FALSE(fs::exists(m_dir + "/bad_debug.xml"));
    }
    ASM_OPTIONS options;
    options.initialize(FIO_PATH(file), "", "", "");
    ASSERT_TRUE(options.m_initialized);
    EXPECT_TRUE(fs::exists(m_dir + "/opts_debug.xml"));
}

// A copy that cannot be opened (a directory stands where it goes) or whose
// write fails (a full disk) is the XML library's internal error of a file
// that cannot be opened; an earlier copy stays as it was and nothing else is
// left beside it.
TEST_F(OptionsFile, DebugCopyThatCannotBeWrittenIsAnInternalErrorOfTheXmlLibrary)
{
    cfg_set_value("asm_dump_options", "on");
    const std::string file = write_options("opts.xml", "<asm_assignments/>\n");
    const std::string other = write_options("other.xml", "<asm_assignments/>\n");
    fs::create_directories(m_dir + "/opts_debug.xml");
    const std::string earlier = write("other_debug.xml", "an earlier copy\n");
    for (const std::string& copy : {m_dir + "/opts_debug.xml", earlier})
    {
        msg_reset();
        std::string condition;
        {
            ASM_OPTIONS options;
            FILE_SIZE_LIMIT limit(40);
            const std::string input = copy == earlier ? other : file;
            condition = internal_error_of([&] { options.initialize(FIO_PATH(input), "", "", ""); });
        }
        const std::string prefix = "Assembler XML ";
        const std::string suffix = "unable to open file '" + copy + "'";
        EXPECT_EQ(condition.rfind(prefix, 0), 0u) << condition;
        EXPECT_NE(condition.find(" (File "), std::string::npos) << condition;
        EXPECT_NE(condition.find(" Line "), std::string::npos) << condition;
        ASSERT_GT(condition.size(), suffix.size());
        EXPECT_EQ(condition.substr(condition.size() - suffix.size()), suffix);
        EXPECT_FALSE(has_debug_line("Successfully generated output XML file " + copy));
    }
    EXPECT_EQ(read_file(earlier), "an earlier copy\n");
    std::vector<std::string> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(m_dir))
        files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"opts.xml", "opts_debug.xml", "other.xml", "other_debug.xml"}));
}

// ---------------------------------------------------------------------------
// DOM helpers

TEST_F(OptionsFile, ChildElementsAreDirectChildrenInDocumentOrderAppended)
{
    const std::string file = write_options("opts.xml",
                                           "<asm_assignments><token_file filename='1'/><bit_settings action='read'>"
                                           "<token_file filename='nested'/></bit_settings><!-- note -->"
                                           "<token_file filename='2'/></asm_assignments>\n");
    ASM_OPTIONS options;
    options.initialize(FIO_PATH(file), "", "", "");
    ASSERT_TRUE(options.m_initialized);
    std::vector<xercesc::DOMElement*> list;
    get_child_elements(list, options.m_dom_element, "bit_settings");
    get_child_elements(list, options.m_dom_element, "token_file");
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(text_of(list[0]->getTagName()), "bit_settings");
    EXPECT_EQ(get_attribute_string("filename", list[1]), "1");
    EXPECT_EQ(get_attribute_string("filename", list[2]), "2");
    get_child_elements(list, options.m_dom_element, "Token_File");
    EXPECT_EQ(list.size(), 3u);
    // Descendants at any depth, in document order, appended; only elements.
    std::vector<xercesc::DOMElement*> descendants(1, nullptr);
    get_descendant_elements(descendants, options.m_dom_element, "token_file");
    get_descendant_elements(descendants, options.m_dom_element, "#comment");
    ASSERT_EQ(descendants.size(), 4u);
    EXPECT_EQ(descendants[0], nullptr);
    EXPECT_EQ(get_attribute_string("filename", descendants[1]), "1");
    EXPECT_EQ(get_attribute_string("filename", descendants[2]), "nested");
    EXPECT_EQ(get_attribute_string("filename", descendants[3]), "2");
    // A matched node that is not an element.
    EXPECT_EQ(internal_error_of([&] { get_child_elements(list, options.m_dom_element, "#comment"); }),
              "temp_node_type == DOMNode::ELEMENT_NODE");
}

// ---------------------------------------------------------------------------
// Netlist selection

class NetlistSelection : public OptionsFile
{
protected:
    void SetUp() override
    {
        OptionsFile::SetUp();
        asmdb_set_arch_group_block_type_name(static_cast<ASMDB_ARCH_GROUP_BLOCK_TYPE>(3), "LAB");
        asmdb_set_arch_group_block_type_name(static_cast<ASMDB_ARCH_GROUP_BLOCK_TYPE>(5), "DSP");
        asmdb_set_arch_group_block_type_name(static_cast<ASMDB_ARCH_GROUP_BLOCK_TYPE>(8), "IO");
    }

    // Loads a one-block file with this netlist_spec.
    void load(ASM_OPTIONS& options, const std::string& block)
    {
        options.initialize(FIO_PATH(write_options("opts.xml", "<asm_assignments>" + block + "</asm_assignments>\n")),
                           "", "", "");
        ASSERT_TRUE(options.m_initialized);
    }

    std::vector<std::string> selection_lines()
    {
        std::vector<std::string> lines;
        for (const std::string& line : debug_texts())
        {
            if (line.find(" -> ") != std::string::npos)
                lines.push_back(line);
        }
        return lines;
    }
};

using TYPES = std::vector<ASMDB_ARCH_GROUP_BLOCK_TYPE>;
const ASMDB_ARCH_GROUP_BLOCK_TYPE LAB = static_cast<ASMDB_ARCH_GROUP_BLOCK_TYPE>(3);
const ASMDB_ARCH_GROUP_BLOCK_TYPE DSP = static_cast<ASMDB_ARCH_GROUP_BLOCK_TYPE>(5);
const ASMDB_ARCH_GROUP_BLOCK_TYPE IO = static_cast<ASMDB_ARCH_GROUP_BLOCK_TYPE>(8);

TEST_F(NetlistSelection, SampleSetsSourcePeripheryAndTheThreeBlockSets)
{
    ASM_OPTIONS options;
    options.initialize(FIO_PATH(DATA_DIR + "/netlist.xml"), "top", "DEVA", "");
    ASSERT_TRUE(options.m_initialized);
    std::unique_ptr<ASMCC_NETLIST_FAQ> faq(options.create_netlist_faq());
    ASSERT_NE(faq, nullptr);
    EXPECT_EQ(faq->source_netlist(), ASMCC_SOURCE_NETLIST_TYPE_EARLY_TIMING_ESTIMATE);
    EXPECT_FALSE(faq->prewired_periphery());
    EXPECT_FALSE(faq->is_block_processing_exclusive());
    EXPECT_TRUE(faq->is_bcm_transform_exclusive());
    EXPECT_TRUE(faq->is_bcm_parameters_mapped_to_bits_exclusive());
    EXPECT_EQ(faq->block_processing_set(), (TYPES{LAB, DSP}));
    EXPECT_EQ(faq->bcm_transform_set(), (TYPES{IO}));
    // A name is taken with its blanks; a name of no block type is added as
    // the database gives it.
    EXPECT_EQ(faq->bcm_parameters_mapped_to_bits_set(),
              (TYPES{ASMDB_ARCH_GROUP_BLOCK_TYPE_INVALID, ASMDB_ARCH_GROUP_BLOCK_TYPE_INVALID}));
    // The sets' list types come in set order, whatever the document order,
    // then the block names set by set.
    EXPECT_EQ(selection_lines(),
              (std::vector<std::string>{"source_netlist -> early_timing_estimate", "prewired_periphery -> off",
                                        "list_type -> inclusive", "list_type -> exclusive", "list_type -> exclusive",
                                        "block_name -> LAB", "block_name -> DSP", "block_name -> IO",
                                        "block_name ->  LAB", "block_name -> NO_SUCH_BLOCK"}));
}

TEST_F(NetlistSelection, EverySourceNetlistAndPeripheryValue)
{
    const std::pair<const char*, ASMCC_SOURCE_NETLIST_TYPE> sources[] = {
        {"post_map", ASMCC_SOURCE_NETLIST_TYPE_POST_MAP},
        {"early_timing_estimate", ASMCC_SOURCE_NETLIST_TYPE_EARLY_TIMING_ESTIMATE},
        {"full_place_and_route", ASMCC_SOURCE_NETLIST_TYPE_FULL_PLACE_AND_ROUTE}};
    for (const auto& source : sources)
    {
        for (const char* periphery : {"on", "off"})
        {
            ASM_OPTIONS options;
            load(options, std::string("<netlist_spec source_netlist='") + source.first + "' prewired_periphery='" +
                              periphery + "'/>");
            std::unique_ptr<ASMCC_NETLIST_FAQ> faq(options.create_netlist_faq());
            ASSERT_NE(faq, nullptr);
            EXPECT_EQ(faq->source_netlist(), source.second) << source.first;
            EXPECT_EQ(faq->prewired_periphery(), std::string(periphery) == "on");
            // Absent sets take their defaults and name no block.
            EXPECT_TRUE(faq->is_block_processing_exclusive());
            EXPECT_TRUE(faq->is_bcm_transform_exclusive());
            EXPECT_FALSE(faq->is_bcm_parameters_mapped_to_bits_exclusive());
            EXPECT_TRUE(faq->block_processing_set().empty());
            EXPECT_TRUE(faq->bcm_transform_set().empty());
            EXPECT_TRUE(faq->bcm_parameters_mapped_to_bits_set().empty());
        }
    }
}

TEST_F(NetlistSelection, ListTypesOfEachSet)
{
    ASM_OPTIONS options;
    load(options, "<netlist_spec source_netlist='post_map' prewired_periphery='on'>"
                  "<assembler_block_processing_set list_type='exclusive'><block_name>DSP</block_name>"
                  "</assembler_block_processing_set>"
                  "<bcm_transform_set list_type='inclusive'/>"
                  "<bcm_parameters_mapped_to_bits_set list_type='inclusive'><block_name>LAB</block_name>"
                  "<block_name>IO</block_name></bcm_parameters_mapped_to_bits_set></netlist_spec>");
    std::unique_ptr<ASMCC_NETLIST_FAQ> faq(options.create_netlist_faq());
    ASSERT_NE(faq, nullptr);
    EXPECT_TRUE(faq->is_block_processing_exclusive());
    EXPECT_FALSE(faq->is_bcm_transform_exclusive());
    EXPECT_FALSE(faq->is_bcm_parameters_mapped_to_bits_exclusive());
    EXPECT_EQ(faq->block_processing_set(), (TYPES{DSP}));
    EXPECT_TRUE(faq->bcm_transform_set().empty());
    EXPECT_EQ(faq->bcm_parameters_mapped_to_bits_set(), (TYPES{LAB, IO}));
}

TEST_F(NetlistSelection, AFileWithoutNetlistSpecLeavesTheDefaultSelection)
{
    ASM_OPTIONS options;
    options.initialize(FIO_PATH(DATA_DIR + "/no_netlist.xml"), "top", "DEVA", "");
    ASSERT_TRUE(options.m_initialized);
    EXPECT_EQ(options.create_netlist_faq(), nullptr);
    EXPECT_TRUE(selection_lines().empty());
}

TEST_F(NetlistSelection, AnUninitialisedObjectHasNoSelection)
{
    ASM_OPTIONS options;
    EXPECT_EQ(internal_error_of([&] { options.create_netlist_faq(); }), "m_initialized");
}

TEST_F(NetlistSelection, MergedBlocksWithTwoNetlistSpecsStopTheRun)
{
    ASM_OPTIONS options;
    options.initialize(FIO_PATH(write_options(
                           "opts.xml",
                           "<asm_assignments><netlist_spec source_netlist='post_map' prewired_periphery='on'/>"
                           "</asm_assignments>\n<asm_assignments><netlist_spec source_netlist='post_map' "
                           "prewired_periphery='off'/></asm_assignments>\n")),
                       "", "", "");
    ASSERT_TRUE(options.m_initialized);
    EXPECT_EQ(internal_error_of([&] { options.create_netlist_faq(); }), "num_netlist_specs <= 1");
}

TEST_F(NetlistSelection, IllegalValuesAreLoggedThenStopTheRun)
{
    struct CASE
    {
        std::string block;
        std::string condition;
        std::string last_line;
    };
    const std::string netlist_spec_open = "<netlist_spec source_netlist='post_map' prewired_periphery='on'>";
    const CASE cases[] = {
        {"<netlist_spec source_netlist='Post_map' prewired_periphery='on'/>", "Illegal string",
         "source_netlist -> Post_map"},
        {"<netlist_spec source_netlist='post_map' prewired_periphery='On'/>", "Illegal string",
         "prewired_periphery -> On"},
        {"<netlist_spec source_netlist='post_map' prewired_periphery='on '/>", "Illegal string",
         "prewired_periphery -> on "},
        {netlist_spec_open + "<bcm_transform_set list_type='Inclusive'/></netlist_spec>", "Illegal string",
         "list_type -> Inclusive"},
        {"<netlist_spec source_netlist='' prewired_periphery='on'/>", "source_netlist_name.size() > 0", ""},
        {"<netlist_spec source_netlist='post_map' prewired_periphery=''/>", "prewired_periphery_name.size() > 0",
         "source_netlist -> post_map"},
        {netlist_spec_open + "<bcm_transform_set list_type=''/></netlist_spec>", "list_type_name.size() > 0",
         "prewired_periphery -> on"},
        {netlist_spec_open + "<assembler_block_processing_set list_type='inclusive'/>"
                "<assembler_block_processing_set list_type='inclusive'/></netlist_spec>",
         "num_assembler_block_processing_sets <= 1", "prewired_periphery -> on"},
        {netlist_spec_open + "<bcm_transform_set list_type='inclusive'/><bcm_transform_set list_type='inclusive'/></netlist_spec>",
         "num_bcm_transform_sets <= 1", "prewired_periphery -> on"},
        {netlist_spec_open + "<bcm_parameters_mapped_to_bits_set list_type='inclusive'/>"
                "<bcm_parameters_mapped_to_bits_set list_type='inclusive'/></netlist_spec>",
         "num_bcm_parameters_mapped_to_bits_sets <= 1", "prewired_periphery -> on"},
        {netlist_spec_open + "<bcm_transform_set list_type='inclusive'><block_name/></bcm_transform_set></netlist_spec>",
         "temp_text_node != NULL", "list_type -> inclusive"},
        {netlist_spec_open + "<bcm_transform_set list_type='inclusive'><block_name><!-- c -->LAB</block_name>"
                "</bcm_transform_set></netlist_spec>",
         "temp_node_type == DOMNode::TEXT_NODE", "list_type -> inclusive"},
    };
    for (const CASE& c : cases)
    {
        msg_reset();
        ASM_OPTIONS options;
        load(options, c.block);
        EXPECT_EQ(internal_error_of([&] { options.create_netlist_faq(); }), c.condition) << c.block;
        std::vector<std::string> lines = selection_lines();
        if (c.last_line.empty())
            EXPECT_TRUE(lines.empty()) << c.block;
        else
            EXPECT_EQ(lines.empty() ? std::string() : lines.back(), c.last_line) << c.block;
    }
}

// ---------------------------------------------------------------------------
// Stand-ins and the installed schema

TEST(AssemblerDatabase, BlockTypeNamesAreExactAndUnknownNamesInvalid)
{
    asmdb_clear_arch_group_block_types();
    EXPECT_EQ(asmdb_get_asmdb_arch_group_block_type_by_string("LAB"), ASMDB_ARCH_GROUP_BLOCK_TYPE_INVALID);
    asmdb_set_arch_group_block_type_name(LAB, "LAB");
    asmdb_set_arch_group_block_type_name(IO, "IO");
    EXPECT_EQ(asmdb_get_asmdb_arch_group_block_type_by_string("LAB"), LAB);
    EXPECT_EQ(asmdb_get_asmdb_arch_group_block_type_by_string("IO"), IO);
    EXPECT_EQ(asmdb_get_asmdb_arch_group_block_type_by_string("lab"), ASMDB_ARCH_GROUP_BLOCK_TYPE_INVALID);
    EXPECT_EQ(asmdb_get_asmdb_arch_group_block_type_by_string("LAB "), ASMDB_ARCH_GROUP_BLOCK_TYPE_INVALID);
    EXPECT_EQ(asmdb_get_asmdb_arch_group_block_type_by_string(nullptr), ASMDB_ARCH_GROUP_BLOCK_TYPE_INVALID);
    asmdb_clear_arch_group_block_types();
    EXPECT_EQ(asmdb_get_asmdb_arch_group_block_type_by_string("IO"), ASMDB_ARCH_GROUP_BLOCK_TYPE_INVALID);
}

TEST(ModulePath, SchemaIsInstalledBesideTheModule)
{
    gen_set_module_path("");
    const std::string directory = gen_get_module_path();
    ASSERT_FALSE(directory.empty());
    EXPECT_EQ(directory.back(), '/');
    EXPECT_EQ(fs::canonical(directory), fs::canonical(std::string(ASM_TEST_BINARY_DIR) + "/bin"));
    EXPECT_TRUE(fs::exists(directory + "libasm.so"));
    EXPECT_EQ(read_file(directory + "assembler_asgn.xsd"),
              read_file(std::string(ASM_TEST_SOURCE_DIR) + "/comp/asm/assembler_asgn.xsd"));
    gen_set_module_path("/opt/suite/bin");
    EXPECT_EQ(gen_get_module_path(), "/opt/suite/bin/");
    gen_set_module_path("");
    EXPECT_EQ(gen_get_module_path(), directory);
}

// ---------------------------------------------------------------------------
// Included files are read straight into the document of the collecting
// element: what surrounds an included file's root stays out of the merged
// document, and a file that breaks off inside its root keeps what was read.

TEST_F(OptionsFile, IncludedFileOnlyTheMatchingBlocksOfTheRootJoinTheMergedDocument)
{
    cfg_set_value("asm_dump_options", "on");
    const std::string top = write("top.xml", "<?xml version=\"1.0\"?>\n<assembler_options>\n"
                                             "  <asm_assignments><token_file filename=\"a.tok\"/></asm_assignments>\n"
                                             "  <include path=\"inc.xml\"/>\n</assembler_options>\n");
    write("inc.xml", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<!-- before the root -->\n"
                     "<assembler_options>\n"
                     "  <asm_assignments><!-- inside --><token_file filename=\"b.tok\"/></asm_assignments>\n"
                     "  <asm_assignments cmp=\"other\"><token_file filename=\"x.tok\"/></asm_assignments>\n"
                     "  <asm_assignments><token_file filename=\"c.tok\"/></asm_assignments>\n"
                     "</assembler_options>\n<!-- after the root -->\n<?later processing?>\n");
    ASM_OPTIONS options;
    options.initialize(FIO_PATH(top), "top", "DEV", "");
    ASSERT_TRUE(options.m_initialized);
    EXPECT_EQ(options.m_error_count, 0);
    EXPECT_EQ(token_files(options.m_dom_element), (std::vector<std::string>{"a.tok", "b.tok", "c.tok"}));
    EXPECT_EQ(options.m_dom_element->getOwnerDocument(), options.m_dom_document);

    std::ifstream in(m_dir + "/top_debug.xml", std::ios::binary);
    std::stringstream copy;
    copy << in.rdbuf();
    const std::string text = copy.str();
    EXPECT_NE(text.find("<!-- inside -->"), std::string::npos) << text;
    for (const char* absent : {"before the root", "after the root", "later processing", "x.tok", "ISO-8859-1", "include"})
        EXPECT_EQ(text.find(absent), std::string::npos) << absent << "\n" << text;
}

TEST_F(OptionsFile, IncludedFileAFileBrokenOffInsideItsRootKeepsWhatWasReadAndTheNextFileLoads)
{
    // The last include is read first: the broken file, then the good one,
    // by the same parser.
    const std::string top = write("top.xml", "<?xml version=\"1.0\"?>\n<assembler_options>\n"
                                             "  <asm_assignments><token_file filename=\"a.tok\"/></asm_assignments>\n"
                                             "  <include path=\"good.xml\"/>\n  <include path=\"bad.xml\"/>\n"
                                             "</assembler_options>\n");
    write("bad.xml", "<?xml version=\"1.0\"?>\n<assembler_options>\n"
                     "  <asm_assignments><token_file filename=\"b.tok\"/></asm_assignments>\n"
                     "  <asm_assignments><token_file filename=\"c.tok\"/>\n");
    write("good.xml", "<?xml version=\"1.0\"?>\n<assembler_options>\n"
                      "  <asm_assignments><token_file filename=\"g.tok\"/></asm_assignments>\n</assembler_options>\n");
    ASM_OPTIONS options;
    options.initialize(FIO_PATH(top), "top", "DEV", "");
    EXPECT_FALSE(options.m_initialized);
    EXPECT_GT(options.m_error_count, 0);
    ASSERT_NE(options.m_dom_element, nullptr);
    const std::vector<std::string> names = token_files(options.m_dom_element);
    ASSERT_GE(names.size(), 3u);
    EXPECT_EQ(names.front(), "a.tok");
    EXPECT_EQ(names[1], "b.tok");
    EXPECT_EQ(names.back(), "g.tok");
    ASSERT_FALSE(MSG_REPORT::active().messages().empty());
    for (const MSG_RECORD& record : MSG_REPORT::active().messages())
        EXPECT_NE(record.text.find("bad.xml"), std::string::npos) << record.text;
}

// ---------------------------------------------------------------------------
// Root-level blocks that do not match are never built: the merged document,
// its debug copy, the device checks and a parse broken off inside such a
// block come out as if every block had been built and the others dropped.

size_t device_check_lines()
{
    size_t count = 0;
    for (const MSG_DEBUG_LINE& line : msg_debug_lines())
        count += line.text == "Device check is NOT working !!!";
    return count;
}

TEST_F(OptionsFile, UnbuiltBlocksTheDebugCopyKeepsTheTextAroundBlocksThatDoNotMatch)
{
    // Comments, processing instructions and white space around and inside
    // blocks that do not match (by cmp, device or keyword, empty or not),
    // in the top file and in an included one.
    cfg_set_value("asm_dump_options", "on");
    const std::string top = write(
        "top.xml",
        "<?xml version=\"1.0\"?>\n<assembler_options>\n"
        "  <!-- c0 -->\n  <asm_assignments cmp=\"other\"><!-- in --><token_file filename=\"x.tok\"/></asm_assignments>"
        "<!-- after -->\n"
        "  <asm_assignments/>\n  <asm_assignments cmp=\"nope\"/>\n"
        "  <asm_assignments keyword=\"k\"><token_file filename=\"k.tok\"/></asm_assignments>\n"
        "  <asm_assignments device=\"DEV\" keyword=\"\"><token_file filename=\"d.tok\"/>\n\n  </asm_assignments>   \n"
        "  <?pi data?>\n  <asm_assignments device=\"OTHER\">\n    <token_file filename=\"o.tok\"/>\n  </asm_assignments>\n"
        "  <asm_assignments cmp=\"top\"><token_file filename=\"t.tok\"/><token_file filename=\"t2.tok\"/>"
        "</asm_assignments>\n"
        "  <include path=\"inc.xml\"/>\n</assembler_options>\n");
    write("inc.xml", "<?xml version=\"1.0\"?>\n<assembler_options>\n"
                     "  <asm_assignments cmp=\"zz\"><token_file filename=\"iz.tok\"/></asm_assignments>\n"
                     "  <!-- ic -->\n  <asm_assignments><token_file filename=\"i1.tok\"/></asm_assignments>\n"
                     "  <asm_assignments cmp=\"zz\"/>\n  <asm_assignments><token_file filename=\"i2.tok\"/>"
                     "<token_file filename=\"i3.tok\"/></asm_assignments>\n</assembler_options>\n");
    ASM_OPTIONS options;
    options.initialize(FIO_PATH(top), "top", "DEV", "");
    ASSERT_TRUE(options.m_initialized);

    std::ifstream in(m_dir + "/top_debug.xml", std::ios::binary);
    std::stringstream copy;
    copy << in.rdbuf();
    const std::string expected =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\" ?>\n"
        "<assembler_options>\n"
        "  \n"
        "\n"
        "<!-- c0 -->\n"
        "  \n"
        "\n"
        "<!-- after -->\n"
        "  <asm_assignments cmp=\"top\" device=\"DEV\" device_check=\"any\" keyword=\"\">\n"
        "    <token_file filename=\"d.tok\"/>\n"
        "\n"
        "    <token_file filename=\"t.tok\"/>\n"
        "    <token_file filename=\"t2.tok\"/>\n"
        "    <token_file filename=\"i1.tok\"/>\n"
        "    <token_file filename=\"i2.tok\"/>\n"
        "    <token_file filename=\"i3.tok\"/>\n"
        "  </asm_assignments>\n"
        "  \n"
        "  \n"
        "     \n"
        "  \n"
        "\n"
        "<?pi data?>\n"
        "  \n"
        "  \n"
        "  \n"
        "\n"
        "</assembler_options>\n";
    EXPECT_EQ(copy.str(), expected);

    // The white space before and after each dropped block stays in two text
    // nodes, as it was when the block was built and removed.
    size_t root_children = 0;
    for (const xercesc::DOMNode* node = options.m_dom_document->getDocumentElement()->getFirstChild(); node != nullptr;
         node = node->getNextSibling())
        ++root_children;
    EXPECT_EQ(root_children, 15u);
}

TEST_F(OptionsFile, UnbuiltBlocksDeviceChecksRunInOrderAlsoForABlockTheParseBrokeOffIn)
{
    // Without a current device every device_check other than "any" logs
    // that the check does not work: once per block, built or not, also for
    // the block that the file breaks off in.
    const std::string top = write("top.xml", "<?xml version=\"1.0\"?>\n<assembler_options>\n"
                                             "  <asm_assignments cmp=\"no\" device_check=\"X1\"><token_file "
                                             "filename=\"n.tok\"/></asm_assignments>\n"
                                             "  <asm_assignments><token_file filename=\"a.tok\"/></asm_assignments>\n"
                                             "  <asm_assignments cmp=\"no\" device_check=\"X2\">\n"
                                             "    <token_file filename=\"b.tok\"/>\n    <broken </asm_assignments>\n");
    ASM_OPTIONS options;
    options.initialize(FIO_PATH(top), "top", "DEV", "");
    EXPECT_FALSE(options.m_initialized);
    EXPECT_EQ(options.m_error_count, 1);
    EXPECT_EQ(device_check_lines(), 2u);
    ASSERT_NE(options.m_dom_element, nullptr);
    std::vector<xercesc::DOMElement*> blocks;
    get_child_elements(blocks, options.m_dom_document->getDocumentElement(), "asm_assignments");
    ASSERT_EQ(blocks.size(), 1u);
    std::vector<xercesc::DOMElement*> tokens;
    get_child_elements(tokens, blocks[0], "token_file");
    ASSERT_EQ(tokens.size(), 1u);
    EXPECT_EQ(get_attribute_string("filename", tokens[0]), "a.tok");
}

}  // namespace
