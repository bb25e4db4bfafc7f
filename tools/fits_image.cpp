#include "tools/fits_image.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "sci/fits_bytes.h"
#include "sci/fits_card.h"
#include "sci/fits_in.h"
#include "sci/fits_writer.h"
#include "tools/tool_args.h"

namespace tools {

namespace {

constexpr size_t kBlockPixels = 1 << 20;  // pixels converted per write

}  // namespace

FloatImage readFitsImage(std::string const& path) {
    sci::FitsIn in(path, sci::CardWarnings::kQuiet);
    if (in.getNaxis() != 2) throw ToolError("image '" + path + "' is not two-dimensional");
    // Checked before the buffer is allocated, so a damaged header cannot ask
    // for more memory than the file could fill.
    std::error_code ec;
    auto const bytes = std::filesystem::file_size(path, ec);
    if (ec || static_cast<unsigned long long>(in.getDataOffset()) +
                      static_cast<unsigned long long>(in.getDataLength()) >
                  bytes)
        throw ToolError("image '" + path + "' is shorter than its header says");
    FloatImage image;
    image.nx = in.getNaxis(1);
    image.ny = in.getNaxis(2);
    image.pixels.assign(static_cast<size_t>(image.nx) * static_cast<size_t>(image.ny), 0.0f);
    float* it = image.pixels.data();
    float* const end = it + image.pixels.size();
    if (!image.pixels.empty()) in.readDataArray(it, end);
    if (it != end) throw ToolError("image '" + path + "' holds fewer pixels than NAXIS1 x NAXIS2");
    return image;
}

std::vector<std::string> readWcsCards(std::string const& path) {
    sci::FitsHeader header(path, sci::CardWarnings::kQuiet);
    std::vector<std::string> keys;
    for (char const* base : {"CTYPE", "CRVAL", "CRPIX", "CDELT"})
        for (int i = 1; i <= 2; ++i) keys.push_back(base + std::to_string(i));
    for (char const* k : {"CD1_1", "CD1_2", "CD2_1", "CD2_2", "PC1_1", "PC1_2", "PC2_1", "PC2_2",
                          "CROTA2", "EQUINOX", "RADESYS", "RADECSYS"})
        keys.push_back(k);
    std::vector<std::string> cards;
    for (std::string const& k : keys)
        if (sci::FitsCard const* card = header.findValueCard(sci::fitsKeyword(k)))
            cards.push_back(card->writeCard());
    return cards;
}

std::string floatCard(std::string const& keyword, double value, std::string const& comment) {
    return sci::FitsFloatCard(sci::fitsKeyword(keyword), value, false, comment).writeCard();
}

std::string intCard(std::string const& keyword, long value, std::string const& comment) {
    return sci::FitsIntCard(sci::fitsKeyword(keyword), value, false, comment).writeCard();
}

std::string stringCard(std::string const& keyword, std::string const& value,
                       std::string const& comment) {
    return sci::FitsStringCard(sci::fitsKeyword(keyword), value, false, comment).writeCard();
}

void writeFloatFits(std::string const& path, long nx, long ny, float const* pixels,
                    std::vector<std::string> const& extraCards) {
    std::vector<std::string> cards = sci::fitsImageCards(-32, {nx, ny});
    cards.insert(cards.end(), extraCards.begin(), extraCards.end());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw cannotOpenForWriting(path);
    std::string const header = sci::fitsHeaderBlock(cards);
    out.write(header.data(), static_cast<std::streamsize>(header.size()));
    size_t const total = static_cast<size_t>(nx) * static_cast<size_t>(ny);
    std::vector<unsigned char> block;
    for (size_t first = 0; first < total; first += kBlockPixels) {
        size_t const count = std::min(kBlockPixels, total - first);
        block.resize(count * 4);
        for (size_t k = 0; k < count; ++k) {
            uint32_t bits = 0;
            std::memcpy(&bits, pixels + first + k, sizeof bits);
            sci::storeBigEndian(&block[4 * k], bits);
        }
        out.write(reinterpret_cast<char const*>(block.data()),
                  static_cast<std::streamsize>(block.size()));
    }
    std::string const zeros(sci::fitsRecordPadding(total * 4), '\0');
    out.write(zeros.data(), static_cast<std::streamsize>(zeros.size()));
    out.close();
    if (!out) throw cannotWrite(path);
}

}  // namespace tools
