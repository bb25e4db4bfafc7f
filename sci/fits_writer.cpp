#include "sci/fits_writer.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>

#include "sci/exceptions.h"
#include "sci/fits_bytes.h"
#include "sci/fits_card.h"

namespace sci {

namespace {

using K = FitsKnownList;
using P = FitsPhysical_;

// value rounded to the nearest integer, checked against [lo, hi].
long checkedInteger(double value, double lo, double hi, int bitpix) {
    double const rounded = std::nearbyint(value);
    if (!(rounded >= lo && rounded <= hi))
        throw FitsException("value " + std::to_string(value) + " cannot be stored with BITPIX " +
                            std::to_string(bitpix));
    return static_cast<long>(rounded);
}

void padTo(std::string& block, char fill) {
    block.append(fitsRecordPadding(block.size()), fill);
}

}  // namespace

std::string fitsKeyword(std::string const& name) {
    std::string keyword = name;
    if (keyword.size() < static_cast<size_t>(P::KEYWORD_LENGTH))
        keyword.resize(P::KEYWORD_LENGTH, ' ');
    return keyword;
}

std::string fitsRawCard(std::string const& text) {
    std::string card = text.substr(0, P::CARD_LENGTH);
    card.resize(P::CARD_LENGTH, ' ');
    return card;
}

std::vector<std::string> fitsImageCards(int bitpix, std::vector<long> const& naxes) {
    std::vector<std::string> cards;
    cards.push_back(FitsBoolCard("SIMPLE  ", true, true, "").writeCard());
    cards.push_back(FitsIntCard("BITPIX  ", bitpix, true, "").writeCard());
    cards.push_back(FitsIntCard("NAXIS   ", static_cast<long>(naxes.size()), true, "").writeCard());
    for (size_t i = 0; i < naxes.size(); ++i)
        cards.push_back(
            FitsIntCard(fitsKeyword("NAXIS" + std::to_string(i + 1)), naxes[i], true, "")
                .writeCard());
    return cards;
}

std::string fitsHeaderBlock(std::vector<std::string> const& cards, bool withEnd) {
    std::string block;
    for (std::string const& card : cards) block += fitsRawCard(card);
    if (withEnd) block += fitsRawCard(K::KEY[K::END_ID].key);
    padTo(block, ' ');
    return block;
}

std::string fitsDataBlock(std::vector<double> const& stored, int bitpix, bool pad) {
    std::string block;
    block.reserve(stored.size() * static_cast<size_t>(std::abs(bitpix) / 8));
    for (double const v : stored) {
        switch (bitpix) {
            case K::BITPIX_CHAR:
                appendBigEndian(block, static_cast<uint8_t>(checkedInteger(v, 0, 255, bitpix)));
                break;
            case K::BITPIX_SHORT:
                appendBigEndian(block, static_cast<uint16_t>(static_cast<int16_t>(
                                           checkedInteger(v, INT16_MIN, INT16_MAX, bitpix))));
                break;
            case K::BITPIX_INT:
                appendBigEndian(block, static_cast<uint32_t>(static_cast<int32_t>(
                                           checkedInteger(v, INT32_MIN, INT32_MAX, bitpix))));
                break;
            case K::BITPIX_FLOAT: {
                float const f = static_cast<float>(v);
                uint32_t bits = 0;
                std::memcpy(&bits, &f, sizeof bits);
                appendBigEndian(block, bits);
                break;
            }
            case K::BITPIX_DOUBLE: {
                uint64_t bits = 0;
                std::memcpy(&bits, &v, sizeof bits);
                appendBigEndian(block, bits);
                break;
            }
            default:
                throw FitsException("illegal BITPIX");
        }
    }
    if (pad) padTo(block, '\0');
    return block;
}

double fitsStoredValue(double physical, double bscale, double bzero) {
    return (physical - bzero) / bscale;
}

void writeFitsFile(std::string const& path, std::string const& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw FitsException("cannot open file '" + path + "' for writing");
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw FitsException("cannot write file '" + path + "'");
}

void writeFitsImage(std::string const& path, long nx, long ny, std::vector<double> const& pixels,
                    int bitpix, double bscale, double bzero,
                    std::vector<std::string> const& extraCards) {
    if (nx < 1 || ny < 1 || pixels.size() != static_cast<size_t>(nx) * static_cast<size_t>(ny))
        throw FitsException("image for '" + path + "' has " + std::to_string(pixels.size()) +
                            " pixels, not " + std::to_string(nx) + " x " + std::to_string(ny));
    std::vector<std::string> cards = fitsImageCards(bitpix, {nx, ny});
    if (bscale != 1.0 || bzero != 0.0) {
        cards.push_back(FitsFloatCard("BSCALE  ", bscale, true, "").writeCard());
        cards.push_back(FitsFloatCard("BZERO   ", bzero, true, "").writeCard());
    }
    cards.insert(cards.end(), extraCards.begin(), extraCards.end());
    std::vector<double> stored;
    stored.reserve(pixels.size());
    for (double const v : pixels) stored.push_back(fitsStoredValue(v, bscale, bzero));
    writeFitsFile(path, fitsHeaderBlock(cards) + fitsDataBlock(stored, bitpix));
}

void writeFitsImage(std::string const& path, MArray<float, 2> const& image, int bitpix,
                    double bscale, double bzero, std::vector<std::string> const& extraCards) {
    std::vector<double> pixels;
    pixels.reserve(static_cast<size_t>(image.size()));
    for (float const v : image) pixels.push_back(v);
    writeFitsImage(path, image.length(1), image.length(2), pixels, bitpix, bscale, bzero,
                   extraCards);
}

}  // namespace sci
