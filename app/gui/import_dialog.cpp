#include "app/gui/import_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>

#include "app/devices/settings.h"
#include "app/gui/import_folder_dialog.h"
#include "import/sound_shape.h"
#include "soundfile/midi_reader.h"

namespace brisca {
namespace {

QString utf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// "44 100 Hz": the rate to the hertz, thousands set apart.
QString rate_text(int pitch) {
  const auto hz = static_cast<long>(std::lround(rate_for_pitch(pitch)));
  QString digits = QString::number(hz);
  for (qsizetype at = digits.size() - 3; at > 0; at -= 3) digits.insert(at, QChar(' '));
  return digits + QStringLiteral(" Hz");
}

QString level_cell(const LevelChoice& level, const ImportedSound* figures) {
  QString text = utf8(level_text(level));
  if (figures != nullptr && figures->limited)
    text += QStringLiteral(" (limited: %1)").arg(figures->loudness_lufs, 0, 'f', 1);
  return text;
}

// The name and type cells edit with the header's limits: 31 characters, and exactly four
// printable ASCII characters.
class LimitedEditDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override {
    auto* edit = qobject_cast<QLineEdit*>(QStyledItemDelegate::createEditor(parent, option, index));
    if (edit == nullptr) return nullptr;
    if (index.column() == ImportDialog::kName) edit->setMaxLength(static_cast<int>(kNameBytes));
    if (index.column() == ImportDialog::kType)
      edit->setValidator(new QRegularExpressionValidator(QRegularExpression("[ -~]{0,4}"), edit));
    return edit;
  }
};

}  // namespace

ImportDialog::ImportDialog(QWidget* parent, const std::vector<std::string>& audio_paths,
                           ImportDialogPorts ports)
    : QDialog(parent), ports_(std::move(ports)) {
  setWindowTitle(QStringLiteral("Import Audio"));
  setObjectName(QStringLiteral("importAudioDialog"));
  folder_ = remembered_import_folder(ports_.settings);
  for (const std::string& audio : audio_paths) {
    Row row;
    row.audio = audio;
    row.settings.name = header_name_for_file(audio);
    row.settings.pace = ports_.pace;
    rows_.push_back(std::move(row));
  }
  queue_ = std::make_unique<PrepareQueue>([this](RowSound result) {
    QMetaObject::invokeMethod(
        this, [this, r = std::move(result)]() mutable { take(std::move(r)); },
        Qt::QueuedConnection);
  });
  auto* layout = new QVBoxLayout(this);
  build_table();
  layout->addWidget(table_, 1);
  layout->addWidget(build_settings());
  layout->addWidget(build_folder_line());
  build_buttons(layout);
  for (int r = 0; r < rows(); ++r) {
    show_row(r);
    ask(r, PrepareQueue::Cause::kFill);
  }
  if (rows() > 0) table_->selectRow(0);
  on_selection();
  update_play_buttons();
  // Whatever plays stops with the dialog (Import, Cancel, or the window closing it).
  connect(this, &QDialog::finished, this, [this] {
    if (playing_ != Playing::kNothing) stop_playing();
  });
  fit_columns();
}

ImportDialog::~ImportDialog() {
  queue_.reset();
}

void ImportDialog::build_table() {
  table_ = new QTableWidget(rows(), kColumns, this);
  table_->setObjectName(QStringLiteral("importRows"));
  table_->setHorizontalHeaderLabels(
      {"Audio File", "Name", "Type", "Rate", "Trim", "Level", "Blocks", "Down-load", "SNR"});
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  table_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                          QAbstractItemView::AnyKeyPressed);
  table_->setItemDelegate(new LimitedEditDelegate(table_));
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setStretchLastSection(false);
  table_->setWordWrap(true);
  table_->setTextElideMode(Qt::ElideNone);
  for (int r = 0; r < rows(); ++r)
    for (int c = 0; c < kColumns; ++c) {
      auto* item = new QTableWidgetItem;
      Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
      if (c == kName || c == kType) flags |= Qt::ItemIsEditable;
      item->setFlags(flags);
      if (c >= kBlocks) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      table_->setItem(r, c, item);
    }
  connect(table_, &QTableWidget::cellChanged, this, &ImportDialog::on_item_changed);
  connect(table_, &QTableWidget::itemSelectionChanged, this, &ImportDialog::on_selection);
}

