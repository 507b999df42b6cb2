// The catalogue tree: its details columns, the filter box, the selection and preview.
#include "gui/main_window.h"

#include "commands/command_table.h"
#include "commands/entry_preview.h"
#include "gui/window_parts.h"

#include <QAbstractProxyModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QStyle>
#include <QToolBar>

#include <algorithm>

namespace archive {

namespace {

// Up to this many matching nodes, a filter opens every folder to show them.
constexpr std::size_t kExpandAllMatches = 5000;

// The Name column is never narrower than this, nor sized wider than this share of the tree.
constexpr int kNameMinimum = 170;

} // namespace

void CatalogueView::startDrag(Qt::DropActions supportedActions)
{
    if (dragStarter) {
        dragStarter(supportedActions);
    }
}

void CatalogueView::SetEmptyText(const QString& text)
{
    if (text != emptyText_) {
        emptyText_ = text;
        setAccessibleDescription(text);
        viewport()->update();
    }
}

void CatalogueView::paintEvent(QPaintEvent* event)
{
    QTreeView::paintEvent(event);
    if (!emptyText_.isEmpty() && model() != nullptr && model()->rowCount() == 0) {
        // An empty view says why, where the rows would be.
        QPainter painter(viewport());
        painter.setPen(palette().color(QPalette::PlaceholderText));
        const int margin = fontMetrics().height() / 2;
        painter.drawText(viewport()->rect().adjusted(margin, margin, -margin, -margin),
                         Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, emptyText_);
    }
}

void CatalogueView::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        event->modifiers() == Qt::NoModifier && previewRequested) {
        previewRequested();
        return;
    }
    QTreeView::keyPressEvent(event);
}

void MainWindow::BuildTree(QWidget* client)
{
    model_ = new CatalogueModel(frm_.tree(), details_, this);
    proxy_ = new CatalogueProxy(*model_, details_, this);
    tree_ = new CatalogueView(client);
    tree_->setObjectName("tvwBIG");
    tree_->setAccessibleName(TableText(kTreeAccessibleName));
    tree_->setModel(proxy_);
    tree_->setUniformRowHeights(true);
    // Ctrl- and Shift-click, and Ctrl+A, select several nodes for Extract To.
    tree_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tree_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(tree_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(this);
        FillTreeContextMenu(menu);
        menu.exec(tree_->viewport()->mapToGlobal(at));
    });
    tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree_->header()->setStretchLastSection(false);
    tree_->header()->setResizeContentsPrecision(0); // fit names to the rows in sight, not to a thousand
    tree_->header()->setSortIndicator(-1,
                                      Qt::AscendingOrder); // the catalogue's order until a header is clicked
    tree_->setSortingEnabled(true);
    tree_->header()->setSortIndicatorShown(true);
    tree_->setColumnWidth(0, kNameMinimum);
    for (int column = 1; column < kDetailsColumns; ++column) {
        tree_->setColumnWidth(column, 72);
    }
    tree_->setDragEnabled(true);
    tree_->setDragDropMode(QAbstractItemView::DragOnly);
    tree_->dragStarter = [this](Qt::DropActions actions) { StartDragOut(actions); };
    tree_->previewRequested = [this] { PreviewNode(NodeOfView(tree_->currentIndex())); };
    connect(tree_, &QTreeView::doubleClicked, this, [this](const QModelIndex& index) {
        if (!details_.IsFolder(NodeOfView(index))) {
            PreviewNode(NodeOfView(index));
        }
    });
    connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { frm_.tree().Select(NodeOfView(current)); });
    connect(tree_, &QTreeView::expanded, this,
            [this](const QModelIndex& index) { RememberExpansion(index, true); });
    connect(tree_, &QTreeView::collapsed, this,
            [this](const QModelIndex& index) { RememberExpansion(index, false); });
    // Names are read whole: the Name column follows the names in sight, once the view has settled.
    nameColumnTimer_.setSingleShot(true);
    nameColumnTimer_.setInterval(0);
    connect(&nameColumnTimer_, &QTimer::timeout, this, &MainWindow::FitNameColumn);
    ShowColumnsForFormat();
    setAcceptDrops(true);
}

