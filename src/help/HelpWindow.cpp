#include "HelpWindow.h"

#include "HelpBrowser.h"
#include "HelpFiles.h"

#include <QAction>
#include <QFileInfo>
#include <QHelpContentItem>
#include <QHelpContentModel>
#include <QHelpContentWidget>
#include <QHelpEngine>
#include <QHelpIndexWidget>
#include <QHelpLink>
#include <QHelpSearchEngine>
#include <QHelpSearchQueryWidget>
#include <QHelpSearchResultWidget>
#include <QLabel>
#include <QLineEdit>
#include <QSplitter>
#include <QStyle>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>

#include <utility>

HelpWindow::HelpWindow(OpenAddress openAddress)
    : QMainWindow(nullptr), m_openAddress(std::move(openAddress)) {
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Cairnmeter Help"));
    // The manual closes with the program; on its own it keeps nothing running.
    setAttribute(Qt::WA_QuitOnClose, false);
}

HelpWindow::~HelpWindow() = default;

bool HelpWindow::open(const QString &collectionFile) {
    const QFileInfo file(collectionFile);
    if (collectionFile.isEmpty() || !file.isFile() || !file.isReadable())
        return false;
    // The search index is kept beside the collection, so work on a copy where the user may
    // write; the installed files stay untouched.
    m_engine = new QHelpEngine(HelpFiles::writableCopy(file.absoluteFilePath()), this);
    m_engine->setReadOnly(true);
    if (!m_engine->setupData() || m_engine->registeredDocumentations().isEmpty())
        return false;
    const QString space = m_engine->registeredDocumentations().constFirst();
    m_home = QUrl(QStringLiteral("qthelp://%1/doc/index.html").arg(space));
    if (m_engine->fileData(m_home).isEmpty())
        return false;
    m_collectionFile = collectionFile;
    buildWindow();
    m_browser->setSource(m_home);
    QHelpSearchEngine *searcher = m_engine->searchEngine();
    connect(searcher, &QHelpSearchEngine::indexingStarted, this, [this] { m_indexing = true; });
    connect(searcher, &QHelpSearchEngine::indexingFinished, this, [this] {
        m_indexing = false;
        if (std::exchange(m_searchWaiting, false))
            search();
    });
    m_indexing = true; // from the request on, not only once the indexer has started
    searcher->reindexDocumentation();
    return true;
}

