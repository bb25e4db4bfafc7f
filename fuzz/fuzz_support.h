// Helpers shared by the libFuzzer targets of fuzz/: fuzzed bytes as files the
// readers can open by name, a stream that swallows everything, and the
// rule that decides which exceptions a target accepts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

namespace fuzzsupport {

// An in-memory file (memfd) holding given bytes, opened by the readers under
// the name "/proc/self/fd/<n>". The same object is reused for every input.
class MemoryFile {
  public:
    MemoryFile();
    ~MemoryFile();
    MemoryFile(MemoryFile const&) = delete;
    MemoryFile& operator=(MemoryFile const&) = delete;

    // Replaces the content with size bytes from data.
    void assign(uint8_t const* data, size_t size);
    void assign(std::string const& bytes) {
        assign(reinterpret_cast<uint8_t const*>(bytes.data()), bytes.size());
    }
    std::string const& path() const { return path_; }

  private:
    int fd_ = -1;
    std::string path_;
};

// A directory under /dev/shm (or $TMPDIR, or /tmp), made once per process
// and removed at exit, for targets whose files must sit side by side.
std::string const& scratchDirectory();

// Writes bytes to path, replacing the file.
void writeBytes(std::string const& path, std::string const& bytes);

// A stream buffer that accepts and drops every character.
class NullBuffer : public std::streambuf {
  protected:
    int overflow(int c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(char const*, std::streamsize n) override { return n; }
};

// An output stream on a NullBuffer.
class NullStream : public std::ostream {
  public:
    NullStream() : std::ostream(&buffer_) {}

  private:
    NullBuffer buffer_;
};

// Sends std::cout and std::cerr into a null buffer for the life of the
// process, so that the program's progress output does not slow a run down
// (libFuzzer writes its own reports to the file descriptor directly).
void silenceStandardStreams();

// Splits text at every occurrence of separator into at most maxParts parts
// (the last part takes the rest, separators included).
std::vector<std::string> splitSections(std::string const& text, std::string const& separator,
                                       size_t maxParts);

}  // namespace fuzzsupport
