// The host keeps every name and message as UTF-8 and speaks to the system
// in UTF-16, so that a name outside the system's code page survives from
// the command line or a playlist to the file and back to the user.
#pragma once

#include <string>

// UTF-8 to the system's wide strings, and back.
std::wstring wideText(const std::string &utf8);
std::string utf8Text(const std::wstring &wide);

// A playlist's text as UTF-8: as it stands when it is valid UTF-8, else
// read in the system's code page, as older players wrote it.
std::string playlistTextAsUtf8(const std::string &bytes);
