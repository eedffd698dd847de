#include "app/monitor_dialog.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QTableView>
#include <QTimer>

#include "app/characteristics_dialog.h"
#include "app/chart_view.h"
#include "app/help_dialog.h"
#include "app/help_texts.h"
#include "app/parameter_dialog.h"
#include "app/record_list_view.h"
#include "app/statistics_window.h"
#include "app/text_fit.h"
#include "app/tolerance_dialog.h"
#include "core/regular_file.h"
#include "display/display_actions.h"
#include "display/display_mode.h"
#include "display/length_unit.h"
#include "records/record_list_model.h"

namespace gaugemon::app {

namespace c = control;

namespace {

QString text(const char* utf8) { return QString::fromUtf8(utf8); }
QString text(const std::string& utf8) { return QString::fromStdString(utf8); }

// Ids 1001.. take the first slots; the language frame (id 0) the last.
int slotOf(int id) {
    if (id == c::kLanguageFrame) return static_cast<int>(kControls.size()) - 1;
    return id - 1001;
}

// The edit of each operator field.
constexpr std::array<std::pair<station::Field, int>, station::kFieldCount> kFieldEdits{{
    {station::Field::ProbeNumber, c::kProbeNumber},
    {station::Field::RangeLower, c::kRangeLower},
    {station::Field::RangeUpper, c::kRangeUpper},
    {station::Field::Interval, c::kInterval},
}};

int editOf(station::Field field) { return kFieldEdits[static_cast<size_t>(field)].second; }

constexpr int kLogoDelayMs = 100;
// The window's own timer beside the logo's, clear of the link's ids: the end
// of a batch of rows for the list, which then lays itself out once for all
// of them. Short enough that a row is on screen within a fifth of a second.
constexpr int kListBatchMs = static_cast<int>(records::RecordListModel::kListBatchDelay.count());
constexpr int kLogoAfterResizeMs = 10;
// The logo is read again at every resize; a file larger than any logo is not
// read at all rather than stall the window each time.
constexpr int64_t kLargestLogoBytes = 16 * 1024 * 1024;

}  // namespace

MonitorDialog::MonitorDialog(station::Station& station, WindowSeams seams, QWidget* parent)
    : QDialog(parent),
      seams_(std::move(seams)),
      ownTimers_(seams_.makeDialogTimers()),
      station_(station),
      chart_(station_.display()) {
    station_.addObserver(*this);
    setWindowTitle(text(kWindowCaption));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                   Qt::WindowCloseButtonHint);
    setSizeGripEnabled(true);
    ownTimers_->setTickHandler([this](int id) { onOwnTimer(id); });
    createControls();
    bindControls();
    initialise();
}

MonitorDialog::~MonitorDialog() {
    // The list's scroll bar outlives this part of the window, and the base
    // dialog still moves it as it hides.
    static_cast<QTableView*>(control(c::kRecordList))->verticalScrollBar()->disconnect(this);
    // The list model reads the station's table: it goes first.
    station_.setRecordList(nullptr);
    station_.removeObserver(*this);
    ownTimers_->setTickHandler({});
    ownTimers_->stop(core::timer::kListBatch);
    delete model_;
    model_ = nullptr;
}

QWidget* MonitorDialog::control(int id) const {
    const int slot = slotOf(id);
    return slot >= 0 && slot < static_cast<int>(controls_.size()) ? controls_[slot] : nullptr;
}

