#pragma once

#include "window/catalogue_tree.h"

#include <QAbstractItemModel>

namespace archive {

// Shows a CatalogueTree without a widget item per node: an index's internal
// id is the node's 1-based index.
class CatalogueModel : public QAbstractItemModel {
    Q_OBJECT
  public:
    explicit CatalogueModel(const CatalogueTree& tree, QObject* parent = nullptr);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    QModelIndex IndexOfNode(int node) const;
    static int NodeOf(const QModelIndex& index)
    {
        return index.isValid() ? static_cast<int>(index.internalId()) : 0;
    }

    void BeginReset() { beginResetModel(); }
    void EndReset() { endResetModel(); }

  private:
    const std::vector<int>& ChildrenOf(const QModelIndex& parent) const;

    const CatalogueTree& tree_;
};

// Archive text (Windows-1252) for display.
QString DisplayText(std::string_view bytes);

} // namespace archive
