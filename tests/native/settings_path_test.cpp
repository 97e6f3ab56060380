// The settings path: "plugin.ini" beside the library, never longer than the
// 260-character buffers, and no path at all when the folder is unknown.
#include "settings/settings_path.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

constexpr char canary = '\x5a';

// Runs the builder on a name as the platform would deliver it, into a
// buffer followed by guard bytes that must stay untouched.
struct Built {
    int result;
    std::string path;
    bool guardIntact;
};

Built build(const std::string &name, std::size_t reportedLength)
{
    char fetched[settingsPathCapacity] = {};
    std::memcpy(fetched, name.data(), name.size() < settingsPathCapacity ? name.size() : settingsPathCapacity);
    char path[settingsPathCapacity + 16];
    std::memset(path, canary, sizeof path);
    Built built;
    built.result = buildSettingsPath(fetched, reportedLength, path);
    built.guardIntact = true;
    for (std::size_t i = settingsPathCapacity; i < sizeof path; ++i)
        if (path[i] != canary) built.guardIntact = false;
    path[settingsPathCapacity - 1] = '\0';
    built.path = path;
    return built;
}

Built build(const std::string &name) { return build(name, name.size()); }

struct PathCase {
    const char *name;
    const char *path;
};

class SettingsPath : public ::testing::TestWithParam<PathCase> {};

TEST_P(SettingsPath, ReplacesTheFileNameAfterTheLastBackslash)
{
    const Built built = build(GetParam().name);
    EXPECT_EQ(built.result, 0);
    EXPECT_EQ(built.path, GetParam().path);
    EXPECT_TRUE(built.guardIntact);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SettingsPath,
    ::testing::Values(PathCase{"C:\\Program Files\\Winamp\\Plugins\\vlvis003.dll",
                               "C:\\Program Files\\Winamp\\Plugins\\plugin.ini"},
                      PathCase{"C:\\vlvis003.dll", "C:\\plugin.ini"},
                      PathCase{"\\\\server\\share\\vis\\vlvis003.dll", "\\\\server\\share\\vis\\plugin.ini"},
                      PathCase{"C:\\odd.name\\with.dots", "C:\\odd.name\\plugin.ini"},
                      PathCase{"C:\\folder\\", "C:\\folder\\plugin.ini"},
                      // No backslash at all: just the file name.
                      PathCase{"vlvis003.dll", "plugin.ini"},
                      PathCase{"C:vlvis003.dll", "plugin.ini"},
                      // Only the backslash separates.
                      PathCase{"C:/Winamp/Plugins/vlvis003.dll", "plugin.ini"}));

std::string folderOfLength(std::size_t length)
{
    std::string folder = "C:\\";
    while (folder.size() + 1 < length) folder += 'd';
    return folder + "\\";
}

TEST(SettingsPath, LongestFolderThatStillFits)
{
    // 249 + "plugin.ini" = 259 characters, the most a 260-character buffer
    // holds with its terminator.
    const std::string folder = folderOfLength(249);
    ASSERT_EQ(folder.size(), 249u);
    const Built built = build(folder + "v.dll");
    EXPECT_EQ(built.result, 0);
    EXPECT_EQ(built.path, folder + "plugin.ini");
    EXPECT_EQ(built.path.size(), 259u);
    EXPECT_TRUE(built.guardIntact);
}

TEST(SettingsPath, FolderOneTooLongForThePathGivesNone)
{
    // A library name shorter than "plugin.ini" fits where the settings path
    // would not.
    const std::string folder = folderOfLength(250);
    const Built built = build(folder + "v.dll");
    EXPECT_EQ(built.result, 1);
    EXPECT_EQ(built.path, "");
    EXPECT_TRUE(built.guardIntact);
}

TEST(SettingsPath, LongestNameThatFitsStillWorks)
{
    const std::string folder = folderOfLength(200);
    std::string name = folder;
    while (name.size() < settingsPathCapacity - 1) name += 'n';
    ASSERT_EQ(name.size(), 259u);
    const Built built = build(name);
    EXPECT_EQ(built.result, 0);
    EXPECT_EQ(built.path, folder + "plugin.ini");
}

TEST(SettingsPath, NameCutShortByTheFetchGivesNone)
{
    // The platform reports the buffer's full size when it had to cut the
    // name; its last backslash may then be that of an ancestor folder.
    const std::string name = folderOfLength(150) + folderOfLength(150).substr(3) + "vlvis003.dll";
    ASSERT_GT(name.size(), settingsPathCapacity);
    const Built built = build(name.substr(0, settingsPathCapacity - 1), settingsPathCapacity);
    EXPECT_EQ(built.result, 1);
    EXPECT_EQ(built.path, "");
    EXPECT_TRUE(built.guardIntact);
}

TEST(SettingsPath, FailedFetchGivesNone)
{
    const Built built = build("", 0);
    EXPECT_EQ(built.result, 1);
    EXPECT_EQ(built.path, "");
}

}  // namespace
