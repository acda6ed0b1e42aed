#include "PropertiesDialog.h"

#include "ItemProperties.h"

#include <QDialogButtonBox>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFormLayout>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QFrame *separator(QWidget *parent) {
    auto *line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

/// A value that reads like a label but scrolls and selects like a line edit, so a long path
/// neither widens the window without end nor gets cut off.
QLineEdit *valueField(const QString &text, QWidget *parent) {
    auto *field = new QLineEdit(text, parent);
    field->setReadOnly(true);
    field->setFrame(false);
    QPalette palette = field->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    field->setPalette(palette);
    field->setCursorPosition(0);
    field->setToolTip(text);
    return field;
}

/// The field groups, each closed by a separator line.
bool endsGroup(const QString &label) {
    return label == QLatin1String("Type") || label == QLatin1String("Size on disk") ||
           label == QLatin1String("Permissions");
}

} // namespace

PropertiesDialog::PropertiesDialog(const QByteArray &path, const ScanFigures &figures,
                                   QWidget *parent)
    : QDialog(parent) {
    const ItemProperties item = ItemProperties::read(path, figures);
    m_path = item.path();
    const QString name = item.value(QStringLiteral("Name"));
    setWindowTitle(name + QStringLiteral(" Properties"));

    auto *outer = new QVBoxLayout(this);
    auto *header = new QHBoxLayout;
    auto *icon = new QLabel(this);
    const QIcon picture = QFileIconProvider().icon(item.isFolder() ? QFileIconProvider::Folder
                                                                   : QFileIconProvider::File);
    icon->setPixmap(picture.pixmap(32, 32));
    header->addWidget(icon);
    m_name = new QLabel(name, this);
    m_name->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QFont big = m_name->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.2);
    m_name->setFont(big);
    header->addWidget(m_name, 1);
    outer->addLayout(header);
    outer->addWidget(separator(this));

    auto *form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignRight);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    // The scan's figures may be older than the item's facts, so the window says where they are
    // from.
    const bool scanned = figures.bytes >= 0 || figures.files >= 0;
    const QString noteAfter = figures.files >= 0 ? QStringLiteral("Files") : QStringLiteral("Size");
    int widest = 0;
    const QFontMetrics metrics = fontMetrics();
    for (const ItemProperties::Field &field : item.fields()) {
        if (field.label == QLatin1String("Name"))
            continue;
        QLineEdit *value = valueField(field.value, this);
        m_values.insert(field.label, value);
        form->addRow(field.label + QLatin1Char(':'), value);
        widest = std::max(widest, metrics.horizontalAdvance(field.value));
        if (scanned && field.label == noteAfter) {
            auto *note = new QLabel(tr("Size and file count as the scan found them"), this);
            // The muted look of a remark, lined up with the values' text.
            QPalette muted = note->palette();
            muted.setColor(QPalette::WindowText, muted.color(QPalette::PlaceholderText));
            note->setPalette(muted);
            QFont small = note->font();
            small.setPointSizeF(small.pointSizeF() * 0.9);
            small.setItalic(true);
            note->setFont(small);
            note->setContentsMargins(2, 0, 0, 0);
            form->addRow(QString(), note);
        }
        if (endsGroup(field.label))
            form->addRow(separator(this));
    }
    outer->addLayout(form);
    outer->addStretch();

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    outer->addWidget(buttons);

    // Wide enough for the usual values at a glance, never wider than a comfortable window.
    const int labels = metrics.horizontalAdvance(QStringLiteral("Size on disk: ")) + 40;
    resize(std::clamp(labels + widest + 24, 460, 760), sizeHint().height());
}

QString PropertiesDialog::fieldText(const QString &label) const {
    if (label == QLatin1String("Name"))
        return m_name->text();
    const QLineEdit *value = m_values.value(label);
    return value ? value->text() : QString();
}
