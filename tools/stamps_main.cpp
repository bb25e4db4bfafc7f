// psfpick-stamps: a PNG of a psfpick selection, the field with the selected
// stars circled and the subfield grid, beside a contact sheet of their stamps.
#include <iostream>

#include "tools/canvas.h"
#include "tools/file_names.h"
#include "tools/fits_image.h"
#include "tools/stamp_view.h"
#include "tools/star_table.h"
#include "tools/tool_args.h"

namespace {

constexpr char kProgram[] = "psfpick-stamps";

struct StampCommand {
    std::string output;
    std::vector<long> nfields{1, 1};
    long border = 0;
    long boxlen = 12;
    long maxSide = 1024;
    long maxStamps = 400;
    std::vector<double> percentiles{1.0, 99.8};
    double radius = 10;
    std::string ids = "auto";
    bool noLabels = false;
};

void run(StampCommand& m, std::vector<std::string> const& rest) {
    tools::expectOperands(rest, 2, "expected a table and an image");
    if (m.percentiles[0] >= m.percentiles[1])
        throw tools::UsageError("option '--percentiles' needs LOW below HIGH");
    tools::IdColumn const ids = tools::idColumnOption(m.ids);

    std::string const& tablePath = rest[0];
    std::string const& imagePath = rest[1];
    tools::StarTable const table = tools::readStarTable(tablePath, ids);
    tools::FloatImage const image = tools::readFitsImage(imagePath);

    tools::ViewOptions o;
    o.nfieldsX = m.nfields[0];
    o.nfieldsY = m.nfields[1];
    o.border = m.border;
    o.stampHalf = static_cast<int>(m.boxlen);
    o.maxOverview = static_cast<int>(m.maxSide);
    o.maxStamps = static_cast<int>(m.maxStamps);
    o.loPct = m.percentiles[0];
    o.hiPct = m.percentiles[1];
    o.circleRadius = m.radius;
    o.labels = !m.noLabels;
    size_t const slash = imagePath.rfind('/');
    o.title = slash == std::string::npos ? imagePath : imagePath.substr(slash + 1);
    tools::Canvas const canvas = tools::renderView(image, table, o);
    std::string const output =
        m.output.empty() ? tools::replaceExtension(tablePath, ".png") : m.output;
    tools::writePng(output, canvas);
    std::cout << "wrote " << output << " (" << canvas.width() << " x " << canvas.height()
              << " pixels, " << table.rows.size() << " stars)\n";
}

}  // namespace

int main(int argc, char** argv) {
    StampCommand m;
    tools::ArgParser parser(
        kProgram, "[options] TABLE IMAGE",
        "Draws a PNG of a psfpick selection: on the left the image at an asinh stretch "
        "between two percentiles (downsampled when large, enlarged when small) with the "
        "selected stars of TABLE circled and the subfield grid of --nfields and --border "
        "drawn as psfpick cuts the field; on the right a contact sheet of the stars' stamps, "
        "each stretched on its own, with ticks at the table position.");
    parser.addString("output", 'o', "PNG", "picture to write [table name with .png]", &m.output);
    parser.addIntList("nfields", 0, "NX,NY", "subfield grid of the psfpick run", &m.nfields, 2, 1,
                      1000);
    parser.addInt("border", 'b', "PIX", "border of the psfpick run", &m.border, 0, 1000000);
    parser.addInt("boxlen", 0, "PIX", "stamp half side (psfpick's boxlen)", &m.boxlen, 1, 50);
    parser.addInt("max-size", 0, "PIX", "longest side of the field overview", &m.maxSide, 64, 8192);
    parser.addInt("max-stamps", 0, "N", "stamps on the contact sheet at most", &m.maxStamps, 0,
                  2000);
    parser.addDoubleList("percentiles", 0, "LOW,HIGH", "display limits, percentiles of the pixels",
                         &m.percentiles, 2, 0, 100);
    parser.addDouble("radius", 'r', "PIX", "circle radius in image pixels", &m.radius, 0.1, 10000);
    parser.addString("ids", 0, "MODE", "first table column is an id: auto, yes or no", &m.ids);
    parser.addFlag("no-labels", 0, "leave out the ids beside the circles", &m.noLabels);
    return tools::runTool(parser, argc, argv, [&](auto const& rest) { run(m, rest); });
}
