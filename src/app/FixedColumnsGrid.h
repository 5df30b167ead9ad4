#pragma once
// A data grid whose first columns stay fixed: drawn on the title colour by an overlay that stays in
// place when the grid scrolls sideways, never current, never edited. Enter moves to the next column
// (from the last one to the first editable column of the next row).

#include <QTableView>

namespace pontrel::app {

class FixedColumnsGrid : public QTableView {
    Q_OBJECT
  public:
    FixedColumnsGrid(int fixedCount, QWidget* parent = nullptr);
    void setModel(QAbstractItemModel* model) override;
    QTableView* fixedColumns() const { return fixed_; }
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    // The editor open on the current cell, if any: hands its text to the model, or drops it.
    void commitOpenEditor();
    void discardOpenEditor();
    using QTableView::edit;

  signals:
    // A cell's editor has opened (a key typed into the cell, a double click, F2): its row is being edited.
    void editorOpened(const QModelIndex& index);

  protected:
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void updateGeometries() override;

  private:
    int fixedWidth() const;
    void placeFixedColumns();
    int fixedCount_;
    QTableView* fixed_;
};
} // namespace pontrel::app
