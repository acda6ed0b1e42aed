#pragma once

#include <QColor>
#include <QFont>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class TreeChartSource;
struct TreeChartCache;

/// The content and appearance of a pie, bar, treemap or rings chart: series of real values, legend
/// texts, series styles, floating labels, title, axes, pie grouping and 3D view. ChartPainter draws
/// it and ChartView shows it. Series, points, styles and labels are counted from 0.
///
/// Every change is announced by changed(), except while batch mode (for the chart or for its
/// data) is on: then the picture keeps showing the content as it was when batch mode went on,
/// and the edits appear together, with one changed(), when batch mode goes off.
class Chart : public QObject {
    Q_OBJECT
public:
    /// A pie or bars show the series; a treemap or rings show the subtree, coloured by the
    /// series each child of the centre stands for.
    enum class Type { Pie, Bar, Treemap, Rings };
    /// Right: beside the plot in a wide chart, below it in a tall or narrow one.
    enum class LegendPlacement { Hidden, Right };

    /// How a floating label sits by its point. attachMode 2 attaches it to the point (other
    /// modes are not drawn); the label's box is drawn `offset` pixels outside the slice or
    /// above the bar, joined to it by a leader line when `leaderLine` is on. `anchor` and
    /// `alignment` are kept for the program and read back; the painter chooses the side of
    /// the box that faces the point itself.
    struct LabelStyle {
        int attachMode = 2;
        int anchor = 3;
        int alignment = 2;
        bool leaderLine = true;
        int offset = 15;
    };

    struct FloatingLabel {
        QString name;
        QString text;
        int series = 0;
        int point = 0;
        QColor background = QColor(255, 235, 205);
        LabelStyle style;
    };

    /// How small pie slices fold into one grouped slice (see PieFolding for the rule).
    struct PieGrouping {
        static constexpr QLatin1StringView DefaultLabel{"Other"};
        QString label = DefaultLabel;
        int mode = 3;         ///< bit 1: fold by share, bit 2: cap the number of own slices
        int minPercent = 2;   ///< slices under this share of the total fold
        int minSlices = 10;   ///< nothing folds while there are this many slices or fewer
        double maxShare = 50; ///< the share rule stops once the group holds this many percent
        int style = 11;       ///< Qt::BrushStyle hatched over the grouped slice's neutral fill
        double pullOut = 0.0; ///< the grouped slice is drawn this many percent of the radius out

        /// The label as the chart shows it: trimmed, and "Other" when that leaves nothing.
        QString shownLabel() const {
            const QString t = label.trimmed();
            return t.isEmpty() ? QString(DefaultLabel) : t;
        }
    };

    /// Everything the painter draws.
    struct Content {
        Type type = Type::Pie;
        QList<QList<double>> values; // per series, per point
        QStringList legendTexts;
        QStringList toolTips; // per series; empty ones show the legend text
        QList<QColor> styles;
        QStringList pointLabels;
        QList<FloatingLabel> labels;
        QString title;
        QFont titleFont;
        QColor titleColor = QColor(0, 0, 205);
        QString valueAxisTitle;
        int valueAxisDisplay = 2; // 0 hidden, 1 title above the axis, 2 title along the axis
        bool categoryLabelsShown = true;
        int categoryAxisDisplay = 2; // 0 no axis line, otherwise a line under the bars
        PieGrouping grouping;
        int depth3D = 0;
        int elevation3D = 0;
        int rotation3D = 0;
        QColor background = QColor(95, 158, 160);
        QColor plotBackground = QColor(95, 158, 160);
        QColor textColor = QColor(Qt::black); // axis, ticks and legend texts
        QColor legendBackground = QColor(255, 255, 255, 225);
        LegendPlacement legendPlacement = LegendPlacement::Right;
        int plotMargin = 40;
        int plotFrameWidth = 0;
        bool borderShown = false;
        /// What a treemap or rings chart draws; its top-level children are the series.
        std::shared_ptr<const TreeChartSource> subtree;
        int highlighted = -1;                      ///< the subtree item drawn as selected
        bool cushions = true;                      ///< treemap tiles shaded as cushions, or flat
        std::shared_ptr<TreeChartCache> treeCache; ///< shared by every copy of the content
    };

    explicit Chart(QObject *parent = nullptr);

    /// The content as the picture shows it: frozen while batch mode is on.
    const Content &shownContent() const { return m_frozen ? *m_frozen : m_live; }

    void setBatchMode(bool on);
    bool isBatchMode() const { return m_batch; }
    void setDataBatchMode(bool on);
    bool isDataBatchMode() const { return m_dataBatch; }

    void setChartType(Type type);
    Type chartType() const { return m_live.type; }
    static bool drawsSubtree(Type type) { return type == Type::Treemap || type == Type::Rings; }

