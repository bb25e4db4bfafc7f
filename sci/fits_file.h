// Read-only access to the bytes of a FITS file: an open descriptor with the
// file's size, and page-aligned read-only mappings of byte ranges. A mapping
// never extends past the end of the file (touching such pages would raise
// SIGBUS), and both objects release what they hold on every way out.
// Offsets and lengths are in bytes from the start of the file.
#pragma once

#include <cstddef>
#include <string>

namespace sci {

// A file opened read-only. Throws FitsException "cannot open file '<name>'
// for reading" when it cannot be opened, and names the file when it is a
// directory or no regular file. Closed by the destructor.
class ReadOnlyFile {
  public:
    explicit ReadOnlyFile(std::string const& filename);
    ~ReadOnlyFile();
    ReadOnlyFile(ReadOnlyFile const&) = delete;
    ReadOnlyFile& operator=(ReadOnlyFile const&) = delete;

    int descriptor() const { return fd_; }
    long size() const { return size_; }
    std::string const& name() const { return name_; }

  private:
    std::string name_;
    int fd_ = -1;
    long size_ = 0;
};

// The system's page size in bytes.
long pageSize();

// A read-only private mapping of the bytes [offset, offset + length) of a
// file, starting at offset rounded down to a multiple of the page size.
// Unmapped by release() and by the destructor.
class FileWindow {
  public:
    FileWindow() = default;
    ~FileWindow() { release(); }
    FileWindow(FileWindow const&) = delete;
    FileWindow& operator=(FileWindow const&) = delete;

    // Maps the range, dropping any previous mapping. Throws FitsException when
    // the range is empty, negative or extends beyond the end of file, and
    // "cannot map file '<name>' for reading" when the system refuses.
    void map(ReadOnlyFile const& file, long offset, long length);
    void release();

    bool isMapped() const { return map_ != nullptr; }
    // True when [offset, offset + length) lies inside the mapping.
    bool covers(long offset, long length) const;
    // Address of the byte at file offset (inside the mapping).
    unsigned char const* at(long offset) const;
    long mapOffset() const { return mapOffset_; }
    size_t mapLength() const { return mapLength_; }
    unsigned char const* data() const { return map_; }

  private:
    unsigned char* map_ = nullptr;
    size_t mapLength_ = 0;
    long mapOffset_ = 0;
};

}  // namespace sci
