#pragma once

// A palette as a row of swatches, one per entry, with one entry marked.

#include <QColor>
#include <QWidget>

#include <optional>
#include <vector>

namespace Ostrel::Vellix::Gui {

class CPaletteStrip : public QWidget {
    Q_OBJECT
public:
    static constexpr int kSwatchSide = 16;

    explicit CPaletteStrip(QWidget* parent = nullptr);

    void SetColours(std::vector<QColor> colours);
    const std::vector<QColor>& Colours() const { return colours_; }
    void SetMarked(std::optional<std::uint32_t> index);
    std::optional<std::uint32_t> Marked() const { return marked_; }
    // The swatch of an entry, in the strip's coordinates.
    QRect SwatchRect(std::uint32_t index) const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<QColor> colours_;
    std::optional<std::uint32_t> marked_;
};

} // namespace Ostrel::Vellix::Gui
