#include "Util/XProcessorException.h"

#include "Util/ProcessorReport.h"

#include <cstdio>
#include <sstream>

// Reports are made after a fault, so the work here is kept plain: no locks of our own, the stack
// walk into a fixed array, and every failed look-up just leaves its detail out.

namespace Ostrel::Util {

namespace ProcessorReport {

std::string Hex(std::uint64_t value, int digits) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%0*llX", digits, static_cast<unsigned long long>(value));
    return text;
}

void WriteLogicalAddress(std::ostream& text, std::uint32_t section, std::uint64_t offset,
                         const std::string& module) {
    text << Hex(section, kWordDigits) << ':' << Hex(offset, kWordDigits) << ' ' << module << '\n';
}

} // namespace ProcessorReport

namespace {

using namespace ProcessorReport;

struct CodeName {
    std::uint32_t code;
    const char* name;
};

constexpr CodeName kCodeNames[] = {
    {0x80000001, "GUARD_PAGE"},
    {kDatatypeMisalignment, "DATATYPE_MISALIGNMENT"},
    {0x80000003, "BREAKPOINT"},
    {0x80000004, "SINGLE_STEP"},
    {kAccessViolation, "ACCESS_VIOLATION"},
    {kInPageError, "IN_PAGE_ERROR"},
    {0xC0000008, "INVALID_HANDLE"},
    {kIllegalInstruction, "ILLEGAL_INSTRUCTION"},
    {0xC0000025, "NONCONTINUABLE_EXCEPTION"},
    {0xC0000026, "INVALID_DISPOSITION"},
    {kArrayBoundsExceeded, "ARRAY_BOUNDS_EXCEEDED"},
    {0xC000008D, "FLT_DENORMAL_OPERAND"},
    {kFltDivideByZero, "FLT_DIVIDE_BY_ZERO"},
    {kFltInexactResult, "FLT_INEXACT_RESULT"},
    {kFltInvalidOperation, "FLT_INVALID_OPERATION"},
    {kFltOverflow, "FLT_OVERFLOW"},
    {0xC0000092, "FLT_STACK_CHECK"},
    {kFltUnderflow, "FLT_UNDERFLOW"},
    {kIntDivideByZero, "INT_DIVIDE_BY_ZERO"},
    {kIntOverflow, "INT_OVERFLOW"},
    {kPrivInstruction, "PRIV_INSTRUCTION"},
    {kStackOverflow, "STACK_OVERFLOW"},
};

// The system has no texts for codes outside the table, so their name stays empty.
const char* NameOfCode(std::uint32_t code) {
    for (const CodeName& entry : kCodeNames) {
        if (entry.code == code) {
            return entry.name;
        }
    }
    return "";
}

} // namespace

XProcessorExceptionWin32::XProcessorExceptionWin32(const std::string& title,
                                                   const ProcessorContext& context,
                                                   const ExceptionRecord* record)
    : context_(context) {
    std::ostringstream text;
    text << title;
    if (record != nullptr) {
        text << "Exception code: " << Hex(record->code, kWordDigits) << ' '
             << NameOfCode(record->code) << '\n';
    }
    WriteFaultAddress(text, context_);
    WriteRegisters(text, context_);
    WriteCallStack(text, context_);
    message_ = text.str();
}

} // namespace Ostrel::Util
