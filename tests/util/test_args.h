// An argument vector as main receives it, built from texts, for tests of the
// command-line reader and the option parser. argv()[0] is the program name.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

class Args {
  public:
    Args(std::vector<std::string> tokens) : texts_(std::move(tokens)) {
        texts_.insert(texts_.begin(), "prog");
        for (auto& t : texts_) pointers_.push_back(t.data());
        pointers_.push_back(nullptr);
    }
    int argc() const { return static_cast<int>(texts_.size()); }
    char** argv() { return pointers_.data(); }

  private:
    std::vector<std::string> texts_;
    std::vector<char*> pointers_;
};

}  // namespace testsupport
