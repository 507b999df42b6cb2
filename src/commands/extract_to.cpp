#include "commands/extract_to.h"

#include "platform/text_encoding.h"
#include "sga/sga_node_key.h"
#include "window/frm_big.h"

#include <optional>

namespace archive {

namespace {

// Adds what one node stands for: a folder's path, or a file's row and path.
void AddNode(const SgaTables& t, const CatalogueNode& node, ExtractionSet& set)
{
    const std::optional<SgaNodeKey> key = ParseSgaNodeKey(node.key);
    if (!key || key->directory >= static_cast<int>(t.SgaDirNames.size())) {
        return;
    }
    const std::string folder =
        key->directory < 0 ? std::string() : t.SgaDirNames[static_cast<std::size_t>(key->directory)];
    if (key->kind != SgaNodeKey::Kind::File) {
        if (!folder.empty()) {
            set.folders.push_back(folder);
        }
        return;
    }
    if (static_cast<std::size_t>(key->fileRow) >= t.SgaFileNames.size()) {
        return;
    }
    const std::string& name = t.SgaFileNames[static_cast<std::size_t>(key->fileRow)];
    set.files.push_back({key->fileRow, folder.empty() ? name : folder + "\\" + name});
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

} // namespace archive
