#include "tests/support/window_test_support.h"
#include "tests/support/test_files.h"

#include "controls/binedit/binedit_window.h"
#include "controls/divider/divider_window.h"

#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

static int ClassExists(const char *name)
{
    WNDCLASSEXA existing;
    existing.cbSize = sizeof existing;
    return GetClassInfoExA(GetModuleHandleA(NULL), name, &existing) != 0;
}

int EnsureControlClasses(void)
{
    InitCommonControls();
    if (!ClassExists(DIVIDER_CLASS_NAME) && !RegisterDividerClass())
        return 0;
    if (!ClassExists(BINEDIT_CLASS_NAME) && !RegisterBinEditClass())
        return 0;
    return 1;
}

int EnsureTestClass(const char *name, WNDPROC procedure)
{
    if (ClassExists(name))
        return 1;
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.lpszClassName = name;
    return RegisterClassExA(&windowClass) != 0;
}

std::string TempFilePath(const char *name)
{
    char directory[MAX_PATH];
    GetTempPathA(MAX_PATH, directory);
    return std::string(directory) + name;
}

bool WriteFileBytes(const std::string &path, const std::vector<unsigned char> &bytes)
{
    return WriteTestFile(path, bytes.data(), bytes.size());
}

HGLOBAL MakeDrop(const std::vector<std::string> &paths)
{
    size_t listSize = 1;
    for (const std::string &path : paths)
        listSize += path.size() + 1;
    HGLOBAL drop = GlobalAlloc(GHND, sizeof(DROPFILES) + listSize);
    DROPFILES *files = (DROPFILES *)GlobalLock(drop);
    files->pFiles = sizeof(DROPFILES);
    files->fWide = FALSE;
    char *list = (char *)(files + 1);
    for (const std::string &path : paths) {
        memcpy(list, path.c_str(), path.size() + 1);
        list += path.size() + 1;
    }
    *list = '\0';
    GlobalUnlock(drop);
    return drop;
}

void MessageRecorder::Record(UINT message, WPARAM wParam, LPARAM lParam)
{
    messages.push_back({message, wParam, lParam});
}

void ExpectMessageSequence(const MessageRecorder &recorder, const ExpectedMessage *expected,
                           const char *context)
{
    size_t i = 0;
    for (; expected[i].message != 0; i++) {
        if (i == recorder.Count()) {
            ADD_FAILURE() << context << ": message " << i << " (0x" << std::hex
                          << expected[i].message << ") was not sent";
            return;
        }
        const RecordedMessage &got = recorder.At(i);
        const ExpectedMessage &want = expected[i];
        if (got.message != want.message) {
            ADD_FAILURE() << context << ": message " << i << " is 0x" << std::hex << got.message
                          << ", expected 0x" << want.message;
            return;
        }
        if ((want.check & CHECK_WPARAM) && got.wParam != want.wParam) {
            ADD_FAILURE() << context << ": message " << i << " (0x" << std::hex << got.message
                          << ") has wParam 0x" << got.wParam << ", expected 0x" << want.wParam;
            return;
        }
        if ((want.check & CHECK_LPARAM) && got.lParam != want.lParam) {
            ADD_FAILURE() << context << ": message " << i << " (0x" << std::hex << got.message
                          << ") has lParam 0x" << got.lParam << ", expected 0x" << want.lParam;
            return;
        }
    }
    if (i != recorder.Count()) {
        ADD_FAILURE() << context << ": " << recorder.Count() - i << " more message(s), the first 0x"
                      << std::hex << recorder.At(i).message;
    }
}
