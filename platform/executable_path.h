#pragma once
#include <stdint.h>

// Stores the full path of the running executable, NUL-terminated, in buffer
// (capacity bytes). Returns 0 when it cannot be had whole.
int GetExecutablePath(char *buffer, uint32_t capacity);

// The byte that separates directories in that path.
char ExecutablePathSeparator(void);
