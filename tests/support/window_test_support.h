#pragma once
// Shared by the window tests: class registration, files in the temporary
// directory, a dropped-file list, and a message recorder checked against
// tables of expected messages.
#include <windows.h>

#include <string>
#include <vector>

// Registers the divider and binary view classes (and initialises the common
// controls) unless this test program already has them. Returns 1 when both
// classes exist.
int EnsureControlClasses(void);

// Registers a class of the test's own windows (a parent, an owner) unless
// one of that name exists. Returns 1 when it exists.
int EnsureTestClass(const char *name, WNDPROC procedure);

std::string TempFilePath(const char *name);
bool WriteFileBytes(const std::string &path, const std::vector<unsigned char> &bytes);

// A WM_DROPFILES handle naming paths (ANSI), as the shell makes it; the
// receiver frees it with DragFinish.
HGLOBAL MakeDrop(const std::vector<std::string> &paths);

// What a window procedure saw, in order.
struct RecordedMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// Which parameters an expected message compares; the message always is.
enum { CHECK_WPARAM = 1, CHECK_LPARAM = 2, CHECK_BOTH = CHECK_WPARAM | CHECK_LPARAM };

// One line of a table of expected messages; a table ends with {}.
struct ExpectedMessage {
    UINT message;
    unsigned check;
    WPARAM wParam;
    LPARAM lParam;
};

class MessageRecorder {
public:
    void Record(UINT message, WPARAM wParam, LPARAM lParam);
    void Clear() { messages.clear(); }
    size_t Count() const { return messages.size(); }
    const RecordedMessage &At(size_t i) const { return messages[i]; }

private:
    std::vector<RecordedMessage> messages;
};

// Fails the running test, naming context and the first difference, unless
// the recorder holds exactly the table's messages in order.
void ExpectMessageSequence(const MessageRecorder &recorder, const ExpectedMessage *expected,
                           const char *context);
