// Asking for the destination folder, browsing for one, creating one.
#ifndef ZELTRA_FLOW_FOLDER_PROMPTS_H
#define ZELTRA_FLOW_FOLDER_PROMPTS_H

#include <windows.h>

// The locate file name that the driver stores before the prompt ("a").
extern char g_szLocateFileName[256];

// DLG_GETDIR. 1 on OK (result holds the folder; it may be the same buffer as
// initial, of 512 characters), 0 on Cancel.
int PromptForFolder(HWND owner, HINSTANCE instance, const char *prompt,
                    const char *initial, char *result);

// The old-style Open dialog used as a folder picker. Non-zero on OK.
int LocateFolder(HWND owner, const char *fileName, const char *initial, char *result);

// Creates path and every missing parent; reports failures. Non-zero when the
// folder exists at the end. path is cut temporarily and restored.
int CreateFolderTree(char *path);

INT_PTR CALLBACK GetDirDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
UINT_PTR CALLBACK LocateHookProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

#endif
