#include "platform/executable_path.h"

#include <unistd.h>

int GetExecutablePath(char *buffer, uint32_t capacity)
{
    if (capacity == 0)
        return 0;
    ssize_t length = readlink("/proc/self/exe", buffer, capacity);
    // readlink does not terminate; a link that fills the buffer was cut short.
    if (length <= 0 || (size_t)length >= capacity)
        return 0;
    buffer[length] = '\0';
    return 1;
}

char ExecutablePathSeparator(void)
{
    return '/';
}