    /// The subtree a treemap or rings chart draws (none: they draw nothing).
    void setSubtree(std::shared_ptr<const TreeChartSource> subtree);
    const TreeChartSource *subtree() const { return m_live.subtree.get(); }
    /// Redraws a treemap or rings chart when its subtree has changed since it was laid out
    /// (a scan that is still growing it); returns whether it did.
    bool refreshSubtree();
    void setHighlightedItem(int id);
    int highlightedItem() const { return m_live.highlighted; }
    void setCushions(bool on);
    bool cushions() const { return m_live.cushions; }

    /// New series take the point count of the last series before them (1 for the first).
    void setSeriesCount(int count);
    int seriesCount() const { return int(m_live.values.size()); }
    void setPointCount(int series, int count);
    int pointCount(int series) const;
    /// Out-of-range series or points are ignored; non-finite values count as 0.
    void setValue(int series, int point, double value);
    double value(int series, int point) const;

    void clearLegendTexts();
    void addLegendText(const QString &text);
    QStringList legendTexts() const { return m_live.legendTexts; }

    void clearToolTips();
    /// What the pointer resting on a series' slice or bar shows; without one, its legend text.
    void setToolTip(int series, const QString &text);
    QString toolTip(int series) const;

    void clearSeriesStyles();
    /// Adds the style of the next series and returns its index.
    int addSeriesStyle();
    int seriesStyleCount() const { return int(m_live.styles.size()); }
    void setSeriesFillColor(int style, const QColor &color);
    QColor seriesFillColor(int style) const;

    void clearPointLabels();
    void setPointLabel(int point, const QString &text);
    QStringList pointLabels() const { return m_live.pointLabels; }

    void clearLabels();
    /// Adds a floating label and returns its index.
    int addLabel();
    int labelCount() const { return int(m_live.labels.size()); }
    FloatingLabel label(int index) const;
    /// Index of the first label of that name, or -1.
    int labelIndex(const QString &name) const;
    void setLabelName(int index, const QString &name);
    void setLabelText(int index, const QString &text);
    void setLabelAttachment(int index, int series, int point);
    void setLabelBackground(int index, const QColor &color);
    void setLabelStyle(int index, const LabelStyle &style);

    void setTitle(const QString &text);
    QString title() const { return m_live.title; }
    void setTitleFont(const QFont &font);
    QFont titleFont() const { return m_live.titleFont; }
    void setTitleColor(const QColor &color);
    QColor titleColor() const { return m_live.titleColor; }

    void setValueAxisTitle(const QString &text);
    QString valueAxisTitle() const { return m_live.valueAxisTitle; }
    void setValueAxisDisplay(int code);
    int valueAxisDisplay() const { return m_live.valueAxisDisplay; }
    void setCategoryLabelsShown(bool shown);
    bool categoryLabelsShown() const { return m_live.categoryLabelsShown; }
    void setCategoryAxisDisplay(int code);
    int categoryAxisDisplay() const { return m_live.categoryAxisDisplay; }

    /// Text of the grouped slice; an empty text shows as "Other".
    void setOtherLabel(const QString &text);
    void setGroupingRule(int mode, int minPercent, int minSlices);
    void setGroupingMaxShare(double percent);
    void setGroupedStyle(int style);
    void setGroupedPullOut(double percent);
    PieGrouping grouping() const { return m_live.grouping; }

    void setDepth3D(int depth);
    int depth3D() const { return m_live.depth3D; }
    void setElevation3D(int elevation);
    int elevation3D() const { return m_live.elevation3D; }
    void setRotation3D(int rotation);
    int rotation3D() const { return m_live.rotation3D; }

    void setBackgroundColor(const QColor &color);
    QColor backgroundColor() const { return m_live.background; }
    void setPlotBackgroundColor(const QColor &color);
    QColor plotBackgroundColor() const { return m_live.plotBackground; }
    /// The colour of the texts drawn straight on the chart: scale, axis title, legend.
    void setTextColor(const QColor &color);
    QColor textColor() const { return m_live.textColor; }
    void setLegendBackground(const QColor &color);
    QColor legendBackground() const { return m_live.legendBackground; }
    void setLegendPlacement(LegendPlacement placement);
    LegendPlacement legendPlacement() const { return m_live.legendPlacement; }
    /// Room kept free around the plot, in pixels, for labels.
    void setPlotMargin(int pixels);
    int plotMargin() const { return m_live.plotMargin; }
    /// Width of the frame around the plot area; 0 draws none.
    void setPlotFrameWidth(int pixels);
    int plotFrameWidth() const { return m_live.plotFrameWidth; }
    /// A frame around the whole chart.
    void setBorderShown(bool shown);
    bool borderShown() const { return m_live.borderShown; }

signals:
    /// The shown content changed: once per edit outside batch mode, once per batch.
    void changed();

private:
    bool batched() const { return m_batch || m_dataBatch; }
    void setBatchFlag(bool &flag, bool on);
    void touched();
    void setTextAt(QStringList &texts, int index, const QString &text);
    FloatingLabel *labelAt(int index);

    Content m_live;
    std::optional<Content> m_frozen;
    bool m_batch = false;
    bool m_dataBatch = false;
    bool m_dirty = false;
};
