// The report list on the common list view. The list view knows nothing of bold rows or coloured texts, so
// those live in a side table, one entry per row, and reach the screen through custom draw.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <commctrl.h>

#include "platform/windows/win32_controls.h"

namespace hovermark::windows {

class Win32ReportList final : public Win32Control, public ReportListPeer {
  public:
    explicit Win32ReportList(const ControlDesign& design) : Win32Control(design) {}

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
    // Grey text in the list's free space below its rows, drawn after the list has drawn itself.
    void SetHint(const std::string& text) override;

    void ApplyGeometry(const ControlGeometry& geometry) override;
    std::optional<LRESULT> OnNotify(NMHDR& header) override;
    void OnSystemColorsChanged() override;

  private:
    struct RowStyle {
        bool bold = false;
        std::optional<ColorValue> fore_color{};
        std::vector<std::optional<ColorValue>> column_colors{};  // one per column; column 0 is never set
    };

    NativeClass Native() const override;
    void Initialize(const ControlGeometry& geometry) override;
    void ApplyColors() const;
    LRESULT OnCustomDraw(NMLVCUSTOMDRAW& draw) const;
    void DrawHint(HDC dc) const;
    // A row's 0-based position; a row that does not exist is an invalid value from the program.
    int Position(std::int32_t row);
    int Column(std::int32_t sub_item) const;
    std::string ItemText(int position, int column) const;

    std::vector<RowStyle> rows_;
    std::wstring hint_;
    UniqueFont bold_font_;
};

}  // namespace hovermark::windows
