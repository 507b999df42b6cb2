#pragma once

#include "compression/cls_zlib.h"
#include "platform/host_file.h"
#include "rbf/rbf_tables.h"
#include "sga/sga_tables.h"
#include "version/version_text.h"
#include "window/catalogue_tree.h"
#include "window/widgets.h"

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace archive {

enum class ArchiveFormat { None, Sga, Rbf };

// Which command is running, if any. A load, Save All, a job (Extract To,
// Test Archive), a drag-out's extraction and a preview's read each keep the
// others out: each reads the catalogue and the tables that an open would
// replace under it (commands/command_state.h decides what that disables).
enum class RunningCommand { None, Load, Extraction, Job, DragOut, Preview };

// The main window's state and the services it offers the loaders and the
// extractors. One object per window; procedures take it by reference.
class FrmBig {
  public:
    explicit FrmBig(Widgets& widgets);
    FrmBig(const FrmBig&) = delete;
    FrmBig& operator=(const FrmBig&) = delete;

    // Sets the title text and creates Zlib; the progress bar goes to 0.
    void Form_Load();
    const std::string& Title() const { return title_; }

    // Appends the line and CR LF to the log box.
    void sText(std::string_view line);
    // Writes the line and CR LF to the open debug file while DebugToFile is
    // on. With no debug file open the line is dropped.
    void dText(std::string_view line);
    // A failure line: appended to the log box as sText does and shown as the status text.
    void ReportFailure(std::string_view line);

    // Debug file of a run: `suffix` is ".debug.txt" or ".debug.extract.txt".
    // Returns false with the reason when the file cannot be created.
    bool DebugFileStart(std::string_view suffix, std::string& error);
    void DebugFileEnd();
    bool DebugFileOpen() const { return debugFile_.IsOpen(); }

    void mnuOptionsDebugToFile_Click() { DebugToFile = !DebugToFile; }

    Widgets& widgets() { return widgets_; }
    CatalogueTree& tree() { return tree_; }
    const CatalogueTree& tree() const { return tree_; }

    // Full path of the archive chosen last, as UTF-8 on every host.
    std::string ArchivePath;
    // ArchivePath as archive text, for the log and debug lines that name it.
    std::string ArchivePathText() const;
    bool DebugToFile = false;
    std::unique_ptr<clsZlib> Zlib;
    SgaTables Sga;
    RbfTables Rbf;

    // Where the output root ".\data" is made: the working directory, unless
    // a front end says otherwise.
    std::filesystem::path OutputBase = ".";
    // The folder the last command that wrote filled (commands/output_folder.h); empty before any did.
    std::filesystem::path LastOutputFolder;
    // Decimal separator of the CRC column: the user's locale in the window, "." on the console.
    std::string DecimalSeparator = ".";
    // True while ExtractAll or a job runs: the open and extract commands then refuse to start.
    bool Extracting = false;
    // The command a face or the open flow marked as running (RunningScope);
    // Extracting covers the extraction machinery's own runs besides.
    RunningCommand Running = RunningCommand::None;
    // Exit or the close box came while ExtractAll let window events run: the
    // extraction stops after the entry it is on, and the window closes once
    // the command has returned.
    enum class CloseRequest { None, Exit, CloseBox };
    CloseRequest PendingClose = CloseRequest::None;
    // The format the last open sent its file to.
    ArchiveFormat LastFormat = ArchiveFormat::None;
    // The catalogue and the file it came from travel together: the file whose
    // catalogue the tree and the tables hold, and its format once its load
    // ended whole (None from the moment a load clears the tree until it ends
    // whole, so also after a rejected or failed one).
    std::string CataloguePath;
    ArchiveFormat CatalogueFormat = ArchiveFormat::None;
    // The extract commands work only on a whole SGA catalogue of ArchivePath.
    bool SgaCatalogueShown() const
    {
        return CatalogueFormat == ArchiveFormat::Sga && CataloguePath == ArchivePath;
    }

  private:
    Widgets& widgets_;
    CatalogueTree tree_;
    TextFileWriter debugFile_;
    std::string title_;
};

// Brackets a load or an extraction: closes the debug file on every way out.
class DebugFileScope {
  public:
    explicit DebugFileScope(FrmBig& frm) : frm_(frm) {}
    ~DebugFileScope() { frm_.DebugFileEnd(); }
    DebugFileScope(const DebugFileScope&) = delete;
    DebugFileScope& operator=(const DebugFileScope&) = delete;

  private:
    FrmBig& frm_;
};

// Tells the window that the tree's data is being replaced, and that it is
// done, on every way out of a load.
class TreeUpdateScope {
  public:
    explicit TreeUpdateScope(Widgets& widgets) : widgets_(widgets) { widgets_.TreeAboutToChange(); }
    ~TreeUpdateScope() { widgets_.TreeChanged(); }
    TreeUpdateScope(const TreeUpdateScope&) = delete;
    TreeUpdateScope& operator=(const TreeUpdateScope&) = delete;

  private:
    Widgets& widgets_;
};

} // namespace archive
