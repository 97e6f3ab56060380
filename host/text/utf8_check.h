// Whether bytes are UTF-8 as the system's strict conversion takes it:
// shortest forms only, no surrogate halves, nothing past U+10FFFF.
// Platform-free.
#pragma once

#include <string>

bool isUtf8(const std::string &bytes);