void MonitorDialog::createControls() {
    // Dialog units follow the dialog font: a quarter of its average character
    // width across, an eighth of its height down.
    const QFontMetrics metrics(font());
    const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    baseX_ = std::max(1, (metrics.horizontalAdvance(alphabet) / 26 + 1) / 2);
    baseY_ = std::max(1, metrics.height());
    for (const ControlSpec& spec : kControls) {
        QWidget* widget = nullptr;
        const QString caption = text(spec.chinese);
        switch (spec.kind) {
            case ControlKind::PushButton: {
                auto* button = new QPushButton(caption, this);
                button->setAutoDefault(false);
                widget = button;
                break;
            }
            case ControlKind::DisplayEdit: {
                auto* edit = new QLineEdit(this);
                edit->setReadOnly(true);
                edit->setEnabled(false);
                widget = edit;
                break;
            }
            case ControlKind::Edit: {
                auto* edit = new QLineEdit(this);
                if (spec.id == c::kProbeNumber) edit->setAlignment(Qt::AlignCenter);
                widget = edit;
                break;
            }
            case ControlKind::Label:
            case ControlKind::LabelRight: {
                auto* label = new QLabel(caption, this);
                if (spec.kind == ControlKind::LabelRight) label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
                widget = label;
                break;
            }
            case ControlKind::GroupBox: {
                auto* box = new QGroupBox(caption, this);
                box->setAlignment(Qt::AlignHCenter);
                widget = box;
                break;
            }
            case ControlKind::ListView: {
                auto* view = new RecordListView(this);
                view->setSelectionBehavior(QAbstractItemView::SelectRows);
                view->setSelectionMode(QAbstractItemView::SingleSelection);
                view->setShowGrid(true);
                view->verticalHeader()->hide();
                view->verticalHeader()->setDefaultSectionSize(metrics.height() + 4);
                // Rows of one height that nobody resizes: the header need not
                // look at each new row's contents.
                view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
                view->setEditTriggers(QAbstractItemView::NoEditTriggers);
                widget = view;
                break;
            }
            case ControlKind::Combo: {
                auto* combo = new QComboBox(this);
                combo->setEditable(false);
                widget = combo;
                break;
            }
            case ControlKind::CheckBox: widget = new QCheckBox(caption, this); break;
            case ControlKind::RadioLeft: {
                auto* radio = new QRadioButton(caption, this);
                radio->setLayoutDirection(Qt::RightToLeft);
                widget = radio;
                break;
            }
        }
        widget->setObjectName(QStringLiteral("c%1").arg(spec.id));
        Rect px = dialogUnitsToPixels(spec.dialogUnits, baseX_, baseY_);
        // A drop-down list's template height includes its open list.
        if (spec.kind == ControlKind::Combo) px.height = dialogUnitsToPixels({0, 0, 0, 13}, baseX_, baseY_).height;
        widget->setGeometry(px.x, px.y, px.width, px.height);
        widget->installEventFilter(this);
        controls_[slotOf(spec.id)] = widget;
    }
    // Frames go behind the controls they surround.
    for (int id : {c::kTopFrame, c::kChartFrame, c::kLanguageFrame}) control(id)->lower();
    const auto rectOf = [this](int id) {
        const QRect r = control(id)->geometry();
        return Rect{r.x(), r.y(), r.width(), r.height()};
    };
    stretching_ = {rectOf(c::kTopFrame), rectOf(c::kChartFrame), rectOf(c::kRecordList)};
    // The resize rule measures every size change from the template's client area.
    const Rect templatePx = dialogUnitsToPixels({0, 0, kTemplateWidthDu, kTemplateHeightDu}, baseX_, baseY_);
    rememberedClient_ = QSize(templatePx.width, templatePx.height);

    chartView_ = new ChartView(chart_.image(), this);
    connect(chartView_, &ChartView::clicked, this, &MonitorDialog::chartClicked);
    const display::PixelRect verdict = display::VerdictPlan{}.box;
    verdictView_ = new ChartView(chart_.image(), this);
    verdictView_->setGeometry(verdict.left, verdict.top, verdict.right - verdict.left, verdict.bottom - verdict.top);
    connect(verdictView_, &ChartView::clicked, this, &MonitorDialog::chartClicked);
    logo_ = new QLabel(this);
    logo_->hide();
    logo_->setAttribute(Qt::WA_TransparentForMouseEvents);

    model_ = station_.openRecordList(this);
    model_->useBatchTimer([this] { ownTimers_->start(core::timer::kListBatch, kListBatchMs); });
    static_cast<QTableView*>(control(c::kRecordList))->setModel(model_);
    // Columns are rebuilt at a connection or when a waiting layout takes over
    // at Clear; the widths follow every rebuild.
    connect(model_, &QAbstractItemModel::modelReset, this, &MonitorDialog::applyColumnWidths);
    // A new row comes into view when the operator is at the bottom of the
    // list; one who scrolled up to read an older row is left there. Rows are
    // only ever appended, so the bottom is where the last one is. Where the
    // list stands is taken as it moves: a shorter window or a scroll bar that
    // comes lengthens the range without a new row, and the list stays at the
    // bottom through that too.
    QScrollBar* bar = static_cast<QTableView*>(control(c::kRecordList))->verticalScrollBar();
    connect(bar, &QScrollBar::valueChanged, this, [this, bar](int value) { followNewest_ = value >= bar->maximum(); });
    connect(bar, &QScrollBar::rangeChanged, this, [this, bar](int, int maximum) {
        if (followNewest_) bar->setValue(maximum);
    });
    auto* radios = new QButtonGroup(this);
    radios->addButton(static_cast<QRadioButton*>(control(c::kChinese)), c::kChinese);
    radios->addButton(static_cast<QRadioButton*>(control(c::kEnglish)), c::kEnglish);
    connect(radios, &QButtonGroup::idClicked, this, &MonitorDialog::chooseLanguage);
}

