// Playlists: which lines are files, and where a relative one lies.
#include "sound/files/playlist.h"

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
    std::vector<PlaylistEntry> files;
    for (const std::string &path : expected) files.push_back({path, true});
    EXPECT_EQ(playlistEntries(text, "Z:\\lists\\"), files);
}

// As other players write them: file:// URIs are the files they name, other
// URLs are no local files, named as they stand.
TEST(Playlist, FileUrisAreFilesAndOtherUrlsAreNot)
{
    const struct {
        const char *line;
        PlaylistEntry entry;
    } rows[] = {
        {"file:///C:/My%20Music/a%2Bb.mp3", {"C:/My Music/a+b.mp3", true}},
        {"FILE:///home/user/caf%C3%A9.flac", {"/home/user/caf\xC3\xA9.flac", true}},
        {"file://localhost/D:/x.ogg", {"D:/x.ogg", true}},
        {"file://server/share/100%25.wav", {"//server/share/100%.wav", true}},
        {"file:///tmp/50%.wav", {"/tmp/50%.wav", true}},  // a bare percent stays
        {"file://localhost", {"file://localhost", false}},  // no path: no file
        {"file://", {"file://", false}},
        {"http://radio.example/live", {"http://radio.example/live", false}},
        {"HTTPS://x.example/a.mp3", {"HTTPS://x.example/a.mp3", false}},
        {"C://odd/but/a/drive.mp3", {"C://odd/but/a/drive.mp3", true}},  // one letter: a drive, no scheme
        {"my-music+1.x://a.mp3", {"my-music+1.x://a.mp3", false}},
    };
    for (const auto &row : rows) {
        const std::vector<PlaylistEntry> entries = playlistEntries(row.line, "Z:\\l\\");
        ASSERT_EQ(entries.size(), 1u) << row.line;
        EXPECT_EQ(entries[0].path, row.entry.path) << row.line;
        EXPECT_EQ(entries[0].local, row.entry.local) << row.line;
    }
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
