#include "text/wide_text.h"

#include "text/utf8_check.h"

#include <windows.h>

namespace {

std::wstring widened(const std::string &text, UINT codePage, DWORD flags)
{
    if (text.empty()) return std::wstring();
    const int size = MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (size <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()), &wide[0], size);
    return wide;
}

}  // namespace

std::wstring wideText(const std::string &utf8)
{
    return widened(utf8, CP_UTF8, 0);
}

std::string utf8Text(const std::wstring &wide)
{
    if (wide.empty()) return std::string();
    const int length = static_cast<int>(wide.size());
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return std::string();
    std::string text(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, &text[0], size, nullptr, nullptr);
    return text;
}

std::string playlistTextAsUtf8(const std::string &bytes)
{
    if (isUtf8(bytes)) return bytes;
    return utf8Text(widened(bytes, CP_ACP, 0));
}
