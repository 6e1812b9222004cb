// Text files through KERNEL32 alone: the log and the product INI are written
// with CR LF line ends, as Windows text files have them.
#ifndef ZELTRA_SHELL_TEXTFILE_H
#define ZELTRA_SHELL_TEXTFILE_H

#include <windows.h>

#include <stddef.h>

// A file written through a small buffer. Any failed write makes the close
// report failure, so a full disk is never taken for a written file.
struct TextWriter {
    HANDLE file;
    DWORD used;
    bool failed;
    char buffer[512];
};

// Creates (or, with append, opens and goes to the end of) path.
bool OpenTextWriter(TextWriter *writer, const char *path, bool append);

void PutText(TextWriter *writer, const char *text, size_t length);

// Text with its line ends made CR LF (a CR LF pair stays one line end).
void PutLines(TextWriter *writer, const char *text);

// Writes what is buffered and closes. False when anything failed.
bool CloseTextWriter(TextWriter *writer);

// The whole file in a heap block with a terminating zero after its size
// bytes; NULL when it cannot be read. Free it with FreeFileText.
char *ReadWholeFile(const char *path, DWORD *size);
void FreeFileText(char *text);

#endif
