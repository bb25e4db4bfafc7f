// Fuzz target: one FITS header card image through the card grammar
// (sci::FitsHeader::parseCard), then every query of the card it makes.
// A card that breaks the grammar must end in sci::FitsException (or the date
// errors it wraps); any other exception, a crash or a sanitizer report is a
// finding.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "fuzz/fuzz_support.h"
#include "sci/exceptions.h"
#include "sci/fits_card.h"
#include "sci/fits_header.h"

namespace {

// Runs one getter; a value of the wrong kind throws FitsException.
template <class F>
void query(F f) {
    try {
        f();
    } catch (sci::FitsException const&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The date parse warns about two-digit years on standard error.
    fuzzsupport::silenceStandardStreams();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
    std::string const text(reinterpret_cast<char const*>(data), size);
    try {
        std::unique_ptr<sci::FitsCard> const card = sci::FitsHeader::parseCard(text);
        if (card) {
            query([&] { (void)card->getString(); });
            query([&] { (void)card->getBool(); });
            query([&] { (void)card->getInt(); });
            query([&] { (void)card->getFloat(); });
            query([&] { (void)card->getComplex(); });
            (void)card->isJunk();
            (void)card->isReserved();
            std::unique_ptr<sci::FitsCard> const copy = card->clone();
            (void)copy->writeCard();
            (void)copy->toString();
        }
    } catch (sci::FitsException const&) {
    }
    try {
        (void)sci::FitsHeader::getCardComment(text);
    } catch (sci::FitsException const&) {
    }
    return 0;
}
