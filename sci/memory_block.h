// Reference-counted element storage of sci::MArray: on the heap
// (sci::MemoryBlock) or in a memory-mapped file (sci::MemoryMapBlock).
// The program is single-threaded, so the counter is a plain integer.
#pragma once

#include <cstddef>
#include <string>

namespace sci {

// A plain reference counter (no lock: all arrays live in one thread).
class SynchronizedCounter {
  public:
    explicit SynchronizedCounter(int value = 0) : value_(value) {}
    int increment() { return ++value_; }
    int decrement() { return --value_; }
    int value() const { return value_; }

  private:
    int value_;
};

// Heap storage for n elements, zero-filled, with a reference counter that
// starts at 1. The last removeReference() destroys the block.
template <class T>
class MemoryBlock {
  public:
    explicit MemoryBlock(size_t n) : data_(new T[n]()), counter_(1) {}
    // Takes ownership of buffer, which was allocated with new T[].
    explicit MemoryBlock(T* buffer) : data_(buffer), counter_(1) {}
    virtual ~MemoryBlock() { delete[] data_; }
    MemoryBlock(MemoryBlock const&) = delete;
    MemoryBlock& operator=(MemoryBlock const&) = delete;

    T* data() const { return data_; }
    int references() const { return counter_.value(); }
    void addReference() { counter_.increment(); }
    void removeReference() {
        if (counter_.decrement() == 0) delete this;
    }

  protected:
    // For subclasses that provide their own storage.
    MemoryBlock(T* buffer, int references) : data_(buffer), counter_(references) {}
    T* data_;

  private:
    SynchronizedCounter counter_;
};

// Maps a file of n * sizeof(T) bytes shared read-write and keeps the array's
// elements in it. A named file is created if needed and kept afterwards; without
// a name a temporary file "./sci.XXXXXX" is created and removed with the block.
// Throws sci::RangeException when the file cannot be opened, sized, synced or mapped.
class MemoryMapFile {
  public:
    MemoryMapFile(size_t bytes, char const* filename);
    ~MemoryMapFile();
    MemoryMapFile(MemoryMapFile const&) = delete;
    MemoryMapFile& operator=(MemoryMapFile const&) = delete;

    void* address() const { return address_; }
    size_t bytes() const { return bytes_; }
    std::string const& filename() const { return filename_; }
    bool named() const { return named_; }

  private:
    void* address_ = nullptr;
    size_t bytes_ = 0;
    bool named_ = false;
    std::string filename_;
};

template <class T>
class MemoryMapBlock : public MemoryBlock<T> {
  public:
    MemoryMapBlock(size_t n, char const* filename)
        : MemoryBlock<T>(nullptr, 1), file_(n * sizeof(T), filename) {
        this->data_ = static_cast<T*>(file_.address());
    }
    ~MemoryMapBlock() override { this->data_ = nullptr; }

  private:
    MemoryMapFile file_;
};

}  // namespace sci
