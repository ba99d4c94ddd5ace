#pragma once
// The file chooser and the opener of files. There is no file dialog of our own: the desktop's
// chooser (zenity, else kdialog) runs as a program; files are opened with xdg-open. Both go
// through the platform layer. Main thread only (the chooser is modal: the call waits for it).

namespace platform {
class Window;
}

// Bytes each out buffer of ShowFileDialog holds, terminator included.
constexpr int kFileDialogPathSize = 260;

// Lets the user pick a file to open (it must exist) or a name to save under (replacing an
// existing file is confirmed by the chooser). filter: pairs of zero-terminated texts,
// description then patterns separated by ';' ("Pictures\0*.bmp;*.jpg\0"), ended by an empty
// description; null for every file. title, descriptions: Windows-1251; initialFolder may be
// null (the current folder). owner is not used: the chooser is a separate program.
// On success the full path goes to outPath and the file's own name to outFileTitle (null
// buffers are skipped) and the result is true. False when the user cancelled or no chooser
// is installed; a chooser that failed, or a path too long for the buffers, is also told with
// the alert "Error: %lu".
bool ShowFileDialog(platform::Window* owner, char* outPath, const char* title,
                    const char* initialFolder, const char* filter, char* outFileTitle, bool save);

// Opens a file (or an address) with the desktop's program for it and returns at once; true
// when the opener was started.
bool OpenWithShell(const char* file);
