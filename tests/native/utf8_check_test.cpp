// A playlist is taken as UTF-8 only when it is strictly that; anything else
// is read in the system's code page, as older players wrote it.
#include "text/utf8_check.h"

#include <gtest/gtest.h>

namespace {

TEST(Utf8Check, TakesOnlyStrictUtf8)
{
    const struct {
        const char *bytes;
        bool utf8;
    } rows[] = {
        {"", true},
        {"plain.wav", true},
        {"\xEF\xBB\xBF" "Caf\xC3\xA9 \xE9\x9F\xB3 \xF0\x9F\x8E\xB5", true},
        {"\xF4\x8F\xBF\xBF", true},   // U+10FFFF
        {"caf\xE9.wav", false},       // Latin-1
        {"\xC0\xAF", false},          // '/' overlong
        {"\xE0\x80\xAF", false},      // and again
        {"\xED\xA0\x80", false},      // a surrogate half
        {"\xF4\x90\x80\x80", false},  // past U+10FFFF
        {"\xE2\x82", false},          // cut short
        {"\xE2\x82\x41", false},      // not a continuation byte
    };
    for (const auto &row : rows) EXPECT_EQ(isUtf8(row.bytes), row.utf8) << row.bytes;
}

}  // namespace
