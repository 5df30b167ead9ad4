#include "app/ControlProfes.h"

#include "app/FixedColumnsGrid.h"
#include "app/GradientPanel.h"
#include "app/HelpAdapter.h"
#include "app/KeyboardButton.h"
#include "app/Labels.h"
#include "app/Look.h"
#include "app/MessageBoxes.h"
#include "app/ProftTableModel.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <functional>
#include <utility>

namespace pontrel::app {

namespace {

// The cells' editors take any text: a key typed wrong must not be changed silently into another one
// (a letter dropped, an eleventh digit cut), so the model checks the whole text against the column's
// mask when it is stored and refuses it with a message. Enter (and Tab) in an editor stores the cell and
// moves to the next column; a text the model refuses goes to `onRefused` and the cursor stays where it
// is. Ctrl+Enter is the navigator's post, not a move.
class MaskDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    std::function<void(const QModelIndex&, const QString&)> onRefused;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex& index) const override {
        auto* editor = new QLineEdit(parent);
        editor->setFrame(false);
        // Named after the key it edits: "X_EMPLEADOEditor".
        editor->setObjectName(QString::fromLatin1(ProftTableModel::fieldOf(index.column())) +
                              QStringLiteral("Editor"));
        return editor;
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override {
        const QString text = static_cast<QLineEdit*>(editor)->text();
        refused_ = !model->setData(index, text, Qt::EditRole);
        if (refused_ && onRefused)
            onRefused(index, text);
    }

  protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::KeyPress &&
            !(static_cast<QKeyEvent*>(event)->modifiers() & Qt::ControlModifier)) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Tab ||
                key == Qt::Key_Backtab) {
                auto* editor = qobject_cast<QWidget*>(object);
                refused_ = false;
                emit commitData(editor);
                const auto move = key == Qt::Key_Backtab ? QAbstractItemDelegate::EditPreviousItem
                                                         : QAbstractItemDelegate::EditNextItem;
                emit closeEditor(editor, refused_ ? QAbstractItemDelegate::NoHint : move);
                return true;
            }
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }

  private:
    mutable bool refused_ = false;
};

void fillBackground(QLabel* label, const QColor& colour) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, colour);
    label->setPalette(palette);
    label->setAutoFillBackground(true);
}

QFont boldWindowFont(int pixels = 0, bool underline = false) {
    QFont font = windowFont();
    if (pixels > 0)
        font.setPixelSize(pixels);
    font.setBold(true);
    font.setUnderline(underline);
    return font;
}

} // namespace

