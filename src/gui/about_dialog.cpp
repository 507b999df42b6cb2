#include "gui/about_dialog.h"

#include "gui/catalogue_model.h"
#include "window/frm_big.h"

#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <cmath>

namespace archive {

namespace {
int Pixels(int twips)
{
    return static_cast<int>(std::lround(twips / 15.0));
}
QRect Twips(int left, int top, int width, int height)
{
    return {Pixels(left), Pixels(top), Pixels(width), Pixels(height)};
}
} // namespace

AboutDialog::AboutDialog(RegistryAndLauncher& registry)
    : QDialog(nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint),
      registry_(registry)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName("frmAbout");
    setWindowTitle(kAboutCaption);
    setWindowIcon(QIcon(QStringLiteral(":/icons/app.svg")));
    setFixedSize(Pixels(6735), Pixels(3630));
    messageSink = [this](const QString& text) {
        QMessageBox::information(this, DisplayText(kApplicationTitle), text);
    };

    auto* picture = new QLabel(this);
    picture->setObjectName("picIcon");
    picture->setGeometry(Twips(240, 240, 780, 780));
    picture->setAutoFillBackground(true);
    picture->setStyleSheet("background-color: rgb(192, 192, 192);");
    picture->setAlignment(Qt::AlignCenter);
    picture->setPixmap(QIcon(QStringLiteral(":/icons/app.svg")).pixmap(48, 48));

    title_ = new QLineEdit(DisplayText(kApplicationTitle), this);
    title_->setObjectName("Text1");
    title_->setGeometry(Twips(1080, 240, 5535, 495));
    title_->setReadOnly(true);
    title_->setFrame(false);
    title_->setFocusPolicy(Qt::NoFocus);
    QFont titleFont("MS Sans Serif");
    titleFont.setPointSizeF(13.5);
    titleFont.setBold(true);
    title_->setFont(titleFont);
    title_->setStyleSheet("background: palette(button);");

    version_ = new QLabel(QString::fromStdString(AboutVersionLine()), this);
    version_->setObjectName("lblVersion");
    version_->setGeometry(Twips(1050, 780, 5535, 225));

    description_ = new QLabel(DisplayText(AboutCredits()).replace("\r\n", "\n"), this);
    description_->setObjectName("lblDescription");
    description_->setGeometry(Twips(1050, 1125, 5535, 1170));
    description_->setWordWrap(true);
    description_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    description_->setStyleSheet("color: black;");
    QFont small = description_->font();
    small.setPointSizeF(8.5);
    description_->setFont(small);

    // The engraved rule: a grey line with a white line below it.
    auto* grey = new QFrame(this);
    grey->setGeometry(Pixels(225), Pixels(2430), Pixels(6600 - 225), 1);
    grey->setStyleSheet("background-color: rgb(128, 128, 128);");
    auto* white = new QFrame(this);
    white->setGeometry(Pixels(240), Pixels(2430) + 1, Pixels(6600 - 240), 2);
    white->setStyleSheet("background-color: white;");

    disclaimer_ = new QLabel(QString::fromStdString(AboutAuthorLine()), this);
    disclaimer_->setObjectName("lblDisclaimer");
    disclaimer_->setGeometry(Twips(240, 2625, 4695, 825));
    disclaimer_->setWordWrap(true);
    disclaimer_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    disclaimer_->setStyleSheet("color: black;");

    ok_ = new QPushButton("OK", this);
    ok_->setObjectName("cmdOK");
    ok_->setGeometry(Twips(5085, 2625, 1467, 345));
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::close);

    sysInfo_ = new QPushButton("&System Info...", this);
    sysInfo_->setObjectName("cmdSysInfo");
    sysInfo_->setGeometry(Twips(5100, 3075, 1452, 345));
    sysInfo_->setAutoDefault(false);
    connect(sysInfo_, &QPushButton::clicked, this, [this] {
        StartSysInfo(registry_, [this](const std::string& text) { messageSink(DisplayText(text)); });
    });

    setTabOrder(ok_, sysInfo_);
}

} // namespace archive
