// The Windows parts of a processor exception's report.

#include "Util/ProcessorReport.h"
#include "Util/WideText.h"

#include <windows.h>

#include <dbghelp.h>

#include <algorithm>
#include <cxxabi.h>
#include <memory>
#include <sstream>

namespace Ostrel::Util::ProcessorReport {

namespace {

std::string ModulePath(HMODULE module) {
    std::wstring path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(module, path.data(), DWORD(path.size()));
    path.resize(length);
    return Utf8FromWide(path);
}

// The address as section:offset in the module that holds it, sections numbered from 1 in the
// order of the module's section table. False when no module holds it.
bool WriteLogical(std::ostream& text, std::uintptr_t address) {
    MEMORY_BASIC_INFORMATION memory{};
    if (VirtualQuery(reinterpret_cast<void*>(address), &memory, sizeof memory) == 0 ||
        memory.AllocationBase == nullptr || memory.Type != MEM_IMAGE) {
        return false;
    }
    const auto* base = static_cast<const std::uint8_t*>(memory.AllocationBase);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const std::uintptr_t relative = address - reinterpret_cast<std::uintptr_t>(base);
    const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(headers);
    for (WORD index = 0; index < headers->FileHeader.NumberOfSections; ++index, ++section) {
        const DWORD size = std::max(section->SizeOfRawData, section->Misc.VirtualSize);
        if (relative - section->VirtualAddress < size) {
            WriteLogicalAddress(text, index + 1u, relative - section->VirtualAddress,
                                ModulePath(static_cast<HMODULE>(memory.AllocationBase)));
            return true;
        }
    }
    return false;
}

std::string Demangled(const char* name) {
    int status = 0;
    const std::unique_ptr<char, decltype(&std::free)> plain(
        abi::__cxa_demangle(name, nullptr, nullptr, &status), &std::free);
    return status == 0 && plain ? std::string(plain.get()) : std::string(name);
}

// The symbol with the offset into it when the debugging helper knows it.
bool WriteSymbol(std::ostream& text, std::uintptr_t address, std::uintptr_t inside) {
    constexpr std::size_t kNameLength = 1024;
    alignas(SYMBOL_INFO) char buffer[sizeof(SYMBOL_INFO) + kNameLength];
    auto* symbol = reinterpret_cast<SYMBOL_INFO*>(buffer);
    symbol->SizeOfStruct = sizeof(SYMBOL_INFO);
    symbol->MaxNameLen = kNameLength;
    DWORD64 displacement = 0;
    if (!SymFromAddr(GetCurrentProcess(), inside, &displacement, symbol)) {
        return false;
    }
    text << Demangled(symbol->Name) << '+' << Hex(displacement + (address - inside), kWordDigits)
         << '\n';
    return true;
}

// Deep enough for any sensible report, bounded for a runaway recursion.
constexpr std::size_t kMaxFrames = 128;

} // namespace

void WriteFaultAddress(std::ostream& text, const ProcessorContext& context) {
    std::ostringstream logical;
    if (WriteLogical(logical, context.Rip)) {
        text << "Fault address: " << Hex(context.Rip, kPointerDigits) << ' ' << logical.str();
    }
}

// The 32-bit layout of four lines, with the 64-bit registers.
void WriteRegisters(std::ostream& text, const ProcessorContext& context) {
    const auto word = [](DWORD64 value) {
        return Hex(value, kRegisterDigits);
    };
    const auto segment = [](WORD value) {
        return Hex(value, kSegmentDigits);
    };
    text << "Registers:\n";
    text << "RAX=" << word(context.Rax) << " CS=" << segment(context.SegCs)
         << " RIP=" << word(context.Rip) << " EFLGS=" << word(context.EFlags) << '\n';
    text << "RBX=" << word(context.Rbx) << " SS=" << segment(context.SegSs)
         << " RSP=" << word(context.Rsp) << " RBP=" << word(context.Rbp) << '\n';
    text << "RCX=" << word(context.Rcx) << " DS=" << segment(context.SegDs)
         << " RSI=" << word(context.Rsi) << " FS=" << segment(context.SegFs) << '\n';
    text << "RDX=" << word(context.Rdx) << " ES=" << segment(context.SegEs)
         << " RDI=" << word(context.Rdi) << " GS=" << segment(context.SegGs) << '\n';
}

// Address, frame, then the symbol where the debugging helper names it, otherwise the logical
// address and the module. Return addresses point after their call, so they are looked up one
// byte earlier.
void WriteCallStack(std::ostream& text, const ProcessorContext& context) {
    text << "\nCall Stack\n"
         << "Address    Frame      Logical Addr          Module\n";
    const HANDLE process = GetCurrentProcess();
    SymSetOptions(SYMOPT_DEFERRED_LOADS | SYMOPT_UNDNAME);
    const bool symbols = SymInitialize(process, nullptr, TRUE);
    CONTEXT walked = context;
    STACKFRAME64 frame{};
    frame.AddrPC = {context.Rip, 0, AddrModeFlat};
    frame.AddrFrame = {context.Rsp, 0, AddrModeFlat};
    frame.AddrStack = {context.Rsp, 0, AddrModeFlat};
    for (std::size_t count = 0;
         count < kMaxFrames && frame.AddrPC.Offset != 0 &&
         StackWalk64(IMAGE_FILE_MACHINE_AMD64, process, GetCurrentThread(), &frame, &walked,
                     nullptr, SymFunctionTableAccess64, SymGetModuleBase64, nullptr);
         ++count) {
        const std::uintptr_t address = frame.AddrPC.Offset;
        const std::uintptr_t inside = count == 0 ? address : address - 1;
        text << Hex(address, kPointerDigits) << ' ' << Hex(frame.AddrFrame.Offset, kPointerDigits)
             << ' ';
        if (!(symbols && WriteSymbol(text, address, inside)) && !WriteLogical(text, inside)) {
            text << '\n';
        }
    }
    if (symbols) {
        SymCleanup(process);
    }
    text << "End Call Stack\n";
}

} // namespace Ostrel::Util::ProcessorReport
