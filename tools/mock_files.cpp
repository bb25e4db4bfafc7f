#include "tools/mock_files.h"

#include <cstdio>

#include "select/image_names.h"
#include "tools/fits_image.h"
#include "tools/tool_args.h"

namespace tools {

namespace {

// A text file written through a buffer; throws ToolError naming the file.
class TextFile {
  public:
    explicit TextFile(std::string const& path) : path_(path), file_(std::fopen(path.c_str(), "w")) {
        if (!file_) throw cannotOpenForWriting(path);
    }
    ~TextFile() {
        if (file_) std::fclose(file_);
    }
    TextFile(TextFile const&) = delete;
    TextFile& operator=(TextFile const&) = delete;
    std::FILE* get() { return file_; }
    void close() {
        bool const failed = std::ferror(file_) != 0;
        int const rc = std::fclose(file_);
        file_ = nullptr;
        if (failed || rc != 0) throw cannotWrite(path_);
    }

  private:
    std::string path_;
    std::FILE* file_;
};

// One row per source: id, catalogue position, sky position, catalogue flux,
// flags and stellarity, after a header naming the columns.
void writeCatalogue(MockField const& f, std::string const& catPath) {
    TextFile cat(catPath);
    std::fprintf(cat.get(),
                 "#   1 NUMBER        Running object number\n"
                 "#   2 X_IMAGE       Object position along x [pixel]\n"
                 "#   3 Y_IMAGE       Object position along y [pixel]\n"
                 "#   4 ALPHA_J2000   Right ascension [deg]\n"
                 "#   5 DELTA_J2000   Declination [deg]\n"
                 "#   6 FLUX          Flux [ADU]\n"
                 "#   7 FLAGS         2 = close pair, 4 = saturated\n"
                 "#   8 CLASS_STAR    Stellarity\n");
    for (MockSource const& s : f.sources) {
        int const flags = (s.partner ? kFlagPair : 0) | (s.saturated ? kFlagSaturated : 0);
        std::fprintf(cat.get(), "%10ld %11.4f %11.4f %13.8f %+13.8f %14.3f %4d %6.3f\n", s.id,
                     s.catX, s.catY, s.ra, s.dec, s.catFlux, flags, s.classStar);
    }
    cat.close();
}

// One row per source as generated, after a header giving the run and the
// columns.
void writeTruth(MockField const& f, MockConfig const& c, std::string const& imagePath,
                std::string const& truthPath) {
    TextFile truth(truthPath);
    std::fprintf(truth.get(),
                 "# truth of %s: seed %llu, %ld x %ld pixels, %ld sources, beta %.4g\n"
                 "# fwhm1: along the axis nearest to x; fwhm2: across it; angle: of that axis "
                 "from x toward y, degrees, in [-45, 45]; fwhm = (fwhm1 + fwhm2) / 2\n"
                 "# id  x  y  flux  fwhm1  fwhm2  angle  fwhm  beta  peak  saturated  partner\n",
                 imagePath.c_str(), static_cast<unsigned long long>(c.seed), f.nx, f.ny,
                 static_cast<long>(f.sources.size()), c.beta);
    for (MockSource const& s : f.sources) {
        double f1 = 0, f2 = 0, a = 0;
        psfAxes(s.shape, f1, f2, a);
        std::fprintf(truth.get(), "%ld %.5f %.5f %.4f %.5f %.5f %.4f %.5f %.4f %.4f %d %ld\n", s.id,
                     s.x, s.y, s.flux, f1, f2, a, 0.5 * (f1 + f2), s.shape.beta, s.peak,
                     s.saturated ? 1 : 0, s.partner);
    }
    truth.close();
}

}  // namespace

void writeMockField(MockField const& f, MockConfig const& c, std::string const& path,
                    std::string const& catPath, std::string const& truthPath) {
    writeFloatFits(path, f.nx, f.ny, f.image.data(), f.headerCards);
    std::vector<std::string> errorCards = f.headerCards;
    errorCards.push_back(stringCard("IMAGETYP", "error", "per-pixel standard error, ADU"));
    writeFloatFits(selection::errorImageName(path), f.nx, f.ny, f.error.data(), errorCards);
    writeCatalogue(f, catPath);
    writeTruth(f, c, path, truthPath);
}

}  // namespace tools
