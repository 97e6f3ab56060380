#include "sound/playlist.h"

#include <cctype>

namespace {

bool endsWithIgnoringCase(const std::string &text, const std::string &ending)
{
    if (text.size() < ending.size()) return false;
    for (size_t i = 0; i < ending.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[text.size() - ending.size() + i])) != ending[i]) return false;
    return true;
}

bool isAbsolute(const std::string &path)
{
    const bool drive = path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]));
    return drive || path[0] == '\\' || path[0] == '/';
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

}  // namespace

bool isPlaylistPath(const std::string &path)
{
    return endsWithIgnoringCase(path, ".m3u") || endsWithIgnoringCase(path, ".m3u8");
}

std::string folderOf(const std::string &path)
{
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::vector<std::string> playlistEntries(const std::string &text, const std::string &folder)
{
    std::vector<std::string> entries;
    size_t at = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        size_t first = at, last = end;
        while (first < last && isSpace(text[first])) ++first;
        while (last > first && isSpace(text[last - 1])) --last;
        if (first < last && text[first] != '#') {
            const std::string path = text.substr(first, last - first);
            entries.push_back(isAbsolute(path) ? path : folder + path);
        }
        at = end + 1;
    }
    return entries;
}