TControlProfesores::TControlProfesores(const QString& proftTablePath, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ControlProfesores"));
    setWindowTitle(QStringLiteral("Control de Profesores"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFont(windowFont());
    setFixedSize(754, 499);
    move(206, 182);
    setProperty(kHelpContextProperty, kTeacherDialogHelpContext);

    // The table opens with the dialog; it closes when the dialog is released.
    model_ = new ProftTableModel(proftTablePath, this);

    draw3D1_ =
        new GradientPanel(QColor(0x3A, 0x6E, 0xA5), QColor(0xF0, 0xFB, 0xFF), QColor(0x00, 0xFF, 0xFF), this);
    draw3D1_->setObjectName(QStringLiteral("Draw3D1"));
    draw3D1_->setGeometry(1, 1, 752, 496);
    draw3D1_->setProperty(kHelpContextProperty, kTeacherDialogHelpContext);

    QLabel* label1 = makeLabel(draw3D1_, "Label1", QStringLiteral("CONTROL DE DATOS DE LOS PROFESORES"),
                               QRect(9, 12, 183, 32), boldWindowFont(13), Qt::black, true);
    fillBackground(label1, Qt::yellow);

    buildNavigator();

    proftDBGrid_ = new FixedColumnsGrid(ProftTableModel::kFixedColumns, draw3D1_);
    proftDBGrid_->setObjectName(QStringLiteral("ProftDBGrid"));
    proftDBGrid_->setGeometry(9, 56, 490, 433);
    proftDBGrid_->setProperty(kHelpContextProperty, kTeacherDialogHelpContext);
    auto* delegate = new MaskDelegate(proftDBGrid_);
    delegate->onRefused = [this](const QModelIndex& cell, const QString& text) {
        refusedCell_ = cell;
        refusedText_ = text;
        queueRefusal();
    };
    proftDBGrid_->setItemDelegate(delegate);
    proftDBGrid_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                                  QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    proftDBGrid_->setSelectionMode(QAbstractItemView::SingleSelection);
    proftDBGrid_->setSelectionBehavior(QAbstractItemView::SelectItems);
    proftDBGrid_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    proftDBGrid_->verticalHeader()->hide();
    // With a border of its own the title is drawn flat on its colour, not shaded over by the style.
    proftDBGrid_->setStyleSheet(QStringLiteral(
        "QHeaderView::section { background-color: #FEE4A9; font-weight: bold; text-align: left; "
        "border: none; border-right: 1px solid #C9B27A; border-bottom: 1px solid #C9B27A; padding-left: 2px; "
        "}"));
    // Rows one line high, as the grid draws them.
    proftDBGrid_->verticalHeader()->setDefaultSectionSize(proftDBGrid_->fontMetrics().height() + 6);
    proftDBGrid_->setModel(model_);
    // Widths in characters of the window font: 4 and 40, then each key's field width (10 and 10),
    // plus the cell margins; never narrower than the bold title, which a title of one word cannot wrap.
    const int charWidth = proftDBGrid_->fontMetrics().averageCharWidth();
    const QFontMetrics titleMetrics(boldWindowFont());
    const int fixedWidths[ProftTableModel::kFixedColumns] = {4, 40};
    for (int c = 0; c < ProftTableModel::ColumnCount; ++c) {
        const QString title = model_->headerData(c, Qt::Horizontal).toString();
        const int width = c < ProftTableModel::kFixedColumns
                              ? fixedWidths[c]
                              : int(velmora::proft::layout().width(ProftTableModel::fieldOf(c)));
        proftDBGrid_->setColumnWidth(c,
                                     std::max(width * charWidth, titleMetrics.horizontalAdvance(title)) + 12);
    }
    // Titles on two lines.
    proftDBGrid_->horizontalHeader()->setFixedHeight(2 * proftDBGrid_->fontMetrics().height() + 6);
    proftDBGrid_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    proftDBGrid_->horizontalHeader()->setSectionsMovable(false);
    if (model_->rowCount() > 0)
        proftDBGrid_->setCurrentIndex(model_->index(0, ProftTableModel::XEmpleado));

    makeLabel(draw3D1_, "Label3", QStringLiteral("INCIDENCIAS EN EL TRASPASO"), QRect(525, 66, 190, 13),
              boldWindowFont(0, true), Qt::red, true)
        ->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    fillBackground(draw3D1_->findChild<QLabel*>(QStringLiteral("Label3")), QColor(0xF0, 0xCA, 0xA6));
    makeLabel(draw3D1_, "Label2",
              QStringLiteral(
                  "Se ha detectado que existe algún Profesor sin todos los datos necesarios. (Seguramente "
                  "hayan sido creados directamente desde Velmora.)      Para poder realizar correctamente "
                  "la integración del Horario en YEDRA, deberán asignarlos en esta rejilla. "),
              QRect(519, 91, 217, 104), boldWindowFont(), QColor(0x00, 0x00, 0x80), true);
    makeLabel(
        draw3D1_, "Label4",
        QStringLiteral("Los Profesores deberán estar creados previamente en YEDRA, con los mismos Datos de "
                       "X_EMPLEADO y F_TOMAPOS. "),
        QRect(519, 195, 216, 52), boldWindowFont(), Qt::red, true);
    makeLabel(draw3D1_, "Label5",
              QStringLiteral(
                  "YEDRA, dispone de un proceso mediante el cual pueden obtener la información de estos 2 "
                  "datos mencionados. "),
              QRect(519, 251, 205, 52), boldWindowFont(), QColor(0x00, 0x80, 0x00), true);
    makeLabel(
        draw3D1_, "Label6",
        QStringLiteral("Después de haber introducido los datos que faltan, pulsando \"Salir\", se reiniciará "
                       "el proceso."),
        QRect(519, 307, 214, 39), boldWindowFont(), QColor(0x00, 0x00, 0x80), true);

    bitBtn1_ = new KeyboardPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton),
                                      QStringLiteral("Salir"), draw3D1_);
    bitBtn1_->setObjectName(QStringLiteral("BitBtn1"));
    bitBtn1_->setGeometry(583, 368, 75, 25);
    bitBtn1_->setFont(boldWindowFont());
    bitBtn1_->setProperty(kHelpContextProperty, kTeacherDialogHelpContext);
    connect(bitBtn1_, &QPushButton::clicked, this, &TControlProfesores::BitBtn1Click);

    focusWatch_ = connect(qApp, &QApplication::focusChanged, this, [this](QWidget* before, QWidget* now) {
        const bool wasIn = inGrid(before);
        const bool isIn = inGrid(now);
        if (!wasIn && isIn)
            ProftDBGridEnter();
        // Only another control of this dialog taking the focus leaves the grid: a message box (the
        // refusal of a row, which would be refused again) or another program does not.
        else if (wasIn && !isIn && now && now->window() == this)
            ProftDBGridExit();
    });
    // Moving to another row stores the row being edited; not while a refused cell waits for its
    // answer, as the cursor goes back to it.
    connect(proftDBGrid_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current, const QModelIndex&) {
                if (!refusalQueued_ && model_->isEditing() && model_->editingRow() != current.row())
                    model_->post();
                updateNavigator();
            });
    // Typing into a cell (or opening it otherwise) edits its row, whichever row was edited before.
    connect(proftDBGrid_, &FixedColumnsGrid::editorOpened, this,
            [this](const QModelIndex& cell) { model_->edit(cell.row()); });
    connect(model_, &ProftTableModel::stateChanged, this, &TControlProfesores::updateNavigator);
    connect(model_, &ProftTableModel::modelReset, this, [this] {
        if (model_->rowCount() > 0)
            proftDBGrid_->setCurrentIndex(model_->index(0, ProftTableModel::XEmpleado));
        updateNavigator();
    });
    connect(model_, &ProftTableModel::refused, this, &TControlProfesores::showRefusal);
    connect(model_, &ProftTableModel::storeFailed, this,
            [this](const QString& message) { showErrorBox(this, message); });
    updateNavigator();
    // The dialog opens with the grid focused, so that the missing key is typed at once; the navigator's
    // buttons take the focus only when Tab reaches them.
    proftDBGrid_->setFocus();
}

