// Root-level asm_assignments blocks that do not match the compilation are
// not built into the document at all: the merged document, its debug copy,
// the device checks and a parse broken off inside such a block come out as
// if every block had been built and the others dropped afterwards.
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

class UnbuiltBlocks : public testing::Test
{
protected:
    void SetUp() override
    {
        msg_reset();
        cfg_clear();
        gen_set_module_path("");
        DMGR_UTILITY::set_current_device(nullptr);
        std::string pattern = (fs::temp_directory_path() / "asm_options_unbuilt_XXXXXX").string();
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

size_t device_check_lines()
{
    size_t count = 0;
    for (const MSG_DEBUG_LINE& line : msg_debug_lines())
        count += line.text == "Device check is NOT working !!!";
    return count;
}

TEST_F(UnbuiltBlocks, TheDebugCopyKeepsTheTextAroundBlocksThatDoNotMatch)
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

TEST_F(UnbuiltBlocks, DeviceChecksRunInOrderAlsoForABlockTheParseBrokeOffIn)
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
