#pragma once

#include <QDialog>

#include <functional>

class Prompts;
class QLabel;
class QPlainTextEdit;
class QPushButton;

/// The About box: product, version, history and credits, with labels that lead to the
/// maker's web site, a new mail to the maker and the update check. It closes with OK, Escape,
/// or as soon as another window takes the focus.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    using OpenAddress = std::function<void(QWidget *owner, const QString &address)>;

    frmAbout(Prompts &prompts, OpenAddress openAddress, QWidget *owner);

    /// The history, credits and contact paragraphs, lines ending in CR LF.
    static QString ProgInfoText();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    Prompts &m_prompts;
    OpenAddress m_openAddress;
    int m_inAction = 0; ///< a label's action runs: its windows may take the focus
    bool m_wasActive = false;

    QLabel *lblVersion = nullptr;
    QPlainTextEdit *txtProgInfo = nullptr;
    QLabel *lblProduct = nullptr;
    QLabel *lblURL = nullptr;
    QLabel *lblCopyright = nullptr;
    QLabel *lblVersionUpdate = nullptr;
    QPushButton *cmdOK = nullptr;

    void Form_Load();
    QLabel *linkLabel(const char *name, const QString &caption, const char *tip);
    void labelPressed(QLabel *label);
    void closeUnlessActive();
};
