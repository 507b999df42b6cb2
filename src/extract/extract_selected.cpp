#include "extract/extract.h"

#include "extract/entry_fetch.h"
#include "extract/extractor.h"
#include "extract/host_path.h"
#include "sga/sga_node_key.h"
#include "window/frm_big.h"
#include "window/number_text.h"
#include "window/path_helpers.h"

#include <optional>
#include <unordered_set>

namespace archive {

namespace {

// The folder path of a node's key: "" for the archive root, the directory's
// path and "\" for a file node; nothing for a directory node.
std::optional<std::string> FolderPathOfKey(const SgaTables& t, const std::string& key, bool& badKey)
{
    const std::optional<SgaNodeKey> parsed = ParseSgaNodeKey(key);
    badKey = !parsed ||
             (parsed->directory >= 0 && static_cast<std::size_t>(parsed->directory) >= t.SgaDirNames.size());
    if (badKey || parsed->kind == SgaNodeKey::Kind::Directory) {
        return std::nullopt;
    }
    if (parsed->directory < 0) {
        return std::string(); // the archive root, or a file in it
    }
    return t.SgaDirNames[static_cast<std::size_t>(parsed->directory)] + "\\";
}

} // namespace

ExtractReport ExtractSelected(FrmBig& frm, int nodeIndex, const AskExisting& existing)
{
    if (frm.Extracting) {
        return {};
    }
    Extractor x(frm);
    x.AskWhenExisting(existing);
    const CatalogueTree& tree = frm.tree();
    if (!x.OpenArchive()) {
        ExtractReport refused = x.Report();
        refused.refused = true;
        return refused;
    }
    if (nodeIndex < 1 || static_cast<std::size_t>(nodeIndex) > tree.Count()) {
        frm.sText("No file is selected: choose a file in the tree first");
        return {};
    }
    const CatalogueNode& node = tree.Node(nodeIndex);
    frm.sText(node.children.empty() ? "Extracting: " + node.text : std::string("Cannot extract directory"));
    if (!x.PrepareOutputRoot()) {
        return x.Report();
    }
    const SgaTables& t = frm.Sga;
    bool badKey = false;
    const std::optional<std::string> folder = FolderPathOfKey(t, node.key, badKey);
    if (badKey) {
        x.Error("the node " + node.key + " belongs to no directory of the loaded archive", node.key);
    }
    if (!folder) {
        return x.Report();
    }
    const std::string path = *folder + node.text;
    // The folders of the folder path, outermost first; an unsafe one stops the command there.
    std::int16_t levels = 0;
    try {
        levels = CountBackslashes(*folder);
    } catch (const PathTooLong& e) {
        x.Error(path + ": " + e.what(), path);
        return x.Report();
    }
    std::size_t start = 0;
    for (int level = 0; level < levels; ++level) {
        const std::size_t p = folder->find('\\', start);
        const std::string q = folder->substr(0, p);
        const auto mappedFolder = MapArchivePath(q);
        if (!mappedFolder) {
            x.Unsafe(q);
            return x.Report();
        }
        const std::filesystem::path host = *mappedFolder;
        if (!x.Exists(host)) {
            frm.sText("Creating directory: " + x.RootText() + q);
            if (!x.CreateFolder(host, q)) {
                return x.Report();
            }
        }
        start = p + 1;
    }
    const std::optional<std::filesystem::path> target = MapArchivePath(path);
    if (!target) {
        x.Unsafe(path);
        return x.Report();
    }
    const int numFiles = std::min<int>(t.SgaDataHeader.NumFiles, static_cast<int>(t.SgaFiles.size()));
    for (int r = 0; r < numFiles; ++r) {
        const SgaFile& file = t.SgaFiles[static_cast<std::size_t>(r)];
        if (file.Path != path) {
            continue;
        }
        const std::int64_t position = EntryPosition(t, file);
        FetchedEntry entry = FetchEntry(x.archive(), x.Zlib(), file, position);
        frm.sText(N(position) + ": " + file.Path);
        if (Extractor::InflateFailed(entry)) {
            frm.dText("Error: " + N(entry.status) + ", Extract of " + N(r) + " " + file.Path + " Failed");
        }
        if (NamesAFolder(path)) {
            // An empty name (or ".") leaves the path naming its folder.
            x.Error(NameOfEntry(r, file.Path) + " has no file name: a folder cannot be written as a file",
                    NameOfEntry(r, file.Path));
        } else {
            x.WriteEntry(*target, entry, JudgeEntry(entry, file.ExpandedSize), file.Path);
        }
        x.EndEntry(file.Path);
        break;
    }
    return x.Report();
}

std::vector<int> SaveSelectedNodes(const CatalogueTree& tree, const std::vector<int>& selected)
{
    if (selected.size() <= 1) {
        return selected;
    }
    std::vector<int> files;
    std::unordered_set<int> seen;
    for (const int node : selected) {
        if (node < 1 || static_cast<std::size_t>(node) > tree.Count() || !seen.insert(node).second) {
            continue;
        }
        const std::optional<SgaNodeKey> key = ParseSgaNodeKey(tree.Node(node).key);
        if (key && key->kind == SgaNodeKey::Kind::File && tree.Node(node).children.empty()) {
            files.push_back(node);
        }
    }
    return files;
}

ExtractReport ExtractSelectedItems(FrmBig& frm, const std::vector<int>& selected, const AskExisting& existing)
{
    ExtractReport total;
    if (frm.Extracting) {
        return total;
    }
    bool tried = false;
    for (const int node : SaveSelectedNodes(frm.tree(), selected)) {
        const ExtractReport one = ExtractSelected(frm, node, existing);
        tried = tried || !one.refused;
        total.written += one.written;
        total.failed += one.failed;
        total.failedEntries.insert(total.failedEntries.end(), one.failedEntries.begin(),
                                   one.failedEntries.end());
    }
    if (total.failed > 0 && tried) { // a refusal has said why: it wrote nothing to count
        const std::string line = WrittenAndFailed(total.written, total.failed);
        frm.sText(line);
        frm.widgets().SetStatusText(line);
    }
    return total;
}

} // namespace archive
