// util::Region: an N-dimensional box of inclusive integer index ranges.
// Dimensions are numbered from 1; a range is kept exactly as set, so start may
// exceed end and lengths use the distance between them. Text form "[s1:e1,s2:e2]".
#pragma once

#include <string>
#include <vector>

namespace util {

class Region {
  public:
    explicit Region(unsigned long N);  // N dimensions, every start and end 0
    Region(Region const& other) = default;
    Region& operator=(Region const& other) = default;

    unsigned long dimensions() const { return start_.size(); }

    // d: dimension, 1..N; throws UException for any other d.
    int getStart(unsigned long d) const;
    int getEnd(unsigned long d) const;
    long getLength(unsigned long d) const;  // |end - start| + 1
    long getLength() const;                 // product over dimensions; 1 for N = 0

    void setRange(unsigned long d, int start, int end);
    // Copies every range of other; throws (changing nothing) when N differs.
    void setRegion(Region const& other);

    std::string toString() const;

  private:
    void checkGet_(unsigned long d) const;
    void checkSet_(unsigned long d) const;

    std::vector<int> start_;
    std::vector<int> end_;
};

}  // namespace util
