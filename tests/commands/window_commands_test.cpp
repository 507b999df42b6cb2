#include "commands/command_state.h"
#include "commands/command_table.h"
#include "commands/drag_extract.h"
#include "commands/exit_command.h"
#include "commands/extract_to.h"
#include "commands/open_command.h"
#include "commands/output_folder.h"
#include "commands/preview_view.h"
#include "support/test_window.h"

#include <gtest/gtest.h>

#include <set>
#include <type_traits>

using namespace archive;
using namespace archive::testing;

namespace {

namespace fs = std::filesystem;

// A dialog that answers with a file name, or cancels when it has none.
class ScriptedDialog : public OpenFileDialog {
  public:
    explicit ScriptedDialog(std::string answer) : answer_(std::move(answer)) {}
    bool Show(DialogState& state) override
    {
        if (answer_.empty()) {
            return false;
        }
        state.fileName = answer_;
        return true;
    }

  private:
    std::string answer_;
};

std::string SmallSga()
{
    return BuildSga(SgaFromLayout({{"", {{.name = "a.txt", .content = "alpha\r\n"}}},
                                   {"maps", {{.name = "b.txt", .content = "bravo", .compress = true}}}}));
}

CommandContext Context(LoadedArchive loaded, RunningCommand running = RunningCommand::None)
{
    return {loaded, running};
}

} // namespace

// What each archive allows, and why a command that cannot run says why.
TEST(CommandState, FollowsTheArchiveShown)
{
    for (const CommandId extract :
         {CommandId::SaveSelected, CommandId::SaveAll, CommandId::ExtractTo, CommandId::TestArchive}) {
        EXPECT_TRUE(StateOf(extract, Context(LoadedArchive::Sga)).enabled);
        const CommandState none = StateOf(extract, Context(LoadedArchive::None));
        EXPECT_FALSE(none.enabled);
        EXPECT_NE(none.reason.find("Open an SGA archive"), std::string::npos);
        const CommandState rbf = StateOf(extract, Context(LoadedArchive::Rbf));
        EXPECT_FALSE(rbf.enabled);
        EXPECT_NE(rbf.reason.find("RBF"), std::string::npos) << rbf.reason;
    }
    EXPECT_FALSE(StateOf(CommandId::Preview, Context(LoadedArchive::None)).enabled);
    EXPECT_TRUE(
        StateOf(CommandId::Preview, Context(LoadedArchive::Rbf)).enabled); // it says why there is nothing
    for (const CommandId always :
         {CommandId::Open, CommandId::OpenSV1, CommandId::OpenBIG, CommandId::OpenSGA, CommandId::Exit,
          CommandId::About, CommandId::DebugToFile, CommandId::Filter}) {
        EXPECT_TRUE(StateOf(always, Context(LoadedArchive::None)).enabled);
        EXPECT_TRUE(StateOf(always, Context(LoadedArchive::Rbf)).enabled);
    }
}

// Open Output Folder has a folder to show once an archive is shown or a
// command has written; before that, none of ours.
TEST(CommandState, OpenOutputFolderNeedsAnArchiveOrAWrite)
{
    const CommandState none = StateOf(CommandId::OpenOutputFolder, Context(LoadedArchive::None));
    EXPECT_FALSE(none.enabled);
    EXPECT_FALSE(none.reason.empty());
    EXPECT_TRUE(StateOf(CommandId::OpenOutputFolder, Context(LoadedArchive::Sga)).enabled);
    EXPECT_TRUE(StateOf(CommandId::OpenOutputFolder, Context(LoadedArchive::Rbf)).enabled);
    CommandContext written = Context(LoadedArchive::None);
    written.outputWritten = true;
    EXPECT_TRUE(StateOf(CommandId::OpenOutputFolder, written).enabled);

    TestWindow w;
    EXPECT_FALSE(StateOf(CommandId::OpenOutputFolder, ContextOf(w.frm)).enabled);
    NoteOutputWritten(w.frm, w.dir.path());
    EXPECT_TRUE(ContextOf(w.frm).outputWritten);
    EXPECT_TRUE(StateOf(CommandId::OpenOutputFolder, ContextOf(w.frm)).enabled);
}

