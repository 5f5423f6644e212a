#include "app/gui/setup_dialogs.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <cstring>

#include "app/gui/pace_box.h"
#include "app/gui/window_layout.h"

namespace brisca {
namespace {

// Dialog units of an 8-point sans-serif: a quarter of the average character width across, an
// eighth of the line height down.
int across(int units) {
  return (units * 3 + 1) / 2;
}
int down(int units) {
  return (units * 13 + 4) / 8;
}

struct Shape {
  const char* title;
  int width;  // dialog units; every setup dialog is 95 high
  const char* in_label;
  const char* out_label;
  int in_id, out_id;
  int list_width;
  int ok_x, cancel_x;
};

constexpr Shape kMidiShape{
    "MIDI Setup", 186, "MIDI In Devices", "MIDI Out Devices", kMidiInListId, kMidiOutListId, 172,
    30,           103};
constexpr Shape kAudioShape{"Audio Setup",
                            223,
                            "Audio In Devices",
                            "Audio Out Devices",
                            kAudioInListId,
                            kAudioOutListId,
                            209,
                            47,
                            124};

QPushButton* add_button(QDialog& dialog, const char* text, int id, int x, int top) {
  auto* button = new QPushButton(QString::fromLatin1(text), &dialog);
  button->setGeometry(across(x), top, across(50), down(14));
  button->setProperty("controlId", id);
  return button;
}

void add_label(QDialog& dialog, const char* text, int y, int width) {
  auto* label = new QLabel(QString::fromLatin1(text), &dialog);
  label->setGeometry(across(7), down(y), across(width), down(9));
}

}  // namespace

SetupDialog::SetupDialog(Kind kind, DeviceChoices& choices, QWidget* parent)
    : QDialog(parent), kind_(kind), choices_(choices) {
  const Shape& shape = kind == Kind::Midi ? kMidiShape : kAudioShape;
  setWindowTitle(QString::fromLatin1(shape.title));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setFont(ui_font());
  setModal(true);
  add_label(*this, shape.in_label, 7, shape.list_width);
  in_list_ = add_list(shape.in_id, in_side(), 17, shape.list_width, pending_in_);
  add_label(*this, shape.out_label, 36, shape.list_width);
  out_list_ = add_list(shape.out_id, out_side(), 47, shape.list_width, pending_out_);
  const int buttons_top = kind == Kind::Midi ? add_pace_box(shape.list_width) : down(74);
  setFixedSize(across(shape.width), buttons_top + down(21));
  QPushButton* ok = add_button(*this, "OK", 1, shape.ok_x, buttons_top);
  ok->setDefault(true);
  QPushButton* cancel = add_button(*this, "Cancel", 2, shape.cancel_x, buttons_top);
  connect(ok, &QPushButton::clicked, this, [this] {
    apply();
    accept();
  });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

SetupDialog::Side SetupDialog::in_side() const {
  const bool midi = kind_ == Kind::Midi;
  const NameTable& table = midi ? choices_.midi_table() : choices_.audio_table();
  const GoneDevices& gone = choices_.gone();
  return {&table.in, midi ? &gone.midi_in : &gone.audio_in,
          midi ? choices_.current().midi_in : choices_.current().audio_in};
}

SetupDialog::Side SetupDialog::out_side() const {
  const bool midi = kind_ == Kind::Midi;
  const NameTable& table = midi ? choices_.midi_table() : choices_.audio_table();
  const GoneDevices& gone = choices_.gone();
  return {&table.out, midi ? &gone.midi_out : &gone.audio_out,
          midi ? choices_.current().midi_out : choices_.current().audio_out};
}

// The table's entries, then a gone choice's entry as not connected; the current choice chosen.
void SetupDialog::fill(QComboBox* list, const Side& side) {
  for (const std::string& entry : *side.entries) list->addItem(QString::fromStdString(entry));
  if (!side.gone->empty()) {
    list->addItem(QString::fromStdString(*side.gone + kNotConnectedSuffix));
    if (side.current == 0) {
      list->setCurrentIndex(list->count() - 1);
      return;
    }
  }
  list->setCurrentIndex(side.current);
}

QComboBox* SetupDialog::add_list(int id, const Side& side, int y, int width, int& pending) {
  auto* list = new QComboBox(this);
  list->setProperty("controlId", id);
  list->setEditable(false);
  fill(list, side);
  list->setGeometry(across(7), down(y), across(width), list->sizeHint().height());
  pending = list->currentIndex();
  connect(list, &QComboBox::currentIndexChanged, this, [&pending](int index) {
    if (index >= 0) pending = index;
  });
  return list;
}

// The list anew, the entry chosen in it chosen again by its text: as not connected when it went,
// and at its own entry when a gone one came back.
void SetupDialog::refill(QComboBox* list, const Side& side, int& pending) {
  QString chosen = list->itemText(pending);
  if (chosen.endsWith(QLatin1String(kNotConnectedSuffix)))
    chosen.chop(static_cast<int>(std::strlen(kNotConnectedSuffix)));
  const QSignalBlocker quiet(list);
  list->clear();
  fill(list, side);
  const int at = find_entry(*side.entries, chosen.toStdString());
  if (at > 0 || chosen == QString::fromStdString(side.entries->front())) list->setCurrentIndex(at);
  pending = list->currentIndex();
}

void SetupDialog::relisted() {
  refill(in_list_, in_side(), pending_in_);
  refill(out_list_, out_side(), pending_out_);
  if (pace_box_ != nullptr) show_pace(pending_out_);
}

void SetupDialog::show_pace(int index) {
  const std::vector<std::string>& outputs = choices_.midi_table().out;
  if (index >= 0 && static_cast<std::size_t>(index) < outputs.size())
    pace_box_->show_output(index, outputs[static_cast<std::size_t>(index)]);
}

// The pace of the output chosen in the list, below it; returns where the buttons go.
int SetupDialog::add_pace_box(int width) {
  pace_box_ = new PaceBox(choices_.store(), this);
  show_pace(pending_out_);
  connect(out_list_, &QComboBox::currentIndexChanged, this,
          [this](int index) { show_pace(index); });
  const int top = down(64);
  pace_box_->setGeometry(across(7), top, across(width), down(78));
  return top + pace_box_->height() + down(7);
}

// A gone device left chosen stays the choice.
void SetupDialog::apply() {
  if (pace_box_ != nullptr) pace_box_->store_edits();
  const auto chosen = [](int pending, const Side& side) {
    return pending < static_cast<int>(side.entries->size()) ? pending : DeviceChoices::kKeepGone;
  };
  const int in = chosen(pending_in_, in_side());
  const int out = chosen(pending_out_, out_side());
  if (kind_ == Kind::Midi)
    choices_.apply_midi_setup(in, out);
  else
    choices_.apply_audio_setup(in, out);
}

void DialogSetupHooks::run(SetupDialog::Kind kind, QWidget* parent) {
  const bool moved =
      kind == SetupDialog::Kind::Midi ? choices_.relist_midi() : choices_.relist_audio();
  SetupDialog dialog(kind, choices_, parent);
  open_ = &dialog;
  const bool accepted = dialog.exec() == QDialog::Accepted;
  open_ = nullptr;
  if ((accepted || moved) && changed_) changed_();
}

void DialogSetupHooks::relisted() {
  if (open_ != nullptr) open_->relisted();
  if (changed_) changed_();
}

}  // namespace brisca
