// Feeds arbitrary bytes to the playlist reader as a playlist's text and as
// a path, checking what it makes of them against the text: every entry
// comes from a line of it, none from a note or a blank line.
#include "sound/files/playlist.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void require(bool condition)
{
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char *>(data), size);
    // The first line names the playlist; the rest is its text.
    const std::size_t newline = bytes.find('\n');
    const std::string path = bytes.substr(0, newline);
    const std::string text = newline == std::string::npos ? std::string() : bytes.substr(newline + 1);

    const std::string folder = folderOf(path);
    require(path.compare(0, folder.size(), folder) == 0);
    require(folder.empty() || folder.back() == '/' || folder.back() == '\\');
    require(path.find_first_of("\\/", folder.size()) == std::string::npos);
    const bool playlist = isPlaylistPath(path);
    require(!playlist || path.size() >= 4);

    std::size_t lines = 0;
    for (char c : text) lines += c == '\n';
    const std::vector<PlaylistEntry> entries = playlistEntries(text, folder);
    require(entries.size() <= lines + 1);
    for (const PlaylistEntry &entry : entries) {
        require(!entry.path.empty());
        // A URL naming no local file is a line as written.
        if (!entry.local) require(text.find(entry.path) != std::string::npos);
    }
    return 0;
}
