#include "gui/main_window.h"

#include "commands/drag_extract.h"
#include "commands/entry_preview.h"
#include "commands/exit_command.h"
#include "commands/open_command.h"
#include "commands/open_flow.h"
#include "extract/extract.h"
#include "gui/about_dialog.h"
#include "platform/text_encoding.h"
#include "window/layout.h"

#include <QAbstractProxyModel>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QProgressDialog>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>

#include <algorithm>
#include <array>
#include <cmath>

namespace archive {

namespace {

int Pixels(float twips)
{
    return static_cast<int>(std::lround(twips / 15.0f));
}

// A toolbar button's key and tooltip, left to right; an empty key is the separator.
struct ButtonSpec {
    const char* key;
    const char* tooltip;
};
constexpr std::array<ButtonSpec, 6> kButtons = {{{"OpenSV1", "Open SV1 BIG File"},
                                                 {"OpenBIG", "Open SV2 BIG File"},
                                                 {"OpenSGA", "Open MF SGA File"},
                                                 {"", ""},
                                                 {"SaveSelected", "Save Selected File"},
                                                 {"SaveAll", "Save All Files in Archive"}}};

QString HostText(const std::filesystem::path& path)
{
    return QString::fromStdString(PathToUtf8(path));
}

QString Megabytes(std::int64_t bytes)
{
    return QString::number(static_cast<double>(bytes) / 1e6, 'f', 1);
}
// The one local file a drop carries, or nothing.
QString DroppedFile(const QMimeData* mime)
{
    if (mime == nullptr || !mime->hasUrls() || mime->urls().size() != 1 ||
        !mime->urls().first().isLocalFile()) {
        return {};
    }
    return mime->urls().first().toLocalFile();
}

// A drag bigger than this shows its progress while the files are extracted.
constexpr std::int64_t kQuietDragBytes = 16 << 20;
constexpr int kQuietDragFiles = 200;

constexpr QSize kMinimumClient(480, 340);

// Up to this many matching nodes, a filter opens every folder to show them.
constexpr std::size_t kExpandAllMatches = 5000;

} // namespace

void CatalogueView::startDrag(Qt::DropActions supportedActions)
{
    if (dragStarter) {
        dragStarter(supportedActions);
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

bool QtOpenFileDialog::Show(DialogState& state)
{
    QFileDialog dialog(parent_, DisplayText(state.title));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile); // the named file need not exist
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    QStringList filters;
    for (const std::string& filter : NameFiltersFromFilter(state.filter)) {
        filters << DisplayText(filter);
    }
    dialog.setNameFilters(filters);
    if (state.filterIndex >= 1 && state.filterIndex <= filters.size()) {
        dialog.selectNameFilter(filters[state.filterIndex - 1]);
    }
    if (!state.fileName.empty()) {
        dialog.selectFile(QString::fromUtf8(state.fileName.c_str()));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return false;
    }
    state.fileName = dialog.selectedFiles().first().toUtf8().toStdString();
    const int chosen = static_cast<int>(filters.indexOf(dialog.selectedNameFilter()));
    state.filterIndex = chosen >= 0 ? chosen + 1 : state.filterIndex;
    return true;
}

MainWindow::MainWindow(std::unique_ptr<OpenFileDialog> dialog, std::unique_ptr<RegistryAndLauncher> registry)
    : dialog_(dialog ? std::move(dialog) : std::make_unique<QtOpenFileDialog>(this)),
      registry_(registry ? std::move(registry) : MakeSystemRegistry())
{
    messageSink = [this](const QString& text) {
        QMessageBox::information(this, DisplayText(kApplicationTitle), text);
    };
    destinationChooser = [this](const QString& start) {
        return QFileDialog::getExistingDirectory(this, "Extract To", start);
    };
    folderOpener = [](const QString& folder) { QDesktopServices::openUrl(QUrl::fromLocalFile(folder)); };
    frm_.DecimalSeparator = QLocale().decimalPoint().toUtf8().toStdString();
    setWindowIcon(QIcon(QStringLiteral(":/icons/app.svg")));

    auto* client = new QWidget(this);
    setCentralWidget(client);
    BuildMenus();
    BuildToolbar(client);

    model_ = new CatalogueModel(frm_.tree(), details_, this);
    proxy_ = new CatalogueProxy(*model_, details_, this);
    tree_ = new CatalogueView(client);
    tree_->setObjectName("tvwBIG");
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
    tree_->setGeometry(Pixels(120), Pixels(840), Pixels(3855), Pixels(5895));
    tree_->header()->setStretchLastSection(false);
    tree_->header()->setSortIndicator(-1,
                                      Qt::AscendingOrder); // the catalogue's order until a header is clicked
    tree_->setSortingEnabled(true);
    tree_->header()->setSortIndicatorShown(true);
    tree_->setColumnWidth(0, 170);
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
    ShowColumnsForFormat();
    setAcceptDrops(true);

    log_ = new LogView(client);
    log_->setObjectName("txtDebug");
    log_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    log_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    log_->setGeometry(Pixels(4080), Pixels(840), Pixels(5295), Pixels(5895));

    progress_ = new QProgressBar(client);
    progress_->setObjectName("prgBar");
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    progress_->setGeometry(0, Pixels(6840), Pixels(9495), Pixels(255));

    status_ = new QLabel(this);
    status_->setObjectName("StatusBar1");
    statusBar()->addWidget(status_, 1);
    openFolder_ = new QToolButton(this);
    openFolder_->setObjectName("openFolder");
    openFolder_->setText("Open Folder");
    openFolder_->setAutoRaise(true);
    openFolder_->setVisible(false);
    connect(openFolder_, &QToolButton::clicked, this, [this] { folderOpener(lastDestination_); });
    statusBar()->addPermanentWidget(openFolder_);
    statusBar()->setSizeGripEnabled(true);

    tree_->setFocus(); // first in the tab order
    setTabOrder(tree_, log_);
    setTabOrder(log_, toolbar_);
    setTabOrder(toolbar_, filterBox_);

    flushTimer_.setSingleShot(true);
    flushTimer_.setInterval(ViewBatch::kInterval);
    connect(&flushTimer_, &QTimer::timeout, this, &MainWindow::FlushPending);

    frm_.Form_Load();
    setWindowTitle(DisplayText(frm_.Title()));
    FollowArchiveFolder();
    FlushPending();

    // Client area of 633 by 487 pixels, centred. Below the minimum the
    // toolbar's buttons and filter box would crowd each other, and the tree
    // and log box would lose their sizes to the layout rule's refused steps.
    setMinimumSize(kMinimumClient.width(), menuBar()->sizeHint().height() + kMinimumClient.height());
    resize(633, menuBar()->sizeHint().height() + 487);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        move(available.center() - rect().center());
    }
}

MainWindow::~MainWindow()
{
    flushTimer_.stop();
}

void MainWindow::BuildMenus()
{
    QMenu* file = menuBar()->addMenu("&File");
    open_ = file->addAction("&Open", this, &MainWindow::mnuFileOpen_Click);
    open_->setObjectName("mnuFileOpen");
    open_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    extractTo_ = file->addAction("Extract &To…", this, &MainWindow::ExtractTo);
    extractTo_->setObjectName("mnuFileExtractTo");
    extractTo_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    extractTo_->setEnabled(false);
    test_ = file->addAction("&Test Archive", this, &MainWindow::TestArchive);
    test_->setObjectName("mnuFileTest");
    test_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    test_->setEnabled(false);
    openOutput_ = file->addAction("Open Output &Folder", this, &MainWindow::OpenOutputFolder);
    openOutput_->setObjectName("mnuFileOpenOutput");
    exit_ = file->addAction("E&xit", this, [this] {
        if (archive::mnuFileExit_Click(frm_)) {
            close();
        }
    });
    exit_->setObjectName("mnuFileExit");

    QMenu* view = menuBar()->addMenu("&View");
    detailsAction_ = view->addAction("&Details and Icons");
    detailsAction_->setObjectName("mnuViewDetails");
    detailsAction_->setCheckable(true);
    detailsAction_->setChecked(true);
    connect(detailsAction_, &QAction::toggled, this, &MainWindow::SetDetailsShown);
    catalogueOrder_ = view->addAction("&Catalogue Order", this, &MainWindow::RestoreCatalogueOrder);
    catalogueOrder_->setObjectName("mnuViewCatalogueOrder");
    QAction* find = view->addAction("&Filter", this, [this] {
        filterBox_->setFocus(Qt::ShortcutFocusReason);
        filterBox_->selectAll();
    });
    find->setObjectName("mnuViewFilter");
    find->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    preview_ = view->addAction("&Preview", this, [this] { PreviewNode(NodeOfView(tree_->currentIndex())); });
    preview_->setObjectName("mnuViewPreview");
    preview_->setShortcut(QKeySequence(Qt::Key_Space));
    preview_->setShortcutContext(Qt::WidgetShortcut); // Space belongs to the tree: the filter box types it

    QMenu* options = menuBar()->addMenu("&Options");
    debug_ = options->addAction("&Debug to File");
    debug_->setObjectName("mnuOptionsDebugToFile");
    debug_->setCheckable(true);
    debug_->setChecked(false);
    connect(debug_, &QAction::triggered, this, [this] {
        frm_.mnuOptionsDebugToFile_Click();
        debug_->setChecked(frm_.DebugToFile);
    });

    QMenu* help = menuBar()->addMenu("&Help");
    about_ = help->addAction("&About", this, &MainWindow::mnuHelpAbout_Click);
    about_->setObjectName("mnuHelpAbout");
}

void MainWindow::BuildToolbar(QWidget* client)
{
    toolbar_ = new QToolBar(client);
    toolbar_->setObjectName("Toolbar1");
    toolbar_->setMovable(false);
    toolbar_->setIconSize(QSize(32, 32));
    toolbar_->setGeometry(0, 0, Pixels(9495), Pixels(660));
    for (std::size_t i = 0; i < kButtons.size(); ++i) {
        const ButtonSpec& button = kButtons[i];
        if (*button.key == '\0') {
            buttons_[i + 1] = toolbar_->addSeparator();
            continue;
        }
        const QString key = QString::fromLatin1(button.key);
        QAction* action = toolbar_->addAction(QIcon(":/icons/" + key + ".svg"), QString());
        action->setObjectName(key);
        action->setData(key);
        action->setToolTip(QString::fromLatin1(button.tooltip));
        connect(action, &QAction::triggered, this, [this, key] { ToolbarClick(key); });
        buttons_[i + 1] = action;
        buttonEnabled_[i + 1] = i < 3;
        action->setEnabled(buttonEnabled_[i + 1]);
    }
    BuildFilterBox();
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
    filterBox_->setPlaceholderText("Filter (Ctrl+F)");
    filterBox_->setToolTip("Show the files and folders whose path holds this text; * and ? are wildcards");
    filterBox_->setClearButtonEnabled(true);
    filterBox_->setMinimumWidth(120);
    filterBox_->setMaximumWidth(260);
    row->addWidget(filterBox_, 2);
    toolbar_->addWidget(holder);
    connect(filterBox_, &QLineEdit::textChanged, this, &MainWindow::ApplyFilter);
    auto* clear = new QAction(filterBox_);
    clear->setShortcut(QKeySequence(Qt::Key_Escape));
    clear->setShortcutContext(Qt::WidgetShortcut);
    connect(clear, &QAction::triggered, filterBox_, &QLineEdit::clear);
    filterBox_->addAction(clear);
}

void MainWindow::mnuFileOpen_Click()
{
    archive::mnuFileOpen_Click(frm_, *dialog_, dialogState_);
    FollowArchiveFolder();
    FlushPending();
}

// The toolbar commands write ".\data" beside the archive, not wherever the
// process happened to start (from a desktop launcher, the home folder); the
// status bar's tooltip says where.
void MainWindow::FollowArchiveFolder()
{
    if (const std::filesystem::path folder = ArchiveFolder(frm_);
        !folder.empty() && folder != frm_.OutputBase) {
        frm_.OutputBase = folder;
        openFolder_->setVisible(false); // it showed where another archive's files went
    }
    std::error_code error;
    const std::filesystem::path base = std::filesystem::absolute(frm_.OutputBase, error).lexically_normal();
    status_->setToolTip("Save Selected and Save All write below " + HostText(base / "data"));
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
    menu.addAction(preview_);
    menu.addSeparator();
    menu.addAction(extractTo_);
    menu.addAction(test_);
}

void MainWindow::RunJob(const QString& title, const std::function<void(const JobControl&)>& job)
{
    QProgressDialog dialog(title, "Cancel", 0, 1000, this);
    dialog.setObjectName("jobDialog");
    dialog.setWindowTitle(title);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setMinimumDuration(0);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    dialog.setMinimumWidth(420);
    jobDialog_ = &dialog;
    QElapsedTimer sinceRedraw;
    JobControl control;
    control.progress = [&](const JobProgress& now) {
        if (jobProgressHook) {
            jobProgressHook(now);
        }
        const bool last = now.files == now.totalFiles;
        if (sinceRedraw.isValid() && sinceRedraw.elapsed() < 40 && !last) {
            return; // a clock, not every entry: thousands of tiny files must not wait on painting
        }
        sinceRedraw.start();
        dialog.setLabelText(
            QString("%1 of %2 files, %3 of %4 MB\n%5")
                .arg(now.files)
                .arg(now.totalFiles)
                .arg(Megabytes(now.bytes), Megabytes(now.totalBytes), DisplayText(now.current)));
        dialog.setValue(now.totalBytes > 0
                            ? static_cast<int>(now.bytes * 1000 / now.totalBytes)
                            : (now.totalFiles > 0 ? static_cast<int>(now.files * 1000 / now.totalFiles) : 0));
        FlushPending();
        QCoreApplication::processEvents();
    };
    control.cancelled = [&dialog] { return dialog.wasCanceled(); };
    SetCommandsEnabled(false);
    job(control);
    SetCommandsEnabled(true);
    jobDialog_ = nullptr;
    FlushPending();
    if (TakePendingClose(frm_)) {
        close();
    }
}

void MainWindow::ExtractTo()
{
    if (frm_.Extracting || !extractTo_->isEnabled()) {
        return;
    }
    const std::vector<int> nodes = SelectedNodes();
    const QString chosen = destinationChooser(HostText(ArchiveFolder(frm_)));
    if (chosen.isEmpty()) {
        return;
    }
    SetDestination where;
    where.folder = PathFromUtf8(chosen.toStdString());
    SetReport report;
    RunJob("Extracting",
           [&](const JobControl& control) { report = ExtractToJob(frm_, nodes, where).Run(control); });
    if (!report.refused) {
        lastDestination_ = HostText(report.destination);
        openFolder_->setToolTip("Open " + lastDestination_);
        openFolder_->setVisible(true);
    }
}

void MainWindow::TestArchive()
{
    if (frm_.Extracting || !test_->isEnabled()) {
        return;
    }
    RunJob("Testing", [&](const JobControl& control) { TestArchiveJob(frm_).Run(control); });
}

void MainWindow::OpenOutputFolder()
{
    const std::filesystem::path data = frm_.OutputBase / "data";
    std::error_code error;
    folderOpener(HostText(std::filesystem::is_directory(data, error) ? data : frm_.OutputBase));
}

void MainWindow::ToolbarClick(const QString& key)
{
    const bool extractAll = key == "SaveAll";
    if (extractAll) {
        SetCommandsEnabled(false); // ExtractAll lets events run: nothing may change what it reads
        pending_.CommandStarts();
    }
    ToolbarButtonClick(frm_, *dialog_, dialogState_, key.toStdString());
    if (extractAll) {
        SetCommandsEnabled(true);
    }
    if (key.startsWith("Open")) {
        FollowArchiveFolder();
    }
    FlushPending();
    if (TakePendingClose(frm_)) {
        close();
    }
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (!Form_QueryUnload(frm_)) {
        event->ignore(); // closed once Save All has stopped
        return;
    }
    QMainWindow::closeEvent(event);
}

void MainWindow::SetCommandsEnabled(bool enabled)
{
    open_->setEnabled(enabled);
    extractTo_->setEnabled(enabled && buttonEnabled_[6]);
    test_->setEnabled(enabled && buttonEnabled_[6]);
    for (int position : {1, 2, 3, 5, 6}) {
        buttons_[static_cast<std::size_t>(position)]->setEnabled(
            enabled && buttonEnabled_[static_cast<std::size_t>(position)]);
    }
}

void MainWindow::mnuHelpAbout_Click()
{
    if (!aboutDialog_) {
        aboutDialog_ = new AboutDialog(*registry_);
    }
    aboutDialog_->show();
    aboutDialog_->raise();
    aboutDialog_->activateWindow();
}

void MainWindow::OpenFile(const QString& path)
{
    FlushPending();
    OpenNamedFile(frm_, dialogState_, QFileInfo(path).absoluteFilePath().toUtf8().toStdString());
    FlushPending();
}

void MainWindow::ApplyFilter(const QString& fragment)
{
    // The filter resets the view: the current and selected nodes are carried across.
    const int current = NodeOfView(tree_->currentIndex());
    const std::vector<int> selected = SelectedNodes();
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
    proxy_->SetKept(std::move(kept));
    if (proxy_->Filtering() && shown <= kExpandAllMatches) {
        tree_->expandAll(); // the matches in sight
    } else if (proxy_->Filtering()) {
        tree_->expandToDepth(0); // too many to open them all at a keystroke: the user narrows further
    } else {
        for (int node = 1; node <= static_cast<int>(frm_.tree().Count()); ++node) {
            if (frm_.tree().Node(node).expanded) {
                tree_->setExpanded(proxy_->IndexOfNode(node), true);
            }
        }
    }
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
}

void MainWindow::SetDetailsShown(bool shown)
{
    tree_->setHeaderHidden(!shown);
    model_->SetIconsShown(shown);
    if (!shown) {
        RestoreCatalogueOrder();
    }
    tree_->setSortingEnabled(shown);
    catalogueOrder_->setEnabled(shown);
    ShowColumnsForFormat();
}

void MainWindow::RestoreCatalogueOrder()
{
    tree_->header()->setSortIndicator(-1, Qt::AscendingOrder);
    proxy_->sort(-1);
}

void MainWindow::ShowColumnsForFormat()
{
    const bool shown = detailsAction_->isChecked();
    const bool rbf = frm_.LastFormat == ArchiveFormat::Rbf;
    for (int column = 1; column < kDetailsColumns; ++column) {
        const auto which = static_cast<DetailsColumn>(column);
        const bool forFormat = which == DetailsColumn::Offset ? !rbf
                               : which == DetailsColumn::Crc  ? rbf
                                                              : true;
        tree_->setColumnHidden(column, !shown || !forFormat);
    }
}

void MainWindow::PreviewNode(int node)
{
    if (node == 0 || details_.IsFolder(node)) {
        return;
    }
    if (!previewWindow_) {
        previewWindow_ = new PreviewWindow(this);
    }
    previewWindow_->Show(PreviewEntry(frm_, node));
}

QStringList MainWindow::ExtractForDragOut(const std::vector<int>& nodes)
{
    auto folder = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/archive-tool-drag-XXXXXX");
    if (!folder->isValid()) {
        ShowMessage("Cannot make a temporary folder for the dragged files: " +
                    folder->errorString().toStdString());
        return {};
    }
    const DragPlanSize size = MeasureDrag(frm_, nodes);
    QProgressDialog progress("Extracting the dragged files...", "Cancel", 0, std::max(size.files, 1), this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(size.bytes > kQuietDragBytes || size.files > kQuietDragFiles ? 0 : 1000000);
    const DragExtractReport report =
        ExtractForDrag(frm_, nodes, std::filesystem::path(folder->path().toStdString()),
                       [&progress](int files, std::int64_t) {
                           progress.setValue(files);
                           QCoreApplication::processEvents();
                           return !progress.wasCanceled();
                       });
    progress.reset();
    for (const std::string& failure : report.failures) {
        frm_.ReportFailure("Error: " + failure);
    }
    FlushPending();
    if (report.cancelled) {
        return {};
    }
    QStringList handed;
    for (const std::filesystem::path& path : report.handed) {
        handed << QString::fromStdString(path.string());
    }
    dragFolders_.push_back(std::move(folder));
    return handed;
}

void MainWindow::StartDragOut(Qt::DropActions)
{
    if (!frm_.SgaCatalogueShown() || frm_.Extracting) {
        return; // RBF entries cannot be extracted
    }
    const QStringList files = ExtractForDragOut(SelectedNodes());
    if (files.isEmpty()) {
        return;
    }
    auto* mime = new QMimeData;
    QList<QUrl> urls;
    for (const QString& file : files) {
        urls << QUrl::fromLocalFile(file);
    }
    mime->setUrls(urls);
    auto* drag = new QDrag(tree_);
    drag->setMimeData(mime);
    drag->exec(Qt::CopyAction, Qt::CopyAction);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->source() == nullptr && !DroppedFile(event->mimeData()).isEmpty() && !frm_.Extracting) {
        event->acceptProposedAction();
    }
}

void MainWindow::dropEvent(QDropEvent* event)
{
    const QString file = DroppedFile(event->mimeData());
    if (event->source() != nullptr || file.isEmpty()) {
        return;
    }
    event->acceptProposedAction();
    // Opened once the drop has returned, so the program that gave the file is not kept waiting.
    QTimer::singleShot(0, this, [this, file] { OpenFile(file); });
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!laidOut_) {
        laidOut_ = true;
        ApplyLayout(static_cast<float>(frameGeometry().width()) * 15.0f,
                    static_cast<float>(frameGeometry().height()) * 15.0f);
    }
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (width() < minimumWidth() || height() < minimumHeight()) {
        // Without a window manager nothing holds the window to its minimum size.
        QTimer::singleShot(0, this, [this] { resize(size().expandedTo(minimumSize())); });
    }
    toolbar_->setGeometry(0, 0, centralWidget()->width(), Pixels(660));
    ApplyLayout(static_cast<float>(frameGeometry().width()) * 15.0f,
                static_cast<float>(frameGeometry().height()) * 15.0f);
}

