#pragma once

#include <QString>
#include <QStringList>

/// Exit statuses of tr5906ctl.
enum ExitStatus { kExitSuccess = 0, kExitFailure = 1, kExitUsage = 2 };

/// The parsed command line of tr5906ctl.
struct CliOptions {
  QString command;         ///< "read", "write", ...
  QStringList arguments;   ///< the command's own positional arguments
  QString port;            ///< --port: "COM7", "7" or a device path
  QString link;            ///< --link: the link format; empty for the image's own
  int retries = 0;         ///< --retries: Retry answers to the Retry/Cancel question
  QString settingsFile;    ///< --settings: a settings file instead of the normal store
  bool english = false;    ///< --english: message boxes in English
  QString output;          ///< -o
  QString input;           ///< -i
  bool hasAdjust = false;  ///< --adjust given
  int adjust = 0;          ///< --adjust: the adjust byte (0 to 255)
  bool json = false;       ///< show --json
  bool defaults = false;   ///< show --defaults
  bool check = false;      ///< update --check
  int mapNumber = 0;       ///< ports --map N DEVICE
  QString mapDevice;
  bool service = false;   ///< --service: the extended block and serial number too
  bool verify = false;    ///< write --verify
  QStringList ports;      ///< provision: every --port
  QString config;         ///< provision --config
  QString firmware;       ///< provision --firmware
  QString db;             ///< --db: the record's database
  QString firstSerial;    ///< provision --first-serial
  bool loop = false;      ///< provision --loop
  bool renumber = false;  ///< provision --renumber
  bool csv = false;       ///< records --csv

  QString station;         ///< provision --station (empty: the host name)
  QString expectFirmware;  ///< provision --expect-firmware
  bool summary = false;    ///< records --summary

  /// Parses the arguments (program name first). False with a one-line reason
  /// on bad usage; `help` is set for --help.
  static bool Parse(const QStringList& args, CliOptions* options, QString* error, bool* help);
  /// The --help text.
  static QString Usage();
};
