#include "app/globals.h"

ProgramVariables program;

void ResetProgramVariables() { program = ProgramVariables{}; }
