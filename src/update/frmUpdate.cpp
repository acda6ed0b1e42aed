#include "frmUpdate.h"

#include "BusyPointer.h"
#include "MakerSite.h"
#include "Prompts.h"
#include "SetClientSize.h"
#include "UpdateFile.h"
#include "yieldOnce.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString webAddress() {
    return QString::fromLatin1(MakerSite::WebAddress);
}

QPushButton *button(const char *name, const char *caption, const char *tip, QWidget *parent) {
    auto *b = new QPushButton(QString::fromUtf8(caption), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(QString::fromUtf8(tip));
    b->setAutoDefault(false);
    return b;
}

} // namespace

frmUpdate::frmUpdate(Prompts &prompts, OpenAddress openAddress, QWidget *owner)
    : QDialog(owner), m_prompts(prompts), m_openAddress(std::move(openAddress)) {
    setObjectName(QStringLiteral("frmUpdate"));
    setWindowTitle(QStringLiteral("Update"));
    setModal(true);

    lblDesc1 = new QLabel(QStringLiteral("Welcome to the Velmoria Update. This process will verify "
                                         "that you have the latest version of Cairnmeter."),
                          this);
    lblDesc2 = new QLabel(
        QStringLiteral("Please ensure that you are connected to the internet before proceeding."),
        this);
    for (QLabel *l : {lblDesc1, lblDesc2}) {
        l->setWordWrap(true);
        l->setTextFormat(Qt::PlainText);
    }
    lblDesc1->setObjectName(QStringLiteral("lblDesc1"));
    lblDesc2->setObjectName(QStringLiteral("lblDesc2"));
    cmdCheck = button("cmdCheck", "Check For &Update", "Check It", this);
    cmdDown = button("cmdDown", "&Download New Version", "Download It", this);
    cmdCancel = button("cmdCancel", "&Cancel", "Cancel", this);
    cmdLink =
        button("cmdLink", MakerSite::WebDomain, "Click here to go to the official site", this);
    cmdLink->setFlat(true);
    cmdLink->setCursor(Qt::PointingHandCursor);
    cmdLink->hide();
    cmdDown->setEnabled(false);
    cmdCheck->setDefault(true);
    txtInfo = new QPlainTextEdit(this);
    txtInfo->setObjectName(QStringLiteral("txtInfo"));
    txtInfo->setReadOnly(true);
    txtInfo->setAccessibleName(QStringLiteral("News of the new release"));

    auto *column = new QVBoxLayout(this);
    column->addWidget(lblDesc1);
    column->addWidget(lblDesc2);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdCheck);
    buttons->addWidget(cmdDown);
    buttons->addWidget(cmdCancel);
    column->addLayout(buttons);
    column->addWidget(cmdLink, 0, Qt::AlignHCenter);
    column->addWidget(txtInfo, 1);
    column->addStretch(0);

    connect(cmdCheck, &QPushButton::clicked, this, &frmUpdate::cmdCheck_Click);
    connect(cmdDown, &QPushButton::clicked, this, &frmUpdate::cmdDown_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmUpdate::reject);
    connect(cmdLink, &QPushButton::clicked, this, &frmUpdate::cmdLink_Click);
    setTall(false);
}

void frmUpdate::setTall(bool tall) {
    txtInfo->setVisible(tall);
    layout()->activate();
    SetClientSize(this, ClientWidth, tall ? TallHeight : CompactHeight);
    fitToLayout();
}

bool frmUpdate::CheckForFile(const char *fileName, QString &response) {
    return Inet1.CheckForFile(MakerSite::updateFileUrl(QString::fromLatin1(fileName)), response);
}

