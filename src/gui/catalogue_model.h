#pragma once

#include "commands/catalogue_details.h"
#include "window/catalogue_tree.h"

#include <QAbstractItemModel>
#include <QIcon>
#include <QSortFilterProxyModel>

#include <vector>

namespace archive {

// Shows a CatalogueTree without a widget item per node: an index's internal
// id is the node's 1-based index. Columns after the name come from the
// details the window builds at each load.
class CatalogueModel : public QAbstractItemModel {
    Q_OBJECT
  public:
    CatalogueModel(const CatalogueTree& tree, const CatalogueDetails& details, QObject* parent = nullptr);
    // The longest text a details column shows, as the view shows it (to size the column).
    QString WidestText(DetailsColumn column) const
    {
        return QString::fromStdString(details_.WidestText(column, decimalSeparator_, groupSeparator_));
    }

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    QModelIndex IndexOfNode(int node) const;
    static int NodeOf(const QModelIndex& index)
    {
        return index.isValid() ? static_cast<int>(index.internalId()) : 0;
    }

    void BeginReset() { beginResetModel(); }
    void EndReset() { endResetModel(); }
    // Folder and file icons beside the names, or none (the plain tree).
    void SetIconsShown(bool shown);

  private:
    const std::vector<int>& ChildrenOf(const QModelIndex& parent) const;

    const CatalogueTree& tree_;
    const CatalogueDetails& details_;
    QIcon folderIcon_;
    QIcon fileIcon_;
    bool iconsShown_ = true;
    std::string decimalSeparator_;
    std::string groupSeparator_;
};

// The view's model over the catalogue: keeps the nodes a filter lets through
// and sorts by a column, or shows the catalogue's own order (column -1).
// Indexes of the view map back to catalogue nodes through NodeOf.
class CatalogueProxy : public QSortFilterProxyModel {
    Q_OBJECT
  public:
    CatalogueProxy(CatalogueModel& source, const CatalogueDetails& details, QObject* parent = nullptr);

    // By node index, as CatalogueFilter::Keep gives it; empty keeps every node.
    void SetKept(std::vector<char> kept);
    // Forgets the filter without telling the view: for use inside a reset of the catalogue.
    void ForgetKept() { kept_.clear(); }
    bool Filtering() const { return !kept_.empty(); }
    // The nodes the filter keeps, by node index; empty while no filter is set.
    const std::vector<char>& Kept() const { return kept_; }

    int NodeOf(const QModelIndex& index) const { return CatalogueModel::NodeOf(mapToSource(index)); }
    QModelIndex IndexOfNode(int node) const { return mapFromSource(source_.IndexOfNode(node)); }

    bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;

  protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

  private:
    CatalogueModel& source_;
    const CatalogueDetails& details_;
    std::vector<char> kept_;
};

// Archive text (Windows-1252) for display.
QString DisplayText(std::string_view bytes);

} // namespace archive