TControlProfesores::~TControlProfesores() {
    // The widgets going away move the focus and the current cell; they go while this dialog can still
    // hear it, and the focus watch ends first.
    disconnect(focusWatch_);
    model_->disconnect(this);
    delete draw3D1_;
}

bool TControlProfesores::inGrid(const QWidget* widget) const {
    return widget && (widget == proftDBGrid_ || proftDBGrid_->isAncestorOf(widget));
}

void TControlProfesores::buildNavigator() {
    wwDBNavigator1_ = new QWidget(draw3D1_);
    wwDBNavigator1_->setObjectName(QStringLiteral("wwDBNavigator1"));
    wwDBNavigator1_->setGeometry(224, 29, 275, 24);
    auto* layout = new QHBoxLayout(wwDBNavigator1_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    // Post and cancel never repeat; the moves do, as long as their button is held down.
    enum Repeat { Once, Repeats };
    // Reached with Tab from "Salir" (a click leaves the focus where it is, so clicking post does not
    // leave the grid first), clicked with Enter or Space; post, cancel and refresh also have keys that
    // work from the grid: Ctrl+Enter, Escape (see keyPressEvent) and F5.
    auto button = [&](const char* name, QStyle::StandardPixmap glyph, const char* hint, Repeat repeat,
                      std::function<bool()> applies, auto action, QKeySequence key = {}) {
        auto* b = new KeyboardToolButton(wwDBNavigator1_);
        b->setObjectName(QStringLiteral("wwDBNavigator1") + QString::fromLatin1(name));
        b->setIcon(style()->standardIcon(glyph));
        b->setToolTip(QString::fromLatin1(hint));
        b->setAutoRepeat(repeat == Repeats);
        b->setAutoRepeatDelay(500);
        b->setAutoRepeatInterval(100);
        b->setFocusPolicy(Qt::TabFocus);
        b->setShortcut(key);
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        layout->addWidget(b);
        connect(b, &QToolButton::clicked, this, action);
        navigator_.push_back({b, std::move(applies)});
    };
    // The moves count from the first row when no cell is current.
    auto row = [this] {
        return proftDBGrid_->currentIndex().isValid() ? proftDBGrid_->currentIndex().row() : 0;
    };
    auto backward = [this] {
        const QModelIndex current = proftDBGrid_->currentIndex();
        return model_->rowCount() > 0 && current.isValid() && current.row() > 0;
    };
    auto forward = [this] {
        const QModelIndex current = proftDBGrid_->currentIndex();
        return model_->rowCount() > 0 && (!current.isValid() || current.row() < model_->rowCount() - 1);
    };
    auto editing = [this] { return model_->isEditing(); };
    auto browsing = [this] { return !model_->isEditing(); };

    button("First", QStyle::SP_MediaSkipBackward, "Move to first record", Repeats, backward,
           [this] { moveToRow(0); });
    button("PriorPage", QStyle::SP_MediaSeekBackward, "Move backward 10 records", Repeats, backward,
           [this, row] { moveToRow(row() - 10); });
    button("Prior", QStyle::SP_ArrowUp, "Move to prior record", Repeats, backward,
           [this, row] { moveToRow(row() - 1); });
    button("Next", QStyle::SP_ArrowDown, "Move to next record", Repeats, forward,
           [this, row] { moveToRow(row() + 1); });
    button("NextPage", QStyle::SP_MediaSeekForward, "Move forward 10 records", Repeats, forward,
           [this, row] { moveToRow(row() + 10); });
    button("Last", QStyle::SP_MediaSkipForward, "Move to last record", Repeats, forward,
           [this] { moveToRow(model_->rowCount() - 1); });
    button(
        "Edit", QStyle::SP_FileDialogDetailedView, "Edit current record", Repeats,
        [this] { return model_->rowCount() > 0 && !model_->isEditing(); },
        [this, row] { model_->edit(row()); });
    button(
        "Post", QStyle::SP_DialogApplyButton, "Post changes of current record", Once, editing,
        [this] {
            proftDBGrid_->commitOpenEditor();
            if (!refusalQueued_)
                model_->post();
        },
        QKeySequence(Qt::CTRL | Qt::Key_Return));
    button("Cancel", QStyle::SP_DialogCancelButton, "Cancel changes made to current record", Once, editing,
           [this] {
               proftDBGrid_->discardOpenEditor();
               model_->cancel();
           });
    // The table read again, the same teacher stays current. Never over a row being edited: what is
    // typed in an open cell goes into its row first, which then waits for post or cancel.
    button(
        "Refresh", QStyle::SP_BrowserReload, "Refresh the contents of the dataset", Repeats, browsing,
        [this, row] {
            proftDBGrid_->commitOpenEditor();
            if (model_->isEditing() || refusalQueued_) {
                updateNavigator();
                return;
            }
            const int current = row();
            model_->refresh();
            moveToRow(current);
        },
        QKeySequence(Qt::Key_F5));
}

void TControlProfesores::moveToRow(int row) {
    const int last = model_->rowCount() - 1;
    if (last < 0)
        return;
    row = std::clamp(row, 0, last);
    const QModelIndex current = proftDBGrid_->currentIndex();
    const int column = current.isValid() && current.column() >= ProftTableModel::kFixedColumns
                           ? current.column()
                           : int(ProftTableModel::XEmpleado);
    proftDBGrid_->setCurrentIndex(model_->index(row, column));
}

void TControlProfesores::updateNavigator() {
    for (const auto& [button, applies] : navigator_)
        button->setEnabled(applies());
}

void TControlProfesores::ProftDBGridEnter() {
    const QModelIndex current = proftDBGrid_->currentIndex();
    if (!model_->isEditing() && current.isValid())
        model_->edit(current.row());
}

void TControlProfesores::ProftDBGridExit() {
    // A refused cell is coming back: its row stays in editing.
    if (model_->isEditing() && !refusalQueued_)
        model_->post();
}

void TControlProfesores::BitBtn1Click() {
    close();
}

bool TControlProfesores::storeBeforeClosing() {
    // Every closing ("Salir", the close box) stores the row being edited, with what is typed in
    // its open cell, as leaving the grid does. A row the table refuses keeps the dialog open, its
    // error shown, so that the keys typed are not lost; the navigator's cancel drops them.
    proftDBGrid_->commitOpenEditor();
    if (refusalQueued_)
        return false;
    return !model_->isEditing() || model_->post();
}

void TControlProfesores::keyPressEvent(QKeyEvent* event) {
    // Escape never closes the dialog (closing ends the import when a key is still missing): in an open
    // cell it drops what was typed there (the grid does that), then it cancels the row being edited.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        if (model_->isEditing() && !refusalQueued_) {
            proftDBGrid_->discardOpenEditor();
            model_->cancel();
        }
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TControlProfesores::closeEvent(QCloseEvent* event) {
    if (!storeBeforeClosing()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TControlProfesores::done(int result) {
    if (!storeBeforeClosing())
        return;
    QDialog::done(result);
}

void TControlProfesores::showRefusal(const QString& message) {
    refusalMessage_ = message;
    queueRefusal();
}

void TControlProfesores::queueRefusal() {
    // Answered once the grid has finished with the key or click that stored the cell.
    if (refusalQueued_)
        return;
    refusalQueued_ = true;
    QTimer::singleShot(0, this, &TControlProfesores::answerRefusal);
}

void TControlProfesores::answerRefusal() {
    const QString message = std::exchange(refusalMessage_, QString());
    const QPersistentModelIndex cell = std::exchange(refusedCell_, QPersistentModelIndex());
    const QString text = std::exchange(refusedText_, QString());
    if (!message.isEmpty()) {
        // Modal, and shown before the cell opens again: an open cell would be stored (and refused)
        // once more as the box takes the focus.
        QMessageBox box(QMessageBox::Warning, QString::fromLatin1(kApplicationTitle), message,
                        QMessageBox::NoButton, this);
        box.setObjectName(QStringLiteral("MaskRefusal"));
        QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
        box.setDefaultButton(ok);
        box.setEscapeButton(ok);
        box.exec();
    }
    // The cursor goes back to the refused cell, opened with the text as it was typed, to be corrected.
    if (cell.isValid() && isVisible()) {
        proftDBGrid_->setCurrentIndex(cell);
        proftDBGrid_->setFocus();
        if (!proftDBGrid_->indexWidget(cell))
            proftDBGrid_->edit(cell);
        if (auto* editor = qobject_cast<QLineEdit*>(proftDBGrid_->indexWidget(cell))) {
            editor->setText(text);
            editor->setFocus();
        }
    }
    refusalQueued_ = false;
    if (!refusalMessage_.isEmpty() || refusedCell_.isValid())
        queueRefusal();
    updateNavigator();
}

} // namespace pontrel::app
