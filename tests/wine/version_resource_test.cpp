// The version resource, read the way Windows reads it for the file's
// properties: through version.dll, from the built DLL on disk.
#include "wine_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct VersionInfo {
    std::string bytes;
    bool read = false;
};

VersionInfo readVersionInfo(const std::string &path)
{
    VersionInfo info;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0) return info;
    info.bytes.resize(size);
    info.read = GetFileVersionInfoA(path.c_str(), 0, size, info.bytes.data()) != 0;
    return info;
}

// Null when the entry is missing.
const void *query(VersionInfo &info, const std::string &entry, UINT *length)
{
    void *value = nullptr;
    *length = 0;
    if (!VerQueryValueA(info.bytes.data(), entry.c_str(), &value, length)) return nullptr;
    return value;
}

class VersionResource : public ::testing::Test {
protected:
    static void SetUpTestSuite() { info = readVersionInfo(exeFolder() + "vlvis003.dll"); }
    static VersionInfo info;
};
VersionInfo VersionResource::info;

TEST_F(VersionResource, FixedPartCarriesTheProjectVersion)
{
    ASSERT_TRUE(info.read) << "no version resource in vlvis003.dll, error " << GetLastError();
    UINT length = 0;
    auto *fixed = static_cast<const VS_FIXEDFILEINFO *>(query(info, "\\", &length));
    ASSERT_NE(fixed, nullptr);
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    const DWORD high = (VLVIS_VERSION_MAJOR << 16) | VLVIS_VERSION_MINOR;
    const DWORD low = VLVIS_VERSION_PATCH << 16;
    EXPECT_EQ(fixed->dwFileVersionMS, high);
    EXPECT_EQ(fixed->dwFileVersionLS, low);
    EXPECT_EQ(fixed->dwProductVersionMS, high);
    EXPECT_EQ(fixed->dwProductVersionLS, low);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS_NT_WINDOWS32));
    EXPECT_EQ(fixed->dwFileFlags & fixed->dwFileFlagsMask, 0u) << "neither debug nor pre-release";
}

TEST_F(VersionResource, OneTranslationUsEnglishUnicode)
{
    ASSERT_TRUE(info.read);
    UINT length = 0;
    auto *translation = static_cast<const WORD *>(query(info, "\\VarFileInfo\\Translation", &length));
    ASSERT_NE(translation, nullptr);
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 1200);
}

struct StringRow {
    const char *key;
    const char *expected;  // null: any non-empty text
};

class VersionStrings : public VersionResource, public ::testing::WithParamInterface<StringRow> {};

TEST_P(VersionStrings, Present)
{
    ASSERT_TRUE(info.read);
    const StringRow &row = GetParam();
    UINT length = 0;
    auto *text = static_cast<const char *>(
        query(info, std::string("\\StringFileInfo\\040904B0\\") + row.key, &length));
    ASSERT_NE(text, nullptr) << row.key << " missing";
    if (row.expected)
        EXPECT_STREQ(text, row.expected) << row.key;
    else
        EXPECT_GT(std::string(text).size(), 0u) << row.key << " is empty";
}

INSTANTIATE_TEST_SUITE_P(
    Keys, VersionStrings,
    ::testing::Values(StringRow{"FileVersion", VLVIS_VERSION}, StringRow{"ProductVersion", VLVIS_VERSION},
                      StringRow{"OriginalFilename", "vlvis003.dll"}, StringRow{"InternalName", "vlvis003"},
                      StringRow{"ProductName", "Velmora's Vis Lib"}, StringRow{"FileDescription", nullptr},
                      StringRow{"CompanyName", nullptr}, StringRow{"LegalCopyright", nullptr}),
    [](const ::testing::TestParamInfo<StringRow> &row) { return std::string(row.param.key); });

}  // namespace
