#pragma once

#include "about/about.h"

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace archive {

// frmAbout: modeless, without an owner, fixed size.
class AboutDialog : public QDialog {
    Q_OBJECT
  public:
    explicit AboutDialog(RegistryAndLauncher& registry);

    QLabel* versionLabel() const { return version_; }
    QLabel* descriptionLabel() const { return description_; }
    QLabel* disclaimerLabel() const { return disclaimer_; }
    QLineEdit* titleBox() const { return title_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* sysInfoButton() const { return sysInfo_; }
    // Where the "unavailable" message goes (a modal QMessageBox unless replaced).
    std::function<void(const QString&)> messageSink;

  private:
    RegistryAndLauncher& registry_;
    QLineEdit* title_ = nullptr;
    QLabel* version_ = nullptr;
    QLabel* description_ = nullptr;
    QLabel* disclaimer_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* sysInfo_ = nullptr;
};

} // namespace archive
