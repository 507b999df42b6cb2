#include "cli/console_widgets.h"
#include "cli/listing.h"
#include "commands/extract_to.h"
#include "commands/open_flow.h"
#include "extract/extract.h"
#include "platform/memory_reuse.h"
#include "platform/output_tree.h"
#include "platform/text_encoding.h"
#include "sga/sga_node_key.h"
#include "window/frm_big.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace archive {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 1;
constexpr int kExitArchive = 2;
constexpr int kExitEntries = 3;

struct Options {
    bool debug = false;
    bool tsv = false;
    bool longList = false;
    bool json = false;
    std::string archive;
    std::string outputDir;
    std::string destination;
    std::vector<std::string> paths;
    std::vector<std::string> keys;
    bool skipExisting = false; // keep files that are there; the default replaces them
    bool overwrite = false;    // says the default out loud
};

// A selection as typed, in command-line order.
struct Selection {
    bool byKey = false;
    std::string text;
};

std::string AbsolutePath(const std::string& path)
{
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(PathFromUtf8(path), error);
    return error ? path : PathToUtf8(absolute.lexically_normal());
}

// The full extract's one summary, after the log's "...Extract finished":
// "N files written, M failed", then what was skipped. A failure has put the
// count in the log already (and each failure its "Error: " line on standard
// error): then only what the log lacks.
std::string FullExtractSummary(const ExtractReport& report)
{
    std::string line = report.failed > 0 ? std::string() : WrittenAndFailed(report.written, report.failed);
    if (report.skipped > 0) {
        line += (line.empty() ? "" : "; ") + std::to_string(report.skipped) +
                " skipped: a file of that name was there";
    }
    return line.empty() ? line : line + "\n";
}

// Runs the open flow on the archive; the exit status of a failed open, or kExitOk.
int Load(FrmBig& frm, const Options& options)
{
    frm.DebugToFile = options.debug;
    const LoadOutcome outcome = OpenChosenFile(frm, AbsolutePath(options.archive));
    return outcome == LoadOutcome::Loaded ? kExitOk : kExitArchive;
}

int RunInfo(const Options& options)
{
    ConsoleWidgets widgets(stdout, stderr);
    widgets.SetEcho(true);
    FrmBig frm(widgets);
    frm.Form_Load();
    return Load(frm, options);
}

int RunList(const Options& options)
{
    ConsoleWidgets widgets(stdout, stderr);
    FrmBig frm(widgets);
    frm.Form_Load();
    const int status = Load(frm, options);
    const ListingSink sink = [](std::string_view piece) {
        std::fwrite(piece.data(), 1, piece.size(), stdout);
    };
    if (options.json) {
        ListJson(frm, sink);
    } else if (options.longList) {
        ListLong(frm, sink);
    } else if (options.tsv) {
        ListTsv(frm.tree(), sink);
    } else {
        ListOutline(frm.tree(), sink);
    }
    return status;
}

// The window on the console for a long command: a progress bar on standard
// error when it is a terminal, driven by the jobs' progress in files.
JobControl StartWithProgress(ConsoleWidgets& widgets, FrmBig& frm)
{
    widgets.SetShowProgress(IsTerminal(stderr));
    frm.Form_Load();
    JobControl control;
    control.progress = [&widgets](const JobProgress& now) {
        widgets.SetProgressMaximum(static_cast<float>(now.totalFiles));
        widgets.SetProgressValue(static_cast<float>(now.files));
    };
    return control;
}

// The end of an extraction, with its files written and closed: its output
// is flushed and the process ends here rather than freeing the catalogue
// (tens of thousands of nodes and names) piece by piece, which the system
// does at once. Sanitizer builds return and free everything, so that leaks
// are still found.
int EndOfExtraction(int status)
{
    std::fflush(stdout);
#ifndef ARCHIVE_TOOL_FREE_AT_EXIT
    std::fflush(stderr);
    std::_Exit(status);
#endif
    return status;
}

