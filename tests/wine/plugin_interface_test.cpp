// The DLL as the player sees it: its export, its header, its module table
// and the About box.
#include "wine_support.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

namespace {

class PluginInterface : public ::testing::Test {
protected:
    static void SetUpTestSuite() { plugin = loadPluginCopy("plugin_interface"); }
    static void TearDownTestSuite() { unloadPlugin(plugin); }
    static LoadedPlugin plugin;
};
LoadedPlugin PluginInterface::plugin;

TEST_F(PluginInterface, ExportsOnlyTheHeaderFunctionAtOrdinalOne)
{
    ASSERT_NE(plugin.library, nullptr);
    auto *base = reinterpret_cast<const unsigned char *>(plugin.library);
    auto *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(base);
    auto *nt = reinterpret_cast<const IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY &entry = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    ASSERT_NE(entry.VirtualAddress, 0u);
    auto *exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY *>(base + entry.VirtualAddress);

    EXPECT_STREQ(reinterpret_cast<const char *>(base + exports->Name), "vlvis003.dll");
    EXPECT_EQ(exports->NumberOfFunctions, 1u);
    ASSERT_EQ(exports->NumberOfNames, 1u);
    auto *names = reinterpret_cast<const DWORD *>(base + exports->AddressOfNames);
    auto *ordinals = reinterpret_cast<const WORD *>(base + exports->AddressOfNameOrdinals);
    EXPECT_STREQ(reinterpret_cast<const char *>(base + names[0]), "winampVisGetHeader");
    EXPECT_EQ(exports->Base + ordinals[0], 1u);
    EXPECT_EQ(GetProcAddress(plugin.library, MAKEINTRESOURCEA(1)),
              GetProcAddress(plugin.library, "winampVisGetHeader"));
}

TEST_F(PluginInterface, HeaderHoldsVersionAndDescription)
{
    ASSERT_NE(plugin.header, nullptr);
    EXPECT_EQ(plugin.header->version, 0x101);
    EXPECT_STREQ(plugin.header->description, "Velmora's Vis Lib v0.03 [alpha]");
    auto getHeader = reinterpret_cast<VisHeader *(__cdecl *)()>(
        reinterpret_cast<void *>(GetProcAddress(plugin.library, "winampVisGetHeader")));
    EXPECT_EQ(getHeader(), plugin.header) << "every call gives the same record";
}

TEST_F(PluginInterface, ModuleLookupGivesTwoModulesThenNull)
{
    ASSERT_NE(plugin.header, nullptr);
    VisModule *vu = plugin.module(0);
    VisModule *scope = plugin.module(1);
    ASSERT_NE(vu, nullptr);
    ASSERT_NE(scope, nullptr);
    EXPECT_NE(vu, scope);
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(plugin.module(0), vu);
        EXPECT_EQ(plugin.module(1), scope);
    }
    for (int index : {2, 3, -1, INT_MIN, INT_MAX}) EXPECT_EQ(plugin.module(index), nullptr) << index;
}

struct ModuleRow {
    int index;
    const char *description;
};

class ModuleFields : public PluginInterface, public ::testing::WithParamInterface<ModuleRow> {};

TEST_P(ModuleFields, FixedContentsAtLoad)
{
    const ModuleRow &row = GetParam();
    VisModule *module = plugin.module(row.index);
    ASSERT_NE(module, nullptr);
    // Byte-exact: the descriptions name the sections of plugin.ini.
    EXPECT_EQ(std::string(module->description), row.description);
    EXPECT_EQ(module->latencyMs, 25);
    EXPECT_EQ(module->delayMs, 25);
    EXPECT_EQ(module->spectrumChannels, 0);
    EXPECT_EQ(module->waveformChannels, 2);
    EXPECT_EQ(module->parentWindow, nullptr);
    EXPECT_EQ(module->dllInstance, nullptr);
    EXPECT_NE(module->config, nullptr);
    EXPECT_EQ(module->userData, nullptr);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < 576; ++i) {
            ASSERT_EQ(module->waveform[c][i], 0);
            ASSERT_EQ(module->spectrum[c][i], 0);
        }
}

TEST_P(ModuleFields, AllModulesShareTheAboutBox)
{
    EXPECT_EQ(plugin.module(GetParam().index)->config, plugin.module(0)->config);
}

INSTANTIATE_TEST_SUITE_P(Table, ModuleFields,
                         ::testing::Values(ModuleRow{0, "Analog VU meters - Velmora"},
                                           ModuleRow{1, "Z Ovi Zavoz"}));

// The About box, opened on a thread of its own as a host may do, found by its
// caption while this thread keeps the host window responsive.
struct AboutCall {
    VisModule *module;
    int result;
};

DWORD WINAPI callConfig(void *argument)
{
    auto *call = static_cast<AboutCall *>(argument);
    call->result = call->module->config(call->module);
    return 0;
}

std::vector<std::string> splitLines(const std::string &text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string::npos) return lines;
        start = end + 1;
    }
}

TEST_F(PluginInterface, AboutBoxShowsItsTextOwnedByTheHostWindow)
{
    HWND host = createHostWindow(300, 300, 275, 116);
    ASSERT_NE(host, nullptr);
    VisModule *module = plugin.module(1);
    module->parentWindow = host;

    ExpectedMessageBoxes expected;
    AboutCall call = {module, -1};
    HANDLE thread = CreateThread(nullptr, 0, callConfig, &call, 0, nullptr);
    SeenMessageBox box;
    ASSERT_TRUE(answerMessageBox("About Velmora's Vis Lib", thread, box));
    CloseHandle(thread);
    EXPECT_EQ(call.result, IDOK);
    EXPECT_EQ(box.owner, host);
    EXPECT_TRUE(box.onlyOk) << "OK is the only button";

    const std::vector<std::string> lines = splitLines(box.text);
    ASSERT_EQ(lines.size(), 13u) << box.text;
    EXPECT_EQ(lines[0], "V e l m o r a ' s   V i s   L i b   v . 0 . 0 2 (alpha)");
    EXPECT_EQ(lines[1], "");
    EXPECT_FALSE(lines[2].empty()) << "a credits line";
    EXPECT_NE(lines[2].find(VLVIS_VERSION), std::string::npos) << "credits carry the release";
    EXPECT_EQ(lines[3], "");
    EXPECT_EQ(lines[4].rfind("See ", 0), 0u);
    EXPECT_GT(lines[4].size(), std::strlen("See  for"));
    EXPECT_EQ(lines[4].substr(lines[4].size() - 4), " for");
    EXPECT_EQ(lines[5], " the lastest updates!");
    EXPECT_EQ(lines[6], "");
    EXPECT_EQ(lines[7], "VU Features: The VU meter correctly figures the power");
    EXPECT_EQ(lines[8], " of a wave (Calculus *is* your friend), and more-or-less");
    EXPECT_EQ(lines[9], " has the correct falloff values.");
    EXPECT_EQ(lines[10], " Let me know what you think about it!");
    EXPECT_EQ(lines[11], "");
    EXPECT_EQ(lines[12], "[There are no configuration options]");
    module->parentWindow = nullptr;
    DestroyWindow(host);
}

}  // namespace