// Save Selected acts on what the user sees: a selected node the filter hides
// is not saved, and the log says that nothing is selected.
TEST(SaveSelected, NotWhatTheFilterHides)
{
    TestWindow w;
    WriteBytes(w.dir.File("one.sga"), SmallSga());
    ScriptedDialog dialog(w.dir.File("one.sga"));
    DialogState state;
    mnuFileOpen_Click(w.frm, dialog, state);
    const int a = w.frm.tree().IndexOfKey("n-1\\f0");
    const int b = w.frm.tree().IndexOfKey("n0\\f1");
    ASSERT_NE(a, 0);
    ASSERT_NE(b, 0);
    w.frm.tree().Select(a);
    std::vector<char> kept(w.frm.tree().Count() + 1, 0); // a filter that shows only maps.txt
    kept[static_cast<std::size_t>(b)] = 1;
    kept[static_cast<std::size_t>(w.frm.tree().Node(b).parent)] = 1;

    ToolbarButtonClick(w.frm, dialog, state, "SaveSelected", {}, kept);
    EXPECT_FALSE(fs::exists(w.dir.path() / "data" / "a.txt"));
    EXPECT_EQ(w.widgets.LogLines().back(), "No file is selected: choose a file in the tree first");

    // Of several selected, only the shown ones; with no filter, the selected node as before.
    ToolbarButtonClick(w.frm, dialog, state, "SaveSelected", {a, b}, kept);
    EXPECT_FALSE(fs::exists(w.dir.path() / "data" / "a.txt"));
    EXPECT_TRUE(fs::exists(w.dir.path() / "data" / "maps" / "b.txt"));
    ToolbarButtonClick(w.frm, dialog, state, "SaveSelected");
    EXPECT_TRUE(fs::exists(w.dir.path() / "data" / "a.txt"));

    // Extract To: the shown selection; with none, what the filter shows; never what it hides.
    const CatalogueTree& tree = w.frm.tree();
    EXPECT_EQ(ExtractToNodes(tree, {a, b}, kept).nodes, std::vector<int>{b});
    EXPECT_EQ(ExtractToNodes(tree, {a}, kept).nodes, std::vector<int>{b});
    EXPECT_EQ(ExtractToNodes(tree, {}, kept).nodes, std::vector<int>{b});
    const ExtractToChoice whole = ExtractToNodes(tree, {}, {});
    EXPECT_TRUE(whole.nodes.empty()); // no filter, nothing selected: the whole archive
    EXPECT_TRUE(whole.nothing.empty());
    const ExtractToChoice none = ExtractToNodes(tree, {a}, std::vector<char>(tree.Count() + 1, 0));
    EXPECT_TRUE(none.nodes.empty());
    EXPECT_FALSE(none.nothing.empty());
}

// Both windows' progress dialogs: the unit follows the total.
TEST(JobProgressText, UnitFromTheTotal)
{
    EXPECT_EQ(BytesOfTotalText(0, 0), "0 of 0 bytes");
    EXPECT_EQ(BytesOfTotalText(512, 900), "512 of 900 bytes");
    EXPECT_EQ(BytesOfTotalText(2100, 6549), "2.1 of 6.5 KB");
    EXPECT_EQ(BytesOfTotalText(999'999, 999'999), "1.0 of 1.0 MB"); // not "1000.0 KB"
    EXPECT_EQ(BytesOfTotalText(1'500'000, 250'000'000), "1.5 of 250.0 MB");
    EXPECT_EQ(BytesOfTotalText(3'000'000'000, 12'345'678'901), "3.0 of 12.3 GB");
    JobProgress now;
    now.files = 1;
    now.totalFiles = 2;
    now.bytes = 512;
    now.totalBytes = 6549;
    EXPECT_EQ(JobProgressText(now), "1 of 2 files, 0.5 of 6.5 KB");
    now.totalFiles = 1;
    EXPECT_EQ(JobProgressText(now), "1 of 1 file, 0.5 of 6.5 KB");
}