void MainWindow::BuildFilterBox()
{
    // At the toolbar's far end, above the tree, clear of the buttons.
    auto* holder = new QWidget(toolbar_);
    holder->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    auto* row = new QHBoxLayout(holder);
    row->setContentsMargins(8, 0, 4, 0);
    row->addStretch(1);
    filterBox_ = new QLineEdit(holder);
    filterBox_->setObjectName("txtFilter");
    filterBox_->setAccessibleName(TableText(kFilterAccessibleName));
    filterBox_->setPlaceholderText("Filter (Ctrl+F)");
    filterBox_->setToolTip("Show the files and folders whose path holds this text; * and ? are wildcards");
    filterBox_->setClearButtonEnabled(true);
    filterBox_->setMinimumWidth(120);
    filterBox_->setMaximumWidth(260);
    filterBox_->installEventFilter(this); // the window's shortcuts win over the line edit's own
    row->addWidget(filterBox_, 2);
    toolbar_->addWidget(holder);
    connect(filterBox_, &QLineEdit::textChanged, this, &MainWindow::ApplyFilter);
    auto* clear = new QAction(filterBox_);
    clear->setShortcut(QKeySequence(Qt::Key_Escape));
    clear->setShortcutContext(Qt::WidgetShortcut);
    connect(clear, &QAction::triggered, filterBox_, &QLineEdit::clear);
    filterBox_->addAction(clear);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    // A line edit claims Ctrl+E (end of line) and the like for itself; in the
    // filter box the window's commands come first (Ctrl+E is Extract To).
    if (watched == filterBox_ && event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const QKeySequence pressed(key->keyCombination());
        for (const CommandSpec& tableRow : CommandTable()) {
            if (tableRow.id != CommandId::Preview && !tableRow.shortcut.empty() &&
                QKeySequence(TableText(tableRow.shortcut)) == pressed) {
                return true; // not accepted: the shortcut goes to the window's action
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

std::vector<int> MainWindow::SelectedNodes() const
{
    QModelIndexList rows = tree_->selectionModel()->selectedRows(0);
    std::sort(rows.begin(), rows.end()); // the view's order, not the order of clicking
    std::vector<int> nodes;
    for (QModelIndex index : rows) {
        while (const auto* proxy = qobject_cast<const QAbstractProxyModel*>(index.model())) {
            index = proxy->mapToSource(index);
        }
        if (index.model() == model_) {
            nodes.push_back(CatalogueModel::NodeOf(index));
        }
    }
    return nodes;
}

void MainWindow::FillTreeContextMenu(QMenu& menu)
{
    for (const CommandId id : ContextMenuCommands()) {
        menu.addAction(action(id));
        if (id == CommandId::Preview) {
            menu.addSeparator();
        }
    }
}

void MainWindow::RememberExpansion(const QModelIndex& index, bool expanded)
{
    if (!filtering_) {
        if (const int node = NodeOfView(index); node != 0) {
            frm_.tree().SetExpanded(node, expanded);
        }
    }
    nameColumnTimer_.start();
}

void MainWindow::RestoreExpansion()
{
    const CatalogueTree& tree = frm_.tree();
    for (int node = 1; node <= static_cast<int>(tree.Count()); ++node) {
        if (tree.Node(node).expanded) {
            tree_->setExpanded(proxy_->IndexOfNode(node), true);
        }
    }
}

void MainWindow::FitNameColumn()
{
    // The names in sight, whole, and never less than the start width: the
    // view measures only the rows it lays out, so this costs no walk of the catalogue.
    tree_->resizeColumnToContents(0);
    if (tree_->columnWidth(0) < kNameMinimum) {
        tree_->setColumnWidth(0, kNameMinimum);
    }
}

void MainWindow::ApplyFilter(const QString& fragment)
{
    // The filter resets the view: the current and selected nodes are carried
    // across. A node an earlier filter hid is still the catalogue's selected
    // node: it shows selected again once a filter shows it.
    int current = NodeOfView(tree_->currentIndex());
    std::vector<int> selected = SelectedNodes();
    if (current == 0) {
        current = frm_.tree().SelectedIndex();
        if (selected.empty() && current != 0) {
            selected.push_back(current);
        }
    }
    std::vector<char> kept;
    if (!fragment.isEmpty()) {
        if (!filterIndexed_) {
            filter_.Index(frm_.tree());
            filterIndexed_ = true;
        }
        std::string bytes;
        if (Utf8ToWindows1252(fragment.toUtf8().toStdString(), bytes)) {
            kept = filter_.Keep(bytes);
        } else {
            kept.assign(frm_.tree().Count() + 1, 0); // no archive name holds a character Windows-1252 lacks
        }
    }
    const auto shown = static_cast<std::size_t>(std::count(kept.begin(), kept.end(), 1));
    filtering_ = true; // the view's own expansion from here on is not the user's
    proxy_->SetKept(std::move(kept));
    if (proxy_->Filtering() && shown <= kExpandAllMatches) {
        tree_->expandAll(); // the matches in sight
    } else if (proxy_->Filtering()) {
        tree_->expandToDepth(0); // too many to open them all at a keystroke: the user narrows further
    } else {
        RestoreExpansion(); // the tree as the user left it
    }
    filtering_ = proxy_->Filtering();
    QItemSelection selection;
    for (const int node : selected) {
        const QModelIndex index = proxy_->IndexOfNode(node);
        if (index.isValid()) {
            selection.select(index, index);
        }
    }
    if (const QModelIndex index = proxy_->IndexOfNode(current); index.isValid()) {
        tree_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
        tree_->scrollTo(index);
    }
    tree_->selectionModel()->select(selection,
                                    QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    tree_->SetEmptyText(QString::fromStdString(FilterEmptyText(proxy_->Kept())));
    nameColumnTimer_.start();
}

void MainWindow::SetDetailsShown(bool shown)
{
    tree_->setHeaderHidden(!shown);
    model_->SetIconsShown(shown);
    if (!shown) {
        RestoreCatalogueOrder();
    }
    tree_->setSortingEnabled(shown);
    RefreshCommands();
    ShowColumnsForFormat();
}

void MainWindow::RestoreCatalogueOrder()
{
    tree_->header()->setSortIndicator(-1, Qt::AscendingOrder);
    proxy_->sort(-1);
}

void MainWindow::ShowColumnsForFormat()
{
    const bool shown = action(CommandId::Details)->isChecked();
    const bool rbf = frm_.LastFormat == ArchiveFormat::Rbf;
    for (int column = 1; column < kDetailsColumns; ++column) {
        const auto which = static_cast<DetailsColumn>(column);
        const bool forFormat = which == DetailsColumn::Offset ? !rbf
                               : which == DetailsColumn::Crc  ? rbf
                                                              : true;
        tree_->setColumnHidden(column, !shown || !forFormat);
    }
}

void MainWindow::SizeDetailsColumns()
{
    // The numbers read whole: each column as wide as its widest text, which the
    // details say once per load, and never narrower than its title.
    QHeaderView* header = tree_->header();
    const int margin = 2 * tree_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, tree_) + 12;
    for (int column = 1; column < kDetailsColumns; ++column) {
        const QString widest = model_->WidestText(static_cast<DetailsColumn>(column));
        const int width = std::max(header->sectionSizeHint(column),
                                   tree_->fontMetrics().horizontalAdvance(widest) + margin);
        tree_->setColumnWidth(column, std::max(width, 72));
    }
}

void MainWindow::TreeAboutToChange()
{
    const QSignalBlocker quiet(filterBox_);
    filterBox_->clear(); // a new catalogue shows whole
    filtering_ = false;
    proxy_->ForgetKept();
    tree_->SetEmptyText({});
    model_->BeginReset();
}

void MainWindow::TreeChanged()
{
    details_.Build(frm_);
    filterIndexed_ = false;
    model_->EndReset();
    ShowColumnsForFormat();
    SizeDetailsColumns();
    filtering_ = true; // the loader's expansion is in the catalogue already
    RestoreExpansion();
    filtering_ = false;
    const int selected = frm_.tree().SelectedIndex();
    if (selected != 0) {
        tree_->setCurrentIndex(proxy_->IndexOfNode(selected));
    }
    nameColumnTimer_.start();
}

void MainWindow::SetTreeAppearance(int, int, int indentation)
{
    // Lines and plus/minus boxes are the view's own; 80 twips is too narrow for
    // the expand boxes, so the style's indentation is the least we use.
    tree_->setIndentation(std::max(Pixels(static_cast<float>(indentation)), 16));
}

void MainWindow::PreviewNode(int node)
{
    if (node == 0 || details_.IsFolder(node)) {
        return;
    }
    if (!previewWindow_) {
        previewWindow_ = new PreviewWindow(this);
        previewWindow_->readingEnded = [this] { AfterCommand(); };
    }
    previewWindow_->Cancel(); // another entry chosen mid-way: the read under way stops
    // The read takes part in the one running state while it lasts: nothing
    // may reload the catalogue under it.
    auto reading = std::make_unique<RunningScope>(frm_, RunningCommand::Preview);
    if (!reading->Started()) {
        return;
    }
    auto fetch = std::make_unique<PreviewFetch>(frm_, node);
    previewWindow_->Start(std::move(fetch), std::move(reading), frm_.tree().Node(node).text);
    RefreshCommands(); // while it reads, the commands say why they wait
}

} // namespace archive
