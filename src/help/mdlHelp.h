#pragma once

#include <QString>

#include <functional>
#include <memory>

class HelpWindow;
class Prompts;
class QWidget;

/// The program's help: it knows one help file, number 1 (the application's), and opens it at
/// the contents, index or search page in the help window, which it keeps for reuse.
class mdlHelp {
public:
    using OpenAddress = std::function<void(QWidget *owner, const QString &address)>;

    mdlHelp(Prompts &prompts, OpenAddress openAddress);
    ~mdlHelp();

    /// The application's help file, help file number 1.
    void setHelpFile(const QString &path) { m_helpFile = path; }
    const QString &helpFile() const { return m_helpFile; }

    /// The path of help file `number`; any number but 1 shows "Invalid Help file." and gives
    /// an empty path. Messages are owned by `owner`.
    QString HelpFilePath(int number, QWidget *owner);

    /// Open the help at its contents, index or search page (the search with an empty query);
    /// false, after a titled message, when the help file cannot be opened.
    bool HelpContents(int number, QWidget *owner);
    bool HelpIndex(int number, QWidget *owner);
    bool HelpSearch(int number, QWidget *owner);

    /// The help window, once a help file has been opened.
    HelpWindow *window() const { return m_window.get(); }

private:
    Prompts &m_prompts;
    OpenAddress m_openAddress;
    QString m_helpFile;
    std::unique_ptr<HelpWindow> m_window;

    bool show(int number, int page, const QString &title, QWidget *owner);
};
