// The report list on the list view, its side table of row styles, and the custom draw that shows them.
#include "platform/windows/win32_report_list.h"

#include <stdexcept>
#include <string_view>

#include "platform/windows/design_fonts.h"
#include "platform/windows/native_colors.h"
#include "platform/windows/text_conversion.h"

namespace hovermark::windows {
namespace {

constexpr std::size_t kFirstTextBufferSize = 256;
constexpr DWORD kExtendedStyles = LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER;

}  // namespace

Win32Control::NativeClass Win32ReportList::Native() const {
    return {WC_LISTVIEWW, static_cast<DWORD>(LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER),
            WS_EX_CLIENTEDGE};
}

void Win32ReportList::Initialize(const ControlGeometry& geometry) {
    Send(LVM_SETEXTENDEDLISTVIEWSTYLE, kExtendedStyles, kExtendedStyles);
    for (std::size_t index = 0; index < design_.columns.size(); ++index) {
        std::wstring header = Utf8ToWide(design_.columns[index].header);
        LVCOLUMNW column{};
        column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = geometry.column_widths[index];
        column.pszText = header.data();
        column.iSubItem = static_cast<int>(index);
        Send(LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column));
    }
    ApplyColors();
}

void Win32ReportList::ApplyGeometry(const ControlGeometry& geometry) {
    Win32Control::ApplyGeometry(geometry);
    for (std::size_t index = 0; index < geometry.column_widths.size(); ++index) {
        Send(LVM_SETCOLUMNWIDTH, index, geometry.column_widths[index]);
    }
    bold_font_ = CreateDesignFont(design_.font, geometry.font_height, FontEmphasis::Bold);
    InvalidateRect(window_.get(), nullptr, TRUE);
}

void Win32ReportList::OnSystemColorsChanged() {
    ApplyColors();
}

void Win32ReportList::ApplyColors() const {
    Send(LVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(ToColorRef(design_.fore_color)));
    Send(LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(ToColorRef(design_.back_color)));
    Send(LVM_SETBKCOLOR, 0, static_cast<LPARAM>(ToColorRef(design_.back_color)));
}

void Win32ReportList::Clear() {
    Send(LVM_DELETEALLITEMS);
    rows_.clear();
}

