#include "asm_common.h"
#include "asm_isld.h"

#include <cdb_atom.h>
#include <dsym.h>
#include <zasm.h>
#include <zsym.h>

#include <boost/assert.hpp>
#include <boost/optional.hpp>
#include <boost/range/iterator_range.hpp>

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdint>
#include <functional>
#include <memory>
#include <type_traits>
#include <unistd.h>

#define ASM_SOURCE_TAG "comp/asm/asm_test"

namespace
{

// Runs the action and returns the internal error it raised; fails the test
// when it raises none.
MSG_INTERNAL_ERROR_EXCEPTION expect_internal_error(const std::function<void()>& action)
{
    try
    {
        action();
    }
    catch (const MSG_INTERNAL_ERROR_EXCEPTION& e)
    {
        return e;
    }
    ADD_FAILURE() << "no internal error";
    return MSG_INTERNAL_ERROR_EXCEPTION("", "", "", 0);
}

std::string current_directory()
{
    char buffer[4096];
    return getcwd(buffer, sizeof(buffer)) ? std::string(buffer) : std::string();
}

}  // namespace

// ---------------------------------------------------------------------------
// Internal errors

TEST(InternalError, CarriesConditionComponentSourceAndLine)
{
    try
    {
        internal_error("cmp != NULL", "comp/asm/asm_root", 123);
        FAIL() << "internal_error returned";
    }
    catch (const MSG_INTERNAL_ERROR_EXCEPTION& e)
    {
        EXPECT_EQ(e.condition(), "cmp != NULL");
        EXPECT_EQ(e.component(), "ASM");
        EXPECT_EQ(e.file(), "comp/asm/asm_root");
        EXPECT_EQ(e.line(), 123);
    }
}

TEST(InternalError, RequireMacroReportsTheConditionAsWritten)
{
    const void* chip = nullptr;
    try
    {
        ASM_REQUIRE(chip != NULL);
        FAIL() << "no internal error";
    }
    catch (const MSG_INTERNAL_ERROR_EXCEPTION& e)
    {
        EXPECT_EQ(e.condition(), "chip != NULL");
        EXPECT_EQ(e.file(), "comp/asm/asm_test");
        EXPECT_EQ(e.line(), __LINE__ - 7);
    }
}

TEST(InternalError, IsNotAStandardException)
{
    bool caught_as_std = false;
    try
    {
        try
        {
            internal_error("x", "f", 1);
        }
        catch (const std::exception&)
        {
            caught_as_std = true;
        }
    }
    catch (const MSG_INTERNAL_ERROR_EXCEPTION&)
    {
    }
    EXPECT_FALSE(caught_as_std);
}

TEST(BoostAssertion, HandlerReportsExpressionFileAndLineWithoutTheFunction)
{
    auto e = expect_internal_error([] { boost::assertion_failed("x > 0", "void f(int)", "lib/range.hpp", 42); });
    EXPECT_EQ(e.condition(), "x > 0");
    EXPECT_EQ(e.component(), "ASM");
    EXPECT_EQ(e.file(), "lib/range.hpp");
    EXPECT_EQ(e.line(), 42);

    auto m = expect_internal_error(
        [] { boost::assertion_failed_msg("n < size()", "index out of range", "void g()", "lib/vec.hpp", 7); });
    EXPECT_EQ(m.condition(), "n < size()");
    EXPECT_EQ(m.file(), "lib/vec.hpp");
    EXPECT_EQ(m.line(), 7);
}

TEST(BoostAssertion, EmptyOptionalAndEmptyRangeEndInInternalErrors)
{
    auto e = expect_internal_error([] {
        boost::optional<std::string> none;
        const std::string& value = *none;
        (void)&value;
    });
    EXPECT_EQ(e.condition(), "this->is_initialized()");
    EXPECT_EQ(e.component(), "ASM");
    EXPECT_NE(e.file().find("optional"), std::string::npos) << e.file();

    auto r = expect_internal_error([] {
        std::vector<int> empty;
        auto range = boost::make_iterator_range(empty.begin(), empty.end());
        volatile int first = range.front();
        (void)first;
    });
    EXPECT_EQ(r.condition(), "!empty()");

    auto m = expect_internal_error([] { BOOST_ASSERT_MSG(1 + 1 == 3, "arithmetic"); });
    EXPECT_EQ(m.condition(), "1 + 1 == 3");
    EXPECT_EQ(m.line(), __LINE__ - 2);
}

