#include "LargestFilesView.h"

#include "KeptFilesModel.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

LargestFilesView::LargestFilesView(QWidget *parent)
    : QWidget(parent), m_model(new KeptFilesModel(this)), m_caption(new QLabel(this)),
      m_table(new QTableView(this)), m_menu(new QMenu(this)) {
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    // The pane's close box sits in the top right corner.
    m_caption->setContentsMargins(0, 0, 20, 0);
    m_caption->setWordWrap(true);
    layout->addWidget(m_caption);
    layout->addWidget(m_table, 1);

    m_table->setObjectName(QStringLiteral("tblLargestFiles"));
    m_table->setAccessibleName(QStringLiteral("Largest files"));
    m_table->setModel(m_model);
    m_table->setSortingEnabled(true);
    m_table->sortByColumn(KeptFilesModel::Size, Qt::DescendingOrder);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setWordWrap(false);
    m_table->setAlternatingRowColors(true);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->horizontalHeader()->resizeSection(KeptFilesModel::Name, 180);
    m_table->horizontalHeader()->resizeSection(KeptFilesModel::Size, 90);
    m_table->horizontalHeader()->resizeSection(KeptFilesModel::Folder, 220);
    m_table->setContextMenuPolicy(Qt::CustomContextMenu);

    connect(m_table, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &index) {
        const QByteArray folder = m_model->folderOf(index.row());
        if (!folder.isEmpty())
            emit folderWanted(folder);
    });
    auto addFileCommand = [this](const QString &caption, auto handler) {
        QAction *action = m_menu->addAction(caption);
        connect(action, &QAction::triggered, this, [this, handler] {
            const QByteArray path = currentFile();
            if (!path.isEmpty())
                handler(path);
        });
        return action;
    };
    addFileCommand(QStringLiteral("Open"),
                   [this](const QByteArray &p) { emit openWanted(p, QStringLiteral("Open")); });
    addFileCommand(QStringLiteral("Explore in File Manager"),
                   [this](const QByteArray &p) { emit openWanted(p, QStringLiteral("Explore")); });
    addFileCommand(QStringLiteral("Show Folder in Tree"), [this](const QByteArray &) {
        emit folderWanted(m_model->folderOf(m_table->currentIndex().row()));
    });
    m_menu->addSeparator();
    QAction *copy = m_menu->addAction(QStringLiteral("&Copy"));
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(copy, &QAction::triggered, this, &LargestFilesView::copySelection);
    m_table->addAction(copy);
    m_menu->addSeparator();
    m_menu->setToolTipsVisible(true);
    auto addRemoval = [this](const QString &caption, const QKeySequence &key, bool permanently) {
        QAction *action = m_menu->addAction(caption);
        action->setShortcut(key);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        m_table->addAction(action);
        connect(action, &QAction::triggered, this, [this, permanently] {
            if (m_table->currentIndex().isValid())
                emit removeWanted(permanently);
        });
        return action;
    };
    m_trash = addRemoval(QStringLiteral("Move to Trash"), QKeySequence(Qt::Key_Delete), false);
    m_delete = addRemoval(QStringLiteral("Delete Permanently"),
                          QKeySequence(Qt::SHIFT | Qt::Key_Delete), true);
    m_menu->addSeparator();
    connect(m_menu, &QMenu::aboutToShow, this, &LargestFilesView::menuAboutToShow);
    addFileCommand(QStringLiteral("Properties"),
                   [this](const QByteArray &p) { emit propertiesWanted(p); });
    connect(m_table, &QWidget::customContextMenuRequested, this, [this](QPoint pos) {
        if (m_table->indexAt(pos).isValid())
            m_menu->popup(m_table->viewport()->mapToGlobal(pos));
    });
    updateCaption();
}

void LargestFilesView::show(KeptFilesPtr kept, const QByteArray &folderPath,
                            std::optional<QString> type) {
    m_model->show(std::move(kept), folderPath, std::move(type));
    updateCaption();
}

void LargestFilesView::setSizeDisplay(std::int32_t factor, const QString &unit,
                                      const QString &format) {
    m_model->setSizeDisplay(factor, unit, format);
    updateCaption();
}

QString LargestFilesView::captionText() const {
    return m_caption->text();
}

// Nobody should take the list for every file: it says from which size on files are listed.
void LargestFilesView::updateCaption() {
    const KeptFilesPtr &kept = m_model->keptFiles();
    if (!kept) {
        m_caption->setText(QStringLiteral("No large files are kept for this node. Scan its "
                                          "folder to list them."));
        return;
    }
    QString text = kept->threshold() == 0 ? QStringLiteral("Every file is listed")
                                          : QStringLiteral("Files of %1 and larger are listed")
                                                .arg(m_model->sizeText(kept->threshold()));
    if (m_model->type())
        text += m_model->type()->isEmpty()
                    ? QStringLiteral(", those without an extension")
                    : QStringLiteral(", those of type \"%1\"").arg(*m_model->type());
    text += QStringLiteral(" (%1 files).").arg(QLocale().toString(m_model->rowCount()));
    m_caption->setText(text);
}

QString LargestFilesView::selectedText() const {
    QModelIndexList rows = m_table->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    QStringList lines;
    for (const QModelIndex &row : rows)
        lines << m_model->rowText(row.row());
    return lines.isEmpty() ? QString() : lines.join(u'\n') + u'\n';
}

void LargestFilesView::copySelection() const {
    const QString text = selectedText();
    if (!text.isEmpty())
        QGuiApplication::clipboard()->setText(text);
}

QByteArray LargestFilesView::currentFile() const {
    return m_model->filePath(m_table->currentIndex().row());
}
