#pragma once

// Shared by both heap implementations: returns 1 when the next allocation
// is to fail because a test asked for it.
int HeapShouldFail(void);
