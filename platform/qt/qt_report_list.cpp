// The report list's rows, their read-back and their styles on a QTreeWidget.
#include "platform/qt/qt_report_list.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>

#include "platform/qt/native_colors.h"

namespace hovermark::qt {
namespace {

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The hint's grey, and the space between the last row and the hint, in pixels.
const QColor kHintColor(128, 128, 128);
constexpr int kHintGap = 6;

// Ctrl+C is the window's copy command, which has put the whole report on the clipboard by the time the key
// reaches the list: the item view's own copy of one cell must not replace it. The hint is painted over the
// empty part of the view, below the last row, so it is never an item.
class ReportTree final : public QTreeWidget {
  public:
    using QTreeWidget::QTreeWidget;

    void SetHint(const QString& hint) {
        hint_ = hint;
        viewport()->update();
    }

  protected:
    void paintEvent(QPaintEvent* event) override {
        QTreeWidget::paintEvent(event);
        if (hint_.isEmpty()) {
            return;
        }
        const int rows = topLevelItemCount();
        const int top = (rows > 0 ? visualItemRect(topLevelItem(rows - 1)).bottom() + 1 : 0) + kHintGap;
        const QRect free_space = viewport()->rect().adjusted(kHintGap, top, -kHintGap, 0);
        if (free_space.height() <= 0) {
            return;
        }
        QPainter painter(viewport());
        painter.setPen(kHintColor);
        painter.drawText(free_space, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, hint_);
    }

    void keyPressEvent(QKeyEvent* event) override {
        if (event->matches(QKeySequence::Copy)) {
            event->ignore();
            return;
        }
        QTreeWidget::keyPressEvent(event);
    }

  private:
    QString hint_;
};

}  // namespace

QWidget* QtReportList::MakeWidget(QWidget& form) {
    return new ReportTree(&form);  // owned by the form's window
}

// A flat list: no tree lines, no sorting, no editing, whole rows selected one at a time; the columns keep
// their widths, so one wider than the list scrolls sideways.
void QtReportList::Initialize(const ControlGeometry& geometry) {
    QTreeWidget* tree = Tree();
    tree->setRootIsDecorated(false);
    tree->setItemsExpandable(false);
    tree->setUniformRowHeights(true);
    tree->setSortingEnabled(false);
    tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree->setSelectionMode(QAbstractItemView::SingleSelection);
    tree->setSelectionBehavior(QAbstractItemView::SelectRows);
    tree->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    tree->setTextElideMode(Qt::ElideRight);
    tree->setColumnCount(static_cast<int>(design_.columns.size()));
    QStringList headers;
    for (const ColumnDesign& column : design_.columns) {
        headers << QString::fromUtf8(column.header.data(), static_cast<qsizetype>(column.header.size()));
    }
    tree->setHeaderLabels(headers);
    QHeaderView* header = tree->header();
    header->setStretchLastSection(false);
    header->setSectionsClickable(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (std::size_t index = 0; index < geometry.column_widths.size(); ++index) {
        header->resizeSection(static_cast<int>(index), geometry.column_widths[index]);
    }
    QPalette palette = tree->palette();
    palette.setColor(QPalette::Base, ToQColor(design_.back_color, palette));
    palette.setColor(QPalette::Text, ToQColor(design_.fore_color, palette));
    tree->setPalette(palette);
}

void QtReportList::Clear() {
    if (QTreeWidget* tree = Tree()) {
        tree->clear();
    }
    rows_.clear();
}

std::int32_t QtReportList::AddRow(const std::string& text) {
    QTreeWidget* tree = Tree();
    if (tree == nullptr) {
        return 0;
    }
    auto* item = new QTreeWidgetItem(tree);  // owned by the tree
    item->setText(0, FromUtf8(text));
    rows_.push_back(RowStyle{.column_colors = std::vector<std::optional<ColorValue>>(design_.columns.size())});
    const auto row = static_cast<std::int32_t>(rows_.size());
    ApplyStyle(row);
    return row;
}

std::int32_t QtReportList::RowCount() {
    QTreeWidget* tree = Tree();
    return tree != nullptr ? tree->topLevelItemCount() : 0;
}

QTreeWidgetItem& QtReportList::Item(std::int32_t row) {
    if (row < 1 || row > RowCount()) {
        throw RuntimeError::InvalidPropertyValue();
    }
    return *Tree()->topLevelItem(row - 1);
}

int QtReportList::Column(std::int32_t sub_item) const {
    if (sub_item < 1 || static_cast<std::size_t>(sub_item) >= design_.columns.size()) {
        throw RuntimeError::InvalidPropertyValue();
    }
    return sub_item;
}

std::string QtReportList::RowText(std::int32_t row) {
    return Item(row).text(0).toStdString();
}

std::string QtReportList::SubItem(std::int32_t row, std::int32_t sub_item) {
    return Item(row).text(Column(sub_item)).toStdString();
}

void QtReportList::SetSubItem(std::int32_t row, std::int32_t sub_item, const std::string& text) {
    Item(row).setText(Column(sub_item), FromUtf8(text));
}

void QtReportList::SetRowBold(std::int32_t row, bool bold) {
    Item(row);
    rows_[static_cast<std::size_t>(row - 1)].bold = bold;
    ApplyStyle(row);
}

void QtReportList::SetRowForeColor(std::int32_t row, ColorValue color) {
    Item(row);
    rows_[static_cast<std::size_t>(row - 1)].fore_color = color;
    ApplyStyle(row);
}

void QtReportList::SetSubItemForeColor(std::int32_t row, std::int32_t sub_item, ColorValue color) {
    Item(row);
    rows_[static_cast<std::size_t>(row - 1)].column_colors[static_cast<std::size_t>(Column(sub_item))] = color;
    ApplyStyle(row);
}

void QtReportList::EnsureVisible(std::int32_t row) {
    Tree()->scrollToItem(&Item(row));
}

void QtReportList::SetHint(const std::string& text) {
    if (auto* tree = dynamic_cast<ReportTree*>(Tree())) {
        tree->SetHint(FromUtf8(text));
    }
}

void QtReportList::ApplyStyle(std::int32_t row) {
    QTreeWidgetItem& item = Item(row);
    const RowStyle& style = rows_[static_cast<std::size_t>(row - 1)];
    QFont font = Tree()->font();
    font.setBold(style.bold);
    const QPalette& palette = Tree()->palette();
    for (std::size_t column = 0; column < style.column_colors.size(); ++column) {
        const int index = static_cast<int>(column);
        item.setFont(index, font);
        const ColorValue color = style.column_colors[column].value_or(style.fore_color.value_or(design_.fore_color));
        item.setForeground(index, ToQColor(color, palette));
    }
}

}  // namespace hovermark::qt
