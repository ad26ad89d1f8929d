#include "ui/FrmAbout.h"

#include "ui/Icons.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace kvt::ui {

const char* programVersion() {
    // The build passes the project's version in; a build that does not gets the first release.
#ifdef KVT_VERSION
    return KVT_VERSION;
#else
    return "0.1.0";
#endif
}

FrmAbout::FrmAbout(QWidget* parent) : QDialog(parent) {
    setObjectName("frmAbout");
    setWindowTitle("About");
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* logo = new QLabel(this);
    logo->setObjectName("picIcon");
    logo->setPixmap(flowTubeLogo(96));
    logo->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    auto* title = new QLabel("KVT Control Terminal", this);
    title->setObjectName("lblTitle");
    QFont big = title->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.5);
    title->setFont(big);
    auto* version = new QLabel(QString("Version ") + programVersion(), this);
    version->setObjectName("lblVersion");
    auto* line1 = new QLabel("Control terminal for digital mass-flow controllers and meters", this);
    line1->setObjectName("lblDescription");
    auto* line2 = new QLabel("RS-232 / RS-485 ASCII protocol", this);
    line2->setObjectName("lblDisclaimer");

    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("Command1");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* texts = new QVBoxLayout;
    texts->addWidget(title);
    texts->addWidget(version);
    texts->addSpacing(8);
    texts->addWidget(line1);
    texts->addWidget(line2);
    texts->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(logo);
    top->addSpacing(12);
    top->addLayout(texts, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void FrmAbout::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Centred on the screen, not on the main window.
    if (auto* s = screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(s->availableGeometry().center());
        move(frame.topLeft());
    }
}

} // namespace kvt::ui
