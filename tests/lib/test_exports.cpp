// The shared library exports exactly its entry points, and they bind by name.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <elf.h>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "vornlink.h"

namespace {

// Names of the defined symbols in the dynamic symbol table of a 64-bit ELF file.
std::set<std::string> definedDynamicSymbols(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::set<std::string> names;
    if (file.size() < sizeof(Elf64_Ehdr)) return names;
    auto* eh = reinterpret_cast<const Elf64_Ehdr*>(file.data());
    if (memcmp(eh->e_ident, ELFMAG, SELFMAG) != 0 || eh->e_ident[EI_CLASS] != ELFCLASS64)
        return names;
    auto* sections = reinterpret_cast<const Elf64_Shdr*>(file.data() + eh->e_shoff);
    for (int i = 0; i < eh->e_shnum; i++) {
        if (sections[i].sh_type != SHT_DYNSYM) continue;
        const Elf64_Shdr& strtab = sections[sections[i].sh_link];
        auto* syms = reinterpret_cast<const Elf64_Sym*>(file.data() + sections[i].sh_offset);
        size_t count = sections[i].sh_size / sizeof(Elf64_Sym);
        for (size_t k = 1; k < count; k++) {
            if (syms[k].st_shndx == SHN_UNDEF) continue;
            names.insert(file.data() + strtab.sh_offset + syms[k].st_name);
        }
    }
    return names;
}

} // namespace

TEST(Exports, ExactlyTheSevenEntryPoints) {
    std::set<std::string> names = definedDynamicSymbols(VORNLINK_PATH);
    // Sanitizer builds may add their own bookkeeping symbols; nothing else may appear.
    for (auto it = names.begin(); it != names.end();) {
        if (it->rfind("__asan", 0) == 0 || it->rfind("___asan", 0) == 0 ||
            it->rfind("__odr_asan", 0) == 0 || it->rfind("__ubsan", 0) == 0)
            it = names.erase(it);
        else
            ++it;
    }
    std::set<std::string> expected = {"init_comm", "invoke_modb", "Send_And_Receive",
                                      "EnumParameters", "EnumParametersAt", "SetTout",
                                      "SetTraceHook"};
    EXPECT_EQ(names, expected);
}

TEST(Exports, EntryPointsBindByNameWithTheHeaderTypes) {
    void* lib = dlopen(VORNLINK_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    auto initComm = reinterpret_cast<init_comm_fn>(dlsym(lib, "init_comm"));
    auto invoke = reinterpret_cast<invoke_modb_fn>(dlsym(lib, "invoke_modb"));
    auto sendReceive = reinterpret_cast<Send_And_Receive_fn>(dlsym(lib, "Send_And_Receive"));
    auto enumParameters = reinterpret_cast<EnumParameters_fn>(dlsym(lib, "EnumParameters"));
    auto setTout = reinterpret_cast<SetTout_fn>(dlsym(lib, "SetTout"));
    ASSERT_TRUE(initComm && invoke && sendReceive && enumParameters && setTout);
    EXPECT_EQ(dlsym(lib, "vl_crc16"), nullptr);
    EXPECT_EQ(dlsym(lib, "vl_transact"), nullptr);

    // Without a port every call fails cleanly.
    EXPECT_EQ(initComm("/dev/vornlink-no-such-port", 9600, 0), 11);
    uint16_t reg = 0;
    EXPECT_EQ(invoke(1, 3, 0, 1, &reg), 14);
    EXPECT_EQ(setTout(200), 0);
    dlclose(lib);
}