// ---------------------------------------------------------------------------
// Safe formatting

TEST(SafeSprintf, FormatsMatchingArguments)
{
    EXPECT_EQ(safe_sprintf("Invalid element %d", 7), "Invalid element 7");
    EXPECT_EQ(safe_sprintf("%s:%u", std::string("a"), 3u), "a:3");
    EXPECT_EQ(safe_sprintf("%" PRIu64, UINT64_MAX), "18446744073709551615");
    EXPECT_EQ(safe_sprintf("%5.2f|%-3d|%x|%c", 3.14159, 7, 255, 'z'), " 3.14|7  |ff|z");
    // Braces mean nothing to the printf engine.
    EXPECT_EQ(safe_sprintf("{%d} {}", 3), "{3} {}");
    EXPECT_EQ(safe_sprintf("no conversions"), "no conversions");
    std::string out;
    EXPECT_TRUE(safe_sprintf(out, "block_name -> %s", "lab"));
    EXPECT_EQ(out, "block_name -> lab");
}

TEST(SafeSprintf, OutFormReplacesWhatTheStringHeld)
{
    std::string out = "stale text";
    EXPECT_TRUE(safe_sprintf(out, "%d", 5));
    EXPECT_EQ(out, "5");
    out = "stale text";
    EXPECT_FALSE(safe_sprintf(out, "%d %d", 5));
    EXPECT_EQ(out.find("stale"), std::string::npos);
    EXPECT_EQ(out.rfind("ERROR: args not compatible with format string\n", 0), 0u);
}

TEST(SafeSprintf, NullFormatGivesEmptyText)
{
    EXPECT_EQ(safe_sprintf(static_cast<const char*>(nullptr), 1), "");
    std::string out = "x";
    EXPECT_TRUE(safe_sprintf(out, nullptr));
    EXPECT_EQ(out, "");
}

TEST(SafeSprintf, MismatchGivesTheDiagnosticWithEveryArgument)
{
    // More conversions than arguments: the printf engine throws.
    std::string text = safe_sprintf("%d and %d", 42);
    EXPECT_EQ(text, "ERROR: args not compatible with format string\nformat: %d and %d\narg[0]: 42\n");

    std::string out;
    EXPECT_FALSE(safe_sprintf(out, "%s %s %s", "a", 5));
    EXPECT_EQ(out, "ERROR: args not compatible with format string\nformat: %s %s %s\narg[0]: a\narg[1]: 5\n");
}

TEST(SafeSprintf, RejectedFormatWithOneArgument)
{
    EXPECT_EQ(safe_sprintf("%q", 5), "ERROR: args not compatible with format string\nformat: %q\narg[0]: 5\n");
    // The printf engine knows no "I64" length: such a format always gives the
    // diagnostic, with the argument in its default presentation.
    EXPECT_EQ(safe_sprintf("current %I64d", uint64_t(123456789012)),
              "ERROR: args not compatible with format string\nformat: current %I64d\narg[0]: 123456789012\n");
    // A string argument for an integer conversion.
    EXPECT_EQ(safe_sprintf("%d", "abc"), "ERROR: args not compatible with format string\nformat: %d\narg[0]: abc\n");
}

TEST(SafeSprintf, DiagnosticKeepsBracesOfTheFormatAndArguments)
{
    EXPECT_EQ(safe_sprintf("{0} %d %d", std::string("{1}")),
              "ERROR: args not compatible with format string\nformat: {0} %d %d\narg[0]: {1}\n");
}

