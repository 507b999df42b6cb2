#include "gui/catalogue_model.h"

#include "platform/text_encoding.h"

namespace archive {

QString DisplayText(std::string_view bytes)
{
    const std::u32string codePoints = Windows1252ToCodePoints(bytes);
    return QString::fromUcs4(codePoints.data(), static_cast<qsizetype>(codePoints.size()));
}

CatalogueModel::CatalogueModel(const CatalogueTree& tree, QObject* parent)
    : QAbstractItemModel(parent), tree_(tree)
{
}

const std::vector<int>& CatalogueModel::ChildrenOf(const QModelIndex& parent) const
{
    return parent.isValid() ? tree_.Node(NodeOf(parent)).children : tree_.TopLevel();
}

QModelIndex CatalogueModel::index(int row, int column, const QModelIndex& parent) const
{
    const std::vector<int>& children = ChildrenOf(parent);
    if (column != 0 || row < 0 || static_cast<std::size_t>(row) >= children.size()) {
        return {};
    }
    return createIndex(row, 0, static_cast<quintptr>(children[static_cast<std::size_t>(row)]));
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
    return 1;
}

QVariant CatalogueModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid()) {
        return {};
    }
    return DisplayText(tree_.Node(NodeOf(index)).text);
}

} // namespace archive
