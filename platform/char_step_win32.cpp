#include "platform/char_step.h"

#include <windows.h>

const char *CharStepPlatform(const char *p)
{
    return CharNextA(p);
}
