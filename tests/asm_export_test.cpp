// The built library exports its entry under a plain name. This binary does
// not link the module's objects: it loads libasm.so as the suite's compiler
// flow does and shares the suite stand-in with it.
#include <asmdb.h>
#include <cfg.h>
#include <dev.h>
#include <dmgr.h>
#include <fio.h>
#include <msg.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <dlfcn.h>
#include <elf.h>
#include <fstream>
#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

class CMP_FACADE;

typedef int (*ASM_ASSEMBLE_ENTRY)(CMP_FACADE*, uint32_t, bool&, const FIO_PATH&);
typedef void (*ASM_RETRIEVE_RBA_TAG_DATA_ENTRY)(std::vector<std::string>&, std::string&, std::string&, std::string&);
typedef void (*ASM_ELABORATE_ENTRY)(const FIO_PATH&, const FIO_PATH&);

TEST(ExportedEntry, AsmAssembleIsFoundByItsPlainNameAndRuns)
{
    void* library = dlopen(ASM_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto entry = reinterpret_cast<ASM_ASSEMBLE_ENTRY>(dlsym(library, "asm_assemble"));
    ASSERT_NE(entry, nullptr) << dlerror();
    EXPECT_NE(dlsym(library, "set_and_get_asm_zasm_accessor"), nullptr) << dlerror();
    // The module's internals stay hidden: asm_debug_log(int, const char*, ...).
    EXPECT_EQ(dlsym(library, "_Z13asm_debug_logiPKcz"), nullptr);

    cfg_clear();
    msg_reset();
    cfg_set_value("skip_asm", "on");
    bool out_flag = true;
    EXPECT_EQ(entry(nullptr, 0, out_flag, FIO_PATH()), 0);
    EXPECT_FALSE(out_flag);
    std::vector<std::string> lines;
    for (const MSG_DEBUG_LINE& line : msg_debug_lines())
        if (line.component == "ASM")
            lines.push_back(line.text);
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "ASM Begin", "Skipping ASM because skip_asm = ON was found in your zorvane.ini file.",
                         "ASM End"}));
    EXPECT_EQ(dlclose(library), 0);
}

TEST(ExportedEntry, SecondaryEntriesAreFoundByTheirPlainNamesAndRun)
{
    void* library = dlopen(ASM_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto retrieve = reinterpret_cast<ASM_RETRIEVE_RBA_TAG_DATA_ENTRY>(dlsym(library, "asm_retrieve_rba_tag_data"));
    ASSERT_NE(retrieve, nullptr) << dlerror();
    auto elaborate = reinterpret_cast<ASM_ELABORATE_ENTRY>(dlsym(library, "asm_elaborate"));
    ASSERT_NE(elaborate, nullptr) << dlerror();
    // The report tables are the device run's, not an entry.
    EXPECT_EQ(dlsym(library, "create_asm_report_tables"), nullptr);

    // The library reads the suite's current device, which this program set.
    msg_reset();
    dev_reset();
    const DEV_PART part = static_cast<DEV_PART>(301);
    auto die = std::make_unique<ASMDB_DIE>();
    die->set_block_info(2, ASMDB_BLOCK_INFO("", "second"));
    die->set_block_info(1, ASMDB_BLOCK_INFO("v1", "first"));
    die->set_id_strings("id one", "id two");
    auto asm_info = std::make_unique<DEV_ASM_INFO>();
    asm_info->add_pdb_part(part);
    asm_info->set_asmdb_die(std::move(die));
    DEV_DEVICE device;
    device.set_basic_info(std::make_unique<DEV_BASIC_INFO>(part));
    device.set_asm_info(std::move(asm_info));
    DMGR_UTILITY::set_current_device(&device);

    std::vector<std::string> blocks{"earlier"};
    std::string unread = "unread";
    std::string first;
    std::string second;
    retrieve(blocks, unread, first, second);
    EXPECT_EQ(blocks, (std::vector<std::string>{"earlier", "v1 first", "NONE second"}));
    EXPECT_EQ(first, "id one");
    EXPECT_EQ(second, "id two");
    EXPECT_EQ(unread, "unread");

    elaborate(FIO_PATH("/tmp/a.txt"), FIO_PATH("/tmp/b.txt"));
    EXPECT_TRUE(msg_debug_lines().empty());
    EXPECT_TRUE(MSG_REPORT::active().messages().empty());

    DMGR_UTILITY::set_current_device(nullptr);
    EXPECT_EQ(dlclose(library), 0);
}

namespace
{

// The names that the library's dynamic symbol table defines with global,
// weak or unique binding: what another object can bind to. Read from the
// file itself, since dlsym also finds the names of the libraries it uses.
std::set<std::string> exported_names(const std::string& path)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    std::string file(static_cast<size_t>(std::max<std::streamoff>(in.tellg(), 0)), '\0');
    in.seekg(0);
    in.read(&file[0], static_cast<std::streamsize>(file.size()));
    std::set<std::string> names;
    Elf64_Ehdr header;
    if (file.size() < sizeof header)
        return names;
    std::memcpy(&header, file.data(), sizeof header);
    if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64 ||
        header.e_shoff + static_cast<uint64_t>(header.e_shnum) * sizeof(Elf64_Shdr) > file.size())
        return names;
    std::vector<Elf64_Shdr> sections(header.e_shnum);
    std::memcpy(sections.data(), file.data() + header.e_shoff, sections.size() * sizeof(Elf64_Shdr));
    for (const Elf64_Shdr& section : sections)
    {
        if (section.sh_type != SHT_DYNSYM || section.sh_link >= sections.size())
            continue;
        const Elf64_Shdr& strings = sections[section.sh_link];
        for (uint64_t offset = 0; offset + sizeof(Elf64_Sym) <= section.sh_size; offset += sizeof(Elf64_Sym))
        {
            Elf64_Sym symbol;
            std::memcpy(&symbol, file.data() + section.sh_offset + offset, sizeof symbol);
            const unsigned binding = ELF64_ST_BIND(symbol.st_info);
            if (symbol.st_shndx == SHN_UNDEF || symbol.st_name == 0 ||
                (binding != STB_GLOBAL && binding != STB_WEAK && binding != STB_GNU_UNIQUE))
                continue;
            names.insert(std::string(file.c_str() + strings.sh_offset + symbol.st_name));
        }
    }
    return names;
}

}  // namespace

TEST(ExportedEntry, OnlyTheEntryPointsAreExported)
{
    const std::set<std::string> entries = {"asm_assemble",        "asm_elaborate",      "asm_retrieve_rba_tag_data",
                                           "set_and_get_asm_zasm_accessor", "asm_process_sof",
                                           "asm_dump_re_network", "get_dumper_instance", "asm_clean_up_on_signal"};
    const std::set<std::string> names = exported_names(ASM_LIBRARY_PATH);
    // Those of this build are there; nothing else is, no weak instance of a
    // standard-library template, no typeinfo, no internal function.
    for (const char* name : {"asm_assemble", "asm_elaborate", "asm_retrieve_rba_tag_data",
                             "set_and_get_asm_zasm_accessor", "asm_clean_up_on_signal"})
        EXPECT_EQ(names.count(name), 1u) << name;
    for (const std::string& name : names)
        EXPECT_EQ(entries.count(name), 1u) << name;
}