void frmUpdate::cmdCheck_Click() {
    if (m_busy)
        return;
    m_busy = true;
    BusyPointer pointer;
    setTall(false);
    setWindowTitle(QStringLiteral("Update"));
    cmdCheck->setEnabled(false);
    cmdDown->setEnabled(false);
    cmdLink->hide();
    txtInfo->clear();
    yieldOnce();
    try {
        QString response;
        std::optional<QString> published;
        QString reason;
        if (!m_closeRequested && CheckForFile(UpdateFile::VersionFile, response)) {
            published = UpdateFile::payload(response, UpdateFile::VersionTag);
            if (!published)
                reason = QStringLiteral("The release file holds no version.");
        } else {
            reason = Inet1.failureReason();
        }
        if (closeIfRequested())
            return;
        if (!published) {
            pointer.release();
            checkFailed(QStringLiteral("The update check failed. You must check for the\n"
                                       "new version of this application manually at\n") +
                            webAddress() + u'.',
                        reason);
            return;
        }
        const std::optional<ReleaseVersion> web = ReleaseVersion::parse(*published);
        if (!web)
            throw std::invalid_argument(
                ("The published version \"" + published->left(40) + "\" is not a version number.")
                    .toStdString());
        if (m_own >= *web) {
            pointer.release();
            m_prompts.message(this,
                              QStringLiteral("Web release ") + web->text() +
                                  QStringLiteral("\nYour release ") + m_own.text() +
                                  QStringLiteral("\nYou have the latest release of Cairnmeter."),
                              QStringLiteral("Cairnmeter update"), Prompts::Icon::Information);
            cmdCancel->setFocus();
        } else {
            setWindowTitle(QStringLiteral("Update available from v") + m_own.text() +
                           QStringLiteral(" to v") + web->text());
            cmdDown->setEnabled(true);
            std::optional<QString> news;
            if (CheckForFile(UpdateFile::NewsFile, response))
                news = UpdateFile::payload(response, UpdateFile::NewsTag);
            if (closeIfRequested())
                return;
            // The news is shown as written; line ends of either kind become line breaks.
            txtInfo->setPlainText(news ? news->replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
                                       : QStringLiteral("Unable to get news for Cairnmeter."));
            setTall(true);
            cmdDown->setFocus();
        }
        cmdCheck->setEnabled(true);
        m_busy = false;
    } catch (const std::exception &e) {
        pointer.release();
        checkFailed(QStringLiteral("An error has occured. Update check failed.\n"
                                   "You must check for the new version of this application \n"
                                   "manually at ") +
                        webAddress() + u'.',
                    QString::fromStdString(e.what()));
    } catch (...) {
        pointer.release();
        checkFailed(QStringLiteral("An error has occured. Update check failed.\n"
                                   "You must check for the new version of this application \n"
                                   "manually at ") +
                        webAddress() + u'.',
                    QString());
    }
}

// The way out of a failed check: the button back, the message with the reason under it, and
// the web-site button, the dialog grown to hold it.
void frmUpdate::checkFailed(const QString &text, const QString &reason) {
    cmdCheck->setEnabled(true);
    m_busy = false;
    m_prompts.message(this, reason.isEmpty() ? text : text + QStringLiteral("\n\n") + reason,
                      QStringLiteral("Error in update"), Prompts::Icon::Critical);
    cmdLink->show();
    fitToLayout();
    cmdLink->setFocus();
}

// The compact and tall heights are the design's; the dialog never gets smaller than its
// layout needs at its width (longer label texts, a larger font, the web-site button shown).
void frmUpdate::fitToLayout() {
    layout()->activate();
    const int needed = layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(width())
                                                     : layout()->totalMinimumSize().height();
    if (height() < needed)
        resize(width(), needed);
}

void frmUpdate::cmdDown_Click() {
    if (m_busy)
        return;
    m_busy = true;
    BusyPointer pointer;
    cmdDown->setEnabled(false);
    QString response;
    std::optional<QString> address;
    if (CheckForFile(UpdateFile::DownloadFile, response))
        address = UpdateFile::payload(response, UpdateFile::DownloadTag);
    if (closeIfRequested())
        return;
    pointer.release();
    m_busy = false;
    // The address comes from the network: only a web address goes to the browser.
    if (address && UpdateFile::isWebAddress(*address)) {
        const Prompts::Answer answer = m_prompts.message(
            this,
            QStringLiteral("This feature will download the installer package\n"
                           "for the new version of Cairnmeter. After the download\n"
                           "is complete, please exit the current running version\n"
                           "of Cairnmeter before installing the new version."),
            QStringLiteral("Instructions"), Prompts::Icon::Information, Prompts::Buttons::OkCancel,
            Prompts::Ok);
        if (answer == Prompts::Ok && m_openAddress)
            m_openAddress(this, QUrl(address->trimmed()).toString(QUrl::FullyEncoded));
        cmdDown->setEnabled(true);
        return;
    }
    cmdDown->setEnabled(true);
    m_prompts.message(this,
                      QStringLiteral("An error has occured. You must manually download the new\n"
                                     "version of Cairnmeter at ") +
                          webAddress() + u'.',
                      QStringLiteral("Error in download"), Prompts::Icon::Critical);
    cmdLink->show();
}

void frmUpdate::cmdLink_Click() {
    if (m_openAddress)
        m_openAddress(this, webAddress());
}

bool frmUpdate::closeIfRequested() {
    if (!m_closeRequested)
        return false;
    m_busy = false;
    m_closeRequested = false;
    QDialog::reject();
    return true;
}

void frmUpdate::reject() {
    if (m_busy) {
        // A fetch is waiting on the stack: end it, and close once the step has unwound.
        m_closeRequested = true;
        Inet1.abort();
        return;
    }
    QDialog::reject();
}

void frmUpdate::closeEvent(QCloseEvent *event) {
    if (m_busy) {
        event->ignore();
        reject();
        return;
    }
    QDialog::closeEvent(event);
}

void frmUpdate::changeEvent(QEvent *event) {
    // Coming back to the front repaints the whole dialog at once.
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        update();
    QDialog::changeEvent(event);
}