void MainWindow::ApplyLayout(float width, float height)
{
    const FormLayout layout = FormResizeLayout(width, height, static_cast<float>(tree_->width()) * 15.0f);
    if (layout.progressWidth) {
        progress_->resize(Pixels(*layout.progressWidth), progress_->height());
    }
    if (layout.progressTop) {
        progress_->move(progress_->x(), Pixels(*layout.progressTop));
    }
    if (layout.treeWidth) {
        tree_->resize(Pixels(*layout.treeWidth), tree_->height());
    }
    if (layout.treeHeight) {
        tree_->resize(tree_->width(), Pixels(*layout.treeHeight));
    }
    // The log box starts where the tree ends, as the toolkit now reports it.
    log_->move(tree_->width() + Pixels(150), log_->y());
    if (layout.logHeight) {
        log_->resize(log_->width(), Pixels(*layout.logHeight));
    }
    if (layout.logWidth) {
        log_->resize(Pixels(*layout.logWidth), log_->height());
    }
}

void MainWindow::ScheduleFlush()
{
    if (!flushTimer_.isActive()) {
        flushTimer_.start();
    }
}

void MainWindow::FlushPending()
{
    flushTimer_.stop();
    if (!pending_.Pending()) {
        return;
    }
    ViewBatch::Changes changes = pending_.Take(ViewBatch::Clock::now());
    if (changes.clearLog) {
        log_->clear();
    }
    if (!changes.log.empty()) {
        log_->appendText(QStringView(changes.log.data(), static_cast<qsizetype>(changes.log.size())));
    }
    if (changes.status) {
        status_->setText(
            changes.statusIsHostText
                ? QString::fromUtf8(changes.status->data(), static_cast<qsizetype>(changes.status->size()))
                : DisplayText(*changes.status));
    }
    if (changes.progress) {
        const int minimum = static_cast<int>(changes.progress->minimum);
        const int maximum = std::max(minimum, static_cast<int>(changes.progress->maximum));
        // A new value would repaint the bar at once; it waits for the event loop like the rest.
        progress_->setUpdatesEnabled(false);
        progress_->setRange(minimum, maximum);
        progress_->setValue(std::clamp(static_cast<int>(changes.progress->value), minimum, maximum));
        progress_->setUpdatesEnabled(true);
    }
}

