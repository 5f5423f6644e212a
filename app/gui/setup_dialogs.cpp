#include "app/gui/setup_dialogs.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

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
  const NameTable& table = kind == Kind::Midi ? choices.midi_table() : choices.audio_table();
  const DeviceIndices& current = choices.current();
  setWindowTitle(QString::fromLatin1(shape.title));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setFont(ui_font());
  setModal(true);
  add_label(*this, shape.in_label, 7, shape.list_width);
  in_list_ =
      add_list(shape.in_id, table.in, kind == Kind::Midi ? current.midi_in : current.audio_in, 17,
               shape.list_width, pending_in_);
  add_label(*this, shape.out_label, 36, shape.list_width);
  out_list_ =
      add_list(shape.out_id, table.out, kind == Kind::Midi ? current.midi_out : current.audio_out,
               47, shape.list_width, pending_out_);
  const int buttons_top = kind == Kind::Midi ? add_pace_box(table.out, shape.list_width) : down(74);
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

QComboBox* SetupDialog::add_list(int id, const std::vector<std::string>& entries, int current,
                                 int y, int width, int& pending) {
  auto* list = new QComboBox(this);
  list->setProperty("controlId", id);
  list->setEditable(false);
  for (const std::string& entry : entries) list->addItem(QString::fromStdString(entry));
  list->setGeometry(across(7), down(y), across(width), list->sizeHint().height());
  list->setCurrentIndex(current);
  pending = current;
  connect(list, &QComboBox::currentIndexChanged, this, [&pending](int index) {
    if (index >= 0) pending = index;
  });
  return list;
}

// The pace of the output chosen in the list, below it; returns where the buttons go.
int SetupDialog::add_pace_box(const std::vector<std::string>& outputs, int width) {
  pace_box_ = new PaceBox(choices_.store(), this);
  const auto show = [this, outputs](int index) {
    if (index >= 0 && static_cast<std::size_t>(index) < outputs.size())
      pace_box_->show_output(index, outputs[static_cast<std::size_t>(index)]);
  };
  show(pending_out_);
  connect(out_list_, &QComboBox::currentIndexChanged, this, show);
  const int top = down(64);
  pace_box_->setGeometry(across(7), top, across(width), down(78));
  return top + pace_box_->height() + down(7);
}

void SetupDialog::apply() {
  if (pace_box_ != nullptr) pace_box_->store_edits();
  if (kind_ == Kind::Midi)
    choices_.apply_midi_setup(pending_in_, pending_out_);
  else
    choices_.apply_audio_setup(pending_in_, pending_out_);
}

void DialogSetupHooks::run(SetupDialog::Kind kind, QWidget* parent) {
  const bool moved =
      kind == SetupDialog::Kind::Midi ? choices_.relist_midi() : choices_.relist_audio();
  SetupDialog dialog(kind, choices_, parent);
  const bool accepted = dialog.exec() == QDialog::Accepted;
  if ((accepted || moved) && changed_) changed_();
}

}  // namespace brisca
