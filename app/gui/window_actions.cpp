#include "app/gui/window_actions.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QWidget>
#include <initializer_list>
#include <utility>

#include "app/gui/window_layout.h"

namespace brisca {
namespace {

QAction* make_action(QWidget* window, const char* text) {
  return new QAction(QString::fromLatin1(text), window);
}

QMenu* add_menu(QMenuBar* bar, const char* title, std::initializer_list<QAction*> items) {
  QMenu* menu = bar->addMenu(QString::fromLatin1(title));
  for (QAction* item : items) menu->addAction(item);
  return menu;
}

}  // namespace

WindowActions make_window_actions(QWidget* window, QMenuBar* bar, QWidget* list) {
  WindowActions a;
  a.open = make_action(window, "&Open...");
  a.import_audio = make_action(window, "Import &Audio...");
  a.import_folder = make_action(window, "Import &Folder...");
  a.receive_sounds = make_action(window, "&Receive Sounds...");
  a.exit = make_action(window, "E&xit");
  a.midi_setup = make_action(window, "&MIDI...");
  a.audio_setup = make_action(window, "&Audio...");
  a.test_cable = make_action(window, "&Test Cable...");
  a.usage = make_action(window, "&Usage...");
  a.about = make_action(window, "&About...");
  a.listen = make_action(window, "Listen");
  a.select_one = make_action(window, "Select One");
  a.select_all = make_action(window, "Select All");
  a.clear_all = make_action(window, "Clear All");
  a.send = make_action(window, "Send File(s)");
  a.stop = make_action(window, "Stop");
  a.midi_mon = make_action(window, "MIDI Mon");
  a.clear_data = make_action(window, "Clear Data");

  QMenu* file =
      add_menu(bar, "&File", {a.open, a.import_audio, a.import_folder, a.receive_sounds, a.exit});
  add_menu(bar, "&Setup", {a.midi_setup, a.audio_setup, a.test_cable});
  add_menu(bar, "&Help", {a.usage, a.about});
  a.list = add_list_actions(bar, list);
  a.kits = add_kit_actions(file, a.open, a.exit);
  return a;
}

void connect_buttons(const Controls& controls, const WindowActions& actions, QWidget* list) {
  const std::pair<int, QAction*> buttons[] = {
      {kListenId, actions.listen},
      {kSelectOneId, actions.select_one},
      {kSelectAllId, actions.select_all},
      {kClearAllId, actions.clear_all},
      {kSendId, actions.send},
      {kStopId, actions.stop},
      {kMidiMonId, actions.midi_mon},
      {kClearDataId, actions.clear_data},
  };
  for (const auto& [id, action] : buttons) {
    auto found = controls.buttons.find(id);
    if (found == controls.buttons.end()) continue;
    QObject::connect(found->second, &QPushButton::clicked, action, [action, list] {
      action->trigger();
      if (list != nullptr) list->setFocus();
    });
  }
}

}  // namespace brisca
