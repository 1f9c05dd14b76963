// info: everything known about one bitmap file, as text or JSON.

#include "Trova/Colour.h"
#include "Trova/DIB.h"
#include "Trova/GPLBMAPSection.h"
#include "Trova/Palette.h"
#include "Vellix/BitmapFile.h"
#include "Vellix/BitmapList.h"
#include "Vellix/Cli/Commands.h"
#include "Vellix/Cli/Container.h"
#include "Vellix/Cli/Report.h"

#include <iostream>

namespace Ostrel::Vellix::Cli {

namespace {

using Trova::Bitmap;
using Util::CountedPtr;

Report Size(const Bitmap& bitmap) {
    return Report::Object()
        .Add("width", Report::Integer(bitmap.GetWidth()))
        .Add("height", Report::Integer(bitmap.GetHeight()));
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

// The stored pixel format of a game-file level: its code and compression.
void AddFormat(Report& report, const CountedPtr<Bitmap>& level) {
    const auto section = level.DynamicCast<Trova::GPLBMAPSection>();
    if (section) {
        report.Add("format", Report::Integer(section->GetFormat()));
        report.Add("compression", Report::Integer(section->GetCompression()));
    }
}

Report Levels(const BitmapFile& file) {
    Report levels = Report::Array();
    for (std::uint32_t level = 0; level < file.GetBitmapCount(); ++level) {
        levels.Append(Size(*file.GetBitmap(level)));
    }
    return levels;
}

Report Palette(const BitmapFile& file) {
    Report palette = Report::Object().Add("palettised", Report::Bool(file.IsPalettised()));
    if (file.IsPalettised()) {
        palette.Add("colours", Report::Integer(file.GetPaletteSize()));
        palette.Add("individual", Report::Bool(file.HasIndividualPalettes()));
    }
    return palette;
}

// What every kind answers through its adapter.
Report Common(const Entry& entry, const BitmapFile& file, BitmapKind kind) {
    Report report = Report::Object()
                        .Add("name", Report::Text(entry.container->GetEntryName(entry.index)))
                        .Add("kind", Report::Text(KindName(kind)));
    if (file.GetBitmapCount() > 0) {
        AddFormat(report, file.GetBitmap(0));
    }
    report.Add("width", Report::Integer(file.GetWidth()))
        .Add("height", Report::Integer(file.GetHeight()))
        .Add("levels", Levels(file))
        .Add("bits", Report::Object()
                         .Add("red", Report::Integer(file.GetRedBits()))
                         .Add("green", Report::Integer(file.GetGreenBits()))
                         .Add("blue", Report::Integer(file.GetBlueBits()))
                         .Add("alpha", Report::Integer(file.GetAlphaBits())))
        .Add("transparency", Report::Integer(file.GetTransparency()))
        .Add("transparencyText", Report::Text(TransparencyText(file.GetTransparency())))
        .Add("palette", Palette(file));
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

void AddBmp(Report& report, const Entry& entry) {
    const std::string path = entry.container->GetPathName().GetAsDirectory() +
                             entry.container->GetEntryName(entry.index);
    report.Add("bitsPerPixel", Report::Integer(Trova::DIB(path).GetBitCount()));
}

Report Describe(const Entry& entry) {
    const auto file = MakeBitmapFile(*entry.container, entry.index);
    const BitmapKind kind = ListedKind(*entry.container, entry.index);
    Report report = Common(entry, *file, kind);
    if (const auto mip = file.DynamicCast<BitmapFileMip>()) {
        AddMip(report, *mip->GetFile());
    } else if (const auto srb = file.DynamicCast<BitmapFileSrb>()) {
        AddSrb(report, *srb->GetFile());
    } else if (kind == BitmapKind::Bmp) {
        AddBmp(report, entry);
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
