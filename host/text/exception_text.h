// What an exception being handled says, for the one line the user gets.
#pragma once

#include <exception>
#include <new>

// Call only inside a catch. Allocates nothing (memory may be what ran out);
// the text lives as long as the exception being handled.
inline const char *exceptionText()
{
    try {
        throw;
    } catch (const std::bad_alloc &) {
        return "out of memory";
    } catch (const std::exception &error) {
        return error.what();
    } catch (...) {
        return "an exception of unknown kind";
    }
}
