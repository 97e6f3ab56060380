// Playlists: .m3u and .m3u8 files, one path a line, read as UTF-8.
// Platform-free.
#pragma once

#include <string>
#include <vector>

// Whether the path names a playlist by its ending (.m3u or .m3u8, any case).
bool isPlaylistPath(const std::string &path);

// The folder part of a path, with its trailing separator; empty when the
// path has none.
std::string folderOf(const std::string &path);

// One line of a playlist: a file's path, or a URL naming no local file
// (http://..., say), as written.
struct PlaylistEntry {
    std::string path;
    bool local;
    bool operator==(const PlaylistEntry &other) const { return path == other.path && local == other.local; }
};

// The entries a playlist's text lists, in order: lines starting with # (the
// extended format's notes) and blank lines left out, a byte-order mark,
// either kind of line end and the spaces around a path taken off. A
// file:// URI is the file it names (percent-escapes decoded; a host other
// than localhost is a network share; one naming no path is no local file).
// A path that is not absolute (a drive, or a leading slash or backslash)
// is taken from folder, the playlist's own folder.
std::vector<PlaylistEntry> playlistEntries(const std::string &text, const std::string &folder);
