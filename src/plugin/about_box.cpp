#include "plugin/module_table.h"

// The version in line 1 lags the header's on purpose: users have long known
// the box by this exact text. Lines 3 and 5 are ours.
static const char aboutText[] =
    "V e l m o r a ' s   V i s   L i b   v . 0 . 0 2 (alpha)\n"
    "\n"
    "Plug-in release " VLVIS_VERSION ", written by Velmora\n"
    "\n"
    "See http://velmora.example.net/vis/ for\n"
    " the lastest updates!\n"
    "\n"
    "VU Features: The VU meter correctly figures the power\n"
    " of a wave (Calculus *is* your friend), and more-or-less\n"
    " has the correct falloff values.\n"
    " Let me know what you think about it!\n"
    "\n"
    "[There are no configuration options]";

int __cdecl config(VisModule *module)
{
    return MessageBoxA(module->parentWindow, aboutText, "About Velmora's Vis Lib", MB_OK);
}