// Both dialogs draw on one clock: the first entry at once, then at most
// every interval, and the last entry always; the bar counts bytes, or files
// when there are none.
TEST(JobPictureClock, DrawsOnItsClockAndAlwaysTheLastEntry)
{
    JobPictureClock pictures;
    const JobPictureClock::Clock::time_point start{};
    JobProgress now;
    now.totalFiles = 3;
    now.files = 1;
    EXPECT_TRUE(pictures.Due(now, start));
    now.files = 2;
    EXPECT_FALSE(pictures.Due(now, start + JobPictureClock::kInterval / 2));
    EXPECT_TRUE(pictures.Due(now, start + JobPictureClock::kInterval));
    now.files = 3;
    EXPECT_TRUE(pictures.Due(now, start + JobPictureClock::kInterval)); // the last, however soon

    now.bytes = 250;
    now.totalBytes = 1000;
    EXPECT_EQ(JobProgressPermille(now), 250);
    now.totalBytes = 0; // nothing to count by bytes: by files
    now.files = 1;
    EXPECT_EQ(JobProgressPermille(now), 333);
    now.totalFiles = 0;
    EXPECT_EQ(JobProgressPermille(now), 0);
}

// While any command runs, nothing that reads or replaces the catalogue can
// start; Exit (which stops it) and About stay; views stay except under a load.
// Preview stays while a preview reads: choosing another entry replaces that read.
TEST(CommandState, OneCommandAtATime)
{
    for (const RunningCommand running :
         {RunningCommand::Load, RunningCommand::Extraction, RunningCommand::Job, RunningCommand::DragOut,
          RunningCommand::Preview}) {
        const CommandContext context = Context(LoadedArchive::Sga, running);
        for (const CommandSpec& tableRow : CommandTable()) {
            const CommandState state = StateOf(tableRow.id, context);
            const bool stays =
                tableRow.id == CommandId::Exit || tableRow.id == CommandId::About ||
                ((tableRow.id == CommandId::Details || tableRow.id == CommandId::CatalogueOrder ||
                  tableRow.id == CommandId::Filter) &&
                 running != RunningCommand::Load) ||
                (tableRow.id == CommandId::Preview && running == RunningCommand::Preview);
            EXPECT_EQ(state.enabled, stays) << tableRow.accessibleName;
            EXPECT_EQ(state.reason.empty(), stays) << tableRow.accessibleName;
        }
    }
}

TEST(CommandState, ContextOfAWindow)
{
    TestWindow w;
    EXPECT_EQ(ContextOf(w.frm).loaded, LoadedArchive::None);
    ASSERT_EQ(w.Open(SmallSga()), LoadOutcome::Loaded);
    EXPECT_EQ(ContextOf(w.frm).loaded, LoadedArchive::Sga);
    EXPECT_EQ(ContextOf(w.frm).running, RunningCommand::None);
    w.frm.Extracting = true; // what Save All and the jobs set themselves
    EXPECT_EQ(ContextOf(w.frm).running, RunningCommand::Extraction);
    w.frm.Extracting = false;
    {
        const RunningScope drag(w.frm, RunningCommand::DragOut);
        EXPECT_TRUE(drag.Started());
        EXPECT_EQ(ContextOf(w.frm).running, RunningCommand::DragOut);
        const RunningScope preview(w.frm, RunningCommand::Preview);
        EXPECT_FALSE(preview.Started()); // one at a time
        EXPECT_EQ(ContextOf(w.frm).running, RunningCommand::DragOut);
    }
    EXPECT_EQ(ContextOf(w.frm).running, RunningCommand::None);

    ASSERT_EQ(w.Open(ShippedSampleRbf(), "sample-sv1.big"), LoadOutcome::Loaded);
    EXPECT_EQ(ContextOf(w.frm).loaded, LoadedArchive::Rbf);
}

