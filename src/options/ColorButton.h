#pragma once

#include <QPushButton>

#include <cstdint>

/// A push button whose face shows the colour it stands for, held as a stored colour value
/// (0x00BBGGRR; a value with the top bit set names a system colour).
class ColorButton : public QPushButton {
    Q_OBJECT
public:
    explicit ColorButton(QWidget *parent = nullptr);

    std::uint32_t color() const { return m_color; }
    /// Sets the face colour; colorChanged() when it differs.
    void setColor(std::uint32_t color);
    /// The face colour as the screen shows it.
    QColor faceColor() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    void colorChanged(std::uint32_t color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::uint32_t m_color = 0;
};