void MonitorDialog::bindControls() {
    auto onClick = [this](int id, void (MonitorDialog::*handler)()) {
        connect(static_cast<QPushButton*>(control(id)), &QPushButton::clicked, this, handler);
    };
    auto onToggle = [this](int id, void (MonitorDialog::*handler)(bool)) {
        connect(static_cast<QCheckBox*>(control(id)), &QCheckBox::clicked, this, handler);
    };
    connect(static_cast<QPushButton*>(control(c::kConnect)), &QPushButton::clicked, this,
            [this] { station_.toggleConnection(); });
    connect(static_cast<QPushButton*>(control(c::kZeroAll)), &QPushButton::clicked, this,
            [this] { station_.zeroAll(); });
    onClick(c::kZeroSingle, &MonitorDialog::zeroSingle);
    onClick(c::kParameters, &MonitorDialog::openParameters);
    onClick(c::kRangeOk, &MonitorDialog::confirmRange);
    onClick(c::kTolerances, &MonitorDialog::openTolerances);
    onClick(c::kClear, &MonitorDialog::clearRecords);
    onClick(c::kManual, &MonitorDialog::pressManual);
    onToggle(c::kAutoRecord, &MonitorDialog::toggleAutomatic);
    onClick(c::kSave, &MonitorDialog::saveRecords);
    connect(static_cast<QPushButton*>(control(c::kHelp)), &QPushButton::clicked, this,
            [this] { showHelp(language()); });
    onClick(c::kExit, &MonitorDialog::exitButton);
    onClick(c::kStatistics, &MonitorDialog::showStatistics);
    auto* statisticsKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_T), this);
    connect(statisticsKey, &QShortcut::activated, this, &MonitorDialog::showStatistics);
    onClick(c::kModeOk, &MonitorDialog::confirmMode);
    onClick(c::kUnitOk, &MonitorDialog::confirmUnit);
    onClick(c::kModifyCode, &MonitorDialog::modifyCode);
    onToggle(c::kCodeEntry, &MonitorDialog::toggleCodeEntry);
    onToggle(c::kBackupBox, &MonitorDialog::toggleBackup);
    for (const auto& [field, id] : kFieldEdits) {
        connect(static_cast<QLineEdit*>(control(id)), &QLineEdit::textChanged, this,
                [this, field = field](const QString& typed) { fields_.setText(field, typed.toStdString()); });
    }
}

