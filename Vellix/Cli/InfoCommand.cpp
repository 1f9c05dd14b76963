// info: everything known about one bitmap file, as text or JSON.

#include "Trova/Colour.h"
#include "Util/Exception.h"
#include "Vellix/BitmapFile.h"
#include "Vellix/BitmapList.h"
#include "Vellix/Cli/Commands.h"
#include "Vellix/Cli/Container.h"
#include "Vellix/Cli/Report.h"

#include <iostream>

namespace Ostrel::Vellix::Cli {

namespace {

Report Size(const LevelSize& size) {
    return Report::Object()
        .Add("width", Report::Integer(size.width))
        .Add("height", Report::Integer(size.height));
}

Report Colour(const Trova::Colour& colour) {
    const auto channel = [](float value) {
        return Report::Integer(Trova::ChannelToInt(value, 8));
    };
    return Report::Object()
        .Add("red", channel(colour.GetRed()))
        .Add("green", channel(colour.GetGreen()))
        .Add("blue", channel(colour.GetBlue()))
        .Add("alpha", channel(colour.GetAlpha()));
}

Report Levels(const FileSummary& summary) {
    Report levels = Report::Array();
    for (const LevelSize& level : summary.levels) {
        levels.Append(Size(level));
    }
    return levels;
}

Report Palette(const FileSummary& summary) {
    Report palette = Report::Object().Add("palettised", Report::Bool(summary.palettised));
    if (summary.palettised) {
        palette.Add("colours", Report::Integer(summary.paletteSize));
        palette.Add("individual", Report::Bool(summary.individualPalettes));
    }
    return palette;
}

// What the summary of every kind holds.
Report Common(const FileSummary& summary) {
    Report report = Report::Object()
                        .Add("name", Report::Text(summary.entryName))
                        .Add("kind", Report::Text(KindName(summary.kind)));
    if (summary.storedFormat) {
        // The stored pixel format of a game file's first level: its code and compression.
        report.Add("format", Report::Integer(summary.storedFormat->format));
        report.Add("compression", Report::Integer(summary.storedFormat->compression));
    }
    report.Add("width", Report::Integer(summary.width))
        .Add("height", Report::Integer(summary.height))
        .Add("levels", Levels(summary))
        .Add("bits", Report::Object()
                         .Add("red", Report::Integer(summary.redBits))
                         .Add("green", Report::Integer(summary.greenBits))
                         .Add("blue", Report::Integer(summary.blueBits))
                         .Add("alpha", Report::Integer(summary.alphaBits)))
        .Add("transparency", Report::Integer(summary.transparency))
        .Add("transparencyText", Report::Text(TransparencyText(summary.transparency)))
        .Add("palette", Palette(summary));
    if (summary.kind == BitmapKind::Bmp) {
        report.Add("bitsPerPixel", Report::Integer(summary.bitsPerPixel));
    }
    return report;
}

void AddMip(Report& report, const Trova::MipFile& mip) {
    report.Add("repeat", Report::Object()
                             .Add("horizontal", Report::Bool(mip.GetHorizontalRepeat()))
                             .Add("vertical", Report::Bool(mip.GetVerticalRepeat())));
    report.Add("meanColour", Colour(mip.GetMeanColour()));
    if (mip.HasN4Value()) {
        report.Add("n4Value", Report::Integer(mip.GetN4Value(0)));
    }
    if (mip.HasN4Name()) {
        report.Add("n4Name", Report::Text(mip.GetN4Name(0)));
    }
}

void AddSrb(Report& report, const Trova::SrbFile& srb) {
    report.Add("meanColour", Colour(srb.GetMeanColour()));
    Report corners = Report::Array();
    for (std::uint32_t corner = 0; corner < 4; ++corner) {
        const Trova::WorldPoint world = srb.GetCorner(corner);
        const Trova::TexturePoint texture = srb.GetTextureCorner(corner);
        corners.Append(Report::Object()
                           .Add("x", Report::Number(world.x))
                           .Add("y", Report::Number(world.y))
                           .Add("z", Report::Number(world.z))
                           .Add("u", Report::Number(texture.u))
                           .Add("v", Report::Number(texture.v)));
    }
    report.Add("corners", std::move(corners));
    Report values = Report::Array();
    for (std::uint32_t value = 0; value < srb.GetValueCount(); ++value) {
        values.Append(Report::Integer(srb.GetValue(value)));
    }
    report.Add("values", std::move(values));
}

// The values only MIP and SRB files carry come from the file itself.
Report Describe(const Entry& entry) {
    const FileSummary summary = SummariseEntry(*entry.container, entry.index);
    if (!summary.error.empty()) {
        throw Util::XUsage(summary.error);
    }
    if (summary.kind == BitmapKind::Other) {
        throw Util::XUsage(summary.entryName + " is not a MIP, PBF/STP, SRB or BMP file");
    }
    Report report = Common(summary);
    if (summary.kind == BitmapKind::Mip || summary.kind == BitmapKind::Srb) {
        const auto file = MakeBitmapFile(*entry.container, entry.index);
        if (const auto mip = file.DynamicCast<BitmapFileMip>()) {
            AddMip(report, *mip->GetFile());
        } else if (const auto srb = file.DynamicCast<BitmapFileSrb>()) {
            AddSrb(report, *srb->GetFile());
        }
    }
    return report;
}

} // namespace

int RunInfo(const Arguments& arguments) {
    const Report report = Describe(FindEntry(arguments.Operands()[0]));
    if (arguments.Has("json")) {
        report.WriteJson(std::cout);
        std::cout << '\n';
    } else {
        report.WriteText(std::cout);
    }
    return 0;
}

} // namespace Ostrel::Vellix::Cli
