#pragma once
// Replacing one file by another in a single step, for writers that must never leave a half
// written file under the real name: they write a new file beside the old one and rename it over
// the old one only when it is complete.
//
// FileRename first makes the new file's bytes durable, then renames it (an existing target is
// replaced at once, so a reader sees either the old file or the new one, never a mix), then makes
// the rename itself durable. Both names are texts, converted to UTF-8 for the system.
#include "services/text/text.h"

// Nonzero on success; on failure both files are left as they were.
int FileRename(const Text& from, const Text& to);
