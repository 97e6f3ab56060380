#include "plugin/module_table.h"

#include "render/renderers.h"
#include "window/vis_window.h"

// The descriptions double as section names in plugin.ini, so they must stay
// byte for byte as users' settings files already have them.
VisModule vuModule = {
    "Analog VU meters - Velmora",
    nullptr, nullptr, 0, 0,
    25, 25, 0, 2,
    {}, {},
    config, init, renderVuMeters, quit,
    nullptr,
};

VisModule scopeModule = {
    "Z Ovi Zavoz",
    nullptr, nullptr, 0, 0,
    25, 25, 0, 2,
    {}, {},
    config, init, renderScope, quit,
    nullptr,
};

VisHeader visHeader = {
    visInterfaceVersion,
    "Velmora's Vis Lib v0.03 [alpha]",
    moduleByIndex,
};

VisModule *__cdecl moduleByIndex(int index)
{
    switch (index) {
    case 0: return &vuModule;
    case 1: return &scopeModule;
    default: return nullptr;
    }
}