void MonitorDialog::initialise() {
    static_cast<QRadioButton*>(control(c::kChinese))->setChecked(true);
    applyLabels();
    static_cast<QCheckBox*>(control(c::kCodeEntry))->setChecked(station_.codes().enabled());
    control(c::kModifyCode)->setEnabled(station_.codes().enabled());
    auto* units = static_cast<QComboBox*>(control(c::kUnitList));
    for (unsigned i = 0; i < display::kUnitSelectorItems; ++i) {
        units->addItem(text(display::unitSelectorText(static_cast<measure::LengthUnit>(i))));
    }
    const display::DisplayModel& display = station_.display();
    units->setCurrentIndex(static_cast<int>(display.unit()));
    for (QWidget* widget : controls_) {
        if (widget) fitText(*widget);
    }
    static_cast<QComboBox*>(control(c::kModeList))->setCurrentIndex(0);
    writeFields();
    placeWindow();
    control(c::kParameters)->setEnabled(false);
    control(c::kModeOk)->setEnabled(false);
    control(c::kModeList)->setEnabled(false);
    ownTimers_->start(core::timer::kLogo, kLogoDelayMs);
    control(c::kConnect)->setFocus();
}

void MonitorDialog::applyLabels() {
    auto* modes = static_cast<QComboBox*>(control(c::kModeList));
    modes->clear();
    for (unsigned i = 0; i < display::kDisplayModeCount; ++i) {
        modes->addItem(text(display::modeSelectorText(static_cast<display::DisplayMode>(i), language())));
    }
    auto* message = static_cast<QLineEdit*>(control(c::kMessageLine));
    if (language() != core::Language::English) {
        static_cast<QRadioButton*>(control(c::kChinese))->setChecked(true);
        message->setText(text("第1次使用请点<帮助>!"));
        return;
    }
    static_cast<QRadioButton*>(control(c::kEnglish))->setChecked(true);
    for (const ControlSpec& spec : kControls) {
        if (spec.english == nullptr) continue;
        QWidget* widget = control(spec.id);
        const QString english = text(spec.english);
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) button->setText(english);
        if (auto* label = qobject_cast<QLabel*>(widget)) label->setText(english);
        if (auto* box = qobject_cast<QGroupBox*>(widget)) box->setTitle(english);
    }
    message->setText(QStringLiteral("First Use see <Help>!"));
}

void MonitorDialog::placeWindow() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize available = screen ? screen->size() : QSize(1920, 1080);
    const Size size = applyMinimumSize(initialWindowSize(available.width(), available.height()));
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    move(0, 0);
    resize(size.width, size.height);
    placedClient_ = QSize(size.width, size.height);
}

void MonitorDialog::fitFrame() {
    // The placement and the minimum size are meant for the whole window with
    // its frame, but Qt sizes the client area and learns the frame only once
    // the window manager has framed the window. The client gives up the frame
    // then; a window the operator has already resized keeps its size.
    if (!isVisible() || windowState() != Qt::WindowNoState) return;
    const QSize frame = frameGeometry().size() - size();
    if (frame == frame_ || frame.width() < 0 || frame.height() < 0) return;
    const QSize grown = frame - frame_;
    frame_ = frame;
    setMinimumSize((QSize(kMinimumWidth, kMinimumHeight) - frame).expandedTo(QSize(1, 1)));
    if (size() != placedClient_) return;
    placedClient_ -= grown;
    resize(placedClient_);
}

// ---- Timers -----------------------------------------------------------------

void MonitorDialog::restoreProgress(unsigned percent) {
    const std::string share = std::to_string(percent);
    static_cast<QLineEdit*>(control(c::kMessageLine))
        ->setText(text(station_.language() == core::Language::English
                           ? "Restoring the rows of the last run: " + share + " %"
                           : "正在恢复上次运行的数据：" + share + "%"));
}

void MonitorDialog::onOwnTimer(int id) {
    if (id == core::timer::kLogo) logoTick();
    if (id == core::timer::kListBatch) {
        ownTimers_->stop(core::timer::kListBatch);
        model_->announcePendingRows();
    }
}

