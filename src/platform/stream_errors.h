#pragma once

#include <stdexcept>
#include <string>

namespace qm::platform {

// The stream layer's own failures. They are not archive errors: the archive's per-item loop
// offers archive errors to its failure event but lets these end the operation.
class StreamError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A file that could not be opened or created: "Cannot open file "%s". %s" and
// "Cannot create file "%s". %s", with the fully expanded path and the system's error text.
class FileStreamError : public StreamError {
 public:
  using StreamError::StreamError;
};

class FileOpenError : public FileStreamError {
 public:
  FileOpenError(const std::string& expanded_path, const std::string& system_text)
      : FileStreamError("Cannot open file \"" + expanded_path + "\". " + system_text) {}
};

class FileCreateError : public FileStreamError {
 public:
  FileCreateError(const std::string& expanded_path, const std::string& system_text)
      : FileStreamError("Cannot create file \"" + expanded_path + "\". " + system_text) {}
};

class ReadError : public StreamError {
 public:
  ReadError() : StreamError("Stream read error") {}
  using StreamError::StreamError;
};

class WriteError : public StreamError {
 public:
  WriteError() : StreamError("Stream write error") {}
  using StreamError::StreamError;
};

}  // namespace qm::platform
