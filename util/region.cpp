#include "util/region.h"

#include <cstdio>
#include <cstdlib>

#include "util/exception.h"

namespace util {

Region::Region(unsigned long N) : start_(N, 0), end_(N, 0) {}

void Region::checkGet_(unsigned long d) const {
    if (d == 0 || d > dimensions())
        throw UException("request for region parameter of illegal dimension");
}

void Region::checkSet_(unsigned long d) const {
    if (d == 0 || d > dimensions())
        throw UException("request to set region parameter of illegal dimension");
}

int Region::getStart(unsigned long d) const {
    checkGet_(d);
    return start_[d - 1];
}

int Region::getEnd(unsigned long d) const {
    checkGet_(d);
    return end_[d - 1];
}

long Region::getLength(unsigned long d) const {
    checkGet_(d);
    // Computed in 64 bits: the distance between two ints can exceed INT_MAX.
    return std::labs(static_cast<long>(end_[d - 1]) - static_cast<long>(start_[d - 1])) + 1;
}

long Region::getLength() const {
    long n = 1;
    for (unsigned long d = 1; d <= dimensions(); ++d) n *= getLength(d);
    return n;
}

void Region::setRange(unsigned long d, int start, int end) {
    checkSet_(d);
    start_[d - 1] = start;
    end_[d - 1] = end;
}

void Region::setRegion(Region const& other) {
    if (other.dimensions() != dimensions())
        throw UException("request to set region parameter of illegal dimension");
    start_ = other.start_;
    end_ = other.end_;
}

std::string Region::toString() const {
    std::string text = "[";
    char pair[32];
    for (unsigned long d = 0; d < dimensions(); ++d) {
        std::snprintf(pair, sizeof pair, "%d:%d", start_[d], end_[d]);
        if (d > 0) text += ",";
        text += pair;
    }
    return text + "]";
}

}  // namespace util
