#include "run/reporting.h"

#include <cstdio>

#include "text/exception_text.h"

void reportError(const std::string &text)
{
    std::fprintf(stderr, "vishost: %s\n", text.c_str());
    std::fflush(stderr);
}

void reportException(const char *where)
{
    std::fprintf(stderr, "vishost: %s stopped: %s\n", where, exceptionText());
    std::fflush(stderr);
}

void reportNote(const std::string &text)
{
    std::printf("vishost: %s\n", text.c_str());
    std::fflush(stdout);
}

void reportQueued(PlayQueue &queue)
{
    for (const std::string &error : queue.errors) reportError(error);
    for (const std::string &note : queue.notes) reportNote(note);
    queue.errors.clear();
    queue.notes.clear();
}