void MonitorDialog::logoTick() {
    ownTimers_->stop(core::timer::kLogo);
    logoAwaitsStart_ = false;
    const QWidget* zeroAll = control(c::kZeroAll);
    const QPoint at = zeroAll ? QPoint(zeroAll->x() + 99, zeroAll->y() - 1) : QPoint(520, 445);
    const core::RegularFile file = core::readRegularFile(seams_.executableDir + "Dat/Res/logo.bmp", kLargestLogoBytes);
    logoShown_ = file.opened;
    QPixmap pixmap;
    if (logoShown_ &&
        pixmap.loadFromData(reinterpret_cast<const uchar*>(file.bytes.data()), static_cast<uint>(file.bytes.size()))) {
        logo_->setPixmap(pixmap);
        logo_->setGeometry(QRect(at, pixmap.size()));
        logo_->show();
        logo_->raise();
    } else {
        logo_->hide();
    }
    station_.setLogoShown(logoShown_);
    writeFields();
}

// ---- Fields -----------------------------------------------------------------

void MonitorDialog::showOutcome(const station::FieldsOutcome& outcome) {
    for (const auto& [field, id] : kFieldEdits) {
        // Taken over: from now on the field shows its value again.
        if (outcome.takenOver[static_cast<size_t>(field)]) static_cast<QLineEdit*>(control(id))->setModified(false);
    }
    if (outcome.message) showMessage(outcome.message);
    if (outcome.refused) {
        auto* edit = static_cast<QLineEdit*>(control(editOf(*outcome.refused)));
        edit->setFocus();
        edit->selectAll();
    }
    if (outcome.showValues) writeFields();
}

void MonitorDialog::writeFields() {
    const link::LinkView& view = station_.linkView();
    static_cast<QLineEdit*>(control(c::kCommStatus))->setText(text(view.commStatus));
    static_cast<QLineEdit*>(control(c::kDeviceInfo))->setText(text(view.deviceInfo));
    showField(station::Field::ProbeNumber);
    if (!view.messageLine.empty()) static_cast<QLineEdit*>(control(c::kMessageLine))->setText(text(view.messageLine));
    showField(station::Field::RangeLower);
    showField(station::Field::RangeUpper);
    showField(station::Field::Interval);
}

void MonitorDialog::showField(station::Field field) {
    // The window is refreshed at every counted miss, several times a second on
    // a bad line: a field the operator is typing into keeps the typed text
    // until it is left or taken over.
    auto* edit = static_cast<QLineEdit*>(control(editOf(field)));
    const bool beingEdited = edit == focusWidget() && edit->isModified();
    if (!beingEdited) edit->setText(text(fields_.valueText(field)));
}

// ---- Station notifications ----------------------------------------------------

void MonitorDialog::linkViewChanged() {
    const link::LinkView& view = station_.linkView();
    setCaption(c::kConnect, text(view.connectCaption));
    control(c::kParameters)->setEnabled(view.parametersEnabled);
    control(c::kModeOk)->setEnabled(view.modeConfirmEnabled);
    if (view.modeListEnabled) control(c::kModeList)->setEnabled(true);
    control(c::kCodeEntry)->setEnabled(view.codeEntryEnabled);
    writeFields();
}

void MonitorDialog::fileProgress(std::string_view progress) {
    // The message line is the link's again once the save has ended.
    const std::string& line = progress.empty() ? station_.linkView().messageLine : std::string(progress);
    static_cast<QLineEdit*>(control(c::kMessageLine))->setText(text(line));
}

void MonitorDialog::chartCleared() {
    chart_.clearPlot();
    showChart();
}

void MonitorDialog::applyColumnWidths() {
    auto* view = static_cast<QTableView*>(control(c::kRecordList));
    for (int column = 0; column < model_->columnCount(); ++column) {
        view->setColumnWidth(column, model_->columnWidth(column));
    }
}

void MonitorDialog::readingsShown(const display::ChartPlan* redraw) {
    if (!redraw) return;
    chart_.paint(*redraw);
    showChart();
}

void MonitorDialog::showChart() {
    const QRegion damage = chart_.takeDamage();
    chartView_->showChanges(damage);
    verdictView_->showChanges(damage);
}

// ---- Handlers ---------------------------------------------------------------

void MonitorDialog::zeroSingle() { showOutcome(fields_.zeroSingle()); }

void MonitorDialog::openParameters() {
    ParameterDialog dialog(station_, language(), seams_.prompts, seams_.makeDialogTimers(), this);
    dialog.exec();
}

