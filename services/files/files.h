#pragma once
// Numbered open files with a line interface, and whole-file writes and queries.
//
// Files hold raw Windows-1252 bytes; lines end at CR LF, LF or CR on reading, and at CR LF on
// writing; no byte-order mark is ever written. An operation on a number that is not open does
// nothing: FileReadLine gives "", FileAtEnd answers end, FileWriteLine writes 0 bytes. Names are
// texts converted to UTF-8 for the system; relative names are relative to the working directory.
#include <cstdint>
#include <string_view>

#include "services/text/text.h"

// Once, before any file is written: a write past the process's file-size limit (RLIMIT_FSIZE)
// then fails with EFBIG, as on a full disk, where the system's default would end the program
// (SIGXFSZ) halfway through writing a file.
void FileServicesInit();

int FileCreate(int number, const Text& name);        // truncates; nonzero on success
int FileOpenOrCreate(int number, const Text& name);  // keeps old content, position 0
int FileOpenRead(int number, const Text& name);      // reading only; nonzero on success
Text FileReadLine(int number);
int FileAtEnd(int number);                           // nonzero at the end
// The first line of `bytes`, taken off them as FileReadLine takes a line off a file: for text
// read whole, as a load reads the favourites (file_replace.h).
Text FileTakeLine(std::string_view& bytes);
std::int64_t FileWriteLine(int number, const Text& text);  // text, then CR LF
// Nonzero when every buffered byte reached the file and no read met an error (a read that fails
// looks like the end of the file to FileReadLine and FileAtEnd; this is where it shows).
int FileClose(int number);
void FileCloseAll();
std::int64_t FileSizeOf(const Text& name);  // -1 missing or empty name, -2 a folder
int FileDelete(const Text& name);
int FileCopy(const Text& source, const Text& target);

// Replaces the file with the bytes, opened as FileCreate opens it and written and closed as the
// numbered files are. A file that cannot be written whole (a full disk) is deleted, so it is
// either whole or absent. Nonzero on success. The downloads (services/webview) write with it.
int FileWriteWhole(const Text& name, std::string_view bytes);
