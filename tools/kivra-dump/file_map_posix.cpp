#include "tools/kivra-dump/file_map.h"

#include <fcntl.h>
#include <stddef.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

FileMapResult MapFileForReading(const char *path, MappedFile *out)
{
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return FILE_NOT_MAPPED;
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0) {
        close(fd);
        return FILE_NOT_MAPPED;
    }
    out->size = (uint64_t)info.st_size;
    out->bytes = 0;
    out->mapping = 0;
    out->file = 0;
    if (out->size > (size_t)-1) {
        close(fd);
        return FILE_TOO_LARGE_TO_MAP;
    }
    if (out->size != 0) {
        void *view = mmap(0, (size_t)out->size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (view == MAP_FAILED) {
            close(fd);
            return FILE_NOT_MAPPED;
        }
        out->bytes = (const unsigned char *)view;
    }
    // The mapping keeps the file's pages; the descriptor is no longer needed.
    close(fd);
    return FILE_MAPPED;
}

void UnmapFile(MappedFile *file)
{
    if (file->bytes != 0)
        munmap((void *)file->bytes, (size_t)file->size);
    file->bytes = 0;
}