int RunExtract(const Options& options, const std::vector<Selection>& selections)
{
    ConsoleWidgets widgets(stdout, stderr);
    FrmBig frm(widgets);
    const JobControl control = StartWithProgress(widgets, frm);
    if (const int status = Load(frm, options); status != kExitOk) {
        return status;
    }
    if (frm.LastFormat == ArchiveFormat::Rbf) {
        std::fprintf(stderr, "%s is an RBF archive: its files cannot be extracted, only listed\n",
                     options.archive.c_str());
        return kExitArchive;
    }
    std::vector<int> nodes;
    for (const Selection& selection : selections) {
        std::string text;
        int node = 0;
        if (Utf8ToWindows1252(selection.text, text)) {
            node = selection.byKey ? frm.tree().IndexOfKey(text) : FindNodeByArchivePath(frm, text);
        }
        if (node == 0) {
            std::fprintf(stderr, "%s %s selects nothing in %s\n", selection.byKey ? "The key" : "The path",
                         selection.text.c_str(), options.archive.c_str());
            return kExitUsage;
        }
        nodes.push_back(node);
    }
    if (!options.outputDir.empty()) {
        frm.OutputBase = PathFromUtf8(options.outputDir);
        std::error_code error;
        std::filesystem::create_directories(frm.OutputBase, error);
        if (error) {
            std::fprintf(stderr, "Cannot create %s: %s\n", options.outputDir.c_str(),
                         error.message().c_str());
            return kExitArchive;
        }
    }
    widgets.SetEcho(true);
    // Ctrl-C or a kill mid-entry leaves no temporary behind and ends as a failed extraction.
    InstallInterruptCleanup(kExitEntries, "\nInterrupted: the file being written was not kept\n");
    AllowManyOpenFiles();
    AskExisting existing;
    if (options.skipExisting) {
        existing = [](const ExistingFile&) { return ExistingAnswer{ExistingChoice::Skip, true}; };
    }
    // One summary, the last line on standard output; standard error has the failures only.
    if (nodes.empty() && options.destination.empty()) {
        const ExtractReport total = ExtractAll(frm, existing);
        widgets.EndProgress();
        std::fputs(FullExtractSummary(total).c_str(), stdout);
        return EndOfExtraction(total.failed > 0 ? kExitEntries : kExitOk);
    }
    // Selections, or a destination of the user's own: the set extraction, whose
    // last log line ("Extracted N files (...) to DEST") is the summary.
    SetDestination where;
    where.outputRoot = options.destination.empty();
    where.folder = PathFromUtf8(options.destination);
    JobControl job = control;
    job.existing = existing;
    const SetReport report = ExtractToJob(frm, nodes, where).Run(job);
    widgets.EndProgress();
    return EndOfExtraction(report.refused ? kExitArchive : report.failed.empty() ? kExitOk : kExitEntries);
}

int RunTest(const Options& options)
{
    ConsoleWidgets widgets(stdout, stderr);
    FrmBig frm(widgets);
    const JobControl control = StartWithProgress(widgets, frm);
    if (const int status = Load(frm, options); status != kExitOk) {
        return status;
    }
    widgets.SetEcho(true);
    const ArchiveTestReport report = TestArchiveJob(frm).Run(control);
    widgets.EndProgress();
    if (report.refused) {
        return kExitArchive;
    }
    return report.failed.empty() ? kExitOk : kExitEntries;
}

// The first word that is not an option, when it names no command: a typo
// should be told as one, not as a missing command.
const char* UnknownCommand(const CLI::App& app, int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] == '-') {
            continue;
        }
        for (const CLI::App* sub : app.get_subcommands({})) {
            if (sub->get_name() == argv[i]) {
                return nullptr;
            }
        }
        return argv[i];
    }
    return nullptr;
}

} // namespace
} // namespace archive