void MonitorDialog::confirmRange() {
    const station::FieldsOutcome outcome = fields_.confirmRange();
    showOutcome(outcome);
    if (!outcome.applied) return;
    chart_.clearPlot();
    station_.redrawChart();
    showChart();
}

void MonitorDialog::openTolerances() {
    ToleranceDialog dialog(station_, seams_.prompts, seams_.makeDialogTimers(), this);
    dialog.exec();
}

void MonitorDialog::openCharacteristics() {
    CharacteristicsDialog dialog(station_, seams_.prompts, seams_.makeDialogTimers(), this);
    dialog.exec();
}

void MonitorDialog::clearRecords() { station_.clearRecords(); }

void MonitorDialog::pressManual() { showOutcome(fields_.recordOne()); }

void MonitorDialog::toggleAutomatic(bool ticked) {
    const station::FieldsOutcome outcome = fields_.setAutomatic(ticked);
    showOutcome(outcome);
    if (outcome.refused) showRecordControls();
}

void MonitorDialog::saveRecords() { station_.exportRecords(); }

void MonitorDialog::showHelp(core::Language language) {
    HelpDialog dialog(language, this);
    dialog.exec();
}

void MonitorDialog::finishFileWrites() { station_.finishFileWrites(); }

void MonitorDialog::exitButton() {
    if (!station_.confirmClose()) return;
    // The station stops after the window's run, as after the close box: a
    // file still being written is finished, not cut off.
    seams_.exitProcess();
}

void MonitorDialog::confirmMode() {
    showOutcome(fields_.confirmMode(static_cast<QComboBox*>(control(c::kModeList))->currentIndex()));
}

void MonitorDialog::confirmUnit() {
    showOutcome(fields_.confirmUnit(static_cast<QComboBox*>(control(c::kUnitList))->currentIndex()));
}

void MonitorDialog::chooseLanguage(int clickedId) {
    const bool chinese = static_cast<QRadioButton*>(control(c::kChinese))->isChecked();
    if (const char* message = fields_.chooseLanguage(clickedId == c::kChinese, chinese)) showMessage(message);
}

void MonitorDialog::modifyCode() {
    auto* view = static_cast<QTableView*>(control(c::kRecordList));
    std::optional<uint32_t> row;
    if (view->currentIndex().isValid() && view->selectionModel()->hasSelection()) {
        row = static_cast<uint32_t>(view->currentIndex().row());
    }
    view->clearSelection();
    station_.modifyCode(row);
}

void MonitorDialog::toggleCodeEntry(bool ticked) {
    station_.setCodeEntry(ticked);
    control(c::kModifyCode)->setEnabled(station_.codes().enabled());
}

void MonitorDialog::toggleBackup(bool ticked) { station_.setBackup(ticked); }

void MonitorDialog::showRecordControls() {
    setCaption(c::kManual, text(station_.recorder().manualButtonText(station_.language())));
    static_cast<QCheckBox*>(control(c::kAutoRecord))->setChecked(station_.recorder().automaticTicked());
    static_cast<QCheckBox*>(control(c::kBackupBox))->setChecked(station_.backup().boxTicked());
}

void MonitorDialog::setCaption(int id, const QString& caption) {
    auto* button = static_cast<QPushButton*>(control(id));
    if (button->text() == caption) return;
    button->setText(caption);
    fitText(*button);
}

void MonitorDialog::chartClicked(int x, int y) {
    // Every click draws the chart anew; one while connected may choose a probe.
    station_.redrawChart();
    const link::LinkState& link = station_.linkState();
    const station::FieldsOutcome outcome =
        fields_.selectProbe(station_.display().probeAt(link.connected, link.probeCount, x, y));
    showOutcome(outcome);
    if (outcome.chosenProbe && statisticsWindow_) statisticsWindow_->selectValue(*outcome.chosenProbe);
}

void MonitorDialog::showStatistics() {
    if (!statisticsWindow_) statisticsWindow_ = new StatisticsWindow(station_, seams_.makeDialogTimers(), this);
    statisticsWindow_->show();
    statisticsWindow_->raise();
    statisticsWindow_->activateWindow();
}

