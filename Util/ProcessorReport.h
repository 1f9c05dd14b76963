#pragma once

// The parts of a processor exception's report that each platform writes in its own way, and the
// number formats they share.

#include "Util/XProcessorException.h"

#include <cstdint>
#include <ostream>
#include <string>

namespace Ostrel::Util::ProcessorReport {

inline constexpr std::uint32_t kDatatypeMisalignment = 0x80000002;
inline constexpr std::uint32_t kAccessViolation = 0xC0000005;
inline constexpr std::uint32_t kInPageError = 0xC0000006;
inline constexpr std::uint32_t kIllegalInstruction = 0xC000001D;
inline constexpr std::uint32_t kArrayBoundsExceeded = 0xC000008C;
inline constexpr std::uint32_t kFltDivideByZero = 0xC000008E;
inline constexpr std::uint32_t kFltInexactResult = 0xC000008F;
inline constexpr std::uint32_t kFltInvalidOperation = 0xC0000090;
inline constexpr std::uint32_t kFltOverflow = 0xC0000091;
inline constexpr std::uint32_t kFltUnderflow = 0xC0000093;
inline constexpr std::uint32_t kIntDivideByZero = 0xC0000094;
inline constexpr std::uint32_t kIntOverflow = 0xC0000095;
inline constexpr std::uint32_t kPrivInstruction = 0xC0000096;
inline constexpr std::uint32_t kStackOverflow = 0xC00000FD;

inline constexpr int kWordDigits = 8;
inline constexpr int kSegmentDigits = 4;
inline constexpr int kRegisterDigits = 16;
inline constexpr int kPointerDigits = 2 * sizeof(void*);

std::string Hex(std::uint64_t value, int digits);

// A section:offset address with the module that holds it, on one line.
void WriteLogicalAddress(std::ostream& text, std::uint32_t section, std::uint64_t offset,
                         const std::string& module);

// "Fault address: ..." with its logical address, when a module holds the instruction pointer.
void WriteFaultAddress(std::ostream& text, const ProcessorContext& context);
// "Registers:" and the four lines of registers.
void WriteRegisters(std::ostream& text, const ProcessorContext& context);
// "Call Stack" to "End Call Stack", starting at the context's instruction.
void WriteCallStack(std::ostream& text, const ProcessorContext& context);

} // namespace Ostrel::Util::ProcessorReport
