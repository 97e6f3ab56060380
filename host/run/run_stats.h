// What --stats prints of a module's run.
#pragma once

#include "run/vis_run.h"

void printStats(const VisRun &run, const ModuleRun &current);
