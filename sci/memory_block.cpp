#include "sci/memory_block.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>

#include "sci/exceptions.h"

namespace sci {

MemoryMapFile::MemoryMapFile(size_t bytes, char const* filename) : bytes_(bytes) {
    int fd = -1;
    if (filename != nullptr) {
        named_ = true;
        filename_ = filename;
        fd = open(filename, O_RDWR | O_CREAT, 0666);
    } else {
        char pattern[] = "./sci.XXXXXX";
        fd = mkstemp(pattern);
        if (fd >= 0) filename_ = pattern;
    }
    if (fd < 0) throw RangeException("Cannot open memory map file.");

    auto fail = [&](char const* message) {
        close(fd);
        if (!named_) std::remove(filename_.c_str());
        throw RangeException(message);
    };
    if (bytes_ != 0) {
        if (ftruncate(fd, static_cast<off_t>(bytes_)) != 0)
            fail("Cannot set file size for map file");
        if (fsync(fd) != 0) fail("Cannot sync map file");
        void* address = mmap(nullptr, bytes_, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (address == MAP_FAILED) fail("Cannot map mapfile");
        address_ = address;
    }
    // The mapping stays valid without the descriptor.
    close(fd);
}

MemoryMapFile::~MemoryMapFile() {
    if (address_ != nullptr) munmap(address_, bytes_);
    if (!named_) std::remove(filename_.c_str());
}

}  // namespace sci
