#include "platform/file_read.h"

#include <errno.h>
#include <fcntl.h>
#include <stdint.h>
#include <sys/stat.h>
#include <unistd.h>

// A descriptor travels as a handle offset by one, so that descriptor 0 is
// not taken for a failure.
static int DescriptorOf(void *file)
{
    return (int)((intptr_t)file - 1);
}

static void *OpenNativeFile(void *, const char *path)
{
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    struct stat info;
    // Windows cannot open a directory as a file; neither do we.
    if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        close(fd);
        return 0;
    }
    return (void *)((intptr_t)fd + 1);
}

static int QueryNativeFileSize(void *, void *file, uint64_t *size)
{
    struct stat info;
    if (fstat(DescriptorOf(file), &info) != 0 || info.st_size < 0)
        return 0;
    *size = (uint64_t)info.st_size;
    return 1;
}

static uint32_t ReadNativeFile(void *, void *file, void *buffer, uint32_t bytes)
{
    uint32_t done = 0;
    while (done < bytes) {
        ssize_t got = read(DescriptorOf(file), (char *)buffer + done, bytes - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += (uint32_t)got;
    }
    return done;
}

static void CloseNativeFile(void *, void *file)
{
    close(DescriptorOf(file));
}

static const FileReadService nativeFileReadService = {
    0, OpenNativeFile, QueryNativeFileSize, ReadNativeFile, CloseNativeFile,
};

const FileReadService *PlatformFileReadService(void)
{
    return &nativeFileReadService;
}
