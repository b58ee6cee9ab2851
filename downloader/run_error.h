#pragma once

// The one error model: a failing operation raises its run-time error number,
// the rest of the step is skipped and the run continues in the error handler.

namespace pat {

// Thrown by raise_error; caught only by the run frame.
struct RunError {
  int number;
};

// Thrown to end the run: after the closing wait, on the console's end request,
// or on "no" in the unhandled-error box. The top returns exit status 0.
struct ProgramExit {};

[[noreturn]] void raise_error(int number);

// Run-time error numbers met by the downloader.
namespace err {
constexpr int illegal_function_call = 5;
constexpr int bad_file_number = 52;
constexpr int file_not_found = 53;
constexpr int bad_file_mode = 54;
constexpr int file_already_open = 55;
constexpr int bad_record_length = 59;
constexpr int input_past_end = 62;
constexpr int bad_file_name = 64;
constexpr int device_unavailable = 68;
constexpr int permission_denied = 70;
constexpr int path_file_access = 75;
constexpr int path_not_found = 76;
}  // namespace err

}  // namespace pat
