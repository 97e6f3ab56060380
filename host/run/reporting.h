// What the host says to the user: one line each, prefixed with the
// program's name, errors to stderr and notes to stdout, in UTF-8.
#pragma once

#include <string>

#include "sound/files/play_queue.h"

// One line to stderr, prefixed with the program's name.
void reportError(const std::string &text);

// Inside a catch: one line to stderr saying that where stopped, and the
// exception's own message. Allocates nothing.
void reportException(const char *where);

// One line to stdout, prefixed alike.
void reportNote(const std::string &text);

// The queue's errors and notes, printed and cleared.
void reportQueued(PlayQueue &queue);
