#pragma once
// Writing a file's whole content anew without ever losing the old one and without changing what
// the file is: its links, its mode, its owner where the process may keep it, and the user's
// protection. Only writers that replace a whole file use this (the favourites); the numbered files
// of files.h stay for line-by-line work.
//
// What a name stands for decides how it is written:
//   a plain file    -> the new content goes to "<name>.nuevo" beside it, made durable, and renamed
//                      over the file (a reader sees the old file or the new one, never a mix);
//   a symbolic link -> followed to the file it names, which is written as above: the link stays a
//                      link and its target gets the content;
//   a file with other hard links, or another user's file when not running as root
//                   -> written in place (a rename would part the names, or give the file to this
//                      process's user), after a whole copy of the old content has been made
//                      durable in "<name>.copia-XXXXXX" beside it; the copy goes only when the
//                      file holds a whole content again (the new one, or the old one put back);
//   a file the user may not write (no permission, or no write bit at all, which binds root too),
//   a folder, a device or a pipe -> left alone; the call fails.
// Every failure leaves the old file byte for byte as it was and no ".nuevo" behind. Names are
// texts, converted to UTF-8 for the system.
#include <string_view>

#include "services/text/text.h"

// Puts `content` in the file `name` (creating it when nothing has that name). Nonzero when the
// new content is on disk, 0 when nothing was changed.
int FileReplaceContent(const Text& name, std::string_view content);

// Empties the file `name` for good: a plain file (or a link's target) is deleted; a file with
// hard links is emptied in place, so that every name still shows one content. A missing file is
// no failure. The same refusals as FileReplaceContent; nonzero on success.
int FileDiscardContent(const Text& name);