void MainWindow::ClearLog()
{
    pending_.ClearLog();
    ScheduleFlush();
}

void MainWindow::AppendLog(std::string_view text, LogKind)
{
    pending_.AppendLog(text);
    ScheduleFlush();
}

void MainWindow::SetProgressMinimum(float value)
{
    pending_.SetProgressMinimum(value);
    ScheduleFlush();
}

void MainWindow::SetProgressMaximum(float value)
{
    pending_.SetProgressMaximum(value);
    ScheduleFlush();
}

void MainWindow::SetProgressValue(float value)
{
    pending_.SetProgressValue(value);
    ScheduleFlush();
}

void MainWindow::SetStatusText(std::string_view text)
{
    pending_.SetStatus(text);
    ScheduleFlush();
}

void MainWindow::SetStatusHostText(std::string_view utf8)
{
    pending_.SetHostStatus(utf8);
    ScheduleFlush();
}

void MainWindow::SetButtonEnabled(int position, bool enabled)
{
    if (position < 1 || position > 6 || position == 4) {
        return;
    }
    buttonEnabled_[static_cast<std::size_t>(position)] = enabled;
    buttons_[static_cast<std::size_t>(position)]->setEnabled(enabled && !frm_.Extracting);
    if (position == 6) { // the new commands need what Save All needs: a loaded SGA catalogue
        extractTo_->setEnabled(enabled && !frm_.Extracting);
        test_->setEnabled(enabled && !frm_.Extracting);
    }
}