int main(int argc, char** argv)
{
    using namespace archive;
    ReuseFreedMemory();
    CLI::App app{
        "archive-tool-cli: reads SGA (\"_ARCHIVE\") and RBF (\"RBF1.23\") game archives, lists their\n"
        "catalogue, dumps their headers and extracts their files.",
        "archive-tool-cli"};
    app.set_version_flag("--version", "archive-tool-cli " + VersionText());
    app.require_subcommand(1);
    app.footer(
        "Examples:\n"
        "  archive-tool-cli info game.sga\n"
        "  archive-tool-cli list --tsv game.sga\n"
        "  archive-tool-cli --debug extract -C out game.sga art/tex/d.tga --key 'n-1\\f0'\n"
        "  archive-tool-cli extract --to ~/mods/game game.sga art\n"
        "  archive-tool-cli test game.sga\n"
        "\n"
        "extract with no PATH or --key writes every file; a PATH or key that names a folder\n"
        "writes every file below it. Files go below DIR/data, and below DIR/data/ALIAS when the first TOC's\n"
        "alias is not \"Data\" in any letter case; with --to they go straight below DEST,\n"
        "at their paths in the archive. A damaged entry is reported, and\n"
        "written as far as it inflated only where no file of its name is: it never replaces\n"
        "a file. Sound entries replace files of their names (--overwrite, the default);\n"
        "with --skip-existing those files are kept and the entries skipped.\n"
        "--debug writes ARCHIVE.debug.txt (and, for a full extract, ARCHIVE.debug.extract.txt)\n"
        "next to the archive.\n"
        "\n"
        "Exit status: 0 success; 1 usage error; 2 the archive cannot be opened, is rejected or\n"
        "its load stopped on a failure; 3 an entry failed to extract or failed its test, or\n"
        "the extraction was interrupted (SIGINT, SIGTERM: the file in hand is not kept).");
    Options options;
    app.add_flag("--debug", options.debug, "Write the debug files next to the archive");

    CLI::App* info =
        app.add_subcommand("info", "Print the header lines the archive's load writes to the log");
    info->add_option("ARCHIVE", options.archive, "The archive")->required();

    CLI::App* list = app.add_subcommand("list", "Print the catalogue tree");
    list->add_flag("--tsv", options.tsv, "One line per node: index, key, parent key, text (TAB-separated)");
    list->add_flag("--long", options.longList,
                   "One line per file: size, packed size, ratio, offset (CRC for RBF), path; the totals "
                   "leave out negative sizes")
        ->excludes("--tsv");
    list->add_flag("--json", options.json,
                   "One JSON document: every node's index, key, parent key and text, and a file's "
                   "--long details")
        ->excludes("--tsv", "--long");
    list->add_option("ARCHIVE", options.archive, "The archive")->required();

    CLI::App* extract =
        app.add_subcommand("extract", "Extract every file, or the files selected by PATH or --key");
    extract->add_option("-C", options.outputDir, "Make the output root below DIR (default: here)")
        ->option_text("DIR");
    CLI::Option* toOption =
        extract->add_option("--to", options.destination, "Extract straight below DEST, without data/ALIAS")
            ->option_text("DEST");
    extract->get_option("-C")->excludes(toOption);
    CLI::Option* skipOption = extract->add_flag("--skip-existing", options.skipExisting,
                                                "Keep files that are there and skip their entries");
    extract->add_flag("--overwrite", options.overwrite, "Replace files that are there (the default)")
        ->excludes(skipOption);
    extract->add_option("ARCHIVE", options.archive, "The archive")->required();
    CLI::Option* pathOption = extract->add_option(
        "PATH", options.paths, "Archive path of a file or folder (\\ or / between folders)");
    CLI::Option* keyOption = extract->add_option("--key", options.keys, "Select the tree node with this key")
                                 ->option_text("KEY")
                                 ->allow_extra_args(false);

    CLI::App* test = app.add_subcommand(
        "test", "Read and inflate every entry, writing nothing: failures on stderr, a summary on stdout");
    test->add_option("ARCHIVE", options.archive, "The archive")->required();

    for (CLI::App* sub : {info, list, extract, test}) {
        sub->fallthrough();
    }
    if (const char* unknown = UnknownCommand(app, argc, argv)) {
        std::fprintf(stderr,
                     "Unknown command: %s (the commands are info, list, extract and test)\n"
                     "Run with --help for more information.\n",
                     unknown);
        return kExitUsage;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return e.get_exit_code() == 0 ? code : kExitUsage;
    }

    if (*info) {
        return RunInfo(options);
    }
    if (*list) {
        return RunList(options);
    }
    if (*test) {
        return RunTest(options);
    }
    // Selections in the order they were typed.
    std::vector<Selection> selections;
    std::size_t nextPath = 0;
    std::size_t nextKey = 0;
    for (const CLI::Option* option : extract->parse_order()) {
        if (option == pathOption && nextPath < options.paths.size()) {
            selections.push_back({false, options.paths[nextPath++]});
        } else if (option == keyOption && nextKey < options.keys.size()) {
            selections.push_back({true, options.keys[nextKey++]});
        }
    }
    return RunExtract(options, selections);
}
