#include "commands/entry_preview.h"

#include "commands/catalogue_details.h"
#include "extract/entry_damage.h"
#include "platform/text_encoding.h"
#include "window/frm_big.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iterator>

namespace archive {

namespace {

bool EndsWithIgnoringCase(std::string_view name, std::string_view suffix)
{
    if (name.size() < suffix.size()) {
        return false;
    }
    const std::string_view end = name.substr(name.size() - suffix.size());
    return std::equal(end.begin(), end.end(), suffix.begin(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    });
}

bool NamesAnImage(std::string_view name)
{
    static constexpr std::string_view kImages[] = {".png",  ".jpg", ".jpeg", ".jpe", ".bmp", ".gif",
                                                   ".tga",  ".dds", ".ico",  ".cur", ".tif", ".tiff",
                                                   ".webp", ".ppm", ".pgm",  ".pbm", ".pnm", ".xpm"};
    return std::any_of(std::begin(kImages), std::end(kImages),
                       [name](std::string_view suffix) { return EndsWithIgnoringCase(name, suffix); });
}

bool StartsAnImage(std::string_view bytes)
{
    static constexpr std::string_view kSignatures[] = {
        std::string_view("\x89PNG", 4), std::string_view("\xFF\xD8\xFF", 3), "GIF8", "BM", "DDS ",
        std::string_view("II*\0", 4),   std::string_view("MM\0*", 4)};
    return std::any_of(std::begin(kSignatures), std::end(kSignatures),
                       [bytes](std::string_view signature) { return bytes.starts_with(signature); }) ||
           (bytes.starts_with("RIFF") && bytes.substr(8, 4) == "WEBP");
}

} // namespace

std::size_t PreviewLimit(std::string_view name, std::string_view firstBytes)
{
    return NamesAnImage(name) || StartsAnImage(firstBytes) ? kPreviewImageLimit : kPreviewTextLimit + 1;
}

PreviewFetch::PreviewFetch(const FrmBig& frm, int node)
{
    const CatalogueTree& tree = frm.tree();
    if (node < 1 || static_cast<std::size_t>(node) > tree.Count()) {
        preview_.problem = "No file is selected.";
        return;
    }
    preview_.name = tree.Node(node).text;
    if (frm.CatalogueFormat == ArchiveFormat::Rbf) {
        preview_.problem = "RBF archives do not say where an entry's data lies: there is nothing to show.";
        return;
    }
    if (!frm.SgaCatalogueShown()) {
        preview_.problem =
            "The tree does not show a whole catalogue of the open archive: nothing is read through it.";
        return;
    }
    const int row = SgaFileRowOfKey(tree.Node(node).key);
    if (row < 0 || static_cast<std::size_t>(row) >= frm.Sga.SgaFiles.size()) {
        preview_.problem = "A folder has no content of its own to show.";
        return;
    }
    std::string error;
    if (frm.ArchivePath.empty() || !archive_.Open(PathFromUtf8(frm.ArchivePath), error)) {
        preview_.problem = "The archive cannot be read: " + (error.empty() ? "no archive is open" : error);
        return;
    }
    file_ = frm.Sga.SgaFiles[static_cast<std::size_t>(row)];
    position_ = static_cast<std::int64_t>(frm.Sga.SgaHeader.DataOffset) + file_.EntryOffset;
    stream_ = std::make_unique<EntryStream>(archive_, file_, position_);
    total_ = stream_->Facts().got;
}

PreviewFetch::~PreviewFetch() = default;

bool PreviewFetch::Step()
{
    if (!stream_) {
        return false;
    }
    const bool more = stream_->Step([this](const std::uint8_t* bytes, std::size_t size) {
        const std::string_view piece(reinterpret_cast<const char*>(bytes), size);
        if (limit_ == 0) {
            limit_ = PreviewLimit(preview_.name, piece.substr(0, 16));
        }
        const std::size_t room = limit_ - content_.size();
        content_.append(piece.substr(0, room));
        return content_.size() < limit_; // the view has what it shows: stop inflating
    });
    done_ = std::min<std::int64_t>(done_ + static_cast<std::int64_t>(EntryStream::kPieceBytes), total_);
    if (!more) {
        Finish();
    }
    return more;
}

void PreviewFetch::Finish()
{
    const EntryFacts& facts = stream_->Facts();
    EntryDamage damage = JudgeEntry(facts, file_.ExpandedSize);
    if (stream_->Stopped() && damage.kind == EntryDamage::Kind::Damaged && facts.got == facts.stored) {
        damage = {}; // stopped early: the rest is unread, and what was read is sound so far
    }
    if (!damage.Sound()) {
        preview_.problem = "The entry is damaged: it " + damage.reason + ".";
    } else {
        preview_.partial = stream_->Stopped();
        preview_.size = preview_.partial ? std::max<std::int64_t>(file_.ExpandedSize, 0) : facts.produced;
        preview_.content = ByteArray::FromString(content_);
    }
    content_ = {};
    stream_.reset();
    archive_.Close();
}

EntryPreview PreviewFetch::Take()
{
    while (Step()) {
    }
    return std::move(preview_);
}

EntryPreview PreviewEntry(const FrmBig& frm, int node)
{
    PreviewFetch fetch(frm, node);
    return fetch.Take();
}

bool LooksLikeText(std::string_view content)
{
    const std::string_view start = content.substr(0, 8192);
    std::size_t controls = 0;
    for (const char c : start) {
        const auto u = static_cast<unsigned char>(c);
        if (u == 0) {
            return false;
        }
        if ((u < 32 && u != '\t' && u != '\n' && u != '\r' && u != '\f') || u == 0x7F) {
            ++controls;
        }
    }
    return controls * 100 <= start.size(); // at most one in a hundred
}

std::string HexDump(std::string_view content, std::size_t limit)
{
    const std::size_t shown = std::min(content.size(), limit);
    std::string dump;
    dump.reserve(shown / 16 * 78 + 80);
    char cell[32];
    for (std::size_t line = 0; line < shown; line += 16) {
        std::snprintf(cell, sizeof cell, "%08zx ", line);
        dump += cell;
        std::string printable;
        for (std::size_t i = line; i < line + 16; ++i) {
            if (i < shown) {
                const auto u = static_cast<unsigned char>(content[i]);
                std::snprintf(cell, sizeof cell, " %02x", u);
                dump += cell;
                printable += u >= 32 && u < 127 ? static_cast<char>(u) : '.';
            } else {
                dump += "   ";
            }
        }
        dump += "  " + printable + "\n";
    }
    if (shown < content.size()) {
        dump += "... " + std::to_string(content.size() - shown) + " more bytes not shown\n";
    }
    return dump;
}

} // namespace archive
