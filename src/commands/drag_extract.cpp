#include "commands/drag_extract.h"

#include "commands/catalogue_details.h"
#include "extract/entry_damage.h"
#include "extract/entry_fetch.h"
#include "extract/host_path.h"
#include "platform/host_file.h"
#include "platform/text_encoding.h"
#include "window/frm_big.h"

#include <algorithm>
#include <optional>
#include <system_error>
#include <unordered_set>

namespace archive {

namespace {

// The dragged nodes that no other dragged node holds, in the order given.
std::vector<int> Outermost(const CatalogueTree& tree, const std::vector<int>& nodes)
{
    const std::unordered_set<int> dragged(nodes.begin(), nodes.end());
    std::vector<int> outer;
    std::unordered_set<int> seen;
    for (const int node : nodes) {
        if (node < 1 || static_cast<std::size_t>(node) > tree.Count() || !seen.insert(node).second) {
            continue;
        }
        bool inside = false;
        for (int up = tree.Node(node).parent; up != 0 && !inside; up = tree.Node(up).parent) {
            inside = dragged.count(up) != 0;
        }
        if (!inside) {
            outer.push_back(node);
        }
    }
    return outer;
}

// Visits a node and everything below it with each one's path relative to the node's parent.
template <typename Visit> void Walk(const CatalogueTree& tree, int top, Visit&& visit)
{
    std::vector<std::pair<int, std::string>> stack{{top, tree.Node(top).text}};
    while (!stack.empty()) {
        auto [node, path] = std::move(stack.back());
        stack.pop_back();
        visit(node, path);
        const std::vector<int>& children = tree.Node(node).children;
        for (auto child = children.rbegin(); child != children.rend(); ++child) {
            stack.emplace_back(*child, path + "\\" + tree.Node(*child).text);
        }
    }
}

// "plan (2).dat" beside "plan.dat": the first such name that is free.
std::filesystem::path NameBeside(const std::filesystem::path& target)
{
    for (int n = 2;; ++n) {
        std::filesystem::path name = target.stem();
        name += " (" + std::to_string(n) + ")";
        name += target.extension();
        std::error_code error;
        const std::filesystem::path candidate = target.parent_path() / name;
        if (!std::filesystem::exists(std::filesystem::symlink_status(candidate, error)) || n == 1000000) {
            return candidate;
        }
    }
}

const SgaFile* FileOfNode(const FrmBig& frm, int node)
{
    const int row = SgaFileRowOfKey(frm.tree().Node(node).key);
    if (row < 0 || static_cast<std::size_t>(row) >= frm.Sga.SgaFiles.size()) {
        return nullptr;
    }
    return &frm.Sga.SgaFiles[static_cast<std::size_t>(row)];
}

} // namespace

DragPlanSize MeasureDrag(const FrmBig& frm, const std::vector<int>& nodes)
{
    DragPlanSize size;
    for (const int top : Outermost(frm.tree(), nodes)) {
        Walk(frm.tree(), top, [&](int node, const std::string&) {
            if (const SgaFile* file = FileOfNode(frm, node)) {
                ++size.files;
                size.bytes += std::max<std::int32_t>(file->ExpandedSize, 0);
            }
        });
    }
    return size;
}

DragExtractReport ExtractForDrag(const FrmBig& frm, const std::vector<int>& nodes,
                                 const std::filesystem::path& destination, const DragProgress& progress,
                                 const AskExisting& existing)
{
    DragExtractReport report;
    if (!frm.SgaCatalogueShown()) {
        report.failures.push_back("only files of a whole SGA catalogue can be extracted");
        return report;
    }
    ArchiveFile archive;
    std::string error;
    if (frm.ArchivePath.empty() || !archive.Open(PathFromUtf8(frm.ArchivePath), error)) {
        report.failures.push_back("the archive cannot be read: " +
                                  (error.empty() ? "no archive is open" : error));
        return report;
    }
    clsZlib zlib; // an extraction that lets events run may be using the window's
    std::optional<ExistingAnswer> forAll;
    std::int64_t bytes = 0;
    for (const int top : Outermost(frm.tree(), nodes)) {
        const auto topPath = MapArchivePath(frm.tree().Node(top).text);
        if (!topPath || topPath->empty()) {
            report.failures.push_back(frm.tree().Node(top).text + ": not a name that can be written");
            continue;
        }
        Walk(frm.tree(), top, [&](int node, const std::string& path) {
            const SgaFile* file = FileOfNode(frm, node);
            if (report.cancelled) {
                return;
            }
            const auto mapped = MapArchivePath(path);
            if (!mapped || mapped->empty()) {
                report.failures.push_back(path + ": not a name that can be written");
                return;
            }
            const std::filesystem::path target = destination / *mapped;
            std::error_code folderError;
            std::filesystem::create_directories(file ? target.parent_path() : target, folderError);
            if (!file) {
                return;
            }
            FetchedEntry entry =
                FetchEntry(archive, zlib, *file,
                           static_cast<std::int64_t>(frm.Sga.SgaHeader.DataOffset) + file->EntryOffset);
            const EntryDamage damage = JudgeEntry(entry, file->ExpandedSize);
            std::error_code thereError;
            const bool there = std::filesystem::exists(std::filesystem::symlink_status(target, thereError));
            std::string writeError;
            if (damage.kind == EntryDamage::Kind::Refused) {
                report.failures.push_back(path + ": " + damage.reason + "; not written");
            } else if (!damage.Sound() && there) {
                // The one rule of every command: a damaged entry never replaces a file.
                report.failures.push_back(path + ": " + damage.reason + "; the file already there was kept");
            } else if (!damage.Sound()) {
                report.failures.push_back(
                    path + ": " + damage.reason +
                    (WriteFileReplacing(target, entry.buffer.data(), entry.buffer.size(), writeError)
                         ? "; written as far as it went"
                         : "; not written: " + writeError));
            } else {
                std::filesystem::path to = target;
                ExistingChoice choice = ExistingChoice::Replace;
                if (there && (existing || forAll)) {
                    ExistingAnswer answer =
                        forAll ? *forAll
                               : existing({path, target, static_cast<std::int64_t>(entry.buffer.size())});
                    if (answer.forAll) {
                        forAll = answer;
                    }
                    choice = answer.choice;
                    if (choice == ExistingChoice::KeepBoth) {
                        to = NameBeside(target);
                    }
                }
                if (choice == ExistingChoice::Skip) {
                    ++report.skipped;
                } else if (!WriteFileReplacing(to, entry.buffer.data(), entry.buffer.size(), writeError)) {
                    report.failures.push_back(path + ": " + writeError);
                } else {
                    ++report.written;
                }
            }
            bytes += std::max<std::int32_t>(file->ExpandedSize, 0);
            report.cancelled =
                progress &&
                !progress(report.written + report.skipped + static_cast<int>(report.failures.size()), bytes);
        });
        if (report.cancelled) {
            break;
        }
        std::error_code exists;
        if (std::filesystem::exists(destination / *topPath, exists)) {
            report.handed.push_back(destination / *topPath);
        }
    }
    return report;
}

} // namespace archive
