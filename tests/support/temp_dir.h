// A fresh temporary directory for one test, removed with everything in it
// when the object goes out of scope.
#pragma once

#include <string>

namespace testsupport {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(TempDir const&) = delete;
    TempDir& operator=(TempDir const&) = delete;

    std::string const& path() const { return path_; }
    // path() + "/" + name
    std::string file(std::string const& name) const { return path_ + "/" + name; }
    // Writes text to file(name) and returns that path.
    std::string write(std::string const& name, std::string const& text) const;

  private:
    std::string path_;
};

// Whole content of a file; an unreadable file gives the empty string.
std::string readFile(std::string const& path);

}  // namespace testsupport