QWidget* ImportDialog::build_settings() {
  auto* panel = new QWidget(this);
  auto* line = new QHBoxLayout(panel);
  line->setContentsMargins(0, 0, 0, 0);
  line->addWidget(new QLabel(QStringLiteral("For the selected rows:"), panel));
  line->addWidget(new QLabel(QStringLiteral("Type"), panel));
  type_ = new QLineEdit(panel);
  type_->setObjectName(QStringLiteral("type"));
  type_->setValidator(new QRegularExpressionValidator(QRegularExpression("[ -~]{0,4}"), type_));
  type_->setMaxLength(4);
  type_->setFixedWidth(type_->fontMetrics().horizontalAdvance("WWWW") + 16);
  line->addWidget(type_);
  line->addWidget(new QLabel(QStringLiteral("Rate"), panel));
  rate_ = new QComboBox(panel);
  rate_->setObjectName(QStringLiteral("rate"));
  for (int p = 0; p <= kMaxImportPitch; ++p) rate_->addItem(rate_text(p), p);
  line->addWidget(rate_);
  trim_ = new QCheckBox(QStringLiteral("Trim"), panel);
  trim_->setObjectName(QStringLiteral("trim"));
  line->addWidget(trim_);
  line->addWidget(new QLabel(QStringLiteral("Level"), panel));
  level_ = new QComboBox(panel);
  level_->setObjectName(QStringLiteral("level"));
  level_->addItem(QStringLiteral("as is"), static_cast<int>(LevelMode::kAsIs));
  level_->addItem(QStringLiteral("peak"), static_cast<int>(LevelMode::kPeak));
  level_->addItem(QStringLiteral("loudness"), static_cast<int>(LevelMode::kLoudness));
  level_->addItem(QStringLiteral("gain"), static_cast<int>(LevelMode::kGain));
  line->addWidget(level_);
  level_value_ = new QDoubleSpinBox(panel);
  level_value_->setObjectName(QStringLiteral("levelValue"));
  level_value_->setDecimals(1);
  level_value_->setRange(-60.0, 24.0);
  level_value_->setSingleStep(0.5);
  line->addWidget(level_value_);
  line->addStretch(1);

  connect(type_, &QLineEdit::textEdited, this, [this](const QString& text) {
    const std::string type = text.toStdString();
    if (valid_type(type)) for_selected([&](ImportSettings& s) { s.type = type; });
  });
  connect(rate_, &QComboBox::currentIndexChanged, this, [this](int index) {
    const int pitch = rate_->itemData(index).toInt();
    for_selected([&](ImportSettings& s) { s.pitch = pitch; });
  });
  connect(trim_, &QCheckBox::toggled, this,
          [this](bool on) { for_selected([&](ImportSettings& s) { s.trim = on; }); });
  auto level_changed = [this] {
    if (filling_) return;
    const LevelChoice level = level_from_panel();
    level_value_->setEnabled(level.mode == LevelMode::kLoudness || level.mode == LevelMode::kGain);
    level_value_->setSuffix(level.mode == LevelMode::kGain ? " dB" : " LUFS");
    for_selected([&](ImportSettings& s) { s.level = level; });
  };
  connect(level_, &QComboBox::currentIndexChanged, this, [this, level_changed] {
    if (filling_) return;
    {
      const QSignalBlocker quiet(level_value_);  // the value shown fits the mode: -16 LUFS, 0 dB
      const auto mode = static_cast<LevelMode>(level_->currentData().toInt());
      level_value_->setValue(mode == LevelMode::kGain ? 0.0 : -16.0);
    }
    level_changed();
  });
  connect(level_value_, &QDoubleSpinBox::valueChanged, this, level_changed);
  return panel;
}

QWidget* ImportDialog::build_folder_line() {
  auto* panel = new QWidget(this);
  auto* line = new QHBoxLayout(panel);
  line->setContentsMargins(0, 0, 0, 0);
  line->addWidget(new QLabel(QStringLiteral("Import folder:"), panel));
  folder_label_ = new QLabel(panel);
  folder_label_->setObjectName(QStringLiteral("importFolder"));
  folder_label_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  line->addWidget(folder_label_, 1);
  auto* change = new QPushButton(QStringLiteral("C&hange..."), panel);
  change->setObjectName(QStringLiteral("changeFolder"));
  line->addWidget(change);
  connect(change, &QPushButton::clicked, this, &ImportDialog::change_folder);
  show_folder();
  return panel;
}

