#include "Chart.h"

#include "TreeChartLayout.h"

#include <cmath>

Chart::Chart(QObject *parent) : QObject(parent) {
    m_live.treeCache = std::make_shared<TreeChartCache>();
    m_live.titleFont.setPointSize(10);
    m_live.titleFont.setBold(true);
}

void Chart::setBatchFlag(bool &flag, bool on) {
    if (flag == on)
        return;
    if (on && !batched())
        m_frozen = m_live;
    flag = on;
    if (!batched()) {
        m_frozen.reset();
        if (m_dirty) {
            m_dirty = false;
            emit changed();
        }
    }
}

void Chart::setBatchMode(bool on) {
    setBatchFlag(m_batch, on);
}

void Chart::setDataBatchMode(bool on) {
    setBatchFlag(m_dataBatch, on);
}

void Chart::touched() {
    if (batched())
        m_dirty = true;
    else
        emit changed();
}

void Chart::setChartType(Type type) {
    m_live.type = type;
    touched();
}

void Chart::setSubtree(std::shared_ptr<const TreeChartSource> subtree) {
    m_live.subtree = std::move(subtree);
    // A new source may sit where the old one did: the layouts cached for that one must go.
    m_live.treeCache = std::make_shared<TreeChartCache>();
    touched();
}

bool Chart::refreshSubtree() {
    const Content &shown = shownContent();
    if (!drawsSubtree(shown.type) || !shown.subtree)
        return false;
    const TreeChartCache &cache = *shown.treeCache;
    if (cache.source == shown.subtree.get() && cache.stamp == shown.subtree->stamp())
        return false;
    if (!batched())
        emit changed();
    return true;
}

void Chart::setHighlightedItem(int id) {
    if (m_live.highlighted == id)
        return;
    m_live.highlighted = id;
    touched();
}

void Chart::setCushions(bool on) {
    m_live.cushions = on;
    touched();
}

void Chart::setSeriesCount(int count) {
    const qsizetype old = m_live.values.size();
    m_live.values.resize(std::max(count, 0));
    // A new series takes the point count of the series before it, so growing the series one
    // at a time keeps every series as long as the first.
    for (qsizetype i = old; i < m_live.values.size(); ++i)
        m_live.values[i].resize(i > 0 ? m_live.values[i - 1].size() : 1, 0.0);
    touched();
}

void Chart::setPointCount(int series, int count) {
    if (series < 0 || series >= seriesCount())
        return;
    m_live.values[series].resize(std::max(count, 0), 0.0);
    touched();
}

int Chart::pointCount(int series) const {
    if (series < 0 || series >= seriesCount())
        return 0;
    return int(m_live.values[series].size());
}

void Chart::setValue(int series, int point, double value) {
    if (point < 0 || point >= pointCount(series))
        return;
    m_live.values[series][point] = std::isfinite(value) ? value : 0.0;
    touched();
}

double Chart::value(int series, int point) const {
    if (point < 0 || point >= pointCount(series))
        return 0.0;
    return m_live.values[series][point];
}

void Chart::clearLegendTexts() {
    m_live.legendTexts.clear();
    touched();
}

void Chart::addLegendText(const QString &text) {
    m_live.legendTexts.append(text);
    touched();
}

void Chart::clearToolTips() {
    m_live.toolTips.clear();
    touched();
}

void Chart::setToolTip(int series, const QString &text) {
    setTextAt(m_live.toolTips, series, text);
}

QString Chart::toolTip(int series) const {
    return series >= 0 && series < m_live.toolTips.size() ? m_live.toolTips[series] : QString();
}

void Chart::clearSeriesStyles() {
    m_live.styles.clear();
    touched();
}

int Chart::addSeriesStyle() {
    m_live.styles.append(QColor());
    touched();
    return int(m_live.styles.size()) - 1;
}

void Chart::setSeriesFillColor(int style, const QColor &color) {
    if (style < 0 || style >= seriesStyleCount())
        return;
    m_live.styles[style] = color;
    touched();
}

QColor Chart::seriesFillColor(int style) const {
    if (style < 0 || style >= seriesStyleCount())
        return QColor();
    return m_live.styles[style];
}

void Chart::clearPointLabels() {
    m_live.pointLabels.clear();
    touched();
}

void Chart::setPointLabel(int point, const QString &text) {
    setTextAt(m_live.pointLabels, point, text);
}

