#include "commands/extract_to.h"

#include "platform/text_encoding.h"
#include "sga/sga_node_key.h"
#include "window/catalogue_filter.h"
#include "window/frm_big.h"

#include <array>
#include <cstdio>
#include <optional>

namespace archive {

namespace {

// Adds what one node stands for: a folder's directory row, or a file's row
// and the directory row that holds it.
void AddNode(const SgaTables& t, const CatalogueNode& node, ExtractionSet& set)
{
    const std::optional<SgaNodeKey> key = ParseSgaNodeKey(node.key);
    if (!key || key->directory >= static_cast<int>(t.SgaDirNames.size())) {
        return;
    }
    const int directory =
        key->directory < 0 || t.SgaDirNames[static_cast<std::size_t>(key->directory)].empty()
            ? -1
            : key->directory;
    if (key->kind != SgaNodeKey::Kind::File) {
        if (directory >= 0) {
            set.folders.push_back(directory);
        }
        return;
    }
    if (static_cast<std::size_t>(key->fileRow) >= t.SgaFileNames.size()) {
        return;
    }
    set.files.push_back({key->fileRow, directory});
}

} // namespace

ExtractionSet SetOfNodes(const FrmBig& frm, const std::vector<int>& nodes)
{
    ExtractionSet set;
    const CatalogueTree& tree = frm.tree();
    std::vector<int> pending = nodes;
    if (pending.empty()) {
        pending = tree.TopLevel();
    }
    // A node reached twice (selected, and below a selected folder) adds its
    // entries twice; the extraction writes each once.
    std::vector<bool> visited(tree.Count() + 1, false);
    while (!pending.empty()) {
        const int index = pending.back();
        pending.pop_back();
        if (index < 1 || static_cast<std::size_t>(index) > tree.Count() ||
            visited[static_cast<std::size_t>(index)]) {
            continue;
        }
        visited[static_cast<std::size_t>(index)] = true;
        const CatalogueNode& node = tree.Node(index);
        AddNode(frm.Sga, node, set);
        pending.insert(pending.end(), node.children.begin(), node.children.end());
    }
    return set;
}

ExtractToChoice ExtractToNodes(const CatalogueTree& tree, const std::vector<int>& selected,
                               const std::vector<char>& kept)
{
    ExtractToChoice choice;
    choice.nodes = ShownNodes(selected, kept);
    if (!choice.nodes.empty() || kept.empty()) {
        return choice;
    }
    // Every kept node below the top is kept with the folders above it: its
    // leaves are what the filter shows, and nothing it hides.
    for (int node = 1; node <= static_cast<int>(tree.Count()) && static_cast<std::size_t>(node) < kept.size();
         ++node) {
        if (kept[static_cast<std::size_t>(node)] != 0 && tree.Node(node).children.empty()) {
            choice.nodes.push_back(node);
        }
    }
    if (choice.nodes.empty()) {
        choice.nothing = "Nothing to extract: the filter shows no file";
    }
    return choice;
}

std::filesystem::path ArchiveFolder(const FrmBig& frm)
{
    if (frm.ArchivePath.empty()) {
        return {};
    }
    std::error_code error;
    const std::filesystem::path archive = std::filesystem::absolute(PathFromUtf8(frm.ArchivePath), error);
    return error ? std::filesystem::path() : archive.lexically_normal().parent_path();
}

SetReport ExtractToJob::Run(const JobControl& control)
{
    const ExtractionSet set = frm_.SgaCatalogueShown() ? SetOfNodes(frm_, nodes_) : ExtractionSet{};
    return ExtractSet(frm_, set, where_, control);
}

std::string BytesOfTotalText(std::int64_t done, std::int64_t total)
{
    if (total < 1000) {
        return std::to_string(done) + " of " + std::to_string(total) + (total == 1 ? " byte" : " bytes");
    }
    struct Unit {
        double size;
        const char* name;
    };
    constexpr std::array<Unit, 3> kUnits = {{{1e3, "KB"}, {1e6, "MB"}, {1e9, "GB"}}};
    std::size_t unit = 0;
    // The largest unit in which the total, rounded to one decimal, is at least 1.0.
    while (unit + 1 < kUnits.size() && static_cast<double>(total) >= kUnits[unit + 1].size * 0.9995) {
        ++unit;
    }
    char text[96];
    std::snprintf(text, sizeof text, "%.1f of %.1f %s", static_cast<double>(done) / kUnits[unit].size,
                  static_cast<double>(total) / kUnits[unit].size, kUnits[unit].name);
    return text;
}

std::string JobProgressText(const JobProgress& now)
{
    return std::to_string(now.files) + " of " + std::to_string(now.totalFiles) +
           (now.totalFiles == 1 ? " file, " : " files, ") + BytesOfTotalText(now.bytes, now.totalBytes);
}

bool JobPictureClock::Due(const JobProgress& now, Clock::time_point at)
{
    if (now.files != now.totalFiles && drawn_ && at - *drawn_ < kInterval) {
        return false;
    }
    drawn_ = at;
    return true;
}

int JobProgressPermille(const JobProgress& now)
{
    const std::int64_t done = now.totalBytes > 0   ? now.bytes * 1000 / now.totalBytes
                              : now.totalFiles > 0 ? now.files * 1000 / now.totalFiles
                                                   : 0;
    return static_cast<int>(done);
}

} // namespace archive
