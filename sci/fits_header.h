// sci::FitsHeader: the header of a FITS file, read record by record up to the
// END card. It checks the mandatory keywords, sorts every card into one of ten
// lists by its class, derives the geometry of the data segment and answers
// keyword queries. Axes are numbered from 1 (NAXIS1 first, varying fastest in
// the data); offsets and lengths are in bytes from the start of the file.
#pragma once

#include <iosfwd>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "sci/fits_card.h"
#include "util/region.h"

namespace sci {

// Whether a header reader prints its warnings about rejected or deprecated
// cards on standard error (kPrint) or keeps them to itself (kQuiet).
enum class CardWarnings { kPrint, kQuiet };

class FitsHeader {
  public:
    using CardList = std::list<std::unique_ptr<FitsCard>>;

    // Reads the primary header of filename, parsing every card; warnings as
    // given. The same as FitsHeader(filename, warnings == kQuiet, false).
    // A file that starts like gzip data (bytes 1f 8b) is refused with "FITS
    // file not SIMPLE (the file is gzip-compressed: decompress it first, e.g.
    // with gunzip)" by every constructor that reads a primary header.
    explicit FitsHeader(std::string const& filename, CardWarnings warnings = CardWarnings::kPrint);
    // Reads the primary header of filename. quiet suppresses the warnings about
    // rejected or deprecated cards; allJunk stores every card after the
    // mandatory and NAXISn cards as junk without parsing it.
    FitsHeader(std::string const& filename, bool quiet, bool allJunk);
    // Reads the header that starts at byte offset (a multiple of 2880; a header
    // at any offset but 0 must start with XTENSION).
    FitsHeader(std::string const& filename, long offset, bool quiet, bool allJunk);
    virtual ~FitsHeader() = default;
    FitsHeader(FitsHeader const&) = delete;
    FitsHeader& operator=(FitsHeader const&) = delete;

    // A short printed summary: geometry and every card.
    virtual void describeSelf(std::ostream& out) const;

    bool isQuiet() const { return quiet_; }
    int getBitpix() const { return bitpix_; }
    int getBytpix() const { return bytpix_; }
    int getNaxis() const { return naxis_; }
    // NAXISi for 1 <= i <= NAXIS; throws "Request for unset NAXIS parameter".
    int getNaxis(int i) const;
    double getBscale() const { return bscale_; }
    double getBzero() const { return bzero_; }
    bool getExtend() const { return extend_; }
    int getPcount() const { return pcount_; }
    int getGcount() const { return gcount_; }
    long getDataOffset() const { return dataOffset_; }
    // Bytes of the data segment, (NAXIS1*...*NAXISn + PCOUNT) * bytpix * GCOUNT,
    // not rounded up to a full record.
    long getDataLength() const { return dataLength_; }

    // The region 1..NAXISi on every axis i.
    util::Region getFullRegion() const;
    // Throws "request for illegal region: ..." unless region has NAXIS
    // dimensions and 1 <= start <= end <= NAXISi on every axis.
    void testRegion(util::Region const& region) const;

    // The card of keyword (exactly 8 characters, blank padded), searched in the
    // mandatory, NAXIS, extension, array, other, user and junk lists in turn.
    FitsCard const& getValueCard(std::string const& keyword) const;
    // The same search; null when no list holds the keyword.
    FitsCard const* findValueCard(std::string const& keyword) const;
    std::string getString(std::string const& keyword) const;
    bool getBool(std::string const& keyword) const;
    long getInt(std::string const& keyword) const;
    double getFloat(std::string const& keyword) const;
    bool isFixed(std::string const& keyword) const;

    // The card object of one 80-character card image (a shorter text is blank
    // padded, a longer one cut), or null for a card that carries nothing.
    // Throws FitsException for a card that breaks the card grammar.
    static std::unique_ptr<FitsCard> parseCard(std::string const& card);
    // The comment in the text behind a value: empty for blanks, else the text
    // after '/' without surrounding blanks. Throws FitsException otherwise.
    static std::string getCardComment(std::string const& rest);

    // Card insertion; the header owns every card handed to it.
    void addValueCard(std::unique_ptr<FitsCard> card);
    void addCommentCard(std::unique_ptr<FitsCard> card);
    // A junk card from columns 1-8 and 9-80 of card.
    void addJunkCard(std::string const& card);

    // The ten card lists.
    CardList const& mandatoryCards() const { return mandatoryList_; }
    CardList const& naxisCards() const { return naxisList_; }
    CardList const& extensionCards() const { return extensionList_; }
    CardList const& otherCards() const { return otherList_; }
    CardList const& commentCards() const { return commentList_; }
    CardList const& historyCards() const { return historyList_; }
    CardList const& blankCards() const { return blankList_; }
    CardList const& arrayCards() const { return arrayList_; }
    CardList const& userCards() const { return userList_; }
    CardList const& junkCards() const { return junkList_; }

  protected:
    // Reads records from the current data offset up to the END record; the
    // offset is then the start of the data segment.
    void readHeader(std::string const& filename, bool allJunk);
    // Parses one 2880-byte record; returns 0 when it held END, else 2880.
    int parseRecord(std::string const& record, bool allJunk);
    // Parses SIMPLE/XTENSION, BITPIX and NAXIS and the NAXISn cards that
    // follow in the same record; returns the index of the next card.
    int parseMandatory(std::string const& record);
    // Appends NAXISn cards from index on until NAXIS of them are read or the
    // record ends; returns the index reached.
    int parseNaxis(std::string const& record, int index);
    // Checks the NAXISn cards and computes the axis lengths and data length.
    void checkNaxis();

  private:
    void init_(std::string const& filename, long offset, bool quiet, bool allJunk);
    void removeKeyword_(CardList& list, std::string const& keyword);
    void warn_(std::string const& text) const;

    bool quiet_ = false;
    int bitpix_ = FitsKnownList::BITPIX_CHAR;
    int bytpix_ = 1;
    int naxis_ = -1;
    std::vector<int> naxisValues_;
    bool extend_ = false;
    int pcount_ = 0;
    int gcount_ = 1;
    double bscale_ = 1.0;
    double bzero_ = 0.0;
    long dataOffset_ = 0;
    long dataLength_ = 0;
    std::string headerFile_;  // the file being read, for messages

    CardList mandatoryList_;
    CardList naxisList_;
    CardList extensionList_;
    CardList otherList_;
    CardList commentList_;
    CardList historyList_;
    CardList blankList_;
    CardList arrayList_;
    CardList userList_;
    CardList junkList_;
};

// True when filename holds a tile-compressed image: its primary header has
// ZIMAGE = T, or it has NAXIS = 0 and the header that follows it (the
// compressed image's table) has ZIMAGE = T. Reads both headers quietly and
// without parsing their other cards; false for a file that cannot be read so far.
bool isTileCompressed(std::string const& filename);

// " (the file is tile-compressed FITS: decompress it first)", the note that
// ends a message about such a file. (A gzip-compressed file is refused by the
// header reader itself: "FITS file not SIMPLE (the file is gzip-compressed:
// decompress it first, e.g. with gunzip)".)
std::string tileCompressedNote();

}  // namespace sci