void ImportDialog::show_folder() {
  folder_label_->setText(folder_.empty() ? QStringLiteral("next to each audio file")
                                         : QFile::decodeName(folder_.c_str()));
}

void ImportDialog::change_folder() {
  std::optional<std::string> folder = choose_import_folder(this, folder_);
  if (!folder) return;
  folder_ = *folder;
  if (ports_.settings != nullptr) ports_.settings->write(kImportFolderValue, folder_);
  show_folder();
}

void ImportDialog::show_row(int r) {
  const Row& row = rows_[static_cast<std::size_t>(r)];
  filling_ = true;
  table_->item(r, kAudio)->setText(utf8(std::string(file_name_of(row.audio))));
  table_->item(r, kAudio)->setToolTip(QFile::decodeName(row.audio.c_str()));
  table_->item(r, kName)->setText(utf8(header_name_from(row.settings.name.value_or(""))));
  table_->item(r, kType)->setText(utf8(row.settings.type));
  table_->item(r, kRate)->setText(rate_text(row.settings.pitch));
  table_->item(r, kTrim)->setText(row.settings.trim ? QStringLiteral("on") : QStringLiteral("off"));
  filling_ = false;
  show_figures(r);
}

void ImportDialog::show_figures(int r) {
  const Row& row = rows_[static_cast<std::size_t>(r)];
  const bool current = row.answered == row.asked;
  const Result<PreparedSound>& sound = row.sound;
  filling_ = true;
  table_->item(r, kLevel)->setText(
      level_cell(row.settings.level, current && sound ? &sound->figures : nullptr));
  if (table_->columnSpan(r, kBlocks) > 1) table_->setSpan(r, kBlocks, 1, 1);
  if (!current) {
    for (int c : {kBlocks, kTime, kSnr}) table_->item(r, c)->setText(QStringLiteral("..."));
  } else if (!sound) {
    // The row says why its audio cannot be made a sound, over the three figures.
    table_->setSpan(r, kBlocks, 1, 3);
    table_->item(r, kBlocks)->setText(utf8(sound.message()));
    table_->item(r, kBlocks)->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  } else {
    const ImportedSound& f = sound->figures;
    table_->item(r, kBlocks)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    table_->item(r, kBlocks)->setText(QString::number(f.blocks));
    table_->item(r, kTime)->setText(QStringLiteral("%1 s").arg(f.download_seconds, 0, 'f', 1));
    table_->item(r, kSnr)->setText(QString::fromStdString(snr_text(f.snr_db)));
  }
  filling_ = false;
}

void ImportDialog::ask(int r, PrepareQueue::Cause cause) {
  Row& row = rows_[static_cast<std::size_t>(r)];
  row.asked = queue_->request(r, row.audio, row.settings, cause);
  show_figures(r);
  update_play_buttons();
}

void ImportDialog::take(RowSound result) {
  if (result.row < 0 || result.row >= rows()) return;
  Row& row = rows_[static_cast<std::size_t>(result.row)];
  if (result.request != row.asked) return;  // a later request is on its way
  row.answered = result.request;
  row.sound = std::move(result.sound);
  row.original = std::move(result.original);
  row.result = nullptr;
  if (row.sound) {
    row.result = std::make_shared<const std::vector<std::int16_t>>(std::move(row.sound->played));
    row.sound->played.clear();
  }
  show_figures(result.row);
  fit_columns();
  update_play_buttons();
}

bool ImportDialog::settled() const {
  for (const Row& row : rows_)
    if (row.answered != row.asked) return false;
  return true;
}

std::shared_ptr<const std::vector<std::int16_t>> ImportDialog::original(int r) const {
  return r >= 0 && r < rows() ? rows_[static_cast<std::size_t>(r)].original : nullptr;
}

std::shared_ptr<const std::vector<std::int16_t>> ImportDialog::result(int r) const {
  const bool ready =
      r >= 0 && r < rows() &&
      rows_[static_cast<std::size_t>(r)].answered == rows_[static_cast<std::size_t>(r)].asked;
  return ready ? rows_[static_cast<std::size_t>(r)].result : nullptr;
}

