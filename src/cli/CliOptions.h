#pragma once

#include "production/RecordFilter.h"

#include <QString>
#include <QStringList>

/// Exit statuses of tr5906ctl.
enum ExitStatus { kExitSuccess = 0, kExitFailure = 1, kExitUsage = 2 };

/// The parsed command line of tr5906ctl. Which options each command takes,
/// and their help, are in CommandTable.
struct CliOptions {
  QString command;         ///< "read", "write", ...
  QStringList arguments;   ///< the command's arguments (files), -i/--input/--config included
  QString port;            ///< --port: "COM7", "7" or a device path
  QString link;            ///< --link: the link format; empty for the image's own
  int retries = 0;         ///< --retries: Retry answers to the Retry/Cancel question
  QString settingsFile;    ///< --settings: a settings file instead of the normal store
  bool english = false;    ///< --english: lines and messages in English
  QString output;          ///< -o: the file to write; "-" for standard output
  QString input;           ///< the configuration file read ("-" for standard input)
  bool force = false;      ///< --force: overwrite a file that is not a configuration file
  bool hasAdjust = false;  ///< --adjust given
  int adjust = 0;          ///< --adjust: the adjust byte (0 to 255)
  bool json = false;       ///< show --json
  bool defaults = false;   ///< show --defaults
  bool check = false;      ///< update --check
  int mapNumber = 0;       ///< ports --map N DEVICE
  QString mapDevice;
  bool service = false;          ///< --service: the extended block and serial number too
  bool verify = false;           ///< write --verify
  QStringList ports;             ///< provision: every --port
  QString config;                ///< provision: the configuration file
  QString firmware;              ///< provision --firmware, update's FIRMWARE.hex
  QString db;                    ///< --db: the record's database
  QString firstSerial;           ///< provision --first-serial
  bool loop = false;             ///< provision --loop
  bool renumber = false;         ///< provision --renumber
  QString station;               ///< provision --station (empty: the host name)
  QString expectFirmware;        ///< provision --expect-firmware
  bool csv = false;              ///< records --csv
  bool summary = false;          ///< records --summary
  bool all = false;              ///< export --all: every field and the bytes no field names
  QString base;                  ///< apply, set --base: the image the changes go onto
  bool dryRun = false;           ///< apply, set --dry-run: check and plan only
  bool noVerify = false;         ///< apply, set --no-verify: no read-back after the write
  RecordFilter records;          ///< records: --serial, --since, --station, ...
  bool changesTerminal = false;  ///< the command changes the terminal: --port is required
  bool help = false;             ///< --help, or the help command: print the help of `command`
  bool version = false;          ///< --version

  /// Parses the arguments (program name first). False with a one-line reason
  /// on bad usage.
  static bool Parse(const QStringList& args, CliOptions* options, QString* error);
};
