#include "app/Plantihoras.h"

#include "app/GradientPanel.h"
#include "app/HelpAdapter.h"
#include "app/Labels.h"
#include "app/Look.h"
#include "app/MessageBoxes.h"
#include "exchange/text/Ansi.h"
#include "exchange/yedra/YedraDocument.h"
#include "exchange/yedra/YedraGroups.h"
#include "export/FrameSelection.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTextLayout>
#include <QTimer>

#include <utility>
#include <vector>

namespace pontrel::app {

namespace {

namespace jornadas = yedra::jornadasEscolares;
namespace tramos = yedra::tramosHorarios;
constexpr const char* kFramesGroup = jornadas::kGroup;
constexpr const char* kSlotsGroup = tramos::kGroup;

QString shown(const std::string& ansi) {
    return QString::fromUtf8(ansi::toUtf8(ansi));
}

// `LabelNombre`: Arial 16, bold and underlined, word-wrapped in a box two lines high.
QFont frameNameFont() {
    return arialFont(16, true, true);
}
constexpr int kSmallestNamePixels = 11; // the windows' own font size

bool fitsIn(const QRect& box, const QFont& font, const QString& text) {
    const QRect needed = QFontMetrics(font).boundingRect(
        QRect(0, 0, box.width(), 1 << 20), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
    return needed.width() <= box.width() && needed.height() <= box.height();
}

// A long frame name would lose its last lines below the label's fixed box: it is shown in a smaller
// font, as small as the windows' own, and when even that does not hold it, its last line that fits ends
// in "…". The whole name is then the label's tooltip.
void showFrameName(QLabel* label, const QString& name) {
    const QRect box = label->contentsRect();
    QFont font = frameNameFont();
    while (!fitsIn(box, font, name) && font.pixelSize() > kSmallestNamePixels)
        font.setPixelSize(font.pixelSize() - 1);
    QString text = name;
    if (!fitsIn(box, font, name)) {
        // The name's lines as the label wraps them; the last one that fits takes the rest, cut.
        QTextLayout layout(name, font);
        layout.setTextOption(QTextOption(Qt::AlignLeft));
        layout.beginLayout();
        std::vector<std::pair<int, int>> lines;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(box.width());
            lines.emplace_back(line.textStart(), line.textLength());
        }
        layout.endLayout();
        const QFontMetrics metrics(font);
        for (std::size_t kept = lines.size(); kept-- > 0;) {
            QStringList shownLines;
            for (std::size_t i = 0; i < kept; ++i)
                shownLines << name.mid(lines[i].first, lines[i].second).trimmed();
            shownLines << metrics.elidedText(name.mid(lines[kept].first).trimmed(), Qt::ElideRight,
                                             box.width());
            text = shownLines.join(QLatin1Char('\n'));
            if (fitsIn(box, font, text))
                break;
        }
    }
    label->setFont(font);
    label->setText(text);
    label->setToolTip(font.pixelSize() == frameNameFont().pixelSize() && text == name ? QString() : name);
}

} // namespace

TPlantillas::TPlantillas(std::filesystem::path documentPath, QWidget* parent)
    : QDialog(parent), documentPath_(std::move(documentPath)) {
    setObjectName(QStringLiteral("Plantillas"));
    setWindowTitle(QStringLiteral("Planillas, Marcos o Jornadas Horarias"));
    // A resizable frame whose caption bar has only the close box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFont(windowFont());
    // 387 x 375 outside; the client area is that less the sizeable frame (4 pixels a side) and the
    // caption bar, so the panel of 369 x 333 fits as it was drawn.
    resize(379, 344);
    move(368, 228);

    draw3D4_ = new GradientPanel(QColor(0xA6, 0xCA, 0xF0), Qt::white, inactiveCaptionColour(), this);
    draw3D4_->setObjectName(QStringLiteral("Draw3D4"));
    draw3D4_->setGeometry(0, 0, 369, 333);
    draw3D4_->setProperty(kHelpContextProperty, kMainWindowHelpContext);

    const QColor red = maroon();
    makeLabel(
        draw3D4_, "LabelPlantillas",
        QStringLiteral("Seleccione los 5 días de la semana del Marco Horario que desea recoger en Velmora."),
        QRect(16, 2, 321, 31), arialFont(13, true), std::nullopt, true);
    makeLabel(draw3D4_, "LabelMarcos", QStringLiteral("MARCOS"), QRect(48, 37, 74, 16), arialFont(16, true),
              red);
    makeLabel(draw3D4_, "Label1", QStringLiteral("HORAS"), QRect(215, 37, 67, 18), arialFont(16, true), red);

    listBox2_ = new QListWidget(draw3D4_);
    listBox2_->setObjectName(QStringLiteral("ListBox2"));
    listBox2_->setGeometry(16, 55, 127, 83);
    listBox2_->setSelectionMode(QAbstractItemView::ExtendedSelection);

    listBox1_ = new QListWidget(draw3D4_);
    listBox1_->setObjectName(QStringLiteral("ListBox1"));
    listBox1_->setGeometry(152, 55, 193, 155);
    listBox1_->setSelectionMode(QAbstractItemView::SingleSelection);

    labelNombre_ = makeLabel(draw3D4_, "LabelNombre", QStringLiteral("-"), QRect(9, 208, 120, 41),
                             arialFont(16, true, true), red, true);
    labelPlanFec1_ = makeLabel(draw3D4_, "LabelPlanFec1", QStringLiteral("-"), QRect(9, 251, 120, 23),
                               arialFont(16, true), red);
    labelPlanFec2_ = makeLabel(draw3D4_, "LabelPlanFec2", QStringLiteral("-"), QRect(9, 277, 120, 23),
                               arialFont(16, true), red);

    bitBtnContinuar_ = new QPushButton(checkMarkIcon(), QStringLiteral("Continuar"), draw3D4_);
    bitBtnContinuar_->setObjectName(QStringLiteral("BitBtnContinuar"));
    bitBtnContinuar_->setGeometry(255, 305, 89, 25);
    QFont bold = windowFont();
    bold.setBold(true);
    bitBtnContinuar_->setFont(bold);
    bitBtnContinuar_->setDefault(true);
    bitBtnContinuar_->setProperty(kHelpContextProperty, kMainWindowHelpContext);

    comboBoxPlantilla_ = new QComboBox(draw3D4_);
    comboBoxPlantilla_->setObjectName(QStringLiteral("ComboBoxPlantilla"));
    comboBoxPlantilla_->setGeometry(168, 307, 81, 21);
    comboBoxPlantilla_->hide();

    setTabOrder(bitBtnContinuar_, comboBoxPlantilla_);
    setTabOrder(comboBoxPlantilla_, listBox1_);
    setTabOrder(listBox1_, listBox2_);
    bitBtnContinuar_->setFocus();

    connect(listBox2_, &QListWidget::itemSelectionChanged, this, &TPlantillas::ListBox2Click);
    connect(bitBtnContinuar_, &QPushButton::clicked, this, &TPlantillas::BitBtnContinuarClick);
}

int TPlantillas::frameCount() const {
    return listBox2_->count();
}

void TPlantillas::fail(std::exception_ptr error) {
    loadError_ = error;
    closing_ = true;
    // Not from inside the showing itself: the dialog's own loop must be running to be left.
    QTimer::singleShot(0, this, [this] { QDialog::done(QDialog::Rejected); });
}

void TPlantillas::FormActivate() {
    try {
        // The dialog reads the document itself, anew at every activation; showing a frame reads this copy.
        document_.reset();
        document_.emplace(YedraDocument::loadOutline(documentPath_, {kFramesGroup, kSlotsGroup}));
        const auto frames = document_->records(kFramesGroup);
        if (frames.size() > 1) {
            const QSignalBlocker block(listBox2_);
            comboBoxPlantilla_->clear();
            listBox2_->clear();
            codes_.clear();
            for (const auto& frame : frames) {
                codes_.push_back(frame.rawValue(jornadas::kCode));
                comboBoxPlantilla_->addItem(shown(codes_.back()));
                listBox2_->addItem(shown(codes_.back()));
            }
        }
        comboBoxPlantilla_->setCurrentIndex(comboBoxPlantilla_->count() > 0 ? 0 : -1);
        ComboBoxPlantillaChange();
    } catch (...) {
        fail(std::current_exception());
    }
}

void TPlantillas::ComboBoxPlantillaChange() {
    try {
        showFrameName(labelNombre_, QStringLiteral("-"));
        labelPlanFec1_->setText(QStringLiteral("-"));
        labelPlanFec2_->setText(QStringLiteral("-"));
        const int current = comboBoxPlantilla_->currentIndex();
        const std::string code =
            current >= 0 && current < int(codes_.size()) ? codes_[current] : std::string();

        if (!document_)
            document_.emplace(YedraDocument::loadOutline(documentPath_, {kFramesGroup, kSlotsGroup}));
        const YedraDocument& document = *document_;
        const auto frames = document.records(kFramesGroup);
        if (frames.size() > 1) {
            // Several frames with the same code: the last one shows.
            for (const auto& frame : frames) {
                if (frame.rawValue(jornadas::kCode) != code)
                    continue;
                showFrameName(labelNombre_, shown(frame.rawValue(jornadas::kName)));
                labelPlanFec1_->setText(shown(frame.rawValue(jornadas::kStartDate)));
                labelPlanFec2_->setText(shown(frame.rawValue(jornadas::kEndDate)));
            }
        }
        const auto timeSlots = document.records(kSlotsGroup);
        if (timeSlots.size() > 1) {
            listBox1_->clear();
            for (const auto& slot : timeSlots)
                if (slot.rawValue(tramos::kFrameCode) == code)
                    listBox1_->addItem(shown(slot.rawValue(tramos::kText)));
        }
    } catch (...) {
        fail(std::current_exception());
    }
}

void TPlantillas::ListBox2Click() {
    // The entry that has the focus becomes current, whether the click selected it or took it out.
    const int row = listBox2_->currentRow();
    if (row < 0 || row >= comboBoxPlantilla_->count())
        return;
    comboBoxPlantilla_->setCurrentIndex(row);
    ComboBoxPlantillaChange();
}

void TPlantillas::BitBtnContinuarClick() {
    close();
}

void TPlantillas::FormClose() {
    accepted_ = true;
    selection_.clear();
    // The selection is taken before any message: the message box's closing reactivates the dialog.
    exporting::FrameSelection selection(frameCount());
    for (int row = 0; row < listBox2_->count(); ++row)
        if (listBox2_->item(row)->isSelected())
            selection.add(row < int(codes_.size()) ? codes_[row] : std::string());
    if (!selection.accepted()) {
        showPlainMessage(this, QString::fromStdString(selection.message()));
        accepted_ = false;
    }
    selection_ = selection.choice().selection;
}

void TPlantillas::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        // The first frame is shown before the user sees the dialog.
        FormActivate();
    }
}

void TPlantillas::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() != QEvent::ActivationChange || closing_)
        return;
    if (!isActiveWindow()) {
        // Only a window of this program taking over counts; switching to another program does not.
        QWidget* now = QApplication::activeWindow();
        leftForOwnWindow_ = now != nullptr && now != this;
        return;
    }
    if (!activatedOnce_) {
        activatedOnce_ = true; // the showing already loaded the document
        return;
    }
    if (leftForOwnWindow_) {
        leftForOwnWindow_ = false;
        FormActivate();
    }
}

void TPlantillas::closeEvent(QCloseEvent* event) {
    if (!closing_) {
        closing_ = true;
        FormClose();
    }
    QDialog::closeEvent(event);
    event->accept();
}

void TPlantillas::reject() {
    // Escape and the dialog's own rejection close it like the close box, so FormClose always runs.
    if (!closing_) {
        close();
        return;
    }
    QDialog::reject();
}

} // namespace pontrel::app
