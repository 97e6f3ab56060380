#include "sound/files/playlist.h"

#include <cctype>

namespace {

// Whether text is lower but for the case of its letters.
bool sameIgnoringCase(const std::string &text, const std::string &lower)
{
    if (text.size() != lower.size()) return false;
    for (size_t i = 0; i < text.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != lower[i]) return false;
    return true;
}

bool endsWithIgnoringCase(const std::string &text, const std::string &ending)
{
    return text.size() >= ending.size() && sameIgnoringCase(text.substr(text.size() - ending.size()), ending);
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

// Where a URL's scheme ends ("://"), or npos when the line is none: a
// scheme is two or more letters, digits, '+', '-' or '.', so that a drive
// letter is not taken for one.
size_t schemeEnd(const std::string &line)
{
    const size_t colon = line.find("://");
    if (colon == std::string::npos || colon < 2 || !std::isalpha(static_cast<unsigned char>(line[0])))
        return std::string::npos;
    for (size_t i = 0; i < colon; ++i) {
        const unsigned char c = static_cast<unsigned char>(line[i]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return std::string::npos;
    }
    return colon;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// %XX escapes as the bytes they stand for; a '%' not followed by two hex
// digits stays as it is.
std::string percentDecoded(const std::string &text)
{
    std::string decoded;
    for (size_t i = 0; i < text.size(); ++i) {
        const int high = i + 2 < text.size() && text[i] == '%' ? hexValue(text[i + 1]) : -1;
        const int low = high >= 0 ? hexValue(text[i + 2]) : -1;
        if (low < 0) {
            decoded += text[i];
            continue;
        }
        decoded += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return decoded;
}

// The path a file:// URI names: file:///C:/x and file://localhost/C:/x are
// C:/x, file:///home/x is /home/x, file://server/share/x is //server/share/x.
std::string filePath(const std::string &afterScheme)
{
    const size_t slash = afterScheme.find('/');
    const std::string host = afterScheme.substr(0, slash);
    const std::string path = slash == std::string::npos ? std::string() : percentDecoded(afterScheme.substr(slash));
    const bool drive = path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[1])) && path[2] == ':';
    if (!host.empty() && host != "localhost") return "//" + percentDecoded(host) + path;
    return drive ? path.substr(1) : path;
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

std::vector<PlaylistEntry> playlistEntries(const std::string &text, const std::string &folder)
{
    std::vector<PlaylistEntry> entries;
    size_t at = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        size_t first = at, last = end;
        while (first < last && isSpace(text[first])) ++first;
        while (last > first && isSpace(text[last - 1])) --last;
        if (first < last && text[first] != '#') {
            const std::string line = text.substr(first, last - first);
            const size_t scheme = schemeEnd(line);
            if (scheme == std::string::npos)
                entries.push_back({isAbsolute(line) ? line : folder + line, true});
            else if (sameIgnoringCase(line.substr(0, scheme), "file")) {
                // One naming no path names no file: an empty path would
                // stand for the built-in program.
                const std::string path = filePath(line.substr(scheme + 3));
                entries.push_back({path.empty() ? line : path, !path.empty()});
            } else
                entries.push_back({line, false});
        }
        at = end + 1;
    }
    return entries;
}
