// The library's only export. It lives in the DLL target itself, not in the
// static plug-in library, so the module-definition file always finds it.
#include "plugin/module_table.h"

extern "C" VisHeader *__cdecl winampVisGetHeader(void)
{
    return &visHeader;
}
