// The module's JavaScript face (embind): typed arrays in and out, plain objects for results.
#include <emscripten/bind.h>
#include <emscripten/val.h>

#include "cable/cable_check.h"
#include "cable/cable_ladder.h"
#include "monitor/monitor_display.h"
#include "web/core/page_api.h"
#include "web/core/wav_out.h"

namespace brisca::web {
namespace {

using emscripten::val;

std::vector<std::uint8_t> bytes_of(const val& array) {
  return emscripten::convertJSArrayToNumberVector<std::uint8_t>(array);
}

template <typename T>
val copy_out(const std::vector<T>& data) {
  return val(emscripten::typed_memory_view(data.size(), data.data())).call<val>("slice");
}

std::vector<std::string> strings_of(const val& array) {
  return emscripten::vecFromJSArray<std::string>(array);
}

val info(const val& paths) {
  const CommandOutput r = info_json(strings_of(paths));
  val o = val::object();
  o.set("status", r.status);
  o.set("json", r.out);
  o.set("errors", r.err);
  return o;
}

val render(const std::string& path) {
  std::vector<std::int16_t> samples;
  std::string error;
  val o = val::object();
  if (render_samples(path, samples, error)) o.set("samples", copy_out(samples));
  o.set("error", error);
  return o;
}

val messages(const std::string& path) {
  const FileMessages r = file_messages(path);
  val list = val::array();
  for (const auto& m : r.messages) list.call<void>("push", copy_out(m));
  val o = val::object();
  o.set("messages", list);
  o.set("whole", r.whole);
  o.set("problem", r.problem);
  return o;
}

val monitor(const val& message) {
  const MonitorLine line = monitor_line(bytes_of(message));
  val o = val::object();
  o.set("field", line.field);
  o.set("text", line.text);
  return o;
}

val ended_sounds(Receiver& receiver) {
  val list = val::array();
  for (const ReceivedSound& s : receiver.take_ended()) {
    val o = val::object();
    o.set("name", s.sound.name);
    o.set("whole", s.whole);
    o.set("reason", s.reason);
    o.set("missing", s.missing);
    o.set("path", s.path);
    o.set("error", s.written.message());
    o.set("blocks", s.sound.blocks_received);
    list.call<void>("push", o);
  }
  return list;
}

void receiver_feed(Receiver& receiver, const val& bytes, double now_ms) {
  receiver.feed(bytes_of(bytes), now_ms);
}

val import_sound(const std::string& path, const val& channels, double rate, const val& args) {
  std::vector<std::vector<float>> decoded;
  const int count = channels.isUndefined() || channels.isNull() ? 0 : channels["length"].as<int>();
  for (int c = 0; c < count; ++c)
    decoded.push_back(emscripten::convertJSArrayToNumberVector<float>(channels[c]));
  const ImportPreview r = prepare_import(path, decoded, rate, strings_of(args));
  val o = val::object();
  o.set("error", r.error);
  if (!r.error.empty()) return o;
  o.set("line", r.line);
  o.set("blocks", r.result.blocks);
  o.set("seconds", r.result.seconds);
  o.set("downloadSeconds", r.result.download_seconds);
  o.set("snr", r.result.snr_db);
  o.set("snrText", snr_text(r.result.snr_db));
  o.set("gainDb", r.result.gain_db);
  o.set("loudness", r.result.loudness_lufs);
  o.set("file", copy_out(r.file));
  o.set("played", copy_out(r.played));
  o.set("original", copy_out(r.original));
  return o;
}

std::string monitor_label(int field) {
  return monitor_field_label(field);
}

val cable_bytes(std::uint32_t number) {
  return copy_out(cable_message(number));
}

void cable_feed(CableCheck& check, const val& bytes) {
  const std::vector<std::uint8_t> b = bytes_of(bytes);
  check.feed(b.data(), b.size());
}

// The paces a cable test that starts at chunk/interval tries, with their names.
val cable_paces(int chunk, int interval) {
  val list = val::array();
  for (const Pace& p : cable_paces_from(Pace{chunk, interval, 0})) {
    val o = val::object();
    o.set("chunk", p.chunk_bytes);
    o.set("interval", p.interval_ms);
    o.set("text", chunk_pace_text(p));
    list.call<void>("push", o);
  }
  return list;
}

val cable_count(const CableCheck& check, int pace) {
  const CableCount c = check.count(pace);
  val o = val::object();
  o.set("sent", c.sent);
  o.set("whole", c.whole);
  o.set("damaged", c.damaged);
  o.set("lost", c.lost);
  return o;
}

}  // namespace
}  // namespace brisca::web

EMSCRIPTEN_BINDINGS(briscatool) {
  using namespace brisca;
  using namespace brisca::web;
  emscripten::function("info", &info);
  emscripten::function("render", &render);
  emscripten::function("messages", &messages);
  emscripten::function("messageMs", &message_ms);
  emscripten::function("paceProblem", &pace_problem_text);
  emscripten::function("paceText", &pace_description);
  emscripten::function("monitor", &monitor);
  emscripten::function("monitorLabel", &monitor_label);
  emscripten::function("importSound", &import_sound);
  emscripten::function("cableMessage", &cable_bytes);
  emscripten::function("cablePaces", &cable_paces);
  emscripten::class_<Receiver>("Receiver")
      .constructor<std::string>()
      .function("feed", &receiver_feed)
      .function("poll", &Receiver::poll)
      .function("stop", &Receiver::stop)
      .function("ended", &ended_sounds)
      .function("progress", &Receiver::progress_text);
  emscripten::class_<CableCheck>("CableCheck")
      .constructor<>()
      .function("addSent", &CableCheck::add_sent)
      .function("feed", &cable_feed)
      .function("cut", &CableCheck::cut)
      .function("close", &CableCheck::close)
      .function("settled", &CableCheck::settled)
      .function("count", &cable_count);
}
