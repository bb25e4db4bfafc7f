// psfpick-regions: a ds9 region file with a circle on every star of a psfpick
// output table, in image or fk5 coordinates.
#include <fstream>

#include "tools/ds9_regions.h"
#include "tools/file_names.h"
#include "tools/image_scale.h"
#include "tools/star_table.h"
#include "tools/tool_args.h"

namespace {

constexpr char kProgram[] = "psfpick-regions";

struct RegionCommand {
    std::string output;
    std::string system = "image";
    double radius = 10;
    std::optional<double> arcsec;
    std::string image;
    std::string ids = "auto";
    std::string color = "green";
    bool noLabels = false;
};

void run(RegionCommand& m, std::vector<std::string> const& rest) {
    tools::expectOperands(rest, 1, "no table given");
    tools::RegionStyle style;
    if (m.system == "image")
        style.system = tools::RegionSystem::kImage;
    else if (m.system == "fk5")
        style.system = tools::RegionSystem::kFk5;
    else
        throw tools::UsageError("option '--system' expects image or fk5, not '" + m.system + "'");
    tools::IdColumn const ids = tools::idColumnOption(m.ids);
    if (m.color.empty() || m.color.find_first_of(" \t#") != std::string::npos)
        throw tools::UsageError("option '--color' expects a ds9 colour name, not '" + m.color +
                                "'");
    style.color = m.color;
    style.labels = !m.noLabels;

    std::string const& path = rest[0];
    tools::StarTable const table = tools::readStarTable(path, ids);
    style.radius = m.radius;
    if (style.system == tools::RegionSystem::kFk5) {
        if (m.arcsec) {
            style.radius = *m.arcsec;
        } else {
            double const scale =
                m.image.empty() ? tools::tableScale(table) : tools::imagePixelScale(m.image);
            if (!(scale > 0))
                throw tools::ToolError("cannot tell the pixel scale of '" + path +
                                       "': give --arcsec or --image");
            style.radius = m.radius * scale;
        }
    }
    std::string const output = m.output.empty() ? tools::replaceExtension(path, ".reg") : m.output;
    std::ofstream out(output);
    if (!out) throw tools::cannotOpenForWriting(output);
    tools::writeRegions(out, table, style);
    out.close();
    if (!out) throw tools::cannotWrite(output);
}

}  // namespace

int main(int argc, char** argv) {
    RegionCommand m;
    tools::ArgParser parser(
        kProgram, "[options] TABLE",
        "Writes a ds9 region file with a circle on every star of a psfpick output table "
        "(with ids, running numbers, or no id column), to load over the image: "
        "ds9 image.fits -regions table.reg.");
    parser.addString("output", 'o', "FILE", "region file to write [table name with .reg]",
                     &m.output);
    parser.addString("system", 0, "SYS", "image (pixel positions) or fk5 (RA and DEC)", &m.system);
    parser.addDouble("radius", 'r', "PIX", "circle radius in pixels", &m.radius, 0.01, 1e5);
    parser.addOptionalDouble("arcsec", 0, "ARCSEC", "circle radius in arcseconds for fk5",
                             &m.arcsec, 1e-4, 1e6,
                             "radius times the pixel scale of --image or of the table");
    parser.addString("image", 0, "FITS", "image whose WCS gives the pixel scale for fk5", &m.image);
    parser.addString("ids", 0, "MODE", "first column is an id: auto (from the header), yes or no",
                     &m.ids);
    parser.addString("color", 0, "NAME", "ds9 colour of the circles", &m.color);
    parser.addFlag("no-labels", 0, "leave out the id labels", &m.noLabels);
    return tools::runTool(parser, argc, argv, [&](auto const& rest) { run(m, rest); });
}
