// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel/file_reasons.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <cerrno>

#include "settings/settings_file.h"

namespace sonlet {

QString FileReasonText(int error) {
  switch (error) {
    case ENOENT:
      return QCoreApplication::translate("sonlet::FileReasons", "no existe");
    case EACCES:
    case EPERM:
      return QCoreApplication::translate("sonlet::FileReasons", "no tiene permiso para ello");
    case EISDIR:
      return QCoreApplication::translate("sonlet::FileReasons", "es una carpeta");
    case ENOTDIR:
      return QCoreApplication::translate("sonlet::FileReasons",
                                         "una parte de su ruta no es una carpeta");
    case EROFS:
      return QCoreApplication::translate("sonlet::FileReasons",
                                         "está en un disco que solo se puede leer");
    case ENOSPC:
    case EDQUOT:
      return QCoreApplication::translate("sonlet::FileReasons", "no queda sitio en el disco");
    case kNotARegularFile:
      return QCoreApplication::translate(
          "sonlet::FileReasons",
          "no es un archivo normal (es un dispositivo, una tubería o un socket)");
    case kFileTooLarge:
      return QCoreApplication::translate("sonlet::FileReasons",
                                         "ocupa más de %1 KiB, mucho más que un archivo así")
          .arg(kSettingsFileLimit / 1024);
    case kForeignLink:
      return QCoreApplication::translate(
          "sonlet::FileReasons",
          "es un enlace simbólico de otro usuario en una carpeta compartida, y Sonlet no escribe "
          "a través de él; borre el enlace o use otra carpeta");
    default:
      return QCoreApplication::translate("sonlet::FileReasons", "el sistema lo impide (error %1)")
          .arg(error);
  }
}

QString CalibrationProblemText(const std::string& path, const CalibrationProblem& problem) {
  using Kind = CalibrationProblem::Kind;
  const QString file = QString::fromStdString(path);
  const QString line = QString::number(problem.line);
  switch (problem.kind) {
    case Kind::kNone:
      return QString();
    case Kind::kCannotOpen:
      if (problem.error == ENOENT) {
        return QCoreApplication::translate("sonlet::FileReasons", "no existe el archivo «%1»")
            .arg(file);
      }
      return QCoreApplication::translate("sonlet::FileReasons", "no se puede abrir «%1»: %2")
          .arg(file, FileReasonText(problem.error));
    case Kind::kNotACalibration:
      return QCoreApplication::translate(
                 "sonlet::FileReasons",
                 "«%1» no es una calibración de Sonlet (la línea %2 debería ser "
                 "«sonlet-calibration %3»)")
          .arg(file, line, QString::number(kCalibrationVersion));
    case Kind::kOtherVersion:
      return QCoreApplication::translate(
                 "sonlet::FileReasons",
                 "«%1» es de la versión %2, y este Sonlet lee la versión %3; haga la calibración "
                 "de nuevo")
          .arg(file, QString::number(problem.version), QString::number(kCalibrationVersion));
    case Kind::kNotAVowel:
      return QCoreApplication::translate(
                 "sonlet::FileReasons",
                 "en «%1», línea %2, «%3» no es una de las vocales a, e, i, o, u")
          .arg(file, line, QString::fromStdString(problem.word));
    case Kind::kNumbers:
      return QCoreApplication::translate(
                 "sonlet::FileReasons",
                 "en «%1», línea %2, faltan o sobran números: tras la vocal van siete (F1, F2 y "
                 "F3 en Hz, sus dispersiones y las pasadas)")
          .arg(file, line);
    case Kind::kFrequencies:
      return QCoreApplication::translate(
                 "sonlet::FileReasons",
                 "en «%1», línea %2, F1, F2 y F3 deben estar entre 50 y 4000 Hz (F3 y su "
                 "dispersión pueden ser 0)")
          .arg(file, line);
    case Kind::kSpreads:
      return QCoreApplication::translate(
                 "sonlet::FileReasons",
                 "en «%1», línea %2, las dispersiones deben estar entre 0,07 (F1), 0,05 (F2, F3) "
                 "y 1")
          .arg(file, line);
    case Kind::kVowelTwice:
      return QCoreApplication::translate("sonlet::FileReasons",
                                         "en «%1», línea %2, la vocal %3 aparece por segunda vez")
          .arg(file, line, QChar::fromLatin1(problem.vowel));
    case Kind::kEmpty:
      return QCoreApplication::translate("sonlet::FileReasons", "«%1» está vacío").arg(file);
    case Kind::kVowelMissing:
      return QCoreApplication::translate("sonlet::FileReasons",
                                         "«%1» no tiene ninguna línea para la vocal %2")
          .arg(file, QChar::fromLatin1(problem.vowel));
  }
  return QString();
}

QString WriteReasonText(const std::string& path, int error) {
  if (path.empty()) {
    return QCoreApplication::translate(
        "sonlet::FileReasons",
        "no se sabe dónde está su carpeta de configuración (no están definidas ni HOME ni "
        "XDG_CONFIG_HOME)");
  }
  return QCoreApplication::translate("sonlet::FileReasons", "no se puede escribir «%1»: %2")
      .arg(QString::fromStdString(path), FileReasonText(error));
}

QString RemoveReasonText(const std::string& path, int error) {
  return QCoreApplication::translate("sonlet::FileReasons", "no se puede borrar «%1»: %2")
      .arg(QString::fromStdString(path), FileReasonText(error));
}

QString RecordingReasonText(const std::string& path) {
  const QString file = QString::fromStdString(path);
  const QFileInfo info(file);
  QString reason;
  if (!info.exists()) {
    reason = FileReasonText(ENOENT);
  } else if (info.isDir()) {
    reason = FileReasonText(EISDIR);
  } else if (!info.isReadable()) {
    reason = FileReasonText(EACCES);
  } else {
    reason = QCoreApplication::translate(
        "sonlet::FileReasons",
        "no es un sonido que Sonlet sepa leer, no contiene sonido o su frecuencia de muestreo "
        "no se puede convertir");
  }
  return QCoreApplication::translate(
             "sonlet::FileReasons",
             "No se puede escuchar la grabación «%1»: %2.\n\nIndique un archivo de sonido (WAV, "
             "FLAC, OGG…) que exista y se pueda leer.")
      .arg(file, reason);
}

}  // namespace sonlet
