#include "shell/textfile.h"

bool OpenTextWriter(TextWriter *writer, const char *path, bool append)
{
    writer->used = 0;
    writer->failed = false;
    writer->file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, NULL,
                               append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (writer->file == INVALID_HANDLE_VALUE)
        return false;
    if (append && SetFilePointer(writer->file, 0, NULL, FILE_END) == INVALID_SET_FILE_POINTER
        && GetLastError() != NO_ERROR) {
        CloseHandle(writer->file);
        writer->file = INVALID_HANDLE_VALUE;
        return false;
    }
    return true;
}

static void Flush(TextWriter *writer)
{
    DWORD written = 0;
    if (writer->used && (!WriteFile(writer->file, writer->buffer, writer->used, &written, NULL)
                         || written != writer->used))
        writer->failed = true;
    writer->used = 0;
}

static void PutChar(TextWriter *writer, char c)
{
    if (writer->used == sizeof writer->buffer)
        Flush(writer);
    writer->buffer[writer->used++] = c;
}

void PutText(TextWriter *writer, const char *text, size_t length)
{
    for (size_t i = 0; i < length; ++i)
        PutChar(writer, text[i]);
}

void PutLines(TextWriter *writer, const char *text)
{
    for (const char *p = text; *p; ++p) {
        if (p[0] == '\r' && p[1] == '\n')
            continue;
        if (*p == '\n')
            PutChar(writer, '\r');
        PutChar(writer, *p);
    }
}

bool CloseTextWriter(TextWriter *writer)
{
    if (writer->file == INVALID_HANDLE_VALUE)
        return false;
    Flush(writer);
    if (!CloseHandle(writer->file))
        writer->failed = true;
    writer->file = INVALID_HANDLE_VALUE;
    return !writer->failed;
}

char *ReadWholeFile(const char *path, DWORD *size)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return NULL;
    DWORD length = GetFileSize(file, NULL);
    char *text = NULL;
    if (length != INVALID_FILE_SIZE && length < 0x10000000)
        text = static_cast<char *>(HeapAlloc(GetProcessHeap(), 0, length + 1));
    DWORD got = 0;
    if (text && (!ReadFile(file, text, length, &got, NULL) || got != length)) {
        HeapFree(GetProcessHeap(), 0, text);
        text = NULL;
    }
    CloseHandle(file);
    if (text) {
        text[length] = '\0';
        *size = length;
    }
    return text;
}

void FreeFileText(char *text)
{
    if (text)
        HeapFree(GetProcessHeap(), 0, text);
}
