#include "app/FixedColumnsGrid.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>

namespace pontrel::app {

FixedColumnsGrid::FixedColumnsGrid(int fixedCount, QWidget* parent)
    : QTableView(parent), fixedCount_(fixedCount), fixed_(new QTableView(this)) {
    fixed_->setObjectName(QStringLiteral("FixedColumns"));
    fixed_->setFocusPolicy(Qt::NoFocus);
    fixed_->verticalHeader()->hide();
    fixed_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    fixed_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    fixed_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    fixed_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    fixed_->setSelectionMode(QAbstractItemView::NoSelection);
    fixed_->setFrameShape(QFrame::NoFrame);
    // Clicks and the wheel reach the grid underneath, which keeps the fixed columns from becoming current.
    fixed_->setAttribute(Qt::WA_TransparentForMouseEvents);
    fixed_->setVerticalScrollMode(ScrollPerPixel);
    setVerticalScrollMode(ScrollPerPixel);
    setHorizontalScrollMode(ScrollPerPixel);
    viewport()->stackUnder(fixed_);

    connect(verticalScrollBar(), &QAbstractSlider::valueChanged, fixed_->verticalScrollBar(),
            &QAbstractSlider::setValue);
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int column, int, int size) {
        if (column < fixedCount_)
            fixed_->setColumnWidth(column, size);
        placeFixedColumns();
    });
    connect(verticalHeader(), &QHeaderView::sectionResized, this,
            [this](int row, int, int size) { fixed_->setRowHeight(row, size); });
}

void FixedColumnsGrid::setModel(QAbstractItemModel* model) {
    QTableView::setModel(model);
    fixed_->setModel(model);
    fixed_->verticalHeader()->setDefaultSectionSize(verticalHeader()->defaultSectionSize());
    for (int c = 0; c < model->columnCount(); ++c) {
        fixed_->setColumnHidden(c, c >= fixedCount_);
        if (c < fixedCount_)
            fixed_->setColumnWidth(c, columnWidth(c));
    }
    placeFixedColumns();
}

int FixedColumnsGrid::fixedWidth() const {
    int width = 0;
    for (int c = 0; c < fixedCount_; ++c)
        width += columnWidth(c);
    return width;
}

void FixedColumnsGrid::placeFixedColumns() {
    fixed_->horizontalHeader()->setFixedHeight(horizontalHeader()->height());
    fixed_->setGeometry(verticalHeader()->width() + frameWidth(), frameWidth(), fixedWidth(),
                        viewport()->height() + horizontalHeader()->height());
}

void FixedColumnsGrid::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    placeFixedColumns();
}

void FixedColumnsGrid::updateGeometries() {
    QTableView::updateGeometries();
    placeFixedColumns();
}

void FixedColumnsGrid::scrollTo(const QModelIndex& index, ScrollHint hint) {
    if (index.column() < fixedCount_)
        return;
    QTableView::scrollTo(index, hint);
    // A cell hidden under the fixed columns is scrolled out from under them.
    const int hiddenBy = fixedWidth() - visualRect(index).left();
    if (hiddenBy > 0)
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() - hiddenBy);
}

void FixedColumnsGrid::commitOpenEditor() {
    if (QWidget* editor = indexWidget(currentIndex()); editor && state() == EditingState) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

void FixedColumnsGrid::discardOpenEditor() {
    if (QWidget* editor = indexWidget(currentIndex()); editor && state() == EditingState)
        closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
}

bool FixedColumnsGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    if (!QTableView::edit(index, trigger, event))
        return false;
    if (state() == EditingState && indexWidget(index))
        emit editorOpened(index);
    return true;
}

QModelIndex FixedColumnsGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    const QModelIndex current = currentIndex();
    if (!model())
        return current;
    const int lastColumn = model()->columnCount() - 1;
    const int lastRow = model()->rowCount() - 1;
    if (action == MoveNext && current.isValid() && current.column() == lastColumn && current.row() == lastRow)
        return current; // the last cell: nowhere further to go
    const QModelIndex next = QTableView::moveCursor(action, modifiers);
    if (!next.isValid() || next.column() >= fixedCount_)
        return next;
    if (action == MovePrevious)
        return current.row() > 0 ? model()->index(current.row() - 1, lastColumn) : current;
    // Into the fixed columns: the first editable column of the row the move reached.
    return model()->index(next.row(), fixedCount_);
}

void FixedColumnsGrid::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && state() != EditingState) {
        const QModelIndex next = moveCursor(MoveNext, event->modifiers());
        if (next.isValid())
            setCurrentIndex(next);
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void FixedColumnsGrid::mousePressEvent(QMouseEvent* event) {
    const QModelIndex at = indexAt(event->position().toPoint());
    if (at.isValid() && at.column() < fixedCount_) {
        event->accept();
        return;
    }
    QTableView::mousePressEvent(event);
}

} // namespace pontrel::app