// Texts by series or point: a text for one past the end grows the list; a negative index is
// ignored.
void Chart::setTextAt(QStringList &texts, int index, const QString &text) {
    if (index < 0)
        return;
    if (index >= texts.size())
        texts.resize(index + 1);
    texts[index] = text;
    touched();
}

void Chart::clearLabels() {
    m_live.labels.clear();
    touched();
}

int Chart::addLabel() {
    m_live.labels.append(FloatingLabel());
    touched();
    return labelCount() - 1;
}

Chart::FloatingLabel Chart::label(int index) const {
    if (index < 0 || index >= labelCount())
        return FloatingLabel();
    return m_live.labels[index];
}

int Chart::labelIndex(const QString &name) const {
    for (int i = 0; i < labelCount(); ++i) {
        if (m_live.labels[i].name == name)
            return i;
    }
    return -1;
}

Chart::FloatingLabel *Chart::labelAt(int index) {
    if (index < 0 || index >= labelCount())
        return nullptr;
    return &m_live.labels[index];
}

void Chart::setLabelName(int index, const QString &name) {
    if (auto *label = labelAt(index)) {
        label->name = name;
        touched();
    }
}

void Chart::setLabelText(int index, const QString &text) {
    if (auto *label = labelAt(index)) {
        label->text = text;
        touched();
    }
}

void Chart::setLabelAttachment(int index, int series, int point) {
    if (auto *label = labelAt(index)) {
        label->series = series;
        label->point = point;
        touched();
    }
}

void Chart::setLabelBackground(int index, const QColor &color) {
    if (auto *label = labelAt(index)) {
        label->background = color;
        touched();
    }
}

void Chart::setLabelStyle(int index, const LabelStyle &style) {
    if (auto *label = labelAt(index)) {
        label->style = style;
        touched();
    }
}

void Chart::setTitle(const QString &text) {
    m_live.title = text;
    touched();
}

void Chart::setTitleFont(const QFont &font) {
    m_live.titleFont = font;
    touched();
}

void Chart::setTitleColor(const QColor &color) {
    m_live.titleColor = color;
    touched();
}

void Chart::setValueAxisTitle(const QString &text) {
    m_live.valueAxisTitle = text;
    touched();
}

void Chart::setValueAxisDisplay(int code) {
    m_live.valueAxisDisplay = code;
    touched();
}

void Chart::setCategoryLabelsShown(bool shown) {
    m_live.categoryLabelsShown = shown;
    touched();
}

void Chart::setCategoryAxisDisplay(int code) {
    m_live.categoryAxisDisplay = code;
    touched();
}

void Chart::setOtherLabel(const QString &text) {
    m_live.grouping.label = text;
    touched();
}

void Chart::setGroupingRule(int mode, int minPercent, int minSlices) {
    m_live.grouping.mode = mode;
    m_live.grouping.minPercent = minPercent;
    m_live.grouping.minSlices = minSlices;
    touched();
}

void Chart::setGroupingMaxShare(double percent) {
    m_live.grouping.maxShare = percent;
    touched();
}

void Chart::setGroupedStyle(int style) {
    m_live.grouping.style = style;
    touched();
}

void Chart::setGroupedPullOut(double percent) {
    m_live.grouping.pullOut = percent;
    touched();
}

void Chart::setDepth3D(int depth) {
    m_live.depth3D = depth;
    touched();
}

void Chart::setElevation3D(int elevation) {
    m_live.elevation3D = elevation;
    touched();
}

void Chart::setRotation3D(int rotation) {
    m_live.rotation3D = rotation;
    touched();
}

void Chart::setBackgroundColor(const QColor &color) {
    m_live.background = color;
    touched();
}

void Chart::setPlotBackgroundColor(const QColor &color) {
    m_live.plotBackground = color;
    touched();
}

void Chart::setTextColor(const QColor &color) {
    m_live.textColor = color;
    touched();
}

void Chart::setLegendBackground(const QColor &color) {
    m_live.legendBackground = color;
    touched();
}

void Chart::setLegendPlacement(LegendPlacement placement) {
    m_live.legendPlacement = placement;
    touched();
}

void Chart::setPlotMargin(int pixels) {
    m_live.plotMargin = std::max(pixels, 0);
    touched();
}

void Chart::setPlotFrameWidth(int pixels) {
    m_live.plotFrameWidth = std::max(pixels, 0);
    touched();
}

void Chart::setBorderShown(bool shown) {
    m_live.borderShown = shown;
    touched();
}
