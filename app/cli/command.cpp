// The form every subcommand's parser shares, apart from the dispatch of cli.cpp, so that other
// front ends of the same subcommands (the node command line of the WebAssembly build) take it.
#include <charconv>
#include <cmath>
#include <ostream>
#include <string>

#include "app/cli/cli.h"
#include "app/cli/number_text.h"

namespace brisca::cli {
namespace {

// The usage line and option list of --help, with the program's name in front of the
// subcommand's ("briscatool send" rather than "send").
class CommandFormatter : public CLI::Formatter {
 public:
  std::string make_usage(const CLI::App* app, std::string name) const override {
    return CLI::Formatter::make_usage(app, "briscatool " + name);
  }
};

}  // namespace

std::unique_ptr<CLI::App> make_command(std::string_view name, std::string_view description) {
  auto app = std::make_unique<CLI::App>(std::string(description), std::string(name));
  app->formatter(std::make_shared<CommandFormatter>());
  app->get_formatter()->column_width(28);
  return app;
}

std::optional<double> plain_decimal(std::string& text, bool whole) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (!whole) {
    double number = 0;
    auto [stop, ec] = decimal_from_chars(begin, end, number);
    if (ec != std::errc() || stop != end || !std::isfinite(number)) return std::nullopt;
    text = shortest_text(number);
    return number;
  }
  long long value = 0;
  auto [stop, ec] = std::from_chars(begin, end, value);
  if (ec != std::errc() || stop != end) return std::nullopt;
  char plain[32];
  const std::to_chars_result written = std::to_chars(plain, plain + sizeof plain, value);
  text.assign(plain, written.ptr);
  return static_cast<double>(value);
}

CLI::Validator positive(const std::string& what, bool whole) {
  return CLI::Validator(
      [what, whole](std::string& text) -> std::string {
        const std::string given = text;
        const std::optional<double> value = plain_decimal(text, whole);
        if (!value || !(*value > 0) || *value > 1e9)
          return "needs a positive " + std::string(whole ? "whole number" : "number") + " of " +
                 what + ", not \"" + given + "\"";
        return {};
      },
      whole ? "N>0" : "S>0");
}

CLI::Validator decimal_check(const std::string& what, std::function<bool(double)> fits,
                             const std::string& name) {
  return CLI::Validator(
      [what, fits = std::move(fits)](std::string& text) -> std::string {
        const std::string given = text;
        const std::optional<double> value = plain_decimal(text, false);
        if (!value || (fits && !fits(*value))) return "needs " + what + ", not \"" + given + "\"";
        return {};
      },
      name);
}

int parse_command(CLI::App& app, const Args& args, Streams io) {
  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    io.out << app.help();
    return kOk;
  } catch (const CLI::ParseError& e) {
    io.err << "briscatool " << app.get_name() << ": " << e.what() << '\n'
           << CommandFormatter{}.make_usage(&app, app.get_name()) << "Run \"briscatool "
           << app.get_name() << " --help\" for every option.\n";
    return kUsage;
  }
  return -1;
}

}  // namespace brisca::cli
