// Playlists: which lines are files, and where a relative one lies.
#include "sound/playlist.h"

#include <gtest/gtest.h>

namespace {

TEST(Playlist, ListsItsFilesFromItsOwnFolder)
{
    const std::string text =
        "\xEF\xBB\xBF#EXTM3U\r\n"
        "#EXTINF:123,Artist - Title\r\n"
        "one.mp3\r\n"
        "\r\n"
        "   \t\r\n"
        "  sub\\two.flac  \r\n"
        "C:\\music\\three.ogg\n"
        "\\\\server\\share\\four.wav\n"
        "/home/user/five.mp3\n"
        "caf\xC3\xA9.mp3";  // the last line without an end
    const std::vector<std::string> expected = {
        "Z:\\lists\\one.mp3",      "Z:\\lists\\sub\\two.flac", "C:\\music\\three.ogg",
        "\\\\server\\share\\four.wav", "/home/user/five.mp3", "Z:\\lists\\caf\xC3\xA9.mp3",
    };
    EXPECT_EQ(playlistEntries(text, "Z:\\lists\\"), expected);
}

TEST(Playlist, EmptyOrOnlyNotesListsNothing)
{
    EXPECT_TRUE(playlistEntries("", "x\\").empty());
    EXPECT_TRUE(playlistEntries("\xEF\xBB\xBF", "x\\").empty());
    EXPECT_TRUE(playlistEntries("#EXTM3U\n#EXTINF:1,a\n\n", "x\\").empty());
}

TEST(Playlist, IsKnownByItsEndingAndHasAFolder)
{
    const struct {
        const char *path;
        bool playlist;
        const char *folder;
    } rows[] = {
        {"a.m3u", true, ""},          {"dir/b.M3U8", true, "dir/"},    {"c:\\x\\y.m3u8", true, "c:\\x\\"},
        {"m3u", false, ""},           {"song.mp3", false, ""},         {"list.m3u.mp3", false, ""},
        {"Z:\\a b\\c.wav", false, "Z:\\a b\\"},
    };
    for (const auto &row : rows) {
        EXPECT_EQ(isPlaylistPath(row.path), row.playlist) << row.path;
        EXPECT_EQ(folderOf(row.path), row.folder) << row.path;
    }
}

}  // namespace
