#include "frmAbout.h"

#include "MakerSite.h"
#include "Prompts.h"
#include "ReleaseVersion.h"
#include "frmUpdate.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const char *const History[] = {
    "v1.0.5 (4/7/2008) Added capability to scan a node with a specific size format and be able "
    "to sort all the other nodes properly. Changed the default format of the report file name. "
    "Minor tweaks.",
    "v1.0.4 (10/31/2006) Added drive-specific icons to the root node. Minor tweaks.",
    "v1.0.3 (10/16/2006) Implemented sorting routines for all nodes. A main node called "
    "'Scans' is now the parent of all scans. Fixed bug where clearing a root node would not "
    "delete all its children rows. Minor tweaks.",
    "v1.0.2 (9/6/2006) Minor tweaks.",
    "v1.0.1 (5/9/2006) Added a column for number of files.",
    "v1.0.0 (12/20/2005) Initial version.",
};

} // namespace

frmAbout::frmAbout(Prompts &prompts, OpenAddress openAddress, QWidget *owner)
    : QDialog(owner), m_prompts(prompts), m_openAddress(std::move(openAddress)) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Cairnmeter"));
    setModal(true);

    auto *icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("imgIcon"));
    icon->setPixmap(QApplication::windowIcon().pixmap(64, 64));
    icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    auto *name = new QLabel(QStringLiteral("Cairnmeter"), this);
    name->setObjectName(QStringLiteral("lblInfo0"));
    QFont big = name->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    name->setFont(big);
    auto *purpose = new QLabel(QStringLiteral("A program to survey a disk's space usage"), this);
    purpose->setObjectName(QStringLiteral("lblInfo1"));
    lblVersion = new QLabel(this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    txtProgInfo = new QPlainTextEdit(this);
    txtProgInfo->setObjectName(QStringLiteral("txtProgInfo"));
    txtProgInfo->setReadOnly(true);
    txtProgInfo->setAccessibleName(QStringLiteral("Version history and credits"));
    lblProduct = linkLabel("lblProduct", QStringLiteral("Velmoria"), "Go to the official website");
    lblURL = linkLabel("lblURL", QString::fromLatin1(MakerSite::WebAddress),
                       "Go to the official website");
    lblCopyright = linkLabel(
        "lblCopyright", QStringLiteral("Copyright \u00a9 2005-2008 Velmoria. All rights reserved."),
        "Write to Velmoria");
    lblVersionUpdate =
        linkLabel("lblVersionUpdate", QStringLiteral("Update Information"), "Check for an update");
    cmdOK = new QPushButton(QStringLiteral("&OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);

    auto *heading = new QVBoxLayout;
    heading->addWidget(name);
    heading->addWidget(purpose);
    heading->addWidget(lblVersion);
    auto *top = new QHBoxLayout;
    top->addWidget(icon);
    top->addLayout(heading, 1);
    auto *links = new QGridLayout;
    links->addWidget(lblProduct, 0, 0);
    links->addWidget(lblURL, 0, 1, Qt::AlignRight);
    links->addWidget(lblCopyright, 1, 0);
    links->addWidget(lblVersionUpdate, 1, 1, Qt::AlignRight);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    auto *column = new QVBoxLayout(this);
    column->addLayout(top);
    column->addWidget(txtProgInfo, 1);
    column->addLayout(links);
    column->addLayout(buttons);
    resize(520, 420);

    Form_Load();
    cmdOK->setFocus();
}

QString frmAbout::ProgInfoText() {
    QString text;
    for (const char *entry : History)
        text += QString::fromLatin1(entry) + QStringLiteral("\r\n\r\n");
    text += QStringLiteral("Cairnmeter was developed by Velmoria. Thanks to everyone who tried "
                           "the early versions, reported faults and suggested improvements.") +
            QStringLiteral("\r\n\r\n");
    text += QStringLiteral("Comments and suggestions are welcome through the official web site, ") +
            QString::fromLatin1(MakerSite::WebAddress) + QStringLiteral(", or by mail to ") +
            QString::fromLatin1(MakerSite::MailAddress) + u'.';
    return text;
}

void frmAbout::Form_Load() {
    lblVersion->setText(QStringLiteral("Version: ") + ReleaseVersion::program().text());
    txtProgInfo->setPlainText(ProgInfoText().replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

QLabel *frmAbout::linkLabel(const char *name, const QString &caption, const char *tip) {
    auto *label = new QLabel(caption, this);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    label->setToolTip(QString::fromUtf8(tip));
    label->setCursor(Qt::PointingHandCursor);
    QPalette look = label->palette();
    look.setColor(QPalette::WindowText, look.color(QPalette::Link));
    label->setPalette(look);
    QFont font = label->font();
    font.setUnderline(true);
    label->setFont(font);
    label->installEventFilter(this);
    return label;
}

bool frmAbout::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        for (QLabel *label : {lblProduct, lblURL, lblCopyright, lblVersionUpdate}) {
            if (watched == label) {
                labelPressed(label);
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmAbout::labelPressed(QLabel *label) {
    QPalette look = label->palette();
    look.setColor(QPalette::WindowText, QColor(255, 0, 0));
    label->setPalette(look);
    // What the label opens may take the focus (a message, the update dialog) without closing
    // the box.
    ++m_inAction;
    if (label == lblVersionUpdate) {
        frmUpdate update(m_prompts, m_openAddress, this);
        update.exec();
    } else if (m_openAddress) {
        m_openAddress(this, label == lblCopyright
                                ? QStringLiteral("mailto:") + QLatin1String(MakerSite::MailAddress)
                                : QString::fromLatin1(MakerSite::WebAddress));
    }
    --m_inAction;
}

void frmAbout::changeEvent(QEvent *event) {
    QDialog::changeEvent(event);
    if (event->type() != QEvent::ActivationChange)
        return;
    if (isActiveWindow()) {
        m_wasActive = true;
        return;
    }
    // Decided once the new window has settled: a window of the box's own keeps it open.
    if (m_wasActive)
        QTimer::singleShot(0, this, &frmAbout::closeUnlessActive);
}

void frmAbout::closeUnlessActive() {
    if (m_inAction > 0 || !isVisible() || isActiveWindow())
        return;
    for (QWidget *w = QApplication::activeWindow(); w; w = w->parentWidget()) {
        if (w == this)
            return;
    }
    reject();
}
