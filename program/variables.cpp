#include "program/variables.h"

ProgramVariables program;

void ResetProgramVariables() { program = ProgramVariables{}; }
