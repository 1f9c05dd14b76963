// dat add, dat remove, dat rename and the rebuild of dat build: archive changes made by the core's
// archive editor, which writes a complete new archive in place of the old.

#include "Util/PathName.h"
#include "Util/Platform.h"
#include "Vellix/ArchiveEditor.h"
#include "Vellix/Cli/Commands.h"

#include <iostream>

namespace Ostrel::Vellix::Cli {

namespace {

std::string MemberPath(const ArchiveEditor& editor, const std::string& member) {
    return editor.GetPath() + Util::kPathSeparator + member;
}

FileOutcome MemberOutcome(std::string file, std::vector<std::string> written) {
    return {std::move(file), {}, std::move(written), {}, {}, {}};
}

// Saves (unless a dry run) and reports what changed.
int Finish(const Arguments& arguments, const ArchiveEditor& editor,
           const std::vector<FileOutcome>& outcomes) {
    const bool dryRun = arguments.Has("dry-run");
    editor.Save(dryRun);
    if (!dryRun && !arguments.Has("json")) {
        WrittenFiles{arguments}(editor.GetPath());
    }
    return ReportOutcomes(arguments, outcomes, {});
}

} // namespace

int RunDatAdd(const Arguments& arguments) {
    const auto& operands = arguments.Operands();
    ArchiveEditor editor(operands[0]);
    std::vector<FileOutcome> outcomes;
    for (auto file = operands.begin() + 1; file != operands.end(); ++file) {
        const bool replaced = editor.Add(*file);
        FileOutcome outcome = MemberOutcome(*file, {});
        outcome.read.push_back(*file);
        // The name the file goes in by; a member it replaces keeps its place.
        outcome.written.push_back(
            MemberPath(editor, Util::PathName(Util::Platform::ResolveCase(*file)).GetFileName()));
        if (replaced) {
            outcome.replaced = outcome.written;
        }
        outcomes.push_back(outcome);
    }
    return Finish(arguments, editor, outcomes);
}

int RunDatRemove(const Arguments& arguments) {
    const auto& operands = arguments.Operands();
    ArchiveEditor editor(operands[0]);
    std::vector<FileOutcome> outcomes;
    for (auto member = operands.begin() + 1; member != operands.end(); ++member) {
        editor.Remove(*member);
        outcomes.push_back(MemberOutcome(MemberPath(editor, *member), {}));
    }
    return Finish(arguments, editor, outcomes);
}

int RunDatRename(const Arguments& arguments) {
    const auto& operands = arguments.Operands();
    ArchiveEditor editor(operands[0]);
    editor.Rename(operands[1], operands[2]);
    return Finish(
        arguments, editor,
        {MemberOutcome(MemberPath(editor, operands[1]), {MemberPath(editor, operands[2])})});
}

} // namespace Ostrel::Vellix::Cli
