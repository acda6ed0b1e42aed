#include "FileTypesView.h"

#include "NativeText.h"

#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int ShareRole = Qt::UserRole + 1;
constexpr int TypeRole = Qt::UserRole + 2;
enum Column { Type = 0, Size, Files, Share };

// The share of a type as a bar across its cell, with the percentage on it.
class ShareBar : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override {
        QStyledItemDelegate::paint(painter, option, QModelIndex());
        const double share = index.data(ShareRole).toDouble();
        QRect bar = option.rect.adjusted(2, 3, -2, -3);
        bar.setWidth(std::max(1, static_cast<int>(bar.width() * share)));
        painter->save();
        painter->fillRect(bar, option.palette.color(QPalette::Highlight));
        painter->setPen(option.palette.color(QPalette::Text));
        painter->drawText(option.rect.adjusted(4, 0, -4, 0), Qt::AlignVCenter | Qt::AlignRight,
                          QLocale().toString(share * 100, 'f', 1) + u'%');
        painter->restore();
    }
};

} // namespace

FileTypesView::FileTypesView(QWidget *parent)
    : QWidget(parent), m_caption(new QLabel(this)), m_list(new QTreeWidget(this)) {
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    // The pane's close box sits in the top right corner.
    m_caption->setContentsMargins(0, 0, 20, 0);
    m_caption->setWordWrap(true);
    layout->addWidget(m_caption);
    layout->addWidget(m_list, 1);
    m_list->setObjectName(QStringLiteral("lstFileTypes"));
    m_list->setAccessibleName(QStringLiteral("File types"));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setHeaderLabels({QStringLiteral("Type"), QStringLiteral("Size"),
                             QStringLiteral("Files"), QStringLiteral("Share")});
    m_list->header()->resizeSection(Type, 120);
    m_list->header()->resizeSection(Size, 90);
    m_list->header()->resizeSection(Files, 70);
    m_list->header()->setStretchLastSection(true);
    m_list->setItemDelegateForColumn(Share, new ShareBar(m_list));
    m_list->setToolTip(QStringLiteral("Click a type to list its largest files"));
    connect(m_list, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem *item) {
        if (item)
            emit typeChosen(item->data(Type, TypeRole).toString());
    });
    refill();
}

QString FileTypesView::typeCaption(const QString &type) {
    return type.isEmpty() ? QStringLiteral("(no extension)") : type;
}

void FileTypesView::show(const KeptFilesPtr &kept) {
    m_kept = kept;
    refill();
}

void FileTypesView::setSizeDisplay(std::int32_t factor, const QString &unit,
                                   const QString &format) {
    m_factor = factor > 0 ? factor : 1;
    m_unit = unit;
    m_format = NumberFormat(format);
    refill();
}

void FileTypesView::refill() {
    m_list->clear();
    if (!m_kept) {
        m_caption->setText(QStringLiteral("No file types are known for this node. Scan its "
                                          "folder to total them."));
        return;
    }
    const std::vector<KeptFiles::TypeTotal> types = m_kept->types();
    if (types.empty()) {
        m_caption->setText(QStringLiteral("The types of this scan's files are not known: it was "
                                          "opened from a file that names only its largest files."));
        return;
    }
    unsigned __int128 total = 0;
    for (const KeptFiles::TypeTotal &t : types)
        total += t.bytes;
    const QLocale locale;
    QList<QTreeWidgetItem *> items;
    items.reserve(static_cast<qsizetype>(types.size()));
    for (const KeptFiles::TypeTotal &t : types) {
        auto *item = new QTreeWidgetItem;
        item->setText(Type, typeCaption(t.extension));
        item->setData(Type, TypeRole, t.extension);
        item->setText(Size, m_format.formatDouble(static_cast<double>(t.bytes) / m_factor) + u' ' +
                                m_unit);
        item->setTextAlignment(Size, Qt::AlignRight | Qt::AlignVCenter);
        item->setText(Files, locale.toString(static_cast<qulonglong>(t.files)));
        item->setTextAlignment(Files, Qt::AlignRight | Qt::AlignVCenter);
        item->setData(Share, ShareRole,
                      total > 0 ? static_cast<double>(t.bytes) / static_cast<double>(total) : 0.0);
        items.append(item);
    }
    m_list->addTopLevelItems(items);
    m_caption->setText(QStringLiteral("Every file of the scan of %1 by type, largest first. "
                                      "Click a type to list its largest files.")
                           .arg(NativeText::decode(m_kept->rootPath())));
}
