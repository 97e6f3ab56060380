#include "plugin/module_table.h"

#include "render/meter_copy.h"
#include "render/renderers.h"
#include "render/scope_trace.h"
#include "window/vis_window.h"

static int __cdecl init(VisModule *module);
static void __cdecl quit(VisModule *module);

// The descriptions double as section names in plugin.ini, so they must stay
// byte for byte as users' settings files already have them. Not static, so
// that the unstripped DLL's symbol table names the records.
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

// Each module's record beside the size of the frames it draws, in the
// order of the player's list.
static const struct {
    VisModule *record;
    FrameSize frame;
} modules[] = {
    {&vuModule, {vuFrameWidth, frameHeight}},
    {&scopeModule, {scopeFrameWidth, scopeFrameHeight}},
};
constexpr int moduleCount = sizeof modules / sizeof modules[0];

VisHeader visHeader = {
    visInterfaceVersion,
    "Velmora's Vis Lib v0.03 [alpha]",
    moduleByIndex,
};

VisModule *__cdecl moduleByIndex(int index)
{
    return index >= 0 && index < moduleCount ? modules[index].record : nullptr;
}

// The player hands back only the records of this table.
static FrameSize frameOf(const VisModule *module)
{
    for (const auto &entry : modules)
        if (entry.record == module) return entry.frame;
    return modules[moduleCount - 1].frame;
}

// Both modules share init and quit; the record the player passes tells
// which frame size to open the window with.
static int __cdecl init(VisModule *module)
{
    return openVisWindow(module, frameOf(module));
}

static void __cdecl quit(VisModule *module)
{
    closeVisWindow(module);
}
