#pragma once
// The teachers of PROFT for the teacher data grid: ABREV, NOMBRE and the teacher keys (X_EMPLEADO,
// F_TOMAPOS) in stored order, over the table opened shared. It behaves like a data set with one row in
// editing at a time: typed keys stay in the row being edited until it is posted, which stores them in place
// in PROFT at once (the import run reads PROFT again after the dialog), or cancelled.

#include "dbf/Table.h"
#include "exchange/velmora/VelmoraTables.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QString>

#include <optional>
#include <vector>

namespace pontrel::app {

class ProftTableModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    // ABREV and NOMBRE, then one column per teacher key in PROFT's order.
    enum Column {
        Abrev = 0,
        Nombre = 1,
        XEmpleado = 2,
        FTomapos = 3,
        ColumnCount = 2 + int(velmora::proft::kTeacherKeys.size())
    };
    static constexpr int kFixedColumns = 2; // ABREV and NOMBRE can be neither selected nor edited
    // The PROFT field a column shows.
    static const char* fieldOf(int column);

    // Opens the table shared; an engine error escapes as pontrel::Error.
    explicit ProftTableModel(const QString& proftTablePath, QObject* parent = nullptr);
    ~ProftTableModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Takes a typed key into the row being edited (putting the row into editing first). A text that
    // does not fit the column's mask is refused: nothing changes and `refused` is emitted.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    // The data-set state.
    std::optional<int> editingRow() const { return editing_; }
    bool isEditing() const { return editing_.has_value(); }
    // Puts `row` into editing; a row already in editing is posted first. False when that post failed.
    bool edit(int row);
    // Stores the row being edited (only the keys that changed) with the engine's in-place update.
    // False, and `storeFailed` emitted, when the engine refuses; the row then stays in editing.
    bool post();
    // Drops what was typed into the row being edited.
    void cancel();
    // Reads the table again (not while a row is being edited).
    void refresh();

    // Colours of the grid.
    static QColor titleColour() { return QColor(0xFE, 0xE4, 0xA9); }
    static QColor cellColour() { return QColor(0xF0, 0xFB, 0xFF); }
    static QColor alternateRowColour() { return QColor(0xCF, 0xD9, 0xFE); }

  signals:
    void stateChanged();
    void refused(const QString& message);
    void storeFailed(const QString& message);

  private:
    struct Teacher {
        std::size_t record = 0;
        QString values[ColumnCount];
    };
    void load();
    const QString& shownValue(int row, int column) const;

    QString path_;
    std::optional<dbf::Table> table_;
    std::vector<Teacher> teachers_;
    std::optional<int> editing_;
    Teacher buffer_; // the row being edited, as typed
};

} // namespace pontrel::app
