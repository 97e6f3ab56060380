// The records the player and the plug-in share. The player is built
// separately, so in the 32-bit DLL every offset is fixed to the byte; the
// 64-bit build keeps the order with natural pointer sizes.
#pragma once

#include <windows.h>

#include <cstddef>

constexpr int visSampleCount = 576;
constexpr int visChannelRows = 2;

struct VisModule;

// Every entry point takes its own record and uses the C calling convention
// (the caller removes the argument).
using VisConfigFunction = int(__cdecl *)(VisModule *module);
using VisInitFunction = int(__cdecl *)(VisModule *module);
using VisRenderFunction = int(__cdecl *)(VisModule *module);
using VisQuitFunction = void(__cdecl *)(VisModule *module);

struct VisModule {
    const char *description;  // display name, also the settings section
    HWND parentWindow;        // written by the player
    HINSTANCE dllInstance;    // written by the player
    int sampleRate;           // written by the player, unused
    int channelCount;         // written by the player
    int latencyMs;
    int delayMs;
    int spectrumChannels;
    int waveformChannels;
    unsigned char spectrum[visChannelRows][visSampleCount];  // unused
    signed char waveform[visChannelRows][visSampleCount];
    VisConfigFunction config;
    VisInitFunction init;
    VisRenderFunction render;
    VisQuitFunction quit;
    void *userData;  // never used
};

using VisModuleLookup = VisModule *(__cdecl *)(int index);

struct VisHeader {
    int version;
    const char *description;
    VisModuleLookup moduleByIndex;
};

constexpr int visInterfaceVersion = 0x101;

static_assert(sizeof(int) == 4, "the records hold 32-bit integers");

#if defined(_WIN32) && !defined(_WIN64)
static_assert(offsetof(VisHeader, version) == 0);
static_assert(offsetof(VisHeader, description) == 4);
static_assert(offsetof(VisHeader, moduleByIndex) == 8);
static_assert(sizeof(VisHeader) == 12);

static_assert(offsetof(VisModule, description) == 0);
static_assert(offsetof(VisModule, parentWindow) == 4);
static_assert(offsetof(VisModule, dllInstance) == 8);
static_assert(offsetof(VisModule, sampleRate) == 12);
static_assert(offsetof(VisModule, channelCount) == 16);
static_assert(offsetof(VisModule, latencyMs) == 20);
static_assert(offsetof(VisModule, delayMs) == 24);
static_assert(offsetof(VisModule, spectrumChannels) == 28);
static_assert(offsetof(VisModule, waveformChannels) == 32);
static_assert(offsetof(VisModule, spectrum) == 36);
static_assert(offsetof(VisModule, waveform) == 1188);
static_assert(offsetof(VisModule, config) == 2340);
static_assert(offsetof(VisModule, init) == 2344);
static_assert(offsetof(VisModule, render) == 2348);
static_assert(offsetof(VisModule, quit) == 2352);
static_assert(offsetof(VisModule, userData) == 2356);
static_assert(sizeof(VisModule) == 2360);
#elif defined(_WIN64)
// The same order with 8-byte pointers and handles, as a 64-bit host expects.
static_assert(offsetof(VisModule, parentWindow) == 8);
static_assert(offsetof(VisModule, sampleRate) == 24);
static_assert(offsetof(VisModule, waveformChannels) == 44);
static_assert(offsetof(VisModule, spectrum) == 48);
static_assert(offsetof(VisModule, waveform) == 1200);
static_assert(offsetof(VisModule, config) == 2352);
static_assert(offsetof(VisModule, userData) == 2384);
static_assert(sizeof(VisModule) == 2392);
static_assert(sizeof(VisHeader) == 24);
#endif
