#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "archive/archive_types.h"

namespace qm::archive {

class BaseArchiver;

// The component's event types. Every handler gets the component first; reference parameters
// are the answers a handler may give. An empty std::function means "not assigned", and the
// component's dispatcher then supplies the default or a built-in prompt.
using NotifyEvent = std::function<void(BaseArchiver& sender)>;
using FileProgressEvent =
    std::function<void(BaseArchiver& sender, const std::u16string& file_name, double progress,
                       ProcessOperation operation, ProgressPhase phase, bool& cancel)>;
using ProgressEvent =
    std::function<void(BaseArchiver& sender, double progress, ProcessOperation operation,
                       ProgressPhase phase, bool& cancel)>;
using CopyTempFileProgressEvent =
    std::function<void(BaseArchiver& sender, double progress, ProgressPhase phase, bool& cancel)>;
using ConfirmOverwriteEvent =
    std::function<void(BaseArchiver& sender, const std::u16string& source_file_name,
                       std::u16string& dest_file_name, bool& confirm)>;
using ConfirmProcessFileEvent =
    std::function<void(BaseArchiver& sender, const std::u16string& file_name,
                       ProcessOperation operation, bool& confirm)>;
using PasswordEvent = std::function<void(BaseArchiver& sender, const std::u16string& file_name,
                                         std::string& new_password, bool& skip_file)>;
using ProcessFileFailureEvent = std::function<void(
    BaseArchiver& sender, const std::u16string& file_name, ProcessOperation operation,
    int native_error, int error_code, const std::u16string& error_message, Action& action)>;
using RequestBlankVolumeEvent = std::function<void(BaseArchiver& sender, int volume_number,
                                                   std::u16string& volume_file_name, bool& cancel)>;
using RequestFirstVolumeEvent =
    std::function<void(BaseArchiver& sender, std::u16string& volume_file_name, bool& cancel)>;
using RequestLastVolumeEvent =
    std::function<void(BaseArchiver& sender, std::u16string& volume_file_name, bool& cancel)>;
using RequestMiddleVolumeEvent = std::function<void(
    BaseArchiver& sender, int volume_number, std::u16string& volume_file_name, bool& cancel)>;
using DiskFullEvent = std::function<void(BaseArchiver& sender, int volume_number,
                                         const std::u16string& volume_file_name, bool& cancel)>;
using ProcessVolumeFailureEvent =
    std::function<void(BaseArchiver& sender, ProcessOperation operation, int volume_number,
                       const std::u16string& volume_file_name, bool& cancel)>;
using StoreFileEvent =
    std::function<void(BaseArchiver& sender, std::u16string& file_name, std::int32_t& file_attr,
                       std::string& comment, const std::u16string& original_file_name)>;
using ExtractFileEvent = std::function<void(BaseArchiver& sender, std::u16string& file_name,
                                            std::uint32_t& file_attr, const std::string& comment)>;

}  // namespace qm::archive
