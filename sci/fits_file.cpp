#include "sci/fits_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cassert>

#include "sci/exceptions.h"

namespace sci {

ReadOnlyFile::ReadOnlyFile(std::string const& filename) : name_(filename) {
    // O_NONBLOCK keeps the open of a named pipe from waiting for a writer
    // for ever; such a file is then refused as no regular file.
    fd_ = ::open(filename.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) throw FitsException("cannot open file '" + filename + "' for reading", filename);
    struct stat status {};
    if (::fstat(fd_, &status) != 0) {
        ::close(fd_);
        throw FitsException("cannot open file '" + filename + "' for reading", filename);
    }
    if (!S_ISREG(status.st_mode)) {
        ::close(fd_);
        if (S_ISDIR(status.st_mode))
            throw FitsException("cannot read FITS file '" + filename + "': it is a directory",
                                filename);
        throw FitsException("cannot read FITS file '" + filename + "': not a regular file",
                            filename);
    }
    size_ = static_cast<long>(status.st_size);
}

ReadOnlyFile::~ReadOnlyFile() {
    if (fd_ >= 0) ::close(fd_);
}

long pageSize() {
    static long const size = ::sysconf(_SC_PAGESIZE);
    return size;
}

void FileWindow::map(ReadOnlyFile const& file, long offset, long length) {
    release();
    if (offset < 0 || length <= 0 || offset > file.size() || length > file.size() - offset)
        throw FitsException("cannot map bytes " + std::to_string(offset) + " to " +
                                std::to_string(offset + length) + " of FITS file '" + file.name() +
                                "' (" + std::to_string(file.size()) + " bytes)",
                            file.name());
    long const start = offset - offset % pageSize();
    size_t const bytes = static_cast<size_t>(length + (offset - start));
    void* address = ::mmap(nullptr, bytes, PROT_READ, MAP_PRIVATE, file.descriptor(),
                           static_cast<off_t>(start));
    if (address == MAP_FAILED)
        throw FitsException("cannot map file '" + file.name() + "' for reading", file.name());
    map_ = static_cast<unsigned char*>(address);
    mapLength_ = bytes;
    mapOffset_ = start;
}

void FileWindow::release() {
    if (map_ != nullptr) ::munmap(map_, mapLength_);
    map_ = nullptr;
    mapLength_ = 0;
    mapOffset_ = 0;
}

bool FileWindow::covers(long offset, long length) const {
    return map_ != nullptr && offset >= mapOffset_ && length >= 0 &&
           static_cast<unsigned long>(offset - mapOffset_) + static_cast<unsigned long>(length) <=
               mapLength_;
}

unsigned char const* FileWindow::at(long offset) const {
    assert(covers(offset, 0));
    return map_ + (offset - mapOffset_);
}

}  // namespace sci
