#pragma once

#include "KeptFiles.h"

#include <QByteArray>
#include <QWidget>

#include <optional>

class KeptFilesModel;
class QLabel;
class QAction;
class QMenu;
class QTableView;

/// The "Largest files" page beside the chart: the kept files below the selected node, sortable
/// by any column, with a line saying from which size on files are listed. A double click asks
/// for the file's folder to be selected; the pop-up menu opens, explores, shows the
/// properties of and copies the selected files.
class LargestFilesView : public QWidget {
    Q_OBJECT
public:
    explicit LargestFilesView(QWidget *parent = nullptr);

    /// Lists the kept files of `kept` below `folderPath`, narrowed to a type when one is given;
    /// `kept` null (a scan that kept none, or no scan selected) says so instead.
    void show(KeptFilesPtr kept, const QByteArray &folderPath,
              std::optional<QString> type = std::nullopt);
    void setSizeDisplay(std::int32_t factor, const QString &unit, const QString &format);

    KeptFilesModel *model() const { return m_model; }
    QTableView *table() const { return m_table; }
    QString captionText() const;
    /// The selected rows as lines of tab-separated text, as the Copy command puts them on the
    /// clipboard.
    QString selectedText() const;
    /// The full path's bytes of the current row's file, or empty.
    QByteArray currentFile() const;
    /// "Move to Trash" (Delete) and "Delete Permanently" (Shift+Delete) of the current file;
    /// whoever owns the list enables them and acts on removeWanted.
    QAction *trashAction() const { return m_trash; }
    QAction *deleteAction() const { return m_delete; }

signals:
    void folderWanted(const QByteArray &folderPath);
    /// "Open" or "Explore" of a file.
    void openWanted(const QByteArray &path, const QString &verb);
    void propertiesWanted(const QByteArray &path);
    /// The current file is to go to the trash, or (`permanently`) be deleted.
    void removeWanted(bool permanently);
    /// The pop-up menu is about to show: the time to bring its commands' states up to date.
    void menuAboutToShow();

private:
    KeptFilesModel *m_model;
    QLabel *m_caption;
    QTableView *m_table;
    QMenu *m_menu;
    QAction *m_trash = nullptr;
    QAction *m_delete = nullptr;

    void copySelection() const;
    void updateCaption();
};
