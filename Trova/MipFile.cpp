#include "Trova/MipFile.h"

#include "Util/Exception.h"

namespace Ostrel::Trova {

namespace {
constexpr char kSourceUnit[] = "MipFile";
// The lines the reports of these getters have always named.
constexpr std::uint32_t kN4ValueLine = 23;
constexpr std::uint32_t kN4NameLine = 43;
} // namespace

std::uint32_t MipFile::GetN4Value(std::uint32_t) const {
    Util::AssertionFailed("false", kSourceUnit, kN4ValueLine);
}

std::string MipFile::GetN4Name(std::uint32_t) const {
    Util::AssertionFailed("false", kSourceUnit, kN4NameLine);
}

} // namespace Ostrel::Trova
