#include "tools/kivra-dump/file_map.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

int MapFileForReading(const char *path, MappedFile *out)
{
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0 ||
        (uint64_t)info.st_size > 0xFFFFFFFFu) {
        close(fd);
        return 0;
    }
    out->size = (uint32_t)info.st_size;
    out->bytes = 0;
    out->mapping = 0;
    out->file = 0;
    if (out->size != 0) {
        void *view = mmap(0, out->size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (view == MAP_FAILED) {
            close(fd);
            return 0;
        }
        out->bytes = (const unsigned char *)view;
    }
    // The mapping keeps the file's pages; the descriptor is no longer needed.
    close(fd);
    return 1;
}

void UnmapFile(MappedFile *file)
{
    if (file->bytes != 0)
        munmap((void *)file->bytes, file->size);
    file->bytes = 0;
}