// Ctrl+O (or a drop) while a drag-out's extraction lets events run must not
// free the tree the drag walks: the open is refused until the drag ends.
TEST(CommandState, NoOpenUnderADragOut)
{
    TestWindow w;
    ASSERT_EQ(w.Open(SmallSga()), LoadOutcome::Loaded);
    WriteBytes(w.dir.File("other.sga"), BuildSga(WorkedExampleSga()));
    const std::size_t nodes = w.frm.tree().Count();
    DialogState state;
    ScriptedDialog dialog(w.dir.File("other.sga"));
    const fs::path out = w.dir.path() / "drag";
    fs::create_directory(out);
    DragExtractReport report;
    {
        const RunningScope drag(w.frm, RunningCommand::DragOut);
        ASSERT_TRUE(drag.Started());
        report = ExtractForDrag(w.frm, {w.frm.tree().IndexOfKey("n-1")}, out, [&](int, std::int64_t) {
            OpenNamedFile(w.frm, state, w.dir.File("other.sga"));
            mnuFileOpen_Click(w.frm, dialog, state);
            ToolbarButtonClick(w.frm, dialog, state, "SaveAll");
            return true;
        });
    }
    EXPECT_EQ(report.written, 2);
    EXPECT_TRUE(report.failures.empty());
    EXPECT_EQ(w.frm.tree().Count(), nodes);
    EXPECT_EQ(w.frm.ArchivePath, w.dir.File("test.sga"));
    EXPECT_FALSE(fs::exists(w.dir.path() / "data")); // Save All waited too

    OpenNamedFile(w.frm, state, w.dir.File("other.sga")); // and all of them work once it is over
    EXPECT_EQ(w.frm.ArchivePath, w.dir.File("other.sga"));
}

// Exit and the close box during any running command wait for it to stop.
TEST(CommandState, CloseWaitsForTheRunningCommand)
{
    TestWindow w;
    {
        const RunningScope job(w.frm, RunningCommand::Job);
        EXPECT_FALSE(Form_QueryUnload(w.frm));
        EXPECT_FALSE(mnuFileExit_Click(w.frm));
        EXPECT_FALSE(TakePendingClose(w.frm)); // not while it runs
        EXPECT_TRUE(w.frm.Zlib);
    }
    EXPECT_TRUE(TakePendingClose(w.frm));
    EXPECT_FALSE(w.frm.Zlib); // Exit's release came once it stopped
}

TEST(CommandState, CatalogueTreeCannotBeCopied)
{
    EXPECT_FALSE(std::is_copy_constructible_v<CatalogueTree>);
    EXPECT_FALSE(std::is_copy_assignable_v<CatalogueTree>);
}

// The table both windows build their menus, toolbar and right-click menu from.
TEST(CommandTable, OneEntryPerCommand)
{
    std::set<CommandId> ids;
    std::set<std::string_view> names;
    for (const CommandSpec& tableRow : CommandTable()) {
        EXPECT_TRUE(ids.insert(tableRow.id).second);
        EXPECT_FALSE(tableRow.accessibleName.empty());
        EXPECT_TRUE(names.insert(tableRow.accessibleName).second) << tableRow.accessibleName;
        EXPECT_EQ(tableRow.menu.empty(), tableRow.text.empty());
        EXPECT_EQ(tableRow.key.empty(), tableRow.toolbarPosition == 0);
        EXPECT_EQ(&SpecOf(tableRow.id), &tableRow);
    }
    EXPECT_EQ(ids.size(), 16u);

    const char* keys[] = {"OpenSV1", "OpenBIG", "OpenSGA", nullptr, "SaveSelected", "SaveAll"};
    for (int position = 1; position <= 6; ++position) {
        const CommandSpec* tableRow = ToolbarCommand(position);
        if (keys[position - 1] == nullptr) {
            EXPECT_EQ(tableRow, nullptr);
            continue;
        }
        ASSERT_NE(tableRow, nullptr);
        EXPECT_EQ(tableRow->key, keys[position - 1]);
        EXPECT_EQ(tableRow->accessibleName,
                  tableRow->tooltip); // a name a screen reader says, not "push button"
    }
    EXPECT_EQ(ToolbarCommand(0), nullptr);
    EXPECT_EQ(ToolbarCommand(7), nullptr);
    EXPECT_EQ(SpecOf(CommandId::SaveAll).tooltip, "Save All Files in Archive");
    EXPECT_EQ(SpecOf(CommandId::Open).shortcut, "Ctrl+O");
    EXPECT_EQ(SpecOf(CommandId::ExtractTo).shortcut, "Ctrl+E");
    EXPECT_EQ(SpecOf(CommandId::Exit).text, "E&xit");
    for (const CommandId id : ContextMenuCommands()) {
        EXPECT_TRUE(SpecOf(id).inContextMenu);
    }
}

