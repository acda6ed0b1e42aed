#pragma once

#include <QMainWindow>
#include <QUrl>

#include <functional>

class HelpBrowser;
class QHelpEngine;
class QLineEdit;
class QTabWidget;

/// The manual's window: contents, index and full-text search beside the page, with back,
/// forward and home. It belongs to no other window and does not keep the program running.
class HelpWindow : public QMainWindow {
    Q_OBJECT
public:
    enum class Page { Contents = 0, Index = 1, Search = 2 };
    using OpenAddress = std::function<void(QWidget *owner, const QString &address)>;

    explicit HelpWindow(OpenAddress openAddress);
    ~HelpWindow() override;

    /// Loads the help collection `collectionFile` (a .qhc with its .qch beside it). False, with
    /// the window left empty, when the file is missing, unreadable or holds no manual.
    bool open(const QString &collectionFile);
    const QString &collectionFile() const { return m_collectionFile; }

    /// Brings the window up at a page of its side pane; the search page starts with an empty
    /// query.
    void showPage(Page page);
    Page currentPage() const;

    /// The search index is being built (in the help engine's own thread); a search asked for
    /// meanwhile runs when it is done.
    bool isIndexing() const { return m_indexing; }

    HelpBrowser *browser() const { return m_browser; }
    QHelpEngine *engine() const { return m_engine; }
    QUrl homePage() const { return m_home; }

private:
    OpenAddress m_openAddress;
    QString m_collectionFile;
    QHelpEngine *m_engine = nullptr;
    HelpBrowser *m_browser = nullptr;
    QTabWidget *m_pane = nullptr;
    QLineEdit *m_indexFilter = nullptr;
    QUrl m_home;
    bool m_indexing = false;
    bool m_searchWaiting = false;

    void buildWindow();
    void search();
};
