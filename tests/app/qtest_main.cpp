// The main of the window tests: `window_tests CLASS [Qt Test options...]` runs one registered
// test class; without a class it lists them. A program of one class runs it without its name.
#include <QApplication>
#include <QtTest>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/app/window_test_support.h"

namespace brisca::test {
namespace {

struct Entry {
  QtTestFactory make;
  bool use_96dpi;
};

std::map<std::string, Entry>& registry() {
  static std::map<std::string, Entry> entries;
  return entries;
}

std::string short_name(const char* name) {
  const char* colon = std::strrchr(name, ':');
  return colon ? colon + 1 : name;
}

}  // namespace

bool register_qtest(const char* name, QtTestFactory make, bool use_96dpi) {
  registry()[short_name(name)] = {make, use_96dpi};
  return true;
}

}  // namespace brisca::test

int main(int argc, char** argv) {
  using brisca::test::registry;
  const bool named = argc >= 2 && registry().count(argv[1]) != 0;
  if (!named && registry().size() != 1) {
    std::fprintf(stderr, "usage: %s CLASS [Qt Test options...]; the classes:\n", argv[0]);
    for (const auto& [name, entry] : registry()) std::fprintf(stderr, "  %s\n", name.c_str());
    return 2;
  }
  const auto& entry = named ? registry().at(argv[1]) : registry().begin()->second;
  QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
  // Qt Test's options follow the class name; Qt's own (-platform ...) are taken by QApplication.
  std::vector<char*> args{argv[0]};
  args.insert(args.end(), argv + (named ? 2 : 1), argv + argc);
  int count = static_cast<int>(args.size());
  QApplication app(count, args.data());
  if (entry.use_96dpi) app.setAttribute(Qt::AA_Use96Dpi, true);
  Q_INIT_RESOURCE(briscatool);
  std::unique_ptr<QObject> test(entry.make());
  return QTest::qExec(test.get(), count, args.data());
}