// Files go beside the archive however it was opened; Open Output Folder
// shows where the last command that wrote put them.
TEST(OutputFolder, BesideTheArchiveHoweverOpened)
{
    TestWindow w;
    const fs::path start = fs::current_path();
    const fs::path games = w.dir.path() / "games";
    fs::create_directory(games);
    WriteBytes(w.dir.File("games/one.sga"), SmallSga());
    WriteBytes(w.dir.File("two.sga"), SmallSga());
    w.frm.OutputBase = ".";
    DialogState state;

    ScriptedDialog dialog(w.dir.File("games/one.sga"));
    mnuFileOpen_Click(w.frm, dialog, state);
    EXPECT_EQ(w.frm.OutputBase, games);
    EXPECT_EQ(ToolbarOutputRoot(w.frm), games / "data");
    EXPECT_EQ(OutputFolderToOpen(w.frm), games); // nothing written yet

    OpenNamedFile(w.frm, state, w.dir.File("two.sga")); // the command line and a drop
    EXPECT_EQ(w.frm.OutputBase, w.dir.path());
    ToolbarButtonClick(w.frm, dialog, state, "SaveAll");
    EXPECT_TRUE(fs::is_regular_file(w.dir.path() / "data" / "maps" / "b.txt"));
    EXPECT_FALSE(fs::exists(start / "data" / "maps" / "b.txt"));
    EXPECT_EQ(OutputFolderToOpen(w.frm), w.dir.path() / "data");

    // Extract To elsewhere, then Save All: the folder shown is Save All's.
    NoteOutputWritten(w.frm, w.dir.path() / "chosen");
    EXPECT_EQ(OutputFolderToOpen(w.frm), w.dir.path() / "chosen");
    ToolbarButtonClick(w.frm, dialog, state, "SaveAll");
    EXPECT_EQ(OutputFolderToOpen(w.frm), w.dir.path() / "data");

    // A cancelled open keeps everything; another archive starts afresh.
    ScriptedDialog cancel("");
    mnuFileOpen_Click(w.frm, cancel, state);
    EXPECT_EQ(OutputFolderToOpen(w.frm), w.dir.path() / "data");
    mnuFileOpen_Click(w.frm, dialog, state);
    EXPECT_EQ(OutputFolderToOpen(w.frm), games);
}

TEST(PreviewView, ChoosesOneView)
{
    EntryPreview text{.name = "a.txt", .content = ByteArray::FromString("hello\r\nworld\r\n"), .problem = ""};
    EntryPreview binary{
        .name = "b.bin", .content = ByteArray::FromString(std::string("\x01\x02\x00\xff", 4)), .problem = ""};
    EntryPreview damaged{.name = "c.txt", .content = {}, .problem = "zlib status -3"};
    int asked = 0;
    const auto yes = [&asked] { return ++asked, true; };
    const auto no = [&asked] { return ++asked, false; };

    EXPECT_EQ(ChoosePreviewView(damaged, {yes, yes}), PreviewView::Problem);
    EXPECT_EQ(asked, 0); // a damaged entry goes to no decoder
    EXPECT_EQ(ChoosePreviewView(text, {no, no}), PreviewView::Text);
    EXPECT_EQ(asked, 1); // text is never guessed at by content
    EXPECT_EQ(ChoosePreviewView(text, {yes, no}),
              PreviewView::Image); // a TGA whose bytes happen to read as text
    EXPECT_EQ(ChoosePreviewView(binary, {no, yes}), PreviewView::Image);
    EXPECT_EQ(ChoosePreviewView(binary, {no, no}), PreviewView::Hex);
    EXPECT_EQ(ChoosePreviewView(binary, {}), PreviewView::Hex);
}
