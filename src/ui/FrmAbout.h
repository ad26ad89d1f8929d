#pragma once

#include <QDialog>

namespace kvt::ui {

// The program's version as the About box shows it.
const char* programVersion();

// The About box: logo, title, version and what the program is for. Centred on the screen.
class FrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit FrmAbout(QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;
};

} // namespace kvt::ui
