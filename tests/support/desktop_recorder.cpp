// The recorder's meta-object is made here, once, for every test that uses it.
#include "tests/support/desktop_recorder.h"
