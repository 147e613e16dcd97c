#pragma once
// Writing a file's whole content anew without ever losing the old one and without changing what
// the file is: its links, its mode, its owner, its ACL and other extended attributes, and the
// user's protection. Only writers that replace a whole file use this (the favourites); the
// numbered files of files.h stay for line-by-line work.
//
// The name is opened by the kernel, as a load opens it, so a link the kernel refuses to follow
// (a link planted in a sticky, world-writable folder) is refused here too; the file it opened is
// then written as what it is:
//   a plain file    -> the new content goes to "<file>.nuevo-XXXXXX" beside it (a name of its own
//                      for every save, so two programs saving at once never share one), which
//                      gets the old file's owner, extended attributes (the ACL among them) and
//                      mode, is made durable and is renamed over the file: a reader sees the old
//                      file or the new one, never a mix. A link's target is replaced so, and the
//                      link stays a link;
//   a file with other hard links, another user's file when not running as root, a file whose
//   owner, group or attributes the new file could not be given, and a file that cannot be renamed
//   over (a single file mounted on its own: EBUSY, EXDEV)
//                   -> written in place, after a whole copy of the old content has been made
//                      durable in "<file>.copia-XXXXXX" beside it (written under a new file's
//                      name, it takes the copy's name only once whole and synced); the copy goes
//                      only when the file holds a whole content again (the new one, or the old
//                      one put back);
//   a file the user may write in a folder that takes no new file (the user may not write the
//   folder, or it is mounted read-only) -> written in place without a copy, in one write that
//                      pads a shorter content with spaces to the old length, synced, and only
//                      then cut to length: a program killed at any moment leaves the old content
//                      or the new one (perhaps with that blank tail, which a reader that trims
//                      lines does not see). Only a write of more than one page that a signal
//                      cuts inside the system call, or the machine losing power before the sync,
//                      can leave a mix there. A write that fails puts the old content back;
//   a file the user may not write (no permission, or no write bit at all, which binds root too),
//   a folder, a device or a pipe -> left alone; the call fails.
// One save of a file at a time: each holds the file's lock (flock) from before it reads the file
// until its new content is in place, and waits a little for another save to end, failing when
// it does not; a load takes the same lock. A save never starts on a file that a save cut short
// (the program killed) left behind: its kept copy is put back first, and the new files it left
// are removed. A save to a file that is not there removes the kept copies beside its name first:
// they hold an older list, which the next load would otherwise put back over this one.
//
// Every failure leaves the old file byte for byte as it was and no new file behind. Names are
// texts, converted to UTF-8 for the system.
#include <string>
#include <string_view>

#include "services/text/text.h"

// Puts `content` in the file `name` (creating it when nothing has that name). Nonzero when the
// new content is on disk, 0 when nothing was changed.
int FileReplaceContent(const Text& name, std::string_view content);

// Empties the file `name` for good: a plain file (or a link's target) is deleted; a file with
// hard links, or one that cannot be deleted because it is mounted on its own, is emptied in
// place, so that every name still shows one content. A missing file is no failure. The same
// refusals as FileReplaceContent; nonzero on success.
int FileDiscardContent(const Text& name);

// A load: the whole content of `name`, read under the lock the saves take, so that it is never
// half of a write in place. When a save of it was cut short and left its kept copy, the old
// content is put back from it first (the file may hold half of the new one) and what the save
// left is removed; `putBack` is then 1, so that the user can be told. A save still running in
// another program is waited for. 1 when `content` holds the file; 0 when nothing has that name
// (or a link leads to nothing); -1 when it could not be read: a folder or another kind of file,
// no permission, a link the kernel will not follow, a save that held it too long, or a copy
// that could not be put back.
int FileReadContent(const Text& name, std::string& content, int& putBack);
