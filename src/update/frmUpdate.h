#pragma once

#include "HttpFetch.h"
#include "ReleaseVersion.h"

#include <QDialog>

#include <functional>

class Prompts;
class QLabel;
class QPlainTextEdit;
class QPushButton;

/// The update check: fetches the release files from the maker's server, compares the
/// published version with the program's own, shows the news of a newer release and, on
/// request, opens the installer's address in the web browser. Nothing is downloaded or
/// installed by the program itself.
class frmUpdate : public QDialog {
    Q_OBJECT
public:
    /// Opens a web or mail address with the desktop, reporting its own failures.
    using OpenAddress = std::function<void(QWidget *owner, const QString &address)>;

    /// Client sizes in twips: compact while checking, tall when the news is shown.
    static constexpr int ClientWidth = 4755;
    static constexpr int CompactHeight = 2010;
    static constexpr int TallHeight = 4770;

    frmUpdate(Prompts &prompts, OpenAddress openAddress, QWidget *owner);

    void cmdCheck_Click();
    void cmdDown_Click();
    void cmdLink_Click();

    /// The version compared with the published one; the program's own unless changed.
    void setOwnVersion(ReleaseVersion version) { m_own = version; }
    HttpFetch &fetcher() { return Inet1; }
    bool isBusy() const { return m_busy; }

protected:
    void reject() override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    Prompts &m_prompts;
    OpenAddress m_openAddress;
    ReleaseVersion m_own = ReleaseVersion::program();
    HttpFetch Inet1;
    bool m_busy = false;
    bool m_closeRequested = false; ///< closed while a fetch ran: close once it has unwound

    QLabel *lblDesc1 = nullptr;
    QLabel *lblDesc2 = nullptr;
    QPushButton *cmdCheck = nullptr;
    QPushButton *cmdDown = nullptr;
    QPushButton *cmdCancel = nullptr;
    QPushButton *cmdLink = nullptr;
    QPlainTextEdit *txtInfo = nullptr;

    bool CheckForFile(const char *fileName, QString &response);
    void setTall(bool tall);
    void checkFailed(const QString &text, const QString &reason);
    void fitToLayout();
    bool closeIfRequested();
};