std::int32_t Win32ReportList::AddRow(const std::string& text) {
    if (!window_) {
        return 0;
    }
    std::wstring wide = Utf8ToWide(text);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(Send(LVM_GETITEMCOUNT));
    item.pszText = wide.data();
    const auto position = static_cast<int>(Send(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (position < 0) {
        throw std::runtime_error("the list view refused a new row");
    }
    rows_.insert(rows_.begin() + position,
                 RowStyle{.column_colors = std::vector<std::optional<ColorValue>>(design_.columns.size())});
    return position + 1;
}

std::int32_t Win32ReportList::RowCount() {
    return static_cast<std::int32_t>(Send(LVM_GETITEMCOUNT));
}

int Win32ReportList::Position(std::int32_t row) {
    if (row < 1 || row > RowCount()) {
        throw RuntimeError::InvalidPropertyValue();
    }
    return row - 1;
}

int Win32ReportList::Column(std::int32_t sub_item) const {
    if (sub_item < 1 || static_cast<std::size_t>(sub_item) >= design_.columns.size()) {
        throw RuntimeError::InvalidPropertyValue();
    }
    return sub_item;
}

// Texts may be longer than any buffer guessed in advance: a full buffer may have cut one, so it grows and
// the text is read again.
std::string Win32ReportList::ItemText(int position, int column) const {
    std::wstring buffer(kFirstTextBufferSize, L'\0');
    for (;;) {
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = buffer.data();
        item.cchTextMax = static_cast<int>(buffer.size());
        const auto length = static_cast<std::size_t>(
            Send(LVM_GETITEMTEXTW, static_cast<WPARAM>(position), reinterpret_cast<LPARAM>(&item)));
        if (length + 1 < buffer.size()) {
            return WideToUtf8(std::wstring_view(item.pszText, length));
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string Win32ReportList::RowText(std::int32_t row) {
    return ItemText(Position(row), 0);
}

std::string Win32ReportList::SubItem(std::int32_t row, std::int32_t sub_item) {
    return ItemText(Position(row), Column(sub_item));
}

void Win32ReportList::SetSubItem(std::int32_t row, std::int32_t sub_item, const std::string& text) {
    std::wstring wide = Utf8ToWide(text);
    LVITEMW item{};
    item.iSubItem = Column(sub_item);
    item.pszText = wide.data();
    Send(LVM_SETITEMTEXTW, static_cast<WPARAM>(Position(row)), reinterpret_cast<LPARAM>(&item));
}

void Win32ReportList::SetRowBold(std::int32_t row, bool bold) {
    const int position = Position(row);
    rows_[static_cast<std::size_t>(position)].bold = bold;
    Send(LVM_REDRAWITEMS, static_cast<WPARAM>(position), position);
}

void Win32ReportList::SetRowForeColor(std::int32_t row, ColorValue color) {
    const int position = Position(row);
    rows_[static_cast<std::size_t>(position)].fore_color = color;
    Send(LVM_REDRAWITEMS, static_cast<WPARAM>(position), position);
}

void Win32ReportList::SetSubItemForeColor(std::int32_t row, std::int32_t sub_item, ColorValue color) {
    const int position = Position(row);
    rows_[static_cast<std::size_t>(position)].column_colors[static_cast<std::size_t>(Column(sub_item))] = color;
    Send(LVM_REDRAWITEMS, static_cast<WPARAM>(position), position);
}

void Win32ReportList::EnsureVisible(std::int32_t row) {
    Send(LVM_ENSUREVISIBLE, static_cast<WPARAM>(Position(row)), FALSE);
}

std::optional<LRESULT> Win32ReportList::OnNotify(NMHDR& header) {
    if (header.code != NM_CUSTOMDRAW) {
        return std::nullopt;
    }
    return OnCustomDraw(*reinterpret_cast<NMLVCUSTOMDRAW*>(&header));
}

// Each cell is drawn with its row's font, and with the first colour set of: its own, its row's, the list's.
LRESULT Win32ReportList::OnCustomDraw(NMLVCUSTOMDRAW& draw) const {
    switch (draw.nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            return CDRF_NOTIFYITEMDRAW | CDRF_NOTIFYPOSTPAINT;
        case CDDS_POSTPAINT:
            DrawHint(draw.nmcd.hdc);
            return CDRF_DODEFAULT;
        case CDDS_ITEMPREPAINT:
            return CDRF_NOTIFYSUBITEMDRAW;
        case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
            const auto position = static_cast<std::size_t>(draw.nmcd.dwItemSpec);
            const auto column = static_cast<std::size_t>(draw.iSubItem);
            if (position >= rows_.size() || column >= rows_[position].column_colors.size()) {
                return CDRF_DODEFAULT;
            }
            const RowStyle& style = rows_[position];
            const HFONT font = style.bold ? bold_font_.get() : reinterpret_cast<HFONT>(Send(WM_GETFONT));
            SelectObject(draw.nmcd.hdc, font);
            draw.clrText =
                ToColorRef(style.column_colors[column].value_or(style.fore_color.value_or(design_.fore_color)));
            return CDRF_NEWFONT;
        }
        default:
            return CDRF_DODEFAULT;
    }
}

void Win32ReportList::SetHint(const std::string& text) {
    hint_ = Utf8ToWide(text);
    if (Window() != nullptr) {
        InvalidateRect(Window(), nullptr, TRUE);
    }
}

void Win32ReportList::DrawHint(HDC dc) const {
    constexpr int kHintGap = 6;
    constexpr COLORREF kHintColor = RGB(128, 128, 128);
    if (hint_.empty()) {
        return;
    }
    RECT free_space{};
    GetClientRect(Window(), &free_space);
    const auto rows = static_cast<int>(SendMessageW(Window(), LVM_GETITEMCOUNT, 0, 0));
    RECT last{};
    if (rows > 0) {
        last.left = LVIR_BOUNDS;
        SendMessageW(Window(), LVM_GETITEMRECT, static_cast<WPARAM>(rows - 1), reinterpret_cast<LPARAM>(&last));
    } else if (const auto header = reinterpret_cast<HWND>(SendMessageW(Window(), LVM_GETHEADER, 0, 0))) {
        RECT header_rect{};
        GetWindowRect(header, &header_rect);
        last.bottom = header_rect.bottom - header_rect.top;
    }
    free_space.top = last.bottom + kHintGap;
    free_space.left += kHintGap;
    free_space.right -= kHintGap;
    if (free_space.top >= free_space.bottom) {
        return;
    }
    SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(Window(), WM_GETFONT, 0, 0)));
    SetTextColor(dc, kHintColor);
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, hint_.c_str(), static_cast<int>(hint_.size()), &free_space,
              DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
}

}  // namespace hovermark::windows
