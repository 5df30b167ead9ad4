#include "app/ProftTableModel.h"

#include "dbf/Error.h"
#include "exchange/text/Ansi.h"
#include "import/TeacherKeys.h"
#include "platform/Utf8Path.h"

#include <QFont>

namespace pontrel::app {

namespace {

QString fromAnsi(const std::string& ansi) {
    return QString::fromStdString(ansi::toUtf8(ansi));
}
std::string toAnsi(const QString& text) {
    return ansi::fromUtf8(text.toStdString());
}

} // namespace

const char* ProftTableModel::fieldOf(int column) {
    namespace proft = velmora::proft;
    if (column == Abrev)
        return proft::kAbrev;
    if (column == Nombre)
        return proft::kNombre;
    return proft::kTeacherKeys.at(std::size_t(column - kFixedColumns));
}

ProftTableModel::ProftTableModel(const QString& proftTablePath, QObject* parent)
    : QAbstractTableModel(parent), path_(proftTablePath) {
    load();
}

ProftTableModel::~ProftTableModel() = default;

void ProftTableModel::load() {
    // A fresh opening reads what other openings have stored meanwhile; the old one is let go only
    // once the new one has been read.
    auto table = dbf::Table::open(platform::pathFromUtf8(path_.toStdString()), dbf::OpenMode::Shared,
                                  dbf::Access::ReadWrite);
    std::vector<Teacher> teachers;
    const bool hasName = table.fieldIndex(velmora::proft::kNombre).has_value();
    for (std::size_t r = 0; r < table.recordCount(); ++r) {
        Teacher t;
        t.record = r;
        for (int c = 0; c < ColumnCount; ++c)
            if (c != Nombre || hasName)
                t.values[c] = fromAnsi(table.text(r, fieldOf(c)));
        teachers.push_back(std::move(t));
    }
    table_.reset();
    table_.emplace(std::move(table));
    teachers_ = std::move(teachers);
}

int ProftTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(teachers_.size());
}

int ProftTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

const QString& ProftTableModel::shownValue(int row, int column) const {
    return editing_ == row ? buffer_.values[column] : teachers_[std::size_t(row)].values[column];
}

QVariant ProftTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return shownValue(index.row(), index.column());
    case Qt::BackgroundRole:
        if (index.column() < kFixedColumns)
            return titleColour();
        return index.row() % 2 == 1 ? alternateRowColour() : cellColour();
    default:
        return {};
    }
}

QVariant ProftTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromLatin1(fieldOf(section));
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    case Qt::BackgroundRole:
        return titleColour();
    case Qt::FontRole: {
        QFont bold;
        bold.setBold(true);
        return bold;
    }
    default:
        return {};
    }
}

Qt::ItemFlags ProftTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    if (index.column() < kFixedColumns)
        return Qt::ItemIsEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

bool ProftTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() || index.column() < kFixedColumns)
        return false;
    const QString text = value.toString();
    // A blank key is not refused here: the import run stops when it finds one after the dialog.
    if (!text.isEmpty()) {
        const char* field = fieldOf(index.column());
        if (!importing::fitsTeacherKeyMask(field, toAnsi(text))) {
            emit refused(QStringLiteral("Valor no válido para %1: «%2». %3")
                             .arg(QString::fromLatin1(field), text,
                                  QString::fromStdString(importing::teacherKeyMaskHint(field))));
            return false;
        }
    }
    if (editing_ != index.row() && !edit(index.row()))
        return false;
    buffer_.values[index.column()] = text;
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

bool ProftTableModel::edit(int row) {
    if (row < 0 || row >= rowCount())
        return false;
    if (editing_ == row)
        return true;
    if (editing_ && !post())
        return false;
    editing_ = row;
    buffer_ = teachers_[std::size_t(row)];
    emit stateChanged();
    return true;
}

bool ProftTableModel::post() {
    if (!editing_)
        return true;
    const int row = *editing_;
    Teacher& stored = teachers_[std::size_t(row)];
    // Only the keys that changed are written; both went through their masks when typed, and a key
    // emptied on purpose is stored empty.
    importing::TeacherKeyValues changed;
    for (int c = kFixedColumns; c < ColumnCount; ++c)
        if (buffer_.values[c] != stored.values[c])
            changed.emplace(fieldOf(c), toAnsi(buffer_.values[c]));
    try {
        importing::storeTeacherKeys(*table_, stored.record, changed, importing::EmptyKey::Clears);
    } catch (const std::exception& e) {
        emit storeFailed(QString::fromUtf8(e.what()));
        return false;
    }
    stored = buffer_;
    editing_.reset();
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
    emit stateChanged();
    return true;
}

void ProftTableModel::cancel() {
    if (!editing_)
        return;
    const int row = *editing_;
    editing_.reset();
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
    emit stateChanged();
}

void ProftTableModel::refresh() {
    if (editing_)
        return;
    beginResetModel();
    try {
        load();
    } catch (const std::exception& e) {
        endResetModel();
        emit storeFailed(QString::fromUtf8(e.what()));
        return;
    }
    endResetModel();
    emit stateChanged();
}

} // namespace pontrel::app
