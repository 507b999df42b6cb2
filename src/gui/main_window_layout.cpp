// The window's layout: the resize rule in twips, the splitter that shares the
// room between the tree and the log box, and a first size that fits the screen.
#include "gui/main_window.h"

#include "commands/command_table.h"
#include "gui/window_parts.h"
#include "window/layout.h"

#include <QGuiApplication>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QSplitter>
#include <QTimer>
#include <QToolBar>

#include <algorithm>

namespace archive {

namespace {

// The first client area, and the least one: below it the toolbar's buttons
// and filter box would crowd each other, and the tree and log box would lose
// their sizes to the layout rule's refused steps.
constexpr QSize kFirstClient(633, 487);
constexpr QSize kMinimumClient(480, 340);
// Room the window system's frame takes around a window, at most, before the window is shown.
constexpr QSize kFrameAllowance(16, 48);

} // namespace

void MainWindow::BuildLogAndProgress(QWidget* client)
{
    // The tree and the log box side by side, as the layout rule places them;
    // the handle between them is the rule's 150-twip gap, and the user may move it.
    splitter_ = new QSplitter(Qt::Horizontal, client);
    splitter_->setObjectName("splitter");
    splitter_->setChildrenCollapsible(false);
    splitter_->setHandleWidth(Pixels(150));
    splitter_->setGeometry(Pixels(120), Pixels(840), Pixels(3855 + 150 + 5295), Pixels(5895));
    splitter_->addWidget(tree_);
    connect(splitter_, &QSplitter::splitterMoved, this, [this] { userSplit_ = true; });

    log_ = new LogView(splitter_);
    log_->setObjectName("txtDebug");
    log_->setAccessibleName(TableText(kLogAccessibleName));
    log_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    log_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    splitter_->addWidget(log_);
    splitter_->setStretchFactor(0, 1);
    splitter_->setStretchFactor(1, 1);
    splitter_->setSizes({Pixels(3855), Pixels(5295)});

    progress_ = new QProgressBar(client);
    progress_->setObjectName("prgBar");
    progress_->setAccessibleName(TableText(kProgressAccessibleName));
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    progress_->setGeometry(0, Pixels(6840), Pixels(9495), Pixels(255));
}

void MainWindow::SizeFirstWindow()
{
    // Centred, and whole on the screen at any scale factor: at 2 the first
    // size would be taller than a 1080-line screen.
    QSize first(kFirstClient.width(), menuBar()->sizeHint().height() + kFirstClient.height());
    QSize least(kMinimumClient.width(), menuBar()->sizeHint().height() + kMinimumClient.height());
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen != nullptr) {
        const QSize room = screen->availableGeometry().size() - kFrameAllowance;
        first = first.boundedTo(room);
        least = least.boundedTo(room);
    }
    setMinimumSize(least);
    resize(first);
    if (screen != nullptr) {
        move(screen->availableGeometry().center() - rect().center());
    }
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
    // The rule sizes the tree and the log box; the splitter holds both with
    // the rule's gap between them. Once the user has moved the handle, their
    // split is kept and the splitter shares a new width as they left it.
    int treeWidth = tree_->width();
    int logWidth = log_->width();
    if (layout.treeWidth) {
        treeWidth = Pixels(*layout.treeWidth);
    }
    if (layout.logWidth) {
        logWidth = Pixels(*layout.logWidth);
    }
    int splitHeight = splitter_->height();
    if (layout.treeHeight) {
        splitHeight = Pixels(*layout.treeHeight);
    } else if (layout.logHeight) {
        splitHeight = Pixels(*layout.logHeight);
    }
    splitter_->resize(treeWidth + splitter_->handleWidth() + logWidth, splitHeight);
    if (!userSplit_) {
        splitter_->setSizes({treeWidth, logWidth});
    }
}

} // namespace archive