TEST(SafeSprintf, ArgumentThatCannotBePrintedReadsUnprintable)
{
    const char* none = nullptr;
    EXPECT_EQ(safe_sprintf("%d %d", none),
              "ERROR: args not compatible with format string\nformat: %d %d\narg[0]: (unprintable)\n");
    EXPECT_EQ(safe_sprintf("%s %s %s %s", "a", none, 9),
              "ERROR: args not compatible with format string\nformat: %s %s %s %s\n"
              "arg[0]: a\narg[1]: (unprintable)\narg[2]: 9\n");
    // The printf engine itself prints a null string.
    EXPECT_EQ(safe_sprintf("<%s>", none), "<(null)>");
}

TEST(SafeSprintf, TryVsprintfLeavesUnprintableOnFailure)
{
    std::string result = "previous";
    int value = 3;
    EXPECT_FALSE(try_vsprintf(result, "%d %d", fmt::make_printf_args(value)));
    EXPECT_EQ(result, "(unprintable)");
    EXPECT_TRUE(try_vsprintf(result, "v=%d", fmt::make_printf_args(value)));
    EXPECT_EQ(result, "v=3");
}

TEST(SafeSprintf, MismatchDiagnosticWithoutArgumentsHasOnlyTheHeader)
{
    std::string result = "previous";
    format_mismatch_diagnostic(result, "%d", 0, fmt::format_args());
    EXPECT_EQ(result, "ERROR: args not compatible with format string\nformat: %d\n");
}

