// The report list on a QTreeWidget without a tree: a header with the design's columns, rows in the order
// they were added, a side table of row styles (bold, row colour, cell colours) laid onto the items.
#pragma once

#include <QTreeWidget>
#include <optional>
#include <string>
#include <vector>

#include "platform/qt/qt_controls.h"

namespace hovermark::qt {

class QtReportList final : public QtControl, public ReportListPeer {
  public:
    using QtControl::QtControl;

    void Clear() override;
    std::int32_t AddRow(const std::string& text) override;
    std::int32_t RowCount() override;
    std::string RowText(std::int32_t row) override;
    std::string SubItem(std::int32_t row, std::int32_t sub_item) override;
    void SetSubItem(std::int32_t row, std::int32_t sub_item, const std::string& text) override;
    void SetRowBold(std::int32_t row, bool bold) override;
    void SetRowForeColor(std::int32_t row, ColorValue color) override;
    void SetSubItemForeColor(std::int32_t row, std::int32_t sub_item, ColorValue color) override;
    void EnsureVisible(std::int32_t row) override;
    void SetHint(const std::string& text) override;

  protected:
    QWidget* MakeWidget(QWidget& form) override;
    void Initialize(const ControlGeometry& geometry) override;

  private:
    struct RowStyle {
        bool bold = false;
        std::optional<ColorValue> fore_color{};
        std::vector<std::optional<ColorValue>> column_colors{};
    };

    QTreeWidget* Tree() const { return qobject_cast<QTreeWidget*>(widget_.data()); }
    // The item of a 1-based row; a row outside the list is an invalid property value.
    QTreeWidgetItem& Item(std::int32_t row);
    int Column(std::int32_t sub_item) const;
    // Each cell gets its row's font, and the first colour set of: its own, its row's, the list's.
    void ApplyStyle(std::int32_t row);

    std::vector<RowStyle> rows_;
};

}  // namespace hovermark::qt
