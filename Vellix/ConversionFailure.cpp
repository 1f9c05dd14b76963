#include "Vellix/ConversionFailure.h"

namespace Ostrel::Vellix {

std::string XConversion::Message() const {
    std::string text = file_ + ": " + problem_;
    const std::string remedy =
        remedy_.options.empty() ? remedy_.note : NameRemedy(remedy_.options, naming_);
    return remedy.empty() ? text : text + " (" + remedy + ")";
}

// Radio buttons are chosen, a check box is used; several are listed "a, b or c".
std::string NameRemedy(std::span<const Control> options, OptionNaming naming) {
    const bool radio = *ControlChoice(options.front()) != '\0';
    const bool commandLine = naming == OptionNaming::CommandLine;
    std::string text = radio ? "choose " : commandLine ? "use " : "tick ";
    if (commandLine) {
        text += std::string("--") + ControlOption(options.front()) + (radio ? " " : "");
    }
    for (std::size_t index = 0; index < options.size(); ++index) {
        if (index > 0) {
            text += index + 1 == options.size() ? " or " : ", ";
        }
        text += commandLine ? ControlChoice(options[index])
                            : std::string("\"") + ControlLabel(options[index]) + "\"";
    }
    return text;
}

std::string LevelOfFile(const std::string& fileName, std::uint32_t level) {
    return fileName + " level " + std::to_string(level + 1);
}

std::string SizesText(std::uint32_t expectedWidth, std::uint32_t expectedHeight,
                      std::uint32_t width, std::uint32_t height) {
    return std::to_string(expectedWidth) + " x " + std::to_string(expectedHeight) + " expected, " +
           std::to_string(width) + " x " + std::to_string(height) + " found";
}

} // namespace Ostrel::Vellix