void MainWindow::ShowMessage(std::string_view utf8)
{
    FlushPending();
    messageSink(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
}

void MainWindow::DoEvents()
{
    // The command asks after every folder; what waits is shown on the clock,
    // and the event loop runs when the last turn is a millisecond old.
    const ViewBatch::Clock::time_point now = ViewBatch::Clock::now();
    if (pending_.Due(now)) {
        FlushPending();
    }
    if (pending_.TurnDue(now)) {
        QCoreApplication::processEvents();
    }
}

void MainWindow::TreeAboutToChange()
{
    const QSignalBlocker quiet(filterBox_);
    filterBox_->clear(); // a new catalogue shows whole
    proxy_->ForgetKept();
    model_->BeginReset();
}

void MainWindow::TreeChanged()
{
    details_.Build(frm_);
    filterIndexed_ = false;
    model_->EndReset();
    ShowColumnsForFormat();
    const CatalogueTree& tree = frm_.tree();
    for (int node = 1; node <= static_cast<int>(tree.Count()); ++node) {
        if (tree.Node(node).expanded) {
            tree_->setExpanded(proxy_->IndexOfNode(node), true);
        }
    }
    const int selected = tree.SelectedIndex();
    if (selected != 0) {
        tree_->setCurrentIndex(proxy_->IndexOfNode(selected));
    }
}

void MainWindow::SetTreeAppearance(int, int, int indentation)
{
    // Lines and plus/minus boxes are the view's own; 80 twips is too narrow for
    // the expand boxes, so the style's indentation is the least we use.
    tree_->setIndentation(std::max(Pixels(static_cast<float>(indentation)), 16));
}

} // namespace archive