// ---- Window events ----------------------------------------------------------

void MonitorDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (isMinimized()) return;
    const QSize client = size();
    applyResize(stretching_, client.width() - rememberedClient_.width(), client.height() - rememberedClient_.height());
    auto place = [](QWidget* widget, const Rect& r) { widget->setGeometry(r.x, r.y, r.width, r.height); };
    place(control(c::kTopFrame), stretching_.topFrame);
    place(control(c::kChartFrame), stretching_.chartFrame);
    place(control(c::kRecordList), stretching_.recordList);
    const ChartRect area = chartAreaOf(stretching_.chartFrame);
    const display::ChartArea plot{area.left, area.right, area.top, area.bottom};
    chart_.setLayout(client, plot);
    station_.setChartArea(plot);
    chartView_->setGeometry(area.left, area.top, area.right - area.left, area.bottom - area.top);
    // The plot lies over the chart frame but under the buttons of its band,
    // which reach a few pixels into it.
    chartView_->lower();
    control(c::kChartFrame)->lower();
    verdictView_->raise();
    logo_->raise();
    rememberedClient_ = client;
    // The sizes that reach the window while it is first shown and framed
    // leave the start's logo step where it is.
    if (!logoAwaitsStart_) ownTimers_->start(core::timer::kLogo, kLogoAfterResizeMs);
}

void MonitorDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    fitFrame();
    // The journal's question comes over the window, once the window is up.
    QTimer::singleShot(0, this, [this] { fields_.startUp(); });
}

void MonitorDialog::moveEvent(QMoveEvent* event) {
    QDialog::moveEvent(event);
    // Window managers tell the frame through a move once they have framed the window.
    fitFrame();
}

void MonitorDialog::keyPressEvent(QKeyEvent* event) {
    // Enter and Escape neither press a button nor close the window.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool MonitorDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) return true;
    }
    return QDialog::eventFilter(watched, event);
}

void MonitorDialog::closeEvent(QCloseEvent* event) {
    if (station_.confirmClose()) {
        event->accept();
        QDialog::done(QDialog::Rejected);
    } else {
        event->ignore();
    }
}

void MonitorDialog::mousePressEvent(QMouseEvent* event) {
    // The chart views report their own clicks, which then come on to here as well.
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton && !qobject_cast<ChartView*>(childAt(at))) chartClicked(at.x(), at.y());
    QDialog::mousePressEvent(event);
}

void MonitorDialog::toggleConnectAtStart(bool ticked) { fields_.setConnectAtStart(ticked); }

void MonitorDialog::contextMenuEvent(QContextMenuEvent* event) {
    // Where the window manager offers no system menu of ours, the "about"
    // entry lives in the window's context menu.
    QMenu menu(this);
    QAction* about = menu.addAction(text(kAboutEntry));
    QAction* statistics = menu.addAction(core::pick(language(), "Process statistics...", "过程统计..."));
    QAction* characteristics = menu.addAction(core::pick(language(), "Characteristics...", "特性..."));
    QAction* broker = askBroker_ ? menu.addAction(core::pick(language(), "MQTT broker...", "MQTT 代理...")) : nullptr;
    QAction* connectAtStart = menu.addAction(core::pick(language(), "Connect at start-up", "启动时连接设备"));
    connectAtStart->setCheckable(true);
    connectAtStart->setChecked(fields_.connectAtStart());
    QAction* part = askTransferPart_
                        ? menu.addAction(core::pick(language(), "Part in AQDEF files...", "AQDEF 文件的零件..."))
                        : nullptr;
    const QAction* chosen = menu.exec(event->globalPos());
    if (chosen == connectAtStart) toggleConnectAtStart(connectAtStart->isChecked());
    if (chosen == about) showHelp(core::Language::Chinese);
    if (chosen == statistics) showStatistics();
    if (chosen == characteristics) openCharacteristics();
    if (chosen && chosen == broker) askBroker_();
    if (chosen && chosen == part) askTransferPart_();
}

}  // namespace gaugemon::app
