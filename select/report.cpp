#include "select/report.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "fit/moffat.h"
#include "select/fates.h"
#include "select/star_cuts.h"
#include "util/version.h"

namespace selection {

std::vector<ReportColumn> const kReportColumns = {
    {"row", "int32", "", "catalogue row, from 1"},
    {"id", "int32", "", "catalogue id; the row with id_column 0; null with a negative id_column"},
    {"x", "float32", "pix", "x position, first pixel = 1"},
    {"y", "float32", "pix", "y position, first pixel = 1"},
    {"ra", "float32", "deg", "right ascension"},
    {"dec", "float32", "deg", "declination"},
    {"flux", "float32", "", "flux (from the magnitude with --mag)"},
    {"flag", "int32", "", "flags; null without --flag_column"},
    {"class_star", "float32", "", "stellarity; null without --class_column"},
    {"subfield_i", "int32", "", "subfield in x whose search reached the row furthest; 0 = none"},
    {"subfield_j", "int32", "", "subfield in y whose search reached the row furthest; 0 = none"},
    {"rank", "int32", "",
     "isolation rank among the subfield's candidates, 1 = most isolated; 0 = none"},
    {"neighbour_dist", "float32", "pix",
     "distance to the nearest neighbour; null for no candidate"},
    {"neighbour_flux", "float32", "", "flux of the nearest neighbour; null for no candidate"},
    {"fate", "string", "", "the first test that stopped the row, or selected"},
    {"fit_status", "int32", "",
     "0 = fitted; -2 fewer than 10 usable pixels, -3 FWHM out of range, -4 beta out of range, "
     "-5 centre outside the stamp, -6 amplitude uncertain; null when not fitted"},
    {"fwhm_x", "float32", "pix", "FWHM along the profile's axis nearest to x"},
    {"fwhm_y", "float32", "pix", "FWHM along the other axis"},
    {"fwhm", "float32", "pix", "mean of fwhm_x and fwhm_y"},
    {"axis_ratio", "float32", "", "smaller over larger FWHM"},
    {"angle", "float32", "deg", "of the first axis from x toward y, -45 to 45"},
    {"beta", "float32", "", "Moffat index"},
    {"amplitude", "float32", "", "peak of the fitted profile"},
    {"nchi", "float32", "", "normalised chi of the fit"},
    {"peak", "float32", "", "highest usable pixel of the stamp within the fitting disk"},
    {"background", "float32", "", "median of the usable pixels on the stamp's edge"},
    {"ellipticity", "float32", "", "1 - axis_ratio (--max_ellipticity)"},
    {"asymmetry", "float32", "",
     "the stamp less itself rotated by 180 degrees about the fitted centre, beyond 1 FWHM, "
     "against the star's flux (--max_asymmetry)"},
    {"flat_pixels", "int32", "",
     "usable pixels of the fitting disk within 3 % of the peak; 5 or more: a flat top "
     "(--max_peak)"},
    {"visit", "int32", "",
     "order of the visit in the subfield's search, 1 = first (the search visits in isolation "
     "order); 0 = not visited"},
};

namespace {

// The shortest decimal text that reads back as v; "nan" for every NaN.
template <class Real>
void appendReal(std::string& out, Real v) {
    if (std::isnan(v)) {
        out += "nan";
        return;
    }
    char text[64];
    auto const result = std::to_chars(text, text + sizeof text, v);
    out.append(text, result.ptr);
}

void appendInteger(std::string& out, long long v) {
    char text[32];
    auto const result = std::to_chars(text, text + sizeof text, v);
    out.append(text, result.ptr);
}

template <class Real>
std::string realText(Real v) {
    std::string s;
    appendReal(s, v);
    return s;
}

// The length of the UTF-8 sequence that starts text[k], 0 when it is not one.
size_t utf8Length(std::string const& text, size_t k) {
    auto const byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char const c = byte(k);
    size_t n = 0;
    if (c >= 0xC2 && c <= 0xDF)
        n = 2;
    else if (c >= 0xE0 && c <= 0xEF)
        n = 3;
    else if (c >= 0xF0 && c <= 0xF4)
        n = 4;
    if (n == 0 || k + n > text.size()) return 0;
    for (size_t i = 1; i < n; ++i)
        if ((byte(k + i) & 0xC0) != 0x80) return 0;
    // No overlong forms, no surrogates, nothing beyond U+10FFFF.
    if (c == 0xE0 && byte(k + 1) < 0xA0) return 0;
    if (c == 0xED && byte(k + 1) > 0x9F) return 0;
    if (c == 0xF0 && byte(k + 1) < 0x90) return 0;
    if (c == 0xF4 && byte(k + 1) > 0x8F) return 0;
    return n;
}

// An ECSV data field of text: quoted with '"' (doubled inside) when it holds
// a blank, a quote or nothing.
std::string dataText(std::string const& text) {
    if (!text.empty() && text.find_first_of(" \"") == std::string::npos) return text;
    std::string out = "\"";
    for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

// The YAML of a list of texts: a flow sequence of quoted scalars.
std::string yamlList(std::vector<std::string> const& items) {
    std::string out = "[";
    for (size_t k = 0; k < items.size(); ++k) out += (k ? ", " : "") + yamlQuoted(items[k]);
    return out + "]";
}

// "{key: n, ...}" of the funnel stages that P counts, from `from` on.
std::string funnelYaml(FateCounts const& c, bool withRowsRead, Fate from, Parameter const& P) {
    std::string out = "{";
    if (withRowsRead) out += std::string(kRowsReadKey) + ": " + std::to_string(c.rowsRead()) + ", ";
    for (int f = fateIndex(from); f < kFateCount; ++f)
        if (stageCounted(static_cast<Fate>(f), P))
            out += std::string(f > fateIndex(from) ? ", " : "") + kFateWords[f].stageKey + ": " +
                   std::to_string(c.stage(static_cast<Fate>(f)));
    return out + "}";
}

// The line "# " + text of the header.
void headerLine(std::ostream& os, std::string const& text) {
    os << "# " << text << "\n";
}

}  // namespace

std::string yamlQuoted(std::string const& text) {
    std::string out = "\"";
    for (size_t k = 0; k < text.size();) {
        unsigned char const c = static_cast<unsigned char>(text[k]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
            ++k;
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
            ++k;
        } else if (size_t const n = c >= 0x80 ? utf8Length(text, k) : 0; n > 0) {
            out.append(text, k, n);
            k += n;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
            ++k;
        }
    }
    return out + "\"";
}

RunContext runContext(int argc, char const* const* argv, ParameterOptions const& options) {
    RunContext context;
    for (int k = 0; k < argc; ++k) context.commandLine.push_back(argv[k]);
    for (auto const& option : options) {
        std::string const type = option->getTypeName();
        std::string yaml;
        if (type == "INT")
            yaml = std::to_string(option->getInt());
        else if (type == "FLAG")
            yaml = option->getBool() ? "true" : "false";
        else if (auto const* d = dynamic_cast<util::DoubleOption const*>(option.get()))
            yaml = realText(d->getDouble());
        else if (type == "INTARRAY" || type == "DOUBLEARRAY")
            yaml = "[" + option->toString() + "]";
        else
            yaml = yamlQuoted(option->toString());
        context.options.push_back(OptionValue{option->getName(), yaml});
    }
    return context;
}

void RunReport::addSubfield(int i, int j, PixelBox const& box, FateCounts const& funnel) {
    subfields_.push_back(Subfield{i, j, box, funnel});
}

void RunReport::write(std::ostream& os, Parameter const& P, RunContext const& context,
                      RunFiles const& files, FluxLimits const& limits, Catalogue const& cat,
                      CandidateScreen const& screen, SubfieldGrid const& grid,
                      RunRecord const& record) const {
    headerLine(os, "%ECSV 1.0");
    headerLine(os, "---");
    headerLine(os, "datatype:");
    for (ReportColumn const& c : kReportColumns) {
        std::string line = std::string("- {name: ") + c.name + ", datatype: " + c.datatype;
        if (*c.unit) line += std::string(", unit: ") + c.unit;
        line += std::string(", description: ") + yamlQuoted(c.description) + "}";
        headerLine(os, line);
    }
    headerLine(os, "meta:");
    headerLine(os, "  program: psfpick");
    headerLine(os, std::string("  version: ") + yamlQuoted(PSFPICK_VERSION));
    headerLine(os, "  command_line: " + yamlList(context.commandLine));
    headerLine(os, "  files:");
    headerLine(os, "    catalogue: " + yamlQuoted(files.catalogue));
    headerLine(os, "    variables: " + yamlQuoted(files.variables));
    headerLine(os, "    image: " + yamlQuoted(files.image));
    headerLine(os, "    error_image: " + yamlQuoted(files.errorImage));
    headerLine(os, "    arguments: " + yamlList(files.arguments));
    headerLine(os, "  options:");
    for (OptionValue const& o : context.options)
        headerLine(os, "    " + yamlQuoted(o.name) + ": " + o.yaml);
    headerLine(os, "  flux_limits: {lower: " + realText(limits.lower) + ", upper: " +
                       realText(limits.upper) + ", neighbour: " + realText(limits.neighbour) + "}");
    if (clips_ && (clips_->byFwhm() || clips_->byNchi())) {
        std::string text;
        auto spread = [&text](char const* key, RobustSpread const& r) {
            text += std::string(text.empty() ? "" : ", ") + key +
                    ": {median: " + realText(r.median) + ", sigma: " + realText(r.sigma) + "}";
        };
        if (clips_->byFwhm()) spread("fwhm", clips_->fwhm());
        if (clips_->byNchi()) spread("nchi", clips_->nchi());
        headerLine(os, "  clips: {" + text + "}");
    }
    headerLine(
        os, "  fates: " + [] {
            std::vector<std::string> names;
            for (FateWords const& w : kFateWords) names.push_back(w.fate);
            return yamlList(names);
        }());
    headerLine(os, "  funnel:");
    headerLine(os, "    total: " + funnelYaml(record.total(), true, Fate::kNotANumber, P));
    headerLine(os, subfields_.empty() ? "    subfields: []" : "    subfields:");
    for (Subfield const& s : subfields_) {
        std::string const box = "[" + std::to_string(s.box.x1) + ", " + std::to_string(s.box.x2) +
                                ", " + std::to_string(s.box.y1) + ", " + std::to_string(s.box.y2) +
                                "]";
        std::string funnel = funnelYaml(s.funnel, false, Fate::kOutsideField, P);
        funnel.insert(1, "i: " + std::to_string(s.i) + ", j: " + std::to_string(s.j) +
                             ", search_box: " + box + ", ");
        headerLine(os, "    - " + funnel);
    }
    headerLine(os, "schema: astropy-2.0");

    std::string line;
    for (size_t k = 0; k < kReportColumns.size(); ++k)
        line += std::string(k ? " " : "") + kReportColumns[k].name;
    os << line << "\n";

    std::string out;
    out.reserve(1 << 20);
    auto field = [&out](auto&& append) {
        out += ' ';
        append();
    };
    auto null = [&out] {
        out += ' ';
        out += kReportNull;
    };
    for (int row = 1; row <= cat.N; ++row) {
        appendInteger(out, row);
        if (P.id_column > 0)
            field([&] { appendInteger(out, cat.id(row)); });
        else if (P.id_column == 0)
            field([&] { appendInteger(out, row); });
        else
            null();
        for (float v : {cat.x(row), cat.y(row), cat.RA(row), cat.DEC(row), cat.flux(row)})
            field([&] { appendReal(out, v); });
        if (P.flag_column > 0 && row <= cat.flag.size())
            field([&] { appendInteger(out, cat.flag(row)); });
        else
            null();
        if (P.class_column > 0 && row <= cat.classStar.size())
            field([&] { appendReal(out, cat.classStar(row)); });
        else
            null();
        long long const sub = record.subfield(row);
        field([&] { appendInteger(out, sub < 0 ? 0 : sub / grid.ny() + 1); });
        field([&] { appendInteger(out, sub < 0 ? 0 : sub % grid.ny() + 1); });
        field([&] { appendInteger(out, record.rank(row)); });
        if (screen.isCandidate(row)) {
            field([&] { appendReal(out, screen.closestDist(row)); });
            field([&] { appendReal(out, screen.closestFlux(row)); });
        } else {
            null();
            null();
        }
        field([&] { out += dataText(fateWords(record.fate(row)).fate); });
        StarRecord const* star = record.measured(row);
        bool const fitted = star != nullptr && star->fitStatus <= fit::kMoffatOk;
        if (fitted)
            field([&] { appendInteger(out, star->fitStatus); });
        else
            null();
        // fwhm_x, fwhm_y, fwhm, axis_ratio, angle, beta, amplitude, nchi, peak, background,
        // ellipticity, asymmetry.
        constexpr float kNull = std::numeric_limits<float>::quiet_NaN();
        std::array<float, 12> measured;
        measured.fill(kNull);
        if (fitted && star->fitStatus == fit::kMoffatOk) {
            float const ratio =
                std::min(star->xfwhm, star->yfwhm) / std::max(star->xfwhm, star->yfwhm);
            measured = {star->xfwhm,
                        star->yfwhm,
                        star->fwhm,
                        ratio,
                        star->angle,
                        star->beta,
                        star->amplitude,
                        star->nchi,
                        kNull,
                        kNull,
                        static_cast<float>(ellipticity(*star)),
                        star->asymmetry};
        }
        if (fitted) {
            measured[8] = star->stamp.peak;
            measured[9] = star->stamp.background;
        }
        for (float v : measured) {
            if (std::isnan(v))
                null();
            else
                field([&] { appendReal(out, v); });
        }
        if (fitted)
            field([&] { appendInteger(out, star->stamp.flatPixels); });
        else
            null();
        bool const visited = record.fate(row) >= Fate::kNotStellar;
        field([&] { appendInteger(out, visited ? record.rank(row) : 0); });
        out += '\n';
        if (out.size() > (1u << 20) - 4096) {
            os << out;
            out.clear();
        }
    }
    os << out;
}

}  // namespace selection
