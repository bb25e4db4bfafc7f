#include "fuzz/fuzz_support.h"

#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>

namespace fuzzsupport {

MemoryFile::MemoryFile() {
    fd_ = memfd_create("psfpick-fuzz", MFD_CLOEXEC);
    if (fd_ < 0) throw std::runtime_error("memfd_create failed");
    path_ = "/proc/self/fd/" + std::to_string(fd_);
}

MemoryFile::~MemoryFile() {
    if (fd_ >= 0) close(fd_);
}

void MemoryFile::assign(uint8_t const* data, size_t size) {
    if (ftruncate(fd_, 0) != 0) throw std::runtime_error("ftruncate failed");
    size_t written = 0;
    while (written < size) {
        ssize_t const n = pwrite(fd_, data + written, size - written, static_cast<off_t>(written));
        if (n <= 0) throw std::runtime_error("pwrite failed");
        written += static_cast<size_t>(n);
    }
}

namespace {

std::string makeScratchDirectory() {
    std::string base = "/dev/shm";
    if (!std::filesystem::is_directory(base)) {
        char const* tmp = std::getenv("TMPDIR");
        base = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
    }
    std::string pattern = base + "/psfpick-fuzz-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    return pattern;
}

std::string* scratch = nullptr;

void removeScratch() {
    std::error_code ignored;
    if (scratch != nullptr) std::filesystem::remove_all(*scratch, ignored);
}

}  // namespace

std::string const& scratchDirectory() {
    if (scratch == nullptr) {
        scratch = new std::string(makeScratchDirectory());
        std::atexit(removeScratch);
    }
    return *scratch;
}

void writeBytes(std::string const& path, std::string const& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file) throw std::runtime_error("cannot write " + path);
}

void silenceStandardStreams() {
    static NullBuffer sink;
    std::cout.rdbuf(&sink);
    std::cerr.rdbuf(&sink);
}

std::vector<std::string> splitSections(std::string const& text, std::string const& separator,
                                       size_t maxParts) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (parts.size() + 1 < maxParts) {
        size_t const hit = text.find(separator, start);
        if (hit == std::string::npos) break;
        parts.push_back(text.substr(start, hit - start));
        start = hit + separator.size();
    }
    parts.push_back(text.substr(start));
    return parts;
}

}  // namespace fuzzsupport
