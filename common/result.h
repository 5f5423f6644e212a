// The core's one way of saying that something failed: an Error carries a code a program can act
// on and the message a person reads, and a Result<T> holds either the value or the Error.
// Library exceptions are caught where the library is called and become an Error there.
#pragma once

#include <string>
#include <utility>
#include <variant>

namespace brisca {

enum class ErrorCode {
  InvalidArgument,  // the caller asked for something that cannot be
  NotFound,         // a file, folder or device that is not there
  Io,               // reading or writing failed (the message says why)
  BadFile,          // a file that is there but not what it should be
  Exists,           // a file that is there and may not be replaced
  TooLong,          // more than what it goes into holds
  Damaged,          // a sound file that is cut short or holds fewer blocks than it says
  NoMemory,
  DeviceBusy,    // a device someone else holds
  DeviceFailed,  // a device that refused or stopped working
  DeviceLost,    // a device that went away
  NotReady,      // a device with no room now: nothing was queued, the same call may succeed later
  StillPlaying,  // a buffer the device still holds: wait for its done report
  Cancelled,     // the user or the caller stopped it
  Unsupported,
};

struct Error {
  ErrorCode code;
  std::string message;
  bool operator==(const Error&) const = default;
};

template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : data_(std::in_place_index<0>, std::move(value)) {}      // NOLINT: implicit
  Result(Error error) : data_(std::in_place_index<1>, std::move(error)) {}  // NOLINT: implicit

  bool ok() const { return data_.index() == 0; }
  explicit operator bool() const { return ok(); }

  T& value() & { return std::get<0>(data_); }
  const T& value() const& { return std::get<0>(data_); }
  T&& value() && { return std::get<0>(std::move(data_)); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }

  const Error& error() const { return std::get<1>(data_); }
  ErrorCode code() const { return error().code; }
  const std::string& message() const { return error().message; }

 private:
  std::variant<T, Error> data_;
};

template <>
class [[nodiscard]] Result<void> {
 public:
  Result() = default;
  Result(Error error) : error_(std::move(error)), failed_(true) {}  // NOLINT: implicit

  bool ok() const { return !failed_; }
  explicit operator bool() const { return ok(); }
  const Error& error() const { return error_; }
  ErrorCode code() const { return error_.code; }
  const std::string& message() const { return error_.message; }

 private:
  Error error_{ErrorCode::InvalidArgument, {}};
  bool failed_ = false;
};

using Status = Result<void>;

inline Error make_error(ErrorCode code, std::string message) {
  return Error{code, std::move(message)};
}

}  // namespace brisca