void HelpWindow::buildWindow() {
    m_browser = new HelpBrowser(m_engine, m_openAddress, this);
    m_browser->setObjectName(QStringLiteral("helpBrowser"));
    m_browser->setAccessibleName(QStringLiteral("Help page"));

    m_pane = new QTabWidget(this);
    m_pane->setObjectName(QStringLiteral("helpPane"));
    QHelpContentWidget *contents = m_engine->contentWidget();
    contents->setObjectName(QStringLiteral("helpContents"));
    m_pane->addTab(contents, QStringLiteral("&Contents"));

    auto *indexPage = new QWidget(m_pane);
    auto *indexColumn = new QVBoxLayout(indexPage);
    m_indexFilter = new QLineEdit(indexPage);
    m_indexFilter->setObjectName(QStringLiteral("helpIndexFilter"));
    m_indexFilter->setPlaceholderText(QStringLiteral("Type a word to look for"));
    m_indexFilter->setClearButtonEnabled(true);
    auto *lookFor = new QLabel(QStringLiteral("&Look for:"), indexPage);
    lookFor->setBuddy(m_indexFilter);
    QHelpIndexWidget *index = m_engine->indexWidget();
    index->setObjectName(QStringLiteral("helpIndex"));
    indexColumn->addWidget(lookFor);
    indexColumn->addWidget(m_indexFilter);
    indexColumn->addWidget(index, 1);
    m_pane->addTab(indexPage, QStringLiteral("&Index"));

    auto *searchPage = new QWidget(m_pane);
    auto *searchColumn = new QVBoxLayout(searchPage);
    QHelpSearchEngine *searcher = m_engine->searchEngine();
    searcher->queryWidget()->setObjectName(QStringLiteral("helpSearchQuery"));
    searchColumn->addWidget(searcher->queryWidget());
    searchColumn->addWidget(searcher->resultWidget(), 1);
    m_pane->addTab(searchPage, QStringLiteral("&Search"));

    auto *split = new QSplitter(this);
    split->addWidget(m_pane);
    split->addWidget(m_browser);
    split->setStretchFactor(1, 1);
    split->setSizes({260, 640});
    setCentralWidget(split);

    QToolBar *bar = addToolBar(QStringLiteral("Navigation"));
    bar->setObjectName(QStringLiteral("helpNavigation"));
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    QAction *back = bar->addAction(style()->standardIcon(QStyle::SP_ArrowBack),
                                   QStringLiteral("&Back"), m_browser, &QTextBrowser::backward);
    QAction *forward =
        bar->addAction(style()->standardIcon(QStyle::SP_ArrowForward), QStringLiteral("&Forward"),
                       m_browser, &QTextBrowser::forward);
    QAction *home = bar->addAction(
        QIcon::fromTheme(QStringLiteral("go-home"), style()->standardIcon(QStyle::SP_DirHomeIcon)),
        QStringLiteral("&Home"), this, [this] { m_browser->setSource(m_home); });
    back->setObjectName(QStringLiteral("helpBack"));
    forward->setObjectName(QStringLiteral("helpForward"));
    home->setObjectName(QStringLiteral("helpHome"));
    back->setShortcut(QKeySequence::Back);
    forward->setShortcut(QKeySequence::Forward);
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(m_browser, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
    connect(m_browser, &QTextBrowser::sourceChanged, this, [this] {
        const QString title = m_browser->documentTitle();
        setWindowTitle(title.isEmpty() ? QStringLiteral("Cairnmeter Help")
                                       : title + QStringLiteral(" - Cairnmeter Help"));
    });

    // The contents open one level deep and follow the page shown.
    connect(m_engine->contentModel(), &QHelpContentModel::contentsCreated, contents,
            [contents] { contents->expandToDepth(0); });
    connect(m_browser, &QTextBrowser::sourceChanged, contents, [contents](const QUrl &url) {
        const QModelIndex at = contents->indexOf(url);
        if (at.isValid())
            contents->setCurrentIndex(at);
    });
    connect(contents, &QHelpContentWidget::linkActivated, m_browser,
            [this](const QUrl &link) { m_browser->setSource(link); });
    // One click on an entry shows its page, as in other help viewers.
    connect(contents, &QHelpContentWidget::clicked, m_browser, [this](const QModelIndex &at) {
        if (const QHelpContentItem *entry = m_engine->contentModel()->contentItemAt(at))
            m_browser->setSource(entry->url());
    });
    connect(m_indexFilter, &QLineEdit::textChanged, index,
            [index](const QString &text) { index->filterIndices(text); });
    connect(m_indexFilter, &QLineEdit::returnPressed, index,
            &QHelpIndexWidget::activateCurrentItem);
    connect(
        index, &QHelpIndexWidget::documentActivated, m_browser,
        [this](const QHelpLink &document, const QString &) { m_browser->setSource(document.url); });
    connect(index, &QHelpIndexWidget::documentsActivated, m_browser,
            [this](const QList<QHelpLink> &documents, const QString &) {
                if (!documents.isEmpty())
                    m_browser->setSource(documents.constFirst().url);
            });
    connect(searcher->queryWidget(), &QHelpSearchQueryWidget::search, this, &HelpWindow::search);
    connect(searcher->resultWidget(), &QHelpSearchResultWidget::requestShowLink, m_browser,
            [this](const QUrl &link) { m_browser->setSource(link); });
    resize(920, 640);
}

void HelpWindow::search() {
    if (m_indexing) {
        m_searchWaiting = true;
        return;
    }
    QHelpSearchEngine *searcher = m_engine->searchEngine();
    searcher->search(searcher->queryWidget()->searchInput());
}

void HelpWindow::showPage(Page page) {
    if (!m_pane)
        return;
    m_pane->setCurrentIndex(static_cast<int>(page));
    show();
    raise();
    activateWindow();
    switch (page) {
    case Page::Contents:
        m_engine->contentWidget()->setFocus();
        break;
    case Page::Index:
        m_indexFilter->setFocus();
        break;
    case Page::Search:
        // A fresh search page: an empty query waiting for the user's words.
        m_engine->searchEngine()->queryWidget()->setSearchInput(QString());
        m_engine->searchEngine()->queryWidget()->setFocus();
        break;
    }
}

HelpWindow::Page HelpWindow::currentPage() const {
    return m_pane ? static_cast<Page>(m_pane->currentIndex()) : Page::Contents;
}