TEST(SafeSprintf, ManyArgumentsAreAllListed)
{
    std::string text = safe_sprintf("%d %d %d %d %d %d %d %d %d %d %d %d %d %d %d %d %d %d", 0, 1, 2, 3, 4, 5, 6,
                                    7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
    std::string expected = "ERROR: args not compatible with format string\n"
                           "format: %d %d %d %d %d %d %d %d %d %d %d %d %d %d %d %d %d %d\n";
    for (int i = 0; i <= 16; ++i)
        expected += "arg[" + std::to_string(i) + "]: " + std::to_string(i) + "\n";
    EXPECT_EQ(text, expected);
}

// ---------------------------------------------------------------------------
// Debug log

TEST(DebugLog, WritesUnderTheModuleTag)
{
    msg_reset();
    EXPECT_TRUE(asm_debug_log(2, "%s", "ASM Begin"));
    EXPECT_TRUE(asm_debug_log(3, "%d-%s", 5, "x"));
    ASSERT_EQ(msg_debug_lines().size(), 2u);
    EXPECT_EQ(msg_debug_lines()[0].component, "ASM");
    EXPECT_EQ(msg_debug_lines()[0].level, 2);
    EXPECT_EQ(msg_debug_lines()[0].text, "ASM Begin");
    EXPECT_EQ(msg_debug_lines()[1].level, 3);
    EXPECT_EQ(msg_debug_lines()[1].text, "5-x");
}

TEST(DebugLog, AnswersWhatTheLibraryAnswers)
{
    msg_reset();
    const char* no_format = nullptr;
    EXPECT_FALSE(asm_debug_log(2, no_format));
    EXPECT_TRUE(msg_debug_lines().empty());
}

TEST(MissingAssignmentsFile, LogsTheFullPathOnce)
{
    msg_reset();
    log_missing_assignments_file(FIO_PATH("settings/../opts/100%s_asm.xml"));
    ASSERT_EQ(msg_debug_lines().size(), 1u);
    EXPECT_EQ(msg_debug_lines()[0].component, "ASM");
    EXPECT_EQ(msg_debug_lines()[0].level, 2);
    EXPECT_EQ(msg_debug_lines()[0].text,
              "Failed to find Assembler assignments file " + current_directory() + "/opts/100%s_asm.xml");
}

// ---------------------------------------------------------------------------
// Strings and symbols

TEST(JoinStrings, PutsTheSeparatorBetweenNeighboursOnly)
{
    EXPECT_EQ(join_strings({"a", "b", "c"}, ", "), "a, b, c");
    EXPECT_EQ(join_strings({"only"}, ", "), "only");
    EXPECT_EQ(join_strings({}, ", "), "");
    EXPECT_EQ(join_strings({"", "x", ""}, "-"), "-x-");
    EXPECT_EQ(join_strings({"a", "b"}, ""), "ab");
    EXPECT_EQ(join_strings({"a", "b"}, nullptr), "ab");
}

TEST(Zsym, NameSymbolsAreInternedInNamespaceOne)
{
    std::string name = "lab_cell";
    ZSYM first(name.c_str());
    name[0] = 'X';  // the symbol keeps its own copy
    ZSYM second("lab_cell");
    EXPECT_TRUE(first == second);
    EXPECT_EQ(first.cname(), second.cname());
    EXPECT_STREQ(first.cname(), "lab_cell");

    ZSYM by_use;
    by_use.use(ZSYM_NAMESPACE_NAME, "lab_cell");
    EXPECT_TRUE(by_use == first);
    ZSYM other_space;
    other_space.use(ZSYM_NAMESPACE_LOCATION_ELEMENT, "lab_cell");
    EXPECT_TRUE(other_space != first);
    EXPECT_STREQ(other_space.cname(), "lab_cell");
    EXPECT_TRUE(ZSYM("lab_cell2") != first);
}

TEST(Zsym, NullNameGivesTheNullSymbol)
{
    ZSYM none(nullptr);
    EXPECT_TRUE(none.is_null());
    EXPECT_EQ(none.cname(), nullptr);
    EXPECT_TRUE(none == ZSYM());
    EXPECT_FALSE(ZSYM("").is_null());
}

class DeviceElementName : public testing::Test
{
protected:
    void SetUp() override
    {
        dsym_reset();
        m_lab = dsym_add_element("LAB");
        m_iopll = dsym_add_element("IOPLL");
        m_hssi = dsym_add_element("HSSI_CHANNEL");
    }
    void TearDown() override { dsym_reset(); }

    DEV_ELEMENT_ENUM m_lab{}, m_iopll{}, m_hssi{};
};

TEST_F(DeviceElementName, NamesEveryElementBelowTheGenericOne)
{
    ASSERT_EQ(dsym_get_generic_dev_element_enum(), 4);
    EXPECT_STREQ(device_element_name(m_lab), "LAB");
    EXPECT_STREQ(device_element_name(m_iopll), "IOPLL");
    // The value just below the generic element.
    EXPECT_STREQ(device_element_name(static_cast<DEV_ELEMENT_ENUM>(dsym_get_generic_dev_element_enum() - 1)),
                 "HSSI_CHANNEL");
    // The name is the element's interned symbol text.
    EXPECT_EQ(device_element_name(m_lab), dsym_enum_to_symbol(m_lab).cname());
}

TEST_F(DeviceElementName, ZeroIsAnInvalidElement)
{
    auto e = expect_internal_error([] { device_element_name(static_cast<DEV_ELEMENT_ENUM>(0)); });
    EXPECT_EQ(e.condition(), "Invalid element 0");
    EXPECT_EQ(e.component(), "ASM");
    EXPECT_EQ(e.file(), "comp/asm/asm_common");
}

TEST_F(DeviceElementName, GenericElementAndAboveAreInvalid)
{
    auto generic = expect_internal_error([] { device_element_name(dsym_get_generic_dev_element_enum()); });
    EXPECT_EQ(generic.condition(), "Invalid element 4");
    auto top = expect_internal_error([] { device_element_name(static_cast<DEV_ELEMENT_ENUM>(0xFFFF)); });
    EXPECT_EQ(top.condition(), "Invalid element 65535");
}

TEST_F(DeviceElementName, AddedElementMovesTheGenericBoundary)
{
    EXPECT_THROW(device_element_name(static_cast<DEV_ELEMENT_ENUM>(4)), MSG_INTERNAL_ERROR_EXCEPTION);
    DEV_ELEMENT_ENUM pll = dsym_add_element("FPLL");
    EXPECT_EQ(pll, 4);
    EXPECT_STREQ(device_element_name(pll), "FPLL");
    dsym_reset();
    EXPECT_THROW(device_element_name(m_lab), MSG_INTERNAL_ERROR_EXCEPTION);
}

TEST(ReportInvalidElement, FormatsTheValue)
{
    auto e = expect_internal_error([] { report_invalid_element(-5); });
    EXPECT_EQ(e.condition(), "Invalid element -5");
    EXPECT_EQ(e.file(), "comp/asm/asm_common");
}

// ---------------------------------------------------------------------------
// Hierarchical atom iterator

namespace
{

CDB_ATOM_NODE* add_atom(CDB_ATOM_NETLIST& netlist, const std::string& name, bool port = false, bool skip = false)
{
    CDB_ATOM_NODE* atom = netlist.add_atom(std::make_unique<CDB_ATOM_NODE>(name, "la_lab"));
    atom->set_port(port);
    atom->m_skip = skip;
    return atom;
}

std::vector<std::string> walk(CDB_ATOM_NETLIST& netlist, CDB_TRAVERSE mode, bool use_blackbox_list = false,
                              bool keep_marked = false)
{
    std::vector<std::string> names;
    ATOM_HIERARCHY_ITERATOR it = netlist.begin_node_list(mode, use_blackbox_list, keep_marked);
    while (!it.at_end())
    {
        names.push_back((*it)->name());
        // The increment protocol: one element forward, then next().
        ++it.m_current.it;
        it.next();
    }
    return names;
}

typedef std::vector<std::string> NAMES;

// top: a1, bb1 { c1a, c1p (port), c1b }, a2, bb2 { }, a3 (port)
class AtomIteratorOneLevel : public testing::Test
{
protected:
    void SetUp() override
    {
        m_a1 = add_atom(m_top, "a1");
        m_bb1 = m_top.add_blackbox("bb1", "hssi");
        m_c1a = add_atom(*m_bb1->get_child_netlist(), "c1a");
        add_atom(*m_bb1->get_child_netlist(), "c1p", true);
        add_atom(*m_bb1->get_child_netlist(), "c1b");
        add_atom(m_top, "a2");
        m_top.add_blackbox("bb2", "empty");
        add_atom(m_top, "a3", true);
    }

    CDB_ATOM_NETLIST m_top;
    CDB_ATOM_NODE* m_a1 = nullptr;
    CDB_ATOM_BLACKBOX* m_bb1 = nullptr;
    CDB_ATOM_NODE* m_c1a = nullptr;
};

}  // namespace

static_assert(std::is_same<ATOM_HIERARCHY_ITERATOR, CDB_ATOM_ITERATOR>::value, "one iterator type");

TEST_F(AtomIteratorOneLevel, ModeZeroNeverEntersChildNetlists)
{
    EXPECT_EQ(walk(m_top, 0), (NAMES{"a1", "bb1", "a2", "bb2", "a3"}));
}

TEST_F(AtomIteratorOneLevel, ModeOneVisitsChildAtomsInPlaceOfTheirBlackbox)
{
    // The port atom of the child is passed over; the top's port atom and the
    // blackbox with an empty child are visited.
    EXPECT_EQ(walk(m_top, 1), (NAMES{"a1", "c1a", "c1b", "a2", "bb2", "a3"}));
}

TEST_F(AtomIteratorOneLevel, ModeTwoVisitsTheBlackboxAfterItsChildAtoms)
{
    EXPECT_EQ(walk(m_top, 2), (NAMES{"a1", "c1a", "c1p", "c1b", "bb1", "a2", "bb2", "a3"}));
}

TEST_F(AtomIteratorOneLevel, OtherModeValuesBehaveAsModeTwo)
{
    const NAMES mode_two = walk(m_top, 2);
    EXPECT_EQ(walk(m_top, 4), mode_two);
    EXPECT_EQ(walk(m_top, -1), mode_two);
}

TEST_F(AtomIteratorOneLevel, ModeThreeWalksTheTopListWithoutFiltering)
{
    m_a1->m_skip = true;
    EXPECT_EQ(walk(m_top, 3), (NAMES{"a1", "bb1", "a2", "bb2", "a3"}));
    EXPECT_EQ(walk(m_top, 0), (NAMES{"bb1", "a2", "bb2", "a3"}));
}

TEST_F(AtomIteratorOneLevel, SkipMarksArePassedOverUnlessKept)
{
    m_a1->m_skip = true;
    m_c1a->m_skip = true;
    m_bb1->m_skip = true;
    EXPECT_EQ(walk(m_top, 2), (NAMES{"c1p", "c1b", "a2", "bb2", "a3"}));
    EXPECT_EQ(walk(m_top, 1), (NAMES{"c1b", "a2", "bb2", "a3"}));
    EXPECT_EQ(walk(m_top, 0), (NAMES{"a2", "bb2", "a3"}));

    EXPECT_EQ(walk(m_top, 2, false, true), (NAMES{"a1", "c1a", "c1p", "c1b", "bb1", "a2", "bb2", "a3"}));
    EXPECT_EQ(walk(m_top, 1, false, true), (NAMES{"a1", "c1a", "c1b", "a2", "bb2", "a3"}));
    EXPECT_EQ(walk(m_top, 0, false, true), (NAMES{"a1", "bb1", "a2", "bb2", "a3"}));
}

TEST_F(AtomIteratorOneLevel, BeginStandsAtTheFirstAcceptedAtomAndTheEndIsStable)
{
    m_a1->m_skip = true;
    ATOM_HIERARCHY_ITERATOR it = m_top.begin_node_list(2);
    ASSERT_FALSE(it.at_end());
    EXPECT_EQ((*it)->name(), "c1a");
    EXPECT_EQ(it.m_stack.size(), 1u);
    EXPECT_EQ(it.m_current.netlist, m_bb1->get_child_netlist());

    while (!it.at_end())
        ++it;
    it.next();
    EXPECT_TRUE(it.at_end());
    EXPECT_EQ(it.m_current.netlist, &m_top);
}

TEST(AtomIterator, EmptyNetlistEndsAtOnceInEveryMode)
{
    CDB_ATOM_NETLIST empty;
    for (CDB_TRAVERSE mode : {0, 1, 2, 3})
        EXPECT_TRUE(empty.begin_node_list(mode).at_end()) << "mode " << mode;
}

TEST(AtomIterator, OnlyAtomIsABlackboxWithChildAtoms)
{
    CDB_ATOM_NETLIST top;
    CDB_ATOM_BLACKBOX* bb = top.add_blackbox("bb", "hps");
    add_atom(*bb->get_child_netlist(), "x");
    add_atom(*bb->get_child_netlist(), "port_in", true);
    add_atom(*bb->get_child_netlist(), "y");
    EXPECT_EQ(walk(top, 1), (NAMES{"x", "y"}));
    EXPECT_EQ(walk(top, 2), (NAMES{"x", "port_in", "y", "bb"}));
}

TEST(AtomIterator, BlackboxWithoutChildNetlistIsVisitedItself)
{
    CDB_ATOM_NETLIST top;
    add_atom(top, "a");
    top.add_atom(std::make_unique<CDB_ATOM_BLACKBOX>("bare", "io"));
    add_atom(top, "b");
    EXPECT_EQ(walk(top, 1), (NAMES{"a", "bare", "b"}));
    EXPECT_EQ(walk(top, 2), (NAMES{"a", "bare", "b"}));
}

TEST(AtomIterator, NestedChildNetlistsAreWalkedDepthFirst)
{
    // top: x, outer { y, inner { z1, z2 }, w }, v
    CDB_ATOM_NETLIST top;
    add_atom(top, "x");
    CDB_ATOM_BLACKBOX* outer = top.add_blackbox("outer", "bb");
    add_atom(top, "v");
    CDB_ATOM_NETLIST& outer_list = *outer->get_child_netlist();
    add_atom(outer_list, "y");
    CDB_ATOM_BLACKBOX* inner = outer_list.add_blackbox("inner", "bb");
    add_atom(outer_list, "w");
    add_atom(*inner->get_child_netlist(), "z1");
    add_atom(*inner->get_child_netlist(), "z2");

    EXPECT_EQ(walk(top, 0), (NAMES{"x", "outer", "v"}));
    EXPECT_EQ(walk(top, 1), (NAMES{"x", "y", "z1", "z2", "w", "v"}));
    EXPECT_EQ(walk(top, 2), (NAMES{"x", "y", "z1", "z2", "inner", "w", "outer", "v"}));
}

TEST(AtomIterator, ClimbsSeveralLevelsWhenChildListsEndTogether)
{
    // top: a { b { q } }, r   and the blackboxes are first and last of
    // their lists.
    CDB_ATOM_NETLIST top;
    CDB_ATOM_BLACKBOX* a = top.add_blackbox("a", "bb");
    add_atom(top, "r");
    CDB_ATOM_BLACKBOX* b = a->get_child_netlist()->add_blackbox("b", "bb");
    add_atom(*b->get_child_netlist(), "q");

    EXPECT_EQ(walk(top, 1), (NAMES{"q", "r"}));
    EXPECT_EQ(walk(top, 2), (NAMES{"q", "b", "a", "r"}));
}

TEST(AtomIterator, PortAtomsAreSkippedOnlyInsideChildNetlistsOfModeOne)
{
    CDB_ATOM_NETLIST top;
    add_atom(top, "top_port", true);
    CDB_ATOM_BLACKBOX* bb = top.add_blackbox("bb", "bb");
    add_atom(*bb->get_child_netlist(), "child_port", true);
    EXPECT_EQ(walk(top, 1), (NAMES{"top_port"}));
    EXPECT_EQ(walk(top, 2), (NAMES{"top_port", "child_port", "bb"}));
}

TEST(AtomIterator, BlackboxListIsWalkedInNetlistsThatAreNotModifiable)
{
    // top (modifiable): p, X { n1, Y { m1, m2 }, n2 }, q   with X's child not
    // modifiable and Y's child modifiable.
    CDB_ATOM_NETLIST top;
    add_atom(top, "p");
    CDB_ATOM_BLACKBOX* x = top.add_blackbox("X", "bb", false);
    add_atom(top, "q");
    CDB_ATOM_NETLIST& fixed = *x->get_child_netlist();
    ASSERT_FALSE(fixed.is_modifiable());
    add_atom(fixed, "n1");
    CDB_ATOM_BLACKBOX* y = fixed.add_blackbox("Y", "bb", true);
    add_atom(fixed, "n2");
    add_atom(*y->get_child_netlist(), "m1");
    add_atom(*y->get_child_netlist(), "m2");

    EXPECT_EQ(walk(top, 2, true), (NAMES{"p", "m1", "m2", "Y", "X", "q"}));
    EXPECT_EQ(walk(top, 2, false), (NAMES{"p", "n1", "m1", "m2", "Y", "n2", "X", "q"}));
    EXPECT_EQ(walk(top, 1, true), (NAMES{"p", "m1", "m2", "q"}));
    EXPECT_EQ(walk(top, 1, false), (NAMES{"p", "n1", "m1", "m2", "n2", "q"}));
}

TEST(AtomIterator, BlackboxListOfATopNetlistThatIsNotModifiable)
{
    CDB_ATOM_NETLIST top(false);
    add_atom(top, "t1");
    CDB_ATOM_BLACKBOX* bb = top.add_blackbox("T", "bb");
    add_atom(top, "t2");
    add_atom(*bb->get_child_netlist(), "inside");

    EXPECT_EQ(walk(top, 0, true), (NAMES{"T"}));
    EXPECT_EQ(walk(top, 3, true), (NAMES{"T"}));
    EXPECT_EQ(walk(top, 2, true), (NAMES{"inside", "T"}));
    EXPECT_EQ(walk(top, 0, false), (NAMES{"t1", "T", "t2"}));
}

TEST(AtomIterator, ChildWhoseChosenListIsEmptyIsNotEntered)
{
    // The child is not modifiable and holds atoms but no blackboxes: with the
    // blackbox-list flag there is nothing to walk in it.
    CDB_ATOM_NETLIST top;
    CDB_ATOM_BLACKBOX* bb = top.add_blackbox("bb", "bb", false);
    add_atom(top, "after");
    add_atom(*bb->get_child_netlist(), "hidden");

    EXPECT_EQ(walk(top, 2, true), (NAMES{"bb", "after"}));
    // Mode 1 passes over a blackbox whose child has atoms, walked or not.
    EXPECT_EQ(walk(top, 1, true), (NAMES{"after"}));
    EXPECT_EQ(walk(top, 2, false), (NAMES{"hidden", "bb", "after"}));
}

TEST(AtomIteratorErrors, NullAtomWhileSettling)
{
    CDB_ATOM_NETLIST top;
    top.add_atom(nullptr);
    auto e = expect_internal_error([&] { top.begin_node_list(2); });
    EXPECT_EQ(e.condition(), "atom");
    EXPECT_EQ(e.component(), "ASM");
    EXPECT_EQ(e.file(), "comp/asm/asm_common");
}

TEST(AtomIteratorErrors, NullAtomInsideAChildNetlist)
{
    CDB_ATOM_NETLIST top;
    CDB_ATOM_BLACKBOX* bb = top.add_blackbox("bb", "bb");
    bb->get_child_netlist()->add_atom(nullptr);
    auto e = expect_internal_error([&] { top.begin_node_list(1); });
    EXPECT_EQ(e.condition(), "atom");
}

TEST(AtomIteratorErrors, NullAtomInAModeThatDoesNotSettle)
{
    CDB_ATOM_NETLIST top;
    add_atom(top, "a");
    top.add_atom(nullptr);
    ATOM_HIERARCHY_ITERATOR it = top.begin_node_list(0);
    ASSERT_EQ((*it)->name(), "a");
    auto e = expect_internal_error([&] { ++it; });
    EXPECT_EQ(e.condition(), "atom");
}

TEST(AtomIteratorErrors, ParentPositionAtItsEndWhenClimbing)
{
    CDB_ATOM_NETLIST top;
    add_atom(top, "a");
    CDB_ATOM_NETLIST other;
    ATOM_HIERARCHY_ITERATOR it(&top, 2, false, false);
    // A saved parent position must stand at a blackbox atom, never at the end.
    it.m_stack.push_back(CDB_ATOM_POSITION{other.end_raw_node_list(), &other});
    it.m_current.it = top.end_raw_node_list();
    auto e = expect_internal_error([&] { it.descend(); });
    EXPECT_EQ(e.condition(), "m_current.it != get_atom_iterator_end(m_current.netlist)");
    EXPECT_EQ(e.file(), "comp/asm/asm_common");
}

// ---------------------------------------------------------------------------
// Abstract sinks and the host's accessor proxy

static_assert(std::is_abstract<ASM_ISLD_DEBUG>::value && std::is_abstract<ASM_ISLD>::value, "sinks are abstract");
static_assert(std::is_base_of<ASM_ISLD_DEBUG, ASM_ISLD>::value, "ASM_ISLD is an ASM_ISLD_DEBUG");
static_assert(std::is_abstract<ZASM_ACCESSOR_PROXY>::value, "the host implements the proxy");

namespace
{

class BLOB_SINK : public ASM_ISLD
{
public:
    explicit BLOB_SINK(bool& destroyed) : m_destroyed(destroyed) {}
    ~BLOB_SINK() override { m_destroyed = true; }
    void set_sld_blob(uint32_t length, const uint8_t* data) override { m_blob.assign(data, data + length); }
    uint32_t get_jtag_user_code() override { return 0xFFFFFFFF; }
    void set_pfl_present(bool) override {}
    void set_zpfl_present(bool) override {}
    void set_sfl_present(bool) override {}
    void set_sfl_version(int32_t) override {}
    void set_crc_info(uint32_t, const uint8_t*) override {}

    std::vector<uint8_t> m_blob;

private:
    bool& m_destroyed;
};

}  // namespace

TEST(Interfaces, SinkIsReachedAndDestroyedThroughTheDebugBase)
{
    bool destroyed = false;
    auto* sink = new BLOB_SINK(destroyed);
    ASM_ISLD_DEBUG* debug = sink;
    const uint8_t bytes[] = {1, 2, 3};
    debug->set_sld_blob(3, bytes);
    EXPECT_EQ(sink->m_blob, (std::vector<uint8_t>{1, 2, 3}));
    delete debug;
    EXPECT_TRUE(destroyed);
}
