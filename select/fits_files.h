// The FITS files of one selection run, each opened once. The run reads the
// header of its image for the projection, for its size, for the bad-pixel
// test and for the stamps; reading it once means that each of its warnings
// (a card the reader rejects, a deprecated keyword, an old date) is written
// once per file and run, where the first read of the file writes it.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "sci/fits_in.h"

namespace selection {

class FitsFiles {
  public:
    // The reader of the FITS file name: opened at the first request for name
    // (its header read, its warnings written) and the same reader at every
    // later one. A failure to open it is passed on as namingFile does
    // (select/file_errors.h); the next request tries again. The reader's
    // region is whatever its last user set: every user sets its own before
    // reading (select/stamps.h).
    sci::FitsIn& open(std::string const& name);

  private:
    std::map<std::string, std::unique_ptr<sci::FitsIn>> readers_;
};

}  // namespace selection
