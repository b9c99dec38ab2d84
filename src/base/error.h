// The one error type of late-bound calls and the error trap that every procedure uses.
//
// No error ever reaches a caller, the core or a script: a procedure runs its body through
// trap() (or trapped() when it returns a value), which catches whatever is thrown and writes
// "!!! ERROR " + location + ": " + number + " " + description to the log, then goes on.
#pragma once

#include <QString>
#include <exception>
#include <string>
#include <utility>

namespace jex {

// Error numbers follow the automation conventions scripts know; every number the program
// raises is named here.
namespace err {
constexpr int InvalidCall = 5;  // invalid procedure call or argument
constexpr int OutOfMemory = 7;  // a peer holds as many of our objects as it may
constexpr int SubscriptOutOfRange = 9;
constexpr int TypeMismatch = 13;
constexpr int OutOfStack = 28;  // default members that lead to objects without end
constexpr int FileNotFound = 53;
constexpr int PermissionDenied = 70;  // the caller may not use this member
constexpr int FileError = 75;         // path/file access error
constexpr int ObjectRequired = 424;
constexpr int CannotCreateObject = 429;  // nobody serves the identifier
constexpr int UnknownMember = 438;       // object doesn't support this property or method
constexpr int WrongArguments = 450;      // wrong number of arguments or invalid property assignment
constexpr int DuplicateKey = 457;        // the key is already in the collection
constexpr int ServerUnavailable = 462;   // the other side vanished
constexpr int Timeout = -2147417848;     // RPC_E_DISCONNECTED-like: the call did not return in time
}  // namespace err

class Error : public std::exception {
 public:
  Error(int number, QString description)
      : number_(number), description_(std::move(description)), what_(description_.toStdString()) {}
  int number() const noexcept { return number_; }
  const QString& description() const noexcept { return description_; }
  const char* what() const noexcept override { return what_.c_str(); }

 private:
  int number_;
  QString description_;
  std::string what_;
};

// Logs the exception currently being handled for `location`. Call only inside a catch block.
void logCurrentException(const char* location) noexcept;

// Runs fn; any exception is logged for location and swallowed. Returns false when one was.
template <class F>
bool trap(const char* location, F&& fn) noexcept {
  try {
    std::forward<F>(fn)();
    return true;
  } catch (...) {
    logCurrentException(location);
    return false;
  }
}

// Runs fn and returns its result; on any exception logs it and returns fallback.
template <class T, class F>
T trapped(const char* location, T fallback, F&& fn) noexcept {
  try {
    return std::forward<F>(fn)();
  } catch (...) {
    logCurrentException(location);
    return fallback;
  }
}

}  // namespace jex
