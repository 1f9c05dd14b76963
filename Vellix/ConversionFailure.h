#pragma once

// A conversion's failure told so that a person can act on it: the file it happened on (a game
// file's level, or a picture), what went wrong and, where another option would have worked,
// which one. Options are named as the front end showing the message names them, from the one
// table of control names both front ends share.

#include "Util/Exception.h"
#include "Vellix/OptionFields.h"

#include <span>
#include <string>
#include <vector>

namespace Ostrel::Vellix {

// "--transparency separate" for vellix-cli, "Transparency in Separate Bitmap" for the dialogs.
enum class OptionNaming { CommandLine, Dialog };

// What would have worked: one of some buttons of one radio group, or a check box; or failing
// that, a sentence about the file.
struct Remedy {
    std::vector<Control> options;
    std::string note;
};

class XConversion : public Util::RuntimeError {
public:
    XConversion(std::string file, std::string problem, Remedy remedy = {})
        : file_(std::move(file)), problem_(std::move(problem)), remedy_(std::move(remedy)) {}
    // "CAR1.MIP: File exists (use --overwrite)", in the naming last set (the command line's
    // unless set).
    std::string Message() const override;
    void SetNaming(OptionNaming naming) { naming_ = naming; }

private:
    std::string file_;
    std::string problem_;
    Remedy remedy_;
    OptionNaming naming_ = OptionNaming::CommandLine;
};

// "--transparency separate, colour or alpha" / "use --overwrite", or with the dialogs' labels.
std::string NameRemedy(std::span<const Control> options, OptionNaming naming);

// "fence.mip level 2": the 0-based level as the options count it, from 1.
std::string LevelOfFile(const std::string& fileName, std::uint32_t level);

// "64 x 64 expected, 32 x 32 found".
std::string SizesText(std::uint32_t expectedWidth, std::uint32_t expectedHeight,
                      std::uint32_t width, std::uint32_t height);

} // namespace Ostrel::Vellix
