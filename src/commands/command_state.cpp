#include "commands/command_state.h"

namespace archive {

namespace {

std::string WhileRunning(RunningCommand running)
{
    switch (running) {
    case RunningCommand::Load:
        return "An archive is being loaded";
    case RunningCommand::Extraction:
        return "Files are being extracted: wait for the end, or close the window to stop";
    case RunningCommand::Job:
        return "A command is running: wait for the end, or cancel it";
    case RunningCommand::DragOut:
        return "Dragged files are being extracted: wait for the end, or cancel it";
    case RunningCommand::Preview:
        return "An entry is being read for its preview";
    case RunningCommand::None:
        break;
    }
    return {};
}

// Commands that read the archive's entries: only an SGA catalogue has entries to read.
CommandState NeedsEntries(LoadedArchive loaded, const char* what)
{
    switch (loaded) {
    case LoadedArchive::Sga:
        return {};
    case LoadedArchive::Rbf:
        return {false, std::string("An SV1 (RBF) archive is shown: its entries can be listed, not ") + what};
    case LoadedArchive::None:
        break;
    }
    return {false, "Open an SGA archive first (SV2 .big, .grm or MF .sga)"};
}

} // namespace

CommandState StateOf(CommandId command, const CommandContext& context)
{
    const bool running = context.running != RunningCommand::None;
    switch (command) {
    case CommandId::Exit:
    case CommandId::About:
        return {}; // Exit stops a running command between two entries
    case CommandId::Details:
    case CommandId::CatalogueOrder:
    case CommandId::Filter:
        // Views of the catalogue: only a load replaces what they show.
        if (context.running == RunningCommand::Load) {
            return {false, WhileRunning(context.running)};
        }
        return {};
    case CommandId::Preview:
        if (context.running == RunningCommand::Preview) {
            return {}; // another entry chosen while one is read: that read stops, the new one starts
        }
        break;
    default:
        break;
    }
    if (running) {
        return {false, WhileRunning(context.running)};
    }
    switch (command) {
    case CommandId::SaveSelected:
    case CommandId::SaveAll:
    case CommandId::ExtractTo:
        return NeedsEntries(context.loaded, "extracted");
    case CommandId::TestArchive:
        return NeedsEntries(context.loaded, "tested");
    case CommandId::OpenOutputFolder:
        // Before any archive is shown or anything written, there is no folder of ours to show.
        if (context.loaded == LoadedArchive::None && !context.outputWritten) {
            return {false, "Nothing has been extracted yet: open an archive first"};
        }
        return {};
    case CommandId::Preview:
        // An RBF entry's preview says why it shows nothing: the tables do not locate its data.
        return context.loaded == LoadedArchive::None ? NeedsEntries(context.loaded, "previewed")
                                                     : CommandState{};
    default:
        return {};
    }
}

CommandContext ContextOf(const FrmBig& frm)
{
    CommandContext context;
    if (frm.SgaCatalogueShown()) {
        context.loaded = LoadedArchive::Sga;
    } else if (frm.CatalogueFormat == ArchiveFormat::Rbf && frm.CataloguePath == frm.ArchivePath) {
        context.loaded = LoadedArchive::Rbf;
    }
    context.outputWritten = !frm.LastOutputFolder.empty();
    context.running = frm.Running != RunningCommand::None ? frm.Running
                      : frm.Extracting                    ? RunningCommand::Extraction
                                                          : RunningCommand::None;
    return context;
}

bool CommandRunning(const FrmBig& frm)
{
    return frm.Extracting || frm.Running != RunningCommand::None;
}

RunningScope::RunningScope(FrmBig& frm, RunningCommand command) : frm_(frm)
{
    if (CommandRunning(frm_) || command == RunningCommand::None) {
        return;
    }
    frm_.Running = command;
    started_ = true;
}

RunningScope::~RunningScope()
{
    if (started_) {
        frm_.Running = RunningCommand::None;
    }
}

} // namespace archive
