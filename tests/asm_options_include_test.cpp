// Included options files are read straight into the document of the
// collecting element: what surrounds an included file's root stays out of
// the merged document, and a file that breaks off inside its root keeps what
// was read, as a file read into its own document would.
#include "asm_options.h"

#include <cfg.h>
#include <dmgr.h>
#include <fio.h>
#include <gen.h>
#include <msg.h>

#include <xercesc/dom/DOM.hpp>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;

namespace
{

std::vector<std::string> token_files(const xercesc::DOMElement* element)
{
    std::vector<xercesc::DOMElement*> children;
    get_child_elements(children, element, "token_file");
    std::vector<std::string> names;
    for (const xercesc::DOMElement* child : children)
    {
        EXPECT_EQ(child->getOwnerDocument(), element->getOwnerDocument());
        names.push_back(get_attribute_string("filename", child));
    }
    return names;
}

class IncludedOptionsFile : public testing::Test
{
protected:
    void SetUp() override
    {
        msg_reset();
        cfg_clear();
        gen_set_module_path("");
        DMGR_UTILITY::set_current_device(nullptr);
        std::string pattern = (fs::temp_directory_path() / "asm_options_include_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
        fs::current_path(m_dir);
    }

    void TearDown() override
    {
        std::error_code ec;
        fs::current_path(m_start_directory, ec);
        fs::remove_all(m_dir, ec);
    }

    std::string write(const std::string& name, const std::string& text)
    {
        const std::string path = m_dir + "/" + name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    std::string m_dir;
    fs::path m_start_directory = fs::current_path();
};

TEST_F(IncludedOptionsFile, OnlyTheMatchingBlocksOfTheRootJoinTheMergedDocument)
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

TEST_F(IncludedOptionsFile, AFileBrokenOffInsideItsRootKeepsWhatWasReadAndTheNextFileLoads)
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

}  // namespace
