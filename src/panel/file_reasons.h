// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <string>

#include "calibration/calibration_file.h"

namespace sonlet {

// Why a file the panel reads or writes cannot be used, in the panel's language. The readers
// give their reasons in English for the terminal, where they go too; a box says them in the
// words of the sentence around them.

// The reason behind an error number or one of settings_file.h's own (kFileTooLarge, ...).
QString FileReasonText(int error);

// Why the calibration file at `path` cannot be used.
QString CalibrationProblemText(const std::string& path, const CalibrationProblem& problem);

// Why the file at `path` cannot be saved (the reason ReplaceSettingsFile gave).
QString WriteReasonText(const std::string& path, int error);

// Why the file at `path` cannot be removed.
QString RemoveReasonText(const std::string& path, int error);

// Why the recording at `path` cannot be listened to, as far as the file itself tells.
QString RecordingReasonText(const std::string& path);

}  // namespace sonlet
