// Cinevarta: look films up on IMDb and Culturalia. Everything lives in the library; the program
// only runs it.
#include "app/shell.h"

int main() { return RunProgram(); }
