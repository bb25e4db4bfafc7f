#include "sci/fits_header.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <exception>
#include <iostream>

#include "sci/exceptions.h"
#include "sci/fits_file.h"
#include "util/exception.h"
#include "util/string_factory.h"

namespace sci {

namespace {

using K = FitsKnownList;
using P = FitsPhysical_;

constexpr size_t kCardLength = P::CARD_LENGTH;
constexpr size_t kKeywordLength = P::KEYWORD_LENGTH;
constexpr int kRecordLength = P::RECORD_LENGTH;
// Byte index of the first card after SIMPLE/XTENSION, BITPIX and NAXIS.
constexpr int kAfterMandatory = 3 * P::CARD_LENGTH;
// Width of the positions in the "Header corrupted after END" message.
constexpr int kPositionWidth = 4;

std::string const kEndKeyword = K::KEY[K::END_ID].key;
std::string const kCommentKeyword = K::KEY[K::COMMENT_ID].key;
std::string const kHistoryKeyword = K::KEY[K::HISTORY_ID].key;
std::string const kBlankKeyword = K::KEY[K::BLANK_KEYWORD_ID].key;
std::string const kNaxisKeyword = "NAXIS   ";
std::string const kEquinoxKeyword = "EQUINOX ";

bool isBlank(std::string const& text) {
    return text.find_first_not_of(' ') == std::string::npos;
}

std::string const kNotSimple = "FITS file not SIMPLE";

// The two bytes that start every gzip stream (RFC 1952).
constexpr unsigned char kGzipMagic[] = {0x1f, 0x8b};

bool startsLikeGzip(std::string const& bytes) {
    return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == kGzipMagic[0] &&
           static_cast<unsigned char>(bytes[1]) == kGzipMagic[1];
}

std::string const kZimageKeyword = "ZIMAGE  ";

// True when header holds the card keyword = T. The header may keep the card
// as junk (read with allJunk): its text is parsed here on its own.
bool cardIsTrue(FitsHeader const& header, std::string const& keyword) {
    FitsCard const* card = header.findValueCard(keyword);
    if (card == nullptr) return false;
    try {
        std::unique_ptr<FitsCard> const parsed =
            card->isComment() ? FitsHeader::parseCard(keyword + card->getComment()) : nullptr;
        return (parsed ? *parsed : *card).getBool();
    } catch (FitsException const&) {
        return false;
    }
}

std::string endMissing(std::string const& filename) {
    return "FITS file '" + filename + "' ends before the END card";
}

// True when a card of the (possibly partial) record starts with END.
bool holdsEnd(std::string const& record) {
    for (size_t index = 0; index + 3 <= record.size(); index += kCardLength)
        if (record.compare(index, 3, kEndKeyword, 0, 3) == 0) {
            std::string card = record.substr(index, kCardLength);
            card.resize(kCardLength, ' ');
            if (card.compare(0, kKeywordLength, kEndKeyword) == 0) return true;
        }
    return false;
}

// Records mapped at a time while a file is searched for its END card.
constexpr long kRecordsPerScan = 64;

// True when some record of file from offset on (the last one possibly cut
// short) holds an END card. Reads through a window of the file, so that no
// memory grows with the file.
bool endFollows(ReadOnlyFile const& file, long offset) {
    FileWindow window;
    std::string record;
    for (; offset < file.size(); offset += kRecordLength) {
        long const available = std::min<long>(kRecordLength, file.size() - offset);
        if (!window.covers(offset, available))
            window.map(file, offset,
                       std::min<long>(kRecordsPerScan * kRecordLength, file.size() - offset));
        record.assign(reinterpret_cast<char const*>(window.at(offset)),
                      static_cast<size_t>(available));
        if (holdsEnd(record)) return true;
    }
    return false;
}

// a * b for non-negative a, b; false on overflow of long.
bool multiply(long a, long b, long& product) {
    return !__builtin_mul_overflow(a, b, &product);
}

}  // namespace

// ------------------------------------------------------------ construction

FitsHeader::FitsHeader(std::string const& filename, CardWarnings warnings)
    : FitsHeader(filename, warnings == CardWarnings::kQuiet, false) {}

FitsHeader::FitsHeader(std::string const& filename, bool quiet, bool allJunk) {
    init_(filename, 0, quiet, allJunk);
}

FitsHeader::FitsHeader(std::string const& filename, long offset, bool quiet, bool allJunk) {
    init_(filename, offset, quiet, allJunk);
}

void FitsHeader::init_(std::string const& filename, long offset, bool quiet, bool allJunk) {
    quiet_ = quiet;
    dataOffset_ = offset;
    headerFile_ = filename;
    readHeader(filename, allJunk);
}

void FitsHeader::warn_(std::string const& text) const {
    if (!quiet_) std::cerr << text;
}

// ----------------------------------------------------------------- reading

void FitsHeader::readHeader(std::string const& filename, bool allJunk) {
    ReadOnlyFile const file(filename);
    if (dataOffset_ < 0)
        throw FitsException("invalid header offset " + std::to_string(dataOffset_) +
                                " in FITS file '" + filename + "'",
                            filename);
    if (dataOffset_ >= file.size()) {
        // An empty file has no primary header at all.
        if (dataOffset_ == 0) throw FitsException(endMissing(filename), filename);
        throw FitsException("no further extensions");
    }
    long const firstRecord = dataOffset_;
    FileWindow window;
    std::string record;
    for (;;) {
        if (dataOffset_ >= file.size()) throw FitsException(endMissing(filename), filename);
        // The last record of a file cut short counts only when it holds the
        // END card; it is then padded with blanks.
        long const available = std::min<long>(kRecordLength, file.size() - dataOffset_);
        if (!window.covers(dataOffset_, available)) window.map(file, dataOffset_, available);
        record.assign(reinterpret_cast<char const*>(window.at(dataOffset_)),
                      static_cast<size_t>(available));
        // A compressed file is named as such rather than read as cards.
        if (dataOffset_ == 0 && startsLikeGzip(record))
            throw FitsException(kNotSimple +
                                " (the file is gzip-compressed: decompress it first, e.g. with "
                                "gunzip)");
        if (available < kRecordLength && !holdsEnd(record))
            throw FitsException(endMissing(filename), filename);
        record.resize(kRecordLength, ' ');
        int const consumed = parseRecord(record, allJunk);
        if (consumed == 0) {
            dataOffset_ += kRecordLength;
            break;
        }
        dataOffset_ += consumed;
        // After the first record (whose mandatory cards are checked first),
        // a file without any END card ahead is refused at once: reading on
        // would take the rest of the file, image data and all, card by card
        // into the junk list.
        if (dataOffset_ == firstRecord + kRecordLength && !endFollows(file, dataOffset_))
            throw FitsException(endMissing(filename), filename);
    }
    window.release();
    checkNaxis();
}

int FitsHeader::parseRecord(std::string const& record, bool allJunk) {
    int index = 0;
    if (naxis_ == -1)
        index = parseMandatory(record);
    else if (naxisList_.size() < static_cast<size_t>(naxis_))
        index = parseNaxis(record, 0);
    if (index >= kRecordLength) return index;

    for (; index < kRecordLength; index += P::CARD_LENGTH) {
        std::string const card = record.substr(static_cast<size_t>(index), kCardLength);
        if (card.compare(0, kKeywordLength, kEndKeyword) == 0) {
            if (allJunk) return 0;
            size_t const lastNonBlank = record.find_last_not_of(' ');
            // The D of END is the last non-blank byte of a clean END record.
            if (lastNonBlank == static_cast<size_t>(index) + 2) return 0;
            std::string text;
            try {
                text =
                    "Header corrupted after END\nEND: " +
                    util::StringFactory::toString(index, kPositionWidth) + ", non blank: " +
                    util::StringFactory::toString(static_cast<int>(lastNonBlank), kPositionWidth);
            } catch (util::StringException const& e) {
                text = std::string(
                           "Header corrupted after END\nand caught exception while parsing "
                           "exception: ") +
                       e.what();
            }
            throw FitsException(text);
        }
        if (allJunk) {
            addJunkCard(card);
            continue;
        }
        try {
            std::unique_ptr<FitsCard> parsed = parseCard(card);
            if (!parsed) continue;
            if (parsed->isJunk())
                junkList_.push_back(std::move(parsed));
            else if (parsed->isComment())
                addCommentCard(std::move(parsed));
            else
                addValueCard(std::move(parsed));
        } catch (FitsException const& e) {
            warn_(card + "\n" + e.what() + "\nAdding to junk list\n");
            addJunkCard(card);
        }
    }
    return kRecordLength;
}

int FitsHeader::parseMandatory(std::string const& record) {
    // Parse errors in these cards are not caught: they end the construction.
    std::unique_ptr<FitsCard> cards[3];
    for (int slot = 0; slot < 3; ++slot)
        cards[slot] =
            parseCard(record.substr(static_cast<size_t>(slot) * kCardLength, kCardLength));
    // A card that carries nothing (null) counts as missing. Every failure
    // leaves the mandatory list empty.
    FitsCard const* first = cards[0].get();
    if (dataOffset_ == 0) {
        if (first == nullptr || first->what_id() != K::SIMPLE_ID) throw FitsException(kNotSimple);
        if (!first->getBool()) throw FitsException(kNotSimple + " (SIMPLE not true)");
    } else if (first == nullptr || first->what_id() != K::XTENSION_ID) {
        throw FitsException("FITS extension does not start with XTENSION");
    }
    FitsCard const* bitpixCard = cards[1].get();
    if (bitpixCard == nullptr || bitpixCard->what_id() != K::BITPIX_ID)
        throw FitsException("FITS file has no BITPIX");
    // Tested as long, before narrowing, so that no large value wraps into a valid one.
    long const bitpix = bitpixCard->getInt();
    if (bitpix != K::BITPIX_CHAR && bitpix != K::BITPIX_SHORT && bitpix != K::BITPIX_INT &&
        bitpix != K::BITPIX_FLOAT && bitpix != K::BITPIX_DOUBLE)
        throw FitsException("FITS file has invalid BITPIX (not 8, 16, 32, -32 , -64)");
    FitsCard const* naxisCard = cards[2].get();
    if (naxisCard == nullptr || naxisCard->getKeyword() != kNaxisKeyword)
        throw FitsException("FITS file has no NAXIS");
    long const naxis = naxisCard->getInt();
    if (naxis < K::NAXIS_LO_LIMIT || naxis > K::NAXIS_HI_LIMIT)
        throw FitsException("FITS file has invalid NAXIS ( < 0 or > 999)");

    bitpix_ = static_cast<int>(bitpix);
    bytpix_ = std::abs(bitpix_) / 8;
    naxis_ = static_cast<int>(naxis);
    for (auto& card : cards) mandatoryList_.push_back(std::move(card));
    if (naxis_ == 0) return kAfterMandatory;
    return parseNaxis(record, kAfterMandatory);
}

int FitsHeader::parseNaxis(std::string const& record, int index) {
    while (naxisList_.size() < static_cast<size_t>(naxis_) && index < kRecordLength) {
        std::string const text = record.substr(static_cast<size_t>(index), kCardLength);
        // The header ends before all NAXISn cards were given.
        if (text.compare(0, kKeywordLength, kEndKeyword) == 0) {
            naxisList_.clear();
            throw FitsException("invalid NAXIS setting (NAXIS key missing)");
        }
        std::unique_ptr<FitsCard> card = parseCard(text);
        // A blank card is no NAXISn card: keep its place so that checkNaxis
        // reports the missing key.
        if (!card) card = std::make_unique<FitsJunkCard>(kBlankKeyword, std::string());
        naxisList_.push_back(std::move(card));
        index += P::CARD_LENGTH;
    }
    return index;
}

void FitsHeader::checkNaxis() {
    naxisValues_.clear();
    if (naxis_ < 1) {
        dataLength_ = 0;
        return;
    }
    auto fail = [this](std::string const& text, std::string const& file = std::string()) {
        naxisList_.clear();
        throw FitsException(text, file);
    };
    // Computed in 64 bits with overflow checks: no product may wrap.
    long elements = 1;
    long k = 1;
    for (auto const& card : naxisList_) {
        if (card->what_id() != K::NAXIS_ID) fail("invalid NAXIS setting (NAXIS key missing)");
        long const number = std::strtol(card->getKeyword().substr(5, 3).c_str(), nullptr, 10);
        if (number != k) fail("invalid NAXIS list (NAXIS keys missordered)");
        long const value = card->getInt();
        if (value < 1) fail("invalid or insane NAXIS setting (NAXIS negative or 0)");
        if (value > INT_MAX)
            fail("invalid or insane NAXIS setting (NAXIS" + std::to_string(k) + " above " +
                     std::to_string(INT_MAX) + ") in FITS file '" + headerFile_ + "'",
                 headerFile_);
        naxisValues_.push_back(static_cast<int>(value));
        if (!multiply(elements, value, elements))
            fail("data segment of FITS file '" + headerFile_ + "' is too large", headerFile_);
        ++k;
    }
    if (naxisValues_.size() != static_cast<size_t>(naxis_))
        fail("invalid NAXIS setting (NAXIS key missing)");
    long length = 0;
    if (__builtin_add_overflow(elements, static_cast<long>(pcount_), &length) ||
        !multiply(length, bytpix_, length) || !multiply(length, gcount_, length) ||
        __builtin_add_overflow(dataOffset_, length, &elements))
        fail("data segment of FITS file '" + headerFile_ + "' is too large", headerFile_);
    dataLength_ = length;
}

// ------------------------------------------------------------- card grammar

std::unique_ptr<FitsCard> FitsHeader::parseCard(std::string const& text) {
    std::string card = text.substr(0, kCardLength);
    card.resize(kCardLength, ' ');
    std::string const keyword = card.substr(0, kKeywordLength);
    std::string const rest = card.substr(kKeywordLength);  // columns 9-80

    // Blank keyword: commentary text, or nothing at all.
    if (isBlank(keyword)) {
        if (isBlank(rest)) return nullptr;
        return std::make_unique<FitsCommentCard>(keyword, rest);
    }
    // No value indicator "= " in columns 9-10.
    if (card.compare(kKeywordLength, 2, "= ") != 0) {
        if (keyword == kCommentKeyword || keyword == kHistoryKeyword) {
            size_t const start = rest.find_first_not_of(' ');
            if (start == std::string::npos) return nullptr;
            return std::make_unique<FitsCommentCard>(keyword, rest.substr(start));
        }
        return std::make_unique<FitsJunkCard>(keyword, rest);
    }
    size_t const v = card.find_first_not_of(' ', P::VALUE_MIN_START);
    if (v == std::string::npos) throw FitsException("value is undefined");

    if (card[v] == '\'') {
        // A string: find the closing quote; two quotes in a row stand for one.
        size_t q = card.find('\'', v + 1);
        for (;;) {
            if (q == std::string::npos) throw FitsException("closing quote of string is missing");
            if (q == kCardLength - 1 || card[q + 1] != '\'') break;
            size_t const next = q + 2;
            if (next >= kCardLength) throw FitsException("quote missmatch in string");
            q = card.find('\'', next);
        }
        size_t const start = v + 1;
        std::string value;
        bool fixed = false;
        if (q > start) {
            fixed = start == static_cast<size_t>(P::VALUE_MIN_START) + 1 &&
                    q >= static_cast<size_t>(P::FIXED_STRING_MIN_END);
            value = card.substr(start, q - start);
            size_t const last = value.find_last_not_of(' ');
            // A string of blanks only is one blank.
            value = last == std::string::npos ? std::string(" ") : value.substr(0, last + 1);
        }
        std::string comment = getCardComment(card.substr(q + 1));
        return std::make_unique<FitsStringCard>(keyword, value, fixed, comment);
    }
    if (card[v] == 'T' || card[v] == 'F') {
        bool const fixed = v == static_cast<size_t>(P::FIXED_VALUE_END) - 1;
        std::string const comment = getCardComment(card.substr(v + 1));
        return std::make_unique<FitsBoolCard>(keyword, card[v] == 'T', fixed, comment);
    }
    // A number, read twice from column 11 on: as an integer and as floating point.
    std::string const field = card.substr(P::VALUE_MIN_START);
    char const* begin = field.c_str();
    char* intEnd = nullptr;
    char* floatEnd = nullptr;
    long const intValue = std::strtol(begin, &intEnd, 10);
    double const floatValue = std::strtod(begin, &floatEnd);
    if (floatEnd == begin) {
        if (card.find('/', P::VALUE_MIN_START) != std::string::npos)
            return std::make_unique<FitsJunkCard>(keyword, rest);
        throw FitsException("neither value nor comment");
    }
    size_t const consumed = static_cast<size_t>(floatEnd - begin);
    bool const fixed = consumed == static_cast<size_t>(P::FIXED_VALUE_END - P::VALUE_MIN_START);
    std::string const comment = getCardComment(field.substr(consumed));
    if (intEnd == floatEnd) return std::make_unique<FitsIntCard>(keyword, intValue, fixed, comment);
    return std::make_unique<FitsFloatCard>(keyword, floatValue, fixed, comment);
}

std::string FitsHeader::getCardComment(std::string const& rest) {
    size_t const first = rest.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    if (rest[first] != '/') throw FitsException("neither comment nore blanks after value");
    size_t const start = rest.find_first_not_of(' ', first + 1);
    if (start == std::string::npos) return "";
    size_t const end = rest.find_last_not_of(' ');
    return rest.substr(start, end - start + 1);
}

// ---------------------------------------------------------- card insertion

void FitsHeader::removeKeyword_(CardList& list, std::string const& keyword) {
    list.remove_if([&keyword](std::unique_ptr<FitsCard> const& card) {
        return card->getKeyword() == keyword;
    });
}

void FitsHeader::addJunkCard(std::string const& card) {
    std::string text = card.substr(0, kCardLength);
    text.resize(kCardLength, ' ');
    junkList_.push_back(std::make_unique<FitsJunkCard>(text.substr(0, kKeywordLength),
                                                       text.substr(kKeywordLength)));
}

void FitsHeader::addValueCard(std::unique_ptr<FitsCard> card) {
    std::string const keyword = card->getKeyword();
    if (!card->isReserved()) {
        if (card->isJunk()) {
            junkList_.push_back(std::move(card));
            return;
        }
        removeKeyword_(junkList_, keyword);
        removeKeyword_(userList_, keyword);
        userList_.push_back(std::move(card));
        return;
    }
    if (card->isMandatory())
        throw FitsException("mandatory keywords may only be (re)set via constructor");
    if (card->isCommentary()) throw FitsException("commentary card, try addCommentCard()");

    if (card->isExtension()) {
        // The values are taken (and range-checked) before any list changes.
        int const id = card->what_id();
        if (id == K::PCOUNT_ID || id == K::GCOUNT_ID) {
            long const value = card->getInt();
            if (value < 0 || value > INT_MAX)
                throw FitsException("value of '" + keyword + "' is out of range");
            (id == K::PCOUNT_ID ? pcount_ : gcount_) = static_cast<int>(value);
        } else if (id == K::EXTEND_ID) {
            extend_ = card->getBool();
        }
        removeKeyword_(junkList_, keyword);
        removeKeyword_(extensionList_, keyword);
        if (id == K::EXTEND_ID)
            extensionList_.push_front(std::move(card));
        else
            extensionList_.push_back(std::move(card));
        return;
    }
    if (card->isArray()) {
        if (card->what_id() == K::BSCALE_ID) bscale_ = card->getFloat();
        if (card->what_id() == K::BZERO_ID) bzero_ = card->getFloat();
        removeKeyword_(junkList_, keyword);
        removeKeyword_(arrayList_, keyword);
        arrayList_.push_back(std::move(card));
        return;
    }
    // Date and other classes.
    removeKeyword_(junkList_, keyword);
    removeKeyword_(otherList_, keyword);
    if (card->isDate()) {
        otherList_.push_front(std::move(card));
        return;
    }
    if (card->what_id() == K::BLOCKED_ID)
        warn_("BLOCKED is deprecated, discarding card when writing\n");
    if (card->what_id() == K::EPOCH_ID) {
        bool const hasEquinox =
            std::any_of(otherList_.begin(), otherList_.end(),
                        [](auto const& other) { return other->getKeyword() == kEquinoxKeyword; });
        if (!hasEquinox) {
            otherList_.push_back(std::make_unique<FitsFloatCard>(
                kEquinoxKeyword, card->getFloat(), true, "taken from deprecated EPOCH keyword"));
            warn_("EPOCH is deprecated, renaming to EQUINOX when writing\n");
        } else {
            warn_("EPOCH is deprecated, discarding card when writing\n");
        }
    }
    otherList_.push_back(std::move(card));
}

void FitsHeader::addCommentCard(std::unique_ptr<FitsCard> card) {
    if (!card->isCommentary()) throw FitsException("no commentary card, try addValueCard()");
    switch (card->what_id()) {
        case K::COMMENT_ID:
            commentList_.push_back(std::move(card));
            break;
        case K::HISTORY_ID:
            historyList_.push_back(std::move(card));
            break;
        case K::BLANK_KEYWORD_ID:
            blankList_.push_back(std::move(card));
            break;
        default:
            throw FitsException("strange! got commentary but not COMMENT, HISTORY or blank");
    }
}

// ----------------------------------------------------------------- queries

int FitsHeader::getNaxis(int i) const {
    if (i < 1 || static_cast<size_t>(i) > naxisValues_.size())
        throw FitsException("Request for unset NAXIS parameter");
    return naxisValues_[static_cast<size_t>(i) - 1];
}

util::Region FitsHeader::getFullRegion() const {
    util::Region region(naxisValues_.size());
    for (size_t d = 1; d <= naxisValues_.size(); ++d) region.setRange(d, 1, naxisValues_[d - 1]);
    return region;
}

void FitsHeader::testRegion(util::Region const& region) const {
    bool legal = region.dimensions() == naxisValues_.size();
    for (size_t d = 1; legal && d <= naxisValues_.size(); ++d) {
        // A reversed range is no subarray either: it would be read beyond its end.
        legal = region.getStart(d) >= 1 && region.getStart(d) <= region.getEnd(d) &&
                region.getEnd(d) <= naxisValues_[d - 1];
    }
    if (!legal)
        throw FitsException("request for illegal region:\n" + region.toString() +
                            " is no subarray of " + getFullRegion().toString());
}

FitsCard const* FitsHeader::findValueCard(std::string const& keyword) const {
    for (CardList const* list : {&mandatoryList_, &naxisList_, &extensionList_, &arrayList_,
                                 &otherList_, &userList_, &junkList_}) {
        for (auto const& card : *list)
            if (card->getKeyword() == keyword) return card.get();
    }
    return nullptr;
}

FitsCard const& FitsHeader::getValueCard(std::string const& keyword) const {
    if (FitsCard const* card = findValueCard(keyword)) return *card;
    if (keyword == kCommentKeyword || keyword == kHistoryKeyword || keyword == kBlankKeyword)
        throw FitsException("use getComment or getHistory to read keyword '" + keyword + "'");
    throw FitsException("cannot find keyword '" + keyword + "'");
}

std::string FitsHeader::getString(std::string const& keyword) const {
    return getValueCard(keyword).getString();
}

bool FitsHeader::getBool(std::string const& keyword) const {
    return getValueCard(keyword).getBool();
}

long FitsHeader::getInt(std::string const& keyword) const {
    return getValueCard(keyword).getInt();
}

double FitsHeader::getFloat(std::string const& keyword) const {
    return getValueCard(keyword).getFloat();
}

bool FitsHeader::isFixed(std::string const& keyword) const {
    return getValueCard(keyword).isFixed();
}

void FitsHeader::describeSelf(std::ostream& out) const {
    out << "FITS header: BITPIX " << bitpix_ << ", NAXIS " << naxis_;
    for (size_t d = 0; d < naxisValues_.size(); ++d)
        out << (d == 0 ? " (" : " x ") << naxisValues_[d];
    if (!naxisValues_.empty()) out << ")";
    out << ", data at byte " << dataOffset_ << ", " << dataLength_ << " bytes\n";
    for (CardList const* list :
         {&mandatoryList_, &naxisList_, &extensionList_, &otherList_, &arrayList_, &userList_,
          &commentList_, &historyList_, &blankList_, &junkList_}) {
        for (auto const& card : *list) out << card->writeCard() << "\n";
    }
}

// --------------------------------------------------------- compressed files

bool isTileCompressed(std::string const& filename) {
    try {
        // Read as junk: no card beyond the mandatory ones is parsed (or warned about).
        FitsHeader const primary(filename, true, true);
        if (cardIsTrue(primary, kZimageKeyword)) return true;
        if (primary.getNaxis() != 0) return false;
        FitsHeader const extension(filename, primary.getDataOffset(), true, true);
        return cardIsTrue(extension, kZimageKeyword);
    } catch (std::exception const&) {
        return false;
    }
}

std::string tileCompressedNote() {
    return " (the file is tile-compressed FITS: decompress it first)";
}

}  // namespace sci
