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

// The paths a playlist's text lists, in order: lines starting with # (the
// extended format's notes) and blank lines left out, a byte-order mark,
// either kind of line end and the spaces around a path taken off. A path
// that is not absolute (a drive, or a leading slash or backslash) is taken
// from folder, the playlist's own folder.
std::vector<std::string> playlistEntries(const std::string &text, const std::string &folder);