void ImportDialog::on_item_changed(int r, int column) {
  if (filling_ || r < 0 || r >= rows()) return;
  Row& row = rows_[static_cast<std::size_t>(r)];
  const std::string text = table_->item(r, column)->text().toStdString();
  if (column == kName) row.settings.name = text;
  if (column == kType && valid_type(text)) row.settings.type = text;
  show_row(r);  // the name as it will be written; a type that is not four characters goes back
  ask(r);
}

LevelChoice ImportDialog::level_from_panel() const {
  return {static_cast<LevelMode>(level_->currentData().toInt()), level_value_->value()};
}

void ImportDialog::for_selected(const std::function<void(ImportSettings&)>& change) {
  if (filling_) return;
  std::vector<int> which;
  for (const QModelIndex& index : table_->selectionModel()->selectedRows())
    which.push_back(index.row());
  if (which.empty() && table_->currentRow() >= 0) which.push_back(table_->currentRow());
  for (int r : which) {
    change(rows_[static_cast<std::size_t>(r)].settings);
    show_row(r);
    ask(r);
  }
  fit_columns();
}

// Every column as wide as its widest text, but a long audio file name wraps onto more lines
// rather than widening the table past a screen; the dialog grows to show every column.
void ImportDialog::fit_columns() {
  table_->resizeColumnsToContents();
  const QFontMetrics metrics = table_->fontMetrics();
  const int widest_audio = metrics.horizontalAdvance(QString(20, QChar('n')));
  if (table_->columnWidth(kAudio) > widest_audio) table_->setColumnWidth(kAudio, widest_audio);
  // A row's error, spread over the three figures, does not widen the first of them.
  const int pad = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1) + 2;
  int blocks = table_->horizontalHeader()->sectionSizeHint(kBlocks);
  for (int r = 0; r < rows(); ++r)
    if (table_->columnSpan(r, kBlocks) == 1)
      blocks = std::max(blocks, metrics.horizontalAdvance(table_->item(r, kBlocks)->text()) + pad);
  table_->setColumnWidth(kBlocks, blocks);
  table_->resizeRowsToContents();
  const int figures = blocks + table_->columnWidth(kTime) + table_->columnWidth(kSnr);
  for (int r = 0; r < rows(); ++r) {
    if (table_->columnSpan(r, kBlocks) == 1) continue;
    const QRect need = metrics.boundingRect(QRect(0, 0, figures - pad, 10000), Qt::TextWordWrap,
                                            table_->item(r, kBlocks)->text());
    table_->setRowHeight(r, std::max(table_->rowHeight(r), need.height() + pad));
  }
  int width = table_->verticalHeader()->isVisible() ? table_->verticalHeader()->width() : 0;
  width += 2 * table_->frameWidth() + table_->verticalScrollBar()->sizeHint().width();
  for (int c = 0; c < kColumns; ++c) width += table_->columnWidth(c);
  width += layout() != nullptr ? layout()->contentsMargins().left() * 2 : 24;
  const QScreen* screen = QGuiApplication::primaryScreen();
  const int most = screen != nullptr ? screen->availableGeometry().width() : 1200;
  const int wanted = std::min(std::max(width, 640), most);
  if (wanted > this->width() || height() < 300) resize(wanted, std::max(height(), 360));
}

// The panel shows the settings of the current row.
void ImportDialog::on_selection() {
  update_play_buttons();
  const int r = table_->currentRow();
  if (r < 0 || r >= rows()) return;
  const ImportSettings& s = rows_[static_cast<std::size_t>(r)].settings;
  filling_ = true;
  type_->setText(utf8(s.type));
  rate_->setCurrentIndex(s.pitch);
  trim_->setChecked(s.trim);
  level_->setCurrentIndex(static_cast<int>(s.level.mode));
  level_value_->setValue(s.level.mode == LevelMode::kLoudness || s.level.mode == LevelMode::kGain
                             ? s.level.value
                             : -16.0);
  level_value_->setEnabled(s.level.mode == LevelMode::kLoudness ||
                           s.level.mode == LevelMode::kGain);
  level_value_->setSuffix(s.level.mode == LevelMode::kGain ? " dB" : " LUFS");
  filling_ = false;
}

std::string short_folder(const std::string& folder) {
  std::string f = folder;
  while (f.size() > 1 && f.back() == '/') f.pop_back();
  const std::size_t slash = f.rfind('/');
  if (slash == std::string::npos || slash == 0) return f;
  return "/\u2026/" + f.substr(slash + 1);
}

}  // namespace brisca
