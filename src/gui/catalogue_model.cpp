#include "gui/catalogue_model.h"

#include "platform/text_encoding.h"

#include <QApplication>
#include <QLocale>
#include <QStyle>

#include <array>

namespace archive {

namespace {

constexpr std::array<const char*, kDetailsColumns> kHeaders = {"Name",  "Size",   "Packed",
                                                               "Ratio", "Offset", "CRC"};
constexpr std::array<const char*, kDetailsColumns> kHeaderTips = {
    "Name in the archive",
    "Size of the content, expanded (a folder: the total of its files)",
    "Bytes stored in the archive (a folder: the total of its files)",
    "Stored bytes as a share of the expanded size",
    "Position of the stored bytes in the archive file",
    "The entry's CRC field, as the debug dump shows it"};

} // namespace

QString DisplayText(std::string_view bytes)
{
    const std::u32string codePoints = Windows1252ToCodePoints(bytes);
    return QString::fromUcs4(codePoints.data(), static_cast<qsizetype>(codePoints.size()));
}

CatalogueModel::CatalogueModel(const CatalogueTree& tree, const CatalogueDetails& details, QObject* parent)
    : QAbstractItemModel(parent), tree_(tree), details_(details),
      folderIcon_(QApplication::style()->standardIcon(QStyle::SP_DirIcon)),
      fileIcon_(QApplication::style()->standardIcon(QStyle::SP_FileIcon)),
      decimalSeparator_(QLocale().decimalPoint().toStdString()),
      groupSeparator_(QLocale().groupSeparator().toStdString())
{
}

void CatalogueModel::SetIconsShown(bool shown)
{
    iconsShown_ = shown;
    if (rowCount() > 0) {
        emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::DecorationRole});
    }
}

const std::vector<int>& CatalogueModel::ChildrenOf(const QModelIndex& parent) const
{
    return parent.isValid() ? tree_.Node(NodeOf(parent)).children : tree_.TopLevel();
}

QModelIndex CatalogueModel::index(int row, int column, const QModelIndex& parent) const
{
    const std::vector<int>& children = ChildrenOf(parent);
    if (column < 0 || column >= kDetailsColumns || row < 0 ||
        static_cast<std::size_t>(row) >= children.size()) {
        return {};
    }
    return createIndex(row, column, static_cast<quintptr>(children[static_cast<std::size_t>(row)]));
}

QModelIndex CatalogueModel::parent(const QModelIndex& child) const
{
    const int node = NodeOf(child);
    if (node == 0) {
        return {};
    }
    return IndexOfNode(tree_.Node(node).parent);
}

QModelIndex CatalogueModel::IndexOfNode(int node) const
{
    if (node <= 0 || static_cast<std::size_t>(node) > tree_.Count()) {
        return {};
    }
    return createIndex(tree_.Node(node).row, 0, static_cast<quintptr>(node));
}

int CatalogueModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0) {
        return 0;
    }
    return static_cast<int>(ChildrenOf(parent).size());
}

int CatalogueModel::columnCount(const QModelIndex&) const
{
    return kDetailsColumns;
}

QVariant CatalogueModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid()) {
        return {};
    }
    const int node = NodeOf(index);
    const auto column = static_cast<DetailsColumn>(index.column());
    switch (role) {
    case Qt::DisplayRole:
        if (column == DetailsColumn::Name) {
            return DisplayText(tree_.Node(node).text);
        }
        return QString::fromStdString(details_.Text(node, column, decimalSeparator_, groupSeparator_));
    case Qt::DecorationRole:
        if (column == DetailsColumn::Name && iconsShown_) {
            return details_.IsFolder(node) ? folderIcon_ : fileIcon_;
        }
        return {};
    case Qt::TextAlignmentRole:
        if (column != DetailsColumn::Name) {
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        }
        return {};
    default:
        return {};
    }
}

QVariant CatalogueModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= kDetailsColumns) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return QString::fromLatin1(kHeaders[static_cast<std::size_t>(section)]);
    }
    if (role == Qt::ToolTipRole) {
        return QString::fromLatin1(kHeaderTips[static_cast<std::size_t>(section)]);
    }
    return {};
}

Qt::ItemFlags CatalogueModel::flags(const QModelIndex& index) const
{
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
}

CatalogueProxy::CatalogueProxy(CatalogueModel& source, const CatalogueDetails& details, QObject* parent)
    : QSortFilterProxyModel(parent), source_(source), details_(details)
{
    setSourceModel(&source);
    setDynamicSortFilter(false); // the catalogue changes only by a reset
}

void CatalogueProxy::SetKept(std::vector<char> kept)
{
    // One reset, not the filter's row-by-row removal: with thousands of
    // expanded folders that removal costs the view a relayout per folder.
    source_.BeginReset();
    kept_ = std::move(kept);
    source_.EndReset();
}

bool CatalogueProxy::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    if (kept_.empty()) {
        return true;
    }
    const int node = CatalogueModel::NodeOf(source_.index(sourceRow, 0, sourceParent));
    return node > 0 && static_cast<std::size_t>(node) < kept_.size() && kept_[static_cast<std::size_t>(node)];
}

bool CatalogueProxy::hasChildren(const QModelIndex& parent) const
{
    // The view asks this of every row it lays out. Unfiltered, every child
    // shows, and the base class's answer would build the sort and filter
    // mapping of each folder in view just to count its rows.
    if (kept_.empty()) {
        return source_.hasChildren(mapToSource(parent));
    }
    return QSortFilterProxyModel::hasChildren(parent);
}

bool CatalogueProxy::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    const int a = CatalogueModel::NodeOf(left);
    const int b = CatalogueModel::NodeOf(right);
    // Folders stay above files whichever way the column is sorted.
    if (details_.IsFolder(a) != details_.IsFolder(b)) {
        return (sortOrder() == Qt::AscendingOrder) == details_.IsFolder(a);
    }
    return details_.Less(a, b, static_cast<DetailsColumn>(left.column()));
}

} // namespace archive
